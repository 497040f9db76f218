// Which member paths the installer writes. A member is written only where
// its whole relative path (the directory name without its one leading
// backslash, followed by the file name) keeps it inside the install folder
// and away from devices and links; a refused member is passed over before
// anything is created for it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "MemberHeader.h"

constexpr int kPathRoom = 256;  // the target path and its work copies
constexpr int kMaxPathLength = kPathRoom - 1;

enum class PathVerdict : std::uint8_t {
    Accepted,
    ParentComponent,  // "..", or any name of dots only that Windows could fold into one
    Colon,            // a drive, a stream or an NT prefix
    DeviceName,       // CON, PRN, AUX, NUL, COM1-9, LPT1-9
    TooLong,          // the target would not fit in 255 bytes
    Link,             // a component inside the folder is a link or junction
};

// Joins folder (ending in a separator), the directory name and the file name
// into target when the name rules allow it. Nothing is touched on disk.
PathVerdict BuildTargetPath(const char* folder, const MemberHeader& header, char (&target)[kPathRoom]);

// Tests each existing component of target behind its first folderLength
// bytes for a link (a reparse point on Windows).
PathVerdict CheckLinks(const char* target, std::size_t folderLength);

// The name rules alone, on a relative path.
PathVerdict CheckRelativePath(const char* relative);

const char* PathVerdictText(PathVerdict verdict);
