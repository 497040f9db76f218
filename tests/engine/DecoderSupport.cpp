#include "DecoderSupport.h"

#include <new>

#include "Platform.h"

DecodeRun Decode(const Bytes& data, std::uint32_t originalSize, std::uint16_t crc)
{
    DecodeRun run;
    ScratchFolder folder;
    const std::string path = folder.Win32() + "out.bin";
    HFILE file = _lcreat(path.c_str(), 0);
    if (file == HFILE_ERROR)
        return run;
    MemoryStream stream(data.data(), static_cast<std::uint32_t>(data.size()));
    Lh5Decoder* decoder = new (std::nothrow) Lh5Decoder(stream);
    if (decoder == nullptr) {
        _lclose(file);
        return run;
    }
    run.result = decoder->Extract(file, originalSize, crc);
    run.reason = decoder->reason;
    run.position = stream.Position();
    DeleteDecoder(decoder);
    _lclose(file);
    run.output = folder.Read("out.bin");
    return run;
}

DecodeRun DecodeBlocks(const std::vector<Block>& blocks, const Bytes& expected)
{
    return Decode(EncodeBlocks(blocks), static_cast<std::uint32_t>(expected.size()), ReferenceCrc16(expected));
}

std::vector<int> DeepLengths(int count, const std::vector<int>& symbols)
{
    std::vector<int> lengths(static_cast<std::size_t>(count), 0);
    for (std::size_t k = 0; k < symbols.size() && k < 17; ++k)
        lengths[static_cast<std::size_t>(symbols[k])] = k < 15 ? static_cast<int>(k) + 1 : 16;
    return lengths;
}
