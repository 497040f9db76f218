// The engine on crafted input, a table for each of: member headers, member
// paths, the member walk, the -lh5- decoder on good and on hostile streams;
// on the host, also where only the host layer's hooks can lead it: resource
// and allocation faults, short writes, code page 932, links, time zones.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <functional>

#include "Craft.h"
#include "Globals.h"
#ifndef _WIN32
#include "HostHooks.h"
#endif

namespace {

// A level-1 header whose extended records are these bytes.
Bytes Chained(const Bytes& chain, bool close = true)
{
    Member m = Stored("NNN", "data");
    m.extended = chain;
    m.closeChain = close;
    return Encode(m);
}

const Bytes kWrappingChain = {0x05, 0x00, 0x40, 0x00, 0x00, 0xFB, 0xFF, 0x40};  // 5 + 0xFFFB wraps to 0

struct HeaderCase {
    const char* label;
    Bytes bytes;
    int result;
    std::string fileName = "", directory = "";  // checked when the header is read
    std::size_t cut = 0;  // bytes at the end left out of the stream, though still in memory behind it
};

TEST(Headers, ReadOrRefused)
{
    const std::string n100(100, 'N'), n101(101, 'N'), d200(200, 'D');
    const HeaderCase cases[] = {
        {"level 0, a space becomes _", Encode(Stored("READ ME.TXT", "data", 0)), kHeaderRead, "READ_ME.TXT"},
        {"base name of 101 bytes", Encode(Stored(n101, "data", 0)), kHeaderRead, n101},
        {"base name of 102 bytes", Encode(Stored(n101 + "N", "data", 0)), kHeaderBroken},
        {"extended name of 100 bytes", Chained(Record(1, Text(n100))), kHeaderRead, n100},
        {"extended name of 101 bytes", Chained(Record(1, Text(n101))), kHeaderBroken},
        {"extended name with control bytes", Chained(Record(1, Text("A B\tC"))), kHeaderRead, "A_B_C"},
        {"directory", Encode(WithDirectory(Stored("NNN", "data"), "DOC\\EN\\")), kHeaderRead, "NNN", "DOC\\EN\\"},
        {"directory with a space", Encode(WithDirectory(Stored("NNN", "data"), "MY DOCS\\")), kHeaderRead, "NNN",
         "MY_DOCS\\"},
        {"directory converted up to a control byte", Chained(Record(2, {'A', 0xFF, 1, 0xFF, ' '})), kHeaderRead, "NNN",
         "A\\\x01\xff "},
        {"directory of 0 bytes", Chained(Record(2, {})), kHeaderBroken},
        {"directory of 200 bytes", Chained(Record(2, Text(d200))), kHeaderRead, "NNN", d200},
        {"directory of 201 bytes", Chained(Record(2, Text(d200 + "D"))), kHeaderBroken},
        {"unknown record stepped over", Chained(Record(0x40, Text("UNIX"))), kHeaderRead, "NNN"},
        {"name record of size 2", Chained({2, 0, 1, 0}), kHeaderBroken},
        {"directory record of size 1", Chained({1, 0, 2}), kHeaderBroken},
        {"records of 65535 bytes in all", Chained(Record(0x40, Bytes(65532, 'x'))), kHeaderRead, "NNN"},
        {"record sizes that wrap past 65535", Chained(kWrappingChain, false), kHeaderBroken},
        {"records ending 2 bytes past 65535", Chained(Record(0x40, Bytes(65532, 'x')) + Bytes{2, 0, 0, 0}, false),
         kHeaderBroken},
        {"records running off the data", Chained({0x40, 0, 0x40}, false), kHeaderBroken},
        {"level 2", Encode(Stored("NAME", "data", 2)), kHeaderLevel},
        {"end of archive", {0}, kHeaderEnd},
        {"data ending inside the method", {0x16, 0, '-', 'l', 'h'}, kHeaderDry},
        {"data ending one byte before a level-0 header's end", Encode(Stored("N", "data", 0)), kHeaderBroken, "", "",
         5},
    };
    for (const HeaderCase& c : cases) {
        MemberHeader h;
        std::memset(&h, 0x5A, sizeof h);  // no field may keep what was there before
        MemoryStream s(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size() - c.cut));
        EXPECT_EQ(ReadMemberHeader(h, s), c.result) << c.label;
        if (c.result == kHeaderRead) {
            EXPECT_EQ(h.fileName, c.fileName) << c.label;
            EXPECT_EQ(h.directoryName, c.directory) << c.label;
            EXPECT_EQ(s.Position(), static_cast<std::int32_t>(c.bytes.size()) - 4) << c.label << ": data start";
        }
    }
}

