// windriver: operates the windows of a program running in the same Wine
// session, as a person would, one action per run.
//
//   wait    CAPTION [MS]       until the window shows (default 10000 ms)
//   gone    CAPTION [MS]       until no such window shows
//   dump    CAPTION            the window, then its controls in Z order (template order)
//   text    CAPTION ID         raw text of a control
//   tree    CAPTION            tree labels from the root to the selection, one per line
//   click   CAPTION ID         press a button, refused when hidden or disabled
//   settext CAPTION ID TEXT    put TEXT into an edit box
//   open    CAPTION ID ITEM    double-click ITEM of a list box
//   key     CAPTION KEY [ID]   enter, esc or down, to the focus or to control ID
//   close   CAPTION            the close box
//
// Without arguments it serves one command a line from standard input, its
// fields separated by tabs, and ends each answer with a line of byte 4 and
// the exit code; a session then starts the driver only once.
// Only visible top-level windows with exactly this caption match. Texts are
// UTF-8 both ways. dump prints tab-separated fields:
//   window  style=0xS text=T
//   control id=N class=C style=0xS checked=N text=T
// checked is BM_GETCHECK for buttons, for icon statics 1 when an icon is
// set, else -1; \ tab CR LF in texts come as \\ \t \r \n.
// Exit codes: 0 done; 64 bad usage; 65 no such window in time, or still
// there for gone; 66 the control or the action failed.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kExitUsage = 64;
constexpr int kExitNoWindow = 65;
constexpr int kExitFailed = 66;
constexpr int kWindowWaitMs = 10000;
constexpr int kPollMs = 50;
constexpr UINT kSendTimeoutMs = 5000;
constexpr int kLabelChars = 260;
constexpr int kMaxTreeDepth = 64;

using Args = std::vector<std::string>;
bool Serving = false;

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr,
                              nullptr);
  std::string utf8(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], n, nullptr, nullptr);
  return utf8;
}

void WriteLine(DWORD stream, const std::string& text) {
  DWORD written = 0;
  std::string line = text + "\n";
  WriteFile(GetStdHandle(stream), line.data(), (DWORD)line.size(), &written, nullptr);
}

void Print(const std::string& text) { WriteLine(STD_OUTPUT_HANDLE, text); }

int Complain(int code, const std::string& message) {
  WriteLine(Serving ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, "windriver: " + message);
  return code;
}

// Another process's window answers only what the system copies across, so
// every question is a message, and a hung window cannot hang the driver.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return (LRESULT)result;
}

// WM_GETTEXT, not GetWindowText, which would miss what was typed into an
// edit box of another process.
std::string TextOf(HWND window) {
  LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(length + 1, L'\0');
  LRESULT copied = Ask(window, WM_GETTEXT, length + 1, (LPARAM)&text[0]);
  text.resize(copied <= length ? copied : length);
  return Utf8(text);
}

std::string ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return Utf8(name);
}

