#include "FolderChooser.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstddef>

#include "Globals.h"
#include "Messages.h"
#include "resource.h"

namespace {

// The classic OPENFILENAMEA, ending with lpTemplateName: every system
// version accepts it, unlike the later, longer forms. 76 bytes in a 32-bit
// program, 136 in a 64-bit one.
constexpr DWORD kClassicOpenFileNameSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
static_assert(sizeof(void*) != 4 || kClassicOpenFileNameSize == 76, "the classic 32-bit request is 76 bytes");
constexpr DWORD kFileDialogFlags = OFN_ENABLETEMPLATE | OFN_HIDEREADONLY;
static_assert(kFileDialogFlags == 0x44, "template and no read-only box, nothing else");
constexpr int kFormatCapacity = 128;
// The format holds at most 127 bytes and "%ld" widens by at most 8 bytes.
constexpr int kErrorTextCapacity = 256;
constexpr SIZE_T kShellPathSize = MAX_PATH;  // 260
static_assert(BFFM_SETSELECTIONA == WM_USER + 102, "the browser's select-by-path message");

const char kTitleEnglish[] = "Install to..";
// "インストール先" in code page 932, handed to the platform as these bytes.
const char kTitleJapanese[] = "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x90\xE6";
static_assert(sizeof kTitleJapanese == 15, "14 bytes and the terminator");

void ShowCommonDialogError(DWORD error)
{
    char format[kFormatCapacity];
    char text[kErrorTextCapacity];
    LoadLocalizedString(IDS_COMMON_DIALOG_ERROR, format, kFormatCapacity);
    wsprintfA(text, format, (long)error);
    ShowMessage(text);
}

int ChooseWithFileDialog(HWND owner)
{
    char fileName[kFolderCapacity];
    lstrcpyA(fileName, "a");
    OPENFILENAMEA request = {};
    request.lStructSize = kClassicOpenFileNameSize;
    request.hwndOwner = owner;
    request.hInstance = ModuleInstance;
    request.lpstrFilter = nullptr;
    request.lpstrCustomFilter = nullptr;
    request.nMaxCustFilter = 0;
    request.nFilterIndex = 0;
    request.lpstrFile = fileName;
    request.nMaxFile = kFolderCapacity;
    request.lpstrFileTitle = nullptr;
    request.nMaxFileTitle = 0;
    request.lpstrInitialDir = InstallFolder;
    request.lpstrTitle = nullptr;
    request.Flags = kFileDialogFlags;
    request.nFileOffset = 0;
    request.nFileExtension = 0;
    request.lpstrDefExt = "";
    request.lCustData = 0;
    request.lpfnHook = nullptr;
    request.lpTemplateName = IsJapanese ? "DESTDIR_DLGJ" : "DESTDIR_DLG";
    if (GetOpenFileNameA(&request)) {
        // The dialog answers with the file "a" in the chosen directory.
        CutAfterLastSeparator(fileName);
        lstrcpyA(InstallFolder, fileName);
        return 1;
    }
    DWORD error = CommDlgExtendedError();
    if (error != 0)
        ShowCommonDialogError(error);
    return 0;
}

// The shell may answer with up to 259 bytes; InstallFolder holds 255.
int StoreChosenFolder(const char* path)
{
    if (lstrlenA(path) >= kFolderCapacity)
        return 0;
    lstrcpyA(InstallFolder, path);
    return 1;
}

// The shell's folder browser is looked up when it is wanted: the shell of
// the systems below 3.95 lacks these calls, and importing them would keep
// the program from loading there at all.
struct ShellBrowserCalls {
    HRESULT(WINAPI* getMalloc)(IMalloc**);
    LPITEMIDLIST(WINAPI* browseForFolder)(LPBROWSEINFOA);
    BOOL(WINAPI* getPathFromIdList)(LPCITEMIDLIST, LPSTR);
};

template <typename Call>
bool FindCall(HMODULE module, const char* name, Call& call)
{
    call = reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return call != nullptr;
}

// shell32 stays loaded once found: the process ends soon after, and the
// shell may keep helpers of its own running until then.
bool FindShellBrowser(ShellBrowserCalls& calls)
{
    HMODULE shell = LoadLibraryA("shell32.dll");
    return shell != nullptr && FindCall(shell, "SHGetMalloc", calls.getMalloc) &&
           FindCall(shell, "SHBrowseForFolderA", calls.browseForFolder) &&
           FindCall(shell, "SHGetPathFromIDListA", calls.getPathFromIdList);
}

int BrowseForFolder(HWND owner, const ShellBrowserCalls& shell)
{
    IMalloc* allocator = nullptr;
    if (FAILED(shell.getMalloc(&allocator)))
        return 0;
    char* shellPath = static_cast<char*>(allocator->Alloc(kShellPathSize));
    if (!shellPath) {
        allocator->Release();
        return 0;
    }
    BROWSEINFOA request = {};
    request.hwndOwner = owner;
    request.pidlRoot = nullptr;
    request.pszDisplayName = shellPath;
    request.lpszTitle = IsJapanese ? kTitleJapanese : kTitleEnglish;
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    request.lpfn = BFFCallback;
    request.lParam = reinterpret_cast<LPARAM>(InstallFolder);
    int result = 0;
    LPITEMIDLIST items = shell.browseForFolder(&request);
    if (items) {
        if (shell.getPathFromIdList(items, shellPath))
            result = StoreChosenFolder(shellPath);
        allocator->Free(items);
    }
    allocator->Free(shellPath);
    allocator->Release();
    return result;
}

// The browser hosts shell extensions, which need COM on the calling
// thread. ole32 is looked up as the shell is, so that systems without it
// still load the program; there the browser runs without COM, as before.
struct ComCalls {
    HRESULT(WINAPI* initialize)(LPVOID);
    void(WINAPI* uninitialize)();
};

bool StartCom(ComCalls& com)
{
    HMODULE ole = LoadLibraryA("ole32.dll");
    return ole != nullptr && FindCall(ole, "CoInitialize", com.initialize) &&
           FindCall(ole, "CoUninitialize", com.uninitialize) && SUCCEEDED(com.initialize(nullptr));
}

int ChooseWithShellBrowser(HWND owner)
{
    TrimFinalBackslash(InstallFolder);
    ShellBrowserCalls shell;
    // A shell without the browser is met as one whose allocator fails.
    if (!FindShellBrowser(shell))
        return 0;
    ComCalls com;
    bool comStarted = StartCom(com);
    int result = BrowseForFolder(owner, shell);
    // Each successful CoInitialize, S_FALSE included, is paired with one call.
    if (comStarted)
        com.uninitialize();
    return result;
}

}  // namespace

void CutAfterLastSeparator(char* path)
{
    char* cut = path;
    char* at = path;
    while (*at != '\0') {
        if (IsDBCSLeadByte((BYTE)*at)) {
            if (at[1] == '\0')
                break;
            at += 2;
        } else {
            char c = *at++;
            if (c == '\\' || c == ':')
                cut = at;
        }
    }
    *cut = '\0';
}

void TrimFinalBackslash(char* folder)
{
    // Find where the last two characters start, double-byte ones as one unit.
    const char* before = nullptr;
    const char* last = nullptr;
    const char* at = folder;
    while (*at != '\0') {
        before = last;
        last = at;
        at += (IsDBCSLeadByte((BYTE)*at) && at[1] != '\0') ? 2 : 1;
    }
    if (at - folder < 3 || !before || last + 1 != at || *last != '\\')
        return;
    bool beforeIsByte = last - before == 1;
    if (beforeIsByte && (*before == ':' || *before == '\\'))
        return;
    folder[last - folder] = '\0';
}

int ChooseFolder(HWND owner)
{
    if (OsVersion < kShellVersion)
        return ChooseWithFileDialog(owner);
    return ChooseWithShellBrowser(owner);
}

extern "C" int CALLBACK BFFCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}