struct PathCase {
    const char* directory;  // a directory record (level 1 only)
    const char* name;
    PathVerdict verdict;
};

const PathCase kPathCases[] = {
    {"", "..\\X", PathVerdict::ParentComponent},
    {"", "../X", PathVerdict::ParentComponent},
    {"", "A\\..\\..\\X", PathVerdict::ParentComponent},
    {"", "D/.../T.TXT", PathVerdict::ParentComponent},
    {"", "..", PathVerdict::ParentComponent},
    {"A\\..\\", "X", PathVerdict::ParentComponent},
    {".", ".\\X", PathVerdict::ParentComponent},       // "." and ".\X" join to "..\X"
    {"\x01/. ./", "X", PathVerdict::ParentComponent},  // spaces are kept behind a control byte
    {"", "C:X", PathVerdict::Colon},
    {"", "A.TXT:STREAM", PathVerdict::Colon},
    {"C:\\", "X", PathVerdict::Colon},
    {"", "\\\\?\\C:\\X", PathVerdict::Colon},
    {"", "\\??\\C:\\X", PathVerdict::Colon},
    {"", "CON", PathVerdict::DeviceName},
    {"", "nul.tar.gz", PathVerdict::DeviceName},
    {"\x01/Com1 .log/", "X", PathVerdict::DeviceName},
    {"", "LPT9", PathVerdict::DeviceName},
    {"", "aux.", PathVerdict::DeviceName},
    {"PRN\\", "X", PathVerdict::DeviceName},
    {"D\\CoM5\\", "X", PathVerdict::DeviceName},
    {"", "CONX", PathVerdict::Accepted},
    {"", "COM0", PathVerdict::Accepted},
    {"", "COM10", PathVerdict::Accepted},
    {"", "X..Y", PathVerdict::Accepted},
    {".\\", "X", PathVerdict::Accepted},
    {"\\TOP\\", "X", PathVerdict::Accepted},
};

// Form 0: a level-0 name; 1: a level-1 base name; 2: an extended name.
Member PathMember(const PathCase& c, int form)
{
    Member m = Stored(form == 2 ? "IGNORED" : c.name, "payload", form == 0 ? 0 : 1);
    if (c.directory[0] != '\0')
        m = WithDirectory(m, c.directory);
    if (form == 2)
        m.extended = m.extended + Record(1, Text(c.name));
    return m;
}

TEST(Paths, RefusedMembersLeaveNothingAndTheWalkGoesOn)
{
    for (const PathCase& c : kPathCases) {
        for (int form = c.directory[0] != '\0' ? 1 : 0; form < 3; ++form) {
            const std::string label = std::string(c.directory) + "|" + c.name + " form " + std::to_string(form);
            ScratchFolder f;
            Walk walk = RunMembers(Archive({PathMember(c, form), Stored("LATER", "later")}), f.Win32());
            EXPECT_EQ(walk.result, c.verdict == PathVerdict::Accepted ? kResultOk : kResultBrokenFile) << label;
            EXPECT_EQ(f.Read("LATER"), "later") << label;
            EXPECT_EQ(walk.verdicts.at(0), c.verdict) << label;
            EXPECT_EQ(f.CountEntries() > 1, c.verdict == PathVerdict::Accepted)
                << label << ": written, or nothing made for it";
        }
    }
}

// A target of 255 bytes is written; one byte more is refused, never cut.
TEST(Paths, TargetsUpTo255Bytes)
{
    const std::string folder = std::string(149, 'F') + "\\";
    for (std::size_t name : {105u, 106u}) {
        MemberHeader h;
        std::strcpy(h.directoryName, "\\");  // its leading separator is dropped
        std::strcpy(h.fileName, std::string(name, 'n').c_str());
        char room[kPathRoom + 8];  // a byte written past the target must not hurt the test
        EXPECT_EQ(BuildTargetPath(folder.c_str(), h, reinterpret_cast<char(&)[kPathRoom]>(room)),
                  name == 105 ? PathVerdict::Accepted : PathVerdict::TooLong)
            << name;
    }
}

