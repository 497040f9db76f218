// windriver: operates the windows of a program running in the same Wine
// session as a person would.
//
//   wait    CAPTION [MS]       until the window shows (default 10000 ms)
//   gone    CAPTION [MS]       until no such window shows
//   dump    CAPTION            the window, then its controls in Z order (template order)
//   text    CAPTION ID         raw text of a control
//   tree    CAPTION ID         the label of the item selected in tree view ID
//   click   CAPTION ID         press a button, refused when hidden or disabled
//   settext CAPTION ID TEXT    put TEXT into an edit box
//   open    CAPTION ID ITEM    double-click ITEM of a list box
//   key     CAPTION KEY [ID]   enter, esc or down, to the window or to control ID
//   close   CAPTION            the close box
//
// It reads one command a line from standard input, fields separated by
// tabs, and ends each answer with a line of byte 4 and the command's exit
// code, so that a session starts it only once.
// Only visible top-level windows with exactly this caption match. Texts are
// UTF-8. dump prints "window style=0xS text=T", then for each control
// "control id=N class=C style=0xS checked=N text=T", fields separated by
// tabs; checked is BM_GETCHECK for buttons, 1 for an icon static with an
// icon, else -1; backslash, tab, CR and LF in texts come as \\ \t \r \n.
// Exit codes: 0 done; 64 bad usage; 65 no such window in time, or still
// there for gone; 66 the control or the action failed.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kExitUsage = 64, kExitNoWindow = 65, kExitFailed = 66;
constexpr int kWindowWaitMs = 10000, kPollMs = 50;
constexpr UINT kSendTimeoutMs = 5000;
constexpr int kLabelChars = 260;

using Args = std::vector<std::string>;

std::wstring Wide(const std::string& utf8)
{
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0), 0);
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], (int)wide.size());
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr), 0);
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], (int)utf8.size(), nullptr, nullptr);
    return utf8;
}

void Print(const std::string& text)
{
    DWORD written = 0;
    std::string line = text + "\n";
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), (DWORD)line.size(), &written, nullptr);
}

int Complain(int code, const std::string& message)
{
    Print("windriver: " + message);
    return code;
}

// Another process's window answers only what the system copies across, so
// every question is a message, and a hung window cannot hang the driver.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return (LRESULT)result;
}

// WM_GETTEXT, not GetWindowText, which would miss what was typed into an
// edit box of another process.
std::string TextOf(HWND window)
{
    LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(length + 1, L'\0');
    LRESULT copied = Ask(window, WM_GETTEXT, length + 1, (LPARAM)&text[0]);
    text.resize(copied <= length ? copied : length);
    return Utf8(text);
}

bool HasClass(HWND window, const char* name)
{
    char actual[64] = {};
    GetClassNameA(window, actual, sizeof actual);
    return lstrcmpiA(actual, name) == 0;
}

// The first visible top-level window with exactly this caption.
HWND FindShown(const std::string& caption)
{
    std::wstring title = Wide(caption);
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, title.c_str())) && !IsWindowVisible(window)) {
    }
    return window;
}

HWND WaitShown(const std::string& caption, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
        if (HWND window = FindShown(caption))
            return window;
        Sleep(kPollMs);
    }
    return nullptr;
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        const char* escaped = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : nullptr;
        out += escaped ? std::string(escaped) : std::string(1, c);
    }
    return out;
}

std::string Fields(HWND window)
{
    char style[16];
    DWORD bits = (DWORD)GetWindowLongW(window, GWL_STYLE);
    wsprintfA(style, "0x%08lX", bits);
    int checked = HasClass(window, "Button")                                      ? (int)Ask(window, BM_GETCHECK, 0, 0)
                  : HasClass(window, "Static") && (bits & SS_TYPEMASK) == SS_ICON ? Ask(window, STM_GETICON, 0, 0) != 0
                                                                                  : -1;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    return "id=" + std::to_string(GetDlgCtrlID(window)) + "\tclass=" + className + "\tstyle=" + style +
           "\tchecked=" + std::to_string(checked) + "\ttext=" + Escape(TextOf(window));
}

int Dump(HWND window)
{
    Print("window\t" + Fields(window));
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        Print("control\t" + Fields(child));
    return 0;
}

