// Practice program for the window driver: a message box, then the same
// dialog three times. Prints how each one ended and what it held, so that a
// test can compare that with what the driver did.
#include <windows.h>

#include <cstdio>

namespace {

constexpr int kEdit = 101;
constexpr int kCheck = 102;
constexpr int kList = 103;

void Report(HWND dialog, const char* how) {
  wchar_t text[256] = {};
  GetDlgItemTextW(dialog, kEdit, text, 256);
  char utf8[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  int checked = (int)SendDlgItemMessageW(dialog, kCheck, BM_GETCHECK, 0, 0);
  int item = (int)SendDlgItemMessageW(dialog, kList, LB_GETCURSEL, 0, 0);
  printf("%s edit=%s checked=%d item=%d\n", how, utf8, checked, item);
  fflush(stdout);
}

INT_PTR CALLBACK PracticeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SendDlgItemMessageW(dialog, kList, LB_ADDSTRING, 0, (LPARAM)L"alpha");
    SendDlgItemMessageW(dialog, kList, LB_ADDSTRING, 0, (LPARAM)L"beta \u00e9");
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (wParam == IDOK || wParam == IDCANCEL) {
    Report(dialog, wParam == IDOK ? "ok" : "cancel");
    EndDialog(dialog, wParam);
    return TRUE;
  }
  if (wParam == MAKEWPARAM(kList, LBN_DBLCLK)) {
    Report(dialog, "open");
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int main() {
  int pressed = MessageBoxW(nullptr, L"First line\nZweite Zeile \u00fc", L"Driver practice box",
                            MB_OKCANCEL | MB_ICONWARNING);
  printf("box %d\n", pressed);
  fflush(stdout);
  for (int round = 0; round < 3; ++round) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), nullptr, PracticeProc, 0);
  }
  return 0;
}