Member Damaged(Member m, std::uint16_t crcFlip, std::uint32_t originalSize = 0, std::int64_t packedSize = -1)
{
    m.crc ^= crcFlip;
    m.originalSize = originalSize ? originalSize : m.originalSize;
    m.packedSize = packedSize;
    return m;
}

// A packed size that wraps the next header's position back to this one.
Member PointingBack(Member m)
{
    m.packedSize = 0x100000000LL - (Encode(m)[0] + 2);
    return m;
}

const char* const kOld = "an older, longer file";

struct WalkCase {
    const char* label;
    Bytes archive;
    int result;
    std::vector<std::pair<std::string, const char*>> files;  // content; null: must not exist
    std::vector<const char*> planted = {};                   // files there before
};

TEST(Walk, MembersWrittenOrPassedOver)
{
    Member other = Stored("OTHER", "copied as it is");
    other.method = "-lzs-";
    const std::string big(10241, 'b');
    Bytes cut = Archive({Stored("FIRST", "1"), Stored("CUT", std::string(100, 'c'))}, false);
    cut.resize(cut.size() - 40);
    Member six = Packed("SIX", std::string(300, '6')), middle = Packed("MIDDLE", std::string(300, 'm'));
    six.method = "-lh6-";
    middle.packedSize = std::int64_t(middle.data.size()), middle.data.resize(middle.data.size() - 30);
    const WalkCase cases[] = {
        {"every kind of member",
         Archive({Packed("A.TXT", "packed"), Stored("S.BIN", "stored"), Packed("SUB\\C.TXT", "level 0", 0),
                  Stored("D/E.TXT", "slash", 0), WithDirectory(Packed("B.TXT", "in DOC\\EN"), "DOC\\EN\\"),
                  WithDirectory(Stored("", ""), "ONLY\\"), Stored("EMPTY", ""), Stored("BIN\\", "", 0)}),
         kResultOk,
         {{"A.TXT", "packed"},
          {"S.BIN", "stored"},
          {"SUB\\C.TXT", "level 0"},
          {"D\\E.TXT", "slash"},
          {"DOC\\EN\\B.TXT", "in DOC\\EN"},
          {"ONLY", nullptr},
          {"EMPTY", ""},
          {"BIN", "/"}}},
        {"no end byte", Archive({Stored("X", "x")}, false), kResultOk, {{"X", "x"}}},
        {"2045 bytes before the first header", Bytes(2045, 'j') + Archive({Stored("F", "f")}), kResultOk, {{"F", "f"}}},
        {"2046 bytes before the first header",
         Bytes(2046, 'j') + Archive({Stored("F", "f")}),
         kResultNotArchive,
         {{"F", nullptr}}},
        {"an empty archive", {0}, kResultNotArchive, {}},
        {"no archive", Text("a text - with hyphens -l"), kResultNotArchive, {}},
        {"hyphens that start no method",
         Text("-x- -la5- -lhab --") + Archive({Stored("F", "f")}),
         kResultOk,
         {{"F", "f"}}},
        {"data ending in -l before a header of size 104",
         Archive({Stored("DASH", "-l"), Stored(std::string(82, 'N'), "found", 0)}),
         kResultOk,
         {{"DASH", "-l"}, {std::string(82, 'N'), "found"}}},
        {"stored members",
         Archive({Stored("BIG", big), Damaged(Stored("BADCRC", "x"), 0x0101), Damaged(Stored("LARGE", "12345"), 0, 6),
                  other}),
         kResultBrokenFile,
         {{"BIG", big.c_str()}, {"BADCRC", nullptr}, {"LARGE", nullptr}, {"OTHER", "copied as it is"}}},
        {"stored member cut short by the payload's end", cut, kResultBrokenFile, {{"FIRST", "1"}, {"CUT", nullptr}}},
        {"-lh6- copied as stored",
         Archive({six, Stored("NEXT", "n")}),
         kResultBrokenFile,
         {{"SIX", nullptr}, {"NEXT", "n"}}},
        {"a middle member cut short",
         Archive({Stored("A", "a"), middle, Stored("C", "c")}),
         kResultBrokenFile,
         {{"A", "a"}, {"MIDDLE", nullptr}}},
        {"a packed size one byte long",
         Archive({Damaged(Stored("A", "a"), 0, 0, 2), Stored("B", "b")}),
         kResultBrokenFile,
         {{"A", "a"}, {"B", "b"}}},
        {"a packed size past the payload's end",
         Archive({Damaged(Stored("A", "a"), 0, 0, 99), Stored("B", "b")}),
         kResultBrokenFile,
         {{"A", "a"}, {"B", nullptr}}},
        {"a packed size into a later member's data",
         Archive({Damaged(Stored("A", "a"), 0, 0, 60), Stored("P", std::string(3000, 'p'))}),
         kResultBrokenFile,
         {{"A", "a"}, {"P", nullptr}}},
        {"a target of 256 bytes or more",
         Archive({WithDirectory(Stored(std::string(60, 'N'), "n"), std::string(200, 'D')), Stored("B", "b")}),
         kResultWriteError,
         {{"B", "b"}}},
        {"decoded members",
         Archive({Damaged(Packed("BADCRC", "wrong CRC"), 0x8000), Packed("GOOD", "fine"),
                  Damaged(Packed("SHORT", std::string(3000, 'q')), 0, 50000)}),
         kResultBrokenFile,
         {{"BADCRC", nullptr}, {"GOOD", "fine"}, {"SHORT", nullptr}}},
        {"a file where a stored member's directory goes",
         Archive({Stored("X\\Z.TXT", "z", 0), Stored("NEVER", "n")}),
         kResultWriteError,
         {{"X", kOld}, {"NEVER", nullptr}},
         {"X"}},
        {"a file where a decoded member's directory goes",
         Archive({Packed("X\\Y.TXT", "y", 0), Stored("NEVER", "n")}),
         kResultWriteError,
         {{"X", kOld}, {"NEVER", nullptr}},
         {"X"}},
        {"longer files overwritten",
         Archive({Stored("OLD.TXT", "new"), Packed("OLD.LH5", "new")}),
         kResultOk,
         {{"OLD.TXT", "new"}, {"OLD.LH5", "new"}},
         {"OLD.TXT", "OLD.LH5"}},
        {"a packed size leading back to the same header",
         Archive({Stored("PRE", "p"), PointingBack(Stored("LOOP", "once"))}),
         kResultBrokenFile,
         {{"PRE", "p"}, {"LOOP", "once"}}},
        {"record sizes that wrap",
         Archive({Stored("BEFORE", "b")}, false) + Chained(kWrappingChain, false),
         kResultBrokenFile,
         {{"BEFORE", "b"}, {"NNN", nullptr}}},
        {"level 2 ends the walk",
         Encode(Stored("FIRST", "1")) + Encode(Stored("HIGH", "h", 2)) + Archive({Stored("LATER", "l")}),
         kResultUnknownType,
         {{"FIRST", "1"}, {"HIGH", nullptr}, {"LATER", nullptr}}},
    };
    for (const WalkCase& c : cases) {
        ScratchFolder f;
        for (const char* name : c.planted)
            std::ofstream(f.Native(name)) << kOld;
        EXPECT_EQ(RunMembers(c.archive, f.Win32()).result, c.result) << c.label;
        for (const auto& [name, content] : c.files)
            EXPECT_EQ(f.Read(name), content ? std::optional<std::string>(content) : std::nullopt)
                << c.label << ": " << name;
    }
}

