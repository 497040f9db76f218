// The extraction driver: finds each member header, judges its target path,
// and writes the member as a stored copy or through the -lh5- decoder. A
// member's file is either completed (data, time stamp, close) or closed and
// deleted; damage confined to one member costs only that member's file and
// the walk goes on, but the run's result then says so: 0 only when every
// member that names a file was written in full.
#include "ExtractPayload.h"

#include <cstring>

#include "Crc16.h"
#include "Globals.h"

void (*MemberReporter)(const MemberReport& report) = nullptr;

namespace {

char StoredTag;

// The directories of the last target that CreateParentDirectories made or
// found. Members come grouped by folder, so the next target mostly lies in
// the same directory and needs no directory tests again: nothing in a run
// removes a directory. Links are another matter: another process may put
// one in place of a directory between two members, so every target's
// components are tested for links anew.
struct KnownDirectory {
    char path[kPathRoom];
    std::size_t length;  // 0 until a member's directories are in place
};

// One walk over the archive.
struct Run {
    MemoryStream& stream;
    const char* folder;
    KnownDirectory known;
    int worst;        // the highest result that a report has stood for
    bool headerRead;  // at least one member header was read
};

// A member's target path and the length of its directory part.
struct Target {
    char path[kPathRoom];
    std::size_t parent;
};

MemberReport Event(const MemberHeader& header, const char* target, std::int32_t start, MemberOutcome outcome,
                   int result)
{
    return MemberReport{&header,     target, start, outcome, PathVerdict::Accepted, 0, DecodeReason::None,
                        kHeaderRead, result};
}

void Report(Run& run, const MemberReport& report)
{
    if (report.result > run.worst)
        run.worst = report.result;
    if (MemberReporter != nullptr)
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

// A file that cannot be created ends the run with 8, for a stored member as
// for a decoded one: the folder is not one the installer can write.
HFILE CreateMemberFile(Run& run, const MemberHeader& header, const char* target, std::int32_t start)
{
    HFILE file = _lcreat(target, 0);
    if (file == HFILE_ERROR)
        Report(run, Event(header, target, start, MemberOutcome::CreateFailed, kResultWriteError));
    return file;
}

// Copies originalSize bytes in 10,240-byte writes, with the CRC-16 taken
// over the bytes read. The sizes were checked against the payload before,
// so the copy never runs on past its data.
int WriteStoredMember(Run& run, const MemberHeader& header, const char* target, std::int32_t start)
{
    HFILE file = CreateMemberFile(run, header, target, start);
    if (file == HFILE_ERROR)
        return kResultWriteError;
    GlobalBlock buffer(kStoredBufferSize);
    if (buffer.data == nullptr) {
        DiscardFile(file, target);
        Report(run, Event(header, target, start, MemberOutcome::NoMemory, kResultMemoryEmpty));
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
        run.stream.Read(buffer.data, static_cast<std::int32_t>(filled));
        crc = UpdateCrc16(table, crc, buffer.data, filled);
        _lwrite(file, reinterpret_cast<const char*>(buffer.data), filled);
        done += filled;
    }
    if (crc == header.crc) {
        CompleteFile(file, header);
        Report(run, Event(header, target, start, MemberOutcome::Written, kResultOk));
    } else {
        DiscardFile(file, target);
        Report(run, Event(header, target, start, MemberOutcome::CrcMismatch, kResultBrokenFile));
    }
    return kResultOk;
}

// A decoder failure costs the member's file and stands for the decoder's
// own result: 4 damaged data, 6 no window, 8 a short write.
int WriteDecodedMember(Run& run, LzhDecoder* decoder, const MemberHeader& header, const char* target,
                       std::int32_t start)
{
    HFILE file = CreateMemberFile(run, header, target, start);
    if (file == HFILE_ERROR)
        return kResultWriteError;
    const int rc = decoder->Extract(file, header.originalSize, static_cast<std::uint16_t>(header.crc));
    if (rc == kDecodeOk) {
        CompleteFile(file, header);
        Report(run, Event(header, target, start, MemberOutcome::Written, kResultOk));
        return kResultOk;
    }
    DiscardFile(file, target);
    MemberReport report = Event(header, target, start, MemberOutcome::DecodeFailed, rc);
    report.decodeResult = rc;
    report.decodeReason = static_cast<const Lh5Decoder*>(decoder)->reason;
    Report(run, report);
    return kResultOk;
}

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
    if (CreateParentDirectories(target.path) == 0) {
        known.length = target.parent;
        std::memcpy(known.path, target.path, known.length);
    }
}

// Bytes that ReadByte can still deliver from the stream's position.
std::uint32_t BytesLeft(const MemoryStream& stream)
{
    return stream.HasByte() ? static_cast<std::uint32_t>(stream.available) : 0;
}

// The target path under folder, judged by the name rules and, component by
// component, for links.
PathVerdict JudgeTarget(const Run& run, const MemberHeader& header, Target& to)
{
    const char* const folder = run.folder;
    const PathVerdict verdict = BuildTargetPath(folder, header, to.path);
    if (verdict != PathVerdict::Accepted)
        return verdict;
    // The folder ends in a separator, so the target's directory part
    // reaches at least that far.
    const std::size_t folderLength = std::strlen(folder);
    to.parent = folderLength + ParentLength(to.path + folderLength);
    return CheckLinks(to.path, folderLength);
}

void ReportRefusal(Run& run, const MemberHeader& header, const Target& to, std::int32_t start, PathVerdict verdict,
                   int result)
{
    MemberReport report = Event(header, to.path, start, MemberOutcome::PathRefused, result);
    report.verdict = verdict;
    Report(run, report);
}

// Judges the member before anything is created for it: its path, and for a
// stored member whether its bytes are really there. A file passed over for
// its target (too long, or a link on the way) stands for 8, as a file that
// cannot be created; one passed over for its name or its data for 4.
bool MayWrite(Run& run, const MemberHeader& header, LzhDecoder* decoder, Target& to, std::int32_t start)
{
    const PathVerdict verdict = JudgeTarget(run, header, to);
    if (verdict != PathVerdict::Accepted) {
        const bool target = verdict == PathVerdict::TooLong || verdict == PathVerdict::Link;
        ReportRefusal(run, header, to, start, verdict, target ? kResultWriteError : kResultBrokenFile);
        return false;
    }
    if (decoder != StoredMarker)
        return true;
    if (header.originalSize > header.packedSize) {
        Report(run, Event(header, to.path, start, MemberOutcome::StoredTooLarge, kResultBrokenFile));
        return false;
    }
    if (header.originalSize > BytesLeft(run.stream)) {
        Report(run, Event(header, to.path, start, MemberOutcome::StoredTruncated, kResultBrokenFile));
        return false;
    }
    return true;
}

// A name that ends in a separator (a level-0 entry such as "bin\") makes
// its directories as a file there would, and nothing else; an entry with a
// directory record and no name makes nothing. Neither names a file, so
// neither is a loss, not even when its path is refused.
int MakeDirectoryEntry(Run& run, const MemberHeader& header, Target& to, std::int32_t start)
{
    if (header.fileName[0] != '\0') {
        const PathVerdict verdict = JudgeTarget(run, header, to);
        if (verdict != PathVerdict::Accepted) {
            ReportRefusal(run, header, to, start, verdict, kResultOk);
            return kResultOk;
        }
        MakeParentDirectories(run.known, to);
    }
    Report(run, Event(header, to.path, start, MemberOutcome::DirectoryEntry, kResultOk));
    return kResultOk;
}

bool NamesDirectory(const MemberHeader& header)
{
    return ParentLength(header.fileName) == std::strlen(header.fileName);
}

// One member whose header has been read; returns the run's new result.
int ExtractMember(Run& run, const MemberHeader& header, std::int32_t start)
{
    Target to;
    to.path[0] = '\0';
    to.parent = 0;
    if (NamesDirectory(header))
        return MakeDirectoryEntry(run, header, to, start);
    LzhDecoder* decoder = CreateDecoder(header.method, run.stream);
    if (decoder == nullptr) {
        Report(run, Event(header, to.path, start, MemberOutcome::NoMemory, kResultMemoryEmpty));
        return kResultMemoryEmpty;
    }
    int result = kResultOk;
    if (MayWrite(run, header, decoder, to, start)) {
        MakeParentDirectories(run.known, to);
        if (decoder == StoredMarker)
            result = WriteStoredMember(run, header, to.path, start);
        else
            result = WriteDecodedMember(run, decoder, header, to.path, start);
    }
    if (decoder != StoredMarker)
        DeleteDecoder(decoder);
    return result;
}

// The walk ends cleanly at the archive's end byte or at the data's end.
bool AtArchiveEnd(const MemoryStream& stream, std::int32_t next)
{
    if (next < 0 || static_cast<std::uint32_t>(next) > stream.size)
        return false;
    return static_cast<std::uint32_t>(next) == stream.size || stream.start[next] == 0;
}

// What the walk's end stands for: a header of a later level, 3; a member
// header found but unreadable, or an end anywhere but at the archive's end
// (the members behind it are lost), 4.
int EndResult(const Run& run, std::int32_t next, bool found, int headerResult)
{
    if (found && headerResult == kHeaderLevel)
        return kResultUnknownType;
    if (found && headerResult != kHeaderEnd)
        return kResultBrokenFile;
    return !run.headerRead || AtArchiveEnd(run.stream, next) ? kResultOk : kResultBrokenFile;
}

void ReportWalk(Run& run, const MemberHeader& header, std::int32_t start, MemberOutcome outcome, int headerResult,
                int result)
{
    MemberReport report = Event(header, "", start, outcome, result);
    report.headerResult = headerResult;
    Report(run, report);
}

}  // namespace

