#include "MemberPath.h"

#include <cstring>

#include "Platform.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows drops trailing dots and spaces from names, so "..." or ". ." may
// end up naming the parent; any name of two or more dots (and spaces) is
// refused like "..".
bool IsDotsName(const char* name, std::size_t length)
{
    std::size_t dots = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (name[i] == '.')
            dots += 1;
        else if (name[i] != ' ')
            return false;
    }
    return dots >= 2;
}

// The device names, alone or followed by a dot and anything, trailing spaces
// of the base ignored, in any letter case.
bool IsDeviceName(const char* name, std::size_t length)
{
    std::size_t base = 0;
    while (base < length && name[base] != '.')
        base += 1;
    while (base > 0 && name[base - 1] == ' ')
        base -= 1;
    char up[4] = {};
    if (base != 3 && base != 4)
        return false;
    for (std::size_t i = 0; i < 3; ++i)
        up[i] = Upper(name[i]);
    if (base == 3)
        return !std::strcmp(up, "CON") || !std::strcmp(up, "PRN") || !std::strcmp(up, "AUX") || !std::strcmp(up, "NUL");
    return (!std::strcmp(up, "COM") || !std::strcmp(up, "LPT")) && name[3] >= '1' && name[3] <= '9';
}

PathVerdict CheckComponent(const char* name, std::size_t length)
{
    if (IsDotsName(name, length))
        return PathVerdict::ParentComponent;
    if (IsDeviceName(name, length))
        return PathVerdict::DeviceName;
    return PathVerdict::Accepted;
}

}  // namespace

// Splits at '\' and '/', stepping over double-byte characters so that a
// trail byte 0x5C stays inside its name.
PathVerdict CheckRelativePath(const char* relative)
{
    std::size_t begin = 0, i = 0;
    for (; relative[i] != '\0' && i < kPathRoom * 2; ++i) {
        const char c = relative[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && relative[i + 1] != '\0') {
            i += 1;
            continue;
        }
        if (c == ':')
            return PathVerdict::Colon;
        if (IsSeparator(c)) {
            PathVerdict v = CheckComponent(relative + begin, i - begin);
            if (v != PathVerdict::Accepted)
                return v;
            begin = i + 1;
        }
    }
    return CheckComponent(relative + begin, i - begin);
}

PathVerdict BuildTargetPath(const char* folder, const MemberHeader& header, char (&target)[kPathRoom])
{
    const char* directory = header.directoryName;
    if (directory[0] == '\\')
        directory += 1;
    const std::size_t folderLength = std::strlen(folder);
    if (folderLength + std::strlen(directory) + std::strlen(header.fileName) > kMaxPathLength)
        return PathVerdict::TooLong;
    lstrcpyA(target, folder);
    lstrcatA(target, directory);
    lstrcatA(target, header.fileName);
    return CheckRelativePath(target + folderLength);
}

PathVerdict CheckLinks(const char* target, std::size_t folderLength)
{
    char prefix[kPathRoom];
    const std::size_t length = std::strlen(target);
    if (length > kMaxPathLength || folderLength > length)
        return PathVerdict::TooLong;
    std::memcpy(prefix, target, length + 1);
    for (std::size_t i = folderLength; i <= length; ++i) {
        const char c = target[i];
        if (c != '\0' && IsDBCSLeadByte(static_cast<BYTE>(c)) && target[i + 1] != '\0') {
            i += 1;
            continue;
        }
        if (c != '\0' && !IsSeparator(c))
            continue;
        if (i == folderLength)
            continue;
        prefix[i] = '\0';
        const DWORD attributes = GetFileAttributesA(prefix);
        prefix[i] = c;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return PathVerdict::Link;
    }
    return PathVerdict::Accepted;
}

const char* PathVerdictText(PathVerdict verdict)
{
    switch (verdict) {
    case PathVerdict::Accepted: return "accepted";
    case PathVerdict::ParentComponent: return "parent-directory component";
    case PathVerdict::Colon: return "colon in the path";
    case PathVerdict::DeviceName: return "device name";
    case PathVerdict::TooLong: return "target path longer than 255 bytes";
    case PathVerdict::Link: return "link in the target path";
    }
    return "unknown";
}
