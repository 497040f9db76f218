// The -lh5- decoder: static Huffman blocks over LZ77 output with an 8 KiB
// window. Literals and match lengths share one code (510 symbols); match
// distances have a second code (14 symbols); both codes' lengths travel in
// each block header, the literal/length code's lengths coded once more with
// a 19-symbol code-length code.
#pragma once

#include <cstdint>
#include <new>

#include "Crc16.h"
#include "LzhFormat.h"
#include "MemoryStream.h"
#include "Platform.h"

constexpr int kSymbolTableBits = 12;
constexpr int kSymbolTableSize = 1 << kSymbolTableBits;
constexpr int kNoSkip = -1;
constexpr int kSmallTableBits = 8;
constexpr int kSmallTableSize = 1 << kSmallTableBits;
constexpr int kSmallLengthRoom = 256;
constexpr int kChildCount = 2 * kSymbolCount - 1;
static_assert(kChildCount == 1019, "one node fewer than the symbols, above the symbols");
constexpr std::uint8_t kWindowFill = 0x20;
// The bit reader holds 16 bits ready, so it runs two bytes ahead of the bits used.
constexpr int kReadAhead = 2;
// Marks a table entry that no valid code reaches; any lookup of it fails.
constexpr std::uint16_t kInvalidEntry = 0xFFFF;
// A distanceEntryBits value above any number of bits the reader holds.
constexpr std::uint8_t kSlowDistance = 0xFF;
static_assert(kInvalidEntry >= kChildCount, "never a node or a symbol");

// Results of Extract.
constexpr int kDecodeOk = 0;
constexpr int kDecodeBroken = 4;
constexpr int kDecodeNoMemory = 6;
constexpr int kDecodeWriteError = 8;

// Why Extract failed; for tests and diagnostics only.
enum class DecodeReason : std::uint8_t {
    None,
    NoWindow,
    IncompleteCode,
    OversubscribedCode,
    LengthTooLong,
    CountTooLarge,
    RunPastEnd,
    InvalidCode,
    DataExhausted,
    ShortWrite,
    CrcMismatch,
};

const char* DecodeReasonText(DecodeReason reason);

class LzhDecoder {
public:
    virtual int Extract(HFILE file, std::uint32_t originalSize, std::uint16_t headerCrc) = 0;
    virtual std::uint16_t DecodeSymbol() = 0;
    virtual std::uint16_t DecodeOffset() = 0;
    virtual void BeginDecode() = 0;

protected:
    // No destructor entry in the table: a decoder holds nothing outside a
    // call of Extract, and is released through its one concrete type.
    LzhDecoder() = default;
    ~LzhDecoder() = default;
};

class Lh5Decoder final : public LzhDecoder {
public:
    explicit Lh5Decoder(MemoryStream& stream);

    int Extract(HFILE file, std::uint32_t originalSize, std::uint16_t headerCrc) override;
    std::uint16_t DecodeSymbol() override;
    std::uint16_t DecodeOffset() override;
    void BeginDecode() override;

    // Decoders come from GlobalAlloc, so that a failure gives the null that
    // the driver reports, never an exception.
    static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept;
    static void operator delete(void* block) noexcept;
    static void operator delete(void* block, const std::nothrow_t&) noexcept;

    std::int32_t status;
    MemoryStream& source;
    std::uint16_t bitBuffer;
    std::uint8_t pendingByte;
    std::int8_t pendingBits;
    std::uint16_t leftChild[kChildCount];
    std::uint16_t rightChild[kChildCount];
    std::uint8_t symbolLengths[kSymbolCount];
    std::uint8_t smallLengths[kSmallLengthRoom];
    std::uint16_t symbolTable[kSymbolTableSize];
    std::uint16_t smallTable[kSmallTableSize];
    std::uint16_t blockRemaining;
    std::uint8_t* window;
    std::uint32_t outputCount;
    std::int32_t windowBits;
    std::int32_t windowPos;
    std::int32_t matchAdjust;
    std::int32_t windowSize;
    std::int32_t windowMask;
    std::int32_t offsetSymbols;
    std::int32_t offsetCountBits;
    DecodeReason reason;
    std::int32_t dryReads;  // bytes asked for after the payload ran out
    bool windowFilled;      // every window byte written once: the first flush is behind
    // Beside each symbolTable entry that holds a symbol, that symbol's code
    // length: the output loop reads it with the symbol, from the same index,
    // instead of waiting for the symbol to look up symbolLengths.
    std::uint8_t symbolEntryBits[kSymbolTableSize];
    std::uint8_t smallEntryBits[kSmallTableSize];  // the same beside smallTable
    // The offset code's table once more, with each distance's extra bits
    // folded in (PrepareDistances in Lh5Tables.cpp): the bits that a table
    // index stands for, code and extra bits together (kSlowDistance where
    // the output loop must take DecodeOffset's way), and what turns those
    // bits, read as one number, into the distance.
    std::uint8_t distanceEntryBits[kSmallTableSize];
    std::uint32_t distanceEntryAdjust[kSmallTableSize];

private:
    // The reader's fields and the stream's position, held in registers by
    // the decoder's loops (Lh5Cursor.h).
    struct Cursor;
    // The part of the window that the output loop fills before it tests
    // anything else (Lh5Decoder.cpp).
    struct Stretch;

    void Fail(int code, DecodeReason why);
    void InitBits();
    void FillBits(int n);
    std::uint16_t GetBits(int n);
    void FillBits(Cursor& r, int n);
    std::uint32_t GetBits(Cursor& r, int n);
    Cursor LoadCursor() const;
    void StoreCursor(const Cursor& r);
    std::uint8_t DryByte();
    std::uint32_t TakeByte(Cursor& r);
    std::uint16_t WalkTree(std::uint16_t entry, std::uint16_t mask, int symbolCount, int maxSteps);
    std::uint16_t FinishLongCode(std::uint16_t entry, int tableBits, int symbolCount, const std::uint8_t* lengths);
    void ReadBlockHeader();
    void ReadSmallCode(int symbolCount, int countBits, int skipIndex);
    void ReadSymbolCode();
    void PrepareDistances();
    // The symbols that have a code, and how many codes each length has
    // (Lh5Tables.cpp).
    struct CodeCensus;
    void MakeTable(int symbolCount, const std::uint8_t* lengths, int tableBits, std::uint16_t* table,
                   std::uint8_t* entryBits);
    void BuildTable(const CodeCensus& census, int symbolCount, const std::uint8_t* lengths, int tableBits,
                    std::uint16_t* table, std::uint8_t* entryBits);
    void FillTableLeaves(const CodeCensus& census, int symbolCount, const std::uint8_t* lengths, int tableBits,
                         std::uint16_t* table, std::uint8_t* entryBits, std::uint32_t* start,
                         const std::uint32_t* weight);
    void Flush(HFILE file);
    std::uint16_t LookUpSymbol(Cursor& r, Stretch& out);
    std::uint16_t NextSymbol(Cursor& r, std::int32_t& symbolsOwed, Stretch& out);
    std::uint32_t NextDistance(Cursor& r, Stretch& out);
    std::uint16_t DecodeAll(HFILE file, std::uint32_t originalSize);
    std::uint16_t CopyAcrossEdges(HFILE file, std::int32_t from, std::uint32_t length, std::uint16_t crc,
                                  const Crc16Table& crcTable);
};

// The driver's release of a decoder made by CreateDecoder.
void DeleteDecoder(LzhDecoder* decoder);
