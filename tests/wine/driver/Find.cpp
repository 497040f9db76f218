// Finding windows and reading their controls.
#include "WinDriver.h"

#include <cstdlib>

#include "DriverInternal.h"

namespace {

constexpr int kPollMs = 50;
constexpr int kMaxTextChars = 32768;
constexpr int kMaxChildren = 1000;
constexpr UINT kSendTimeoutMs = 5000;

struct FindRequest {
  std::wstring caption;
  std::wstring part;
  std::wstring className;
  HWND handle = nullptr;
  HWND found = nullptr;
};

bool Matches(HWND window, const FindRequest& request) {
  if (!IsWindowVisible(window)) return false;
  if (request.handle) return window == request.handle;
  if (!request.className.empty()) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return request.className == name;
  }
  std::wstring text = WdWide(WdText(window));
  if (!request.part.empty()) return text.find(request.part) != std::wstring::npos;
  return text == request.caption;
}

BOOL CALLBACK FindProc(HWND window, LPARAM data) {
  FindRequest* request = reinterpret_cast<FindRequest*>(data);
  if (!Matches(window, *request)) return TRUE;
  request->found = window;
  return FALSE;
}

}  // namespace

thread_local std::string LastError;

const std::string& WdError() { return LastError; }

bool Fail(const std::string& reason) {
  LastError = reason;
  return false;
}

std::wstring WdWide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], n);
  return wide;
}

std::string WdUtf8(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0,
                              nullptr, nullptr);
  std::string utf8(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], n, nullptr,
                      nullptr);
  return utf8;
}

std::string WdFromAnsi(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &wide[0], n);
  return WdUtf8(wide);
}

HWND WdFindWindow(const std::string& selector) {
  FindRequest request;
  if (selector.rfind("hwnd=", 0) == 0) {
    request.handle = (HWND)(UINT_PTR)strtoul(selector.c_str() + 5, nullptr, 16);
    if (!request.handle) return nullptr;
  } else if (selector.rfind("class=", 0) == 0) {
    request.className = WdWide(selector.substr(6));
  } else if (selector.rfind("contains=", 0) == 0) {
    request.part = WdWide(selector.substr(9));
  } else {
    request.caption = WdWide(selector);
  }
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

HWND WdWaitWindow(const std::string& selector, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
    HWND window = WdFindWindow(selector);
    if (window) return window;
    Sleep(kPollMs);
  }
  Fail("no visible window \"" + selector + "\" within " + std::to_string(timeoutMs) + " ms");
  return nullptr;
}

bool WdWaitGone(HWND window, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    Sleep(kPollMs);
  }
  return Fail("the window is still there after " + std::to_string(timeoutMs) + " ms");
}

// WM_GETTEXT rather than GetWindowText: the latter does not ask a window of
// another process, so it would miss what the user typed into an edit box.
std::string WdText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return std::string();
  }
  if (length > kMaxTextChars) length = kMaxTextChars;
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
  text.resize(copied <= length ? copied : length);
  return WdUtf8(text);
}

static void ReadFont(HWND window, ControlInfo* info) {
  DWORD_PTR font = 0;
  SendMessageTimeoutW(window, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &font);
  LOGFONTW logFont = {};
  if (!font || !GetObjectW(reinterpret_cast<HFONT>(font), sizeof logFont, &logFont)) return;
  info->fontFace = WdUtf8(logFont.lfFaceName);
  HDC screen = GetDC(nullptr);
  int height = logFont.lfHeight < 0 ? -logFont.lfHeight : logFont.lfHeight;
  info->fontPoints = MulDiv(height, 72, GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
}

ControlInfo WdDescribe(HWND window) {
  ControlInfo info;
  info.window = window;
  info.id = GetDlgCtrlID(window);
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  info.className = WdUtf8(name);
  info.text = WdText(window);
  info.style = (DWORD)GetWindowLongW(window, GWL_STYLE);
  info.exStyle = (DWORD)GetWindowLongW(window, GWL_EXSTYLE);
  info.enabled = IsWindowEnabled(window) != FALSE;
  info.visible = IsWindowVisible(window) != FALSE;
  if (lstrcmpiW(name, L"Button") == 0) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
    info.checked = (int)state;
  }
  GetWindowRect(window, &info.rect);
  HWND parent = GetAncestor(window, GA_PARENT);
  if (parent && parent != GetDesktopWindow()) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&info.rect), 2);
  }
  ReadFont(window, &info);
  return info;
}

std::vector<ControlInfo> WdControls(HWND dialog) {
  std::vector<ControlInfo> controls;
  HWND child = GetWindow(dialog, GW_CHILD);
  for (int i = 0; child && i < kMaxChildren; ++i) {
    controls.push_back(WdDescribe(child));
    child = GetWindow(child, GW_HWNDNEXT);
  }
  return controls;
}

HWND WdControl(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) Fail("no control with id " + std::to_string(id));
  return control;
}

HWND FindDescendant(HWND parent, const wchar_t* className) {
  HWND child = GetWindow(parent, GW_CHILD);
  for (int i = 0; child && i < kMaxChildren; ++i) {
    wchar_t name[256] = {};
    GetClassNameW(child, name, 256);
    if (lstrcmpiW(name, className) == 0) return child;
    HWND inner = FindDescendant(child, className);
    if (inner) return inner;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  return nullptr;
}
