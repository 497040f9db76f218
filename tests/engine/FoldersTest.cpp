// The install folder's trailing separator and the target's directories.
#include <gtest/gtest.h>

#include <cstring>

#include "DriverSupport.h"
#include "Globals.h"

namespace {

std::string Normalised(const std::string& folder)
{
    std::memset(InstallFolder, 0, sizeof InstallFolder);
    std::memcpy(InstallFolder, folder.data(), std::min(folder.size(), sizeof InstallFolder - 1));
    EnsureTrailingSeparator();
    return InstallFolder;
}

TEST(EnsureTrailingSeparator, SingleByteFolders)
{
    EXPECT_EQ(Normalised("D:\\Tools"), "D:\\Tools\\");
    EXPECT_EQ(Normalised("D:\\Tools\\"), "D:\\Tools\\");
    EXPECT_EQ(Normalised(""), "\\");
    EXPECT_EQ(Normalised("D:\\"), "D:\\");
    EXPECT_EQ(Normalised("D:\\Two\\\\"), "D:\\Two\\\\");
    EXPECT_EQ(Normalised(std::string(255, 'L')), std::string(254, 'L') + "\\");
    EXPECT_EQ(Normalised(std::string(253, 'L') + "\\x"), std::string(253, 'L') + "\\");
}

TEST(CreateParentDirectories, MakesEachLevelButNotTheFile)
{
    ScratchFolder f;
    const std::string target = f.Win32() + "A\\B\\file.txt";
    EXPECT_EQ(CreateParentDirectories(target.c_str()), 0);
    EXPECT_TRUE(f.Exists("A\\B"));
    EXPECT_FALSE(f.Exists("A\\B\\file.txt"));
    EXPECT_EQ(CreateParentDirectories(target.c_str()), 0);   // existing levels are left alone
}

TEST(CreateParentDirectories, SlashSeparatesAsBackslashDoes)
{
    ScratchFolder f;
    const std::string target = f.Win32() + "A/B\\C/file.txt";
    EXPECT_EQ(CreateParentDirectories(target.c_str()), 0);
    EXPECT_TRUE(f.Exists("A\\B\\C"));
    EXPECT_FALSE(f.Exists("A\\B\\C\\file.txt"));
}

TEST(CreateParentDirectories, FileInTheWayFails)
{
    ScratchFolder f;
    DriverRun run = RunMembers(Archive({StoredMember("A", Text("file"))}), f.Win32());
    ASSERT_EQ(run.result, kResultOk);
    const std::string target = f.Win32() + "A\\B\\file.txt";
    EXPECT_EQ(CreateParentDirectories(target.c_str()), -1);
    EXPECT_FALSE(f.Exists("A\\B"));
}

} // namespace
