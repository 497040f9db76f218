// What both fuzz targets share. Each process gets a sandbox BASE in $TMPDIR whose outside/ must never
// change; the install folder BASE/a/b/install gets LINK.TXT -> ../../../outside/victim.txt and
// LDIR -> BASE/outside/dir planted before every input; three levels of ".." from it stay in BASE.
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "ArchiveWriter.h"
#include "ExtractPayload.h"
#include "Globals.h"
#include "HostHooks.h"

namespace fs = std::filesystem;
// A few bytes may declare 4 GiB and legitimately expand to it: the engine meets a short write instead.
constexpr std::uint64_t kFileSizeCap = 4u << 20;
std::string Base, Install, OutsideBefore;
std::uint64_t DeclaredBytes = 0, WrittenBytes = 0;  // by the engine, per input

[[noreturn]] void FuzzFail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "fuzz %s: %s: %s\n", program_invocation_short_name, what, detail.c_str());
    std::abort();
}

std::vector<std::uint8_t> ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every entry outside the install folder, links not followed.
std::string SnapshotOutside()
{
    std::string lines;
    struct stat st;
    for (auto it = fs::recursive_directory_iterator(Base); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == Install)
            it.disable_recursion_pending();
        else if (lstat(it->path().c_str(), &st) == 0)
            lines += it->path().string() + " mode " + std::to_string(st.st_mode) + " size " +
                     std::to_string(st.st_size) + " ctime " + std::to_string(st.st_ctim.tv_sec) + "." +
                     std::to_string(st.st_ctim.tv_nsec) + "\n";
    }
    return lines;
}

void CreateSandbox()
{
    Base = fs::temp_directory_path() / "zvfuzz-XXXXXX";
    Install = mkdtemp(Base.data()) ? Base + "/a/b/install" : "";
    if (Install.empty() || Install.size() >= sizeof InstallFolder)
        FuzzFail("cannot create the sandbox, or its path is too long for the engine", Base);
    fs::create_directories(Base + "/outside/dir");
    fs::create_directories(Install);
    std::ofstream(Base + "/outside/victim.txt") << "outside: must stay\n";
    std::ofstream(Base + "/outside/dir/keep.txt") << "outside dir\n";
    const rlimit cap = {kFileSizeCap, kFileSizeCap};
    setrlimit(RLIMIT_FSIZE, &cap);
    std::atexit([] { fs::remove_all(Base); });
    MemberReporter = [](const MemberReport& report) {
        if (report.outcome < MemberOutcome::WalkEnded)
            DeclaredBytes += report.header->originalSize;
    };
    HostSetWriteObserver([](long count) { WrittenBytes += std::uint64_t(count); });
    OutsideBefore = SnapshotOutside();
}

// Empties the install folder, plants the links, makes payload the resource and the folder InstallFolder.
void PrepareInstall(const std::uint8_t* payload, std::size_t size)
{
    std::signal(SIGXFSZ, SIG_IGN);  // each time: libFuzzer takes the capped write for a crash otherwise
    if (Base.empty())
        CreateSandbox();
    for (const auto& entry : fs::directory_iterator(Install))
        fs::remove_all(entry.path());
    fs::create_symlink("../../../outside/victim.txt", Install + "/LINK.TXT");
    fs::create_directory_symlink(Base + "/outside/dir", Install + "/LDIR");
    HostResetHooks();
    HostRegisterPayload(size ? payload : reinterpret_cast<const std::uint8_t*>(""), DWORD(size));
    // '\' as the separator, as lzhtool passes the folder: the engine splits at it.
    std::replace_copy(Install.c_str(), Install.c_str() + Install.size() + 1, InstallFolder, '/', '\\');
}

long OpenDescriptors() { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); }

// Aborts unless every file left in the install folder has the size and CRC-16 of a header read at
// some start in payload or up to three bytes before, where the scan may settle (0 past either end).
void CheckInstalled(const std::uint8_t* payload, std::size_t size)
{
    auto at = [&](std::int64_t i) -> std::uint64_t { return i >= 0 && std::uint64_t(i) < size ? payload[i] : 0; };
    std::set<std::pair<std::uint64_t, std::uint64_t>> known;
    for (std::int64_t p = -3; p < std::int64_t(size); ++p) {
        const std::int64_t crc = p + 22 + at(p + 21);
        known.insert({at(p + 14) << 24 | at(p + 13) << 16 | at(p + 12) << 8 | at(p + 11), at(crc + 1) << 8 | at(crc)});
    }
    for (const auto& entry : fs::recursive_directory_iterator(Install)) {
        if (!fs::is_regular_file(entry.symlink_status()))
            continue;
        const std::vector<std::uint8_t> file = ReadWhole(entry.path());
        if (!known.count({file.size(), lzhpack::Crc16(file.data(), file.size())}))
            FuzzFail("left behind: a file whose size and CRC-16 match no member header", entry.path());
    }
}

// Installs payload; aborts on a descriptor or block left behind, more bytes written than its members
// declare, any change outside the install folder, or a file left behind that no header describes.
int FuzzExtract(const std::uint8_t* payload, std::size_t size)
{
    PrepareInstall(payload, size);
    const long descriptors = OpenDescriptors();
    const int blocks = HostLiveAllocations();
    DeclaredBytes = WrittenBytes = 0;
    const int result = ExtractPayload();
    if (OpenDescriptors() != descriptors || HostLiveAllocations() != blocks)
        FuzzFail("a file descriptor or GlobalAlloc block was left open", "");
    if (WrittenBytes > DeclaredBytes)
        FuzzFail("wrote more bytes than its members declare", std::to_string(WrittenBytes));
    if (SnapshotOutside() != OutsideBefore)
        FuzzFail("escape: an entry outside the install folder changed", SnapshotOutside());
    CheckInstalled(payload, size);
    return result;
}

#ifdef FUZZ_REPLAY_MAIN
// Without libFuzzer (g++ builds included): every input in the folder given, in name order.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    const std::set<fs::path> inputs(fs::directory_iterator(argc == 2 ? argv[1] : "."), fs::directory_iterator());
    for (const fs::path& input : inputs) {
        const std::vector<std::uint8_t> data = ReadWhole(input);
        std::fprintf(stderr, "replay %s\n", input.c_str());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    return inputs.empty() ? 66 : 0;
}
#endif
