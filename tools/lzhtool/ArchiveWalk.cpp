#include "ArchiveWalk.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Commands.h"
#include "ExtractPayload.h"
#include "Globals.h"
#include "HostHooks.h"
#include "Progress.h"

namespace {

const std::uint8_t kEmpty[1] = {0};

// The archive's pages go back to the page cache after every MiB of output.
// The engine reads the payload front to back, so little of what it has read
// is needed again, and what is comes back from the page cache on its next
// access: lzhtool's memory stays small whatever the archive's size.
constexpr std::uint64_t kReleaseEvery = 1u << 20;

// The walk under way; the engine's reporter and the write observer are
// plain functions.
struct WalkState {
    const ArchiveBytes* archive;
    const WalkRequest* request;
    WalkTally* tally;
    const MemoryStream* stream;
    std::size_t folderLength;
    std::uint64_t bytesOut;
    std::uint64_t sinceRelease;
};
WalkState Walk;

void PrintMemberRow(const MemberHeader& h)
{
    // The stored MS-DOS time, shown in the local time zone it was taken in.
    const std::int64_t ticks =
        (static_cast<std::int64_t>(h.lastWriteTime.dwHighDateTime) << 32) | h.lastWriteTime.dwLowDateTime;
    time_t seconds = static_cast<time_t>(ticks / 10000000 - 11644473600LL);
    struct tm local;
    char stamp[32] = "-";
    if (localtime_r(&seconds, &local))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::printf("%-6s %10u %10u %s %04X %2u %s%s\n", h.method, h.packedSize, h.originalSize, stamp,
                static_cast<unsigned>(h.crc), static_cast<unsigned>(h.level), h.directoryName, h.fileName);
}

// One line about a member: a word, the stored path, the reason if any.
// Lines about losses go to standard error in list, whose standard output is
// the table.
void PrintMemberLine(bool problem, const char* word, const MemberHeader& h, const char* reason)
{
    FILE* out = problem && Walk.request->command == WalkCommand::List ? stderr : stdout;
    ProgressBreak();
    if (out == stderr)
        std::fflush(stdout);
    std::fprintf(out, "%-8s %s%s%s%s%s\n", word, h.directoryName, h.fileName, reason ? " (" : "", reason ? reason : "",
                 reason ? ")" : "");
}

// How the walk ended, when that cost members (the engine's judgement, in
// the report's result) or when it found no member at all.
void PrintWalkEnd(const MemberReport& r)
{
    if (r.result == 0 && Walk.tally->members > 0)
        return;
    ProgressBreak();
    std::fflush(stdout);
    FILE* out = Walk.request->command == WalkCommand::List ? stderr : stdout;
    if (r.headerStart < 0)
        std::fprintf(out, "end      no member header found\n");
    else if (r.outcome == MemberOutcome::NoProgress)
        std::fprintf(out, "end      at offset %d (the scan led back to an earlier header)\n", r.headerStart);
    else if (r.outcome == MemberOutcome::Misplaced)
        std::fprintf(out, "gap      before offset %d (a header behind where the member before ends)\n", r.headerStart);
    else
        std::fprintf(out, "end      at offset %d (%s)\n", r.headerStart, HeaderReasonText(r.header->reason));
}

bool IsLaunchTarget(const char* target)
{
    const char* relative = target + Walk.folderLength;
    return !strcasecmp(relative, "quova") || !strcasecmp(relative, "quova.exe");
}

// The word and the reason of a member not written, or null for one written.
const char* LossWord(const MemberReport& r, const char*& reason)
{
    static char decodeReason[96];
    reason = nullptr;
    switch (r.outcome) {
    case MemberOutcome::Written:
    case MemberOutcome::DirectoryEntry: return nullptr;
    case MemberOutcome::PathRefused: reason = PathVerdictText(r.verdict); return "refused";
    case MemberOutcome::StoredTooLarge: reason = "stored, original size above packed size"; return "broken";
    case MemberOutcome::StoredTruncated: reason = "stored, data cut short"; return "broken";
    case MemberOutcome::CrcMismatch: reason = "CRC-16 mismatch"; return "broken";
    case MemberOutcome::DecodeFailed:
        std::snprintf(decodeReason, sizeof decodeReason, "decoding failed: %s", DecodeReasonText(r.decodeReason));
        reason = decodeReason;
        return "broken";
    case MemberOutcome::CreateFailed: reason = "cannot create the file"; return "failed";
    case MemberOutcome::NoMemory: reason = "no memory"; return "failed";
    case MemberOutcome::WalkEnded:
    case MemberOutcome::NoProgress:
    case MemberOutcome::Misplaced: break;
    }
    return nullptr;
}

void ReportMember(const MemberReport& r)
{
    const MemberHeader& h = *r.header;
    WalkTally& tally = *Walk.tally;
    const WalkCommand command = Walk.request->command;
    tally.members += 1;
    tally.originalBytes += h.originalSize;
    tally.packedBytes += h.packedSize;
    if (command == WalkCommand::List)
        PrintMemberRow(h);
    const char* reason = nullptr;
    if (const char* word = LossWord(r, reason)) {
        // A refused directory entry is named too, but the engine counts it no loss.
        tally.lost += r.result != 0;
        PrintMemberLine(true, word, h, reason);
        return;
    }
    const bool directory = r.outcome == MemberOutcome::DirectoryEntry;
    if (!directory) {
        tally.written += 1;
        tally.launchable = tally.launchable || IsLaunchTarget(r.target);
    }
    const bool shown =
        command == WalkCommand::Test ? !Walk.request->quiet : command == WalkCommand::Extract && Walk.request->verbose;
    if (shown)
        PrintMemberLine(false, directory ? "folder" : command == WalkCommand::Test ? "ok" : "written", h, nullptr);
}

void Report(const MemberReport& r)
{
    if (r.outcome == MemberOutcome::WalkEnded || r.outcome == MemberOutcome::NoProgress ||
        r.outcome == MemberOutcome::Misplaced)
        PrintWalkEnd(r);
    else
        ReportMember(r);
}

void ObserveWrite(long count)
{
    Walk.bytesOut += static_cast<std::uint64_t>(count);
    Walk.sinceRelease += static_cast<std::uint64_t>(count);
    if (Walk.sinceRelease >= kReleaseEvery && Walk.archive->mapping != nullptr) {
        Walk.sinceRelease = 0;
        madvise(Walk.archive->mapping, Walk.archive->size, MADV_DONTNEED);
    }
    if (Walk.request->command == WalkCommand::Extract)
        ProgressShow(Walk.bytesOut, static_cast<std::uint64_t>(Walk.stream->Position()), Walk.archive->size);
}

}  // namespace

