// Engine behaviour that needs the host layer's hooks: the payload resource
// and its faults, failed allocations, short writes, code page 932, links
// and time zones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

#include "DecoderSupport.h"
#include "DriverSupport.h"
#include "Globals.h"
#include "HostHooks.h"

namespace {

class HostHooks : public ::testing::Test {
protected:
    void SetUp() override { HostResetHooks(); }
    void TearDown() override
    {
        HostResetHooks();
        HostSetCodePage(1252);
        MemberReporter = nullptr;
    }

    int RunPayload(const Bytes& archive, const std::string& folder)
    {
        HostRegisterPayload(archive.data(), static_cast<DWORD>(archive.size()));
        std::strcpy(InstallFolder, folder.c_str());
        return ExtractPayload();
    }
};

TEST_F(HostHooks, ResultCodesOfTheResourceSteps)
{
    ScratchFolder f;
    Bytes archive = Archive({PackedText("A.TXT", "a")});
    const std::string folder = f.Win32() + "dest";
    EXPECT_EQ(RunPayload(archive, folder), kResultOk);
    EXPECT_STREQ(InstallFolder, (folder + "\\").c_str());
    EXPECT_TRUE(f.Exists("dest\\A.TXT"));

    for (auto fault : {HostResourceFault::Load, HostResourceFault::Lock}) {
        HostSetResourceFault(fault);
        EXPECT_EQ(RunPayload(archive, "untouched"), fault == HostResourceFault::Load ? kResultNotArchive
                                                                                       : kResultMemoryError);
        EXPECT_STREQ(InstallFolder, "untouched");
    }
    HostResetHooks();
    std::strcpy(InstallFolder, "untouched");
    EXPECT_EQ(ExtractPayload(), kResultNotArchive);   // no payload registered
    EXPECT_STREQ(InstallFolder, "untouched");
}

// Allocations of a run: the stream, then per -lh5- member the decoder and its window.
TEST_F(HostHooks, FailedAllocations)
{
    Bytes archive = Archive({PackedText("A.TXT", "a"), PackedText("B.TXT", "b"), StoredMember("S", Text("s"))});
    struct Case {
        int nth;
        int result;
        bool a, b, s;
    } cases[] = {
        {1, kResultMemoryEmpty, false, false, false},   // the stream
        {2, kResultMemoryEmpty, false, false, false},   // the first decoder
        {3, kResultOk, false, true, true},              // its window: the member is lost
        {4, kResultMemoryEmpty, true, false, false},    // the second decoder
        {6, kResultMemoryEmpty, true, true, false},     // the stored member's copy buffer
    };
    for (const Case& c : cases) {
        ScratchFolder f;
        HostFailAllocation(c.nth);
        EXPECT_EQ(RunPayload(archive, f.Win32()), c.result) << c.nth;
        EXPECT_EQ(f.Exists("A.TXT"), c.a) << c.nth;
        EXPECT_EQ(f.Exists("B.TXT"), c.b) << c.nth;
        EXPECT_EQ(f.Exists("S"), c.s) << c.nth;
        EXPECT_EQ(HostLiveAllocations(), 0) << c.nth;
    }
}

TEST_F(HostHooks, FailedWindowAllocationLeavesTheStreamAlone)
{
    Block block;
    block.tokens = {Lit('w')};
    Bytes data = EncodeBlocks({block});
    HostFailAllocation(2);   // the decoder first, then its window
    DecodeRun run = Decode(data, 1, ReferenceCrc16(Text("w")));
    EXPECT_EQ(run.result, kDecodeNoMemory);
    EXPECT_EQ(run.position, 0);
    EXPECT_TRUE(run.output.empty());
}

std::vector<Token> Pattern(int n)
{
    std::vector<Token> t;
    for (int i = 0; i < n; ++i)
        t.push_back(Lit((i * 11) & 0xFF));
    return t;
}

TEST_F(HostHooks, WindowFlushesAndFinalWrite)
{
    for (int size : {8191, 8192, 8193, 20000}) {
        HostResetHooks();
        Block block;
        block.tokens = Pattern(size);
        DecodeRun run = DecodeBlocks({block}, ApplyTokens(block.tokens, SIZE_MAX));
        ASSERT_EQ(run.result, kDecodeOk) << size;
        EXPECT_EQ(HostWriteCount(), (size + 8191) / 8192) << size;
        for (int k = 0; k < size / 8192; ++k) {
            EXPECT_EQ(HostWriteSize(k), 8192) << size;
        }
        if (size % 8192) {
            EXPECT_EQ(HostWriteSize(size / 8192), size % 8192) << size;
        }
    }
}

TEST_F(HostHooks, ShortWritesGiveEightAndSkipTheCrc)
{
    Block block;
    block.tokens = Pattern(20000);
    Bytes expected = ApplyTokens(block.tokens, SIZE_MAX);
    for (int nth : {1, 2, 3}) {
        for (bool error : {false, true}) {
            HostResetHooks();
            HostShortWrite(nth, error);
            DecodeRun run = DecodeBlocks({block}, expected);
            EXPECT_EQ(run.result, kDecodeWriteError) << nth << error;
            EXPECT_EQ(run.reason, DecodeReason::ShortWrite);
            // The loop ends at its next test; a flush leaves nothing for a final write.
            EXPECT_EQ(HostWriteCount(), nth) << nth << error;
        }
    }
    ScratchFolder f;
    HostResetHooks();
    HostShortWrite(1);
    DriverRun run = RunMembers(Archive({PackedText("SHORT.TXT", "short"), PackedText("NEXT.TXT", "n")}), f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_FALSE(f.Exists("SHORT.TXT"));
    EXPECT_TRUE(f.Exists("NEXT.TXT"));
}

TEST_F(HostHooks, StoredMembersWriteInBlocksOf10240)
{
    for (int size : {0, 10240, 10241}) {
        ScratchFolder f;
        HostResetHooks();
        Bytes content(static_cast<std::size_t>(size), 0x33);
        DriverRun run = RunMembers(Archive({StoredMember("S", content)}), f.Win32());
        ASSERT_EQ(run.result, kResultOk);
        EXPECT_EQ(HostWriteCount(), (size + 10239) / 10240) << size;
        EXPECT_EQ(f.Read("S"), content);
    }
}

const char kHyo[] = "\x95\x5c";   // a Shift-JIS character whose trail byte is 0x5C

TEST_F(HostHooks, CodePage932LeadBytes)
{
    HostSetCodePage(932);
    int leads = 0;
    for (int c = 0; c < 256; ++c)
        leads += IsDBCSLeadByte(static_cast<BYTE>(c)) ? 1 : 0;
    EXPECT_EQ(leads, (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1));
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0));
    EXPECT_TRUE(IsDBCSLeadByte(0xFC));
    EXPECT_FALSE(IsDBCSLeadByte(0xFD));
    char out[64];
    ASSERT_TRUE(HostMapPath((std::string("a\\") + kHyo + "\\b").c_str(), out, sizeof out));
    EXPECT_STREQ(out, (std::string("a/") + kHyo + "/b").c_str());
    HostSetCodePage(1252);
    EXPECT_FALSE(IsDBCSLeadByte(0x95));
    ASSERT_TRUE(HostMapPath((std::string("a\\") + kHyo + "\\b").c_str(), out, sizeof out));
    EXPECT_STREQ(out, "a/\x95//b");
}

