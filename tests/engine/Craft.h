// Inputs built byte by byte for the engine, and runs of the engine over them:
// -lh5- streams from explicit codes, member headers, archives, a scratch folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ExtractPayload.h"

using Bytes = std::vector<std::uint8_t>;
Bytes Text(const std::string& text);
std::uint16_t Crc(const Bytes& data);   // bit by bit, apart from the engine's table

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct BitWriter {
    std::vector<bool> bits;
    void Put(std::uint32_t value, int width);   // most significant bit first
    Bytes Finish() const;                        // the last byte padded with zeros
};

// A canonical code from its lengths; without lengths the count-0 form, whose
// single value every lookup yields without spending a bit.
struct Code {
    std::vector<int> lengths;
    int single = 0;
};
inline Code Single(int value) { return Code{{}, value}; }
Code Flat(int symbols);   // complete, each symbol in it
void PutSymbol(BitWriter& w, const Code& code, int symbol);
void PutSmallCode(BitWriter& w, const Code& code, int countBits, bool withSkip);

struct Token {
    int length;   // 0 for a literal
    int value;    // the literal, or the distance
};
inline Token Lit(int byte) { return {0, byte}; }
inline Token Match(int length, int distance) { return {length, distance}; }
std::vector<Token> Literals(const std::string& text);
std::vector<Token> Counting(int n);   // literals that do not repeat soon

struct Block {
    int size = -1;   // -1: the number of tokens
    Code symbols = Flat(510), offsets = Flat(14), small = Flat(19);
    std::vector<Token> tokens;
};
void PutBlockHeader(BitWriter& w, const Block& block);
Bytes EncodeBlocks(const std::vector<Block>& blocks);
Bytes Expected(const std::vector<Block>& blocks, std::size_t size = SIZE_MAX);   // the window starts as spaces

struct Member {
    int level = 1;
    std::string method = "-lh0-", name;
    Bytes data, extended;   // extended: level-1 records before the size 0 that ends the chain
    std::uint32_t originalSize = 0;
    std::uint16_t crc = 0, dosTime = (12 << 11) | (34 << 5) | 28, dosDate = (21 << 9) | (2 << 5) | 3;   // 2001-02-03 12:34:56
    bool closeChain = true;
    std::int64_t packedSize = -1;   // -1: the data and the records
};
Member Stored(const std::string& name, const std::string& content, int level = 1);
Member Packed(const std::string& name, const std::string& content, int level = 1);
Member WithDirectory(Member m, const std::string& directory);   // '\' written as 0xFF
Bytes Record(int type, const Bytes& content);                   // size, type, content
Bytes Encode(const Member& m);
Bytes Archive(const std::vector<Member>& members, bool endByte = true);

struct ScratchFolder {
    std::string root;
    ScratchFolder();
    ~ScratchFolder();
    std::string Win32() const { return root + "\\"; }
    std::string Native(const std::string& relative) const;
    std::optional<std::string> Read(const std::string& relative) const;   // nothing when there is no such entry
    void Write(const std::string& relative, const std::string& content) const;
    int CountEntries() const;   // files and folders below it
};

struct DecodeRun {
    int result = -1;
    DecodeReason reason = DecodeReason::None;
    Bytes output;
};
DecodeRun Decode(const Bytes& data, std::uint32_t size, std::uint16_t crc);

struct Walk {
    int result = -1;
    std::vector<MemberOutcome> outcomes;   // one per report, the walk's end included
    std::vector<PathVerdict> verdicts;
};
Walk RunMembers(const Bytes& archive, const std::string& folder);
