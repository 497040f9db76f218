// The installer's walk over an archive, as lzhtool extract, test and list
// run it: the engine's own member loop, into a folder or into the host
// layer's sink, with one line per member.
#pragma once

#include <cstdint>

enum class WalkCommand { Extract, Test, List };

// An archive in memory; mapping is set when it is a mapped file, whose pages
// the walk may hand back to the page cache as it goes.
struct ArchiveBytes {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    void* mapping = nullptr;
};

struct WalkRequest {
    WalkCommand command;
    const char* archiveName;  // for messages
    const char* folder;       // extract's install folder ('\' or '/'); the others use the installer's default
    bool verbose;             // extract: also the members written
    bool quiet;               // only the lines about members not written
};

struct WalkTally {
    int members;  // member headers read
    int written;  // members whose file was (or would be) written in full
    int lost;     // members naming a file that was not written
    std::uint64_t originalBytes;
    std::uint64_t packedBytes;
    bool launchable;  // quova or quova.exe at the root was among those written
};

// The folder that test and list judge the targets in: the installer's default.
constexpr char kDefaultInstallFolder[] = "C:\\Program Files\\Quova\\";

// Maps the archive file read-only; 0, or an exit status after a message.
int MapArchive(const char* path, ArchiveBytes& archive);
void UnmapArchive(ArchiveBytes& archive);

// Runs the walk; returns the engine's result (0, or an ExtractResult 2 to 9).
int WalkArchive(const ArchiveBytes& archive, const WalkRequest& request, WalkTally& tally);

// The one summary line of a walk, on standard output.
void PrintWalkSummary(const WalkRequest& request, const WalkTally& tally, int result);

// What lzhtool test --payload does to an archive in memory, for every
// command that builds an installer: the walk with nothing written, then the
// launch check. Returns the exit status: the engine's result when it is not
// 0, else kExitDataError with one line when no quova or quova.exe (any case)
// at the archive's root would be written, else 0. quiet prints only the
// lines about what is wrong.
int CheckPayload(const std::uint8_t* data, std::uint32_t size, const char* name, bool quiet);

// The installer's message for a result, in short.
const char* ResultText(int result);
