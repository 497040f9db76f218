// lzhpack in process: its -lh5- streams decoded by the installer's decoder,
// its headers read back by the installer's header reader, its time stamps,
// the names it stores and the order it stores them in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "ArchiveWriter.h"
#include "Craft.h"
#include "Lh5Encoder.h"

namespace {

Bytes Pack(const Bytes& in)
{
    Bytes out;
    lzhpack::EncodeLh5(in.data(), static_cast<std::uint32_t>(in.size()), out);
    return out;
}

void ExpectDecodes(const Bytes& packed, const Bytes& in, const std::string& what)
{
    DecodeRun run = Decode(packed, static_cast<std::uint32_t>(in.size()), Crc(in));
    EXPECT_EQ(run.result, kDecodeOk) << what << ": " << DecodeReasonText(run.reason);
    EXPECT_TRUE(run.output == in) << what << ": " << run.output.size() << " of " << in.size() << " bytes";
}

// Random bytes, or random picks from the words given.
Bytes Random(std::size_t size, std::uint32_t seed, std::vector<std::string> words = {})
{
    Bytes out;
    while (out.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        const std::string& w = words.empty() ? std::string(1, char(seed >> 24)) : words[(seed >> 24) % words.size()];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(size);
    return out;
}

Bytes Words(std::size_t size, std::uint32_t seed)
{
    return Random(size, seed, {"archive ", "member ", "the ", "window ", "of ", "install\r\n", "a ", "Quova "});
}

TEST(Encoder, EveryKindOfInputComesBackWhole)
{
    const Bytes window = Random(8193, 21);
    const struct {
        const char* label;
        Bytes data;
    } cases[] = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"text", Words(40000, 1)},
        {"a program", Random(40000, 3, {"\x55\x48\x89\xe5", "\xe8\x01", "\xc3", "\x8b\x45\xfc", "\xff\xff"})},
        {"zeros", Bytes(100000, 0)},
        {"a window of text and a byte", Words(8193, 4)},
        {"past 64 KiB", Words(65537, 5)},
        {"many blocks", Words(100000, 6) + Random(30000, 7) + Words(100000, 8)},
        {"symbols 19 apart", Random(20000, 9, {"A", "U"})},   // 19 zero lengths between them
        {"a repeat a whole window back", Bytes(window.begin() + 1, window.end()) + Bytes(window.begin() + 1, window.begin() + 301)},
        {"a repeat one byte farther", window + Bytes(window.begin(), window.begin() + 300)},
    };
    for (const auto& c : cases)
        ExpectDecodes(Pack(c.data), c.data, c.label);
}

TEST(PackHeaders, ReadBackByTheInstaller)
{
    const struct {
        int level;
        lzhpack::PackInput input;
        const char* fileName;
        const char* directory;
        std::uint32_t folderRecord;   // counted in the packed size
    } cases[] = {
        {0, {"x", "", "QUOVA.EXE"}, "QUOVA.EXE", "", 0},
        {0, {"x", "DOC/EN", "READ.ME"}, "DOC\\EN\\READ.ME", "", 0},
        {1, {"x", "", "QUOVA.EXE"}, "QUOVA.EXE", "", 0},
        {1, {"x", "DOC/EN", "READ.ME"}, "READ.ME", "DOC\\EN\\", 3 + 7},
    };
    for (const auto& c : cases) {
        const Bytes header = lzhpack::BuildMemberHeader(c.input, {"-lh5-", 1000, 123456, 0x1234, 0x58CB, 0xBEEF}, c.level);
        const Bytes archive = header + Bytes(1000, 0xAA);
        MemberHeader h;
        MemoryStream stream(archive.data(), static_cast<std::uint32_t>(archive.size()));
        ASSERT_EQ(ReadMemberHeader(h, stream), kHeaderRead) << c.fileName;
        EXPECT_EQ(h.packedSize, 1000 + c.folderRecord) << c.fileName;
        EXPECT_EQ(h.originalSize, 123456u);
        EXPECT_EQ(h.crc, 0xBEEFu);
        EXPECT_STREQ(h.fileName, c.fileName);
        EXPECT_STREQ(h.directoryName, c.directory);
        EXPECT_EQ(static_cast<std::size_t>(stream.Position()), header.size()) << c.fileName << ": data start";
        std::uint8_t sum = 0;
        for (int i = 2; i < h.headerSize + 2; ++i)
            sum = static_cast<std::uint8_t>(sum + archive[static_cast<std::size_t>(i)]);
        EXPECT_EQ(archive[1], sum) << c.fileName << ": checksum";
    }
}

