// Tests of the texts, messages and folder chooser, run under Wine in a
// session that the test script prepares: the language comes from LANG
// (code page 932 or 1252), the Windows version from the prefix registry.
// ZV_EXPECT_JAPANESE and ZV_EXPECT_VERSION say what the script prepared, so
// that a session that silently came out different fails instead of testing
// the wrong thing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Globals.h"
#include "TestFolders.h"

namespace {

// Sets the globals the way the installer's start-up does.
void StartLikeTheInstaller() {
  ModuleInstance = GetModuleHandleA(nullptr);
  DWORD version = GetVersion();
  OsVersion = (int)((version & 0xFF) * 256 + ((version >> 8) & 0xFF));
  IsJapanese = GetSystemMetrics(SM_DBCSENABLED) && GetACP() == 932 ? 1 : 0;
}

class SessionCheck : public testing::Environment {
 public:
  void SetUp() override {
    const char* japanese = getenv("ZV_EXPECT_JAPANESE");
    const char* version = getenv("ZV_EXPECT_VERSION");
    ASSERT_TRUE(japanese && version) << "run through shell_session.sh";
    ASSERT_EQ(atoi(japanese), IsJapanese) << "code page " << GetACP();
    ASSERT_EQ(atoi(version), OsVersion);
    MakeTestFolders();
    if (OsVersion >= 3 * 256 + 95) WarmUpFolderBrowser();
  }
};

}  // namespace

int main(int argc, char** argv) {
  StartLikeTheInstaller();
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new SessionCheck);
  return RUN_ALL_TESTS();
}
