// The installer's process-wide state, shared by the shell and the engine.
#pragma once

#include "Platform.h"

constexpr int kFolderCapacity = 256;  // InstallFolder's bytes, terminator included
// Version 3.95 (major * 256 + minor): from here on the desktop shortcut is
// offered and the shell's folder browser chooses the folder.
constexpr int kShellVersion = 3 * 256 + 95;  // 863
// The values of ShortcutChoice.
constexpr int kShortcutNotWanted = 0;
constexpr int kShortcutWanted = 1;
constexpr int kShortcutUnavailable = 2;

extern HINSTANCE ModuleInstance;             // stored by WinMain before anything else
extern char InstallFolder[kFolderCapacity];  // ANSI code page text, at most 255 bytes
extern unsigned char IsJapanese;             // 1 on a double-byte system with code page 932
extern int OsVersion;                        // major * 256 + minor
extern int ShortcutChoice;                   // kShortcutNotWanted, kShortcutWanted or kShortcutUnavailable