TEST(StoredNames, RefusedWhereTheInstallerOrWindowsWouldChangeThem)
{
    const std::string n101(101, 'N'), d199(199, 'D');
    const struct {
        std::string directory, name;
        int level;
        bool ok;
    } cases[] = {
        {"", "QUOVA.EXE", 1, true},          {"", "READ ME.TXT", 1, false}, {"", "na\xC3\xAFve.txt", 1, false},
        {"", "a:b", 1, false},               {"DOC/E N", "A.TXT", 1, false}, {"", n101, 1, true},
        {"", n101 + "N", 1, false},          {"D", std::string(99, 'N'), 0, true},   // D\ and 99: 101
        {"D", std::string(100, 'N'), 0, false}, {d199, "A", 1, true},   // and its separator: 200
        {d199 + "D", "A", 1, false},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(lzhpack::CheckStoredName({"src/" + c.name, c.directory, c.name}, c.level, message) == lzhpack::kPackOk, c.ok)
            << c.directory << "|" << c.name << " level " << c.level;
    }
}

// In UTC, in a scratch folder.
class PackFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = std::getenv("TZ") ? std::getenv("TZ") : "";
        setenv("TZ", "UTC0", 1);
        tzset();
        std::filesystem::remove_all(root);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(root);
        saved.empty() ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1);
        tzset();
    }
    void File(const std::string& relative)
    {
        const std::filesystem::path path = std::filesystem::path(root) / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << relative;
    }
    std::string saved, root = (std::filesystem::temp_directory_path() / ("zv-pack-" + std::to_string(getpid()))).string();
};

constexpr std::uint16_t DosDate(int year, int month, int day) { return std::uint16_t(((year - 1980) << 9) | (month << 5) | day); }

TEST_F(PackFolder, DosTimeStampsInTwoSecondStepsFrom1980To2107)
{
    const struct {
        std::int64_t time;
        std::uint16_t date, dosTime;
    } cases[] = {
        {0, DosDate(1980, 1, 1), 0},
        {315532800, DosDate(1980, 1, 1), 0},
        {1718113199, DosDate(2024, 6, 11), (13 << 11) | (39 << 5) | 29},   // 13:39:59
        {1733529600, DosDate(2024, 12, 7), 0},
        {4354819200LL, DosDate(2107, 12, 31), (23 << 11) | (59 << 5) | 29},
    };
    for (const auto& c : cases) {
        std::uint16_t date = 0, dosTime = 0;
        lzhpack::DosTimeStamp(time_t(c.time), date, dosTime);
        EXPECT_EQ(date, c.date) << c.time;
        EXPECT_EQ(dosTime, c.dosTime) << c.time;
    }
}

TEST_F(PackFolder, FilesInByteOrderOfTheirPathsAndNoCaseClashes)
{
    const struct {
        std::vector<const char*> files;
        int status;
        const char* order;
    } cases[] = {
        {{"b", "a/z", "a.txt", "B2", "a/y/x"}, lzhpack::kPackOk, "|B2 |a.txt a/y|x a|z |b "},
        {{"x.txt", "X.TXT"}, lzhpack::kPackBadName, ""},
        {{"z", "Z"}, lzhpack::kPackBadName, ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(root);
        for (const char* file : c.files)
            File(file);
        std::vector<lzhpack::PackInput> inputs;
        std::string message, order;
        EXPECT_EQ(lzhpack::CollectInputs({root}, inputs, message), c.status) << message;
        for (const lzhpack::PackInput& in : inputs)
            order += in.directory + "|" + in.name + " ";
        EXPECT_EQ(order, c.status == lzhpack::kPackOk ? c.order : order);
    }
}

}  // namespace
