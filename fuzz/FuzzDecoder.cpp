// The -lh5- decoder alone over arbitrary compressed bytes.
//
// Input: 4 bytes little-endian uncompressed size (taken modulo kSizeCap + 1,
// so that one input never writes more than a mebibyte), 2 bytes the CRC-16
// the header would carry, then the compressed data.
//
// After every input: Extract returned 0 or 4 (no allocation or write fault
// is armed), released its window and left no descriptor open; and a result
// of 0 means the file holds exactly the declared size with the declared CRC.
#include <cstdint>
#include <string>

#include "ExtractPayload.h"
#include "FuzzSupport.h"
#include "HostHooks.h"

namespace {

constexpr std::uint32_t kSizeCap = 1u << 20;
constexpr std::size_t kPrefix = 6;

std::uint32_t Little(const std::uint8_t* data, std::size_t size, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int k = bytes - 1; k >= 0; --k)
        value = (value << 8) | (at + k < size ? data[at + k] : 0);
    return value;
}

void CheckOutput(std::uint32_t originalSize, std::uint16_t crc)
{
    std::string output;
    if (!FuzzReadFile(FuzzScratchFile(), output))
        FuzzFail("cannot read the decoder's output", FuzzScratchFile());
    if (output.size() != originalSize)
        FuzzFail("result 0 but the output size differs from the declared size",
                 std::to_string(output.size()) + " != " + std::to_string(originalSize));
    if (FuzzCrc16(reinterpret_cast<const std::uint8_t*>(output.data()), output.size()) != crc)
        FuzzFail("result 0 but the output's CRC-16 differs from the header's", std::to_string(crc));
    Figures.filesKept += 1;
    Figures.bytesKept += output.size();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInit("fuzz_decoder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInit("fuzz_decoder");
    HostResetHooks();
    const std::uint32_t originalSize = Little(data, size, 0, 4) % (kSizeCap + 1);
    const std::uint16_t crc = static_cast<std::uint16_t>(Little(data, size, 4, 2));
    const std::size_t packed = size > kPrefix ? size - kPrefix : 0;
    MemoryStream stream(packed ? data + kPrefix : data, static_cast<std::uint32_t>(packed));
    const int descriptors = FuzzOpenDescriptors();
    const int blocks = HostLiveAllocations();

    HFILE file = _lcreat(FuzzScratchFile().c_str(), 0);
    if (file == HFILE_ERROR)
        FuzzFail("cannot create the output file", FuzzScratchFile());
    LzhDecoder* decoder = CreateDecoder("-lh5-", stream);
    if (decoder == nullptr || decoder == StoredMarker)
        FuzzFail("CreateDecoder gave no -lh5- decoder", "");
    const int result = decoder->Extract(file, originalSize, crc);
    DeleteDecoder(decoder);
    _lclose(file);

    if (result != kDecodeOk && result != kDecodeBroken)
        FuzzFail("Extract returned a code it cannot have here", std::to_string(result));
    if (HostLiveAllocations() != blocks)
        FuzzFail("the window was not freed", std::to_string(HostLiveAllocations() - blocks));
    if (FuzzOpenDescriptors() != descriptors)
        FuzzFail("a file descriptor was left open", "");
    if (result == kDecodeOk)
        CheckOutput(originalSize, crc);
    FuzzCountAmplification(FuzzFileSize(FuzzScratchFile()), size);
    FuzzCountResult(result);
    return 0;
}
