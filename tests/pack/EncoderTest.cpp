// The -lh5- encoder, decoded by the installer's own decoder: every kind of
// input comes back byte for byte, parts join bit-exactly, and the stream
// uses the forms the format requires.
#include <gtest/gtest.h>

#include "DecoderSupport.h"
#include "Lh5Encoder.h"
#include "ParallelEncode.h"
#include "PackData.h"

namespace {

Data Pack(const Data& in)
{
    Data out;
    lzhpack::EncodeLh5(in.data(), std::uint32_t(in.size()), out);
    return out;
}

void ExpectRoundTrip(const Data& in, const Data& packed, const std::string& what)
{
    DecodeRun run = Decode(packed, std::uint32_t(in.size()), ReferenceCrc16(in));
    EXPECT_EQ(run.result, 0) << what << ": " << DecodeReasonText(run.reason);
    EXPECT_TRUE(run.output == in) << what << ": output differs (" << run.output.size() << " of "
                                  << in.size() << " bytes)";
}

TEST(Encoder, VariedInputsComeBackWhole)
{
    for (const NamedData& input : VariedInputs())
        ExpectRoundTrip(input.data, Pack(input.data), input.name);
}

TEST(Encoder, PartsJoinIntoOneStream)
{
    const Data in = MixedData(90000, 11);
    const std::vector<std::vector<std::uint32_t>> layouts = {
        {1}, {8191}, {8192}, {12345}, {7000, 14000, 21000, 28000, 35000}, {30000, 30001, 60000}};
    for (const auto& cuts : layouts) {
        lzhpack::BitPiece stream;
        std::uint32_t begin = 0;
        std::vector<std::uint32_t> ends = cuts;
        ends.push_back(std::uint32_t(in.size()));
        for (std::uint32_t end : ends) {
            lzhpack::BitPiece piece;
            lzhpack::EncodeLh5Part(in.data(), begin, end, piece);
            lzhpack::AppendPiece(stream, piece);
            begin = end;
        }
        ExpectRoundTrip(in, stream.bytes, "parts cut at " + std::to_string(cuts[0]) + "...");
    }
}

// A repeat exactly one window back is the farthest the format reaches; one
// byte farther it must be sent as literals.
TEST(Encoder, MatchesReachOneWholeWindowAndNoFurther)
{
    std::size_t sizes[2] = {};
    for (int farther = 0; farther < 2; ++farther) {
        Data in = RandomData(8192 + std::size_t(farther), 21);
        in.insert(in.end(), in.begin(), in.begin() + 300);
        Data packed = Pack(in);
        ExpectRoundTrip(in, packed, farther ? "8193 back" : "8192 back");
        sizes[farther] = packed.size();
    }
    EXPECT_LT(sizes[0] + 250, sizes[1]) << "the repeat 8,192 bytes back was not matched";
}

// One symbol in a block: each code goes out in its single-value form, since
// a one-symbol code cannot fill the code space.
TEST(Encoder, SingleSymbolCodesUseTheCountZeroForm)
{
    BitWriter expected;
    expected.Put(1, 16);    // block size
    expected.Put(0, 5);     // code-length code: count 0 ...
    expected.Put(0, 5);     // ... single value 0
    expected.Put(0, 9);     // literal/length code: count 0 ...
    expected.Put('Q', 9);   // ... single symbol Q
    expected.Put(0, 4);     // offset code: count 0 ...
    expected.Put(0, 4);     // ... single value 0
    EXPECT_EQ(Pack(Data{'Q'}), expected.Finish());
}

TEST(Encoder, CompressesWhatCanBeCompressed)
{
    EXPECT_LT(Pack(TextData(40000, 1)).size(), 40000u * 35 / 100);
    EXPECT_LT(Pack(Data(100000, 0)).size(), 200u);
    const Data random = RandomData(100000, 5);
    EXPECT_LT(Pack(random).size(), random.size() + random.size() / 64 + 64);
    EXPECT_TRUE(Pack(Data()).empty());
}

// Big members go out in 1 MiB parts, spread over threads: the stream must
// not depend on how many threads there were.
TEST(Encoder, ThreadsDoNotChangeTheStream)
{
    std::vector<lzhpack::MemberWork> one(3);
    one[0].data = MixedData(lzhpack::kPartBytes * 2 + 777, 31);
    one[1].data = TextData(5000, 32);
    one[2].data = Data();
    std::vector<lzhpack::MemberWork> four = one;
    for (auto* set : {&one, &four}) {
        std::vector<lzhpack::MemberWork*> work;
        for (lzhpack::MemberWork& m : *set)
            work.push_back(&m);
        lzhpack::EncodeMembers(work, set == &one ? 1 : 4);
    }
    for (std::size_t i = 0; i < one.size(); ++i) {
        EXPECT_EQ(one[i].packed, four[i].packed) << "member " << i;
        ExpectRoundTrip(one[i].data, four[i].packed, "member " + std::to_string(i));
    }
}

TEST(Encoder, SameInputSameBytes)
{
    const Data in = MixedData(200000, 8);
    EXPECT_EQ(Pack(in), Pack(in));
}

}  // namespace
