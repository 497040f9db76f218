// Decoder input that is damaged or hostile: every case ends the member with
// result 4 and a recorded reason, inside the decoder's arrays.
#include <gtest/gtest.h>

#include "DecoderSupport.h"

namespace {

const Code kFlatSmall = CanonicalCode(FlatSmallLengths());

Bytes WithPadding(BitWriter& w)
{
    for (int k = 0; k < 8; ++k)
        w.Put(0x5A, 8);
    return w.Finish();
}

struct DamageCase {
    const char* label;
    Bytes data;
    DecodeReason reason;
};

Bytes CountAbove510()
{
    BitWriter w;
    w.Put(1, 16);
    PutSmallCode(w, kFlatSmall, 5, true);
    w.Put(511, 9);
    return WithPadding(w);
}

Bytes ZeroRunPast510()
{
    BitWriter w;
    w.Put(1, 16);
    PutSmallCode(w, kFlatSmall, 5, true);
    w.Put(510, 9);
    PutSymbol(w, kFlatSmall, 1);   // 3 zeros...
    w.Put(0, 4);
    for (int k = 0; k < 2; ++k) {   // ...then 2 x 531: past 510
        PutSymbol(w, kFlatSmall, 2);
        w.Put(511, 9);
    }
    return WithPadding(w);
}

Bytes SmallLengthAbove16(int length, bool offsetCode)
{
    Code bad;
    bad.lengths = offsetCode ? FlatOffsetLengths() : FlatSmallLengths();
    bad.lengths[1] = length;
    Block block;
    if (offsetCode)
        block.offsets = bad;
    else
        block.small = bad;
    BitWriter w;
    if (offsetCode) {
        PutBlockHeader(w, block);
    } else {
        w.Put(1, 16);
        PutSmallCode(w, bad, 5, true);
    }
    return WithPadding(w);
}

Bytes SingleSymbolCode(int symbol, int offsetSingle, bool withMatch)
{
    Block block;
    block.symbols = SingleCode(symbol);
    block.offsets = SingleCode(offsetSingle);
    block.tokens.assign(withMatch ? 1 : 0, Lit(0));
    BitWriter w;
    PutBlockHeader(w, block);
    return WithPadding(w);
}

Bytes CodeLengthSingleOutside(int value)
{
    BitWriter w;
    w.Put(1, 16);
    w.Put(0, 5);
    w.Put(static_cast<std::uint32_t>(value), 5);
    w.Put(3, 9);   // three symbol lengths, read through the single value
    return WithPadding(w);
}

Bytes SymbolLengths(const std::vector<int>& lengths)
{
    Block block;
    block.symbols.lengths = lengths;
    block.tokens = {Lit(0)};
    BitWriter w;
    PutBlockHeader(w, block);
    return WithPadding(w);
}

Bytes AllZeroSymbolCode()
{
    BitWriter w;
    w.Put(1, 16);
    PutSmallCode(w, kFlatSmall, 5, true);
    w.Put(3, 9);
    for (int k = 0; k < 3; ++k)
        PutSymbol(w, kFlatSmall, 0);
    PutSmallCode(w, CanonicalCode(FlatOffsetLengths()), 4, false);
    return WithPadding(w);
}

Bytes IncompleteOffsetCode()
{
    Block block;
    block.offsets = CanonicalCode({1, 2, 3});
    BitWriter w;
    PutBlockHeader(w, block);
    return WithPadding(w);
}

std::vector<DamageCase> DamageCases()
{
    std::vector<DamageCase> cases = {
        {"literal/length count 511", CountAbove510(), DecodeReason::CountTooLarge},
        {"zero run past 510 lengths", ZeroRunPast510(), DecodeReason::RunPastEnd},
        {"single symbol 510", SingleSymbolCode(510, 0, true), DecodeReason::InvalidCode},
        {"single symbol 511", SingleSymbolCode(511, 0, true), DecodeReason::InvalidCode},
        {"single offset 14 used", SingleSymbolCode(256, 14, true), DecodeReason::InvalidCode},
        {"single offset 15 used", SingleSymbolCode(300, 15, true), DecodeReason::InvalidCode},
        {"single code-length value 19", CodeLengthSingleOutside(19), DecodeReason::InvalidCode},
        {"single code-length value 31", CodeLengthSingleOutside(31), DecodeReason::InvalidCode},
        {"all literal/length lengths zero", AllZeroSymbolCode(), DecodeReason::InvalidCode},
        {"incomplete literal/length code", SymbolLengths({1}), DecodeReason::IncompleteCode},
        {"over-full literal/length code", SymbolLengths({1, 1, 1}), DecodeReason::OversubscribedCode},
        {"510 lengths of 1, a multiple of the code space", SymbolLengths(std::vector<int>(510, 1)), DecodeReason::OversubscribedCode},
        {"incomplete offset code", IncompleteOffsetCode(), DecodeReason::IncompleteCode},
    };
    for (int length = 17; length <= 20; ++length) {
        cases.push_back({"code-length code length above 16", SmallLengthAbove16(length, false), DecodeReason::LengthTooLong});
        cases.push_back({"offset code length above 16", SmallLengthAbove16(length, true), DecodeReason::LengthTooLong});
    }
    return cases;
}

TEST(DecoderDamage, HostileTablesEndTheMemberWithFour)
{
    for (const DamageCase& c : DamageCases()) {
        DecodeRun run = Decode(c.data, 40, 0);
        EXPECT_EQ(run.result, kDecodeBroken) << c.label;
        EXPECT_EQ(run.reason, c.reason) << c.label << ": " << DecodeReasonText(run.reason);
        EXPECT_LE(run.output.size(), 40u) << c.label;
    }
}

// A single value outside its code is harmless while nothing looks it up.
TEST(DecoderDamage, UnusedInvalidOffsetValueDecodesOn)
{
    Block block;
    block.offsets = SingleCode(15);
    block.tokens = {Lit('o'), Lit('k')};
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    DecodeRun run = DecodeBlocks({block}, expected);
    EXPECT_EQ(run.result, kDecodeOk) << DecodeReasonText(run.reason);
    EXPECT_EQ(run.output, expected);
}

std::vector<Token> Varied(int n)
{
    std::vector<Token> t;
    for (int i = 0; i < n; ++i)
        t.push_back(i % 50 == 49 ? Match(3 + i % 40, i % 30) : Lit((i * 13) & 0xFF));
    return t;
}

// The reader may run two bytes past the data (its read-ahead); a third
// missing byte means the member's bits ran out.
TEST(DecoderData, EndsExactlyAtTheDataButNotOneByteBefore)
{
    Block block;
    block.tokens = Varied(2000);
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    Bytes data = EncodeBlocks({block});
    DecodeRun whole = Decode(data, static_cast<std::uint32_t>(expected.size()), ReferenceCrc16(expected));
    EXPECT_EQ(whole.result, kDecodeOk) << DecodeReasonText(whole.reason);
    data.pop_back();
    DecodeRun cut = Decode(data, static_cast<std::uint32_t>(expected.size()), ReferenceCrc16(expected));
    EXPECT_EQ(cut.result, kDecodeBroken);
    EXPECT_EQ(cut.reason, DecodeReason::DataExhausted);
}

TEST(DecoderData, DataThatEndsEarlyIsBroken)
{
    Block block;
    block.tokens = Varied(3000);
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    Bytes data = EncodeBlocks({block});
    data.resize(data.size() / 2);
    DecodeRun run = Decode(data, static_cast<std::uint32_t>(expected.size()), ReferenceCrc16(expected));
    EXPECT_EQ(run.result, kDecodeBroken);
    EXPECT_LT(run.output.size(), expected.size());
}

// Missing input reads as zeros, and a count-0 code spends no bits: without
// the dry check this would write 4 GiB.
TEST(DecoderData, RunawayOutputStopsWhenTheDataIsGone)
{
    Block block;
    block.size = 0;
    block.symbols = SingleCode('a');
    block.offsets = SingleCode(0);
    BitWriter w;
    PutBlockHeader(w, block);
    Bytes data = w.Finish();
    data.resize(10, 0);
    DecodeRun run = Decode(data, 0xFFFFFFFFu, 0);
    EXPECT_EQ(run.result, kDecodeBroken);
    EXPECT_EQ(run.reason, DecodeReason::DataExhausted) << DecodeReasonText(run.reason);
    EXPECT_GE(run.output.size(), 65536u);
    EXPECT_LE(run.output.size(), 2u * 65536u);
}

} // namespace
