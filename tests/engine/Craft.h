// Inputs built byte by byte for the engine, and runs of the engine over them:
// -lh5- streams from explicit codes, member headers, archives, a scratch folder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ExtractPayload.h"

using Bytes = std::vector<std::uint8_t>;

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::uint16_t Crc(const Bytes& data)  // bit by bit, apart from the engine's table
{
    unsigned crc = 0;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return static_cast<std::uint16_t>(crc);
}

struct BitWriter {
    std::vector<bool> bits;
    void Put(std::uint32_t value, int width)  // most significant bit first
    {
        for (int k = width - 1; k >= 0; --k)
            bits.push_back(((value >> k) & 1) != 0);
    }
    Bytes Finish() const  // the last byte padded with zeros
    {
        Bytes out((bits.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < bits.size(); ++i)
            out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | (bits[i] ? 0x80 >> (i % 8) : 0));
        return out;
    }
};

// A canonical code from its lengths; no lengths: the count-0 form, whose one
// value every lookup yields without spending a bit.
struct Code {
    std::vector<int> lengths;
    int single = 0;
};

inline Code Single(int value) { return Code{{}, value}; }

// Complete: 2^(L+1) - n symbols of L bits and the rest of L + 1 fill the code space.
inline Code Flat(int n)
{
    int bits = 0;
    while ((2 << bits) <= n)
        ++bits;
    Code code{std::vector<int>(static_cast<std::size_t>(n), bits + 1)};
    std::fill_n(code.lengths.begin(), (2 << bits) - n, bits);
    return code;
}

