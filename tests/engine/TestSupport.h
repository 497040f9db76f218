// Builders for test inputs: an MSB-first bit writer and an -lh5- block
// encoder that works from explicit code lengths, LZH member headers, and a
// reference model of the decoder's output; plus scratch folders and files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex);
std::uint16_t ReferenceCrc16(const Bytes& data);   // bit by bit, independent of the engine's table

class BitWriter {
public:
    void Put(std::uint32_t value, int width);   // most significant bit first
    Bytes Finish() const;                        // pads the last byte with zeros
    std::size_t BitCount() const { return bits.size(); }

private:
    std::vector<bool> bits;
};

// A canonical prefix code from its lengths, or a single value (count 0).
struct Code {
    std::vector<int> lengths;   // empty: single-valued
    int single = 0;
    std::vector<std::uint32_t> codes;
};
Code CanonicalCode(const std::vector<int>& lengths);
Code SingleCode(int value);
void PutSymbol(BitWriter& w, const Code& code, int symbol);

// A literal (0-255) or a match (length 3-256, distance 0-8191).
struct Token {
    int length;     // 0 for a literal
    int value;      // the literal, or the distance
};
Token Lit(int byte);
Token Match(int length, int distance);

// Complete codes that cover every symbol of each alphabet.
std::vector<int> FlatSymbolLengths();     // 510 symbols: two of 8 bits, the rest 9
std::vector<int> FlatOffsetLengths();     // 14 symbols: two of 3 bits, the rest 4
std::vector<int> FlatSmallLengths();      // 19 symbols: 13 of 4 bits, 6 of 5

struct Block {
    int size = -1;                      // -1: the number of tokens
    Code symbols = CanonicalCode(FlatSymbolLengths());
    Code offsets = CanonicalCode(FlatOffsetLengths());
    Code small = CanonicalCode(FlatSmallLengths());
    std::vector<Token> tokens;
};
void PutSmallLength(BitWriter& w, int length);
void PutSmallCode(BitWriter& w, const Code& code, int countBits, bool withSkip);
void PutBlockHeader(BitWriter& w, const Block& block);
void PutTokens(BitWriter& w, const Block& block);
Bytes EncodeBlocks(const std::vector<Block>& blocks);

// What the decoder must produce: the window starts as spaces.
Bytes ApplyTokens(const std::vector<Token>& tokens, std::size_t originalSize);

// One member header: level 0 or 1, with optional raw extended records.
struct MemberSpec {
    int level = 1;
    std::string method = "-lh5-";
    std::string name = "FILE.TXT";
    Bytes data;                     // the member's bytes after the header
    std::uint32_t originalSize = 0;
    std::uint16_t crc = 0;
    std::uint16_t dosTime = (12 << 11) | (34 << 5) | 28;   // 12:34:56
    std::uint16_t dosDate = ((2001 - 1980) << 9) | (2 << 5) | 3;  // 2001-02-03
    Bytes extended;                 // level 1: records before the closing size 0
    std::int64_t packedOverride = -1;
    bool closeChain = true;         // level 1: append the size 0 that ends the chain
};
Bytes EncodeMember(const MemberSpec& spec);
Bytes ExtendedRecord(int type, const Bytes& content);   // size, type, content
Bytes ExtendedDirectory(const std::string& path);       // '\' written as 0xFF
MemberSpec StoredMember(const std::string& name, const Bytes& content, int level = 1);
MemberSpec Lh5Member(const std::string& name, const std::vector<Block>& blocks, const Bytes& expected,
                     int level = 1);
Bytes Archive(const std::vector<MemberSpec>& members, bool endByte = true);

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string Win32() const;                          // with a trailing '\'
    std::string Native(const std::string& relative) const;  // '\' in relative allowed
    bool Exists(const std::string& relative) const;
    Bytes Read(const std::string& relative) const;
    int CountEntries() const;                           // files and folders, recursively

private:
    std::string root;
};

std::string NativePath(const std::string& win32Path);
