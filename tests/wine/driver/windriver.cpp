// windriver: operates the windows of a program running in the same Wine
// session (same WINEPREFIX, same DISPLAY), one action per invocation.
//
//   windriver wait     SEL [MS]          wait until the window shows; prints its caption
//   windriver find     SEL [MS]          like wait, but prints the window handle (hwnd=0x...)
//   windriver gone     SEL [MS]          wait until no such window is visible
//   windriver dump     SEL               the window and its controls, one line each
//   windriver text     SEL [ID]          raw text of the window or of control ID
//   windriver items    SEL ID            items of a list or combo box, one per line
//   windriver tree     SEL               labels from the tree root to the selection, one per line
//   windriver msgbox   SEL               caption, text, icon and buttons of a message box
//   windriver click    SEL ID            press a button (refused when hidden or disabled)
//   windriver settext  SEL ID TEXT       put TEXT into an edit box
//   windriver select   SEL ID TEXT [open]  choose a list or combo item; "open" double-clicks it
//   windriver key      SEL KEY [ID]      KEY: enter esc tab space up down left right
//   windriver close    SEL               the close box (WM_SYSCOMMAND SC_CLOSE)
//   windriver capture  SEL|:screen OUT.bmp   24-bit BMP of the window or the screen
//
// SEL is an exact caption, "contains=PART", "class=NAME" (e.g. class=#32770)
// or "hwnd=HEX" as find prints it (to wait for one window to go when the
// next one has the same caption); only visible top-level windows match.
// Every command but wait, find and gone first waits up to WINDRIVER_TIMEOUT
// ms (default 10000) for its window. ID is the control id in decimal; -1
// stands for 65535, as a template stores it. Texts are UTF-8 both ways.
// The helpers in tests/wine/session.sh set up such a session for a test.
//
// dump prints tab-separated key=value fields:
//   window  class=C style=0xS exstyle=0xE rect=X,Y,W,H font=FACE,PT text=T
//   control id=N class=C style=0xS exstyle=0xE enabled=0|1 visible=0|1
//           checked=-1|0|1|2 rect=X,Y,W,H font=FACE,PT text=T
// (window rect on the screen, control rect in the dialog's client area, in
// pixels; font "-" when unreadable from outside the program). In dump and
// msgbox texts, \ \t \n \r and other control characters are escaped C-style
// (\\ \t \n \r \xHH); text, items and tree print raw.
//
// msgbox prints lines: caption=T, text=T, icon=information|warning|error|
// question|none|unknown, iconid=N, iconstyle=0xS, then button=T per button.
//
// Exit codes: 0 done; 64 bad usage; 65 window not found in time, or still
// there for gone; 66 the control or the action failed.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "WinDriver.h"

namespace {

constexpr int kExitUsage = 64;
constexpr int kExitNoWindow = 65;
constexpr int kExitFailed = 66;
constexpr int kDefaultTimeoutMs = 10000;

void Write(HANDLE handle, const std::string& text) {
  DWORD written = 0;
  WriteFile(handle, text.data(), (DWORD)text.size(), &written, nullptr);
}

void Print(const std::string& line) { Write(GetStdHandle(STD_OUTPUT_HANDLE), line + "\n"); }

int Complain(int code, const std::string& message) {
  Write(GetStdHandle(STD_ERROR_HANDLE), "windriver: " + message + "\n");
  return code;
}

std::string Escape(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c < 0x20 || c == 0x7F) out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    else out += (char)c;
  }
  return out;
}

std::string Hex(DWORD value) {
  char buffer[16];
  wsprintfA(buffer, "0x%08lX", value);
  return buffer;
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top);
}

std::string FontText(const ControlInfo& c) {
  return c.fontFace.empty() ? "-" : c.fontFace + "," + std::to_string(c.fontPoints);
}

bool ParseNumber(const std::string& text, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = strtol(text.c_str(), &end, 10);
  return *end == '\0';
}

// -1 as a template writes it is the word 0xFFFF in the window.
bool ParseId(const std::string& text, int* id) {
  long value = 0;
  if (!ParseNumber(text, &value) || value < -1 || value > 0xFFFF) return false;
  *id = value == -1 ? 0xFFFF : (int)value;
  return true;
}

int Timeout() {
  const char* text = getenv("WINDRIVER_TIMEOUT");
  long value = 0;
  if (text && ParseNumber(text, &value) && value >= 0) return (int)value;
  return kDefaultTimeoutMs;
}

int Dump(HWND window) {
  ControlInfo self = WdDescribe(window);
  Print("window\tclass=" + self.className + "\tstyle=" + Hex(self.style) + "\texstyle=" +
        Hex(self.exStyle) + "\trect=" + RectText(self.rect) + "\tfont=" + FontText(self) +
        "\ttext=" + Escape(self.text));
  for (const ControlInfo& c : WdControls(window)) {
    Print("control\tid=" + std::to_string(c.id) + "\tclass=" + c.className + "\tstyle=" +
          Hex(c.style) + "\texstyle=" + Hex(c.exStyle) + "\tenabled=" +
          std::to_string(c.enabled) + "\tvisible=" + std::to_string(c.visible) + "\tchecked=" +
          std::to_string(c.checked) + "\trect=" + RectText(c.rect) + "\tfont=" + FontText(c) +
          "\ttext=" + Escape(c.text));
  }
  return 0;
}

