// The engine where only the host layer's hooks can lead it: the payload
// resource and its faults, failed allocations, short writes, code page 932,
// links in the install folder and the local time zone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

#include "Craft.h"
#include "Globals.h"
#include "HostHooks.h"

namespace {

class Host : public ::testing::Test {
protected:
    void SetUp() override { HostResetHooks(); }
    void TearDown() override { HostResetHooks(), HostSetCodePage(1252); }
};

const Bytes kPayload = Archive({Packed("A.TXT", "a"), Packed("B.TXT", "b"), Stored("S", "s")});

// Each row's faults on a payload of two decoded members and a stored one;
// a run allocates the stream, then per member the decoder and its window
// or the copy buffer.
TEST_F(Host, PayloadFaults)
{
    const struct {
        HostResourceFault fault;
        int failedAllocation;
        int result;
        const char* written;
    } cases[] = {
        {HostResourceFault::None, 0, kResultOk, "A.TXT B.TXT S "},
        {HostResourceFault::Load, 0, kResultNotArchive, ""},
        {HostResourceFault::Lock, 0, kResultMemoryError, ""},
        {HostResourceFault::None, 1, kResultMemoryEmpty, ""},              // the stream
        {HostResourceFault::None, 2, kResultMemoryEmpty, ""},              // the first decoder
        {HostResourceFault::None, 3, kResultOk, "B.TXT S "},               // its window: that member alone is lost
        {HostResourceFault::None, 4, kResultMemoryEmpty, "A.TXT "},        // the second decoder
        {HostResourceFault::None, 6, kResultMemoryEmpty, "A.TXT B.TXT "},  // the copy buffer
    };
    for (const auto& c : cases) {
        ScratchFolder f;
        HostRegisterPayload(kPayload.data(), static_cast<DWORD>(kPayload.size()));
        HostSetResourceFault(c.fault);
        HostFailAllocation(c.failedAllocation);
        std::strcpy(InstallFolder, (f.Win32() + "dest").c_str());
        EXPECT_EQ(ExtractPayload(), c.result) << static_cast<int>(c.fault) << " " << c.failedAllocation;
        std::string written;
        for (const char* name : {"A.TXT", "B.TXT", "S"})
            written += f.Read(std::string("dest\\") + name) ? name + std::string(" ") : "";
        EXPECT_EQ(written, c.written) << static_cast<int>(c.fault) << " " << c.failedAllocation;
        EXPECT_EQ(HostLiveAllocations(), 0);
        HostResetHooks();
    }
    EXPECT_EQ(ExtractPayload(), kResultNotArchive) << "no payload";
}

// 20,000 bytes: two full windows, then the rest.
TEST_F(Host, ShortWritesEndTheMemberWithEight)
{
    const Block block{-1, Flat(510), Flat(14), Flat(19), Counting(20000)};
    const Bytes data = EncodeBlocks({block}), expected = Expected({block});
    for (int nth : {1, 2, 3}) {
        for (bool error : {false, true}) {
            HostShortWrite(nth, error);
            DecodeRun run = Decode(data, static_cast<std::uint32_t>(expected.size()), Crc(expected));
            EXPECT_EQ(run.result, kDecodeWriteError) << nth << error;
            EXPECT_EQ(run.reason, DecodeReason::ShortWrite) << nth << error;
        }
    }
}

const std::string kHyo = "\x95\x5c";   // a Shift-JIS character whose trail byte is 0x5C

TEST_F(Host, CodePage932LeadBytes)
{
    for (int c = 0x80; c < 0x100; ++c) {
        HostSetCodePage(932);
        EXPECT_EQ(IsDBCSLeadByte(static_cast<BYTE>(c)) != 0, (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) << c;
        HostSetCodePage(1252);
        EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(c))) << c;
    }
}

TEST_F(Host, InstallFolderEndsInOneSeparatorWithin255Bytes)
{
    const struct {
        UINT codePage;
        std::string in, out;
    } cases[] = {
        {1252, "D:\\Tools", "D:\\Tools\\"},
        {1252, "D:\\Tools\\", "D:\\Tools\\"},
        {1252, "", "\\"},
        {1252, std::string(255, 'L'), std::string(254, 'L') + "\\"},
        {1252, std::string(253, 'L') + "\\x", std::string(253, 'L') + "\\"},
        {932, "D:\\" + kHyo, "D:\\" + kHyo + "\\"},   // a trail byte 0x5C is no separator
        {932, "D:\\A\\\x95", "D:\\A\\"},               // half a character after a separator: dropped
        {932, "D:\\A\x95", "D:\\A\\"},                 // elsewhere: made the separator
        {932, std::string(253, 'L') + kHyo, std::string(253, 'L') + "\\"},   // the cut at 254 splits it
    };
    for (const auto& c : cases) {
        HostSetCodePage(c.codePage);
        std::memset(InstallFolder, 0, sizeof InstallFolder);
        std::memcpy(InstallFolder, c.in.data(), c.in.size());
        EnsureTrailingSeparator();
        EXPECT_EQ(std::string(InstallFolder), c.out) << c.in;
    }
}

