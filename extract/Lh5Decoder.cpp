// The -lh5- decoder: bit reader, symbol decoding and the output loop.
// The code tables are read and built in Lh5Tables.cpp.
#include "Lh5Decoder.h"

#include <cstring>

#include "Crc16.h"

Lh5Decoder::Lh5Decoder(MemoryStream& stream)
    : status(0), source(stream), windowBits(kWindowBits), matchAdjust(kMatchAdjust),
      offsetSymbols(kOffsetSymbols), offsetCountBits(kOffsetCountBits), reason(DecodeReason::None),
      dryReads(0)
{
}

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

// bitBuffer holds the next 16 bits of the data, the earliest at the top;
// pendingByte holds the pendingBits bits of the last byte read that have not
// entered it yet, left-aligned. FillBits drops the top n bits (n up to 20)
// and is the only place that takes bytes from the stream, so the reader is
// always exactly two bytes ahead of the bits used.
void Lh5Decoder::FillBits(int n)
{
    while (n > pendingBits) {
        n -= pendingBits;
        bitBuffer = static_cast<std::uint16_t>((bitBuffer << pendingBits) + (pendingByte >> (8 - pendingBits)));
        // More than the read-ahead missing means bits past the payload were
        // used: the member's data has run out, and zeros would be decoded on.
        if (!source.HasByte() && ++dryReads > kReadAhead)
            Fail(kDecodeBroken, DecodeReason::DataExhausted);
        pendingByte = source.ReadByte();
        pendingBits = 8;
    }
    pendingBits = static_cast<std::int8_t>(pendingBits - n);
    bitBuffer = static_cast<std::uint16_t>((bitBuffer << n) + (pendingByte >> (8 - n)));
    pendingByte = static_cast<std::uint8_t>(pendingByte << n);
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
    // Tables that no block has built yet resolve to nothing valid.
    std::memset(symbolTable, 0xFF, sizeof symbolTable);
    std::memset(smallTable, 0xFF, sizeof smallTable);
}

std::uint16_t Lh5Decoder::DecodeSymbol()
{
    if (blockRemaining == 0)
        ReadBlockHeader();
    blockRemaining = static_cast<std::uint16_t>(blockRemaining - 1);
    std::uint16_t s = symbolTable[bitBuffer >> (16 - kSymbolTableBits)];
    if (s < kSymbolCount) {
        FillBits(symbolLengths[s]);
        return s;
    }
    FillBits(kSymbolTableBits);
    s = WalkTree(s, 0x8000, kSymbolCount, kMaxCodeLength - kSymbolTableBits);
    int rest = symbolLengths[s] - kSymbolTableBits;
    FillBits(rest > 0 ? rest : 0);
    return s;
}

// Offset code j: distance 0 for j = 0, else 2^(j-1) plus j-1 extra bits.
std::uint16_t Lh5Decoder::DecodeOffset()
{
    std::uint16_t j = smallTable[bitBuffer >> (16 - kSmallTableBits)];
    if (j < offsetSymbols) {
        FillBits(smallLengths[j]);
    } else {
        FillBits(kSmallTableBits);
        j = WalkTree(j, 0x8000, offsetSymbols, kMaxCodeLength - kSmallTableBits);
        int rest = smallLengths[j] - kSmallTableBits;
        FillBits(rest > 0 ? rest : 0);
    }
    if (j == 0)
        return 0;
    return static_cast<std::uint16_t>((1u << (j - 1)) + GetBits(j - 1));
}

// The window is the output buffer: it goes to the file whole whenever it
// fills. A short write is remembered and the window reused all the same.
void Lh5Decoder::Flush(HFILE file)
{
    if (_hwrite(file, reinterpret_cast<const char*>(window), windowSize) < windowSize)
        Fail(kDecodeWriteError, DecodeReason::ShortWrite);
    windowPos = 0;
}

// Copies a match byte by byte, so that a distance shorter than the length
// repeats the last distance + 1 bytes. A match that would run past the
// member's size is cut there.
void Lh5Decoder::CopyMatch(HFILE file, std::uint16_t symbol, std::uint32_t originalSize, std::uint16_t& crc,
                           const Crc16Table& crcTable)
{
    std::uint32_t length = static_cast<std::uint16_t>(symbol - matchAdjust);
    std::uint32_t distance = DecodeOffset();
    std::int32_t from = (windowPos - static_cast<std::int32_t>(distance) - 1) & windowMask;
    // Counted against what is left rather than summed, so that a size near
    // 4 GiB cannot wrap the count and let the output run on.
    std::uint32_t left = originalSize - outputCount;
    if (length > left)
        length = left;
    outputCount += length;
    for (std::uint32_t k = 0; k < length; ++k) {
        std::uint8_t b = window[(from + static_cast<std::int32_t>(k)) & windowMask];
        window[windowPos++] = b;
        crc = UpdateCrc16(crcTable, crc, b);
        if (windowPos == windowSize)
            Flush(file);
    }
}

int Lh5Decoder::Extract(HFILE file, std::uint32_t originalSize, std::uint16_t headerCrc)
{
    Crc16Table crcTable;
    BuildCrc16Table(crcTable);
    std::uint16_t crc = 0;
    windowSize = 1 << windowBits;
    windowMask = windowSize - 1;
    window = static_cast<std::uint8_t*>(GlobalAlloc(GMEM_ZEROINIT, static_cast<SIZE_T>(windowSize)));
    if (window == nullptr) {
        reason = DecodeReason::NoWindow;
        return kDecodeNoMemory;
    }
    std::memset(window, kWindowFill, static_cast<std::size_t>(windowSize));
    BeginDecode();
    windowPos = 0;
    outputCount = 0;
    // Each pass adds at least one byte to outputCount, or fails the member.
    while (outputCount < originalSize && status == 0) {
        std::uint16_t s = DecodeSymbol();
        if (s >= kLiteralCount) {
            CopyMatch(file, s, originalSize, crc, crcTable);
            continue;
        }
        window[windowPos++] = static_cast<std::uint8_t>(s);
        crc = UpdateCrc16(crcTable, crc, static_cast<std::uint8_t>(s));
        if (windowPos >= windowSize)
            Flush(file);
        outputCount += 1;
    }
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