int MessageBoxReport(HWND window) {
  MessageBoxInfo box;
  if (!WdMessageBox(window, &box)) return Complain(kExitFailed, WdError());
  Print("caption=" + Escape(box.caption));
  Print("text=" + Escape(box.text));
  Print("icon=" + box.icon);
  Print("iconid=" + std::to_string(box.iconControlId));
  Print("iconstyle=" + Hex(box.iconStyle));
  for (const std::string& button : box.buttons) Print("button=" + Escape(button));
  return 0;
}

int Lines(bool ok, const std::vector<std::string>& lines) {
  if (!ok) return Complain(kExitFailed, WdError());
  for (const std::string& line : lines) Print(line);
  return 0;
}

int Done(bool ok) { return ok ? 0 : Complain(kExitFailed, WdError()); }

int Usage(const std::string& problem) {
  return Complain(kExitUsage, problem + " (see the top of windriver.cpp for the commands)");
}

}  // namespace

int RunCommand(const std::vector<std::string>& a);

int main() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(WdUtf8(wide[i]));
  LocalFree(wide);
  SetConsoleOutputCP(CP_UTF8);
  return RunCommand(args);
}

namespace {

int WaitCommand(const std::vector<std::string>& a) {
  long ms = Timeout();
  if (a.size() > 2 && (!ParseNumber(a[2], &ms) || ms < 0)) return Usage("bad time: " + a[2]);
  if (a[0] != "gone") {
    HWND window = WdWaitWindow(a[1], (int)ms);
    if (!window) return Complain(kExitNoWindow, WdError());
    char handle[32];
    wsprintfA(handle, "hwnd=0x%lX", (unsigned long)(UINT_PTR)window);
    Print(a[0] == "find" ? std::string(handle) : WdText(window));
    return 0;
  }
  for (long waited = 0; waited <= ms; waited += 50) {
    if (!WdFindWindow(a[1])) return 0;
    Sleep(50);
  }
  return Complain(kExitNoWindow, "window \"" + a[1] + "\" still there");
}

int ControlCommand(const std::string& verb, HWND window, const std::vector<std::string>& a) {
  int id = 0;
  if (!ParseId(a[2], &id)) return Usage("bad control id: " + a[2]);
  std::vector<std::string> lines;
  if (verb == "text") {
    HWND control = WdControl(window, id);
    if (!control) return Complain(kExitFailed, WdError());
    Print(WdText(control));
    return 0;
  }
  if (verb == "items") return Lines(WdItems(window, id, &lines), lines);
  if (verb == "click") return Done(WdClick(window, id));
  if (verb == "settext") return Done(WdSetText(window, id, a[3]));
  if (verb == "select") {
    if (a.size() > 4 && a[4] != "open") return Usage("expected \"open\", got " + a[4]);
    return Done(WdSelectItem(window, id, a[3], a.size() > 4));
  }
  return Usage("unknown command " + verb);
}

// Smallest and largest argument counts, the verb included.
struct Verb {
  const char* name;
  size_t least;
  size_t most;
};

constexpr Verb kVerbs[] = {
    {"wait", 2, 3},    {"find", 2, 3},     {"gone", 2, 3},     {"dump", 2, 2},    {"text", 2, 3},
    {"items", 3, 3},   {"tree", 2, 2},     {"msgbox", 2, 2},  {"click", 3, 3},
    {"settext", 4, 4}, {"select", 4, 5},   {"key", 3, 4},     {"close", 2, 2},
    {"capture", 3, 3},
};

}  // namespace

int RunCommand(const std::vector<std::string>& a) {
  if (a.empty()) return Usage("no command");
  const Verb* verb = nullptr;
  for (const Verb& v : kVerbs) {
    if (a[0] == v.name) verb = &v;
  }
  if (!verb) return Usage("unknown command " + a[0]);
  if (a.size() < verb->least || a.size() > verb->most) return Usage("wrong argument count for " + a[0]);
  if (a[0] == "wait" || a[0] == "find" || a[0] == "gone") return WaitCommand(a);
  if (a[0] == "capture" && a[1] == ":screen") return Done(WdCapture(nullptr, a[2]));
  HWND window = WdWaitWindow(a[1], Timeout());
  if (!window) return Complain(kExitNoWindow, WdError());
  std::vector<std::string> lines;
  if (a[0] == "dump") return Dump(window);
  if (a[0] == "text" && a.size() == 2) {
    Print(WdText(window));
    return 0;
  }
  if (a[0] == "tree") return Lines(WdTreeSelection(window, &lines), lines);
  if (a[0] == "msgbox") return MessageBoxReport(window);
  if (a[0] == "close") return Done(WdClose(window));
  if (a[0] == "capture") return Done(WdCapture(window, a[2]));
  if (a[0] == "key") {
    int id = 0;
    if (a.size() > 3 && !ParseId(a[3], &id)) return Usage("bad control id: " + a[3]);
    return Done(WdKey(window, a[2], id));
  }
  return ControlCommand(a[0], window, a);
}
