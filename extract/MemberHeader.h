// One LZH member header of level 0 or 1, and its reader. The layout is set
// out in LzhFormat.h.
#pragma once

#include <cstdint>

#include "LzhFormat.h"
#include "MemoryStream.h"
#include "Platform.h"

constexpr int kNameRoom = 200;

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
    std::uint32_t packedSize;    // at level 1 includes the extended headers
    std::uint16_t extendedSize;  // sum of the extended size fields read
    std::uint32_t originalSize;
    FILETIME lastWriteTime;  // UTC
    std::uint8_t level;
    char directoryName[kMaxDirectoryLength + 1];  // '\' separators; may be empty
    char fileName[kNameRoom];                     // empty for an entry naming only a directory
    std::uint32_t crc;                            // CRC-16 of the unpacked data, high half 0
    HeaderReason reason;
};

// Fills header from the stream's position; on 0 the stream stands at the
// member's first data byte.
int ReadMemberHeader(MemberHeader& header, MemoryStream& stream);

const char* HeaderReasonText(HeaderReason reason);
