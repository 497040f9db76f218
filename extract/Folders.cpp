// The install folder's trailing separator and the directories of a target.
// Both scans step over double-byte characters: a trail byte of value 0x5C is
// part of its character, never a separator.
#include <cstring>

#include "ExtractPayload.h"
#include "Globals.h"

void EnsureTrailingSeparator()
{
    InstallFolder[kFolderCut] = '\0';
    bool afterSeparator = false;
    for (int i = 0; i <= kFolderCut; ++i) {
        const char c = InstallFolder[i];
        if (c == '\0') {
            InstallFolder[i] = '\\';
            InstallFolder[i + 1] = '\0';
            return;
        }
        if (IsDBCSLeadByte(static_cast<BYTE>(c))) {
            if (InstallFolder[i + 1] == '\0') {
                // An incomplete character: dropped after a separator,
                // otherwise made into one.
                InstallFolder[i] = afterSeparator ? '\0' : '\\';
                return;
            }
            i += 1;
            afterSeparator = false;
            continue;
        }
        if (c == '\\' && InstallFolder[i + 1] == '\0')
            return;
        afterSeparator = (c == '\\');
    }
}

int CreateParentDirectories(const char* path, bool& madeLast)
{
    char work[kPathRoom];
    int w = 0;
    madeLast = false;
    for (int i = 0; path[i] != '\0'; ++i) {
        if (w >= kMaxPathLength)
            return -1;
        const char c = path[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c))) {
            work[w++] = c;
            if (path[i + 1] == '\0')
                return 0;
            work[w++] = path[++i];
            continue;
        }
        // Windows also separates at '/', so a level-0 name written with
        // slashes needs its directories as much as one written with backslashes.
        if ((c == '\\' || c == '/') && w > 0 && work[w - 1] != ':') {
            work[w] = '\0';
            const DWORD attributes = GetFileAttributesA(work);
            madeLast = false;
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (!CreateDirectoryA(work, nullptr))
                    return -1;
                madeLast = true;
            }
        }
        work[w++] = c;
    }
    return 0;
}

std::size_t ParentLength(const char* path)
{
    std::size_t parent = 0;
    for (std::size_t i = 0; path[i] != '\0' && i < kPathRoom; ++i) {
        const char c = path[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c))) {
            if (path[i + 1] == '\0')
                break;
            i += 1;
        } else if (c == '\\' || c == '/') {
            parent = i + 1;
        }
    }
    return parent;
}