struct Search {
  std::string caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || TextOf(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindShown(const std::string& caption) {
  Search search = {caption, nullptr};
  EnumWindows(MatchCaption, (LPARAM)&search);
  return search.found;
}

HWND WaitShown(const std::string& caption, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
    if (HWND window = FindShown(caption)) return window;
    Sleep(kPollMs);
  }
  return nullptr;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

int CheckedState(HWND control, DWORD style) {
  std::string name = ClassOf(control);
  if (lstrcmpiA(name.c_str(), "Button") == 0) return (int)Ask(control, BM_GETCHECK, 0, 0);
  if (lstrcmpiA(name.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
    return Ask(control, STM_GETICON, 0, 0) != 0;
  return -1;
}

std::string StyleText(HWND window) {
  char text[16];
  wsprintfA(text, "0x%08lX", (DWORD)GetWindowLongW(window, GWL_STYLE));
  return text;
}

int Dump(HWND window) {
  Print("window\tstyle=" + StyleText(window) + "\ttext=" + Escape(TextOf(window)));
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    DWORD style = (DWORD)GetWindowLongW(child, GWL_STYLE);
    Print("control\tid=" + std::to_string(GetDlgCtrlID(child)) + "\tclass=" + ClassOf(child) +
          "\tstyle=" + StyleText(child) + "\tchecked=" +
          std::to_string(CheckedState(child, style)) + "\ttext=" + Escape(TextOf(child)));
  }
  return 0;
}

// Memory in the tree's own process: a tree view item is not copied across
// processes by the system.
struct RemoteBuffer {
  HANDLE process = nullptr;
  char* address = nullptr;
  ~RemoteBuffer() {
    if (address) VirtualFreeEx(process, address, 0, MEM_RELEASE);
    if (process) CloseHandle(process);
  }
  bool Open(HWND window, SIZE_T size) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
    address = process ? static_cast<char*>(VirtualAllocEx(process, nullptr, size,
                                                          MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
                      : nullptr;
    return address != nullptr;
  }
};

bool TreeLabel(HWND tree, HTREEITEM item, RemoteBuffer& remote, std::string* label) {
  TVITEMW query = {};
  query.mask = TVIF_TEXT | TVIF_HANDLE;
  query.hItem = item;
  query.pszText = reinterpret_cast<wchar_t*>(remote.address + sizeof query);
  query.cchTextMax = kLabelChars;
  wchar_t text[kLabelChars] = {};
  if (!WriteProcessMemory(remote.process, remote.address, &query, sizeof query, nullptr) ||
      !Ask(tree, TVM_GETITEMW, 0, (LPARAM)remote.address) ||
      !ReadProcessMemory(remote.process, query.pszText, text, sizeof text, nullptr))
    return false;
  text[kLabelChars - 1] = L'\0';
  *label = Utf8(text);
  return true;
}

HWND FindTree(HWND parent) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (lstrcmpiA(ClassOf(child).c_str(), "SysTreeView32") == 0) return child;
    if (HWND inner = FindTree(child)) return inner;
  }
  return nullptr;
}

int TreeSelection(HWND window) {
  HWND tree = FindTree(window);
  RemoteBuffer remote;
  if (!tree || !remote.Open(tree, sizeof(TVITEMW) + kLabelChars * sizeof(wchar_t)))
    return Complain(kExitFailed, "no tree view that can be read");
  std::vector<std::string> labels;
  HTREEITEM item = (HTREEITEM)Ask(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
  for (int depth = 0; item && depth < kMaxTreeDepth; ++depth) {
    std::string label;
    if (!TreeLabel(tree, item, remote, &label)) return Complain(kExitFailed, "unreadable tree item");
    labels.insert(labels.begin(), label);
    item = (HTREEITEM)Ask(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)item);
  }
  for (const std::string& label : labels) Print(label);
  return 0;
}

// A person can only use what is shown and enabled.
HWND UsableControl(HWND window, const std::string& idText, std::string* problem) {
  HWND control = GetDlgItem(window, atoi(idText.c_str()));
  if (!control) *problem = "no control " + idText;
  else if (!IsWindowVisible(control)) *problem = "control " + idText + " is hidden";
  else if (!IsWindowEnabled(control)) *problem = "control " + idText + " is disabled";
  else return control;
  return nullptr;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
      IsChild(window, info.hwndFocus))
    return info.hwndFocus;
  return window;
}

// Posted, never sent: the dialog's own loop turns Enter and Esc into its
// default button and Cancel as for a real key, and a modal window that the
// key opens does not hold the driver.
bool PressKey(HWND target, const std::string& name) {
  UINT key = name == "enter" ? VK_RETURN : name == "esc" ? VK_ESCAPE : name == "down" ? VK_DOWN : 0;
  LPARAM scan = (LPARAM)MapVirtualKeyW(key, MAPVK_VK_TO_VSC) << 16;
  return key && PostMessageW(target, WM_KEYDOWN, key, scan | 1) &&
         PostMessageW(target, WM_KEYUP, key, scan | 1 | 0xC0000000);
}

// Selects ITEM and tells the dialog of a double click, which opens it.
bool OpenItem(HWND window, HWND list, const std::string& item) {
  LRESULT index = Ask(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)Wide(item).c_str());
  if (index < 0) return false;
  Ask(list, LB_SETCURSEL, index, 0);
  int id = GetDlgCtrlID(list);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), (LPARAM)list);
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), (LPARAM)list) != FALSE;
}

