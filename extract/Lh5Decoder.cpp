// The -lh5- decoder: bit reader, symbol decoding and the output loop.
// The code tables are read and built in Lh5Tables.cpp.
#include "Lh5Decoder.h"

#include <cstring>

#include "Crc16.h"
#include "Lh5Copy.h"
#include "Lh5Cursor.h"

namespace {

// How the CRC-16 follows the output in DecodeAll: after a match it takes in
// two bytes more than after a literal, and a further run of kCrcCatchUp
// bytes once kCrcBacklog or more wait.
constexpr std::uint32_t kCrcAfterMatch = 2;
constexpr std::uint32_t kCrcBacklog = 16;
constexpr std::uint32_t kCrcCatchUp = 8;
static_assert(1 + kCrcAfterMatch <= kMinMatch, "a match adds at least the bytes taken in after it");

}  // namespace

Lh5Decoder::Lh5Decoder(MemoryStream& stream)
    : status(0), source(stream), windowBits(kWindowBits), matchAdjust(kMatchAdjust), offsetSymbols(kOffsetSymbols),
      offsetCountBits(kOffsetCountBits), reason(DecodeReason::None), dryReads(0)
{}

void* Lh5Decoder::operator new(std::size_t bytes, const std::nothrow_t&) noexcept
{
    return GlobalAlloc(GMEM_FIXED, bytes);
}

void Lh5Decoder::operator delete(void* block) noexcept { GlobalFree(block); }

void Lh5Decoder::operator delete(void* block, const std::nothrow_t&) noexcept { GlobalFree(block); }

void DeleteDecoder(LzhDecoder* decoder)
{
    // Lh5Decoder is the only implementation.
    delete static_cast<Lh5Decoder*>(decoder);
}

// A later failure replaces an earlier one, as the result reports the last;
// the reason keeps the first cause behind that result, which is the telling one.
void Lh5Decoder::Fail(int code, DecodeReason why)
{
    if (status != code || reason == DecodeReason::None)
        reason = why;
    status = code;
}

// What ReadByte does where no byte is left: 0, and the stream's error set.
// More than the read-ahead missing means bits past the payload were used:
// the member's data has run out, and zeros would be decoded on.
std::uint8_t Lh5Decoder::DryByte()
{
    source.error = kStreamDry;
    if (++dryReads > kReadAhead)
        Fail(kDecodeBroken, DecodeReason::DataExhausted);
    return 0;
}

// The fields' form of FillBits, n up to 20: the reader's state depends only
// on the number of bits used, so a long step may be taken as two.
void Lh5Decoder::FillBits(int n)
{
    Cursor r = LoadCursor();
    if (n > kMaxCodeLength) {
        FillBits(r, kMaxCodeLength);
        n -= kMaxCodeLength;
    }
    FillBits(r, n);
    StoreCursor(r);
}

std::uint16_t Lh5Decoder::GetBits(int n)
{
    std::uint16_t value = n == 0 ? 0 : static_cast<std::uint16_t>(bitBuffer >> (16 - n));
    FillBits(n);
    return value;
}

void Lh5Decoder::InitBits()
{
    bitBuffer = 0;
    pendingByte = 0;
    pendingBits = 0;
    FillBits(16);
}

// Follows the bits below a table's index bits through the child arrays, from
// the bit at mask down. A valid code ends within maxSteps; anything else (an
// entry no code reaches, a stale node) fails the member and yields symbol 0.
std::uint16_t Lh5Decoder::WalkTree(std::uint16_t entry, std::uint16_t mask, int symbolCount, int maxSteps)
{
    for (int step = 0; entry >= symbolCount; ++step) {
        if (step == maxSteps || entry >= kChildCount) {
            Fail(kDecodeBroken, DecodeReason::InvalidCode);
            return 0;
        }
        entry = (bitBuffer & mask) ? rightChild[entry] : leftChild[entry];
        mask = static_cast<std::uint16_t>(mask >> 1);
    }
    return entry;
}

void Lh5Decoder::BeginDecode()
{
    InitBits();
    blockRemaining = 0;
    dryReads = 0;
    // Tables that no block has built yet resolve to nothing valid, and the
    // code lengths read with them are 0, not whatever the allocation held:
    // a first block whose codes fail still decodes one symbol from them.
    std::memset(symbolTable, 0xFF, sizeof symbolTable);
    std::memset(smallTable, 0xFF, sizeof smallTable);
    std::memset(symbolEntryBits, 0, sizeof symbolEntryBits);
    std::memset(smallEntryBits, 0, sizeof smallEntryBits);
    std::memset(symbolLengths, 0, sizeof symbolLengths);
    std::memset(smallLengths, 0, sizeof smallLengths);
}

