// Operates the windows of a program under test the way a person would: finds
// a top-level window by its caption, reads its controls, presses buttons,
// types, sends Enter or Esc, closes it through its close box and takes
// pictures of it. Works from a second thread of the program under test and
// from another process of the same Wine session (windriver.exe).
//
// Texts go in and come out as UTF-8; the windows' own texts are read as
// UTF-16 and so do not depend on the reader's code page.
//
// Actions that may open a modal window (a click, a key, a close) are posted,
// never sent, so that they return at once; the caller then waits for the
// next window or for this one to go away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ControlInfo {
  HWND window = nullptr;
  int id = 0;                 // as stored: a template id of -1 reads 65535
  std::string className;
  std::string text;           // UTF-8
  DWORD style = 0;
  DWORD exStyle = 0;
  bool enabled = false;
  bool visible = false;
  int checked = -1;           // BST_* for buttons, -1 for other classes
  RECT rect = {};             // pixels, in the parent's client coordinates
  std::string fontFace;       // empty when the font cannot be read
  int fontPoints = 0;         // 0 when unknown
};

struct MessageBoxInfo {
  std::string caption;
  std::string text;
  // "information", "warning", "error", "question", "none" or "unknown"
  std::string icon;
  int iconControlId = 0;      // 20 on Windows, 1088 on Wine; 0 without icon
  DWORD iconStyle = 0;
  std::vector<std::string> buttons;
};

// Reason for the last failure of a Wd function on this thread.
const std::string& WdError();

std::wstring WdWide(const std::string& utf8);
std::string WdUtf8(const std::wstring& wide);
// Bytes in the active code page to UTF-8.
std::string WdFromAnsi(const std::string& ansi);

// Selector: an exact caption, "contains=TEXT" for a part of the caption,
// "class=NAME" for the window class (e.g. class=#32770), or "hwnd=HEX" for
// one window. Only visible top-level windows match; the topmost match wins.
HWND WdFindWindow(const std::string& selector);
HWND WdWaitWindow(const std::string& selector, int timeoutMs);
bool WdWaitGone(HWND window, int timeoutMs);

std::string WdText(HWND window);
ControlInfo WdDescribe(HWND window);
// Direct children in Z order, which for a dialog is the template order.
std::vector<ControlInfo> WdControls(HWND dialog);
HWND WdControl(HWND dialog, int id);
bool WdItems(HWND dialog, int id, std::vector<std::string>* items);
// Labels from the root of the first tree view down to its selected item.
bool WdTreeSelection(HWND dialog, std::vector<std::string>* labels);
bool WdMessageBox(HWND box, MessageBoxInfo* info);

// Refuses controls that are hidden or disabled, as a person could not use them.
bool WdClick(HWND dialog, int id);
bool WdSetText(HWND dialog, int id, const std::string& utf8);
// Selects the item with this exact text in a list or combo box and tells
// the dialog, as a click would; doubleClick also opens it (LBN_DBLCLK).
bool WdSelectItem(HWND dialog, int id, const std::string& utf8, bool doubleClick);
// Key names: enter, esc, tab, space, up, down, left, right. The key goes to
// the focused control, or to control id when id is not 0.
bool WdKey(HWND dialog, const std::string& keyName, int id);
bool WdClose(HWND window);
// A null window captures the whole screen. Writes a 24-bit BMP.
bool WdCapture(HWND window, const std::string& bmpPath);
