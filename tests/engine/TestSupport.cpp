#include "TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

Bytes FromHex(const std::string& hex)
{
    Bytes out;
    int high = -1;
    for (char c : hex) {
        int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

std::uint16_t ReferenceCrc16(const Bytes& data)
{
    std::uint16_t crc = 0;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
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
        if (bits[i])
            out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | (0x80 >> (i % 8)));
    return out;
}

Code CanonicalCode(const std::vector<int>& lengths)
{
    Code code;
    code.lengths = lengths;
    code.codes.assign(lengths.size(), 0);
    std::uint32_t next = 0;
    int previous = 0;
    for (int L = 1; L <= 16; ++L) {
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] != L)
                continue;
            next <<= (L - previous);
            previous = L;
            code.codes[s] = next++;
        }
    }
    return code;
}

Code SingleCode(int value)
{
    Code code;
    code.single = value;
    return code;
}

void PutSymbol(BitWriter& w, const Code& code, int symbol)
{
    if (code.lengths.empty())
        return;
    if (symbol < 0 || symbol >= static_cast<int>(code.lengths.size()) || code.lengths[symbol] == 0)
        std::abort();   // the test asked for a symbol its code does not have
    w.Put(code.codes[symbol], code.lengths[symbol]);
}

Token Lit(int byte) { return Token{0, byte}; }
Token Match(int length, int distance) { return Token{length, distance}; }

std::vector<int> FlatSymbolLengths()
{
    std::vector<int> lengths(510, 9);
    lengths[0] = lengths[1] = 8;
    return lengths;
}

std::vector<int> FlatOffsetLengths()
{
    std::vector<int> lengths(14, 4);
    lengths[0] = lengths[1] = 3;
    return lengths;
}

std::vector<int> FlatSmallLengths()
{
    std::vector<int> lengths(19, 4);
    for (int s = 13; s < 19; ++s)
        lengths[s] = 5;
    return lengths;
}

// 3 bits, and for 7 or more one 1 bit per step above 7 and a closing bit.
void PutSmallLength(BitWriter& w, int length)
{
    if (length < 7) {
        w.Put(static_cast<std::uint32_t>(length), 3);
        return;
    }
    w.Put(7, 3);
    for (int k = 7; k < length; ++k)
        w.Put(1, 1);
    w.Put(0, 1);
}

namespace {

int SentCount(const std::vector<int>& lengths)
{
    int n = static_cast<int>(lengths.size());
    while (n > 0 && lengths[n - 1] == 0)
        --n;
    return n;
}

} // namespace

namespace {

// Zero runs: entry 0 is one zero, entry 1 and 4 bits 3-18, entry 2 and 9 bits 20-531.
void PutSymbolLengths(BitWriter& w, const Block& block)
{
    const std::vector<int>& lengths = block.symbols.lengths;
    const int n = SentCount(lengths);
    w.Put(static_cast<std::uint32_t>(n), 9);
    for (int i = 0; i < n;) {
        if (lengths[i] != 0) {
            PutSymbol(w, block.small, lengths[i] + 2);
            ++i;
            continue;
        }
        int run = 0;
        while (i + run < n && lengths[i + run] == 0)
            ++run;
        if (run >= 20) {
            run = std::min(run, 531);
            PutSymbol(w, block.small, 2);
            w.Put(static_cast<std::uint32_t>(run - 20), 9);
        } else if (run >= 3) {
            run = std::min(run, 18);
            PutSymbol(w, block.small, 1);
            w.Put(static_cast<std::uint32_t>(run - 3), 4);
        } else {
            run = 1;
            PutSymbol(w, block.small, 0);
        }
        i += run;
    }
}

} // namespace

void PutSmallCode(BitWriter& w, const Code& code, int countBits, bool withSkip)
{
    if (code.lengths.empty()) {
        w.Put(0, countBits);
        w.Put(static_cast<std::uint32_t>(code.single), countBits);
        return;
    }
    const int n = SentCount(code.lengths);
    w.Put(static_cast<std::uint32_t>(n), countBits);
    for (int i = 0; i < n; ++i) {
        PutSmallLength(w, code.lengths[i]);
        if (withSkip && i == 2) {
            int z = 0;
            while (z < 3 && 3 + z < n && code.lengths[3 + z] == 0)
                ++z;
            w.Put(static_cast<std::uint32_t>(z), 2);
            i += z;
        }
    }
}

void PutBlockHeader(BitWriter& w, const Block& block)
{
    const int size = block.size >= 0 ? block.size : static_cast<int>(block.tokens.size());
    w.Put(static_cast<std::uint32_t>(size & 0xFFFF), 16);
    if (block.symbols.lengths.empty()) {
        w.Put(0, 5);
        w.Put(0, 5);
        w.Put(0, 9);
        w.Put(static_cast<std::uint32_t>(block.symbols.single), 9);
    } else {
        PutSmallCode(w, block.small, 5, true);
        PutSymbolLengths(w, block);
    }
    PutSmallCode(w, block.offsets, 4, false);
}

