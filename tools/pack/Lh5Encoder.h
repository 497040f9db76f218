// The -lh5- encoder: cost-driven LZ77 over the 8 KiB window, then blocks of
// length-limited canonical Huffman codes.
#pragma once

#include <cstdint>
#include <vector>

#include "MatchFinder.h"

namespace lzhpack {

// The effort that `lzhtool pack` uses.
extern const ParseSettings kDefaultParse;

// A stretch of the bit stream: bytes whose last one holds `tailBits` bits
// at its top (0 when it is full), the rest zero.
struct BitPiece {
    std::vector<uint8_t> bytes;
    int tailBits = 0;
};

// Compresses data[begin..end) as whole blocks that may copy from the
// window before begin. Parts laid end to end make one member's stream.
void EncodeLh5Part(const uint8_t* data, uint32_t begin, uint32_t end, BitPiece& piece,
                   const ParseSettings& settings = kDefaultParse);

// Appends a part's bits right behind the bits already in stream.
void AppendPiece(BitPiece& stream, const BitPiece& piece);

// Replaces out with the compressed form of data[0..size), size below 2^31.
// The stream has no end marker: a decoder stops after `size` bytes.
void EncodeLh5(const uint8_t* data, uint32_t size, std::vector<uint8_t>& out,
               const ParseSettings& settings = kDefaultParse);

}  // namespace lzhpack