// Native paths by hand: the trail byte 0x5C must stay inside its name.
TEST_F(Host, DoubleByteNamesUnderCodePage932Only)
{
    Member inRecord = Packed("F.TXT", "in a record");
    inRecord.extended = Record(2, {0x95, 0x5C, 0xFF});
    const Bytes archive = Archive({Stored(kHyo + "..\\x", "x", 0), Stored(kHyo + "\\..\\y", "y", 0), inRecord});
    for (UINT codePage : {932u, 1252u}) {
        ScratchFolder f;
        HostSetCodePage(codePage);
        Walk walk = RunMembers(archive, f.Win32());
        EXPECT_EQ(std::filesystem::is_regular_file(f.root + "/" + kHyo + "../x"), codePage == 932);
        EXPECT_EQ(walk.verdicts.at(1), PathVerdict::ParentComponent) << codePage;
        EXPECT_EQ(std::filesystem::is_regular_file(f.root + "/" + kHyo + "/F.TXT"), codePage == 932);
        EXPECT_EQ(f.CountEntries(), codePage == 932 ? 4 : 2) << codePage;
    }
}

TEST_F(Host, LinksInsideTheFolderAreNeverFollowed)
{
    ScratchFolder outside, f;
    std::filesystem::create_directory_symlink(outside.root, f.Native("LINKDIR"));
    std::filesystem::create_symlink(outside.Native("victim"), f.Native("LINKFILE"));
    Walk walk = RunMembers(Archive({Packed("LINKDIR\\P", "p", 0), Stored("LINKFILE", "s"), Packed("OK", "ok")}), f.Win32());
    EXPECT_EQ(outside.CountEntries(), 0);
    EXPECT_EQ(walk.verdicts.at(0), PathVerdict::Link);
    EXPECT_EQ(walk.verdicts.at(1), PathVerdict::Link);
    EXPECT_EQ(f.Read("OK"), "ok");
}

// The stamp is local time: UTC by the zone's offset on that date; a date
// the system refuses becomes 1980-01-01 00:00.
TEST_F(Host, TimeStampsFollowTheLocalZone)
{
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved ? saved : "";
    constexpr std::uint16_t kFebruary = (21 << 9) | (2 << 5) | 3, kJuly = (21 << 9) | (7 << 5) | 3;
    constexpr std::uint16_t kLeapDay = (20 << 9) | (2 << 5) | 29, kNoon = (12 << 11) | (34 << 5) | 28;
    const char* const kCet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const struct {
        const char* zone;
        std::uint16_t date, time;
        long utc;
    } cases[] = {
        {"UTC0", kFebruary, kNoon, 981203696L},   // 2001-02-03 12:34:56
        {"JST-9", kFebruary, kNoon, 981203696L - 9 * 3600},
        {kCet, kFebruary, kNoon, 981203696L - 3600},
        {kCet, kJuly, kNoon, 994163696L - 7200},
        {"UTC0", kLeapDay, (23 << 11) | (59 << 5) | 29, 951868798L},   // 2000-02-29 23:59:58
        {"JST-9", 0, kNoon, 315532800L - 9 * 3600},                     // month 0
    };
    for (const auto& c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        ScratchFolder f;
        Member stored = Stored("S", "s"), packed = Packed("P", "p");
        stored.dosDate = packed.dosDate = c.date;
        stored.dosTime = packed.dosTime = c.time;
        RunMembers(Archive({stored, packed}), f.Win32());
        for (const char* name : {"S", "P"}) {
            struct stat info = {};
            EXPECT_EQ(stat(f.Native(name).c_str(), &info), 0);
            EXPECT_EQ(info.st_mtime, c.utc) << c.zone << " " << name;
        }
    }
    saved ? setenv("TZ", savedZone.c_str(), 1) : unsetenv("TZ");
    tzset();
}

} // namespace
