// Runs the -lh5- decoder over a byte string into a scratch file.
#pragma once

#include "Lh5Decoder.h"
#include "TestSupport.h"

struct DecodeRun {
    int result = -1;
    Bytes output;
    DecodeReason reason = DecodeReason::None;
    std::int32_t position = 0;
};

DecodeRun Decode(const Bytes& data, std::uint32_t originalSize, std::uint16_t crc);
DecodeRun DecodeBlocks(const std::vector<Block>& blocks, const Bytes& expected);

// Two codes that use only the given symbols, for tests that need long codes:
// lengths 1..15, 16, 16 over 17 symbols.
std::vector<int> DeepLengths(int count, const std::vector<int>& symbols);
