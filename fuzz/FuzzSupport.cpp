// The fuzz targets' sandbox and checks; see FuzzSupport.h.
#include "FuzzSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "Crc16.h"

FuzzFigures Figures;

namespace {

// No file of the process grows beyond this: a few bytes may declare 4 GiB
// and legitimately expand to it (a block of 65,536 matches of 256 bytes
// costs seven bytes), and byte-wise copying under the sanitizers is slow.
// The engine meets a short write (result 8) instead.
constexpr rlim_t kFileSizeCap = 4u << 20;
// The header fields the checks read, at offsets from a header's first byte.
constexpr int kOriginalSizeOffset = 11;
constexpr int kNameLengthOffset = 21;
constexpr int kNameOffset = 22;
// The header scan may settle three bytes before where it began.
constexpr int kScanSettlesBefore = 3;
constexpr int kMaxWalkDepth = 200;   // deeper than any 255-byte target can reach

std::string Base;
std::string Install;
std::string Scratch;
std::vector<std::string> OutsideSnapshot;

bool WriteFile(const std::string& path, const char* text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fputs(text, f) >= 0;
    return std::fclose(f) == 0 && ok;
}

std::string ChooseParent()
{
    if (const char* chosen = std::getenv("ZV_FUZZ_TMP"))
        return chosen;
    if (access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp ? tmp : "/tmp";
}

// One line per entry below dir (links not followed), skipping `skip`.
void Walk(const std::string& dir, const std::string& skip, int depth, std::vector<std::string>& out)
{
    DIR* d = opendir(dir.c_str());
    if (!d || depth > kMaxWalkDepth) {
        if (d)
            closedir(d);
        return;
    }
    while (dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        std::string path = dir + "/" + e->d_name;
        if (path == skip)
            continue;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        char line[512];
        std::snprintf(line, sizeof line, " %o %lld %lld.%09ld %llu", unsigned(st.st_mode), (long long)st.st_size,
                      (long long)st.st_mtim.tv_sec, st.st_mtim.tv_nsec, (unsigned long long)st.st_ino);
        out.push_back(path.substr(Base.size()) + line);
        if (S_ISDIR(st.st_mode))
            Walk(path, skip, depth + 1, out);
    }
    closedir(d);
}

std::vector<std::string> SnapshotOutside()
{
    std::vector<std::string> lines;
    Walk(Base, Install, 0, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

void RemoveBelow(const std::string& dir, int depth)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        std::string path = dir + "/" + e->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && depth < kMaxWalkDepth) {
            chmod(path.c_str(), 0700);
            RemoveBelow(path, depth + 1);
            rmdir(path.c_str());
        } else {
            unlink(path.c_str());
        }
    }
    closedir(d);
}

void Report()
{
    std::string results;
    for (int i = 0; i < 10; ++i) {
        if (Figures.results[i])
            results += " " + std::to_string(i) + ":" + std::to_string(Figures.results[i]);
    }
    std::fprintf(stderr,
                 "fuzz figures: target %s, inputs %llu, results%s, files kept %llu (%llu bytes), "
                 "at most %.0f bytes written per input byte, escapes 0, left behind 0, descriptors left open 0\n",
                 Figures.target, (unsigned long long)Figures.inputs, results.empty() ? " none" : results.c_str(),
                 (unsigned long long)Figures.filesKept, (unsigned long long)Figures.bytesKept,
                 Figures.mostWrittenPerInputByte);
    RemoveBelow(Base, 0);
    rmdir(Base.c_str());
}

void PlantLinks()
{
    if (symlink("../../../outside/victim.txt", (Install + "/LINK.TXT").c_str()) != 0 ||
        symlink((Base + "/outside/dir").c_str(), (Install + "/LDIR").c_str()) != 0)
        FuzzFail("cannot plant the links", Install);
}

std::uint8_t ByteAt(const std::uint8_t* data, std::size_t size, std::int64_t at)
{
    return at >= 0 && static_cast<std::uint64_t>(at) < size ? data[at] : 0;
}

// (original size, CRC-16) of a header read at every start the scan can
// yield; bytes past either end read as 0, as the stream yields them.
std::set<std::uint64_t> HeaderPairs(const std::uint8_t* data, std::size_t size)
{
    std::set<std::uint64_t> pairs;
    for (std::int64_t p = -kScanSettlesBefore; p < static_cast<std::int64_t>(size); ++p) {
        std::uint64_t original = 0;
        for (int k = 3; k >= 0; --k)
            original = (original << 8) | ByteAt(data, size, p + kOriginalSizeOffset + k);
        std::int64_t crcAt = p + kNameOffset + ByteAt(data, size, p + kNameLengthOffset);
        std::uint64_t crc = ByteAt(data, size, crcAt) | (ByteAt(data, size, crcAt + 1) << 8);
        pairs.insert((original << 16) | crc);
    }
    return pairs;
}

void CheckFilesBelow(const std::string& dir, const std::set<std::uint64_t>& pairs, int depth, std::uint64_t& bytes)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        std::string path = dir + "/" + e->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode) && depth < kMaxWalkDepth) {
            CheckFilesBelow(path, pairs, depth + 1, bytes);
        } else if (S_ISREG(st.st_mode)) {
            std::string content;
            if (!FuzzReadFile(path, content))
                FuzzFail("cannot read an installed file", path);
            const auto* p = reinterpret_cast<const std::uint8_t*>(content.data());
            std::uint64_t key = (static_cast<std::uint64_t>(content.size()) << 16) | FuzzCrc16(p, content.size());
            if (!pairs.count(key))
                FuzzFail("left behind: a file whose size and CRC-16 match no member header", path);
            Figures.filesKept += 1;
            bytes += content.size();
        }
    }
    closedir(d);
}

} // namespace

