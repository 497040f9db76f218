// Host layer: resources, memory, text and the fault hooks.
#include <cstdlib>
#include <cstring>

#include "HostHooks.h"

namespace {

constexpr UINT kSingleByteCodePage = 1252;
constexpr UINT kShiftJisCodePage = 932;
constexpr UINT_PTR kPayloadId = 1;
constexpr UINT_PTR kRcDataType = 10;

struct Payload {
    const void* data;
    DWORD size;
    HostResourceFault fault;
};

Payload TheResource = {nullptr, 0, HostResourceFault::None};
UINT CodePage = kSingleByteCodePage;
int AllocationCountdown = 0;
int WriteCountdown = 0;
bool WriteFailsWithError = false;
int LiveAllocations = 0;
void (*WriteObserver)(long count) = nullptr;

// True once when an armed countdown reaches its target call.
bool CountdownFires(int& countdown)
{
    if (countdown <= 0)
        return false;
    countdown -= 1;
    return countdown == 0;
}

}  // namespace

void HostRegisterPayload(const void* data, DWORD size)
{
    TheResource.data = data;
    TheResource.size = data ? size : 0;
}

void HostSetResourceFault(HostResourceFault fault) { TheResource.fault = fault; }

UINT HostSetCodePage(UINT codePage)
{
    UINT previous = CodePage;
    CodePage = codePage;
    return previous;
}

void HostFailAllocation(int nth) { AllocationCountdown = nth; }

void HostShortWrite(int nth, bool failWithError)
{
    WriteCountdown = nth;
    WriteFailsWithError = failWithError;
}

void HostSetWriteObserver(void (*observer)(long count)) { WriteObserver = observer; }

int HostLiveAllocations() { return LiveAllocations; }

void HostResetHooks()
{
    TheResource = {nullptr, 0, HostResourceFault::None};
    AllocationCountdown = 0;
    WriteCountdown = 0;
    WriteFailsWithError = false;
}

// Consulted by the write functions of HostFiles.cpp: the count a write
// should really perform, or -1 for a failure.
long HostWriteFault(long count)
{
    if (WriteObserver != nullptr)
        WriteObserver(count);
    if (!CountdownFires(WriteCountdown))
        return count;
    return WriteFailsWithError ? -1 : count / 2;
}

HRSRC WINAPI FindResourceA(HMODULE, LPCSTR name, LPCSTR type)
{
    if (TheResource.data == nullptr)
        return nullptr;
    if (reinterpret_cast<UINT_PTR>(name) != kPayloadId || reinterpret_cast<UINT_PTR>(type) != kRcDataType)
        return nullptr;
    return reinterpret_cast<HRSRC>(&TheResource);
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource)
{
    if (resource == nullptr || TheResource.fault == HostResourceFault::Load)
        return nullptr;
    return resource;
}

LPVOID WINAPI LockResource(HGLOBAL data)
{
    if (data == nullptr || TheResource.fault == HostResourceFault::Lock)
        return nullptr;
    return const_cast<void*>(static_cast<Payload*>(data)->data);
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource)
{
    return resource ? reinterpret_cast<Payload*>(resource)->size : 0;
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (CountdownFires(AllocationCountdown))
        return nullptr;
    void* block = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (block)
        LiveAllocations += 1;
    return block;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory)
{
    if (memory) {
        LiveAllocations -= 1;
        std::free(memory);
    }
    return nullptr;
}

BOOL WINAPI IsDBCSLeadByte(BYTE c)
{
    if (CodePage != kShiftJisCodePage)
        return FALSE;
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source) { return std::strcpy(destination, source); }
LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source) { return std::strcat(destination, source); }
int WINAPI lstrlenA(LPCSTR text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

bool HostMapPath(LPCSTR path, char* out, std::size_t outSize)
{
    // Every file call maps its path, so the code page is looked at once here.
    const bool doubleByte = CodePage == kShiftJisCodePage;
    std::size_t o = 0;
    for (std::size_t i = 0; path[i] != '\0'; ++i) {
        if (o + 2 >= outSize)
            return false;
        char c = path[i];
        if (doubleByte && IsDBCSLeadByte(static_cast<BYTE>(c)) && path[i + 1] != '\0') {
            out[o++] = c;
            out[o++] = path[++i];
            continue;
        }
        out[o++] = (c == '\\') ? '/' : c;
    }
    out[o] = '\0';
    return true;
}