int MapArchive(const char* path, ArchiveBytes& archive)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "lzhtool: cannot read archive '%s'\n", path);
        if (fd >= 0)
            close(fd);
        return kExitNoInput;
    }
    if (info.st_size > 0x7FFFFFFF) {
        std::fprintf(stderr, "lzhtool: archive '%s' is larger than 2 GiB\n", path);
        close(fd);
        return kExitDataError;
    }
    archive.size = static_cast<std::uint32_t>(info.st_size);
    archive.data = kEmpty;
    if (archive.size > 0) {
        archive.mapping = mmap(nullptr, archive.size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (archive.mapping == MAP_FAILED) {
            archive.mapping = nullptr;
            close(fd);
            std::fprintf(stderr, "lzhtool: cannot map archive '%s'\n", path);
            return kExitIoError;
        }
        archive.data = static_cast<const std::uint8_t*>(archive.mapping);
    }
    close(fd);
    return 0;
}

void UnmapArchive(ArchiveBytes& archive)
{
    if (archive.mapping)
        munmap(archive.mapping, archive.size);
    archive = ArchiveBytes();
}

// The steps of ExtractPayload around its member loop, over the archive
// instead of the resource: the folder made to end in a separator, copied,
// and the loop over a stream of the whole archive.
int WalkArchive(const ArchiveBytes& archive, const WalkRequest& request, WalkTally& tally)
{
    tally = WalkTally();
    const bool sink = request.command != WalkCommand::Extract;
    const char* given = sink || request.folder == nullptr ? kDefaultInstallFolder : request.folder;
    std::size_t i = 0;
    for (; given[i] != '\0' && i + 1 < sizeof InstallFolder; ++i)
        InstallFolder[i] = given[i] == '/' ? '\\' : given[i];
    InstallFolder[i] = '\0';
    EnsureTrailingSeparator();
    char folder[kPathRoom];
    lstrcpyA(folder, InstallFolder);
    MemoryStream stream(archive.data, archive.size);
    Walk = WalkState{&archive, &request, &tally, &stream, std::strlen(folder), 0, 0};
    MemberReporter = Report;
    HostSetWriteObserver(ObserveWrite);
    HostSetSinkMode(sink);
    if (!sink)
        ProgressStart("extracting");
    const int result = ExtractMembers(stream, folder);
    ProgressFinish();
    HostSetSinkMode(false);
    HostSetWriteObserver(nullptr);
    MemberReporter = nullptr;
    return result;
}

void PrintWalkSummary(const WalkRequest& request, const WalkTally& tally, int result)
{
    const char* done = request.command == WalkCommand::Extract ? "written" : "ok";
    std::printf("%s: %d member(s), %d %s, %d lost: result %d (%s)\n", request.archiveName, tally.members, tally.written,
                done, tally.lost, result, ResultText(result));
}

int CheckPayload(const std::uint8_t* data, std::uint32_t size, const char* name, bool quiet)
{
    ArchiveBytes archive;
    archive.data = size ? data : kEmpty;
    archive.size = size;
    const WalkRequest request = {WalkCommand::Test, name, nullptr, false, quiet};
    WalkTally tally;
    const int result = WalkArchive(archive, request, tally);
    if (!quiet || result != 0)
        PrintWalkSummary(request, tally, result);
    if (result != 0)
        return result;
    if (!tally.launchable) {
        std::fprintf(stderr,
                     "lzhtool: %s: no member quova or quova.exe at the archive's root, "
                     "which the installer starts when it has finished\n",
                     name);
        return kExitDataError;
    }
    return 0;
}

const char* ResultText(int result)
{
    static const char* const kTexts[] = {"success",     "cancelled",     "not an archive", "unknown type",
                                         "broken file", "memory empty",  "memory error",   "read error",
                                         "write error", "internal error"};
    return result >= 0 && result <= 9 ? kTexts[result] : "unknown result";
}