Block Of(const std::vector<Token>& tokens, Code symbols = Flat(510), Code offsets = Flat(14), Code small = Flat(19))
{
    return Block{-1, symbols, offsets, small, tokens};
}

// The decoder through its interface's slot operations alone, as Extract's
// loop would call them: `size` bytes, the window's spaces before the start.
Bytes DecodeBySlots(const Bytes& data, std::size_t size)
{
    MemoryStream stream(data.data(), static_cast<std::uint32_t>(data.size()));
    Lh5Decoder* decoder = new (std::nothrow) Lh5Decoder(stream);
    LzhDecoder& slots = *decoder;
    Bytes out;
    for (slots.BeginDecode(); out.size() < size && decoder->status == 0;) {
        const int s = slots.DecodeSymbol();
        const long distance = s < 256 ? -1 : slots.DecodeOffset();  // a literal: itself, once
        for (int k = 0; k < (s < 256 ? 1 : s - 253) && out.size() < size; ++k) {
            const long from = static_cast<long>(out.size()) - distance - 1;
            out.push_back(distance < 0 ? static_cast<std::uint8_t>(s)
                          : from >= 0  ? out[static_cast<std::size_t>(from)]
                                       : ' ');
        }
    }
    DeleteDecoder(decoder);
    return out;
}

