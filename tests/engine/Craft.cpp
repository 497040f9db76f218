#include "Craft.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

namespace fs = std::filesystem;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::uint16_t Crc(const Bytes& data)
{
    unsigned crc = 0;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return static_cast<std::uint16_t>(crc);
}

void BitWriter::Put(std::uint32_t value, int width)
{
    for (int k = width - 1; k >= 0; --k)
        bits.push_back(((value >> k) & 1) != 0);
}

Bytes BitWriter::Finish() const
{
    Bytes out((bits.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits.size(); ++i)
        out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | (bits[i] ? 0x80 >> (i % 8) : 0));
    return out;
}

// 2^(L+1) - n symbols of L bits and the rest of L + 1 fill the code space.
Code Flat(int n)
{
    int bits = 0;
    while ((2 << bits) <= n)
        ++bits;
    Code code{std::vector<int>(static_cast<std::size_t>(n), bits + 1)};
    std::fill_n(code.lengths.begin(), (2 << bits) - n, bits);
    return code;
}

// The canonical code: by length, then by symbol.
void PutSymbol(BitWriter& w, const Code& code, int symbol)
{
    const std::vector<int>& lengths = code.lengths;
    if (lengths.empty())
        return;
    if (symbol < 0 || symbol >= static_cast<int>(lengths.size()) || lengths[symbol] == 0)
        std::abort();   // the test asked for a symbol its code does not have
    std::uint32_t next = 0;
    int previous = 0;
    for (int length = 1; length <= lengths[symbol]; ++length) {
        for (int s = 0; s < static_cast<int>(lengths.size()) && !(length == lengths[symbol] && s == symbol); ++s) {
            if (lengths[s] == length)
                next = (next << (length - previous)) + 1, previous = length;
        }
    }
    w.Put(next << (lengths[symbol] - previous), lengths[symbol]);
}

std::vector<Token> Literals(const std::string& text)
{
    std::vector<Token> t;
    for (char c : text)
        t.push_back(Lit(static_cast<std::uint8_t>(c)));
    return t;
}

std::vector<Token> Counting(int n)
{
    std::vector<Token> t;
    for (int i = 0; i < n; ++i)
        t.push_back(Lit((i * 7 + i / 256) & 0xFF));
    return t;
}

