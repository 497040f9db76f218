// The encoder's canonical codes, which the archive's bytes show only to
// their own length: shorter codes first, equal lengths in symbol order,
// symbols without a code counted nowhere.
#include <gtest/gtest.h>

#include "Huffman.h"

TEST(Huffman, CanonicalCodesByLengthThenSymbol)
{
    const std::uint8_t lengths[] = {3, 0, 3, 2, 1, 0};
    std::uint16_t codes[6];
    lzhpack::BuildCanonicalCodes(lengths, 6, codes);
    EXPECT_EQ(std::vector<int>({codes[4], codes[3], codes[0], codes[2]}), std::vector<int>({0b0, 0b10, 0b110, 0b111}));
}
