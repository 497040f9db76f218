// What every fuzz target shares: a sandbox in which the engine may write
// only below one folder, the checks made after each input, and the figures
// printed when a run ends.
//
// Sandbox layout (BASE is a fresh temporary folder per process):
//   BASE/outside/victim.txt, BASE/outside/dir/keep.txt   must never change
//   BASE/a/b/install/                                   the install folder
//   BASE/a/b/install/LINK.TXT -> ../../../outside/victim.txt  planted links,
//   BASE/a/b/install/LDIR -> BASE/outside/dir                 renewed per input
// Three levels of ".." from the install folder still land inside BASE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Figures a target keeps; printed at exit as one "fuzz figures:" line.
struct FuzzFigures {
    const char* target = "fuzz";
    std::uint64_t inputs = 0;
    std::uint64_t results[10] = {};     // by ExtractResult / Extract result, 0 to 9
    std::uint64_t filesKept = 0;        // files found in the install folder after a run
    std::uint64_t bytesKept = 0;
    double mostWrittenPerInputByte = 0; // amplification
};

extern FuzzFigures Figures;

// Creates the sandbox once (under $ZV_FUZZ_TMP, /dev/shm or $TMPDIR), caps
// the size of any file the process writes, and registers the exit report.
// Called at the start of every input.
void FuzzInit(const char* targetName);

const std::string& FuzzInstallFolder();   // POSIX path, no trailing '/'
const std::string& FuzzScratchFile();     // a file outside the install folder for the decoder target

// Empties the install folder and plants the two links again.
void FuzzResetInstall();

// Descriptors open in the process right now.
int FuzzOpenDescriptors();

// Bytes the process has passed to write calls so far (/proc/self/io wchar).
std::uint64_t FuzzBytesWritten();

// Aborts, naming the problem, when anything outside the install folder
// differs from the snapshot taken at start-up.
void FuzzCheckOutside();

// Aborts unless every regular file below the install folder has the size
// and CRC-16 of some member header the payload could yield. Adds the
// folder's files and bytes to the kept figures and returns the bytes.
std::uint64_t FuzzCheckInstalled(const std::uint8_t* payload, std::size_t size);

// Aborts with "fuzz <target>: <what>" on stderr.
[[noreturn]] void FuzzFail(const char* what, const std::string& detail);

std::uint16_t FuzzCrc16(const std::uint8_t* data, std::size_t size);

// Reads a whole file; false when it cannot be read.
bool FuzzReadFile(const std::string& path, std::string& out);
std::uint64_t FuzzFileSize(const std::string& path);   // 0 when missing

void FuzzCountResult(int result);
void FuzzCountAmplification(std::uint64_t written, std::size_t inputSize);