TEST(Decoder, OutputMatchesTheModel)
{
    std::vector<Token> everyOffset = Counting(5000), farAway = Counting(8200);
    for (int d : {0, 1, 2, 3, 5, 12, 31, 60, 100, 255, 511, 1000, 2047, 4095, 4999})
        everyOffset.push_back(Match(3 + d % 250, d));
    for (int low = 0; low < 12; ++low)
        farAway =
            farAway + std::vector<Token>{Lit(low), Match(3 + low, 8191 - (1 << low)), Match(4, 4096 - (1 << low))};
    Block full = Of(std::vector<Token>(65536, Lit('a')), Single('a'));  // 65,536 symbols: a block size of 0
    full.size = 0;
    Code deep{std::vector<int>(510, 0)};  // lengths 1 to 15, and 16 twice: codes longer than the table
    for (int i = 0; i < 17; ++i)
        deep.lengths['a' + i] = std::min(i + 1, 16);
    const struct {
        const char* label;
        std::vector<Block> blocks;
        std::size_t size = SIZE_MAX;
    } cases[] = {
        {"a match before the start copies the window's spaces", {Of({Match(5, 3), Lit('x')})}},
        {"length 256 at distance 0", {Of(Literals("ab") + std::vector<Token>{Match(256, 0)})}},
        {"a distance shorter than the length repeats", {Of(Literals("abc") + std::vector<Token>{Match(20, 2)})}},
        {"ahead in the first pass: spaces",
         {Of(Literals("xy") + std::vector<Token>{Match(20, 5000), Match(16, 7000)})}},
        {"ahead after the first pass", {Of(Counting(8300) + std::vector<Token>{Match(20, 5000), Match(16, 7000)})}},
        {"distance 8191 after a full window",
         {Of(Counting(8192) + std::vector<Token>{Match(3, 8191), Match(9, 8191)})}},
        {"a last match cut at the member's size", {Of(Literals("0123456789") + std::vector<Token>{Match(100, 9)})}, 57},
        {"a window flush inside a match", {Of(Counting(8100) + std::vector<Token>{Match(200, 50)})}},
        {"every offset code", {Of(everyOffset)}},
        {"offset codes of 8 bits and 12 extra bits",
         {Of(farAway, Flat(510), Code{{1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0, 0, 8, 8}})}},
        {"an unused offset value outside the code", {Of(Literals("ok"), Flat(510), Single(15))}},
        {"blocks share the window", {Of(Literals("the quick brown fox ")), Of({Match(19, 19), Lit('!')})}},
        {"a block size of 0 counts 65,536 symbols", {full, Of({Lit('b'), Lit('b')}, Single('b'))}},
        {"count-0 codes spend no bits", {Of(std::vector<Token>(30, Match(10, 0)), Single(263), Single(0))}},
        {"literal codes of 13 to 16 bits", {Of(Literals("qponmlkjihgfedcba"), deep)}},
    };
    for (const auto& c : cases) {
        const Bytes expected = Expected(c.blocks, c.size);
        DecodeRun run = Decode(EncodeBlocks(c.blocks), static_cast<std::uint32_t>(expected.size()), Crc(expected));
        EXPECT_EQ(run.result, kDecodeOk) << c.label << ": " << DecodeReasonText(run.reason);
        EXPECT_TRUE(run.output == expected) << c.label;
        EXPECT_TRUE(DecodeBySlots(EncodeBlocks(c.blocks), expected.size()) == expected)
            << c.label << ": slot operations";
    }
}

// Bits and then enough bytes that the damage, not the data's end, stops the decoder.
Bytes Bits(const std::function<void(BitWriter&)>& put)
{
    BitWriter w;
    put(w);
    return w.Finish() + Bytes(8, 0x5A);
}

Bytes HeaderOf(const Block& block)
{
    return Bits([&](BitWriter& w) { PutBlockHeader(w, block); });
}

Bytes LengthsOf(const Code& small, int count, const std::function<void(BitWriter&)>& entries)
{
    return Bits([&](BitWriter& w) { w.Put(1, 16), PutSmallCode(w, small, 5, true), w.Put(count, 9), entries(w); });
}

