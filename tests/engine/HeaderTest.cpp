// Member headers: levels, limits, name replacements, extended headers.
#include <gtest/gtest.h>

#include <cstring>

#include "MemberHeader.h"
#include "TestSupport.h"

namespace {

struct Parsed {
    int result;
    MemberHeader header;
    std::int32_t position;
    std::int32_t error;
};

Parsed Parse(const Bytes& bytes)
{
    Parsed p;
    std::memset(&p.header, 0x5A, sizeof p.header);
    MemoryStream s(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    p.result = ReadMemberHeader(p.header, s);
    p.position = s.Position();
    p.error = s.error;
    return p;
}

Bytes Bytes_(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(HeaderLevels, LevelZeroFieldsAndDataPosition)
{
    MemberSpec m = StoredMember("READ ME.TXT", Bytes_("hello"), 0);
    m.crc = 0xBEEF;
    Bytes b = EncodeMember(m);
    b[1] ^= 0x55;   // a checksum that does not match is accepted
    Parsed p = Parse(b);
    ASSERT_EQ(p.result, kHeaderRead);
    EXPECT_STREQ(p.header.method, "-lh0-");
    EXPECT_EQ(p.header.headerSize, 22 + 11);
    EXPECT_EQ(p.header.packedSize, 5u);
    EXPECT_EQ(p.header.originalSize, 5u);
    EXPECT_EQ(p.header.level, 0);
    EXPECT_EQ(p.header.extendedSize, 0);
    EXPECT_EQ(p.header.crc, 0xBEEFu);
    EXPECT_STREQ(p.header.fileName, "READ_ME.TXT");
    EXPECT_STREQ(p.header.directoryName, "");
    EXPECT_EQ(p.position, p.header.headerSize + 2);
}

TEST(HeaderLevels, LevelOneWithEmptyChainStandsBehindTheZeroSize)
{
    Parsed p = Parse(EncodeMember(StoredMember("A.B", Bytes_("xyz"))));
    ASSERT_EQ(p.result, kHeaderRead);
    EXPECT_EQ(p.header.level, 1);
    EXPECT_EQ(p.header.extendedSize, 0);
    EXPECT_EQ(p.position, p.header.headerSize + 2);
}

TEST(HeaderLevels, LevelAboveOneIsRefusedWithNamesEmpty)
{
    Bytes b = EncodeMember(StoredMember("NAME", Bytes_("x"), 0));
    b[20] = 2;
    Parsed p = Parse(b);
    EXPECT_EQ(p.result, kHeaderLevel);
    EXPECT_STREQ(p.header.fileName, "");
    EXPECT_STREQ(p.header.directoryName, "");
}

TEST(HeaderLevels, EndOfArchiveAndTruncatedMethod)
{
    EXPECT_EQ(Parse(FromHex("00 ff ff")).result, kHeaderEnd);
    Parsed p = Parse(FromHex("16 00 2d 6c 68"));
    EXPECT_EQ(p.result, kHeaderDry);
    Bytes whole = EncodeMember(StoredMember("NAME", Bytes_("x"), 1));
    whole.resize(whole.size() - 4);   // cut inside the chain's closing size and data
    EXPECT_EQ(Parse(whole).result, kHeaderBroken);
}

TEST(HeaderTime, DosStampIsConvertedAndABadOneFallsBackToTheDosEpoch)
{
    MemberSpec good = StoredMember("T", Bytes_("t"));
    MemberSpec bad = good;
    bad.dosDate = 0;   // month 0 is rejected
    MemberSpec epoch = good;
    epoch.dosDate = (1 << 5) | 1;
    epoch.dosTime = 0;
    Parsed g = Parse(EncodeMember(good)), b = Parse(EncodeMember(bad)), e = Parse(EncodeMember(epoch));
    ASSERT_EQ(g.result, kHeaderRead);
    ASSERT_EQ(b.result, kHeaderRead);
    EXPECT_EQ(b.header.lastWriteTime.dwLowDateTime, e.header.lastWriteTime.dwLowDateTime);
    EXPECT_EQ(b.header.lastWriteTime.dwHighDateTime, e.header.lastWriteTime.dwHighDateTime);
    const std::uint64_t gt = (std::uint64_t{g.header.lastWriteTime.dwHighDateTime} << 32) | g.header.lastWriteTime.dwLowDateTime;
    const std::uint64_t et = (std::uint64_t{e.header.lastWriteTime.dwHighDateTime} << 32) | e.header.lastWriteTime.dwLowDateTime;
    // 1980-01-01 00:00 to 2001-02-03 12:34:56 in 100 ns ticks, give or take a zone difference of a DST hour.
    const std::uint64_t span = (7704ull * 86400 + 12 * 3600 + 34 * 60 + 56) * 10000000ull;
    EXPECT_LE(gt - et > span ? gt - et - span : span - (gt - et), 3600ull * 10000000ull);
}

struct NameCase {
    const char* label;
    int level;
    int nameLength;
    Bytes extended;
    int result;
    std::string fileName;       // "?": not checked
    std::string directoryName;  // "?": not checked
};

std::vector<NameCase> NameCases()
{
    const std::string hundred(100, 'N'), hundredOne(101, 'N');
    return {
        {"base name of 101 bytes", 0, 101, {}, kHeaderRead, "?", ""},
        {"base name of 102 bytes", 0, 102, {}, kHeaderBroken, "?", "?"},
        {"base name of 101 bytes, level 1", 1, 101, {}, kHeaderRead, "?", ""},
        {"extended name of 100 bytes", 1, 3, ExtendedRecord(1, Bytes_(hundred)), kHeaderRead, hundred, ""},
        {"extended name of 101 bytes", 1, 3, ExtendedRecord(1, Bytes_(hundredOne)), kHeaderBroken, "?", "?"},
        {"extended name of 0 bytes", 1, 3, ExtendedRecord(1, {}), kHeaderRead, "", ""},
        {"later extended name wins", 1, 3, [] { Bytes a = ExtendedRecord(1, Bytes_("FIRST")), b = ExtendedRecord(1, Bytes_("SECOND")); a.insert(a.end(), b.begin(), b.end()); return a; }(), kHeaderRead, "SECOND", ""},
        {"extended name with a space", 1, 3, ExtendedRecord(1, Bytes_("A B\tC")), kHeaderRead, "A_B_C", ""},
        {"directory DOC 0xFF EN 0xFF", 1, 3, ExtendedDirectory("DOC\\EN\\"), kHeaderRead, "NNN", "DOC\\EN\\"},
        {"directory with a space", 1, 3, ExtendedDirectory("MY DOCS\\"), kHeaderRead, "NNN", "MY_DOCS\\"},
        {"directory conversion stops at a control byte", 1, 3, ExtendedRecord(2, FromHex("41 ff 01 ff 20 42")), kHeaderRead, "NNN", "A\\\x01\xff B"},
        {"directory of 0 bytes", 1, 3, ExtendedRecord(2, {}), kHeaderBroken, "?", "?"},
        {"directory of 200 bytes", 1, 3, ExtendedRecord(2, Bytes(200, 'D')), kHeaderRead, "NNN", std::string(200, 'D')},
        {"directory of 201 bytes", 1, 3, ExtendedRecord(2, Bytes(201, 'D')), kHeaderBroken, "?", "?"},
        {"unknown type skipped", 1, 3, ExtendedRecord(0x40, Bytes_("UNIX")), kHeaderRead, "NNN", ""},
        {"name type with size 1", 1, 3, FromHex("01 00 01"), kHeaderBroken, "?", "?"},
        {"name type with size 2", 1, 3, FromHex("02 00 01 00"), kHeaderBroken, "?", "?"},
        {"directory type with size 1", 1, 3, FromHex("01 00 02"), kHeaderBroken, "?", "?"},
        {"directory type with size 2", 1, 3, FromHex("02 00 02 00"), kHeaderBroken, "?", "?"},
    };
}

TEST(HeaderNames, LimitsReplacementsAndExtendedRecords)
{
    for (const NameCase& c : NameCases()) {
        MemberSpec m = StoredMember(std::string(static_cast<std::size_t>(c.nameLength), 'N'), Bytes_("data"), c.level);
        m.extended = c.extended;
        Parsed p = Parse(EncodeMember(m));
        EXPECT_EQ(p.result, c.result) << c.label;
        if (c.fileName != "?") {
            EXPECT_EQ(std::string(p.header.fileName), c.fileName) << c.label;
        }
        if (c.directoryName != "?") {
            EXPECT_EQ(std::string(p.header.directoryName), c.directoryName) << c.label;
        }
        if (c.result == kHeaderRead) {
            EXPECT_EQ(p.header.extendedSize, c.extended.size()) << c.label;
            EXPECT_EQ(p.position, p.header.headerSize + 2 + static_cast<std::int32_t>(c.extended.size())) << c.label;
        }
    }
}

TEST(HeaderNames, BaseNameOf101BytesIsKeptWhole)
{
    Parsed p = Parse(EncodeMember(StoredMember(std::string(101, 'Q'), Bytes_("d"), 0)));
    ASSERT_EQ(p.result, kHeaderRead);
    EXPECT_EQ(std::strlen(p.header.fileName), 101u);
}

// A chain whose sizes wrap at 16 bits would lead back to its first record.
TEST(HeaderExtended, SumPast65535IsRefused)
{
    MemberSpec m = StoredMember("N", Bytes_("d"));
    m.extended = FromHex("05 00 40 00 00 fb ff 40");
    m.closeChain = false;
    m.extended.resize(0xFFFB + 5, 0);
    Parsed p = Parse(EncodeMember(m));
    EXPECT_EQ(p.result, kHeaderBroken);
    EXPECT_EQ(p.header.reason, HeaderReason::ExtendedSumTooLarge);
}

TEST(HeaderExtended, SumOfExactly65535IsStillRead)
{
    MemberSpec m = StoredMember("N", Bytes_("d"));
    m.extended = ExtendedRecord(0x40, Bytes(65535 - 3, 'x'));
    Parsed p = Parse(EncodeMember(m));
    EXPECT_EQ(p.result, kHeaderRead);
    EXPECT_EQ(p.header.extendedSize, 65535);
}

TEST(HeaderExtended, ChainRunningOffTheDataIsBroken)
{
    MemberSpec m = StoredMember("N", {});
    m.extended = FromHex("40 00 40");
    m.closeChain = false;
    Parsed p = Parse(EncodeMember(m));
    EXPECT_EQ(p.result, kHeaderBroken);
    EXPECT_EQ(p.header.reason, HeaderReason::DryAtEnd);
}

} // namespace
