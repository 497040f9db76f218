// One LZH member header of level 0 or 1, and its reader.
//
// Base header (offsets from its first byte, integers little-endian):
//   0 size S | 1 checksum | 2 method, 5 bytes | 7 packed size, 4 | 11 original
//   size, 4 | 15 MS-DOS time, 2 | 17 MS-DOS date, 2 | 19 attribute | 20 level |
//   21 name length N | 22 name, N | 22+N CRC-16, 2 | ... up to S+2 (level 0)
//   or S (level 1, where the extended-header chain begins).
// Extended header at S+E (E = the size fields so far): size m (0 ends the
// chain), type byte, m-3 data bytes; the next size field is at S+E+m.
#pragma once

#include <cstdint>

#include "MemoryStream.h"
#include "Platform.h"

constexpr int kMethodLength = 5;
constexpr int kMaxBaseNameLength = 101;    // stored bytes of a level-0/1 base name
constexpr int kMaxExtendedNameLength = 100;
constexpr int kMaxDirectoryLength = 200;
constexpr int kNameRoom = 200;
constexpr int kExtendedOverhead = 3;       // the type byte and the next size field
constexpr std::uint8_t kExtendedFileName = 1;
constexpr std::uint8_t kExtendedDirectory = 2;
constexpr std::uint8_t kDirectorySeparator = 0xFF;  // in type-2 names
constexpr std::uint32_t kMaxExtendedSum = 65535;
constexpr std::uint16_t kFallbackDosDate = (1 << 5) | 1;  // 1980-01-01
constexpr std::uint16_t kFallbackDosTime = 0;

// Results of ReadMemberHeader.
constexpr int kHeaderRead = 0;
constexpr int kHeaderBroken = 2;
constexpr int kHeaderEnd = 3;
constexpr int kHeaderLevel = 4;
constexpr int kHeaderDry = -1;

// Why ReadMemberHeader returned what it did; for tests and diagnostics only.
enum class HeaderReason : std::uint8_t {
    None,
    EndOfArchive,
    DryBeforeMethod,
    LevelAboveOne,
    BaseNameTooLong,
    ExtendedNameTooLong,
    DirectoryNameSize,
    ExtendedSizeTooSmall,
    ExtendedSumTooLarge,
    DryInChain,
    DryAtEnd,
};

struct MemberHeader {
    std::int32_t headerSize;
    char method[kMethodLength + 1];
    std::uint32_t packedSize;       // at level 1 includes the extended headers
    std::uint16_t extendedSize;     // sum of the extended size fields read
    std::uint32_t originalSize;
    FILETIME lastWriteTime;         // UTC
    std::uint8_t level;
    char directoryName[kMaxDirectoryLength + 1];  // '\' separators; may be empty
    char fileName[kNameRoom];       // empty for an entry naming only a directory
    std::uint32_t crc;              // CRC-16 of the unpacked data, high half 0
    HeaderReason reason;
};

// Fills header from the stream's position; on 0 the stream stands at the
// member's first data byte.
int ReadMemberHeader(MemberHeader& header, MemoryStream& stream);

const char* HeaderReasonText(HeaderReason reason);
