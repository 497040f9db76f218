// The installer's entry point lives in WinMain.cpp; this is its registry
// key walker, shared with the tests.
#pragma once

#include "Platform.h"

// Opens (create false) or creates (create true) the key named by a
// backslash-separated path below root, one component at a time. Every key
// on the way is closed, the root included; a returned key belongs to the
// caller. An empty path returns root itself, not closed. Null on failure.
HKEY OpenKeyPath(HKEY root, const char* path, bool create);
