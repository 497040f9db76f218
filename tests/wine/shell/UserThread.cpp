#include "UserThread.h"

#include <cstdlib>

namespace {

constexpr int kUserFinishMs = 30000;
constexpr int kCloseRounds = 100;
constexpr int kCloseIntervalMs = 100;
constexpr int kWindowWaitMs = 10000;
constexpr int kPollMs = 50;

DWORD testThread = GetCurrentThreadId();

struct UserRun {
  const UserPart* user;
  HANDLE callDone;
  std::string report;
};

BOOL CALLBACK CloseWindowProc(HWND window, LPARAM) {
  if (IsWindowVisible(window)) PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  return TRUE;
}

DWORD WINAPI UserThreadMain(void* data) {
  UserRun* run = static_cast<UserRun*>(data);
  run->report = (*run->user)();
  if (run->report.empty()) return 0;
  for (int round = 0; round < kCloseRounds; ++round) {
    if (WaitForSingleObject(run->callDone, kCloseIntervalMs) == WAIT_OBJECT_0) break;
    EnumThreadWindows(testThread, CloseWindowProc, 0);
  }
  return 0;
}

BOOL CALLBACK FirstVisibleProc(HWND window, LPARAM data) {
  if (!IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

}  // namespace

DWORD TestThreadId() { return testThread; }

std::string RunAsUser(const UserPart& user, const std::function<void()>& call) {
  UserRun run = {&user, CreateEventW(nullptr, TRUE, FALSE, nullptr), std::string()};
  HANDLE thread = CreateThread(nullptr, 0, UserThreadMain, &run, 0, nullptr);
  call();
  SetEvent(run.callDone);
  bool finished = WaitForSingleObject(thread, kUserFinishMs) == WAIT_OBJECT_0;
  CloseHandle(thread);
  CloseHandle(run.callDone);
  if (!finished) return "the user's part did not finish";
  return run.report;
}

HWND WaitForOwnWindow(int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
    HWND found = nullptr;
    EnumThreadWindows(testThread, FirstVisibleProc, reinterpret_cast<LPARAM>(&found));
    if (found) return found;
    Sleep(kPollMs);
  }
  return nullptr;
}

std::string ReadAndConfirmMessageBox(MessageBoxInfo* box) {
  HWND window = WaitForOwnWindow(kWindowWaitMs);
  if (!window) return "no message box appeared";
  if (!WdMessageBox(window, box)) return WdError();
  if (!WdClick(window, IDOK)) return "OK: " + WdError();
  if (!WdWaitGone(window, kWindowWaitMs)) return WdError();
  return std::string();
}

std::string Utf8FromAnsi(const char* text) { return WdFromAnsi(text); }

std::string AnsiFromUtf8(const std::string& text) {
  std::wstring wide = WdWide(text);
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr,
                              nullptr);
  std::string ansi(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &ansi[0], n, nullptr, nullptr);
  return ansi;
}

void SaveScreenshot(HWND window, const char* name) {
  const char* folder = getenv("ZV_SCREENSHOTS");
  if (!folder || !*folder) return;
  // Let the window finish painting before it is taken.
  Sleep(300);
  WdCapture(window, std::string(folder) + "\\" + name + ".bmp");
}
