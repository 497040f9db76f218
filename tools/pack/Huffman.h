// Length-limited canonical prefix codes for the encoder.
#pragma once

#include <cstdint>

namespace lzhpack {

// Fills lengths[0..count) with code lengths of at most maxLength bits that
// minimise the sum of freq x length, count up to 512 (a limit too short to
// hold every symbol used is raised to the least that does). Symbols of frequency 0
// get length 0. Returns the number of symbols used; when it is below 2 every
// length is 0 and the caller sends the code in its single-value form, since
// a one-symbol code would not fill the code space.
int BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths);

constexpr int kMaxCodeSymbols = 512;

// Huffman's tree for some frequencies before any limit on the lengths: the
// symbols that occur, rarest first, and how many leaves each depth holds.
// One shape gives the lengths for every limit, so trying several limits
// sorts and builds the tree once.
struct CodeShape {
    uint64_t sorted[kMaxCodeSymbols];  // frequency << 16 | symbol
    int depthCount[2 * kMaxCodeSymbols];
    int used;
    int deepest;
};

// The shape for freq[0..count); returns the number of symbols used.
int ShapeCode(const uint32_t* freq, int count, CodeShape& shape);

// BuildCodeLengths' result for a shape made from the same frequencies.
int LengthsFromShape(const CodeShape& shape, int count, int maxLength, uint8_t* lengths);

// Canonical codes for the lengths: shorter codes first, equal lengths in
// symbol order, each code the previous one plus one.
void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes);

}  // namespace lzhpack
