// The shell mechanism of the folder chooser (Windows 3.95 and later): the
// trim before browsing, the browser opened on the install folder by
// BFFCallback, and what OK and Cancel leave in InstallFolder.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "FolderChooser.h"
#include "Globals.h"
#include "UserThread.h"

namespace {

constexpr int kWaitMs = 10000;
constexpr int kPollMs = 50;

// Folders the browser is opened on; made once per session.
void MakeFolders() {
  CreateDirectoryA("C:\\zvtest", nullptr);
  CreateDirectoryA("C:\\zvtest\\Alpha", nullptr);
  CreateDirectoryA("C:\\zvtest\\Beta", nullptr);
  if (IsJapanese) CreateDirectoryA(AnsiFromUtf8("C:\\zvtest\\表").c_str(), nullptr);
}

struct Browser {
  HWND window = nullptr;
  int tree = 0;
  std::vector<std::string> texts;     // every static text, for the title
  std::vector<std::string> selection; // tree labels, root first
};

std::string WaitForSelection(Browser* browser, const std::string& label) {
  for (int waited = 0; waited <= kWaitMs; waited += kPollMs) {
    if (WdTreeSelection(browser->window, &browser->selection) && !browser->selection.empty() &&
        browser->selection.back() == label) {
      return std::string();
    }
    Sleep(kPollMs);
  }
  std::string seen;
  for (const std::string& s : browser->selection) seen += "/" + s;
  return "the browser did not select " + label + " (selected: " + seen + ")";
}

std::string OpenBrowser(Browser* browser, const std::string& startLabel) {
  browser->window = WaitForOwnWindow(kWaitMs);
  if (!browser->window) return "no folder browser appeared";
  for (const ControlInfo& c : WdControls(browser->window)) {
    if (c.className == "Static" && c.visible) browser->texts.push_back(c.text);
    if (c.className == "SysTreeView32") browser->tree = c.id;
  }
  if (!browser->tree) return "the browser has no tree";
  return WaitForSelection(browser, startLabel);
}

bool HasText(const Browser& browser, const std::string& text) {
  for (const std::string& t : browser.texts) {
    if (t == text) return true;
  }
  return false;
}

int Choose(const char* startUtf8, const UserPart& user, std::string* report) {
  MakeFolders();
  lstrcpyA(InstallFolder, AnsiFromUtf8(startUtf8).c_str());
  int result = -99;
  *report = RunAsUser(user, [&] { result = ChooseFolder(nullptr); });
  return result;
}

TEST(ShellBrowser, OpensOnTheTrimmedFolderAndOkStoresTheBrowsersPath) {
  Browser browser;
  std::string report;
  int result = Choose("C:\\zvtest\\Alpha\\", [&] {
    std::string failure = OpenBrowser(&browser, "Alpha");
    if (!failure.empty()) return failure;
    SaveScreenshot(browser.window, IsJapanese ? "browser-ja" : "browser-en");
    // One step down the tree, as with the arrow key, then OK.
    if (!WdKey(browser.window, "down", browser.tree)) return WdError();
    failure = WaitForSelection(&browser, "Beta");
    if (!failure.empty()) return failure;
    return WdClick(browser.window, IDOK) ? std::string() : WdError();
  }, &report);
  ASSERT_EQ("", report);
  EXPECT_TRUE(HasText(browser, IsJapanese ? "インストール先" : "Install to.."));
  EXPECT_EQ(1, result);
  // Exactly as the shell gives it: no separator added.
  EXPECT_STREQ("C:\\zvtest\\Beta", InstallFolder);
}

TEST(ShellBrowser, CancelLeavesTheTrimmedFolder) {
  Browser browser;
  std::string report;
  int result = Choose("C:\\zvtest\\Alpha\\", [&] {
    std::string failure = OpenBrowser(&browser, "Alpha");
    if (!failure.empty()) return failure;
    return WdClick(browser.window, IDCANCEL) ? std::string() : WdError();
  }, &report);
  ASSERT_EQ("", report);
  EXPECT_EQ(0, result);
  EXPECT_STREQ("C:\\zvtest\\Alpha", InstallFolder);
}

TEST(ShellBrowser, EscAndTheCloseBoxCancelToo) {
  for (bool useKey : {true, false}) {
    Browser browser;
    std::string report;
    int result = Choose("C:\\zvtest\\Beta\\", [&] {
      std::string failure = OpenBrowser(&browser, "Beta");
      if (!failure.empty()) return failure;
      bool done = useKey ? WdKey(browser.window, "esc", 0) : WdClose(browser.window);
      return done ? std::string() : WdError();
    }, &report);
    ASSERT_EQ("", report) << (useKey ? "Esc" : "close box");
    EXPECT_EQ(0, result);
    EXPECT_STREQ("C:\\zvtest\\Beta", InstallFolder);
  }
}

TEST(ShellBrowser, DoubleByteFolderIsTrimmedAsAWholeCharacter) {
  if (!IsJapanese) GTEST_SKIP() << "needs code page 932";
  // 表 is 0x95 0x5C: its trail byte must not pass for a separator.
  Browser browser;
  std::string report;
  int result = Choose("C:\\zvtest\\表\\", [&] {
    std::string failure = OpenBrowser(&browser, "表");
    if (!failure.empty()) return failure;
    return WdClick(browser.window, IDOK) ? std::string() : WdError();
  }, &report);
  ASSERT_EQ("", report);
  EXPECT_EQ(1, result);
  EXPECT_EQ("C:\\zvtest\\表", Utf8FromAnsi(InstallFolder));
}

// CreateDirectoryA stops at 248 bytes; the \\?\ form has no such limit.
void MakeLongDirectory(const std::string& path) {
  CreateDirectoryW((L"\\\\?\\" + WdWide(path)).c_str(), nullptr);
}

// A folder C:\zvtest\long\xxx...\NNN whose path takes exactly length bytes.
std::string MakeFolderOfLength(size_t length, const std::string& leaf) {
  std::string path = "C:\\zvtest\\long";
  MakeLongDirectory(path);
  // Middle parts of 100 bytes keep each name well under the 255 limit.
  for (int part = 0; part < 8 && path.size() + 1 + 100 + 1 + leaf.size() < length; ++part) {
    path += "\\" + std::string(100, 'x');
    MakeLongDirectory(path);
  }
  size_t rest = length - path.size() - 2 - leaf.size();
  path += "\\" + std::string(rest, 'y');
  MakeLongDirectory(path);
  path += "\\" + leaf;
  MakeLongDirectory(path);
  return path;
}

TEST(ShellBrowser, ChosenPathLongerThan255BytesIsRefused) {
  struct Row {
    size_t length;
    const char* leaf;
    int result;
  };
  MakeFolders();
  for (Row row : {Row{255, "fits", 1}, Row{256, "toolong", 0}}) {
    std::string chosen = MakeFolderOfLength(row.length, row.leaf);
    ASSERT_EQ(row.length, chosen.size());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(chosen.c_str())) << row.length;
    Browser browser;
    std::string report;
    int result = Choose("C:\\zvtest\\Alpha\\", [&] {
      std::string failure = OpenBrowser(&browser, "Alpha");
      if (!failure.empty()) return failure;
      // Where a person would click through the tree, go there directly.
      SendMessageA(browser.window, BFFM_SETSELECTIONA, TRUE, (LPARAM)chosen.c_str());
      failure = WaitForSelection(&browser, row.leaf);
      if (!failure.empty()) return failure;
      return WdClick(browser.window, IDOK) ? std::string() : WdError();
    }, &report);
    ASSERT_EQ("", report) << row.length;
    EXPECT_EQ(row.result, result) << row.length;
    EXPECT_EQ(row.result ? chosen : std::string("C:\\zvtest\\Alpha"), InstallFolder);
  }
}

}  // namespace
