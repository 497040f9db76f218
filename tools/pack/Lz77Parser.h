// The LZ77 pass of the encoder: hash chains over the 8 KiB window and lazy
// matching, turning the input into literal and match items.
#pragma once

#include <cstdint>
#include <vector>

#include "Lh5Format.h"

namespace lzhpack {

// How hard the match search tries.
struct ParseSettings {
    int maxChain;      // candidates looked at per position
    int niceLength;    // a match this long ends the search
    int lazyLength;    // a match this long is taken without looking one byte ahead
    int farShortMatch; // a 3-byte match farther than this costs more than 3 literals
};

constexpr int kHashBits = 15;

struct Lz77Parser {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t pos = 0;          // next byte to parse
    uint32_t inserted = 0;     // positions below this are in the hash chains
    ParseSettings settings{};
    int32_t head[1 << kHashBits];
    int32_t prev[kWindowSize];
};

// Starts a parse of data[0..size); size below 2^31.
void BeginParse(Lz77Parser& parser, const uint8_t* data, uint32_t size, const ParseSettings& settings);

// Appends items until `count` more are in `items` or the input is used up.
// Returns the number of items appended.
int ParseItems(Lz77Parser& parser, std::vector<uint32_t>& items, int count);

}  // namespace lzhpack
