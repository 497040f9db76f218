#include "BlockWriter.h"

#include "Huffman.h"

namespace lzhpack {

namespace {

// Format of the literal/length code lengths: each length is sent as one
// symbol of the code-length code, symbol L + 2 for a length L of 1 to 16;
// runs of zero lengths use symbols 0 (one zero), 1 (4 bits: 3 to 18 zeros)
// and 2 (9 bits: 20 and more). A run of 19 is one zero and a run of 18.
template <class Visit>
void ForEachLengthEntry(const uint8_t* lengths, int sent, Visit visit)
{
    int i = 0;
    while (i < sent) {
        if (lengths[i] != 0) {
            visit(lengths[i] + 2, 0, 0);
            ++i;
            continue;
        }
        int run = 1;
        while (i + run < sent && lengths[i + run] == 0)
            ++run;
        i += run;
        if (run == kShortRunMax + 1) {
            visit(0, 0, 0);
            run -= 1;
        }
        if (run < kShortRunMin) {
            for (int k = 0; k < run; ++k)
                visit(0, 0, 0);
        } else if (run <= kShortRunMax) {
            visit(1, kShortRunBits, run - kShortRunMin);
        } else {
            visit(2, kLongRunBits, run - kLongRunMin);
        }
    }
}

template <int N>
int LengthsSent(const Code<N>& code)
{
    int n = N;
    while (n > 0 && code.lengths[n - 1] == 0)
        --n;
    return n;
}

// The lengths from a shape of freq, and the codes too when the block is to
// be written.
template <int N>
void BuildCode(const uint32_t* freq, const CodeShape& shape, Code<N>& code, int maxLength, bool withCodes = true)
{
    code.used = LengthsFromShape(shape, N, maxLength, code.lengths);
    code.single = 0;
    for (int s = 0; s < N; ++s) {
        if (freq[s] != 0)
            code.single = s;
    }
    if (withCodes)
        BuildCanonicalCodes(code.lengths, N, code.codes);
}

template <int N>
void BuildCode(const uint32_t* freq, Code<N>& code, int maxLength = kMaxCodeLength, bool withCodes = true)
{
    CodeShape shape;
    ShapeCode(freq, N, shape);
    BuildCode(freq, shape, code, maxLength, withCodes);
}

// A small code (code-length or offset code): a count, then per length a
// 3-bit value, or for 7 and more a unary tail: 111, one 1 per step beyond
// 7, a closing 0. Count 0 means a single value follows instead.
template <class Sink, int N>
void WriteSmallCode(Sink& out, const Code<N>& code, int countBits, int skipIndex)
{
    if (code.used < 2) {
        out.Put(countBits, 0);
        out.Put(countBits, uint32_t(code.single));
        return;
    }
    int sent = LengthsSent(code);
    out.Put(countBits, uint32_t(sent));
    int i = 0;
    while (i < sent) {
        int length = code.lengths[i++];
        if (length < 7)
            out.Put(3, uint32_t(length));
        else
            out.Put(length - 3, (1u << (length - 3)) - 2);
        if (i == skipIndex) {
            int zeros = 0;
            while (zeros < kMaxSkipZeros && i < sent && code.lengths[i] == 0) {
                ++zeros;
                ++i;
            }
            out.Put(kSkipCountBits, uint32_t(zeros));
        }
    }
}

template <class Sink>
void WriteBlockHeader(Sink& out, const BlockCodes& c, uint32_t blockSize)
{
    out.Put(kBlockSizeBits, blockSize);
    if (c.symbols.used < 2) {
        out.Put(kCodeLengthCountBits, 0);
        out.Put(kCodeLengthCountBits, 0);
        out.Put(kSymbolCountBits, 0);
        out.Put(kSymbolCountBits, uint32_t(c.symbols.single));
    } else {
        WriteSmallCode(out, c.codeLengths, kCodeLengthCountBits, kCodeLengthSkipIndex);
        int sent = LengthsSent(c.symbols);
        out.Put(kSymbolCountBits, uint32_t(sent));
        const auto& cl = c.codeLengths;
        ForEachLengthEntry(c.symbols.lengths, sent, [&](int entry, int extraBits, int extra) {
            out.Put(cl.lengths[entry], cl.codes[entry]);
            out.Put(extraBits, uint32_t(extra));
        });
    }
    WriteSmallCode(out, c.offsets, kOffsetCountBits, -1);
}

}  // namespace

void ClearStats(BlockStats& stats)
{
    for (uint32_t& f : stats.symbolFreq)
        f = 0;
    for (uint32_t& f : stats.offsetFreq)
        f = 0;
    stats.items = 0;
}

void AddItems(BlockStats& stats, const uint32_t* items, int count)
{
    for (int i = 0; i < count; ++i) {
        uint32_t symbol = ItemSymbol(items[i]);
        ++stats.symbolFreq[symbol];
        if (symbol >= uint32_t(kLiteralCount))
            ++stats.offsetFreq[OffsetCode(ItemDistanceValue(items[i]))];
    }
    stats.items += uint32_t(count);
}

void AddStats(BlockStats& sum, const BlockStats& more)
{
    for (int s = 0; s < kSymbolCount; ++s)
        sum.symbolFreq[s] += more.symbolFreq[s];
    for (int s = 0; s < kOffsetSymbols; ++s)
        sum.offsetFreq[s] += more.offsetFreq[s];
    sum.items += more.items;
}

namespace {

// Bits of a code's data under its lengths.
template <int N>
uint64_t DataBits(const uint32_t* freq, const Code<N>& code)
{
    uint64_t bits = 0;
    for (int s = 0; s < N; ++s)
        bits += uint64_t(freq[s]) * code.lengths[s];
    return bits;
}

// Sending a small code's lengths costs 3 bits up to 6 and more from 7 on,
// so a code held to fewer bits per symbol can be cheaper as a whole.
template <int N>
uint64_t BuildSmallCode(const uint32_t* freq, Code<N>& code, int skipIndex, int countBits)
{
    static const int kLimits[] = {kMaxCodeLength, 6, 5};
    Code<N> trial;
    CodeShape shape;
    ShapeCode(freq, N, shape);
    uint64_t best = ~uint64_t(0);
    // Every limit leaves room for all N symbols: 2^5 > 19.
    static_assert((1 << 5) >= kCodeLengthSymbols && (1 << 5) >= kOffsetSymbols, "every limit can code N symbols");
    for (int limit : kLimits) {
        BuildCode(freq, shape, trial, limit);
        BitCounter header;
        WriteSmallCode(header, trial, countBits, skipIndex);
        uint64_t bits = header.bits + DataBits(freq, trial);
        if (bits < best) {
            best = bits;
            code = trial;
        }
    }
    return best;
}

}  // namespace

// Small blocks spend much of their size on the literal/length code's
// lengths; a code held to fewer bits has fewer distinct lengths to send,
// so each limit is priced in full and the cheapest kept.
void BuildBlockCodes(const BlockStats& stats, BlockCodes& codes, bool thorough)
{
    static const int kLimits[] = {kMaxCodeLength, 12, 11, 10};
    if (!thorough) {
        BuildCode(stats.offsetFreq, codes.offsets, kMaxCodeLength, false);
        BuildCode(stats.symbolFreq, codes.symbols, kMaxCodeLength, false);
        uint32_t entryFreq[kCodeLengthSymbols] = {};
        if (codes.symbols.used >= 2) {
            ForEachLengthEntry(codes.symbols.lengths, LengthsSent(codes.symbols),
                               [&](int entry, int, int) { ++entryFreq[entry]; });
        }
        // The header writer sends the symbol lengths in this code: its
        // canonical codes are read, so they are built.
        BuildCode(entryFreq, codes.codeLengths, kMaxCodeLength);
        return;
    }
    BuildSmallCode(stats.offsetFreq, codes.offsets, -1, kOffsetCountBits);
    Code<kSymbolCount> symbols;
    Code<kCodeLengthSymbols> codeLengths;
    CodeShape shape;
    ShapeCode(stats.symbolFreq, kSymbolCount, shape);
    uint64_t best = ~uint64_t(0);
    for (int limit : kLimits) {
        BuildCode(stats.symbolFreq, shape, symbols, limit);
        uint32_t entryFreq[kCodeLengthSymbols] = {};
        uint64_t extraBits = 0;
        if (symbols.used >= 2) {
            ForEachLengthEntry(symbols.lengths, LengthsSent(symbols), [&](int entry, int extra, int) {
                ++entryFreq[entry];
                extraBits += uint64_t(extra);
            });
        }
        uint64_t bits = BuildSmallCode(entryFreq, codeLengths, kCodeLengthSkipIndex, kCodeLengthCountBits) + extraBits +
                        DataBits(stats.symbolFreq, symbols);
        if (bits < best) {
            best = bits;
            codes.symbols = symbols;
            codes.codeLengths = codeLengths;
        }
        if (symbols.used < 2)
            break;
    }
}

uint64_t BlockCost(const BlockStats& stats, BlockCodes& codes)
{
    BuildBlockCodes(stats, codes, false);
    BitCounter counter;
    WriteBlockHeader(counter, codes, stats.items);
    uint64_t bits = counter.bits;
    for (int s = 0; s < kSymbolCount; ++s)
        bits += uint64_t(stats.symbolFreq[s]) * codes.symbols.lengths[s];
    for (int s = 0; s < kOffsetSymbols; ++s)
        bits += uint64_t(stats.offsetFreq[s]) * codes.offsets.lengths[s];
    return bits;
}

void WriteBlock(BitWriter& out, const BlockCodes& c, const uint32_t* items, int count)
{
    // Header at most 16 + 2 x (5 + 19 x 13) + 9 + 510 x (16 + 9) + 4 + 14 x 13
    // bits; a symbol at most 16 + 16 + 12 bits.
    out.Reserve(2048 + size_t(count) * 6);
    WriteBlockHeader(out, c, uint32_t(count));
    const Code<kSymbolCount>& sym = c.symbols;
    const Code<kOffsetSymbols>& off = c.offsets;
    for (int i = 0; i < count; ++i) {
        uint32_t symbol = ItemSymbol(items[i]);
        out.Put(sym.lengths[symbol], sym.codes[symbol]);
        if (symbol >= uint32_t(kLiteralCount)) {
            uint32_t value = ItemDistanceValue(items[i]);
            int j = OffsetCode(value);
            int extraBits = j > 1 ? j - 1 : 0;
            out.Put(off.lengths[j] + extraBits,
                    (uint32_t(off.codes[j]) << extraBits) | (value & ((1u << extraBits) - 1)));
        }
    }
}

}  // namespace lzhpack
