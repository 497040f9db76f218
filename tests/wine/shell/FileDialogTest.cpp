// The file-dialog mechanism of the folder chooser (before Windows 3.95):
// the old-style Open dialog on the private template, what the user sees
// of it, what OK and Cancel leave in InstallFolder, and a real
// common-dialog failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "FolderChooser.h"
#include "Globals.h"
#include "UserThread.h"

namespace {

constexpr int kWaitMs = 10000;
constexpr int kPollMs = 50;
constexpr int kDirectoryLine = 1088;  // stc1: the current directory
constexpr int kDirectoryList = 1121;  // lst2
constexpr int kDriveList = 1137;      // cmb2

std::string Lower(std::string text) {
  for (char& c : text) c = (char)tolower((unsigned char)c);
  return text;
}

// The dialog shows the current directory in stc1 (Wine in lower case).
std::string WaitForDirectory(HWND dialog, const std::string& directory) {
  std::string shown;
  for (int waited = 0; waited <= kWaitMs; waited += kPollMs) {
    shown = WdText(GetDlgItem(dialog, kDirectoryLine));
    if (Lower(shown) == Lower(directory)) return std::string();
    Sleep(kPollMs);
  }
  return "the dialog shows " + shown + ", not " + directory;
}

int Choose(const char* startUtf8, const UserPart& user, std::string* report) {
  lstrcpyA(InstallFolder, AnsiFromUtf8(startUtf8).c_str());
  int result = -99;
  *report = RunAsUser(user, [&] { result = ChooseFolder(nullptr); });
  return result;
}

// Opens a directory of the list by double-clicking it, then presses OK.
UserPart OpenAndConfirm(const char* start, const char* item, const char* opened) {
  return [=] {
    HWND dialog = WaitForOwnWindow(kWaitMs);
    if (!dialog) return std::string("no file dialog appeared");
    std::string failure = WaitForDirectory(dialog, start);
    if (!failure.empty()) return failure;
    if (!WdSelectItem(dialog, kDirectoryList, item, true)) return WdError();
    failure = WaitForDirectory(dialog, opened);
    if (!failure.empty()) return failure;
    return WdClick(dialog, IDOK) ? std::string() : WdError();
  };
}

struct Seen {
  std::set<int> ids;                 // controls shown inside the dialog
  std::map<int, ControlInfo> controls;
  std::vector<std::string> drives;
};

bool InsideClientArea(HWND dialog, const ControlInfo& control) {
  RECT client;
  GetClientRect(dialog, &client);
  RECT overlap;
  return IntersectRect(&overlap, &client, &control.rect) != FALSE;
}

TEST(FileDialog, ShowsOnlyTheDirectoriesAndDrives) {
  Seen seen;
  std::string report;
  int result = Choose("C:\\zvtest\\Alpha\\", [&] {
    HWND dialog = WaitForOwnWindow(kWaitMs);
    if (!dialog) return std::string("no file dialog appeared");
    std::string failure = WaitForDirectory(dialog, "C:\\zvtest\\Alpha");
    if (!failure.empty()) return failure;
    for (const ControlInfo& c : WdControls(dialog)) {
      seen.controls[c.id] = c;
      if (c.visible && InsideClientArea(dialog, c)) seen.ids.insert(c.id);
    }
    WdItems(dialog, kDriveList, &seen.drives);
    SaveScreenshot(dialog, IsJapanese ? "filedialog-ja" : "filedialog-en");
    return WdClick(dialog, IDCANCEL) ? std::string() : WdError();
  }, &report);
  ASSERT_EQ("", report);
  EXPECT_EQ(0, result);
  EXPECT_EQ((std::set<int>{0xFFFF, 1088, 1121, 1091, 1137, IDOK, IDCANCEL}), seen.ids);
  EXPECT_EQ(IsJapanese ? "ディレクトリ(\x1e" "D\x1f" "ﾃ):" : "&Directory:", seen.controls[0xFFFF].text);
  EXPECT_EQ(IsJapanese ? "ドライブ(\x1eV\x1fﾄ):" : "Dri&ve:", seen.controls[1091].text);
  EXPECT_EQ("OK", seen.controls[IDOK].text);
  EXPECT_EQ("Cancel", seen.controls[IDCANCEL].text);
  // The template's font, read from a control.
  EXPECT_EQ(IsJapanese ? "ＭＳ Ｐゴシック" : "MS Sans Serif", seen.controls[IDOK].fontFace);
  EXPECT_EQ(IsJapanese ? 9 : 8, seen.controls[IDOK].fontPoints);
  EXPECT_NE(seen.drives.end(), std::find(seen.drives.begin(), seen.drives.end(), "[-c-]"));
}

TEST(FileDialog, OkStoresTheDirectoryWithItsBackslash) {
  std::string report;
  int result = Choose("C:\\zvtest", OpenAndConfirm("C:\\zvtest", "[Beta]", "C:\\zvtest\\Beta"),
                      &report);
  ASSERT_EQ("", report);
  EXPECT_EQ(1, result);
  // The file system's letter case, and the separator kept from "...\a".
  EXPECT_STREQ("C:\\zvtest\\Beta\\", InstallFolder);
  // Started right in the folder, OK alone takes it.
  result = Choose("C:\\zvtest\\Alpha\\", OpenAndConfirm("C:\\zvtest\\Alpha", "[..]", "C:\\zvtest"),
                  &report);
  ASSERT_EQ("", report);
  EXPECT_EQ(1, result);
  EXPECT_STREQ("C:\\zvtest\\", InstallFolder);
}

TEST(FileDialog, DoubleByteDirectoryKeepsItsLastCharacter) {
  if (!IsJapanese) GTEST_SKIP() << "needs code page 932";
  // 表 is 0x95 0x5C: a byte scan would cut "...\表\a" inside the character.
  std::string report;
  int result = Choose("C:\\zvtest", OpenAndConfirm("C:\\zvtest", "[表]", "C:\\zvtest\\表"),
                      &report);
  ASSERT_EQ("", report);
  EXPECT_EQ(1, result);
  EXPECT_EQ("C:\\zvtest\\表\\", Utf8FromAnsi(InstallFolder));
  EXPECT_EQ(std::string("C:\\zvtest\\\x95\x5C\\"), InstallFolder);
}

TEST(FileDialog, CancelEscAndCloseLeaveTheFolderAlone) {
  const char* ways[] = {"cancel", "esc", "close"};
  for (const char* way : ways) {
    std::string report;
    std::string how = way;
    int result = Choose("C:\\zvtest\\Alpha\\", [&] {
      HWND dialog = WaitForOwnWindow(kWaitMs);
      if (!dialog) return std::string("no file dialog appeared");
      WaitForDirectory(dialog, "C:\\zvtest\\Alpha");
      bool done = how == "cancel" ? WdClick(dialog, IDCANCEL)
                  : how == "esc"  ? WdKey(dialog, "esc", 0)
                                  : WdClose(dialog);
      return done ? std::string() : WdError();
    }, &report);
    ASSERT_EQ("", report) << way;
    EXPECT_EQ(0, result) << way;
    // Unlike the shell mechanism, nothing is trimmed here.
    EXPECT_STREQ("C:\\zvtest\\Alpha\\", InstallFolder) << way;
  }
}

TEST(FileDialog, MissingTemplateShowsTheCommonDialogError) {
  // A module with the string table but without DESTDIR_DLG(J): the dialog
  // cannot start and reports CDERR_FINDRESFAILURE (6).
  HMODULE stringsOnly = LoadLibraryA("shell_strings_only.dll");
  ASSERT_NE(nullptr, stringsOnly);
  HINSTANCE saved = ModuleInstance;
  ModuleInstance = stringsOnly;
  MessageBoxInfo box;
  std::string report;
  int result = Choose("C:\\zvtest\\Alpha\\", [&] { return ReadAndConfirmMessageBox(&box); },
                      &report);
  ModuleInstance = saved;
  FreeLibrary(stringsOnly);
  ASSERT_EQ("", report);
  EXPECT_EQ(0, result);
  EXPECT_STREQ("C:\\zvtest\\Alpha\\", InstallFolder);
  EXPECT_EQ("CAUTION!", box.caption);
  EXPECT_EQ(IsJapanese ? "コモンダイアログでエラー#6 が発生しました" : "Error (#6) in Common dialog",
            box.text);
  EXPECT_EQ("information", box.icon);
}

}  // namespace
