// The files that go into an archive, in archive order, with the names they
// are stored under, checked against what the installer's header reader, its
// path rules and the Windows file system accept.
#pragma once

#include <string>
#include <vector>

#include "LzhFormat.h"

namespace lzhpack {

// The code page of the stored names: plain ASCII, which reads the same in
// every ANSI code page the installer runs under, or code page 932.
constexpr int kAsciiNames = 0;
constexpr int kCodePage932 = 932;

struct PackInput {
    std::string path;            // where the file is read from
    std::string directory;       // stored folder, components joined by '/', empty at the root
    std::string name;            // stored file name
    int codePage = kAsciiNames;  // of directory and name
};

// Results of the pack steps; the message names the file concerned.
enum PackStatus {
    kPackOk = 0,
    kPackBadName = 1,     // a name that cannot be stored
    kPackNoInput = 2,     // a path that is missing or unreadable
    kPackCantCreate = 3,  // the archive cannot be created
    kPackIoError = 4,     // a read or write failed midway
    kPackBadArgument = 5,
};

// Longest names the installer's header reader takes: a base-header name of
// 101 bytes and a directory record of 200 bytes including its trailing
// separator.
constexpr size_t kMaxBaseName = kMaxBaseNameLength;
constexpr size_t kMaxDirectoryRecord = kMaxDirectoryLength;

// Every PATH in argument order: a file as its base name; a folder as every
// regular file below it, in byte order of the relative paths. The names
// (UTF-8, as a Linux file system holds them) are converted to codePage and
// checked for the header level (0 or 1) with CheckStoredName; two that
// Windows would take for one are refused too. kPackBadName lists every
// refused name of the run in message, one line each.
int CollectInputs(const std::vector<std::string>& paths, std::vector<PackInput>& inputs, std::string& message,
                  int level = 1, int codePage = kAsciiNames);

// Checks a stored name for the given header level: its bytes, the header
// reader's limits, and the installer's own path rules (MemberPath.h) on the
// name as the installer reads it, in the shortest install folder, under
// code page 932 and under a single-byte code page.
int CheckStoredName(const PackInput& input, int level, std::string& message);

// The name as the header carries it at level 0: folders joined with backslashes.
std::string LevelZeroName(const PackInput& input);

}  // namespace lzhpack
