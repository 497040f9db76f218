// Member headers as the installer's header reader reads them back, MS-DOS
// time stamps, stored names and the order of a folder's files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "ArchiveWriter.h"
#include "MemberHeader.h"
#include "MemoryStream.h"
#include "PackInputs.h"

namespace {

using lzhpack::PackInput;

lzhpack::MemberRecord Record(std::uint32_t packedSize)
{
    lzhpack::MemberRecord r;
    r.method = "-lh5-";
    r.packedSize = packedSize;
    r.originalSize = 123456;
    r.dosTime = 0x1234;
    r.dosDate = 0x58CB;
    r.crc = 0xBEEF;
    return r;
}

struct ReadBack {
    int result;
    MemberHeader header;
    std::int32_t dataStart;
    std::vector<std::uint8_t> bytes;
};

ReadBack BuildAndRead(const PackInput& input, int level, std::uint32_t packedSize)
{
    ReadBack rb;
    rb.bytes = lzhpack::BuildMemberHeader(input, Record(packedSize), level);
    std::vector<std::uint8_t> archive = rb.bytes;
    archive.resize(archive.size() + packedSize, 0xAA);
    archive.push_back(0);
    MemoryStream stream(archive.data(), std::uint32_t(archive.size()));
    rb.result = ReadMemberHeader(rb.header, stream);
    rb.dataStart = stream.Position();
    return rb;
}

TEST(MemberHeaderOut, FieldsReadBackAtBothLevels)
{
    struct Case {
        int level;
        PackInput input;
        const char* fileName;
        const char* directoryName;
        std::uint32_t extended;   // bytes of extended headers counted in the packed size
    };
    const Case cases[] = {
        {0, {"x", "", "QUOVA.EXE"}, "QUOVA.EXE", "", 0},
        {0, {"x", "DOC/EN", "READ.ME"}, "DOC\\EN\\READ.ME", "", 0},
        {1, {"x", "", "QUOVA.EXE"}, "QUOVA.EXE", "", 0},
        {1, {"x", "DOC/EN", "READ.ME"}, "READ.ME", "DOC\\EN\\", 3 + 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        ReadBack rb = BuildAndRead(c.input, c.level, 1000);
        ASSERT_EQ(rb.result, 0);
        const MemberHeader& h = rb.header;
        EXPECT_STREQ(h.method, "-lh5-");
        EXPECT_EQ(h.level, c.level);
        EXPECT_EQ(h.packedSize, 1000 + c.extended);
        EXPECT_EQ(h.originalSize, 123456u);
        EXPECT_EQ(h.crc, 0xBEEFu);
        EXPECT_STREQ(h.fileName, c.fileName);
        EXPECT_STREQ(h.directoryName, c.directoryName);
        EXPECT_EQ(h.extendedSize, c.extended);
        // The data starts right behind the header; the next member at S + 2 + packed.
        EXPECT_EQ(std::size_t(rb.dataStart), rb.bytes.size());
        EXPECT_EQ(std::size_t(h.headerSize) + 2 + h.packedSize, rb.bytes.size() + 1000);
        std::uint32_t sum = 0;
        for (std::size_t i = 2; i < std::size_t(h.headerSize) + 2; ++i)
            sum += rb.bytes[i];
        EXPECT_EQ(rb.bytes[1], std::uint8_t(sum)) << "header checksum";
        EXPECT_EQ(rb.bytes[19], 0x20) << "attribute";
        if (c.level == 1) {
            EXPECT_EQ(rb.bytes[std::size_t(h.headerSize) - 1], 'M') << "operating system";
        }
    }
}

class DosTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        savedTz = tz != nullptr ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override
    {
        if (hadTz)
            setenv("TZ", savedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string savedTz;
    bool hadTz = false;
};

TEST_F(DosTime, LocalTimeInTwoSecondStepsWithinTheDosRange)
{
    struct Case {
        std::int64_t time;
        std::uint16_t date;
        std::uint16_t dosTime;
    };
    const Case cases[] = {
        {0, (0 << 9) | (1 << 5) | 1, 0},                       // before 1980: its first day
        {315532800, (0 << 9) | (1 << 5) | 1, 0},               // 1980-01-01 00:00:00
        {1718064001, (44 << 9) | (6 << 5) | 11, 0},            // 2024-06-11 00:00:01
        {1718113199, (44 << 9) | (6 << 5) | 11, (13 << 11) | (39 << 5) | 29},  // 13:39:59
        {4354819200LL, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},  // 2108: the last day
    };
    for (const Case& c : cases) {
        std::uint16_t date = 0;
        std::uint16_t dosTime = 0;
        lzhpack::DosTimeStamp(time_t(c.time), date, dosTime);
        EXPECT_EQ(date, c.date) << c.time;
        EXPECT_EQ(dosTime, c.dosTime) << c.time;
    }
}

TEST(StoredNames, RefusedWhenTheReaderOrWindowsWouldChangeThem)
{
    struct Case {
        std::string directory;
        std::string name;
        int level;
        bool ok;
    };
    const std::string n101(101, 'N');
    const Case cases[] = {
        {"", "QUOVA.EXE", 1, true},
        {"", "READ ME.TXT", 1, false},        // a space becomes '_'
        {"", "na\xC3\xAFve.txt", 1, false},   // not ASCII
        {"", "a:b", 1, false},
        {"", "tab\there", 0, false},
        {"DOC/E N", "A.TXT", 1, false},
        {"", n101, 1, true},
        {"", n101 + "N", 1, false},
        {"", n101, 0, true},
        {"D", std::string(99, 'N'), 0, true},          // D\ + 99 = 101
        {"D", std::string(100, 'N'), 0, false},
        {std::string(199, 'D'), "A", 1, true},         // 199 + separator = 200
        {std::string(200, 'D'), "A", 1, false},
    };
    for (const Case& c : cases) {
        std::string message;
        PackInput in{"src/" + c.name, c.directory, c.name};
        int status = lzhpack::CheckStoredName(in, c.level, message);
        EXPECT_EQ(status == lzhpack::kPackOk, c.ok) << c.directory << "|" << c.name << " level " << c.level;
        if (!c.ok) {
            EXPECT_NE(message.find("src/"), std::string::npos) << "the message names the file: " << message;
        }
    }
}

class ScratchTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/packtest.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { ASSERT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0); }
    void File(const std::string& rel)
    {
        std::string path = root + "/" + rel;
        std::string folder = path.substr(0, path.rfind('/'));
        ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
        std::ofstream(path) << rel;
    }
    std::string root;
};

TEST_F(ScratchTree, FolderFilesInByteOrderOfTheirPaths)
{
    for (const char* rel : {"b", "a/z", "a.txt", "B2", "a/y/x"})
        File(rel);
    std::vector<PackInput> inputs;
    std::string message;
    ASSERT_EQ(lzhpack::CollectInputs({root}, inputs, message), lzhpack::kPackOk) << message;
    std::vector<std::string> got;
    for (const PackInput& in : inputs)
        got.push_back(in.directory + "|" + in.name);
    EXPECT_EQ(got, (std::vector<std::string>{"|B2", "|a.txt", "a/y|x", "a|z", "|b"}));
}

TEST_F(ScratchTree, NamesThatDifferOnlyInCaseAreRefused)
{
    File("x.txt");
    File("X.TXT");
    std::vector<PackInput> inputs;
    std::string message;
    EXPECT_EQ(lzhpack::CollectInputs({root}, inputs, message), lzhpack::kPackBadName);
    EXPECT_NE(message.find(".txt"), std::string::npos) << message;
}

}  // namespace
