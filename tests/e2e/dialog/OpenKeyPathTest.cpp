// The registry key walker against the session's own registry, below a
// scratch key of the current user that the tests remove again.
#include <gtest/gtest.h>

#include "WinMain.h"

namespace {

constexpr char kScratch[] = "Software\\ZoravuviTest";

class OpenKeyPathTest : public testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kScratch); }
};

std::string ValueOf(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
  char data[64] = "";
  DWORD size = sizeof data;
  LONG status = RegQueryValueExA(key, "probe", nullptr, nullptr, (BYTE*)data, &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? data : "<no value>";
}

TEST_F(OpenKeyPathTest, CreatesEveryComponentAndReturnsTheLast) {
  HKEY key = OpenKeyPath(HKEY_CURRENT_USER, "Software\\ZoravuviTest\\A\\B", true);
  ASSERT_NE(nullptr, key);
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "probe", 0, REG_SZ, (const BYTE*)"b", 2));
  RegCloseKey(key);
  EXPECT_EQ("b", ValueOf("Software\\ZoravuviTest\\A\\B"));
}

TEST_F(OpenKeyPathTest, OpensExistingPathsWithOrWithoutFinalBackslash) {
  RegCloseKey(OpenKeyPath(HKEY_CURRENT_USER, "Software\\ZoravuviTest\\A", true));
  for (const char* path : {"Software\\ZoravuviTest\\A", "Software\\ZoravuviTest\\A\\"}) {
    HKEY key = OpenKeyPath(HKEY_CURRENT_USER, path, false);
    EXPECT_NE(nullptr, key) << path;
    if (key) RegCloseKey(key);
  }
}

TEST_F(OpenKeyPathTest, MissingComponentGivesNullAndCreatesNothing) {
  const char* missing[] = {"Software\\ZoravuviTest\\Missing\\Deeper", "NoSuchRootChild"};
  for (const char* path : missing) EXPECT_EQ(nullptr, OpenKeyPath(HKEY_CURRENT_USER, path, false)) << path;
  EXPECT_EQ("<none>", ValueOf("Software\\ZoravuviTest\\Missing"));
}

TEST_F(OpenKeyPathTest, EmptyPathReturnsTheRootItself) {
  EXPECT_EQ(HKEY_CURRENT_USER, OpenKeyPath(HKEY_CURRENT_USER, "", false));
}

// The installer's own paths open on a stock system (Wine's included).
TEST_F(OpenKeyPathTest, InstallersMachinePathOpens) {
  HKEY key = OpenKeyPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false);
  ASSERT_NE(nullptr, key);
  char folder[256] = "";
  DWORD size = sizeof folder;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, (BYTE*)folder, &size));
  RegCloseKey(key);
}

}  // namespace