inline void PutSymbol(BitWriter& w, const Code& code, int symbol)  // canonical: by length, then by symbol
{
    const std::vector<int>& lengths = code.lengths;
    if (lengths.empty())
        return;
    if (symbol < 0 || symbol >= static_cast<int>(lengths.size()) || lengths[symbol] == 0)
        std::abort();  // the test asked for a symbol its code does not have
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

inline int SentCount(const std::vector<int>& lengths)  // up to the last length that is not 0
{
    const auto last = std::find_if(lengths.rbegin(), lengths.rend(), [](int l) { return l != 0; });
    return static_cast<int>(last.base() - lengths.begin());
}

// Lengths are 3 bits, and from 7 on one 1 bit more per step and a closing 0;
// the code-length code has a 2-bit count of zero lengths after its third.
inline void PutSmallCode(BitWriter& w, const Code& code, int countBits, bool withSkip)
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

struct Token {
    int length;  // 0 for a literal
    int value;   // the literal, or the distance
};
inline Token Lit(int byte) { return {0, byte}; }
inline Token Match(int length, int distance) { return {length, distance}; }

inline std::vector<Token> Literals(const std::string& text)
{
    std::vector<Token> t;
    for (unsigned char c : text)
        t.push_back(Lit(c));
    return t;
}

inline std::vector<Token> Counting(int n)  // literals that do not repeat soon
{
    std::vector<Token> t;
    for (int i = 0; i < n; ++i)
        t.push_back(Lit((i * 7 + i / 256) & 0xFF));
    return t;
}

struct Block {
    int size = -1;  // -1: the number of tokens
    Code symbols = Flat(510), offsets = Flat(14), small = Flat(19);
    std::vector<Token> tokens;
};

// Zero runs: entry 0 is one zero, entry 1 with 4 bits 3-18, entry 2 with 9 bits 20-531.
inline void PutSymbolLengths(BitWriter& w, const Block& block)
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

inline void PutBlockHeader(BitWriter& w, const Block& block)
{
    w.Put(static_cast<std::uint32_t>(block.size >= 0 ? block.size : block.tokens.size()) & 0xFFFF, 16);
    if (block.symbols.lengths.empty())  // a code-length code of one value 0, then the symbol's count 0 and value
        w.Put(0, 10), w.Put(0, 9), w.Put(static_cast<std::uint32_t>(block.symbols.single), 9);
    else
        PutSmallCode(w, block.small, 5, true), PutSymbolLengths(w, block);
    PutSmallCode(w, block.offsets, 4, false);
}

inline Bytes EncodeBlocks(const std::vector<Block>& blocks)
{
    BitWriter w;
    for (const Block& b : blocks) {
        PutBlockHeader(w, b);
        for (const Token& t : b.tokens) {
            PutSymbol(w, b.symbols, t.length == 0 ? t.value : t.length + 253);
            int j = 0;
            while (t.length != 0 && (1 << j) <= t.value)
                ++j;
            if (t.length != 0)
                PutSymbol(w, b.offsets, j);
            if (j >= 2)
                w.Put(static_cast<std::uint32_t>(t.value - (1 << (j - 1))), j - 1);
        }
    }
    return w.Finish();
}

inline Bytes Expected(const std::vector<Block>& blocks, std::size_t size = SIZE_MAX)  // the window starts as spaces
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

struct Member {
    int level = 1;
    std::string method = "-lh0-", name;
    Bytes data, extended;  // extended: level-1 records before the size 0 that ends the chain
    std::uint32_t originalSize = 0;
    std::uint16_t crc = 0, dosTime = (12 << 11) | (34 << 5) | 28,
                  dosDate = (21 << 9) | (2 << 5) | 3;  // 2001-02-03 12:34:56
    bool closeChain = true;
    std::int64_t packedSize = -1;  // -1: the data and the records
};

inline Member Stored(const std::string& name, const std::string& content, int level = 1)
{
    return Member{
        level, "-lh0-", name, Text(content), {}, static_cast<std::uint32_t>(content.size()), Crc(Text(content))};
}

inline Member Packed(const std::string& name, const std::string& content, int level = 1)
{
    Member m = Stored(name, content, level);
    m.method = "-lh5-";
    m.data = EncodeBlocks({Block{-1, Flat(510), Flat(14), Flat(19), Literals(content)}});
    return m;
}

inline Bytes Record(int type, const Bytes& content)  // an extended record: size, type, content
{
    const std::size_t size = content.size() + 3;
    return Bytes{std::uint8_t(size), std::uint8_t(size >> 8), std::uint8_t(type)} + content;
}

inline Member WithDirectory(Member m, const std::string& directory)  // '\' goes into the record as 0xFF
{
    Bytes name = Text(directory);
    std::replace(name.begin(), name.end(), std::uint8_t('\\'), std::uint8_t(0xFF));
    m.extended = Record(2, name);
    return m;
}

inline Bytes Encode(const Member& m)
{
    const std::size_t extended = m.level == 1 ? m.extended.size() : 0;
    Bytes h = {0, 0};
    const auto Put = [&h](std::uint32_t value, int bytes) {
        for (int k = 0; k < bytes; ++k)
            h.push_back(std::uint8_t(value >> 8 * k));
    };
    h.insert(h.end(), m.method.begin(), m.method.begin() + 5);
    Put(static_cast<std::uint32_t>(m.packedSize >= 0 ? m.packedSize : std::int64_t(m.data.size() + extended)), 4);
    Put(m.originalSize, 4);
    Put(m.dosTime | std::uint32_t(m.dosDate) << 16, 4);
    h = h + Bytes{0x20, static_cast<std::uint8_t>(m.level), static_cast<std::uint8_t>(m.name.size())} + Text(m.name);
    Put(m.crc, 2);
    if (m.level == 1)
        h.push_back('U');
    h[0] = static_cast<std::uint8_t>(m.level == 1 ? h.size() : h.size() - 2);
    for (std::size_t k = 2; k < h.size(); ++k)
        h[1] = static_cast<std::uint8_t>(h[1] + h[k]);
    if (m.level == 1)
        h = h + m.extended + (m.closeChain ? Bytes{0, 0} : Bytes{});
    return h + m.data;
}

inline Bytes Archive(const std::vector<Member>& members, bool endByte = true)
{
    Bytes out;
    for (const Member& m : members)
        out = out + Encode(m);
    return endByte ? out + Bytes{0} : out;
}

struct ScratchFolder {
    std::string root;
    ScratchFolder()
    {
        root =
            (std::filesystem::temp_directory_path() / ("zv-engine-" + std::to_string(std::random_device{}()))).string();
        std::filesystem::create_directories(root);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::string Win32() const { return root + "\\"; }
    std::string Native(std::string relative) const
    {
#ifndef _WIN32
        std::replace(relative.begin(), relative.end(), '\\', '/');
#endif
        return (std::filesystem::path(root) / relative).string();
    }
    std::optional<std::string> Read(
        const std::string& relative) const  // nothing when there is no such entry; "/" a folder
    {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::symlink_status(Native(relative), ec);
        if (!std::filesystem::exists(status) || std::filesystem::is_directory(status))
            return std::filesystem::exists(status) ? std::optional<std::string>("/") : std::nullopt;
        std::ifstream in(Native(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    int CountEntries() const  // files and folders below it
    {
        std::error_code ec;
        return static_cast<int>(std::distance(std::filesystem::recursive_directory_iterator(root, ec),
                                              std::filesystem::recursive_directory_iterator()));
    }
};

struct DecodeRun {
    int result = -1;
    DecodeReason reason = DecodeReason::None;
    Bytes output;
};

inline DecodeRun Decode(const Bytes& data, std::uint32_t size, std::uint16_t crc)
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

struct Walk {
    int result = -1;
    std::vector<PathVerdict> verdicts;  // one per report, the walk's end included
};

inline Walk* Recording = nullptr;

inline Walk RunMembers(const Bytes& archive, const std::string& folder)
{
    Walk walk;
    Recording = &walk;
    MemberReporter = [](const MemberReport& r) { Recording->verdicts.push_back(r.verdict); };
    MemoryStream stream(archive.data(), static_cast<std::uint32_t>(archive.size()));
    walk.result = ExtractMembers(stream, folder.c_str());
    MemberReporter = nullptr;
    return walk;
}
