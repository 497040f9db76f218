// The payload stream: reads, seeks, the sticky error; and the CRC-16 table.
#include <gtest/gtest.h>

#include "Crc16.h"
#include "MemberHeader.h"
#include "MemoryStream.h"
#include "TestSupport.h"

namespace {

TEST(Crc16, TableAndKnownValues)
{
    Crc16Table table;
    BuildCrc16Table(table);
    EXPECT_EQ(table.entry[0], 0x0000);
    EXPECT_EQ(table.entry[1], 0xC0C1);
    EXPECT_EQ(table.entry[128], 0xA001);
    std::uint16_t crc = 0;
    for (char c : std::string("abc"))
        crc = UpdateCrc16(table, crc, static_cast<std::uint8_t>(c));
    EXPECT_EQ(crc, 0x9738);
}

TEST(Crc16, TableAgreesWithBitwiseCrcOnEveryByteValue)
{
    Crc16Table table;
    BuildCrc16Table(table);
    Bytes data;
    for (int i = 0; i < 1000; ++i)
        data.push_back(static_cast<std::uint8_t>((i * 37 + i / 7) & 0xFF));
    std::uint16_t crc = 0;
    for (std::uint8_t b : data)
        crc = UpdateCrc16(table, crc, b);
    EXPECT_EQ(crc, ReferenceCrc16(data));
}

TEST(StreamRead, EmptyStreamYieldsZeroAndSetsError)
{
    MemoryStream s(nullptr, 0);
    EXPECT_EQ(s.ReadByte(), 0);
    EXPECT_EQ(s.error, kStreamDry);
    EXPECT_EQ(s.Position(), 0);
    MemberHeader h;
    MemoryStream t(nullptr, 0);
    EXPECT_EQ(ReadMemberHeader(h, t), kHeaderEnd);
}

TEST(StreamRead, LittleEndianIntegers)
{
    Bytes d = FromHex("34 12 78 56 34 12 ff");
    MemoryStream s(d.data(), static_cast<std::uint32_t>(d.size()));
    EXPECT_EQ(s.ReadUInt16(), 0x1234);
    EXPECT_EQ(s.ReadUInt32(), 0x12345678u);
    EXPECT_EQ(s.error, 0);
    EXPECT_EQ(s.available, 1);
    // One byte left: it is the low byte, the missing high byte counts as 0.
    EXPECT_EQ(s.ReadUInt16(), 0x00FF);
    EXPECT_EQ(s.error, kStreamDry);
    EXPECT_EQ(s.Position(), 7);
}

TEST(StreamRead, ReadFillsMissingBytesWithZerosAndReturnsCount)
{
    Bytes d = FromHex("01 02 03");
    MemoryStream s(d.data(), 3);
    std::uint8_t buffer[5] = {9, 9, 9, 9, 9};
    s.Seek(1, kSeekStart);
    EXPECT_EQ(s.Read(buffer, 5), 5);
    EXPECT_EQ(buffer[0], 2);
    EXPECT_EQ(buffer[1], 3);
    EXPECT_EQ(buffer[2], 0);
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(s.error, kStreamDry);
    EXPECT_EQ(s.Position(), 3);
}

struct SeekCase {
    std::int32_t offset;
    int origin;
    std::int32_t position;
    std::int32_t available;
};

TEST(StreamSeek, OriginsOnATenByteStream)
{
    const SeekCase cases[] = {
        {-2, kSeekEnd, 8, 2},   {12, kSeekStart, 12, -2}, {3, kSeekStart, 3, 7},
        {2, kSeekCurrent, 6, 4}, {0, kSeekEnd, 10, 0},     {-5, kSeekStart, -5, 15},
        {7, 9, 4, 6},   // an unknown origin leaves everything as it was
    };
    Bytes d(10, 0xAB);
    MemoryStream s(d.data(), 10);
    s.Seek(4, kSeekStart);
    for (const SeekCase& c : cases) {
        if (c.origin == kSeekCurrent || c.origin == 9)
            s.Seek(4, kSeekStart);
        s.Seek(c.offset, c.origin);
        EXPECT_EQ(s.Position(), c.position) << c.offset << "," << c.origin;
        EXPECT_EQ(s.available, c.available) << c.offset << "," << c.origin;
        EXPECT_EQ(s.error, 0);
    }
}

TEST(StreamSeek, ReadsOutsideTheDataFailWithoutMoving)
{
    Bytes d(10, 0x41);
    for (std::int32_t target : {12, 10, -1, -3, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u)}) {
        MemoryStream s(d.data(), 10);
        s.Seek(target, kSeekStart);
        EXPECT_EQ(s.ReadByte(), 0) << target;
        EXPECT_EQ(s.error, kStreamDry) << target;
        EXPECT_EQ(s.Position(), target);
    }
}

TEST(StreamError, IsStickyAcrossSeeks)
{
    Bytes archive = Archive({StoredMember("A.TXT", FromHex("41 42"))});
    MemoryStream s(archive.data(), static_cast<std::uint32_t>(archive.size()));
    s.Seek(0, kSeekEnd);
    s.ReadByte();
    ASSERT_EQ(s.error, kStreamDry);
    s.Seek(0, kSeekStart);
    EXPECT_EQ(s.ReadByte(), archive[0]);   // readable again
    EXPECT_EQ(s.error, kStreamDry);        // but still marked
    s.Seek(0, kSeekStart);
    MemberHeader h;
    EXPECT_EQ(ReadMemberHeader(h, s), kHeaderDry);
    EXPECT_EQ(h.reason, HeaderReason::DryBeforeMethod);
}

} // namespace
