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
constexpr int kResultUnknownType = 3;
constexpr int kResultBrokenFile = 4;
constexpr int kResultMemoryEmpty = 5;
constexpr int kResultMemoryError = 6;
constexpr int kResultWriteError = 8;

constexpr int kPayloadResourceId = 1;
constexpr int kScanWindow = 2048;
constexpr int kLookAhead = 4;
constexpr int kStoredBufferSize = 10240;
constexpr int kFolderCut = 254;  // InstallFolder keeps at most this much before its separator

// What happened to one member, and why a walk ended; for tests and lzhtool.
enum class MemberOutcome : std::uint8_t {
    Written,
    DirectoryEntry,   // names only a directory: its directories made, or nothing
    PathRefused,      // see verdict
    StoredTooLarge,   // originalSize above packedSize
    StoredTruncated,  // originalSize above the bytes left in the payload
    CreateFailed,
    CrcMismatch,   // stored member; the file was deleted
    DecodeFailed,  // see decodeResult and decodeReason; the file was deleted
    NoMemory,
    WalkEnded,   // see headerResult and headerReason
    NoProgress,  // the scan led back to or before the previous header
    Misplaced,   // a header found behind where the previous member ends
};

// result is what this report alone makes of the run's result: 0 for a
// member written, a directory entry and a clean end of the archive; 8 for a
// file passed over for its target (longer than 255 bytes, a link on the
// way) or one that cannot be created; 4 for a file lost for its name or its
// data, for a member header that cannot be read and for an end of the walk
// short of the archive's end; the decoder's own 6 or 8 when it failed for
// memory or a write; 3 for a header of a level above 1; 5 no memory.
struct MemberReport {
    const MemberHeader* header;
    const char* target;
    std::int32_t headerStart;
    MemberOutcome outcome;
    PathVerdict verdict;
    int decodeResult;
    DecodeReason decodeReason;
    int headerResult;
    int result;
};

// Called for every member and once at the end of the walk when set.
extern void (*MemberReporter)(const MemberReport& report);

// The decoder-pointer value that stands for "copy the bytes as they are".
extern LzhDecoder* const StoredMarker;

// Returns 0 when every member that names a file was written in full; 2 no
// payload resource; 6 it cannot be locked; else as ExtractMembers.
int ExtractPayload();

// The member loop of ExtractPayload over any stream, into folder (which
// must end in a separator). A stored or decoded member whose file cannot be
// created, and a failed allocation, end the run with 8 or 5. Otherwise the
// walk goes on to the archive's end and the result is the highest that a
// member report stood for (8, 6, 4 or 3, see MemberReport), else 2 when no
// member header was read at all, else 0.
int ExtractMembers(MemoryStream& stream, const char* folder);

// The header start found by scanning from position from; found, when
// given, tells whether a method identifier was seen there.
std::int32_t ScanForHeader(MemoryStream& stream, std::int32_t from, bool* found = nullptr);

LzhDecoder* CreateDecoder(const char* method, MemoryStream& stream);

void EnsureTrailingSeparator();
int CreateParentDirectories(const char* path);
// The length of path up to and including its last separator ('\\' or '/',
// never the trail byte of a double-byte character): the part that
// CreateParentDirectories makes into directories.
std::size_t ParentLength(const char* path);
