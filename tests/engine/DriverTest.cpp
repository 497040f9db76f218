// The extraction driver: the header scan, stored and decoded members, and
// the outcomes that cost one member without ending the run.
#include <gtest/gtest.h>

#include "DriverSupport.h"

namespace {

TEST(DriverWalk, WritesEveryKindOfMemberInOrder)
{
    ScratchFolder f;
    MemberSpec dirLevel1 = PackedText("B.TXT", "in a directory");
    dirLevel1.extended = ExtendedDirectory("DOC\\EN\\");
    Bytes archive = Archive({PackedText("A.TXT", "first, packed"), StoredMember("S.BIN", Text("stored bytes")),
                             PackedText("SUB\\C.TXT", "level 0 path", 0), dirLevel1,
                             StoredMember("EMPTY", {})});
    DriverRun run = RunMembers(archive, f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.Count(MemberOutcome::Written), 5);
    EXPECT_EQ(f.Read("A.TXT"), Text("first, packed"));
    EXPECT_EQ(f.Read("S.BIN"), Text("stored bytes"));
    EXPECT_EQ(f.Read("SUB\\C.TXT"), Text("level 0 path"));
    EXPECT_EQ(f.Read("DOC\\EN\\B.TXT"), Text("in a directory"));
    EXPECT_TRUE(f.Exists("EMPTY"));
    EXPECT_TRUE(f.Read("EMPTY").empty());
    ASSERT_FALSE(run.outcomes.empty());
    EXPECT_EQ(run.outcomes.front().name, "A.TXT");
    EXPECT_EQ(run.outcomes.back().outcome, MemberOutcome::WalkEnded);
}

TEST(DriverWalk, ArchiveWithoutEndByteEndsAtTheDataEnd)
{
    ScratchFolder f;
    DriverRun run = RunMembers(Archive({StoredMember("X", Text("x"))}, false), f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(f.Read("X"), Text("x"));
}

TEST(DriverScan, LeadingBytesWithoutHyphenUpTo2045)
{
    for (int junk : {0, 1, 2045, 2046}) {
        ScratchFolder f;
        Bytes archive(static_cast<std::size_t>(junk), 'j');
        Bytes member = Archive({StoredMember("FOUND", Text("yes"))});
        archive.insert(archive.end(), member.begin(), member.end());
        DriverRun run = RunMembers(archive, f.Win32());
        EXPECT_EQ(run.result, kResultOk) << junk;
        EXPECT_EQ(f.Exists("FOUND"), junk <= 2045) << junk;
        if (junk > 2045) {
            ASSERT_FALSE(run.outcomes.empty());
            EXPECT_EQ(run.outcomes.back().headerStart, -3);
            EXPECT_EQ(run.outcomes.back().headerResult, kHeaderEnd);
        }
    }
}

TEST(DriverScan, HyphensThatAreNotAMethodAreSteppedOver)
{
    ScratchFolder f;
    Bytes archive = Text("-x- -la5- -lhab --");
    Bytes member = Archive({StoredMember("AFTER", Text("ok"))});
    archive.insert(archive.end(), member.begin(), member.end());
    DriverRun run = RunMembers(archive, f.Win32());
    EXPECT_EQ(f.Read("AFTER"), Text("ok"));
}

TEST(DriverStored, SizesAndCrc)
{
    ScratchFolder f;
    Bytes big(10240);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 31);
    MemberSpec badCrc = StoredMember("BADCRC", Text("damaged"));
    badCrc.crc ^= 0x0101;
    MemberSpec tooLarge = StoredMember("TOOLARGE", Text("12345"));
    tooLarge.originalSize = 6;   // above packedSize
    MemberSpec otherMethod = StoredMember("OTHER", Text("copied as it is"));
    otherMethod.method = "-lzs-";
    Bytes archive = Archive({StoredMember("BIG", big), badCrc, tooLarge, otherMethod, StoredMember("LAST", Text("z"))});
    DriverRun run = RunMembers(archive, f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(f.Read("BIG"), big);
    EXPECT_FALSE(f.Exists("BADCRC"));
    EXPECT_FALSE(f.Exists("TOOLARGE"));
    EXPECT_EQ(f.Read("OTHER"), Text("copied as it is"));
    EXPECT_EQ(f.Read("LAST"), Text("z"));
    EXPECT_EQ(run.Count(MemberOutcome::CrcMismatch), 1);
    EXPECT_EQ(run.Count(MemberOutcome::StoredTooLarge), 1);
}

// The mend for runaway output: a stored member whose bytes are not in the
// payload leaves no file instead of a file padded with zeros.
TEST(DriverStored, MemberLongerThanThePayloadLeavesNoFile)
{
    ScratchFolder f;
    MemberSpec cut = StoredMember("CUT", Bytes(100, 'c'));
    Bytes archive = Archive({StoredMember("FIRST", Text("1")), cut}, false);
    archive.resize(archive.size() - 40);
    DriverRun run = RunMembers(archive, f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_TRUE(f.Exists("FIRST"));
    EXPECT_FALSE(f.Exists("CUT"));
    EXPECT_EQ(run.Count(MemberOutcome::StoredTruncated), 1);
}

TEST(DriverDecoded, BrokenMemberIsDeletedAndTheWalkGoesOn)
{
    ScratchFolder f;
    MemberSpec bad = PackedText("BAD.TXT", "this one has a wrong CRC");
    bad.crc ^= 0x8000;
    MemberSpec truncated = PackedText("TRUNC.TXT", std::string(3000, 'q') + "tail");
    truncated.originalSize = 50000;
    Bytes archive = Archive({bad, PackedText("GOOD.TXT", "fine"), truncated});
    DriverRun run = RunMembers(archive, f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_FALSE(f.Exists("BAD.TXT"));
    EXPECT_FALSE(f.Exists("TRUNC.TXT"));
    EXPECT_EQ(f.Read("GOOD.TXT"), Text("fine"));
    EXPECT_EQ(run.Count(MemberOutcome::DecodeFailed), 2);
}

TEST(DriverDirectories, DirectoryEntryCreatesNothingAndLeadingBackslashIsDropped)
{
    ScratchFolder f;
    MemberSpec dirOnly = StoredMember("", {});
    dirOnly.extended = ExtendedDirectory("ONLY\\");
    MemberSpec rooted = PackedText("R.TXT", "rooted");
    rooted.extended = ExtendedDirectory("\\TOP\\");
    DriverRun run = RunMembers(Archive({dirOnly, rooted}), f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_FALSE(f.Exists("ONLY"));
    EXPECT_EQ(f.Read("TOP\\R.TXT"), Text("rooted"));
    EXPECT_EQ(run.Count(MemberOutcome::DirectoryEntry), 1);
}

// A decoded member whose directory exists as a file cannot be created: the
// run ends with 8. A stored member in the same place is passed over.
TEST(DriverResults, WriteErrorForADecodedMemberOnly)
{
    ScratchFolder f;
    MemberSpec blocked = PackedText("X\\Y.TXT", "cannot be", 0);
    MemberSpec blockedStored = StoredMember("X\\Z.TXT", Text("cannot be"), 0);
    DriverRun stored = RunMembers(Archive({StoredMember("X", Text("a file")), blockedStored,
                                           StoredMember("NEXT", Text("n"))}), f.Win32());
    EXPECT_EQ(stored.result, kResultOk);
    EXPECT_TRUE(f.Exists("NEXT"));
    DriverRun decoded = RunMembers(Archive({blocked, StoredMember("NEVER", Text("n"))}), f.Win32());
    EXPECT_EQ(decoded.result, kResultWriteError);
    EXPECT_FALSE(f.Exists("NEVER"));
    EXPECT_EQ(f.Read("X"), Text("a file"));
}

// The mend for a walk that goes round: a packed size that wraps the next
// position back to the same header ends the walk after one extraction.
TEST(DriverMends, HeaderStartsMustIncrease)
{
    for (std::int64_t back : {0, 1, 20}) {
        ScratchFolder f;
        MemberSpec loop = StoredMember("LOOP", Text("once"));
        Bytes header = EncodeMember(loop);
        loop.packedOverride = 0x100000000LL - (header[0] + 2) - back;
        Bytes archive = Archive({StoredMember("PRE", Text("p")), loop});
        DriverRun run = RunMembers(archive, f.Win32());
        EXPECT_EQ(run.result, kResultOk) << back;
        EXPECT_LE(run.Count(MemberOutcome::Written), 2) << back;
        EXPECT_TRUE(f.Exists("PRE"));
        ASSERT_FALSE(run.outcomes.empty());
        EXPECT_EQ(run.outcomes.back().outcome, MemberOutcome::NoProgress) << back;
    }
}

TEST(DriverMends, WrappingExtendedChainEndsTheWalk)
{
    ScratchFolder f;
    MemberSpec wrap = StoredMember("WRAP", Text("w"));
    wrap.extended = FromHex("05 00 40 00 00 fb ff 40");
    wrap.closeChain = false;
    DriverRun run = RunMembers(Archive({StoredMember("BEFORE", Text("b")), wrap}), f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_TRUE(f.Exists("BEFORE"));
    EXPECT_FALSE(f.Exists("WRAP"));
    EXPECT_EQ(run.outcomes.back().headerResult, kHeaderBroken);
}

} // namespace
