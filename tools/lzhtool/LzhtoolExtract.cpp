// lzhtool extract and list: the installer's engine run on an archive file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Commands.h"
#include "ExtractPayload.h"
#include "Globals.h"
#include "HostHooks.h"

namespace {

const char kExtractUsage[] = "usage: lzhtool extract [--codepage 932] [--verbose] ARCHIVE FOLDER\n";
const char kListUsage[] = "usage: lzhtool list ARCHIVE\n";
const std::uint8_t kEmpty[1] = {0};

// The archive mapped read-only, as the installer reads its locked resource.
struct MappedFile {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    void* mapping = nullptr;
    ~MappedFile()
    {
        if (mapping)
            munmap(mapping, size);
    }
};

int MapArchive(const char* path, MappedFile& file)
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
    file.size = static_cast<std::uint32_t>(info.st_size);
    file.data = kEmpty;
    if (file.size > 0) {
        file.mapping = mmap(nullptr, file.size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (file.mapping == MAP_FAILED) {
            file.mapping = nullptr;
            close(fd);
            std::fprintf(stderr, "lzhtool: cannot map archive '%s'\n", path);
            return kExitIoError;
        }
        file.data = static_cast<const std::uint8_t*>(file.mapping);
    }
    close(fd);
    return 0;
}

// The archive's pages go back to the page cache after every MiB of output.
// The engine reads the payload front to back, so little of what it has read
// is needed again, and what is comes back from the page cache on its next
// access: lzhtool's memory stays small whatever the archive's size.
constexpr long kReleaseEvery = 1L << 20;
const MappedFile* ReleasedArchive = nullptr;
long WrittenSinceRelease = 0;

void ReleaseArchivePages(long count)
{
    WrittenSinceRelease += count;
    if (WrittenSinceRelease < kReleaseEvery || ReleasedArchive == nullptr || ReleasedArchive->mapping == nullptr)
        return;
    WrittenSinceRelease = 0;
    madvise(ReleasedArchive->mapping, ReleasedArchive->size, MADV_DONTNEED);
}

void PrintReport(const MemberReport& r)
{
    const MemberHeader& h = *r.header;
    switch (r.outcome) {
    case MemberOutcome::Written: std::fprintf(stderr, "written  %s\n", r.target); break;
    case MemberOutcome::DirectoryEntry: std::fprintf(stderr, "skipped  %s (directory entry)\n", h.directoryName); break;
    case MemberOutcome::PathRefused:
        std::fprintf(stderr, "refused  %s%s (%s)\n", h.directoryName, h.fileName, PathVerdictText(r.verdict));
        break;
    case MemberOutcome::StoredTooLarge: std::fprintf(stderr, "skipped  %s (stored, original above packed size)\n", r.target); break;
    case MemberOutcome::StoredTruncated: std::fprintf(stderr, "skipped  %s (stored, data cut short)\n", r.target); break;
    case MemberOutcome::CreateFailed: std::fprintf(stderr, "failed   %s (cannot create)\n", r.target); break;
    case MemberOutcome::CrcMismatch: std::fprintf(stderr, "deleted  %s (CRC-16 mismatch)\n", r.target); break;
    case MemberOutcome::DecodeFailed:
        std::fprintf(stderr, "deleted  %s (result %d: %s)\n", r.target, r.decodeResult, DecodeReasonText(r.decodeReason));
        break;
    case MemberOutcome::NoMemory: std::fprintf(stderr, "failed   %s%s (no memory)\n", h.directoryName, h.fileName); break;
    case MemberOutcome::WalkEnded:
        std::fprintf(stderr, "end      at %d (header result %d: %s)\n", r.headerStart, r.headerResult, HeaderReasonText(h.reason));
        break;
    case MemberOutcome::NoProgress: std::fprintf(stderr, "end      at %d (no progress)\n", r.headerStart); break;
    case MemberOutcome::Misplaced: std::fprintf(stderr, "gap      before %d (header not where the last member ends)\n", r.headerStart); break;
    }
}

bool SetFolder(const char* folder)
{
    std::size_t length = std::strlen(folder);
    if (length >= sizeof InstallFolder)
        return false;
    for (std::size_t i = 0; i <= length; ++i)
        InstallFolder[i] = folder[i] == '/' ? '\\' : folder[i];
    return true;
}

} // namespace