// A code longer than its table's bits: the table entry is the node where
// its tree continues below those bits.
std::uint16_t Lh5Decoder::FinishLongCode(std::uint16_t entry, int tableBits, int symbolCount,
                                         const std::uint8_t* lengths)
{
    FillBits(tableBits);
    const std::uint16_t s = WalkTree(entry, 0x8000, symbolCount, kMaxCodeLength - tableBits);
    const int rest = lengths[s] - tableBits;
    FillBits(rest > 0 ? rest : 0);
    return s;
}

std::uint16_t Lh5Decoder::DecodeSymbol()
{
    if (blockRemaining == 0)
        ReadBlockHeader();
    blockRemaining = static_cast<std::uint16_t>(blockRemaining - 1);
    std::uint16_t s = symbolTable[bitBuffer >> (16 - kSymbolTableBits)];
    if (s >= kSymbolCount)
        return FinishLongCode(s, kSymbolTableBits, kSymbolCount, symbolLengths);
    FillBits(symbolLengths[s]);
    return s;
}

// Offset code j: distance 0 for j = 0, else 2^(j-1) plus j-1 extra bits.
std::uint16_t Lh5Decoder::DecodeOffset()
{
    std::uint16_t j = smallTable[bitBuffer >> (16 - kSmallTableBits)];
    if (j < offsetSymbols)
        FillBits(smallLengths[j]);
    else
        j = FinishLongCode(j, kSmallTableBits, offsetSymbols, smallLengths);
    if (j == 0)
        return 0;
    return static_cast<std::uint16_t>((1u << (j - 1)) + GetBits(j - 1));
}

// Where the output loop writes: from `at` up to `end`. The loop tests no
// status per symbol. A failure found on one of its cold paths (a block
// header, a code longer than its table) moves `end` to just past `at`, so
// that the symbol in hand is still processed and the loop ends at its next
// test, as the status test after every symbol would have it. A failure of
// the hot path, data that has run out, lets the stretch run to its end on
// zeros, at most a window's worth, before the status stops the decoding.
struct Lh5Decoder::Stretch {
    std::uint8_t* at;
    std::uint8_t* end;
};

// DecodeSymbol on the cursor, the block's symbol count aside (see
// NextSymbol). The code length comes from beside the table entry, not from
// the symbol's own entry in symbolLengths, so that both loads can start at
// once. A code longer than the table goes through the fields.
inline std::uint16_t Lh5Decoder::LookUpSymbol(Cursor& r, Stretch& out)
{
    const std::uint32_t index = r.hold >> (32 - kSymbolTableBits);
    std::uint16_t s = symbolTable[index];
    if (__builtin_expect(s < kSymbolCount, 1)) {
        FillBits(r, symbolEntryBits[index]);
        return s;
    }
    StoreCursor(r);
    s = FinishLongCode(s, kSymbolTableBits, kSymbolCount, symbolLengths);
    r = LoadCursor();
    if (status != 0)
        out.end = out.at + 1;
    return s;
}

// DecodeSymbol on the cursor. symbolsOwed is what the block owes after the
// symbol being decoded: one decrement and a sign test per symbol, where a
// block size of 0 stands for the 65,536 symbols it counts. The block header
// goes through the fields.
inline std::uint16_t Lh5Decoder::NextSymbol(Cursor& r, std::int32_t& symbolsOwed, Stretch& out)
{
    if (__builtin_expect(--symbolsOwed < 0, 0)) {
        StoreCursor(r);
        ReadBlockHeader();
        r = LoadCursor();
        symbolsOwed = static_cast<std::int32_t>(blockRemaining != 0 ? blockRemaining : kZeroSizeBlockSymbols) - 1;
        if (status != 0)
            out.end = out.at + 1;
    }
    return LookUpSymbol(r, out);
}

