// The -lh5- block header: the three codes' lengths and their lookup tables.
//
// Block: 16-bit size (0 stands for 65,536 symbols) | code-length code |
// literal/length code | offset code | the symbols.
// A small code (code-length: 19 symbols, 5-bit count; offset: 14 symbols,
// 4-bit count) is a count n, then either (n = 0) one value that every lookup
// yields without consuming bits, or n small-length entries: 3 bits v, and for
// v = 7 one more for each further 1 bit (at most 13), plus the terminating
// bit. The code-length code has a 2-bit zero count after its third length.
#include "Lh5Decoder.h"
#include "Lh5Cursor.h"

#include <cstring>

namespace {

constexpr int kLengthSlots = kMaxCodeLength + 2;  // lengths 1..16 and the end of 16
constexpr std::uint32_t kCodeSpace = 1u << kMaxCodeLength;
constexpr int kRunOfOne = 0;  // code-length entries for zero runs
constexpr int kShortRun = 1;
constexpr int kLongRun = 2;

// Sets table entries begin..end-1 to the symbol and their entryBits to
// its code length. A code of length L covers 2^(tableBits - L) entries
// starting at a multiple of that count, so sixteen or more of them come in
// aligned groups of sixteen, eight or four in one such group: a few wide
// moves instead of a store per entry.
void FillEntries(std::uint16_t* table, std::uint8_t* entryBits, std::uint32_t begin, std::uint32_t end,
                 std::uint16_t symbol, std::uint8_t length)
{
    const std::uint64_t symbols = symbol * 0x0001000100010001ull;  // four entries
    const std::uint64_t lengths = length * 0x0101010101010101ull;  // eight entries
    const std::uint32_t run = end - begin;
    if (run >= 16) {
        for (std::uint32_t k = begin; k < end; k += 16) {
            for (std::uint32_t i = 0; i < 16; i += 4)
                std::memcpy(table + k + i, &symbols, sizeof symbols);
            std::memcpy(entryBits + k, &lengths, sizeof lengths);
            std::memcpy(entryBits + k + 8, &lengths, sizeof lengths);
        }
    } else if (run == 8) {
        std::memcpy(table + begin, &symbols, sizeof symbols);
        std::memcpy(table + begin + 4, &symbols, sizeof symbols);
        std::memcpy(entryBits + begin, &lengths, sizeof lengths);
    } else if (run == 4) {
        std::memcpy(table + begin, &symbols, sizeof symbols);
        std::memcpy(entryBits + begin, &lengths, 4);
    } else {
        for (std::uint32_t k = begin; k < end; ++k) {
            table[k] = symbol;
            entryBits[k] = length;
        }
    }
}

}  // namespace

// A code's symbols that have a length, in increasing order, and the number of
// codes of each length. Most of the 510 literal/length symbols of a block
// have none, so the table is built from this list rather than by passing
// over every length twice.
struct Lh5Decoder::CodeCensus {
    std::uint16_t used[kSymbolCount];
    int usedCount;
    std::uint32_t count[kLengthSlots];
};

void Lh5Decoder::ReadBlockHeader()
{
    blockRemaining = GetBits(kBlockSizeBits);
    ReadSmallCode(kCodeLengthSymbols, kCodeLengthCountBits, kCodeLengthSkipIndex);
    ReadSymbolCode();
    ReadSmallCode(offsetSymbols, offsetCountBits, kNoSkip);
    PrepareDistances();
}

// Derives the output loop's distance tables from smallTable and
// smallEntryBits, whatever they hold (after a failed offset code, the
// code-length code's table, as DecodeOffset would use it): for every index,
// the code's length plus the extra bits of its distance, and the number that,
// added to those bits read as one number, gives the distance. The code is the
// top `length` bits of the index, so with j - 1 extra bits the bits read are
// code * 2^(j-1) + extra, and the distance is 2^(j-1) + extra.
// A code of length L fills an aligned run of 2^(8 - L) entries with one
// symbol, and the values are the same over the run: a few wide moves each.
void Lh5Decoder::PrepareDistances()
{
    for (int k = 0; k < kSmallTableSize;) {
        const std::uint32_t j = smallTable[k];
        const int length = smallEntryBits[k];
        std::uint32_t run = 1;
        std::uint8_t bits = kSlowDistance;
        std::uint32_t adjust = 0;
        if (j < static_cast<std::uint32_t>(offsetSymbols) && length <= kSmallTableBits) {
            run = static_cast<std::uint32_t>(kSmallTableSize >> length);
            const int extra = j == 0 ? 0 : static_cast<int>(j) - 1;
            if (length + extra <= kMaxCodeLength) {
                const std::uint32_t code = static_cast<std::uint32_t>(k) >> (kSmallTableBits - length);
                const std::uint32_t distanceBase = j == 0 ? 0 : 1u << extra;
                bits = static_cast<std::uint8_t>(length + extra);
                adjust = distanceBase - (code << extra);
            }
        }
        if (run > static_cast<std::uint32_t>(kSmallTableSize - k))
            run = static_cast<std::uint32_t>(kSmallTableSize - k);
        std::memset(distanceEntryBits + k, bits, run);
        for (std::uint32_t i = 0; i < run; ++i)
            distanceEntryAdjust[k + i] = adjust;
        k += static_cast<int>(run);
    }
}

