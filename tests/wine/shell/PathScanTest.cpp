// The two path scans of the folder chooser and BFFCallback, without
// windows: the trim before the browser and the cut after the file dialog.
// The double-byte rows differ by code page: under 932 the bytes 0x95 0x5C
// (表) and 0x83 0x5C (ソ) are one character, under 1252 two.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "FolderChooser.h"
#include "Globals.h"
#include "UserThread.h"

namespace {

struct Case {
  const char* in;     // UTF-8
  const char* out932;
  const char* out1252;
};

std::string Run(void (*scan)(char*), const char* in) {
  char buffer[256];
  lstrcpyA(buffer, AnsiFromUtf8(in).c_str());
  scan(buffer);
  return Utf8FromAnsi(buffer);
}

void Check(void (*scan)(char*), const Case* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(IsJapanese ? cases[i].out932 : cases[i].out1252, Run(scan, cases[i].in))
        << "input " << cases[i].in;
  }
}

TEST(PathScan, TrimRemovesOneFinalBackslashAfterAName) {
  const Case cases[] = {
      {"C:\\Program files\\Quova\\", "C:\\Program files\\Quova", "C:\\Program files\\Quova"},
      {"C:\\", "C:\\", "C:\\"},
      {"D:", "D:", "D:"},
      {"a\\", "a\\", "a\\"},
      {"ab\\", "ab", "ab"},
      {"", "", ""},
      {"\\\\server\\share\\", "\\\\server\\share", "\\\\server\\share"},
      {"C:\\Quova\\\\", "C:\\Quova\\\\", "C:\\Quova\\\\"},
      {"C:\\Quova", "C:\\Quova", "C:\\Quova"},
  };
  Check(TrimFinalBackslash, cases, sizeof cases / sizeof cases[0]);
}

TEST(PathScan, TrimStepsOverDoubleByteCharacters) {
  // Without double-byte support ソ\ looks like two backslashes in a row.
  const Case cases[] = {
      {"C:\\表", "C:\\表", "C:\\表"},
      {"C:\\表\\", "C:\\表", "C:\\表"},
      {"C:\\ソ\\", "C:\\ソ", "C:\\ソ\\"},
      {"表\\", "表", "表"},
  };
  if (IsJapanese) {
    Check(TrimFinalBackslash, cases, sizeof cases / sizeof cases[0]);
  } else {
    // Code page 1252 has no 表 or ソ; compare the raw bytes instead.
    char trail[] = "C:\\\x95\x5C";
    TrimFinalBackslash(trail);
    EXPECT_STREQ("C:\\\x95", trail);
    char pair[] = "C:\\\x83\x5C\\";
    TrimFinalBackslash(pair);
    EXPECT_STREQ("C:\\\x83\x5C\\", pair);
  }
}

TEST(PathScan, CutKeepsTheDirectoryWithItsSeparator) {
  const Case cases[] = {
      {"C:\\Program files\\Quova\\a", "C:\\Program files\\Quova\\", "C:\\Program files\\Quova\\"},
      {"C:\\a", "C:\\", "C:\\"},
      {"C:a", "C:", "C:"},
      {"a", "", ""},
      {"", "", ""},
      {"\\\\server\\share\\a", "\\\\server\\share\\", "\\\\server\\share\\"},
  };
  Check(CutAfterLastSeparator, cases, sizeof cases / sizeof cases[0]);
}

TEST(PathScan, CutNeverSplitsADoubleByteCharacter) {
  if (IsJapanese) {
    const Case cases[] = {
        {"C:\\表\\a", "C:\\表\\", ""},
        {"C:\\表", "C:\\", ""},
        {"C:\\ソ表", "C:\\", ""},
    };
    Check(CutAfterLastSeparator, cases, sizeof cases / sizeof cases[0]);
    // A lead byte just before the terminator ends the walk.
    char lone[] = "C:\\x\\\x95";
    CutAfterLastSeparator(lone);
    EXPECT_STREQ("C:\\x\\", lone);
  } else {
    char trail[] = "C:\\\x95\x5C" "a";
    CutAfterLastSeparator(trail);
    EXPECT_STREQ("C:\\\x95\x5C", trail);
  }
}

// Records what a window receives, standing in for the folder browser.
UINT lastMessage;
WPARAM lastWParam;
LPARAM lastLParam;
int received;

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) {
    lastMessage = message;
    lastWParam = wParam;
    lastLParam = lParam;
    ++received;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(PathScan, BffCallbackSelectsTheFolderOnlyWhenTheBrowserStarts) {
  WNDCLASSA kind = {};
  kind.lpfnWndProc = RecorderProc;
  kind.hInstance = GetModuleHandleA(nullptr);
  kind.lpszClassName = "ZvRecorder";
  RegisterClassA(&kind);
  HWND window = CreateWindowA("ZvRecorder", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              kind.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  received = 0;
  for (UINT other : {0u, 2u, 3u, 4u, (UINT)BFFM_VALIDATEFAILEDA}) {
    EXPECT_EQ(0, BFFCallback(window, other, 0, reinterpret_cast<LPARAM>(InstallFolder)));
  }
  EXPECT_EQ(0, received);
  EXPECT_EQ(0, BFFCallback(window, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(InstallFolder)));
  EXPECT_EQ(1, received);
  EXPECT_EQ(1126u, lastMessage);
  EXPECT_EQ(1u, lastWParam);
  EXPECT_EQ(reinterpret_cast<LPARAM>(InstallFolder), lastLParam);
  DestroyWindow(window);
}

}  // namespace
