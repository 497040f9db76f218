// Helpers shared by the driver's source files.
#pragma once

#include <windows.h>

#include <string>

// Records the reason for WdError and returns false.
bool Fail(const std::string& reason);
// First descendant of parent with this window class, depth first.
HWND FindDescendant(HWND parent, const wchar_t* className);