// A tree view item is not copied across processes by the system, so the
// question goes through memory in the tree's own process.
int TreeSelection(HWND tree)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(tree, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + kLabelChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    TVITEMW query = {};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = (HTREEITEM)Ask(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    query.pszText = reinterpret_cast<wchar_t*>(remote + sizeof query);
    query.cchTextMax = kLabelChars;
    wchar_t label[kLabelChars] = {};
    bool read = remote && WriteProcessMemory(process, remote, &query, sizeof query, nullptr) &&
                Ask(tree, TVM_GETITEMW, 0, (LPARAM)remote) &&
                ReadProcessMemory(process, query.pszText, label, sizeof label - sizeof *label, nullptr);
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (process)
        CloseHandle(process);
    // No selection yet reads as an empty label.
    if (!remote || (!read && query.hItem))
        return Complain(kExitFailed, "no tree view that can be read");
    Print(Utf8(label));
    return 0;
}

// A person can only use what is shown and enabled.
HWND UsableControl(HWND window, const std::string& idText, std::string* problem)
{
    HWND control = GetDlgItem(window, atoi(idText.c_str()));
    if (!control)
        *problem = "no control " + idText;
    else if (!IsWindowVisible(control))
        *problem = "control " + idText + " is hidden";
    else if (!IsWindowEnabled(control))
        *problem = "control " + idText + " is disabled";
    else
        return control;
    return nullptr;
}

// Posted, never sent: the dialog's own loop turns Enter and Esc into its
// default button and Cancel as for a key on the keyboard, and a modal
// window that the key opens does not hold the driver.
bool PressKey(HWND target, const std::string& name)
{
    UINT key = name == "enter" ? VK_RETURN : name == "esc" ? VK_ESCAPE : name == "down" ? VK_DOWN : 0;
    LPARAM scan = (LPARAM)MapVirtualKeyW(key, MAPVK_VK_TO_VSC) << 16;
    if (!key || !PostMessageW(target, WM_KEYDOWN, key, scan | 1))
        return false;
    // The key may have closed the window already: its release has nowhere to go.
    PostMessageW(target, WM_KEYUP, key, scan | 1 | 0xC0000000);
    return true;
}

// Selects ITEM and tells the dialog of a double click, which opens it.
bool OpenItem(HWND window, HWND list, const std::string& item)
{
    LRESULT index = Ask(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)Wide(item).c_str());
    if (index < 0)
        return false;
    Ask(list, LB_SETCURSEL, index, 0);
    int id = GetDlgCtrlID(list);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), (LPARAM)list);
    return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), (LPARAM)list) != FALSE;
}

bool SetText(HWND window, HWND edit, const std::string& text)
{
    if (!Ask(edit, WM_SETTEXT, 0, (LPARAM)Wide(text).c_str()))
        return false;
    // Typing would have told the dialog of the change.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE), (LPARAM)edit);
    return true;
}

int ControlAction(HWND window, const Args& a)
{
    std::string problem;
    HWND control = UsableControl(window, a[2], &problem);
    if (!control)
        return Complain(kExitFailed, problem);
    bool done = a[0] == "click"     ? PostMessageW(control, BM_CLICK, 0, 0) != FALSE
                : a[0] == "settext" ? SetText(window, control, a[3])
                                    : OpenItem(window, control, a[3]);
    return done ? 0 : Complain(kExitFailed, a[0] + " failed on control " + a[2]);
}

int KeyAction(HWND window, const Args& a)
{
    std::string problem;
    HWND target = a.size() > 3 ? UsableControl(window, a[3], &problem) : window;
    if (!target)
        return Complain(kExitFailed, problem);
    return PressKey(target, a[2]) ? 0 : Complain(kExitFailed, "cannot press " + a[2]);
}

int WaitAction(const Args& a)
{
    int timeoutMs = a.size() > 2 ? atoi(a[2].c_str()) : kWindowWaitMs;
    if (a[0] == "wait")
        return WaitShown(a[1], timeoutMs) ? 0 : Complain(kExitNoWindow, "no window " + a[1]);
    for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
        if (!FindShown(a[1]))
            return 0;
        Sleep(kPollMs);
    }
    return Complain(kExitNoWindow, "window " + a[1] + " still there");
}

// Each command's verb, followed by the digit of its fewest arguments.
bool Known(const Args& a)
{
    const std::string verbs = " wait2 gone2 dump2 close2 text3 tree3 click3 key3 settext4 open4 ";
    size_t at = a.empty() ? std::string::npos : verbs.find(" " + a[0]);
    char least = at == std::string::npos ? 0 : verbs[at + 1 + a[0].size()];
    return least >= '0' && least <= '9' && a.size() >= size_t(least - '0');
}

int Run(const Args& a)
{
    if (!Known(a))
        return Complain(kExitUsage, "bad command; see windriver.cpp");
    if (a[0] == "wait" || a[0] == "gone")
        return WaitAction(a);
    HWND window = WaitShown(a[1], kWindowWaitMs);
    if (!window)
        return Complain(kExitNoWindow, "no window " + a[1]);
    if (a[0] == "dump")
        return Dump(window);
    if (a[0] == "tree")
        return TreeSelection(GetDlgItem(window, atoi(a[2].c_str())));
    if (a[0] == "close")
        return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : kExitFailed;
    if (a[0] == "key")
        return KeyAction(window, a);
    if (a[0] != "text")
        return ControlAction(window, a);
    HWND control = GetDlgItem(window, atoi(a[2].c_str()));
    if (!control)
        return Complain(kExitFailed, "no control " + a[2]);
    Print(TextOf(control));
    return 0;
}

}  // namespace

int main()
{
    Args args(1);
    char c = 0;
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) && got == 1) {
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