TEST(Decoder, DamageEndsTheMemberWithFour)
{
    const Code small = Flat(19);
    Code longSmall = small, longOffset = Flat(14);
    longSmall.lengths[1] = longOffset.lengths[1] = 17;
    const Block text = Of(Counting(2000) + std::vector<Token>{Match(40, 7), Match(30, 1000)});
    const Bytes bits = EncodeBlocks({text}), out = Expected({text});
    const std::uint32_t size = static_cast<std::uint32_t>(out.size());
    Block endless = Of({}, Single('a'), Single(0));
    endless.size = 0;
    const Bytes endlessBits = HeaderOf(endless);
    const struct {
        const char* label;
        Bytes data;
        DecodeReason reason;
        std::uint32_t size = 40;
        std::uint16_t crc = 0;
    } cases[] = {
        {"literal/length count 511", LengthsOf(small, 511, [](BitWriter&) {}), DecodeReason::CountTooLarge},
        {"zero runs past 510 lengths",
         LengthsOf(small, 510,
                   [&](BitWriter& w) {
                       PutSymbol(w, small, 1), w.Put(0, 4), PutSymbol(w, small, 2), w.Put(511, 9),
                           PutSymbol(w, small, 2), w.Put(511, 9);
                   }),
         DecodeReason::RunPastEnd},
        {"literal/length lengths all zero",
         LengthsOf(small, 3,
                   [&](BitWriter& w) {
                       PutSymbol(w, small, 0), PutSymbol(w, small, 0), PutSymbol(w, small, 0),
                           PutSmallCode(w, Flat(14), 4, false);
                   }),
         DecodeReason::InvalidCode},
        {"single symbol 510", HeaderOf(Of({Lit(0)}, Single(510), Single(0))), DecodeReason::InvalidCode},
        {"single offset value 14 in use", HeaderOf(Of({Lit(0)}, Single(256), Single(14))), DecodeReason::InvalidCode},
        {"single code-length value 19",
         Bits([](BitWriter& w) { w.Put(1, 16), w.Put(0, 5), w.Put(19, 5), w.Put(3, 9); }), DecodeReason::InvalidCode},
        {"incomplete literal/length code", HeaderOf(Of({}, Code{{1}})), DecodeReason::IncompleteCode},
        {"over-full literal/length code", HeaderOf(Of({}, Code{{1, 1, 1}})), DecodeReason::OversubscribedCode},
        {"incomplete offset code", HeaderOf(Of({}, Flat(510), Code{{1, 2, 3}})), DecodeReason::IncompleteCode},
        {"code-length length 17", Bits([&](BitWriter& w) { w.Put(1, 16), PutSmallCode(w, longSmall, 5, true); }),
         DecodeReason::LengthTooLong},
        {"offset length 17", HeaderOf(Of({}, Flat(510), longOffset)), DecodeReason::LengthTooLong},
        {"data one byte short", Bytes(bits.begin(), bits.end() - 1), DecodeReason::DataExhausted, size, Crc(out)},
        {"4 GiB declared over 10 bytes", Bytes(endlessBits.begin(), endlessBits.begin() + 10),
         DecodeReason::DataExhausted, 0xFFFFFFFFu},
        {"wrong CRC", bits, DecodeReason::CrcMismatch, size, static_cast<std::uint16_t>(Crc(out) ^ 1)},
        {"no output and a CRC not 0", {0x12, 0x34}, DecodeReason::CrcMismatch, 0, 1},
    };
    for (const auto& c : cases) {
        DecodeRun run = Decode(c.data, c.size, c.crc);
        EXPECT_EQ(run.result, kDecodeBroken) << c.label;
        EXPECT_EQ(run.reason, c.reason) << c.label << ": " << DecodeReasonText(run.reason);
    }
}

#ifndef _WIN32

