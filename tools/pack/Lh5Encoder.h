// The -lh5- encoder: LZ77 over the 8 KiB window, then blocks of
// length-limited canonical Huffman codes.
#pragma once

#include <cstdint>
#include <vector>

#include "Lz77Parser.h"

namespace lzhpack {

// The search effort that `lzhtool pack` uses.
extern const ParseSettings kDefaultParse;

// Replaces out with the compressed form of data[0..size), size below 2^31.
// The stream has no end marker: a decoder stops after `size` bytes.
void EncodeLh5(const uint8_t* data, uint32_t size, std::vector<uint8_t>& out,
               const ParseSettings& settings = kDefaultParse);

}  // namespace lzhpack
