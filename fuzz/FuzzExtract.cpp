// ExtractPayload over arbitrary payload bytes. After every input: the result
// is one the driver may return, nothing outside the install folder changed,
// no descriptor and no GlobalAlloc block is left over, and every file left
// in the folder has the size and CRC-16 of some header the payload holds.
#include <cstdint>
#include <cstring>
#include <string>

#include "ExtractPayload.h"
#include "FuzzSupport.h"
#include "Globals.h"
#include "HostHooks.h"

namespace {

constexpr UINT kShiftJis = 932;
constexpr UINT kWestern = 1252;

void SetInstallFolder()
{
    const std::string& folder = FuzzInstallFolder();
    if (folder.size() >= sizeof InstallFolder)
        FuzzFail("install folder path too long", folder);
    // As lzhtool passes it: '/' written as '\', the separator the engine splits at.
    for (std::size_t i = 0; i <= folder.size(); ++i)
        InstallFolder[i] = folder[i] == '/' ? '\\' : folder[i];
}

bool DriverMayReturn(int result)
{
    return result == kResultOk || result == kResultNotArchive || result == kResultMemoryEmpty ||
           result == kResultMemoryError || result == kResultWriteError;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInit("fuzz_extract");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInit("fuzz_extract");
    FuzzResetInstall();
    // Odd lengths run under Shift-JIS, so both path scans get explored.
    HostSetCodePage(size % 2 ? kShiftJis : kWestern);
    HostResetHooks();
    HostRegisterPayload(size ? data : reinterpret_cast<const std::uint8_t*>(""), static_cast<DWORD>(size));
    SetInstallFolder();
    const int descriptors = FuzzOpenDescriptors();
    const int blocks = HostLiveAllocations();
    const std::uint64_t writtenBefore = FuzzBytesWritten();

    const int result = ExtractPayload();

    FuzzCountAmplification(FuzzBytesWritten() - writtenBefore, size);
    if (!DriverMayReturn(result))
        FuzzFail("ExtractPayload returned a code it never returns", std::to_string(result));
    if (FuzzOpenDescriptors() != descriptors)
        FuzzFail("a file descriptor was left open", std::to_string(FuzzOpenDescriptors() - descriptors));
    if (HostLiveAllocations() != blocks)
        FuzzFail("a GlobalAlloc block was not freed", std::to_string(HostLiveAllocations() - blocks));
    FuzzCheckOutside();
    FuzzCheckInstalled(data, size);
    FuzzCountResult(result);
    HostRegisterPayload(nullptr, 0);
    return 0;
}
