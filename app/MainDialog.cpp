#include "MainDialog.h"

#include "FolderChooser.h"
#include "Globals.h"
#include "resource.h"

namespace {

constexpr INT_PTR kStarted = 1;    // EndDialog result of Start installation
constexpr INT_PTR kCancelled = 2;  // EndDialog result of Cancel and Esc

// WM_COMMAND values with notification code 0 (BN_CLICKED) in the high word:
// comparing the whole wParam lets every other notification pass through.
constexpr WPARAM kStartCommand = IDOK;
constexpr WPARAM kCancelCommand = IDCANCEL;
constexpr WPARAM kBrowseCommand = IDC_BROWSE;

void InitMainDialog(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder);
    SendDlgItemMessageA(dialog, IDC_SHORTCUT, BM_SETCHECK, ShortcutChoice & 1, 0);
    if (ShortcutChoice == kShortcutUnavailable)
        SetControlEnabled(GetDlgItem(dialog, IDC_SHORTCUT), FALSE);
}

void StartInstallation(HWND dialog)
{
    GetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder, sizeof InstallFolder);
    ShortcutChoice = (int)SendDlgItemMessageA(dialog, IDC_SHORTCUT, BM_GETCHECK, 0, 0);
    EndDialog(dialog, kStarted);
}

// The chooser starts from what is typed now and leaves its result, or its
// trimmed start folder, in InstallFolder for the edit box to show.
void Browse(HWND dialog)
{
    GetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder, sizeof InstallFolder);
    ChooseFolder(dialog);
    SetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder);
}

}  // namespace

bool RunMainDialog()
{
    int id = IsJapanese == 1 ? IDD_MAIN_J : IDD_MAIN;
    INT_PTR result = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(id), nullptr, MainDialogProc, 0);
    return result == kStarted;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        InitMainDialog(dialog);
        return FALSE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (wParam) {
    case kStartCommand: StartInstallation(dialog); return FALSE;
    case kCancelCommand: EndDialog(dialog, kCancelled); return FALSE;
    case kBrowseCommand: Browse(dialog); return TRUE;
    default: return FALSE;
    }
}

void SetControlEnabled(HWND control, BOOL enable)
{
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (enable)
        style &= ~WS_DISABLED;
    else
        style |= WS_DISABLED;
    SetWindowLongA(control, GWL_STYLE, style);
    InvalidateRect(control, nullptr, FALSE);
}