// DecodeOffset on the cursor: one lookup and one FillBits take the code
// and the distance's extra bits together, from the tables that
// PrepareDistances derives from the offset code. Entries it marks slow
// (a code longer than the table, or more than 16 bits in all) go through
// DecodeOffset itself.
inline std::uint32_t Lh5Decoder::NextDistance(Cursor& r, Stretch& out)
{
    const std::uint32_t index = r.hold >> (32 - kSmallTableBits);
    const int bits = distanceEntryBits[index];
    if (__builtin_expect(bits <= kMaxCodeLength, 1)) {
        const std::uint32_t top = static_cast<std::uint32_t>((static_cast<std::uint64_t>(r.hold) << bits) >> 32);
        FillBits(r, bits);
        return top + distanceEntryAdjust[index];
    }
    StoreCursor(r);
    const std::uint32_t distance = DecodeOffset();
    r = LoadCursor();
    if (status != 0)
        out.end = out.at;
    return distance;
}

// The window is the output buffer: it goes to the file whole whenever it
// fills. A short write is remembered and the window reused all the same.
void Lh5Decoder::Flush(HFILE file)
{
    if (_hwrite(file, reinterpret_cast<const char*>(window), windowSize) < windowSize)
        Fail(kDecodeWriteError, DecodeReason::ShortWrite);
    windowPos = 0;
    windowFilled = true;
}

// The general copy of a match, one byte at a time and in order, so that a
// distance shorter than the length repeats the last distance + 1 bytes; it
// wraps around the window and flushes it when the write position reaches
// its end. Until the first flush, a byte at or past the write position has
// not been written yet and reads as the space that the window starts with.
// The output loop sends here the matches that the copies of Lh5Copy.h do
// not take.
std::uint16_t Lh5Decoder::CopyAcrossEdges(HFILE file, std::int32_t from, std::uint32_t length, std::uint16_t crc,
                                          const Crc16Table& crcTable)
{
    for (std::uint32_t k = 0; k < length; ++k) {
        const std::int32_t at = (from + static_cast<std::int32_t>(k)) & windowMask;
        const std::uint8_t b = windowFilled || at < windowPos ? window[at] : kWindowFill;
        window[windowPos++] = b;
        crc = UpdateCrc16(crcTable, crc, b);
        if (windowPos == windowSize)
            Flush(file);
    }
    return crc;
}

// Decodes until the member's size is reached or a failure is set, and
// returns the CRC-16 of the output. This is Extract's loop with DecodeSymbol
// and DecodeOffset in their cursor forms; the reader, the block's symbol
// count and the output pointers live in registers and go back to the fields
// at the end.
//
// The output goes in stretches: each ends where the window fills or where the
// member's size is reached, whichever comes first, so one pointer comparison
// per symbol stands for both tests. A match that fits the stretch and does
// not wrap around the window is copied by Lh5Copy.h; one that does not ends
// the stretch and goes byte by byte, flushing the window on its way. A
// literal or a fitting match never needs to be cut at the member's size.
//
// The CRC-16 follows the output a little behind, reading it back from the
// window, still one byte at a time and in order: one byte after every symbol
// (each adds one at least), two more after a match (which adds three at
// least), eight more whenever sixteen or more wait, and the rest when the
// stretch ends, before the window is written out or overwritten. The CRC is
// a chain of dependent table lookups; taken this way it runs alongside the
// decoding of the next symbols instead of stalling it after every match, and
// no branch depends on a match's length.
std::uint16_t Lh5Decoder::DecodeAll(HFILE file, std::uint32_t originalSize)
{
    // Built here rather than by the caller, so that the table is found from
    // the stack pointer and takes no register of its own.
    Crc16Table crcTable;
    BuildCrc16Table(crcTable);
    // The window's fields, read once: the loop's byte stores could alias them.
    std::uint8_t* const base = window;
    const std::int32_t size = windowSize;
    const std::int32_t mask = windowMask;
    const std::int32_t lengthAdjust = matchAdjust;
    const std::uint8_t* const shortLimit = base + size - 2 * lh5copy::kShortMatch;
    Cursor r = LoadCursor();
    std::int32_t symbolsOwed = blockRemaining;
    std::uint16_t crc = 0;
    // Each stretch adds at least one byte to the output, or fails the member.
    while (outputCount != originalSize && status == 0) {
        std::uint8_t* const begin = base + windowPos;
        const std::uint32_t room = static_cast<std::uint32_t>(size - windowPos);
        const std::uint32_t left = originalSize - outputCount;
        Stretch out = {begin, begin + (left < room ? left : room)};
        const std::uint8_t* checked = begin;  // the CRC covers the output up to here
        std::uint32_t length = 0;             // a match the stretch could not take
        std::int32_t from = 0;
        while (out.at != out.end) {
            const std::uint16_t s = NextSymbol(r, symbolsOwed, out);
            if (s < kLiteralCount) {
                *out.at++ = static_cast<std::uint8_t>(s);
            } else {
                length = static_cast<std::uint16_t>(s - lengthAdjust);
                const std::int32_t back = static_cast<std::int32_t>(NextDistance(r, out)) + 1;
                const std::int32_t here = static_cast<std::int32_t>(out.at - base);
                const bool fits = length <= static_cast<std::uint32_t>(out.end - out.at);
                if (fits && back <= here) {
                    // The common case: the source lies behind in this pass of the window.
                    lh5copy::CopyBehind(out.at, static_cast<std::uint32_t>(back), length, out.at <= shortLimit);
                } else {
                    from = (here - back) & mask;
                    if (!fits || !lh5copy::CopyInside(base, here, from, length, size, windowFilled))
                        break;
                }
                out.at += length;
                length = 0;
                crc = UpdateCrc16(crcTable, crc, checked, kCrcAfterMatch);
                checked += kCrcAfterMatch;
                if (static_cast<std::uint32_t>(out.at - checked) >= kCrcBacklog) {
                    crc = UpdateCrc16(crcTable, crc, checked, kCrcCatchUp);
                    checked += kCrcCatchUp;
                }
            }
            crc = UpdateCrc16(crcTable, crc, *checked++);
        }
        crc = UpdateCrc16(crcTable, crc, checked, static_cast<std::uint32_t>(out.at - checked));
        const std::uint32_t produced = static_cast<std::uint32_t>(out.at - begin);
        windowPos += static_cast<std::int32_t>(produced);
        outputCount += produced;
        if (length != 0) {
            // Counted against what is left rather than summed, so that a size
            // near 4 GiB cannot wrap the count and let the output run on.
            if (length > originalSize - outputCount)
                length = originalSize - outputCount;
            outputCount += length;
            crc = CopyAcrossEdges(file, from, length, crc, crcTable);
        } else if (windowPos == size) {
            Flush(file);
        }
    }
    StoreCursor(r);
    blockRemaining = static_cast<std::uint16_t>(symbolsOwed);
    return crc;
}

