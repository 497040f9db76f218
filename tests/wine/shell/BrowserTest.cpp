// The shell mechanism of the folder chooser (Windows 3.95 and later): the
// trim before browsing, the browser opened on the install folder by
// BFFCallback, and what OK and Cancel leave in InstallFolder.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "FolderChooser.h"
#include "Globals.h"
#include "TestFolders.h"
#include "UserThread.h"

namespace {

constexpr int kWaitMs = 10000;
constexpr int kPollMs = 50;
constexpr int kSelectAttempts = 5;
constexpr int kSelectWaitMs = 2000;

struct Browser {
  HWND window = nullptr;
  int tree = 0;
  std::vector<std::string> texts;     // every static text, for the title
  std::vector<std::string> selection; // tree labels, root first
};

std::string WaitForSelection(Browser* browser, const std::string& label, int timeoutMs = kWaitMs) {
  for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
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

// Picks chosen in the browser and presses OK. Wine's browser now and then
// cannot go to a folder deep below one it has not shown yet, and then
// keeps failing in that window; a person would close it and browse again,
// so a missed selection is answered with Cancel and reported as kMissed.
const char kMissed[] = "missed";

UserPart PickDeepFolder(const std::string& chosen, const std::string& leaf) {
  return [=] {
    Browser browser;
    std::string failure = OpenBrowser(&browser, "Alpha");
    if (!failure.empty()) return failure;
    // Where a person would click through the tree, go there directly.
    SendMessageA(browser.window, BFFM_SETSELECTIONA, TRUE, (LPARAM)chosen.c_str());
    if (!WaitForSelection(&browser, leaf, kSelectWaitMs).empty()) {
      return WdClick(browser.window, IDCANCEL) ? std::string(kMissed) : WdError();
    }
    return WdClick(browser.window, IDOK) ? std::string() : WdError();
  };
}

TEST(ShellBrowser, ChosenPathLongerThan255BytesIsRefused) {
  for (bool tooLong : {false, true}) {
    std::string chosen = LongFolder(tooLong);
    ASSERT_EQ(tooLong ? 256u : 255u, chosen.size());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(chosen.c_str()));
    std::string leaf = chosen.substr(chosen.rfind('\\') + 1);
    std::string report = kMissed;
    int result = -99;
    for (int attempt = 0; attempt < kSelectAttempts && report == kMissed; ++attempt) {
      result = Choose("C:\\zvtest\\Alpha\\", PickDeepFolder(chosen, leaf), &report);
    }
    ASSERT_EQ("", report) << chosen.size();
    EXPECT_EQ(tooLong ? 0 : 1, result) << chosen.size();
    EXPECT_EQ(tooLong ? std::string("C:\\zvtest\\Alpha") : chosen, InstallFolder);
  }
}

}  // namespace