namespace {

int SentCount(const std::vector<int>& lengths)
{
    int n = static_cast<int>(lengths.size());
    while (n > 0 && lengths[n - 1] == 0)
        --n;
    return n;
}

// Zero runs: entry 0 is one zero, entry 1 with 4 bits 3-18, entry 2 with 9 bits 20-531.
void PutSymbolLengths(BitWriter& w, const Block& block)
{
    const int n = SentCount(block.symbols.lengths);
    w.Put(static_cast<std::uint32_t>(n), 9);
    for (int i = 0, run = 0; i < n; i += std::max(run, 1)) {
        for (run = 0; i + run < n && block.symbols.lengths[i + run] == 0;)
            ++run;
        const int entry = run == 0 ? block.symbols.lengths[i] + 2 : run >= 20 ? 2 : run >= 3 ? 1 : 0;
        PutSymbol(w, block.small, entry);
        if (entry == 2)
            w.Put(static_cast<std::uint32_t>((run = std::min(run, 531)) - 20), 9);
        else if (entry == 1)
            w.Put(static_cast<std::uint32_t>((run = std::min(run, 18)) - 3), 4);
        else if (entry == 0)
            run = 1;
    }
}

void PutTokens(BitWriter& w, const Block& block)
{
    for (const Token& t : block.tokens) {
        PutSymbol(w, block.symbols, t.length == 0 ? t.value : t.length + 253);
        int j = 0;
        while (t.length != 0 && (1 << j) <= t.value)
            ++j;
        if (t.length != 0)
            PutSymbol(w, block.offsets, j);
        if (j >= 2)
            w.Put(static_cast<std::uint32_t>(t.value - (1 << (j - 1))), j - 1);
    }
}

void Put(Bytes& b, std::uint32_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        b.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

} // namespace

// Lengths are 3 bits, and from 7 on one 1 bit more per step and a closing 0.
void PutSmallCode(BitWriter& w, const Code& code, int countBits, bool withSkip)
{
    const int n = SentCount(code.lengths);
    w.Put(static_cast<std::uint32_t>(n), countBits);
    if (n == 0)
        w.Put(static_cast<std::uint32_t>(code.single), countBits);
    for (int i = 0; i < n; ++i) {
        w.Put(static_cast<std::uint32_t>(std::min(code.lengths[i], 7)), 3);
        for (int k = 7; k <= code.lengths[i]; ++k)
            w.Put(k < code.lengths[i], 1);
        int zeros = 0;
        while (withSkip && i == 2 && zeros < 3 && 3 + zeros < n && code.lengths[3 + zeros] == 0)
            ++zeros;
        if (withSkip && i == 2)
            w.Put(static_cast<std::uint32_t>(zeros), 2), i += zeros;
    }
}

void PutBlockHeader(BitWriter& w, const Block& block)
{
    w.Put(static_cast<std::uint32_t>(block.size >= 0 ? block.size : block.tokens.size()) & 0xFFFF, 16);
    if (block.symbols.lengths.empty())
        w.Put(0, 10), w.Put(0, 9), w.Put(static_cast<std::uint32_t>(block.symbols.single), 9);
    else
        PutSmallCode(w, block.small, 5, true), PutSymbolLengths(w, block);
    PutSmallCode(w, block.offsets, 4, false);
}

Bytes EncodeBlocks(const std::vector<Block>& blocks)
{
    BitWriter w;
    for (const Block& b : blocks)
        PutBlockHeader(w, b), PutTokens(w, b);
    return w.Finish();
}

Bytes Expected(const std::vector<Block>& blocks, std::size_t size)
{
    Bytes out;
    for (const Block& b : blocks) {
        for (const Token& t : b.tokens) {
            if (t.length == 0)
                out.push_back(static_cast<std::uint8_t>(t.value));
            for (long k = 0, from = static_cast<long>(out.size()) - t.value - 1; k < t.length; ++k, ++from)
                out.push_back(from >= 0 ? out[static_cast<std::size_t>(from)] : ' ');
        }
    }
    out.resize(std::min(size, out.size()));
    return out;
}

Member Stored(const std::string& name, const std::string& content, int level)
{
    Member m;
    m.level = level;
    m.name = name;
    m.data = Text(content);
    m.originalSize = static_cast<std::uint32_t>(content.size());
    m.crc = Crc(m.data);
    return m;
}

Member Packed(const std::string& name, const std::string& content, int level)
{
    Member m = Stored(name, content, level);
    m.method = "-lh5-";
    m.data = EncodeBlocks({Block{-1, Flat(510), Flat(14), Flat(19), Literals(content)}});
    return m;
}

Bytes Record(int type, const Bytes& content)
{
    Bytes r;
    Put(r, static_cast<std::uint32_t>(content.size() + 3), 2);
    r.push_back(static_cast<std::uint8_t>(type));
    return r + content;
}

Member WithDirectory(Member m, const std::string& directory)
{
    Bytes name = Text(directory);
    std::replace(name.begin(), name.end(), std::uint8_t('\\'), std::uint8_t(0xFF));
    m.extended = Record(2, name);
    return m;
}

Bytes Encode(const Member& m)
{
    const std::size_t extended = m.level == 1 ? m.extended.size() : 0;
    Bytes h = {0, 0};
    h.insert(h.end(), m.method.begin(), m.method.begin() + 5);
    Put(h, static_cast<std::uint32_t>(m.packedSize >= 0 ? m.packedSize : std::int64_t(m.data.size() + extended)), 4);
    Put(h, m.originalSize, 4);
    Put(h, m.dosTime | std::uint32_t(m.dosDate) << 16, 4);
    h = h + Bytes{0x20, static_cast<std::uint8_t>(m.level), static_cast<std::uint8_t>(m.name.size())} + Text(m.name);
    Put(h, m.crc, 2);
    if (m.level == 1)
        h.push_back('U');
    h[0] = static_cast<std::uint8_t>(m.level == 1 ? h.size() : h.size() - 2);
    for (std::size_t k = 2; k < h.size(); ++k)
        h[1] = static_cast<std::uint8_t>(h[1] + h[k]);
    if (m.level == 1)
        h = h + m.extended + (m.closeChain ? Bytes{0, 0} : Bytes{});
    return h + m.data;
}

Bytes Archive(const std::vector<Member>& members, bool endByte)
{
    Bytes out;
    for (const Member& m : members)
        out = out + Encode(m);
    return endByte ? out + Bytes{0} : out;
}

ScratchFolder::ScratchFolder()
{
    static unsigned serial = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007;
    root = (fs::temp_directory_path() / ("zv-engine-" + std::to_string(stamp) + "-" + std::to_string(++serial))).string();
    fs::create_directories(root);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::string ScratchFolder::Native(const std::string& relative) const
{
    std::string p = root + "\\" + relative;
#ifndef _WIN32
    std::replace(p.begin(), p.end(), '\\', '/');
#endif
    return p;
}

std::optional<std::string> ScratchFolder::Read(const std::string& relative) const
{
    std::error_code ec;
    std::ifstream in(Native(relative), std::ios::binary);
    if (!fs::exists(fs::symlink_status(Native(relative), ec)))
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ScratchFolder::Write(const std::string& relative, const std::string& content) const
{
    std::ofstream(Native(relative), std::ios::binary) << content;
}

int ScratchFolder::CountEntries() const
{
    std::error_code ec;
    return static_cast<int>(std::distance(fs::recursive_directory_iterator(root, ec), fs::recursive_directory_iterator()));
}

DecodeRun Decode(const Bytes& data, std::uint32_t size, std::uint16_t crc)
{
    DecodeRun run;
    ScratchFolder folder;
    HFILE file = _lcreat((folder.Win32() + "out").c_str(), 0);
    MemoryStream stream(data.data(), static_cast<std::uint32_t>(data.size()));
    Lh5Decoder* decoder = new (std::nothrow) Lh5Decoder(stream);
    if (file == HFILE_ERROR || decoder == nullptr)
        return run;
    run.result = decoder->Extract(file, size, crc);
    run.reason = decoder->reason;
    DeleteDecoder(decoder);
    _lclose(file);
    run.output = Text(folder.Read("out").value_or(""));
    return run;
}

namespace {
Walk* Recording = nullptr;
void Note(const MemberReport& r) { Recording->outcomes.push_back(r.outcome), Recording->verdicts.push_back(r.verdict); }
} // namespace

Walk RunMembers(const Bytes& archive, const std::string& folder)
{
    Walk walk;
    Recording = &walk;
    MemberReporter = Note;
    MemoryStream stream(archive.data(), static_cast<std::uint32_t>(archive.size()));
    walk.result = ExtractMembers(stream, folder.c_str());
    MemberReporter = nullptr;
    return walk;
}