int Lh5Decoder::Extract(HFILE file, std::uint32_t originalSize, std::uint16_t headerCrc)
{
    windowSize = 1 << windowBits;
    windowMask = windowSize - 1;
    window = static_cast<std::uint8_t*>(GlobalAlloc(GMEM_ZEROINIT, static_cast<SIZE_T>(windowSize)));
    if (window == nullptr) {
        reason = DecodeReason::NoWindow;
        return kDecodeNoMemory;
    }
    // The window starts as spaces; rather than write them all for every
    // member, a byte that this first pass has not written yet is read as a
    // space (windowFilled, CopyAcrossEdges).
    windowFilled = false;
    BeginDecode();
    windowPos = 0;
    outputCount = 0;
    const std::uint16_t crc = DecodeAll(file, originalSize);
    if (windowPos != 0 && _hwrite(file, reinterpret_cast<const char*>(window), windowPos) < windowPos)
        Fail(kDecodeWriteError, DecodeReason::ShortWrite);
    GlobalFree(window);
    window = nullptr;
    if (status != 0)
        return status;
    if (crc != headerCrc) {
        reason = DecodeReason::CrcMismatch;
        return kDecodeBroken;
    }
    return kDecodeOk;
}

const char* DecodeReasonText(DecodeReason reason)
{
    switch (reason) {
    case DecodeReason::None: return "decoded";
    case DecodeReason::NoWindow: return "no memory for the window";
    case DecodeReason::IncompleteCode: return "incomplete code";
    case DecodeReason::OversubscribedCode: return "over-subscribed code";
    case DecodeReason::LengthTooLong: return "code length above 16";
    case DecodeReason::CountTooLarge: return "code count above the alphabet";
    case DecodeReason::RunPastEnd: return "run of zero lengths past the alphabet";
    case DecodeReason::InvalidCode: return "code that no table entry resolves";
    case DecodeReason::DataExhausted: return "compressed data ran out";
    case DecodeReason::ShortWrite: return "short write";
    case DecodeReason::CrcMismatch: return "CRC-16 mismatch";
    }
    return "unknown";
}
