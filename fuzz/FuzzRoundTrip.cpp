// Pack, then install: the packer's archive of arbitrary data, run through
// ExtractPayload, must give back exactly that data and nothing else.
//
// Input: one option byte, then the data.
//   bit 0      header level 1 (else 0)
//   bits 1-2   method: 1 -lh5-, 2 -lh0-, 0 or 3 the smaller, as `lzhtool pack` picks
//   bit 3      the member lies in folder D/E
//   bits 4-7   the data is repeated 2^(n mod 8) times (at most kMaxData bytes),
//              so that short inputs still reach long matches, window wraps
//              and several blocks
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "ExtractPayload.h"
#include "FuzzSupport.h"
#include "Globals.h"
#include "HostHooks.h"
#include "Lh5Encoder.h"

namespace {

constexpr std::size_t kMaxData = 256u << 10;
constexpr std::uint16_t kDosDate = (21 << 9) | (2 << 5) | 3;   // 2001-02-03
constexpr std::uint16_t kDosTime = (12 << 11) | (34 << 5) | 28;

std::vector<std::uint8_t> Repeated(const std::uint8_t* data, std::size_t size, unsigned exponent)
{
    std::size_t copies = std::size_t(1) << exponent;
    if (size > 0)
        copies = std::min(copies, std::max<std::size_t>(1, kMaxData / size));
    std::vector<std::uint8_t> out;
    out.reserve(size * copies);
    for (std::size_t i = 0; i < copies; ++i)
        out.insert(out.end(), data, data + size);
    return out;
}

std::vector<std::uint8_t> Pack(const std::vector<std::uint8_t>& data, std::uint8_t options, std::string& path)
{
    const int level = options & 1;
    const int method = (options >> 1) & 3;
    lzhpack::PackInput input{"", (options & 8) ? "D/E" : "", "F.BIN"};
    path = (options & 8) ? "/D/E/F.BIN" : "/F.BIN";
    lzhpack::MemberRecord record{"-lh0-", 0, static_cast<std::uint32_t>(data.size()), kDosTime, kDosDate,
                                 lzhpack::Crc16(data.data(), data.size())};
    std::vector<std::uint8_t> packed;
    const std::vector<std::uint8_t>* body = &data;
    if (method != 2) {
        lzhpack::EncodeLh5(data.data(), static_cast<std::uint32_t>(data.size()), packed);
        if (method == 1 || packed.size() < data.size()) {
            record.method = "-lh5-";
            body = &packed;
        }
    }
    record.packedSize = static_cast<std::uint32_t>(body->size());
    std::vector<std::uint8_t> archive = lzhpack::BuildMemberHeader(input, record, level);
    archive.insert(archive.end(), body->begin(), body->end());
    archive.push_back(0);
    return archive;
}

// Keeps the archive of a failed round trip for lzhtool and 7zz to look at.
[[noreturn]] void FailWithArchive(const char* what, const std::vector<std::uint8_t>& archive)
{
    const char* kept = "roundtrip-failure.lzh";
    if (FILE* f = std::fopen(kept, "wb")) {
        std::fwrite(archive.data(), 1, archive.size(), f);
        std::fclose(f);
    }
    FuzzFail(what, std::string("archive kept in ") + kept);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInit("fuzz_roundtrip");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    FuzzInit("fuzz_roundtrip");
    const std::uint8_t options = size ? input[0] : 0;
    const std::vector<std::uint8_t> data = Repeated(input + (size ? 1 : 0), size ? size - 1 : 0, (options >> 4) & 7);
    std::string memberPath;
    const std::vector<std::uint8_t> archive = Pack(data, options, memberPath);

    FuzzResetInstall();
    HostResetHooks();
    HostRegisterPayload(archive.data(), static_cast<DWORD>(archive.size()));
    const std::string& folder = FuzzInstallFolder();
    for (std::size_t i = 0; i <= folder.size(); ++i)
        InstallFolder[i] = folder[i] == '/' ? '\\' : folder[i];
    const int result = ExtractPayload();
    HostRegisterPayload(nullptr, 0);

    if (result != kResultOk)
        FailWithArchive("a packed archive did not install", archive);
    std::string installed;
    if (!FuzzReadFile(folder + memberPath, installed))
        FailWithArchive("the packed member was not installed", archive);
    if (installed.size() != data.size() || (!data.empty() && std::memcmp(data.data(), installed.data(), data.size())))
        FailWithArchive("the installed member differs from the packed data", archive);
    if (FuzzCheckInstalled(archive.data(), archive.size()) != data.size())
        FailWithArchive("files other than the packed member were installed", archive);
    FuzzCountAmplification(data.size(), size);
    FuzzCountResult(result);
    return 0;
}
