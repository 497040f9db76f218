// One -lh5- block: its symbol statistics, its three codes, its header and
// its symbols. The header writer is a template so that BitCounter can price
// a block before it is written.
#pragma once

#include <cstdint>

#include "BitWriter.h"
#include "Lh5Format.h"

namespace lzhpack {

struct BlockStats {
    uint32_t symbolFreq[kSymbolCount];
    uint32_t offsetFreq[kOffsetSymbols];
    uint32_t items;
};

// A code with its lengths, canonical codes, and the number of symbols used;
// below two used symbols the code is sent as its single value.
template <int N>
struct Code {
    uint8_t lengths[N];
    uint16_t codes[N];
    int used;
    int single;
};

struct BlockCodes {
    Code<kSymbolCount> symbols;
    Code<kCodeLengthSymbols> codeLengths;
    Code<kOffsetSymbols> offsets;
};

// The offset code of a stored distance value: 0 for 0, else its bit count.
inline int OffsetCode(uint32_t value) { return value == 0 ? 0 : 32 - __builtin_clz(value); }

void ClearStats(BlockStats& stats);
void AddItems(BlockStats& stats, const uint32_t* items, int count);
void AddStats(BlockStats& sum, const BlockStats& more);

// The codes for a block. Thorough: the cheapest of several length limits,
// each priced with its header; otherwise plain Huffman codes (for planning).
void BuildBlockCodes(const BlockStats& stats, BlockCodes& codes, bool thorough);

// Bits of the block header and of the symbols' codes under plain Huffman
// codes (extra offset bits, the same for every way of coding the items,
// left out).
uint64_t BlockCost(const BlockStats& stats, BlockCodes& codes);

void WriteBlock(BitWriter& out, const BlockCodes& codes, const uint32_t* items, int count);

}  // namespace lzhpack