void Lh5Decoder::ReadSmallCode(int symbolCount, int countBits, int skipIndex)
{
    int n = GetBits(countBits);
    if (n == 0) {
        std::uint16_t v = GetBits(countBits);
        std::memset(smallLengths, 0, static_cast<std::size_t>(symbolCount));
        std::memset(smallEntryBits, 0, sizeof smallEntryBits);
        // A single value outside the code is only an error once it is used.
        std::uint16_t entry = v < symbolCount ? v : kInvalidEntry;
        for (int k = 0; k < kSmallTableSize; ++k)
            smallTable[k] = entry;
        return;
    }
    // n is at most 31; with the inserted zeros i stays below 35, inside
    // smallLengths. Lengths past symbolCount are kept and never used.
    int i = 0;
    while (i < n) {
        int v = bitBuffer >> 13;
        if (v == kSmallLengthEscape) {
            for (std::uint16_t mask = 0x1000; mask != 0 && (bitBuffer & mask); mask >>= 1)
                v += 1;
        }
        FillBits(v < kSmallLengthEscape ? 3 : v - 3);
        smallLengths[i++] = static_cast<std::uint8_t>(v);
        if (i == skipIndex) {
            for (int z = GetBits(kSkipCountBits); z > 0; --z)
                smallLengths[i++] = 0;
        }
    }
    for (; i < symbolCount; ++i)
        smallLengths[i] = 0;
    MakeTable(symbolCount, smallLengths, kSmallTableBits, smallTable, smallEntryBits);
}

void Lh5Decoder::ReadSymbolCode()
{
    int n = GetBits(kSymbolCountBits);
    if (n == 0) {
        std::uint16_t v = GetBits(kSymbolCountBits);
        std::memset(symbolLengths, 0, sizeof symbolLengths);
        std::memset(symbolEntryBits, 0, sizeof symbolEntryBits);
        std::uint16_t entry = v < kSymbolCount ? v : kInvalidEntry;
        for (int k = 0; k < kSymbolTableSize; ++k)
            symbolTable[k] = entry;
        return;
    }
    if (n > kSymbolCount) {
        Fail(kDecodeBroken, DecodeReason::CountTooLarge);
        return;
    }
    // The reader lives in registers here as in the output loop; a code
    // longer than the table's 8 bits goes through the fields. Lengths come
    // from code-length entries 3 to 18, so none exceeds 16.
    CodeCensus census;
    census.usedCount = 0;
    std::memset(census.count, 0, sizeof census.count);
    Cursor r = LoadCursor();
    int i = 0;
    while (i < n) {
        const std::uint32_t index = r.hold >> (32 - kSmallTableBits);
        std::uint16_t x = smallTable[index];
        if (x < kCodeLengthSymbols) {
            FillBits(r, smallEntryBits[index]);
        } else {
            StoreCursor(r);
            x = WalkTree(x, 0x80, kCodeLengthSymbols, kMaxCodeLength - kSmallTableBits);
            FillBits(smallLengths[x]);
            r = LoadCursor();
        }
        if (x > kLongRun) {
            const int length = x - kLengthBias;
            static_assert(kCodeLengthSymbols - 1 - kLengthBias <= kMaxCodeLength, "lengths stay within 16");
            symbolLengths[i] = static_cast<std::uint8_t>(length);
            census.used[census.usedCount++] = static_cast<std::uint16_t>(i);
            census.count[length] += 1;
            i += 1;
            continue;
        }
        int run = 1;
        if (x == kShortRun)
            run = static_cast<int>(GetBits(r, kShortRunBits)) + kShortRunMin;
        else if (x == kLongRun)
            run = static_cast<int>(GetBits(r, kLongRunBits)) + kLongRunMin;
        static_assert(kRunOfOne == 0, "entry 0 is one zero length");
        if (run > kSymbolCount - i) {
            Fail(kDecodeBroken, DecodeReason::RunPastEnd);
            run = kSymbolCount - i;
        }
        std::memset(symbolLengths + i, 0, static_cast<std::size_t>(run));
        i += run;
    }
    StoreCursor(r);
    if (i < kSymbolCount)
        std::memset(symbolLengths + i, 0, static_cast<std::size_t>(kSymbolCount - i));
    BuildTable(census, kSymbolCount, symbolLengths, kSymbolTableBits, symbolTable, symbolEntryBits);
}