// Two decoded members and a stored one; a run allocates the stream, then per
// member the decoder and its window, or the copy buffer.
TEST(Host, PayloadFaults)
{
    const Bytes payload = Archive({Packed("A", "a"), Packed("B", "b"), Stored("S", "s")});
    const struct {
        HostResourceFault fault;
        int failedAllocation, result;
        const char* written;
    } cases[] = {
        {HostResourceFault::None, 0, kResultOk, "ABS"},
        {HostResourceFault::Load, 0, kResultNotArchive, ""},
        {HostResourceFault::Lock, 0, kResultMemoryError, ""},
        {HostResourceFault::None, 1, kResultMemoryEmpty, ""},    // the stream
        {HostResourceFault::None, 2, kResultMemoryEmpty, ""},    // the first decoder
        {HostResourceFault::None, 3, kResultMemoryError, "BS"},  // its window: that member alone is lost
        {HostResourceFault::None, 4, kResultMemoryEmpty, "A"},   // the second decoder
        {HostResourceFault::None, 6, kResultMemoryEmpty, "AB"},  // the copy buffer
    };
    for (const auto& c : cases) {
        ScratchFolder f;
        HostRegisterPayload(payload.data(), static_cast<DWORD>(payload.size()));
        HostSetResourceFault(c.fault);
        HostFailAllocation(c.failedAllocation);
        std::strcpy(InstallFolder, (f.Win32() + "dest").c_str());
        const std::string label = std::to_string(static_cast<int>(c.fault)) + " " + std::to_string(c.failedAllocation);
        EXPECT_EQ(ExtractPayload(), c.result) << label;
        std::string written;
        for (const char* name : {"A", "B", "S"})
            written += f.Read(std::string("dest\\") + name) ? name : "";
        EXPECT_EQ(written, c.written) << label;
        EXPECT_EQ(HostLiveAllocations(), 0) << label;
        HostResetHooks();
    }
    EXPECT_EQ(ExtractPayload(), kResultNotArchive) << "no payload";
}

// 20,000 bytes: two full windows, then the rest.
TEST(Host, ShortWritesEndTheMemberWithEight)
{
    const Block block{-1, Flat(510), Flat(14), Flat(19), Counting(20000)};
    const Bytes data = EncodeBlocks({block}), expected = Expected({block});
    for (int k = 0; k < 6; ++k) {  // each write in turn: half done, or failed
        HostShortWrite(1 + k / 2, k % 2 != 0);
        DecodeRun run = Decode(data, static_cast<std::uint32_t>(expected.size()), Crc(expected));
        EXPECT_EQ(run.result, kDecodeWriteError) << k;
        EXPECT_EQ(run.reason, DecodeReason::ShortWrite) << k;
    }
}

const std::string kHyo = "\x95\x5c";  // Shift-JIS characters whose trail byte is 0x5C
const std::string kLast = "\x9f\x5c", kHigh = "\xe0\x5c", kTop = "\xfc\x5c";

TEST(Host, InstallFolderEndsInOneSeparatorWithin255Bytes)
{
    const struct {
        UINT codePage;
        std::string in, out;
    } cases[] = {
        {1252, "D:\\Tools", "D:\\Tools\\"},
        {1252, "D:\\Tools\\", "D:\\Tools\\"},
        {1252, "", "\\"},
        {1252, "D:\\" + kHyo, "D:\\" + kHyo},
        {1252, std::string(255, 'L'), std::string(254, 'L') + "\\"},
        {1252, std::string(253, 'L') + "\\x", std::string(253, 'L') + "\\"},
        {932, "D:\\" + kHyo, "D:\\" + kHyo + "\\"},  // a trail byte 0x5C is no separator
        {932, "D:\\" + kLast, "D:\\" + kLast + "\\"},
        {932, "D:\\" + kHigh, "D:\\" + kHigh + "\\"},
        {932, "D:\\" + kTop, "D:\\" + kTop + "\\"},
        {932, "D:\\\x80\xa0\xfd\\", "D:\\\x80\xa0\xfd\\"},  // no lead bytes
        {932, "D:\\A\\\x95", "D:\\A\\"},                    // half a character after a separator: dropped
        {932, "D:\\A\x95", "D:\\A\\"},                      // elsewhere: made the separator
        {932, std::string(253, 'L') + kHyo, std::string(253, 'L') + "\\"},  // the cut at 254 splits it
    };
    for (const auto& c : cases) {
        HostSetCodePage(c.codePage);
        std::memset(InstallFolder, 0, sizeof InstallFolder);
        std::memcpy(InstallFolder, c.in.data(), c.in.size());
        EnsureTrailingSeparator();
        EXPECT_EQ(std::string(InstallFolder), c.out) << c.codePage << " " << c.in;
    }
    HostSetCodePage(1252);
}

