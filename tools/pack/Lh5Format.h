// The numbers of the -lh5- bit layout, as the encoder writes it.
#pragma once

#include <cstdint>

namespace lzhpack {

constexpr int kWindowBits = 13;
constexpr int kWindowSize = 1 << kWindowBits;           // 8192
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kLiteralCount = 256;
// Literals, then one symbol per match length: 256 + 256 - 3 + 1.
constexpr int kSymbolCount = kLiteralCount + kMaxMatch - kMinMatch + 1;
constexpr int kMatchAdjust = kLiteralCount - kMinMatch;  // symbol = length + 253
// A stored distance value v copies from v + 1 bytes back, so the farthest
// source is a whole window back: the byte about to be overwritten.
constexpr int kMaxDistance = kWindowSize;
constexpr int kMaxCodeLength = 16;
// Code-length code: symbols 0..2 are zero runs, 3..18 the lengths 1..16.
constexpr int kCodeLengthSymbols = 3 + kMaxCodeLength;
// Offset codes 0..13: code j covers the values 2^(j-1) .. 2^j - 1.
constexpr int kOffsetSymbols = kWindowBits + 1;
constexpr int kBlockSizeBits = 16;
constexpr int kSymbolCountBits = 9;
constexpr int kCodeLengthCountBits = 5;
constexpr int kOffsetCountBits = 4;
// After the third code-length length a 2-bit count of zero lengths follows.
constexpr int kCodeLengthSkipIndex = 3;
constexpr int kSkipCountBits = 2;
constexpr int kMaxSkipZeros = 3;
// Zero runs in the literal/length code lengths: symbol 0 is one zero,
// symbol 1 with 4 bits is 3..18 zeros, symbol 2 with 9 bits 20..531 zeros.
constexpr int kShortRunBits = 4;
constexpr int kShortRunMin = 3;
constexpr int kShortRunMax = kShortRunMin + (1 << kShortRunBits) - 1;  // 18
constexpr int kLongRunBits = 9;
constexpr int kLongRunMin = 20;
// The block size field is 16 bits and other decoders read 0 differently,
// so a block never holds 65,536 symbols.
constexpr int kMaxBlockSymbols = (1 << kBlockSizeBits) - 1;

static_assert(kSymbolCount == 510, "literal/length alphabet");
static_assert(kCodeLengthSymbols == 19, "code-length alphabet");
static_assert(kOffsetSymbols == 14, "offset alphabet");
static_assert(kSymbolCount < (1 << kSymbolCountBits), "count fits its field");
static_assert(kCodeLengthSymbols < (1 << kCodeLengthCountBits), "count fits its field");
static_assert(kOffsetSymbols < (1 << kOffsetCountBits), "count fits its field");
static_assert(kLongRunMin + (1 << kLongRunBits) - 1 >= kSymbolCount, "one long run covers the alphabet");

// One item of the parse: bits 0..8 the literal/length symbol (a byte, or
// the match length + 253), bits 16..28 the stored distance value, which is
// the distance minus one.
constexpr uint32_t MakeLiteral(uint32_t byte) { return byte; }
constexpr uint32_t MakeMatch(uint32_t length, uint32_t distance)
{
    return (length + uint32_t(kMatchAdjust)) | ((distance - 1) << 16);
}
constexpr uint32_t ItemSymbol(uint32_t item) { return item & 0xFFFF; }
constexpr uint32_t ItemDistanceValue(uint32_t item) { return item >> 16; }

}  // namespace lzhpack
