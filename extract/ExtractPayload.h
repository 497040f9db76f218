// The extraction driver: installs the archive carried as RT_RCDATA resource 1
// into InstallFolder.
#pragma once

#include <cstdint>

#include "Lh5Decoder.h"
#include "MemberHeader.h"
#include "MemberPath.h"
#include "MemoryStream.h"

// ExtractResult codes.
constexpr int kResultOk = 0;
constexpr int kResultNotArchive = 2;
constexpr int kResultMemoryEmpty = 5;
constexpr int kResultMemoryError = 6;
constexpr int kResultWriteError = 8;

constexpr int kPayloadResourceId = 1;
constexpr int kScanWindow = 2048;
constexpr int kLookAhead = 4;
constexpr int kStoredBufferSize = 10240;
constexpr int kFolderCut = 254;           // InstallFolder keeps at most this much before its separator

// What happened to one member, and why a walk ended; for tests and
// `lzhtool extract --verbose` only. The result codes stay those above.
enum class MemberOutcome : std::uint8_t {
    Written,
    DirectoryEntry,    // names only a directory: nothing created
    PathRefused,       // see verdict
    StoredTooLarge,    // originalSize above packedSize
    StoredTruncated,   // originalSize above the bytes left in the payload
    CreateFailed,
    CrcMismatch,       // stored member; the file was deleted
    DecodeFailed,      // see decodeResult and decodeReason; the file was deleted
    NoMemory,
    WalkEnded,         // see headerResult and headerReason
    NoProgress,        // the scan led back to or before the previous header
};

struct MemberReport {
    const MemberHeader* header;
    const char* target;
    std::int32_t headerStart;
    MemberOutcome outcome;
    PathVerdict verdict;
    int decodeResult;
    DecodeReason decodeReason;
    int headerResult;
};

// Called for every member and once at the end of the walk when set.
extern void (*MemberReporter)(const MemberReport& report);

// The decoder-pointer value that stands for "copy the bytes as they are".
extern LzhDecoder* const StoredMarker;

int ExtractPayload();

// The member loop of ExtractPayload over any stream, into folder (which
// must end in a separator). Returns 0, 5 or 8.
int ExtractMembers(MemoryStream& stream, const char* folder);

// The header start found by scanning from position from.
std::int32_t ScanForHeader(MemoryStream& stream, std::int32_t from);

LzhDecoder* CreateDecoder(const char* method, MemoryStream& stream);

void EnsureTrailingSeparator();
// Makes the directories of path, and tells whether it made the last one itself.
int CreateParentDirectories(const char* path, bool& madeLast);
// The length of path up to and including its last separator ('\\' or '/',
// never the trail byte of a double-byte character): the part that
// CreateParentDirectories makes into directories.
std::size_t ParentLength(const char* path);