void PutTokens(BitWriter& w, const Block& block)
{
    for (const Token& t : block.tokens) {
        if (t.length == 0) {
            PutSymbol(w, block.symbols, t.value);
            continue;
        }
        PutSymbol(w, block.symbols, t.length + 253);
        int j = 0;
        while ((1 << j) <= t.value)
            ++j;
        PutSymbol(w, block.offsets, j);
        if (j >= 2)
            w.Put(static_cast<std::uint32_t>(t.value - (1 << (j - 1))), j - 1);
    }
}

Bytes EncodeBlocks(const std::vector<Block>& blocks)
{
    BitWriter w;
    for (const Block& b : blocks) {
        PutBlockHeader(w, b);
        PutTokens(w, b);
    }
    return w.Finish();
}

Bytes ApplyTokens(const std::vector<Token>& tokens, std::size_t originalSize)
{
    Bytes out;
    for (const Token& t : tokens) {
        if (t.length == 0) {
            out.push_back(static_cast<std::uint8_t>(t.value));
            continue;
        }
        for (int k = 0; k < t.length; ++k) {
            long from = static_cast<long>(out.size()) - t.value - 1;
            out.push_back(from >= 0 ? out[static_cast<std::size_t>(from)] : ' ');
        }
    }
    if (out.size() > originalSize)
        out.resize(originalSize);
    return out;
}

namespace {
void Put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
} // namespace

Bytes EncodeMember(const MemberSpec& spec)
{
    Bytes h = {0, 0};
    for (int k = 0; k < 5; ++k)
        h.push_back(static_cast<std::uint8_t>(k < static_cast<int>(spec.method.size()) ? spec.method[k] : '-'));
    Bytes chain = spec.extended;
    if (spec.level == 1 && spec.closeChain)
        Put16(chain, 0);
    std::uint32_t packed = static_cast<std::uint32_t>(spec.data.size() + (spec.level == 1 ? spec.extended.size() : 0));
    if (spec.packedOverride >= 0)
        packed = static_cast<std::uint32_t>(spec.packedOverride);
    Put32(h, packed);
    Put32(h, spec.originalSize);
    Put16(h, spec.dosTime);
    Put16(h, spec.dosDate);
    h.push_back(0x20);
    h.push_back(static_cast<std::uint8_t>(spec.level));
    h.push_back(static_cast<std::uint8_t>(spec.name.size()));
    h.insert(h.end(), spec.name.begin(), spec.name.end());
    Put16(h, spec.crc);
    if (spec.level == 1)
        h.push_back('U');
    h[0] = static_cast<std::uint8_t>(spec.level == 1 ? h.size() : h.size() - 2);
    unsigned sum = 0;
    for (std::size_t k = 2; k < h.size(); ++k)
        sum += h[k];
    h[1] = static_cast<std::uint8_t>(sum);
    if (spec.level == 1)
        h.insert(h.end(), chain.begin(), chain.end());
    h.insert(h.end(), spec.data.begin(), spec.data.end());
    return h;
}

Bytes ExtendedRecord(int type, const Bytes& content)
{
    Bytes r;
    Put16(r, static_cast<std::uint32_t>(content.size() + 3));
    r.push_back(static_cast<std::uint8_t>(type));
    r.insert(r.end(), content.begin(), content.end());
    return r;
}

Bytes ExtendedDirectory(const std::string& path)
{
    Bytes content;
    for (char c : path)
        content.push_back(c == '\\' ? 0xFF : static_cast<std::uint8_t>(c));
    return ExtendedRecord(2, content);
}

MemberSpec StoredMember(const std::string& name, const Bytes& content, int level)
{
    MemberSpec m;
    m.level = level;
    m.method = "-lh0-";
    m.name = name;
    m.data = content;
    m.originalSize = static_cast<std::uint32_t>(content.size());
    m.crc = ReferenceCrc16(content);
    return m;
}

MemberSpec Lh5Member(const std::string& name, const std::vector<Block>& blocks, const Bytes& expected, int level)
{
    MemberSpec m;
    m.level = level;
    m.name = name;
    m.data = EncodeBlocks(blocks);
    m.originalSize = static_cast<std::uint32_t>(expected.size());
    m.crc = ReferenceCrc16(expected);
    return m;
}

Bytes Archive(const std::vector<MemberSpec>& members, bool endByte)
{
    Bytes out;
    for (const MemberSpec& m : members) {
        Bytes b = EncodeMember(m);
        out.insert(out.end(), b.begin(), b.end());
    }
    if (endByte)
        out.push_back(0);
    return out;
}

std::string NativePath(const std::string& win32Path)
{
#ifdef _WIN32
    return win32Path;
#else
    std::string p = win32Path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
#endif
}

ScratchFolder::ScratchFolder()
{
    static unsigned serial = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path p = fs::temp_directory_path() /
                 ("zv-engine-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(++serial));
    fs::create_directories(p);
    root = p.string();
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
}

std::string ScratchFolder::Win32() const { return root + "\\"; }

std::string ScratchFolder::Native(const std::string& relative) const
{
    return NativePath(root + "\\" + relative);
}

bool ScratchFolder::Exists(const std::string& relative) const
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(Native(relative), ec));
}

Bytes ScratchFolder::Read(const std::string& relative) const
{
    std::ifstream in(Native(relative), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int ScratchFolder::CountEntries() const
{
    int count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        ++count;
    return count;
}
