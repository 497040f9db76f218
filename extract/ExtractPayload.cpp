// The extraction driver: finds each member header, judges its target path,
// and writes the member as a stored copy or through the -lh5- decoder. A
// member's file is either completed (data, time stamp, close) or closed and
// deleted; damage confined to one member costs only that member.
#include "ExtractPayload.h"

#include <cstring>

#include "Crc16.h"
#include "Globals.h"

void (*MemberReporter)(const MemberReport& report) = nullptr;

namespace {

char StoredTag;

void Report(const MemberHeader& header, const char* target, std::int32_t start, MemberOutcome outcome)
{
    if (MemberReporter == nullptr)
        return;
    MemberReport report = {&header, target, start, outcome, PathVerdict::Accepted, 0, DecodeReason::None,
                           kHeaderRead};
    MemberReporter(report);
}

// Frees a GlobalAlloc block on every path out of its scope.
struct GlobalBlock {
    explicit GlobalBlock(SIZE_T bytes) : data(static_cast<std::uint8_t*>(GlobalAlloc(GMEM_FIXED, bytes))) {}
    ~GlobalBlock() { GlobalFree(data); }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    std::uint8_t* data;
};

void CompleteFile(HFILE file, const MemberHeader& header)
{
    const FILETIME* t = &header.lastWriteTime;
    SetFileTime(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)), t, t, t);
    _lclose(file);
}

void DiscardFile(HFILE file, const char* target)
{
    _lclose(file);
    DeleteFileA(target);
}

// Copies originalSize bytes in 10,240-byte writes, with the CRC-16 taken
// over the bytes read. The sizes were checked against the payload before,
// so the copy never runs on past its data.
int WriteStoredMember(MemoryStream& stream, const MemberHeader& header, const char* target, std::int32_t start)
{
    HFILE file = _lcreat(target, 0);
    if (file == HFILE_ERROR) {
        Report(header, target, start, MemberOutcome::CreateFailed);
        return kResultOk;
    }
    GlobalBlock buffer(kStoredBufferSize);
    if (buffer.data == nullptr) {
        DiscardFile(file, target);
        Report(header, target, start, MemberOutcome::NoMemory);
        return kResultMemoryEmpty;
    }
    Crc16Table table;
    BuildCrc16Table(table);
    std::uint16_t crc = 0;
    // A buffer's worth at a time: the same bytes, CRC and writes as one byte
    // at a time, with the reading done by one copy per buffer.
    for (std::uint32_t done = 0; done < header.originalSize;) {
        const std::uint32_t rest = header.originalSize - done;
        const std::uint32_t filled = rest < kStoredBufferSize ? rest : kStoredBufferSize;
        stream.Read(buffer.data, static_cast<std::int32_t>(filled));
        crc = UpdateCrc16(table, crc, buffer.data, filled);
        _lwrite(file, reinterpret_cast<const char*>(buffer.data), filled);
        done += filled;
    }
    if (crc == header.crc) {
        CompleteFile(file, header);
        Report(header, target, start, MemberOutcome::Written);
    } else {
        DiscardFile(file, target);
        Report(header, target, start, MemberOutcome::CrcMismatch);
    }
    return kResultOk;
}

int WriteDecodedMember(LzhDecoder* decoder, const MemberHeader& header, const char* target, std::int32_t start)
{
    HFILE file = _lcreat(target, 0);
    if (file == HFILE_ERROR) {
        Report(header, target, start, MemberOutcome::CreateFailed);
        return kResultWriteError;
    }
    const int rc = decoder->Extract(file, header.originalSize, static_cast<std::uint16_t>(header.crc));
    if (rc == kDecodeOk) {
        CompleteFile(file, header);
        Report(header, target, start, MemberOutcome::Written);
        return kResultOk;
    }
    DiscardFile(file, target);
    if (MemberReporter) {
        const Lh5Decoder* lh5 = static_cast<const Lh5Decoder*>(decoder);
        MemberReport report = {&header, target, start, MemberOutcome::DecodeFailed, PathVerdict::Accepted, rc,
                               lh5->reason, kHeaderRead};
        MemberReporter(report);
    }
    return kResultOk;
}