LzhDecoder* const StoredMarker = reinterpret_cast<LzhDecoder*>(&StoredTag);

LzhDecoder* CreateDecoder(const char* method, MemoryStream& stream)
{
    if (std::memcmp(method, kLh5Method, kMethodLength) != 0)
        return StoredMarker;
    return new (std::nothrow) Lh5Decoder(stream);
}

// Looks for "-l?" with z or h in its third byte and a hyphen two bytes
// later, within 2,048 bytes; the look-ahead does not count against them.
std::int32_t ScanForHeader(MemoryStream& stream, std::int32_t from, bool* found)
{
    stream.Seek(from, kSeekStart);
    std::int32_t mark = from;
    for (int window = kScanWindow; window > 0; --window) {
        if (stream.ReadByte() != '-')
            continue;
        mark = stream.Position();
        std::uint8_t ahead[kLookAhead];
        stream.Read(ahead, kLookAhead);
        if (ahead[0] == 'l' && (ahead[1] == 'z' || ahead[1] == 'h') && ahead[3] == '-') {
            if (found != nullptr)
                *found = true;
            return mark - 1 - kMethodHyphenOffset;
        }
        stream.Seek(mark, kSeekStart);
    }
    if (found != nullptr)
        *found = false;
    return mark - 1 - kMethodHyphenOffset;
}

