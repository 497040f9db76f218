// Pack, then install: the packer's archive of arbitrary data must come back from ExtractPayload as
// exactly that data. Input: an option byte, then the data. Option bits: 0 header level 1; 1-2 method
// (1 -lh5-, 2 -lh0-, else the smaller, as `lzhtool pack` picks); 3 the member lies in folder D/E;
// 4-6 the data repeats 2^n times (to 256 KiB), so that short inputs reach long matches and blocks.
#include "FuzzSupport.h"
#include "Lh5Encoder.h"

std::vector<std::uint8_t> PackMember(const std::vector<std::uint8_t>& data, std::uint8_t options)
{
    const int method = (options >> 1) & 3;
    std::vector<std::uint8_t> packed;
    if (method != 2)
        lzhpack::EncodeLh5(data.data(), std::uint32_t(data.size()), packed);
    const bool lh5 = method == 1 || (method != 2 && packed.size() < data.size());
    const std::vector<std::uint8_t>& body = lh5 ? packed : data;
    const lzhpack::MemberRecord record{lh5 ? "-lh5-" : "-lh0-",    std::uint32_t(body.size()),
                                       std::uint32_t(data.size()), kFallbackDosTime,
                                       kFallbackDosDate,           lzhpack::Crc16(data.data(), data.size())};
    auto archive = lzhpack::BuildMemberHeader({"", options & 8 ? "D/E" : "", "F.BIN"}, record, options & 1);
    archive.insert(archive.end(), body.begin(), body.end());
    archive.push_back(0);
    return archive;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    const std::uint8_t options = size ? input[0] : 0;
    std::vector<std::uint8_t> data;
    for (int copy = 0; size && copy < 1 << ((options >> 4) & 7) && data.size() + size <= (256u << 10); ++copy)
        data.insert(data.end(), input + 1, input + size);
    const std::vector<std::uint8_t> archive = PackMember(data, options);
    if (FuzzExtract(archive.data(), archive.size()) != kResultOk ||
        ReadWhole(Install + ((options & 8) ? "/D/E/F.BIN" : "/F.BIN")) != data)
        FuzzFail("the packed member did not come back", std::to_string(data.size()) + " bytes");
    return 0;
}
