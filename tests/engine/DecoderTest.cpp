// The -lh5- decoder: every feature of the format, the window and its
// flushes, and the damaged inputs that must end in result 4.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "DecoderSupport.h"

namespace {

std::vector<Token> Literals(const std::string& text)
{
    std::vector<Token> t;
    for (char c : text)
        t.push_back(Lit(static_cast<std::uint8_t>(c)));
    return t;
}

std::vector<Token> Counting(int n)
{
    std::vector<Token> t;
    for (int i = 0; i < n; ++i)
        t.push_back(Lit((i * 7 + i / 256) & 0xFF));
    return t;
}

std::vector<Token> Concat(std::vector<Token> a, const std::vector<Token>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct RoundTrip {
    const char* label;
    std::vector<Token> tokens;
    long originalSize;   // -1: the whole output of the tokens
};

std::vector<RoundTrip> RoundTrips()
{
    return {
        {"literals only", Literals("Hello, world"), -1},
        {"match at the start copies spaces", Concat({Match(5, 3)}, Literals("x")), -1},
        {"length 256 at distance 0 repeats the last byte", Concat(Literals("ab"), {Match(256, 0)}), -1},
        {"distance shorter than the length repeats a pattern", Concat(Literals("abc"), {Match(20, 2)}), -1},
        {"distance 8191 before 8192 bytes copies spaces", Concat(Literals("q"), {Match(4, 8191)}), -1},
        {"a match from before the start runs on into the output", Concat(Literals("abcdef"), {Match(12, 8)}), -1},
        {"a match from ahead in the first pass copies spaces", Concat(Literals("xy"), {Match(20, 5000), Match(16, 7000)}), -1},
        {"a match from ahead after the first pass copies old bytes", Concat(Counting(8300), {Match(20, 5000), Match(16, 7000)}), -1},
        {"distance 8191 copies the byte at the write position", Concat(Counting(8192), {Match(3, 8191), Match(9, 8191)}), -1},
        {"every offset code", [] { std::vector<Token> t = Counting(5000); for (int d : {0, 1, 2, 3, 5, 12, 31, 60, 100, 255, 511, 1000, 2047, 4095, 4999}) t.push_back(Match(3 + d % 250, d)); return t; }(), -1},
        {"a last match is cut at the size", Concat(Literals("0123456789"), {Match(100, 9)}), 57},
        {"output of exactly 8192", Counting(8192), -1},
        {"output of 8193", Counting(8193), -1},
        {"a flush inside a match", Concat(Counting(8100), {Match(200, 50)}), -1},
    };
}

TEST(DecoderRoundTrip, OutputMatchesTheReferenceModel)
{
    for (const RoundTrip& c : RoundTrips()) {
        std::size_t full = ApplyTokens(c.tokens, SIZE_MAX).size();
        Bytes expected = ApplyTokens(c.tokens, c.originalSize < 0 ? full : static_cast<std::size_t>(c.originalSize));
        Block block;
        block.tokens = c.tokens;
        DecodeRun run = DecodeBlocks({block}, expected);
        EXPECT_EQ(run.result, kDecodeOk) << c.label << ": " << DecodeReasonText(run.reason);
        EXPECT_EQ(run.output, expected) << c.label;
    }
}

TEST(DecoderRoundTrip, SeveralBlocksKeepTheWindow)
{
    Block a, b;
    a.tokens = Literals("the quick brown fox ");
    b.tokens = {Match(19, 19), Lit('!')};
    b.symbols = CanonicalCode(DeepLengths(510, {'!', 256 + 16, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o'}));
    b.offsets = SingleCode(5);   // distance 19 = 16 + 3: offset code 5 with 4 extra bits
    Bytes expected = ApplyTokens(Concat(a.tokens, b.tokens), SIZE_MAX);
    DecodeRun run = DecodeBlocks({a, b}, expected);
    EXPECT_EQ(run.result, kDecodeOk) << DecodeReasonText(run.reason);
    EXPECT_EQ(run.output, expected);
}

TEST(DecoderSizes, ZeroOriginalSizeReadsTwoBytesAndComparesTheCrc)
{
    Bytes data = FromHex("12 34 56 78");
    DecodeRun ok = Decode(data, 0, 0);
    EXPECT_EQ(ok.result, kDecodeOk);
    EXPECT_TRUE(ok.output.empty());
    EXPECT_EQ(ok.position, 2);
    DecodeRun bad = Decode(data, 0, 1);
    EXPECT_EQ(bad.result, kDecodeBroken);
    EXPECT_EQ(bad.reason, DecodeReason::CrcMismatch);
}

TEST(DecoderSizes, WrongCrcIsResultFourWithTheFileWrittenInFull)
{
    Block block;
    block.tokens = Literals("crc check");
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    DecodeRun run = Decode(EncodeBlocks({block}), static_cast<std::uint32_t>(expected.size()),
                           static_cast<std::uint16_t>(ReferenceCrc16(expected) ^ 1));
    EXPECT_EQ(run.result, kDecodeBroken);
    EXPECT_EQ(run.reason, DecodeReason::CrcMismatch);
    EXPECT_EQ(run.output, expected);
}

TEST(DecoderBlocks, BlockSizeZeroMeans65536Symbols)
{
    Block a, b;
    a.size = 0;
    a.symbols = SingleCode('a');
    a.tokens.assign(65536, Lit('a'));
    b.symbols = SingleCode('b');
    b.tokens.assign(5, Lit('b'));
    Bytes expected = ApplyTokens(Concat(a.tokens, b.tokens), SIZE_MAX);
    DecodeRun run = DecodeBlocks({a, b}, expected);
    EXPECT_EQ(run.result, kDecodeOk) << DecodeReasonText(run.reason);
    EXPECT_EQ(run.output, expected);
}

TEST(DecoderBlocks, CountZeroCodesSpendNoBitsPerSymbol)
{
    Block block;
    block.symbols = SingleCode(256 + 7);   // every symbol a match of 10
    block.offsets = SingleCode(0);         // at distance 0
    block.tokens.assign(30, Match(10, 0));
    BitWriter w;
    PutBlockHeader(w, block);
    const std::size_t headerBits = w.BitCount();
    PutTokens(w, block);
    EXPECT_EQ(w.BitCount(), headerBits);
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    DecodeRun run = Decode(w.Finish(), static_cast<std::uint32_t>(expected.size()), ReferenceCrc16(expected));
    EXPECT_EQ(run.result, kDecodeOk) << DecodeReasonText(run.reason);
    EXPECT_EQ(run.output, expected);
}

// Gaps of 1, 2, 14, 19 and more than 20 between the used symbols exercise
// every zero-run entry of the literal/length lengths.
TEST(DecoderBlocks, ZeroRunEntries)
{
    const std::vector<int> used = {10, 12, 15, 30, 50, 300, 509};
    std::vector<int> lengths(510, 0);
    for (std::size_t k = 0; k < used.size(); ++k)
        lengths[static_cast<std::size_t>(used[k])] = k + 1 < used.size() ? static_cast<int>(k) + 1 : 6;
    Block block;
    block.symbols = CanonicalCode(lengths);
    block.tokens = {Lit(10), Lit(12), Lit(15), Lit(30), Lit(50), Match(300 - 253, 1), Match(256, 0), Lit(10)};
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    DecodeRun run = DecodeBlocks({block}, expected);
    EXPECT_EQ(run.result, kDecodeOk) << DecodeReasonText(run.reason);
    EXPECT_EQ(run.output, expected);
}

// The code-length code's 2-bit zero count after its third length: here 3, so
// lengths 3, 4 and 5 are zero and the next entry sets length 6.
TEST(DecoderBlocks, ZeroCountAfterTheThirdCodeLength)
{
    std::vector<int> lengths(510, 0);
    for (int s = 0; s < 16; ++s)
        lengths[static_cast<std::size_t>('A' + s * 9)] = 4;
    Block block;
    block.small = CanonicalCode({2, 2, 2, 0, 0, 0, 2});
    block.symbols = CanonicalCode(lengths);
    block.tokens = Literals("AJS\x5c");
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    BitWriter w;
    PutBlockHeader(w, block);
    Bytes bits = w.Finish();
    // 16 bits size, 5 bits n = 7, three 3-bit lengths of 2, then z = 3.
    EXPECT_EQ(bits[3] & 0x3, 3);
    DecodeRun run = DecodeBlocks({block}, expected);
    EXPECT_EQ(run.result, kDecodeOk) << DecodeReasonText(run.reason);
    EXPECT_EQ(run.output, expected);
}

// Codes longer than the table bits: 16-bit literal/length codes, 13-bit
// offset codes and 16-bit code-length codes all continue through the trees.
TEST(DecoderBlocks, CodesLongerThanTheTables)
{
    std::vector<int> symbols = {'e', 't', 'a', 'o', 'i', 'n', 's', 'h', 'r', 'd', 'l', 'u', 'c', 'm',
                                256 + 0, 256 + 50, 'z'};
    Block block;
    block.symbols = CanonicalCode(DeepLengths(510, symbols));
    block.offsets = CanonicalCode({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 13});
    block.small = CanonicalCode({14, 16, 16, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 14, 16, 16});
    block.tokens = Concat(Literals("zeta zone "), {Match(3, 8), Match(53, 4000), Lit('z'), Match(53, 8191), Match(3, 1)});
    std::vector<Token> tokens;
    for (const Token& t : block.tokens)
        if (t.length != 0 || std::find(symbols.begin(), symbols.end(), t.value) != symbols.end())
            tokens.push_back(t);
    block.tokens = tokens;
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    DecodeRun run = DecodeBlocks({block}, expected);
    EXPECT_EQ(run.result, kDecodeOk) << DecodeReasonText(run.reason);
    EXPECT_EQ(run.output, expected);
}

} // namespace

// The output loop takes an offset code and its distance's extra bits in one
// step when they come to 16 bits or fewer, and the two steps of
// DecodeOffset otherwise. Codes of 5 bits with 11 and 12 extra bits lie on
// either side of that line, codes of 8 bits with 11 and 12 both beyond it,
// and single-valued codes spend no bits on the code at all.
TEST(DecoderBlocks, DistancesOnEitherSideOfSixteenBits)
{
    // Far distances with many extra bits set, each after a literal or two,
    // so that the codes fall at every position of the reader's bytes.
    std::vector<int> farAway;
    for (int low = 0; low < 12; ++low)
        farAway.insert(farAway.end(), {8191 - (1 << low), 4095 - (1 << low) + 1, 8191, 2049 + low});
    struct DistanceCase {
        const char* label;
        Code offsets;
        std::vector<int> distances;
    };
    const std::vector<DistanceCase> cases = {
        {"codes of 3 to 6 bits", CanonicalCode({3, 3, 3, 3, 3, 3, 4, 5, 5, 6, 6, 5, 5, 5}), farAway},
        {"codes of 8 bits with 11 and 12 extra bits", CanonicalCode({1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0, 0, 8, 8}), farAway},
        {"every offset code", CanonicalCode({3, 3, 3, 3, 3, 3, 4, 5, 5, 6, 6, 5, 5, 5}),
         {0, 1, 2, 3, 5, 9, 17, 33, 65, 129, 257, 513, 1025, 2047, 2048, 4095, 4096, 6000, 8191}},
        {"single code 13", SingleCode(13), {4096, 5000, 8191, 4097, 6143, 7167}},
        {"single code 1", SingleCode(1), {1, 1}},
        {"single code 0", SingleCode(0), {0, 0}},
    };
    for (const DistanceCase& c : cases) {
        Block block;
        block.offsets = c.offsets;
        block.tokens = Counting(8200);
        for (std::size_t i = 0; i < c.distances.size(); ++i) {
            for (std::size_t k = 0; k <= i % 3; ++k)
                block.tokens.push_back(Lit(static_cast<int>(i * 31 + k) & 0xFF));
            block.tokens.push_back(Match(3 + static_cast<int>(i * 7 % 30), c.distances[i]));
        }
        Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
        DecodeRun run = DecodeBlocks({block}, expected);
        EXPECT_EQ(run.result, kDecodeOk) << c.label << ": " << DecodeReasonText(run.reason);
        EXPECT_EQ(run.output, expected) << c.label;
    }
}
