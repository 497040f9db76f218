// Quova stand-in: installed in the application's place so that the way the
// installer starts it can be seen. It appends its whole command line to
// quova-launch.log in its own folder, then shows that folder and the
// switches it received until Esc or the close box ends it.
#include <windows.h>

#include "QuovaResource.h"

namespace {

constexpr char kLogName[] = "quova-launch.log";
constexpr char kNoSwitches[] = "(none)";

char Folder[MAX_PATH];  // the executable's folder, ending in a backslash
const char* Switches = "";

// Cuts the module path after its last backslash. CharNextA steps over
// double-byte characters, whose trail byte may look like a backslash.
void FindFolder()
{
    DWORD length = GetModuleFileNameA(nullptr, Folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        Folder[0] = '\0';
        return;
    }
    char* afterSlash = Folder;
    for (char* p = Folder; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\')
            afterSlash = p + 1;
    }
    *afterSlash = '\0';
}

// The command line behind the program name, which may be quoted.
const char* SkipProgramName(const char* line)
{
    const char* p = line;
    if (*p == '"') {
        p = CharNextA(p);
        while (*p != '\0' && *p != '"')
            p = CharNextA(p);
        if (*p == '"')
            ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            p = CharNextA(p);
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

void AppendLaunchLog(const char* commandLine)
{
    char path[MAX_PATH + sizeof kLogName];
    lstrcpyA(path, Folder);
    lstrcatA(path, kLogName);
    HANDLE log =
        CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(log, commandLine, DWORD(lstrlenA(commandLine)), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
}

INT_PTR CALLBACK QuovaDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_FOLDER, Folder);
        SetDlgItemTextA(dialog, IDC_SWITCHES, Switches[0] != '\0' ? Switches : kNoSwitches);
        return TRUE;
    case WM_COMMAND:
        // Esc arrives as IDCANCEL from the dialog manager.
        if (wParam == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* commandLine = GetCommandLineA();
    FindFolder();
    Switches = SkipProgramName(commandLine);
    AppendLaunchLog(commandLine);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_QUOVA), nullptr, QuovaDialogProc, 0);
    return 0;
}
