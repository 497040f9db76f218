// Choosing the install folder with a system dialog: the shell's folder
// browser from version 3.95 on, the old-style Open dialog before it.
#pragma once

#include "Platform.h"

// Edits InstallFolder in place. Returns 1 when a folder was chosen and
// stored, 0 when the user cancelled or something failed.
int ChooseFolder(HWND owner);

// The folder browser's callback: selects the folder given as data once the
// browser exists. Always 0. Exported by name, undecorated.
extern "C" int CALLBACK BFFCallback(HWND window, UINT message, LPARAM lParam, LPARAM data);

// Helpers of ChooseFolder, for tests. Both scan double-byte characters as
// one unit, so a trail byte 0x5C is never taken for a backslash.
// Cuts path just after its last backslash or colon.
void CutAfterLastSeparator(char* path);
// Removes a final backslash unless it follows a colon or another
// backslash, or the folder is shorter than three bytes.
void TrimFinalBackslash(char* folder);
