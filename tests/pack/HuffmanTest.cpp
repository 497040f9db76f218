// Length-limited code lengths and canonical codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Huffman.h"

namespace {

std::vector<int> Lengths(const std::vector<std::uint32_t>& freq, int maxLength, int* used = nullptr)
{
    std::vector<std::uint8_t> lengths(freq.size(), 99);
    int n = lzhpack::BuildCodeLengths(freq.data(), int(freq.size()), maxLength, lengths.data());
    if (used != nullptr)
        *used = n;
    return std::vector<int>(lengths.begin(), lengths.end());
}

// Sum of 2^(maxLength - L) over the used symbols: 2^maxLength for a complete code.
std::uint64_t Kraft(const std::vector<int>& lengths, int maxLength)
{
    std::uint64_t sum = 0;
    for (int l : lengths) {
        if (l > 0)
            sum += std::uint64_t(1) << (maxLength - l);
    }
    return sum;
}

TEST(Huffman, OptimalLengthsForSmallAlphabets)
{
    struct Case {
        std::vector<std::uint32_t> freq;
        std::vector<int> lengths;
        int used;
    };
    const Case cases[] = {
        {{1, 1, 2, 4}, {3, 3, 2, 1}, 4},
        {{5, 5, 5, 5}, {2, 2, 2, 2}, 4},
        {{1, 0, 1}, {1, 0, 1}, 2},
        {{0, 9, 0, 1, 1}, {0, 1, 0, 2, 2}, 3},
        {{0, 7, 0}, {0, 0, 0}, 1},   // one symbol: sent as a single value
        {{0, 0}, {0, 0}, 0},
    };
    for (const Case& c : cases) {
        int used = -1;
        EXPECT_EQ(Lengths(c.freq, 16, &used), c.lengths);
        EXPECT_EQ(used, c.used);
    }
}

// Fibonacci weights make the deepest Huffman tree: 30 symbols would need
// 29 bits. The limit must hold and the code must stay complete, with no
// frequent symbol getting a longer code than a rarer one.
TEST(Huffman, DeepTreesAreLimitedAndStayComplete)
{
    for (int maxLength : {16, 12, 8}) {
        std::vector<std::uint32_t> freq(30);
        freq[0] = freq[1] = 1;
        for (int i = 2; i < 30; ++i)
            freq[std::size_t(i)] = freq[std::size_t(i) - 1] + freq[std::size_t(i) - 2];
        std::vector<int> lengths = Lengths(freq, maxLength);
        for (int l : lengths) {
            EXPECT_GE(l, 1);
            EXPECT_LE(l, maxLength);
        }
        EXPECT_EQ(Kraft(lengths, maxLength), std::uint64_t(1) << maxLength) << "limit " << maxLength;
        for (std::size_t i = 1; i < lengths.size(); ++i)
            EXPECT_LE(lengths[i], lengths[i - 1]);
    }
}

TEST(Huffman, FullAlphabetStaysCompleteUnderTheLimit)
{
    std::vector<std::uint32_t> freq(510);
    std::uint32_t state = 1;
    for (std::size_t s = 0; s < freq.size(); ++s) {
        state = state * 69069u + 1;
        freq[s] = (s % 7 == 0) ? 0 : 1 + (state >> 20) % (s < 256 ? 5000 : 3);
    }
    std::vector<int> lengths = Lengths(freq, 16);
    EXPECT_EQ(Kraft(lengths, 16), std::uint64_t(1) << 16);
    for (std::size_t s = 0; s < freq.size(); ++s)
        EXPECT_EQ(lengths[s] == 0, freq[s] == 0) << "symbol " << s;
}

TEST(Huffman, CanonicalCodesGoByLengthThenSymbol)
{
    const std::uint8_t lengths[] = {3, 3, 2, 1, 0};
    std::uint16_t codes[5];
    lzhpack::BuildCanonicalCodes(lengths, 5, codes);
    EXPECT_EQ(codes[3], 0b0);
    EXPECT_EQ(codes[2], 0b10);
    EXPECT_EQ(codes[0], 0b110);
    EXPECT_EQ(codes[1], 0b111);
}

// One shape serves every limit: its lengths equal those built from the
// frequencies for that limit, whether the limit cuts the tree or not, and
// a limit too short for the symbols used is raised to one that holds them.
TEST(Huffman, OneShapeGivesTheLengthsOfEveryLimit)
{
    std::vector<std::vector<std::uint32_t>> sets;
    std::vector<std::uint32_t> fibonacci(40);
    fibonacci[0] = fibonacci[1] = 1;
    for (std::size_t i = 2; i < fibonacci.size(); ++i)
        fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
    sets.push_back(fibonacci);
    std::vector<std::uint32_t> skewed(510);
    std::uint32_t seed = 12345;
    for (std::uint32_t& f : skewed) {
        seed = seed * 1103515245u + 12345u;
        f = (seed >> 16) % 7 == 0 ? 0 : (seed >> 8) % 5000 / (1 + (seed >> 20) % 200);
    }
    sets.push_back(skewed);
    sets.push_back({0, 0, 3, 0});
    sets.push_back({});
    for (const auto& freq : sets) {
        lzhpack::CodeShape shape;
        const int count = int(freq.size());
        const int used = lzhpack::ShapeCode(freq.data(), count, shape);
        for (int limit : {16, 12, 10, 6, 5}) {
            std::vector<std::uint8_t> fromShape(freq.size(), 99);
            EXPECT_EQ(lzhpack::LengthsFromShape(shape, count, limit, fromShape.data()), used);
            int usedAlone = -1;
            const std::vector<int> lengths = Lengths(freq, limit, &usedAlone);
            EXPECT_EQ(std::vector<int>(fromShape.begin(), fromShape.end()), lengths)
                << count << " symbols, limit " << limit;
            EXPECT_EQ(usedAlone, used);
            int longest = 0;
            for (int l : lengths)
                longest = std::max(longest, l);
            int least = 0;
            while ((1 << least) < used)
                ++least;
            EXPECT_LE(longest, std::max(limit, least)) << count << " symbols, limit " << limit;
            if (used >= 2) {
                EXPECT_EQ(Kraft(lengths, 16), std::uint64_t(1) << 16) << count << " symbols, limit " << limit;
            }
        }
    }
}

}  // namespace
