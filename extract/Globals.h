// The installer's process-wide state, shared by the shell and the engine.
#pragma once

#include "Platform.h"

extern HINSTANCE ModuleInstance;   // stored by WinMain before anything else
extern char InstallFolder[256];    // ANSI code page text, at most 255 bytes
extern unsigned char IsJapanese;   // 1 on a double-byte system with code page 932
extern int OsVersion;              // major * 256 + minor
extern int ShortcutChoice;         // 0 not wanted, 1 wanted, 2 unavailable