TEST_F(HostHooks, EnsureTrailingSeparatorWithDoubleByteCharacters)
{
    HostSetCodePage(932);
    const struct {
        std::string in, out;
    } cases[] = {
        {std::string("D:\\") + kHyo, std::string("D:\\") + kHyo + "\\"},   // trail 0x5C is no separator
        {"D:\\A\\\x95", "D:\\A\\"},                                         // incomplete after a separator
        {"D:\\A\x95", "D:\\A\\"},                                           // incomplete elsewhere
        {std::string(253, 'L') + kHyo, std::string(253, 'L') + "\\"},       // cut at 254 splits the character
    };
    for (const auto& c : cases) {
        std::memset(InstallFolder, 0, sizeof InstallFolder);
        std::memcpy(InstallFolder, c.in.data(), c.in.size());
        EnsureTrailingSeparator();
        EXPECT_EQ(std::string(InstallFolder), c.out) << c.in;
    }
}

TEST_F(HostHooks, DoubleByteNamesUnderCodePage932)
{
    ScratchFolder f;
    HostSetCodePage(932);
    MemberSpec inDir = PackedText("F.TXT", "hyo");
    inDir.extended = ExtendedRecord(2, {0x95, 0x5C, 0xFF});   // the character, then a separator
    MemberSpec dotted = StoredMember(std::string(kHyo) + "..\\x", Text("inside"), 0);
    DriverRun run = RunMembers(Archive({inDir, dotted}), f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    // Native paths by hand: the trail byte 0x5C must stay in the name.
    EXPECT_TRUE(std::filesystem::is_regular_file(f.Native("") + kHyo + "/F.TXT"));
    EXPECT_TRUE(std::filesystem::is_regular_file(f.Native("") + kHyo + "../x"));
    EXPECT_EQ(f.CountEntries(), 4);   // two directories, two files: one level each

    ScratchFolder g;
    HostSetCodePage(1252);
    DriverRun single = RunMembers(Archive({dotted}), g.Win32());
    EXPECT_EQ(single.outcomes[0].outcome, MemberOutcome::PathRefused);
    EXPECT_EQ(g.CountEntries(), 0);
}

TEST_F(HostHooks, LinksInsideTheFolderAreNeverFollowed)
{
    namespace fs = std::filesystem;
    ScratchFolder outside, f;
    fs::create_directory_symlink(outside.Native(""), f.Native("LINKDIR"));
    fs::create_symlink(outside.Native("victim"), f.Native("LINKFILE"));
    MemberSpec viaDir = PackedText("LINKDIR\\P.TXT", "p", 0);
    MemberSpec viaFile = StoredMember("LINKFILE", Text("s"), 0);
    MemberSpec plain = PackedText("OK.TXT", "ok");
    DriverRun run = RunMembers(Archive({viaDir, viaFile, plain}), f.Win32());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(outside.CountEntries(), 0);
    EXPECT_EQ(run.outcomes[0].verdict, PathVerdict::Link);
    EXPECT_EQ(run.outcomes[1].verdict, PathVerdict::Link);
    EXPECT_EQ(f.Read("OK.TXT"), Text("ok"));
}

// The member's local time becomes UTC by the offset the zone has on that
// date: in a zone with summer time, winter and summer dates differ by an hour.
TEST_F(HostHooks, TimeStampsFollowTheLocalZone)
{
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved ? saved : "";
    constexpr std::uint16_t kJuly = ((2001 - 1980) << 9) | (7 << 5) | 3;
    struct ZoneCase {
        const char* zone;
        long winterOffset, summerOffset;
    };
    const ZoneCase zones[] = {{"UTC0", 0, 0}, {"JST-9", 9 * 3600, 9 * 3600}, {"CET-1CEST,M3.5.0,M10.5.0/3", 3600, 7200}};
    for (const ZoneCase& zone : zones) {
        setenv("TZ", zone.zone, 1);
        tzset();
        ScratchFolder f;
        MemberSpec summer = PackedText("U.TXT", "summer");
        summer.dosDate = kJuly;
        RunMembers(Archive({PackedText("T.TXT", "time"), StoredMember("S.TXT", Text("s")), summer}), f.Win32());
        const std::pair<const char*, long> expected[] = {{"T.TXT", 981203696L - zone.winterOffset},   // 2001-02-03 12:34:56
                                                         {"S.TXT", 981203696L - zone.winterOffset},
                                                         {"U.TXT", 994163696L - zone.summerOffset}};   // 2001-07-03
        for (const auto& e : expected) {
            struct stat info;
            ASSERT_EQ(stat(f.Native(e.first).c_str(), &info), 0);
            EXPECT_EQ(info.st_mtime, e.second) << zone.zone << " " << e.first;
        }
    }
    if (saved)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace
