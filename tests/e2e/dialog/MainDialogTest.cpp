// The main dialog inside the test process: its procedure called as the
// dialog manager calls it, its templates as created from the executable's
// resources (fonts included, which another process cannot read), and the
// modal run operated from a second thread as a person would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Globals.h"
#include "MainDialog.h"
#include "UserThread.h"
#include "resource.h"

namespace {

constexpr int kWaitMs = 10000;
constexpr WORD kSomeNotification = 1;   // anything but BN_CLICKED (0)

struct Language {
  const char* caption;
  const char* fontFace;
  int fontPoints;
};
const Language kEnglish = {"Quova installer ver0.13", "MS Sans Serif", 8};
const Language kJapanese = {"Quovaインストーラ ver0.13", "ＭＳ Ｐゴシック", 9};
const Language& Active() { return IsJapanese ? kJapanese : kEnglish; }

BOOL CALLBACK OtherVisibleProc(HWND window, LPARAM data) {
  HWND* found = reinterpret_cast<HWND*>(data);
  if (window == found[0] || !IsWindowVisible(window)) return TRUE;
  found[1] = window;
  return FALSE;
}

// A visible window of the test thread other than except: the folder
// browser, whose caption is the system's and depends on its language.
HWND WaitForOtherWindow(HWND except) {
  constexpr int kPollMs = 50;
  for (int waited = 0; waited <= kWaitMs; waited += kPollMs) {
    HWND found[2] = {except, nullptr};
    EnumThreadWindows(TestThreadId(), OtherVisibleProc, reinterpret_cast<LPARAM>(found));
    if (found[1]) return found[1];
    Sleep(kPollMs);
  }
  return nullptr;
}

// A modeless instance of the active template: the procedure runs exactly as
// in the modal dialog, but the test thread stays free to call it.
class MainDialog : public testing::Test {
 protected:
  void Open(const char* folder, int shortcut) {
    lstrcpyA(InstallFolder, folder);
    ShortcutChoice = shortcut;
    dialog = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(IsJapanese ? IDD_MAIN_J : IDD_MAIN),
                                nullptr, MainDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
  }
  void TearDown() override {
    if (dialog) DestroyWindow(dialog);
    ShortcutChoice = 1;
  }
  INT_PTR Command(WORD id, WORD notification) {
    return MainDialogProc(dialog, WM_COMMAND, MAKEWPARAM(id, notification), 0);
  }
  std::string FolderBox() {
    char text[512] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER, text, sizeof text);
    return text;
  }
  LRESULT Checked() { return SendDlgItemMessageA(dialog, IDC_SHORTCUT, BM_GETCHECK, 0, 0); }
  bool Disabled() { return GetWindowLongA(GetDlgItem(dialog, IDC_SHORTCUT), GWL_STYLE) & WS_DISABLED; }
  HWND dialog = nullptr;
};

TEST_F(MainDialog, StartShowsFolderAndShortcutState) {
  const struct { int choice; LRESULT checked; bool disabled; } kCases[] = {
      {1, BST_CHECKED, false}, {0, BST_UNCHECKED, false}, {2, BST_UNCHECKED, true}};
  for (const auto& c : kCases) {
    Open("D:\\Tools\\Q", c.choice);
    EXPECT_EQ("D:\\Tools\\Q", FolderBox());
    EXPECT_EQ(c.checked, Checked()) << "choice " << c.choice;
    EXPECT_EQ(c.disabled, Disabled()) << "choice " << c.choice;
    DestroyWindow(dialog);
    dialog = nullptr;
  }
}

TEST_F(MainDialog, TemplateFontsAndCaption) {
  Open("C:\\", 1);
  ControlInfo self = WdDescribe(dialog);
  EXPECT_EQ(Active().caption, self.text);
  std::vector<ControlInfo> controls = WdControls(dialog);
  ASSERT_EQ(6u, controls.size());
  for (const ControlInfo& control : controls) {
    EXPECT_EQ(Active().fontFace, control.fontFace) << "control " << control.id;
    EXPECT_EQ(Active().fontPoints, control.fontPoints) << "control " << control.id;
  }
}

TEST_F(MainDialog, StartReadsFolderAndCheckbox) {
  Open("C:\\Old", 1);
  SetDlgItemTextA(dialog, IDC_FOLDER, "C:\\New folder");
  SendDlgItemMessageA(dialog, IDC_SHORTCUT, BM_SETCHECK, BST_UNCHECKED, 0);
  EXPECT_EQ(FALSE, Command(IDOK, BN_CLICKED));
  EXPECT_STREQ("C:\\New folder", InstallFolder);
  EXPECT_EQ(0, ShortcutChoice);
}

TEST_F(MainDialog, UnavailableShortcutReadsAsNotWanted) {
  Open("C:\\Q", 2);
  EXPECT_EQ(FALSE, Command(IDOK, BN_CLICKED));
  EXPECT_EQ(0, ShortcutChoice);
}

TEST_F(MainDialog, LongFolderTextIsCutTo255Bytes) {
  Open("C:\\", 1);
  std::string typed = "C:\\" + std::string(300, 'x');
  SetDlgItemTextA(dialog, IDC_FOLDER, typed.c_str());
  Command(IDOK, BN_CLICKED);
  EXPECT_EQ(typed.substr(0, 255), std::string(InstallFolder));
}

// Only the whole wParam counts: the same ids with another notification
// code change nothing and are not consumed.
TEST_F(MainDialog, OtherNotificationsAreIgnored) {
  Open("C:\\Keep", 0);
  SetDlgItemTextA(dialog, IDC_FOLDER, "C:\\Typed");
  for (WORD id : {WORD(IDOK), WORD(IDCANCEL), WORD(IDC_BROWSE), WORD(IDC_SHORTCUT)}) {
    ShortcutChoice = 7;
    EXPECT_EQ(FALSE, Command(id, kSomeNotification)) << "id " << id;
    EXPECT_STREQ("C:\\Keep", InstallFolder) << "id " << id;
    EXPECT_EQ(7, ShortcutChoice) << "id " << id;
  }
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(FALSE, MainDialogProc(dialog, WM_TIMER, IDOK, 0));
}

TEST_F(MainDialog, SetControlEnabledFlipsOnlyTheDisabledBit) {
  Open("C:\\", 1);
  HWND box = GetDlgItem(dialog, IDC_SHORTCUT);
  LONG before = GetWindowLongA(box, GWL_STYLE);
  SetControlEnabled(box, FALSE);
  EXPECT_EQ(before | WS_DISABLED, GetWindowLongA(box, GWL_STYLE));
  EXPECT_FALSE(IsWindowEnabled(box));
  SetControlEnabled(box, TRUE);
  EXPECT_EQ(before & ~WS_DISABLED, GetWindowLongA(box, GWL_STYLE));
  EXPECT_TRUE(IsWindowEnabled(box));
}

// Browse starts the chooser from the typed text; the box then shows what
// the chooser left, here the trimmed folder after Cancel.
TEST_F(MainDialog, BrowseCancelShowsTrimmedTypedFolder) {
  if (OsVersion < 863) GTEST_SKIP() << "the folder browser needs version 3.95";
  Open("C:\\Old\\", 1);
  SetDlgItemTextA(dialog, IDC_FOLDER, "C:\\windows\\");
  INT_PTR consumed = FALSE;
  std::string report = RunAsUser(
      [this] {
        HWND browser = WaitForOtherWindow(dialog);
        if (!browser) return std::string("no folder browser");
        return WdClick(browser, IDCANCEL) ? std::string() : WdError();
      },
      [&] { consumed = Command(IDC_BROWSE, BN_CLICKED); });
  EXPECT_EQ("", report);
  EXPECT_EQ(TRUE, consumed);
  EXPECT_STREQ("C:\\windows", InstallFolder);
  EXPECT_EQ("C:\\windows", FolderBox());
}

struct ModalCase {
  const char* name;
  bool (*act)(HWND dialog);
  bool started;
};

const ModalCase kModalCases[] = {
    {"Start button", [](HWND d) { return WdClick(d, IDOK); }, true},
    {"Enter in the folder box", [](HWND d) { return WdKey(d, "enter", IDC_FOLDER); }, true},
    {"Cancel button", [](HWND d) { return WdClick(d, IDCANCEL); }, false},
    {"Esc", [](HWND d) { return WdKey(d, "esc", IDC_FOLDER); }, false},
    {"close box", [](HWND d) { return WdClose(d); }, false},
};

TEST(RunMainDialog, TrueOnlyWhenTheUserStarts) {
  for (const ModalCase& c : kModalCases) {
    lstrcpyA(InstallFolder, "C:\\Q");
    bool started = !c.started;
    std::string report = RunAsUser(
        [&c] {
          HWND dialog = WdWaitWindow(Active().caption, kWaitMs);
          if (!dialog) return std::string("no main dialog");
          return c.act(dialog) ? std::string() : WdError();
        },
        [&] { started = RunMainDialog(); });
    EXPECT_EQ("", report) << c.name;
    EXPECT_EQ(c.started, started) << c.name;
  }
}

// The test command says which language it prepared, so that a session
// that silently came out different fails instead of testing the wrong one.
TEST(Session, LanguageIsThePreparedOne) {
  const char* expected = getenv("ZV_EXPECT_JAPANESE");
  ASSERT_NE(nullptr, expected);
  EXPECT_EQ(atoi(expected), IsJapanese) << "code page " << GetACP();
}

}  // namespace

int main(int argc, char** argv) {
  ModuleInstance = GetModuleHandleA(nullptr);
  DWORD version = GetVersion();
  OsVersion = (int)((version & 0xFF) * 256 + ((version >> 8) & 0xFF));
  IsJapanese = GetSystemMetrics(SM_DBCSENABLED) && GetACP() == 932 ? 1 : 0;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