// Native paths by hand: the trail byte 0x5C must stay inside its name.
TEST(Host, DoubleByteNamesUnderCodePage932Only)
{
    Member inRecord = Packed("F", "in a record");
    inRecord.extended = Record(2, {0x95, 0x5C, 0xFF});
    const Bytes archive = Archive({Stored(kHyo + "..\\x", "x", 0), Stored(kHyo + "\\..\\y", "y", 0), inRecord});
    for (UINT codePage : {932u, 1252u}) {
        ScratchFolder f;
        HostSetCodePage(codePage);
        Walk walk = RunMembers(archive, f.Win32());
        EXPECT_EQ(std::filesystem::is_regular_file(f.root + "/" + kHyo + "../x"), codePage == 932);
        EXPECT_EQ(walk.verdicts.at(1), PathVerdict::ParentComponent) << codePage;
        EXPECT_EQ(std::filesystem::is_regular_file(f.root + "/" + kHyo + "/F"), codePage == 932);
        EXPECT_EQ(f.CountEntries(), codePage == 932 ? 4 : 2) << codePage;
    }
}

TEST(Host, LinksInsideTheFolderAreNeverFollowed)
{
    ScratchFolder outside, f;
    std::filesystem::create_directory_symlink(outside.root, f.Native("LINKDIR"));
    std::filesystem::create_symlink(outside.Native("victim"), f.Native("LINKFILE"));
    Walk walk =
        RunMembers(Archive({Packed("LINKDIR\\P", "p", 0), Stored("LINKFILE", "s"), Packed("OK", "ok")}), f.Win32());
    EXPECT_EQ(outside.CountEntries(), 0);
    EXPECT_EQ(walk.result, kResultWriteError);
    EXPECT_EQ(walk.verdicts, (std::vector<PathVerdict>{PathVerdict::Link, PathVerdict::Link, PathVerdict::Accepted,
                                                       PathVerdict::Accepted}));
    EXPECT_EQ(f.Read("OK"), "ok");
}

// Another process may put a link in place of a directory while a member in
// it is written: the next member's components are tested anew.
const ScratchFolder* Planting[2];  // the install folder, the link's target

TEST(Host, LinkPlantedBetweenMembersOfOneDirectory)
{
    ScratchFolder outside, f;
    Planting[0] = &f, Planting[1] = &outside;
    HostSetWriteObserver([](long) {
        if (std::filesystem::is_symlink(Planting[0]->Native("DIR")))
            return;
        std::filesystem::rename(Planting[0]->Native("DIR"), Planting[0]->Native("OLD"));
        std::filesystem::create_directory_symlink(Planting[1]->root, Planting[0]->Native("DIR"));
    });
    Walk walk = RunMembers(Archive({Stored("DIR\\A", "a", 0), Stored("DIR\\B", "b", 0)}), f.Win32());
    HostSetWriteObserver(nullptr);
    EXPECT_EQ(outside.CountEntries(), 0);
    EXPECT_EQ(f.Read("OLD\\A"), "a");
    EXPECT_EQ(walk.result, kResultWriteError);
}

// The stamp is local time, made UTC by the zone's offset on that date; a
// date the system refuses becomes 1980-01-01 00:00.
TEST(Host, TimeStampsFollowTheLocalZone)
{
    const std::string savedZone = std::getenv("TZ") ? std::getenv("TZ") : "";
    constexpr std::uint16_t kFebruary = (21 << 9) | (2 << 5) | 3, kJuly = (21 << 9) | (7 << 5) | 3;
    constexpr std::uint16_t kNoon = (12 << 11) | (34 << 5) | 28;
    const char* const kCet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const struct {
        const char* zone;
        std::uint16_t date, time;
        long utc;
    } cases[] = {
        {"UTC0", kFebruary, kNoon, 981203696L},  // 2001-02-03 12:34:56
        {"JST-9", kFebruary, kNoon, 981203696L - 9 * 3600},
        {kCet, kFebruary, kNoon, 981203696L - 3600},
        {kCet, kJuly, kNoon, 994163696L - 7200},
        {"UTC0", (20 << 9) | (2 << 5) | 29, (23 << 11) | (59 << 5) | 29, 951868798L},  // 2000-02-29 23:59:58
        {"JST-9", 0, kNoon, 315532800L - 9 * 3600},                                    // month 0
    };
    for (const auto& c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        ScratchFolder f;
        Member m = Packed("P", "p");
        m.dosDate = c.date, m.dosTime = c.time;
        RunMembers(Archive({m}), f.Win32());
        struct stat info = {};
        EXPECT_EQ(stat(f.Native("P").c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, c.utc) << c.zone << " " << c.date;
    }
    savedZone.empty() ? unsetenv("TZ") : setenv("TZ", savedZone.c_str(), 1);
    tzset();
}

#endif

}  // namespace