// The directories of the last target that CreateParentDirectories made or
// found, through components CheckLinks passed. Members come grouped by
// folder, so the next target mostly lies in the same directory and needs
// neither the directory tests nor the link tests of those components again:
// nothing in a run removes a directory or makes a link. A directory that
// the run made itself holds only files that the run wrote, so a target in
// it needs no link test of its own either.
struct KnownDirectory {
    char path[kPathRoom];
    std::size_t length;   // 0 until a member's directories are in place
    bool made;            // the run made the directory at path
};

// A member's target path and the length of its directory part.
struct Target {
    char path[kPathRoom];
    std::size_t parent;
};

bool Knows(const KnownDirectory& known, const Target& target)
{
    return known.length != 0 && target.parent == known.length &&
           std::memcmp(known.path, target.path, known.length) == 0;
}

void MakeParentDirectories(KnownDirectory& known, const Target& target)
{
    if (Knows(known, target))
        return;
    known.length = 0;
    if (CreateParentDirectories(target.path, known.made) == 0) {
        known.length = target.parent;
        std::memcpy(known.path, target.path, known.length);
    }
}

// Bytes that ReadByte can still deliver from the stream's position.
std::uint32_t BytesLeft(const MemoryStream& stream)
{
    return stream.HasByte() ? static_cast<std::uint32_t>(stream.available) : 0;
}

// Judges the member before anything is created for it: its path, and for a
// stored member whether its bytes are really there.
bool MayWrite(const MemoryStream& stream, const MemberHeader& header, LzhDecoder* decoder, const char* folder,
              const KnownDirectory& known, Target& to, std::int32_t start)
{
    char (&target)[kPathRoom] = to.path;
    PathVerdict verdict = BuildTargetPath(folder, header, target);
    if (verdict == PathVerdict::Accepted) {
        // The folder ends in a separator, so the target's directory part
        // reaches at least that far.
        const std::size_t folderLength = std::strlen(folder);
        to.parent = folderLength + ParentLength(target + folderLength);
        if (!Knows(known, to))
            verdict = CheckLinks(target, folderLength);
        else if (!known.made)
            verdict = CheckLinks(target, known.length);
    }
    if (verdict != PathVerdict::Accepted) {
        if (MemberReporter) {
            MemberReport report = {&header, target, start, MemberOutcome::PathRefused, verdict, 0,
                                   DecodeReason::None, kHeaderRead};
            MemberReporter(report);
        }
        return false;
    }
    if (decoder != StoredMarker)
        return true;
    if (header.originalSize > header.packedSize) {
        Report(header, target, start, MemberOutcome::StoredTooLarge);
        return false;
    }
    if (header.originalSize > BytesLeft(stream)) {
        Report(header, target, start, MemberOutcome::StoredTruncated);
        return false;
    }
    return true;
}

// One member whose header has been read; returns the run's new result.
int ExtractMember(MemoryStream& stream, const MemberHeader& header, const char* folder, KnownDirectory& known,
                  std::int32_t start)
{
    Target to;
    to.path[0] = '\0';
    to.parent = 0;
    const char* const target = to.path;
    if (header.fileName[0] == '\0') {
        Report(header, target, start, MemberOutcome::DirectoryEntry);
        return kResultOk;
    }
    LzhDecoder* decoder = CreateDecoder(header.method, stream);
    if (decoder == nullptr) {
        Report(header, target, start, MemberOutcome::NoMemory);
        return kResultMemoryEmpty;
    }
    int result = kResultOk;
    if (MayWrite(stream, header, decoder, folder, known, to, start)) {
        MakeParentDirectories(known, to);
        if (decoder == StoredMarker)
            result = WriteStoredMember(stream, header, target, start);
        else
            result = WriteDecodedMember(decoder, header, target, start);
    }
    if (decoder != StoredMarker)
        DeleteDecoder(decoder);
    return result;
}