// Header starts must strictly increase: the next position is computed in 32
// bits from the packed size, and the scan may settle before its start, so
// without that rule a crafted archive could send the walk round forever.
// After the first member, each header must stand where the previous
// member's packed size puts it, or behind an end byte there (archives one
// after the other); one found farther on means bytes, perhaps members, were
// stepped over.
int ExtractMembers(MemoryStream& stream, const char* folder)
{
    MemberHeader header;
    std::memset(&header, 0, sizeof header);
    Run run = {stream, folder, {}, kResultOk, false};
    int result = kResultOk;
    std::int32_t next = 0;
    std::int64_t previous = INT64_MIN;
    while (result == kResultOk) {
        bool found = false;
        const std::int32_t start = ScanForHeader(stream, next, &found);
        if (start <= previous) {
            ReportWalk(run, header, start, MemberOutcome::NoProgress, kHeaderRead, kResultBrokenFile);
            break;
        }
        previous = start;
        stream.Seek(start, kSeekStart);
        const int rc = ReadMemberHeader(header, stream);
        if (rc != kHeaderRead) {
            ReportWalk(run, header, start, MemberOutcome::WalkEnded, rc, EndResult(run, next, found, rc));
            break;
        }
        if (run.headerRead && start != next && !AtArchiveEnd(stream, next))
            ReportWalk(run, header, start, MemberOutcome::Misplaced, rc, kResultBrokenFile);
        run.headerRead = true;
        result = ExtractMember(run, header, start);
        next = static_cast<std::int32_t>(static_cast<std::uint32_t>(start) +
                                         static_cast<std::uint32_t>(header.headerSize) + 2u + header.packedSize);
    }
    if (result != kResultOk)
        return result;
    if (run.worst != kResultOk)
        return run.worst;
    return run.headerRead ? kResultOk : kResultNotArchive;
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