// The lengths of a small code, checked and counted, then its table.
void Lh5Decoder::MakeTable(int symbolCount, const std::uint8_t* lengths, int tableBits, std::uint16_t* table,
                           std::uint8_t* entryBits)
{
    CodeCensus census;
    census.usedCount = 0;
    std::memset(census.count, 0, sizeof census.count);
    for (int s = 0; s < symbolCount; ++s) {
        if (lengths[s] > kMaxCodeLength) {
            Fail(kDecodeBroken, DecodeReason::LengthTooLong);
            return;
        }
        if (lengths[s] != 0) {
            census.used[census.usedCount++] = static_cast<std::uint16_t>(s);
            census.count[lengths[s]] += 1;
        }
    }
    BuildTable(census, symbolCount, lengths, tableBits, table, entryBits);
}

// Canonical code from its lengths. Codes up to tableBits long fill table
// entries directly (a code of length L covers 2^(tableBits - L) entries);
// longer codes continue from their table entry through tree nodes numbered
// upward from symbolCount, one node per bit beyond tableBits. The code must
// fill the 16-bit code space exactly; an empty code leaves only invalid
// entries, which fail the member when used. entryBits gets each short
// code's length beside its table entries.
void Lh5Decoder::BuildTable(const CodeCensus& census, int symbolCount, const std::uint8_t* lengths, int tableBits,
                            std::uint16_t* table, std::uint8_t* entryBits)
{
    std::uint32_t weight[kLengthSlots] = {}, start[kLengthSlots] = {};
    std::uint32_t total = 0;
    for (int L = 1; L <= kMaxCodeLength; ++L) {
        weight[L] = 1u << (kMaxCodeLength - L);
        start[L] = total;
        total += census.count[L] * weight[L];
    }
    start[kMaxCodeLength + 1] = total;
    const std::uint32_t tableSize = 1u << tableBits;
    if (total == 0) {
        for (std::uint32_t k = 0; k < tableSize; ++k)
            table[k] = kInvalidEntry;
        return;
    }
    if (total != kCodeSpace) {
        Fail(kDecodeBroken, total < kCodeSpace ? DecodeReason::IncompleteCode : DecodeReason::OversubscribedCode);
        return;
    }
    const int shift = kMaxCodeLength - tableBits;
    for (int L = 1; L <= tableBits; ++L) {
        start[L] >>= shift;
        weight[L] >>= shift;
    }
    for (std::uint32_t k = start[tableBits + 1] >> shift; k < tableSize; ++k)
        table[k] = 0;
    FillTableLeaves(census, symbolCount, lengths, tableBits, table, entryBits, start, weight);
}

// Places every symbol that has a code; the exact code space guarantees that
// the short codes' entries stay inside the table and that at most
// symbolCount - 1 nodes are made. The node checks stay as a guard for the
// arrays all the same.
void Lh5Decoder::FillTableLeaves(const CodeCensus& census, int symbolCount, const std::uint8_t* lengths, int tableBits,
                                 std::uint16_t* table, std::uint8_t* entryBits, std::uint32_t* start,
                                 const std::uint32_t* weight)
{
    const int shift = kMaxCodeLength - tableBits;
    std::uint16_t nextNode = static_cast<std::uint16_t>(symbolCount);
    for (int u = 0; u < census.usedCount; ++u) {
        const std::uint16_t s = census.used[u];
        const int L = lengths[s];
        const std::uint32_t end = start[L] + weight[L];
        if (L <= tableBits) {
            FillEntries(table, entryBits, start[L], end, s, static_cast<std::uint8_t>(L));
            start[L] = end;
            continue;
        }
        const std::uint32_t code = start[L];
        std::uint16_t* slot = &table[code >> shift];
        for (int bit = shift - 1; bit >= shift - (L - tableBits); --bit) {
            if (*slot == 0) {
                if (nextNode >= kChildCount) {
                    Fail(kDecodeBroken, DecodeReason::InvalidCode);
                    return;
                }
                *slot = nextNode;
                leftChild[nextNode] = rightChild[nextNode] = 0;
                nextNode += 1;
            }
            const std::uint16_t m = *slot;
            if (m < symbolCount || m >= kChildCount) {
                Fail(kDecodeBroken, DecodeReason::InvalidCode);
                return;
            }
            slot = ((code >> bit) & 1) ? &rightChild[m] : &leftChild[m];
        }
        *slot = s;
        start[L] = end;
    }
}
