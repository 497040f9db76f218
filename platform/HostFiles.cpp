// Host layer: the old Win32 file functions over POSIX descriptors, and the
// MS-DOS time stamp conversions in the process's local time zone.
#include <cerrno>
#include <climits>
#include <ctime>
#include <map>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HostHooks.h"

long HostWriteFault(long count);

namespace {

constexpr std::size_t kPathRoom = 4096;
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr int kDosEpochYear = 1980;

std::int64_t FileTimeTicks(const FILETIME& t)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

void SetTicks(FILETIME* t, std::int64_t ticks)
{
    t->dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) & 0xFFFFFFFFu);
    t->dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

unsigned DaysInMonth(int year, unsigned month)
{
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return (month == 2 && leap) ? 29 : kDays[month - 1];
}

// The sink: what the run made, by mapped path. Handles lie above every
// descriptor number, so that a sink handle is never taken for a real file.
constexpr HFILE kSinkHandle = 0x40000000;
bool SinkMode = false;
std::map<std::string, DWORD> SinkEntries;

bool IsSinkHandle(HFILE file) { return SinkMode && file == kSinkHandle; }

// Writes count bytes, retrying after interruptions; the bytes written or -1.
long WriteAll(HFILE file, LPCCH buffer, long count)
{
    long wanted = HostWriteFault(count);
    if (wanted < 0)
        return -1;
    if (IsSinkHandle(file))
        return wanted;
    long done = 0;
    while (done < wanted) {
        ssize_t n = ::write(file, buffer + done, static_cast<std::size_t>(wanted - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done > 0 ? done : -1;
        done += n;
    }
    return done;
}

DWORD SinkAttributes(const std::string& path)
{
    auto entry = SinkEntries.find(path);
    return entry == SinkEntries.end() ? INVALID_FILE_ATTRIBUTES : entry->second;
}

// A new entry needs its parent as a directory of the sink, unless the
// parent is a root ("", "/" or a drive) that the real folder would sit on.
bool SinkParentExists(const std::string& path)
{
    const std::size_t cut = path.find_last_of('/');
    if (cut == std::string::npos || cut == 0 || path[cut - 1] == ':' || path[cut - 1] == '/')
        return true;
    const DWORD parent = SinkAttributes(path.substr(0, cut));
    return parent != INVALID_FILE_ATTRIBUTES && (parent & FILE_ATTRIBUTE_DIRECTORY);
}

HFILE SinkCreate(const std::string& path)
{
    const DWORD existing = SinkAttributes(path);
    if ((existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY)) || !SinkParentExists(path))
        return HFILE_ERROR;
    SinkEntries[path] = FILE_ATTRIBUTE_NORMAL;
    return kSinkHandle;
}

BOOL SinkMakeDirectory(const std::string& path)
{
    if (SinkAttributes(path) != INVALID_FILE_ATTRIBUTES || !SinkParentExists(path))
        return FALSE;
    SinkEntries[path] = FILE_ATTRIBUTE_DIRECTORY;
    return TRUE;
}

BOOL SinkDelete(const std::string& path)
{
    auto entry = SinkEntries.find(path);
    if (entry == SinkEntries.end() || (entry->second & FILE_ATTRIBUTE_DIRECTORY))
        return FALSE;
    SinkEntries.erase(entry);
    return TRUE;
}

}  // namespace

void HostSetSinkMode(bool on)
{
    SinkMode = on;
    SinkEntries.clear();
}