void ReportWalkEnd(const MemberHeader& header, std::int32_t start, MemberOutcome outcome, int headerResult)
{
    if (MemberReporter == nullptr)
        return;
    MemberReport report = {&header, "", start, outcome, PathVerdict::Accepted, 0, DecodeReason::None,
                           headerResult};
    MemberReporter(report);
}

} // namespace

LzhDecoder* const StoredMarker = reinterpret_cast<LzhDecoder*>(&StoredTag);

LzhDecoder* CreateDecoder(const char* method, MemoryStream& stream)
{
    if (std::memcmp(method, kLh5Method, kMethodLength) != 0)
        return StoredMarker;
    return new (std::nothrow) Lh5Decoder(stream);
}

// Looks for "-l?" with z or h in its third byte and a hyphen two bytes
// later, within 2,048 bytes; the look-ahead does not count against them.
std::int32_t ScanForHeader(MemoryStream& stream, std::int32_t from)
{
    stream.Seek(from, kSeekStart);
    std::int32_t mark = from;
    for (int window = kScanWindow; window > 0; --window) {
        if (stream.ReadByte() != '-')
            continue;
        mark = stream.Position();
        std::uint8_t ahead[kLookAhead];
        stream.Read(ahead, kLookAhead);
        if (ahead[0] == 'l' && (ahead[1] == 'z' || ahead[1] == 'h') && ahead[3] == '-')
            return mark - 1 - kMethodHyphenOffset;
        stream.Seek(mark, kSeekStart);
    }
    return mark - 1 - kMethodHyphenOffset;
}

// Header starts must strictly increase: the next position is computed in 32
// bits from the packed size, and the scan may settle before its start, so
// without that rule a crafted archive could send the walk round forever.
int ExtractMembers(MemoryStream& stream, const char* folder)
{
    MemberHeader header;
    std::memset(&header, 0, sizeof header);
    KnownDirectory known;
    known.length = 0;
    known.made = false;
    int result = kResultOk;
    std::int32_t next = 0;
    std::int64_t previous = INT64_MIN;
    while (result == kResultOk) {
        const std::int32_t start = ScanForHeader(stream, next);
        if (start <= previous) {
            ReportWalkEnd(header, start, MemberOutcome::NoProgress, kHeaderRead);
            break;
        }
        previous = start;
        stream.Seek(start, kSeekStart);
        const int rc = ReadMemberHeader(header, stream);
        if (rc != kHeaderRead) {
            ReportWalkEnd(header, start, MemberOutcome::WalkEnded, rc);
            break;
        }
        result = ExtractMember(stream, header, folder, known, start);
        next = static_cast<std::int32_t>(static_cast<std::uint32_t>(start) +
                                         static_cast<std::uint32_t>(header.headerSize) + 2u + header.packedSize);
    }
    return result;
}

int ExtractPayload()
{
    HRSRC resource = FindResourceA(ModuleInstance, MAKEINTRESOURCEA(kPayloadResourceId), RT_RCDATA);
    if (resource == nullptr)
        return kResultNotArchive;
    HGLOBAL loaded = LoadResource(nullptr, resource);
    if (loaded == nullptr)
        return kResultNotArchive;
    const void* data = LockResource(loaded);
    if (data == nullptr)
        return kResultMemoryError;
    MemoryStream* stream = new (std::nothrow)
        MemoryStream(static_cast<const std::uint8_t*>(data), SizeofResource(ModuleInstance, resource));
    if (stream == nullptr)
        return kResultMemoryEmpty;
    EnsureTrailingSeparator();
    char folder[kPathRoom];
    lstrcpyA(folder, InstallFolder);
    const int result = ExtractMembers(*stream, folder);
    delete stream;
    return result;
}
