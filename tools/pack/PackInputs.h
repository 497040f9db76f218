// The files that go into an archive, in archive order, with the names they
// are stored under, checked against what the installer's header reader and
// the Windows file system accept.
#pragma once

#include <string>
#include <vector>

#include "LzhFormat.h"

namespace lzhpack {

struct PackInput {
    std::string path;       // where the file is read from
    std::string directory;  // stored folder, components joined by '/', empty at the root
    std::string name;       // stored file name
};

// Results of the pack steps; the message names the file concerned.
enum PackStatus {
    kPackOk = 0,
    kPackBadName = 1,    // a name that cannot be stored
    kPackNoInput = 2,    // a path that is missing or unreadable
    kPackCantCreate = 3, // the archive cannot be created
    kPackIoError = 4,    // a read or write failed midway
    kPackBadArgument = 5,
};

// Longest names the installer's header reader takes: a base-header name of
// 101 bytes and a directory record of 200 bytes including its trailing
// separator.
constexpr size_t kMaxBaseName = kMaxBaseNameLength;
constexpr size_t kMaxDirectoryRecord = kMaxDirectoryLength;

// Every PATH in argument order: a file as its base name; a folder as every
// regular file below it, in byte order of the relative paths.
int CollectInputs(const std::vector<std::string>& paths, std::vector<PackInput>& inputs, std::string& message);

// Checks a stored name for the given header level (0 or 1). Plain ASCII
// only: the archive carries no code page, and ASCII reads the same in every
// ANSI code page the installer runs under.
int CheckStoredName(const PackInput& input, int level, std::string& message);

// The name as the header carries it at level 0: folders joined with backslashes.
std::string LevelZeroName(const PackInput& input);

}  // namespace lzhpack