int RunExtract(int argc, char** argv)
{
    const char* operands[2] = {nullptr, nullptr};
    int count = 0;
    bool verbose = false;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help")) {
            std::fputs(kExtractUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--verbose")) {
            verbose = true;
        } else if (!std::strcmp(argv[i], "--codepage")) {
            char* end = nullptr;
            long page = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
            if (page <= 0 || page > 65535 || *end != '\0') {
                std::fputs("lzhtool: --codepage needs a code page number such as 932\n", stderr);
                return kExitUsage;
            }
            HostSetCodePage(static_cast<UINT>(page));
            i += 1;
        } else if (count < 2 && !(argv[i][0] == '-' && argv[i][1] == '-')) {
            operands[count++] = argv[i];
        } else {
            std::fprintf(stderr, "lzhtool: extract: unexpected argument '%s' (try lzhtool extract --help)\n", argv[i]);
            return kExitUsage;
        }
    }
    if (count != 2) {
        std::fputs("lzhtool: extract needs ARCHIVE and FOLDER (try lzhtool extract --help)\n", stderr);
        return kExitUsage;
    }
    if (!SetFolder(operands[1])) {
        std::fprintf(stderr, "lzhtool: folder '%s' is longer than 255 bytes\n", operands[1]);
        return kExitUsage;
    }
    MappedFile archive;
    if (int rc = MapArchive(operands[0], archive))
        return rc;
    HostRegisterPayload(archive.data, archive.size);
    if (verbose)
        MemberReporter = PrintReport;
    ReleasedArchive = &archive;
    HostSetWriteObserver(ReleaseArchivePages);
    const int result = ExtractPayload();
    HostSetWriteObserver(nullptr);
    ReleasedArchive = nullptr;
    return result;
}

namespace {

void PrintMember(const MemberHeader& h)
{
    // The stored MS-DOS time, shown in the local time zone it was taken in.
    const std::int64_t ticks = (static_cast<std::int64_t>(h.lastWriteTime.dwHighDateTime) << 32) |
                               h.lastWriteTime.dwLowDateTime;
    time_t seconds = static_cast<time_t>(ticks / 10000000 - 11644473600LL);
    struct tm local;
    char stamp[32] = "-";
    if (localtime_r(&seconds, &local))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::printf("%s %10u %10u %s %04X %u %s%s\n", h.method, h.packedSize, h.originalSize, stamp,
                static_cast<unsigned>(h.crc), static_cast<unsigned>(h.level),
                h.directoryName[0] ? h.directoryName : "", h.fileName);
}

} // namespace

int RunList(int argc, char** argv)
{
    if (argc == 1 && !std::strcmp(argv[0], "--help")) {
        std::fputs(kListUsage, stdout);
        return 0;
    }
    if (argc != 1 || argv[0][0] == '-') {
        std::fputs("lzhtool: list needs exactly one ARCHIVE (try lzhtool list --help)\n", stderr);
        return kExitUsage;
    }
    MappedFile archive;
    if (int rc = MapArchive(argv[0], archive))
        return rc;
    MemoryStream stream(archive.data, archive.size);
    MemberHeader header;
    std::int32_t next = 0;
    std::int64_t previous = INT64_MIN;
    // One header per member; the loop ends at the end byte or the data's end,
    // or reports where the archive stops making sense.
    for (;;) {
        if (next < 0 || static_cast<std::uint32_t>(next) >= archive.size || archive.data[next] == 0)
            return 0;
        const std::int32_t start = ScanForHeader(stream, next);
        int rc = start > previous ? (stream.Seek(start, kSeekStart), ReadMemberHeader(header, stream)) : kHeaderBroken;
        if (rc != kHeaderRead) {
            std::fprintf(stderr, "lzhtool: %s: no valid member header at offset %d (%s)\n", argv[0], start,
                         start > previous ? HeaderReasonText(header.reason) : "no progress");
            return kExitDataError;
        }
        PrintMember(header);
        previous = start;
        next = static_cast<std::int32_t>(static_cast<std::uint32_t>(start) + static_cast<std::uint32_t>(header.headerSize) +
                                         2u + header.packedSize);
    }
}
