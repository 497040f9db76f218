// The installer's entry point: one installation from start to finish.
#include <cstring>

#include "ExtractPayload.h"
#include "Globals.h"
#include "MainDialog.h"
#include "Messages.h"
#include "Platform.h"
#include "WinMain.h"
#include "resource.h"

namespace {

constexpr int kJapaneseCodePage = 932;

constexpr char kInstallRootPath[] = "Software\\Dorvalen\\Quova\\InstallRoot";
constexpr char kCurrentVersionPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kAppSubfolder[] = "\\Quova\\";
constexpr char kProgramName[] = "quova";
constexpr char kSilentSwitch[] = " -s-";
constexpr char kShortcutSwitch[] = " -l";
constexpr char kEnglishCaption[] = "Install finished";
// "インストール完了" in code page 932; MessageBoxA takes it as ANSI text.
constexpr char kJapaneseCaption[] = "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b\x8a\xae\x97\xb9";

// The quoted program path, both switches and the terminator always fit, so
// the command is never cut whatever the folder's length.
constexpr int kCommandCapacity =
    kFolderCapacity + 2 + sizeof kProgramName + sizeof kSilentSwitch + sizeof kShortcutSwitch;

// Looked up at run time so that systems without the call still run.
void HardenDllSearch()
{
    using SetDirsFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr)
        return;
    auto setDirs =
        reinterpret_cast<SetDirsFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirs != nullptr)
        setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);  // a DLL planted beside us (Downloads) must never load
}

int SwappedVersion(DWORD version) { return (int)((version & 0xFF) * 256 + ((version >> 8) & 0xFF)); }

// Reads one REG_SZ value into InstallFolder; anything else leaves it empty.
// A value that fills all 256 bytes without its terminator counts as absent.
void ReadFolderValue(HKEY key, const char* name)
{
    memset(InstallFolder, 0, sizeof InstallFolder);
    DWORD type = 0;
    DWORD size = kFolderCapacity;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(InstallFolder), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ || InstallFolder[kFolderCapacity - 1] != '\0')
        InstallFolder[0] = '\0';
}

// A program-files folder that cannot take "\Quova\" within the buffer
// counts as absent, so the next source is tried instead of a cut path.
void ReadProgramFilesValue(HKEY key, const char* name)
{
    ReadFolderValue(key, name);
    if (strlen(InstallFolder) + strlen(kAppSubfolder) >= (size_t)kFolderCapacity)
        InstallFolder[0] = '\0';
}

void FindDefaultFolder()
{
    InstallFolder[0] = '\0';
    HKEY key = OpenKeyPath(HKEY_CURRENT_USER, kInstallRootPath, false);
    if (key != nullptr) {
        ReadFolderValue(key, nullptr);
        RegCloseKey(key);
    }
    if (InstallFolder[0] == '\0') {
        key = OpenKeyPath(HKEY_LOCAL_MACHINE, kCurrentVersionPath, false);
        if (key != nullptr) {
            ReadProgramFilesValue(key, "ProgramFilesDir");
            if (InstallFolder[0] == '\0')
                ReadProgramFilesValue(key, "ProgramFilesPath");
            if (InstallFolder[0] != '\0')
                lstrcatA(InstallFolder, kAppSubfolder);
            RegCloseKey(key);
        }
    }
    if (InstallFolder[0] == '\0')
        LoadLocalizedString(IDS_DEFAULT_FOLDER, InstallFolder, kFolderCapacity);
}

void ShowCompletion()
{
    char text[kMessageCapacity];
    LoadLocalizedString(IDS_FINISHED, text, sizeof text);
    MessageBoxA(nullptr, text, IsJapanese == 1 ? kJapaneseCaption : kEnglishCaption, MB_OK);
}

// InstallFolder ends in a backslash here. The program's path is quoted so
// that a folder with spaces never lets C:\Program.exe or the like run.
void LaunchInstalledApp()
{
    char command[kCommandCapacity];
    lstrcpyA(command, "\"");
    lstrcatA(command, InstallFolder);
    lstrcatA(command, kProgramName);
    lstrcatA(command, "\"");
    lstrcatA(command, kSilentSwitch);
    if (ShortcutChoice == kShortcutWanted)
        lstrcatA(command, kShortcutSwitch);
    WinExec(command, SW_SHOWNORMAL);
}

}  // namespace

HKEY OpenKeyPath(HKEY root, const char* path, bool create)
{
    char work[256];
    lstrcpynA(work, path, sizeof work);
    HKEY current = root;
    const char* rest = work;
    // Each pass consumes one component of at least one byte.
    while (*rest != '\0') {
        char component[256];
        size_t length = 0;
        while (rest[length] != '\0' && rest[length] != '\\')
            ++length;
        memcpy(component, rest, length);
        component[length] = '\0';
        rest += length;
        if (*rest == '\\')
            ++rest;
        HKEY next = nullptr;
        LONG status = create ? RegCreateKeyA(current, component, &next) : RegOpenKeyA(current, component, &next);
        RegCloseKey(current);
        if (status != ERROR_SUCCESS)
            return nullptr;
        current = next;
    }
    return current;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HardenDllSearch();
    ModuleInstance = instance;
    OsVersion = SwappedVersion(GetVersion());
    IsJapanese = GetSystemMetrics(SM_DBCSENABLED) != 0 && GetACP() == kJapaneseCodePage;
    if (OsVersion < kShellVersion)
        ShortcutChoice = kShortcutUnavailable;
    FindDefaultFolder();
    if (!RunMainDialog())
        return 0;
    int code = ExtractPayload();
    if (code != 0) {
        ShowResultMessage(code);
        return 0;
    }
    ShowCompletion();
    LaunchInstalledApp();
    return 0;
}
