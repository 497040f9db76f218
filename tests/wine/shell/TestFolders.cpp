#include "TestFolders.h"

#include <windows.h>

#include "FolderChooser.h"
#include "Globals.h"
#include "UserThread.h"

namespace {

constexpr size_t kPartBytes = 100;  // middle names well under the 255 limit
constexpr int kMostParts = 8;

// CreateDirectoryA stops at 248 bytes; the \\?\ form has no such limit.
// Paths here are UTF-8.
void MakeDirectory(const std::string& path) {
  CreateDirectoryW((L"\\\\?\\" + WdWide(path)).c_str(), nullptr);
}

// C:\zvlong\xxx...\yyy...\leaf, exactly length bytes long.
std::string FolderOfLength(size_t length, const std::string& leaf) {
  std::string path = "C:\\zvlong";
  for (int part = 0; part < kMostParts && path.size() + 2 * 2 + kPartBytes + leaf.size() < length;
       ++part) {
    path += "\\" + std::string(kPartBytes, 'x');
  }
  path += "\\" + std::string(length - path.size() - 2 - leaf.size(), 'y') + "\\" + leaf;
  return path;
}

void MakeWithParents(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    MakeDirectory(path.substr(0, at));
  }
  MakeDirectory(path);
}

}  // namespace

std::string LongFolder(bool tooLong) {
  return tooLong ? FolderOfLength(256, "toolong") : FolderOfLength(255, "fits");
}

void MakeTestFolders() {
  MakeWithParents("C:\\zvtest\\Alpha");
  MakeWithParents("C:\\zvtest\\Beta");
  if (IsJapanese) MakeWithParents("C:\\zvtest\\表");
  MakeWithParents(LongFolder(false));
  MakeWithParents(LongFolder(true));
}

void WarmUpFolderBrowser() {
  constexpr int kWaitMs = 10000;
  constexpr int kSettleMs = 500;
  char saved[sizeof InstallFolder];
  lstrcpyA(saved, InstallFolder);
  lstrcpyA(InstallFolder, "C:\\zvtest\\Alpha");
  RunAsUser([] {
    HWND browser = WaitForOwnWindow(kWaitMs);
    Sleep(kSettleMs);
    if (browser) WdClick(browser, IDCANCEL);
    return std::string();
  }, [] { ChooseFolder(nullptr); });
  lstrcpyA(InstallFolder, saved);
}