bool SetText(HWND window, HWND edit, const std::string& text) {
  if (!Ask(edit, WM_SETTEXT, 0, (LPARAM)Wide(text).c_str())) return false;
  // Typing would have told the dialog of the change.
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE), (LPARAM)edit);
  return true;
}

int ControlAction(HWND window, const Args& a) {
  std::string problem;
  HWND control = UsableControl(window, a[2], &problem);
  if (!control) return Complain(kExitFailed, problem);
  bool done = a[0] == "click"     ? PostMessageW(control, BM_CLICK, 0, 0) != FALSE
              : a[0] == "settext" ? SetText(window, control, a[3])
                                  : OpenItem(window, control, a[3]);
  return done ? 0 : Complain(kExitFailed, a[0] + " failed on control " + a[2]);
}

int KeyAction(HWND window, const Args& a) {
  std::string problem;
  HWND target = a.size() > 3 ? UsableControl(window, a[3], &problem) : FocusOf(window);
  if (!target) return Complain(kExitFailed, problem);
  // The focus may have gone with its window since it was asked for.
  bool pressed = PressKey(target, a[2]) || PressKey(window, a[2]);
  return pressed ? 0 : Complain(kExitFailed, "cannot press " + a[2]);
}

int WaitAction(const Args& a) {
  int timeoutMs = a.size() > 2 ? atoi(a[2].c_str()) : kWindowWaitMs;
  if (a[0] == "wait") {
    return WaitShown(a[1], timeoutMs) ? 0 : Complain(kExitNoWindow, "no window " + a[1]);
  }
  for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
    if (!FindShown(a[1])) return 0;
    Sleep(kPollMs);
  }
  return Complain(kExitNoWindow, "window " + a[1] + " still there");
}

bool CountFits(const Args& a) {
  size_t n = a.size();
  if (a[0] == "wait" || a[0] == "gone") return n == 2 || n == 3;
  if (a[0] == "dump" || a[0] == "tree" || a[0] == "close") return n == 2;
  if (a[0] == "text" || a[0] == "click") return n == 3;
  if (a[0] == "settext" || a[0] == "open") return n == 4;
  if (a[0] == "key") return n == 3 || n == 4;
  return false;
}

int Run(const Args& a) {
  if (a.empty() || !CountFits(a)) return Complain(kExitUsage, "bad command; see windriver.cpp");
  if (a[0] == "wait" || a[0] == "gone") return WaitAction(a);
  HWND window = WaitShown(a[1], kWindowWaitMs);
  if (!window) return Complain(kExitNoWindow, "no window " + a[1]);
  if (a[0] == "dump") return Dump(window);
  if (a[0] == "tree") return TreeSelection(window);
  if (a[0] == "close") return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : kExitFailed;
  if (a[0] == "key") return KeyAction(window, a);
  if (a[0] == "text") {
    HWND control = GetDlgItem(window, atoi(a[2].c_str()));
    if (!control) return Complain(kExitFailed, "no control " + a[2]);
    Print(TextOf(control));
    return 0;
  }
  return ControlAction(window, a);
}

int Serve() {
  Serving = true;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  Args args(1);
  char c = 0;
  DWORD got = 0;
  while (ReadFile(input, &c, 1, &got, nullptr) && got == 1) {
    if (c == '\t') {
      args.emplace_back();
    } else if (c != '\n') {
      args.back() += c;
    } else {
      Print("\x04" + std::to_string(Run(args)));
      args.assign(1, std::string());
    }
  }
  return 0;
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  Args args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return args.empty() ? Serve() : Run(args);
}
