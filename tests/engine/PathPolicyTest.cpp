// Which member paths are written: parent components, colons, device names
// and long targets are refused before anything is created, wherever the
// name comes from (a level-0 name, an extended name, an extended directory).
#include <gtest/gtest.h>

#include <cstring>

#include "DriverSupport.h"

namespace {

struct PathCase {
    const char* directory;   // type-2 record, '\' separators; empty: none
    const char* name;        // base name (level 0 and 1)
    PathVerdict verdict;
};

const PathCase kPathCases[] = {
    {"", "..\\X", PathVerdict::ParentComponent},
    {"", "../X", PathVerdict::ParentComponent},
    {"", "A\\..\\..\\X", PathVerdict::ParentComponent},
    {"", "D/../../D/T.TXT", PathVerdict::ParentComponent},
    {"", "D/.../T.TXT", PathVerdict::ParentComponent},
    {"", "..", PathVerdict::ParentComponent},
    {".", ".\\X", PathVerdict::ParentComponent},   // "." and ".\X" join to "..\X"
    {"..\\", "X", PathVerdict::ParentComponent},
    {"A\\..\\", "X", PathVerdict::ParentComponent},
    {"", "C:X", PathVerdict::Colon},
    {"", "C:\\X", PathVerdict::Colon},
    {"", "A.TXT:STREAM", PathVerdict::Colon},
    {"C:\\", "X", PathVerdict::Colon},
    {"", "\\\\?\\C:\\X", PathVerdict::Colon},
    {"", "CON", PathVerdict::DeviceName},
    {"", "nul.txt", PathVerdict::DeviceName},
    {"", "Com1.log", PathVerdict::DeviceName},
    {"", "LPT9", PathVerdict::DeviceName},
    {"", "aux.", PathVerdict::DeviceName},
    {"PRN\\", "X", PathVerdict::DeviceName},
    {"", "D\\CoM5\\X", PathVerdict::DeviceName},
    {"", "CONX", PathVerdict::Accepted},
    {"", "COM0", PathVerdict::Accepted},
    {"", "COM10", PathVerdict::Accepted},
    {"", "LPT", PathVerdict::Accepted},
    {"", ".X", PathVerdict::Accepted},
    {"", "X..Y", PathVerdict::Accepted},
    {".\\", "X", PathVerdict::Accepted},
};

MemberSpec PathMember(const PathCase& c, int level, bool extendedName)
{
    MemberSpec m = StoredMember(extendedName ? "IGNORED" : c.name, Text("payload"), level);
    if (level == 1 && extendedName)
        m.extended = ExtendedRecord(1, Text(c.name));
    if (level == 1 && c.directory[0] != '\0') {
        Bytes dir = ExtendedDirectory(c.directory);
        m.extended.insert(m.extended.begin(), dir.begin(), dir.end());
    }
    return m;
}

TEST(PathPolicy, RefusedMembersLeaveNothingAndTheWalkGoesOn)
{
    for (const PathCase& c : kPathCases) {
        for (int variant = 0; variant < 3; ++variant) {
            const int level = variant == 0 ? 0 : 1;
            if (level == 0 && c.directory[0] != '\0')
                continue;
            ScratchFolder outer;
            const std::string folder = outer.Win32() + "inst\\";
            CreateParentDirectories(folder.c_str());
            MemberSpec m = PathMember(c, level, variant == 2);
            DriverRun run = RunMembers(Archive({m, StoredMember("LATER", Text("later"))}), folder);
            const std::string label = std::string(c.directory) + "|" + c.name + " variant " + std::to_string(variant);
            EXPECT_EQ(run.result, kResultOk) << label;
            EXPECT_TRUE(outer.Exists("inst\\LATER")) << label;
            ASSERT_GE(run.outcomes.size(), 1u) << label;
            if (c.verdict == PathVerdict::Accepted) {
                EXPECT_EQ(run.outcomes[0].outcome, MemberOutcome::Written) << label;
                continue;
            }
            EXPECT_EQ(run.outcomes[0].outcome, MemberOutcome::PathRefused) << label;
            EXPECT_EQ(run.outcomes[0].verdict, c.verdict) << label;
            // Only the folder and LATER: no directory made for the refused member.
            EXPECT_EQ(outer.CountEntries(), 2) << label;
        }
    }
}

TEST(PathPolicy, TargetsOver255BytesAreRefusedNeverCut)
{
    ScratchFolder outer;
    std::string folder = outer.Win32();
    // Fill the folder up with one directory level so that the folder takes
    // 150 bytes, then try names around the limit.
    const std::size_t pad = 150 - folder.size() - 1;
    folder += std::string(pad, 'F') + "\\";
    ASSERT_EQ(folder.size(), 150u);
    CreateParentDirectories(folder.c_str());
    const std::string fits(255 - 150, 'n');
    const std::string tooLong(256 - 150, 'n');
    MemberSpec ok = StoredMember(fits.substr(0, 100), Text("fits"));
    ok.extended = ExtendedDirectory(fits.substr(100) + "\\");
    ok.extended.pop_back();   // no trailing separator: "nnnnn" + name
    ok.extended[0] = static_cast<std::uint8_t>(ok.extended[0] - 1);
    MemberSpec tooMuch = StoredMember(tooLong.substr(0, 100), Text("long"));
    tooMuch.extended = ExtendedDirectory(tooLong.substr(100) + "\\");
    DriverRun run = RunMembers(Archive({ok, tooMuch}), folder);
    EXPECT_EQ(run.result, kResultOk);
    ASSERT_GE(run.outcomes.size(), 2u);
    EXPECT_EQ(run.outcomes[0].outcome, MemberOutcome::Written);
    EXPECT_EQ(run.outcomes[1].outcome, MemberOutcome::PathRefused);
    EXPECT_EQ(run.outcomes[1].verdict, PathVerdict::TooLong);
}

TEST(PathPolicy, NameRulesOnRelativePaths)
{
    const struct {
        const char* path;
        PathVerdict verdict;
    } cases[] = {
        {"Com1 .log", PathVerdict::DeviceName},   // spaces before the dot do not matter
        {"NUL   ", PathVerdict::DeviceName},
        {"A\\. .\\B", PathVerdict::ParentComponent},
        {"A\\.\\B", PathVerdict::Accepted},
        {"A\\\\B", PathVerdict::Accepted},
        {"", PathVerdict::Accepted},
        {"x/y/z:", PathVerdict::Colon},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckRelativePath(c.path), c.verdict) << c.path;
}

TEST(PathPolicy, BuildTargetPathJoinsWithoutTheLeadingBackslash)
{
    MemberHeader h;
    std::memset(&h, 0, sizeof h);
    std::strcpy(h.directoryName, "\\\\SERVER\\");
    std::strcpy(h.fileName, "F");
    char target[kPathRoom];
    EXPECT_EQ(BuildTargetPath("D:\\I\\", h, target), PathVerdict::Accepted);
    EXPECT_STREQ(target, "D:\\I\\\\SERVER\\F");
}

} // namespace
