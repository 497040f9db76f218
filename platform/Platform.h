// The one seam between the installer's code and the system: the real Win32
// headers on Windows, the POSIX-backed host layer everywhere else. Code in
// extract/ and app/ includes this header and nothing system-specific.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "HostWin32.h"
#endif