HFILE WINAPI _lcreat(LPCSTR path, int attribute)
{
    char mapped[kPathRoom];
    if (!HostMapPath(path, mapped, sizeof mapped))
        return HFILE_ERROR;
    if (SinkMode)
        return SinkCreate(mapped);
    mode_t mode = (attribute & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    // A link at the file's own name is never written through.
    int fd = ::open(mapped, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    return fd < 0 ? HFILE_ERROR : fd;
}

UINT WINAPI _lwrite(HFILE file, LPCCH buffer, UINT count)
{
    if (count > static_cast<UINT>(LONG_MAX))
        return static_cast<UINT>(HFILE_ERROR);
    return static_cast<UINT>(WriteAll(file, buffer, static_cast<long>(count)));
}

LONG WINAPI _hwrite(HFILE file, LPCCH buffer, LONG count)
{
    if (count < 0)
        return -1;
    return static_cast<LONG>(WriteAll(file, buffer, count));
}

HFILE WINAPI _lclose(HFILE file)
{
    if (IsSinkHandle(file))
        return 0;
    return ::close(file) == 0 ? 0 : HFILE_ERROR;
}

BOOL WINAPI SetFileTime(HANDLE file, const FILETIME*, const FILETIME* lastAccess, const FILETIME* lastWrite)
{
    if (IsSinkHandle(static_cast<HFILE>(reinterpret_cast<INT_PTR>(file))))
        return TRUE;
    struct timespec times[2];
    const FILETIME* given[2] = {lastAccess, lastWrite};
    for (int i = 0; i < 2; ++i) {
        if (given[i] == nullptr) {
            times[i].tv_sec = 0;
            times[i].tv_nsec = UTIME_OMIT;
            continue;
        }
        std::int64_t ticks = FileTimeTicks(*given[i]);
        times[i].tv_sec = static_cast<time_t>(ticks / kTicksPerSecond - kSecondsFrom1601To1970);
        times[i].tv_nsec = static_cast<long>(ticks % kTicksPerSecond) * 100;
    }
    int fd = static_cast<int>(reinterpret_cast<INT_PTR>(file));
    // futimens is utimensat on the open descriptor: no path, so no link to follow.
    return ::futimens(fd, times) == 0;
}

BOOL WINAPI DeleteFileA(LPCSTR path)
{
    char mapped[kPathRoom];
    if (!HostMapPath(path, mapped, sizeof mapped))
        return FALSE;
    return SinkMode ? SinkDelete(mapped) : ::unlink(mapped) == 0;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path)
{
    char mapped[kPathRoom];
    struct stat info;
    if (SinkMode)
        return HostMapPath(path, mapped, sizeof mapped) ? SinkAttributes(mapped) : INVALID_FILE_ATTRIBUTES;
    if (!HostMapPath(path, mapped, sizeof mapped) || ::lstat(mapped, &info) != 0)
        return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = 0;
    if (S_ISLNK(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (::stat(mapped, &info) != 0)
            return attributes;
    }
    if (S_ISDIR(info.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((info.st_mode & S_IWUSR) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES)
{
    char mapped[kPathRoom];
    if (!HostMapPath(path, mapped, sizeof mapped))
        return FALSE;
    return SinkMode ? SinkMakeDirectory(mapped) : ::mkdir(mapped, 0777) == 0;
}

BOOL WINAPI DosDateTimeToFileTime(WORD fatDate, WORD fatTime, LPFILETIME localTime)
{
    const int year = kDosEpochYear + (fatDate >> 9);
    const unsigned month = (fatDate >> 5) & 15u, day = fatDate & 31u;
    const unsigned hour = fatTime >> 11, minute = (fatTime >> 5) & 63u, second = (fatTime & 31u) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
        return FALSE;
    std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    SetTicks(localTime, (seconds + kSecondsFrom1601To1970) * kTicksPerSecond);
    return TRUE;
}

// Local wall time to UTC by the zone's offset at that moment. localtime_r
// reads the zone once per process (and again after tzset); mktime would
// look at /etc/localtime again for every member.
BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* localTime, LPFILETIME utcTime)
{
    std::int64_t ticks = FileTimeTicks(*localTime);
    const time_t wall = static_cast<time_t>(ticks / kTicksPerSecond - kSecondsFrom1601To1970);
    struct tm fields;
    // The offset at the wall time read as UTC, then at the moment that gives,
    // which settles it unless the wall time falls in a change of offset.
    if (::localtime_r(&wall, &fields) == nullptr)
        return FALSE;
    time_t utc = wall - fields.tm_gmtoff;
    if (::localtime_r(&utc, &fields) == nullptr)
        return FALSE;
    utc = wall - fields.tm_gmtoff;
    SetTicks(utcTime,
             (static_cast<std::int64_t>(utc) + kSecondsFrom1601To1970) * kTicksPerSecond + ticks % kTicksPerSecond);
    return TRUE;
}
