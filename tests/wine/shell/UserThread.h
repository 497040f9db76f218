// Plays the user on a second thread while the test's own thread sits in a
// modal call (a message box, the folder browser, the file dialog).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "WinDriver.h"

// Thread that calls the functions under test; its windows are the ones the
// user looks for.
DWORD TestThreadId();

// The user's part returns "" when it went as planned, else what went wrong.
using UserPart = std::function<std::string()>;

// Runs user on a second thread and call on this one. When the user's part
// fails, every window of this thread is closed until call returns, so that
// a failed test never leaves a modal window behind. Returns the user's
// report, or a note that the user's part did not finish.
std::string RunAsUser(const UserPart& user, const std::function<void()>& call);

// First visible top-level window of the test thread, waiting up to timeoutMs.
HWND WaitForOwnWindow(int timeoutMs);

// Reads a message box of the test thread and presses its OK button.
std::string ReadAndConfirmMessageBox(MessageBoxInfo* box);

// Code page text (as LoadStringA delivers it) to UTF-8, for comparisons.
std::string Utf8FromAnsi(const char* text);
// UTF-8 to the active code page, as the installer keeps its paths.
std::string AnsiFromUtf8(const std::string& text);

// Saves a capture as NAME.bmp in the folder given by ZV_SCREENSHOTS (a
// Windows path), which the test script then turns into PNG files.
void SaveScreenshot(HWND window, const char* name);
