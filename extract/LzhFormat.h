// The LZH archive format as this system reads and writes it: member headers
// of level 0 and 1 and the -lh5- bit layout. The engine (extract/) and the
// packer (tools/pack/) both take every number of the format from here.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- headers
// Base header (offsets from its first byte, integers little-endian):
//   0 size S | 1 checksum | 2 method, 5 bytes | 7 packed size, 4 | 11 original
//   size, 4 | 15 MS-DOS time, 2 | 17 MS-DOS date, 2 | 19 attribute | 20 level |
//   21 name length N | 22 name, N | 22+N CRC-16, 2 | ... up to S+2 (level 0)
//   or S (level 1, where the extended-header chain begins).
// Extended header at S+E (E = the size fields so far): size m (0 ends the
// chain), type byte, m-3 data bytes; the next size field is at S+E+m.
constexpr int kMethodHyphenOffset = 2;  // the method and its first hyphen
constexpr int kMethodLength = 5;
constexpr char kStoredMethod[] = "-lh0-";
constexpr char kLh5Method[] = "-lh5-";
constexpr int kMaxHeaderSize = 255;      // the size byte S
constexpr int kChecksumStart = 2;        // the checksum sums the bytes from here to S+2
constexpr int kMaxBaseNameLength = 101;  // stored bytes of a level-0/1 base name
constexpr int kMaxExtendedNameLength = 100;
constexpr int kMaxDirectoryLength = 200;  // a directory record, its last separator included
constexpr int kExtendedOverhead = 3;      // the type byte and the next size field
constexpr std::uint8_t kExtendedFileName = 1;
constexpr std::uint8_t kExtendedDirectory = 2;
constexpr std::uint8_t kDirectorySeparator = 0xFF;  // in directory records
constexpr std::uint32_t kMaxExtendedSum = 65535;    // extendedSize is 16 bits
constexpr int kDosEpochYear = 1980;
constexpr std::uint16_t kFallbackDosDate = (1 << 5) | 1;  // 1980-01-01
constexpr std::uint16_t kFallbackDosTime = 0;

// ---------------------------------------------------------------- -lh5-
constexpr int kWindowBits = 13;
constexpr int kWindowSize = 1 << kWindowBits;  // 8192
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kLiteralCount = 256;
// Literals, then one symbol per match length: 256 + 256 - 3 + 1.
constexpr int kSymbolCount = kLiteralCount + kMaxMatch - kMinMatch + 1;
constexpr int kMatchAdjust = kLiteralCount - kMinMatch;  // symbol = length + 253
constexpr int kMaxCodeLength = 16;
// Code-length code: symbols 0..2 are zero runs, 3..18 the lengths 1..16.
constexpr int kCodeLengthSymbols = 3 + kMaxCodeLength;
constexpr int kLengthBias = 2;  // code-length symbol x >= 3 gives the length x - 2
// Offset codes 0..13: code j covers the values 2^(j-1) .. 2^j - 1.
constexpr int kOffsetSymbols = kWindowBits + 1;
constexpr int kBlockSizeBits = 16;
constexpr int kSymbolCountBits = 9;
constexpr int kCodeLengthCountBits = 5;
constexpr int kOffsetCountBits = 4;
// A small-code length is 3 bits; 7 goes on with one 1 bit per step and a 0.
constexpr int kSmallLengthEscape = 7;
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
// The block size field holds 0 to 65,535. A decoder of this system reads 0
// as 65,536 symbols, but other decoders read it differently, so the packer
// never writes it: the most symbols a block is written with is 65,535.
constexpr std::uint32_t kMaxBlockSymbols = (1u << kBlockSizeBits) - 1;
constexpr std::uint32_t kZeroSizeBlockSymbols = 1u << kBlockSizeBits;

static_assert(kSymbolCount == 510, "literal/length alphabet");
static_assert(kMatchAdjust == 253, "symbol 256 is a match of 3 bytes");
static_assert(kCodeLengthSymbols == 19, "code-length alphabet");
static_assert(kOffsetSymbols == 14, "offset alphabet");
static_assert(kSymbolCount < (1 << kSymbolCountBits), "count fits its field");
static_assert(kCodeLengthSymbols < (1 << kCodeLengthCountBits), "count fits its field");
static_assert(kOffsetSymbols < (1 << kOffsetCountBits), "count fits its field");
static_assert(kLongRunMin + (1 << kLongRunBits) - 1 >= kSymbolCount, "one long run covers the alphabet");
static_assert(25 + kMaxBaseNameLength <= kMaxHeaderSize, "the longest level-1 base header fits its size byte");
