#include "MemberHeader.h"

#include <cstring>

namespace {

constexpr std::uint8_t kLastControlByte = 0x20;  // this and below become '_'

int Refuse(MemberHeader& header, int result, HeaderReason reason)
{
    header.reason = reason;
    return result;
}

std::uint8_t PrintableNameByte(std::uint8_t b) { return b <= kLastControlByte ? '_' : b; }

// A date or time that the system rejects takes the earliest MS-DOS stamp, so
// that the file never receives an undefined time.
void ConvertTimeStamp(MemberHeader& header, WORD date, WORD time)
{
    FILETIME local = {0, 0};
    if (!DosDateTimeToFileTime(date, time, &local))
        DosDateTimeToFileTime(kFallbackDosDate, kFallbackDosTime, &local);
    LocalFileTimeToFileTime(&local, &header.lastWriteTime);
}

int ReadExtendedFileName(MemberHeader& header, MemoryStream& stream, std::uint32_t n)
{
    if (n > kMaxExtendedNameLength)
        return Refuse(header, kHeaderBroken, HeaderReason::ExtendedNameTooLong);
    for (std::uint32_t i = 0; i < n; ++i)
        header.fileName[i] = static_cast<char>(PrintableNameByte(stream.ReadByte()));
    header.fileName[n] = '\0';
    return kHeaderRead;
}

// From the first byte up to the first one below 0x20: a space becomes '_'
// and 0xFF a backslash. Bytes behind a control byte are left unconverted.
int ReadExtendedDirectory(MemberHeader& header, MemoryStream& stream, std::uint32_t n)
{
    if (n == 0 || n > kMaxDirectoryLength)
        return Refuse(header, kHeaderBroken, HeaderReason::DirectoryNameSize);
    stream.Read(reinterpret_cast<std::uint8_t*>(header.directoryName), static_cast<std::int32_t>(n));
    header.directoryName[n] = '\0';
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(header.directoryName[i]);
        if (b < kLastControlByte)
            break;
        if (b == ' ')
            header.directoryName[i] = '_';
        else if (b == kDirectorySeparator)
            header.directoryName[i] = '\\';
    }
    return kHeaderRead;
}

// The extended-header chain of a level-1 header, from position chainStart.
// The running sum of size fields is checked against 16 bits so that a
// wrapping sum can never lead the walk back to an earlier record; since
// every record adds at least 1, the loop ends within 65,535 passes.
int ReadExtendedHeaders(MemberHeader& header, MemoryStream& stream, std::int32_t chainStart)
{
    std::uint32_t sum = 0;
    for (;;) {
        stream.Seek(static_cast<std::int32_t>(chainStart + sum), kSeekStart);
        if (stream.error != 0)
            return Refuse(header, kHeaderBroken, HeaderReason::DryInChain);
        std::uint32_t m = stream.ReadUInt16();
        sum += m;
        if (sum > kMaxExtendedSum)
            return Refuse(header, kHeaderBroken, HeaderReason::ExtendedSumTooLarge);
        header.extendedSize = static_cast<std::uint16_t>(sum);
        if (m == 0)
            return kHeaderRead;
        std::uint8_t type = stream.ReadByte();
        if (type != kExtendedFileName && type != kExtendedDirectory)
            continue;
        if (m < kExtendedOverhead)
            return Refuse(header, kHeaderBroken, HeaderReason::ExtendedSizeTooSmall);
        int rc = (type == kExtendedFileName) ? ReadExtendedFileName(header, stream, m - kExtendedOverhead)
                                             : ReadExtendedDirectory(header, stream, m - kExtendedOverhead);
        if (rc != kHeaderRead)
            return rc;
    }
}

}  // namespace

int ReadMemberHeader(MemberHeader& header, MemoryStream& stream)
{
    header.extendedSize = 0;
    header.reason = HeaderReason::None;
    const std::int32_t start = stream.Position();
    header.headerSize = stream.ReadByte();
    if (header.headerSize == 0)
        return Refuse(header, kHeaderEnd, HeaderReason::EndOfArchive);
    stream.ReadByte();  // header checksum, not verified
    stream.Read(reinterpret_cast<std::uint8_t*>(header.method), kMethodLength);
    if (stream.error != 0)
        return Refuse(header, kHeaderDry, HeaderReason::DryBeforeMethod);
    header.method[kMethodLength] = '\0';
    header.packedSize = stream.ReadUInt32();
    header.originalSize = stream.ReadUInt32();
    const WORD time = stream.ReadUInt16();
    const WORD date = stream.ReadUInt16();
    stream.ReadByte();  // attribute
    header.level = stream.ReadByte();
    header.directoryName[0] = '\0';
    header.fileName[0] = '\0';
    if (header.level > 1)
        return Refuse(header, kHeaderLevel, HeaderReason::LevelAboveOne);

    const int nameLength = stream.ReadByte();
    for (int i = 0; i < nameLength; ++i) {
        std::uint8_t b = PrintableNameByte(stream.ReadByte());
        if (i == kMaxBaseNameLength)
            return Refuse(header, kHeaderBroken, HeaderReason::BaseNameTooLong);
        header.fileName[i] = static_cast<char>(b);
    }
    header.fileName[nameLength > kMaxBaseNameLength ? kMaxBaseNameLength : nameLength] = '\0';
    header.crc = stream.ReadUInt16();
    stream.Seek(start + header.headerSize, kSeekStart);
    ConvertTimeStamp(header, date, time);

    const std::int32_t chainStart = stream.Position();
    if (header.level == 1) {
        int rc = ReadExtendedHeaders(header, stream, chainStart);
        if (rc != kHeaderRead)
            return rc;
    } else {
        stream.ReadByte();
        stream.ReadByte();
    }
    if (stream.error != 0)
        return Refuse(header, kHeaderBroken, HeaderReason::DryAtEnd);
    return kHeaderRead;
}

const char* HeaderReasonText(HeaderReason reason)
{
    switch (reason) {
    case HeaderReason::None: return "header read";
    case HeaderReason::EndOfArchive: return "end of archive";
    case HeaderReason::DryBeforeMethod: return "data ran out before the method";
    case HeaderReason::LevelAboveOne: return "header level above 1";
    case HeaderReason::BaseNameTooLong: return "name longer than 101 bytes";
    case HeaderReason::ExtendedNameTooLong: return "extended name longer than 100 bytes";
    case HeaderReason::DirectoryNameSize: return "directory name empty or longer than 200 bytes";
    case HeaderReason::ExtendedSizeTooSmall: return "extended name header smaller than 3 bytes";
    case HeaderReason::ExtendedSumTooLarge: return "extended headers add up past 65535 bytes";
    case HeaderReason::DryInChain: return "data ran out in the extended headers";
    case HeaderReason::DryAtEnd: return "data ran out in the header";
    }
    return "unknown";
}
