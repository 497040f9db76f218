// lzh_ceiling SOURCE FOLDER: writes every file below SOURCE to the same
// relative path under FOLDER doing only the work that any -lh5- decoder of
// this design must do for each output byte: put it into an 8 KiB window,
// update the table-driven CRC-16 with it, and write the window to the file
// whenever it is full, plus once at the end of the file. No decoding at all,
// so its speed is the ceiling a decoder can approach on the same files.
//
// The source bytes are read whole before a file's output starts (the read
// is a memory copy from the page cache, much cheaper than the work timed).
// The exit status is 0, or 64 and up with a one-line message.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Crc16.h"

namespace {

constexpr int kWindowSize = 8192;
constexpr int kExitUsage = 64;
constexpr int kExitNoInput = 66;
constexpr int kExitIoError = 74;
constexpr int kMaxDepth = 64;

struct Ceiling {
    std::string source;
    std::string folder;
    std::vector<std::uint8_t> input;
    std::uint8_t window[kWindowSize];
    Crc16Table table;
    unsigned long long bytes = 0;
    unsigned files = 0;
    unsigned crcSum = 0;  // printed, so that the CRC work cannot be dropped
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t count)
{
    for (std::size_t done = 0; done < count;) {
        ssize_t n = ::write(fd, data + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& data)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    data.resize(std::size_t(info.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    ::close(fd);
    data.resize(done);
    return true;
}

// The per-byte work: into the window, through the CRC, out in 8 KiB writes.
bool WriteThroughWindow(Ceiling& c, int fd)
{
    std::uint16_t crc = 0;
    int pos = 0;
    for (std::uint8_t b : c.input) {
        c.window[pos++] = b;
        crc = UpdateCrc16(c.table, crc, b);
        if (pos == kWindowSize) {
            if (!WriteAll(fd, c.window, kWindowSize))
                return false;
            pos = 0;
        }
    }
    c.crcSum += crc;
    return pos == 0 || WriteAll(fd, c.window, std::size_t(pos));
}

int CopyFile(Ceiling& c, const std::string& relative)
{
    if (!ReadWhole(c.source + "/" + relative, c.input)) {
        std::fprintf(stderr, "lzh_ceiling: cannot read '%s/%s'\n", c.source.c_str(), relative.c_str());
        return kExitNoInput;
    }
    const std::string target = c.folder + "/" + relative;
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || !WriteThroughWindow(c, fd)) {
        std::fprintf(stderr, "lzh_ceiling: cannot write '%s'\n", target.c_str());
        if (fd >= 0)
            ::close(fd);
        return kExitIoError;
    }
    ::close(fd);
    c.bytes += c.input.size();
    c.files += 1;
    return 0;
}

// Files of a folder in byte order of their names, sub-folders made as met.
int CopyTree(Ceiling& c, const std::string& relative, int depth)
{
    const std::string path = relative.empty() ? c.source : c.source + "/" + relative;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr || depth > kMaxDepth) {
        std::fprintf(stderr, "lzh_ceiling: cannot read folder '%s'\n", path.c_str());
        if (dir != nullptr)
            ::closedir(dir);
        return kExitNoInput;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string child = relative.empty() ? name : relative + "/" + name;
        struct stat info;
        if (::lstat((c.source + "/" + child).c_str(), &info) != 0)
            return kExitNoInput;
        int rc = 0;
        if (S_ISDIR(info.st_mode)) {
            ::mkdir((c.folder + "/" + child).c_str(), 0777);
            rc = CopyTree(c, child, depth + 1);
        } else if (S_ISREG(info.st_mode)) {
            rc = CopyFile(c, child);
        }
        if (rc != 0)
            return rc;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: lzh_ceiling SOURCE FOLDER\n", stderr);
        return kExitUsage;
    }
    static Ceiling c;
    c.source = argv[1];
    c.folder = argv[2];
    BuildCrc16Table(c.table);
    int rc = CopyTree(c, "", 0);
    if (rc == 0)
        std::printf("%u files, %llu bytes, CRC sum %u\n", c.files, c.bytes, c.crcSum);
    return rc;
}