void FuzzInit(const char* targetName)
{
    // Again on every input: libFuzzer installs its own handler after the
    // initialisation, and would take the capped write for a crash.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!Base.empty())
        return;
    Figures.target = targetName;
    std::string pattern = ChooseParent() + "/zvfuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        FuzzFail("cannot create the sandbox below", pattern);
    Base = buffer.data();
    Install = Base + "/a/b/install";
    Scratch = Base + "/scratch.bin";
    for (const char* sub : {"/outside", "/outside/dir", "/a", "/a/b", "/a/b/install"})
        mkdir((Base + sub).c_str(), 0755);
    if (!WriteFile(Base + "/outside/victim.txt", "outside: must stay\n") ||
        !WriteFile(Base + "/outside/dir/keep.txt", "outside dir\n"))
        FuzzFail("cannot populate the sandbox", Base);
    OutsideSnapshot = SnapshotOutside();
    struct rlimit cap = {kFileSizeCap, kFileSizeCap};
    setrlimit(RLIMIT_FSIZE, &cap);
    std::atexit(Report);
}

const std::string& FuzzInstallFolder() { return Install; }
const std::string& FuzzScratchFile() { return Scratch; }

void FuzzResetInstall()
{
    RemoveBelow(Install, 0);
    PlantLinks();
}

int FuzzOpenDescriptors()
{
    DIR* d = opendir("/proc/self/fd");
    if (!d)
        return -1;
    int count = 0;
    while (dirent* e = readdir(d))
        count += e->d_name[0] != '.';
    closedir(d);
    return count;
}

std::uint64_t FuzzBytesWritten()
{
    FILE* f = std::fopen("/proc/self/io", "r");
    unsigned long long written = 0;
    char line[128];
    while (f && std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "wchar: %llu", &written) == 1)
            break;
    }
    if (f)
        std::fclose(f);
    return written;
}

void FuzzCheckOutside()
{
    std::vector<std::string> now = SnapshotOutside();
    if (now == OutsideSnapshot)
        return;
    std::string detail;
    for (const std::string& line : now) {
        if (!std::binary_search(OutsideSnapshot.begin(), OutsideSnapshot.end(), line))
            detail += "\n  now:    " + line;
    }
    for (const std::string& line : OutsideSnapshot) {
        if (!std::binary_search(now.begin(), now.end(), line))
            detail += "\n  before: " + line;
    }
    FuzzFail("escape: an entry outside the install folder changed", detail);
}

std::uint64_t FuzzCheckInstalled(const std::uint8_t* payload, std::size_t size)
{
    std::uint64_t bytes = 0;
    CheckFilesBelow(Install, HeaderPairs(payload, size), 0, bytes);
    Figures.bytesKept += bytes;
    return bytes;
}

void FuzzFail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "fuzz %s: %s: %s\n", Figures.target, what, detail.c_str());
    std::abort();
}

std::uint16_t FuzzCrc16(const std::uint8_t* data, std::size_t size)
{
    static Crc16Table table;
    static bool built = (BuildCrc16Table(table), true);
    (void)built;
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i)
        crc = UpdateCrc16(table, crc, data[i]);
    return crc;
}

bool FuzzReadFile(const std::string& path, std::string& out)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    out.clear();
    char chunk[65536];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0)
        out.append(chunk, static_cast<std::size_t>(n));
    close(fd);
    return n == 0;
}

std::uint64_t FuzzFileSize(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void FuzzCountResult(int result)
{
    Figures.inputs += 1;
    Figures.results[result >= 0 && result < 10 ? result : 9] += 1;
}

void FuzzCountAmplification(std::uint64_t written, std::size_t inputSize)
{
    double ratio = static_cast<double>(written) / static_cast<double>(inputSize ? inputSize : 1);
    Figures.mostWrittenPerInputByte = std::max(Figures.mostWrittenPerInputByte, ratio);
}
