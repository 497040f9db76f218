#include "Lh5Encoder.h"

#include <memory>

#include "BitWriter.h"
#include "BlockWriter.h"
#include "OptimalParser.h"

namespace lzhpack {

const ParseSettings kDefaultParse = {/*maxChain=*/24, /*niceLength=*/48, /*followLength=*/32};

namespace {

// Blocks are planned in chunks of this many items: each chunk either joins
// the open block, when one set of codes for both is cheaper than two, or
// closes it and opens the next.
constexpr int kChunkItems = 1024;
static_assert(2 * kChunkItems <= kMaxBlockSymbols, "a chunk always fits a fresh block");

// The parse looks at this many input bytes at a time.
constexpr uint32_t kSegmentBytes = 32768;

struct Planner {
    std::vector<uint32_t> items;  // the open block's items, then those not planned yet
    BlockStats open;
    BlockStats chunk;
    BlockStats merged;
    BlockCodes codes;
    uint64_t openCost = 0;
};

void CloseBlock(Planner& pl, BitWriter& out)
{
    int count = int(pl.open.items);
    BuildBlockCodes(pl.open, pl.codes, true);
    WriteBlock(out, pl.codes, pl.items.data(), count);
    pl.items.erase(pl.items.begin(), pl.items.begin() + count);
    ClearStats(pl.open);
}

// Takes the next `count` items behind the open block into the plan.
void PlanChunk(Planner& pl, BitWriter& out, int count)
{
    int start = int(pl.open.items);
    ClearStats(pl.chunk);
    AddItems(pl.chunk, pl.items.data() + start, count);
    uint64_t chunkCost = BlockCost(pl.chunk, pl.codes);
    if (pl.open.items != 0) {
        if (pl.open.items + pl.chunk.items <= uint32_t(kMaxBlockSymbols)) {
            pl.merged = pl.open;
            AddStats(pl.merged, pl.chunk);
            uint64_t mergedCost = BlockCost(pl.merged, pl.codes);
            if (mergedCost <= pl.openCost + chunkCost) {
                pl.open = pl.merged;
                pl.openCost = mergedCost;
                return;
            }
        }
        CloseBlock(pl, out);
    }
    pl.open = pl.chunk;
    pl.openCost = chunkCost;
}

// Plans every whole chunk of pending items, or all of them at the end. Each
// chunk planned takes at least one pending item.
void PlanPending(Planner& pl, BitWriter& out, bool last)
{
    for (;;) {
        int pending = int(pl.items.size()) - int(pl.open.items);
        if (pending == 0 || (!last && pending < kChunkItems))
            break;
        PlanChunk(pl, out, pending < kChunkItems ? pending : kChunkItems);
    }
}

struct Encoder {
    MatchFinder finder;
    Planner planner;
    SegmentParse segment;
    CostModel model;
    BlockStats stats;
};

// Parses one segment under the costs that the codes of the segment before
// would give. The first segment of a part has none: a greedy parse of its
// own matches stands in for them. The last one leaves no costs behind.
void ParseSegment(Encoder& enc, const uint8_t* data, uint32_t begin, uint32_t end, bool first, bool last)
{
    CollectMatches(enc.finder, begin, end, enc.segment);
    std::vector<uint32_t>& items = enc.planner.items;
    size_t before = items.size();
    if (first) {
        GreedyItems(data, begin, end, enc.segment, items);
        ClearStats(enc.stats);
        AddItems(enc.stats, items.data() + before, int(items.size() - before));
        ModelFromStats(enc.stats, enc.model);
        items.resize(before);
    }
    ChooseItems(data, begin, end, enc.segment, enc.model, items);
    if (last)
        return;
    ClearStats(enc.stats);
    AddItems(enc.stats, items.data() + before, int(items.size() - before));
    ModelFromStats(enc.stats, enc.model);
}

}  // namespace

void EncodeLh5Part(const uint8_t* data, uint32_t begin, uint32_t end, BitPiece& piece, const ParseSettings& settings)
{
    piece.bytes.clear();
    // Default-initialised, not zeroed: every table is set before it is read
    // (the match finder's by BeginMatchFinder), and zeroing some 200 KiB per
    // part showed in the time of archives of many small files.
    std::unique_ptr<Encoder> encoder(new Encoder);
    Encoder& enc = *encoder;
    BeginMatchFinder(enc.finder, data, begin, end, settings);
    ClearStats(enc.planner.open);
    BitWriter writer(piece.bytes);
    for (uint32_t at = begin; at < end; at += kSegmentBytes) {
        uint32_t stop = end - at > kSegmentBytes ? at + kSegmentBytes : end;
        ParseSegment(enc, data, at, stop, at == begin, stop == end);
        PlanPending(enc.planner, writer, false);
    }
    PlanPending(enc.planner, writer, true);
    if (enc.planner.open.items != 0)
        CloseBlock(enc.planner, writer);
    piece.tailBits = writer.Finish();
}

void AppendPiece(BitPiece& stream, const BitPiece& piece)
{
    int shift = stream.tailBits;
    if (shift == 0 || stream.bytes.empty()) {
        stream.bytes.insert(stream.bytes.end(), piece.bytes.begin(), piece.bytes.end());
        stream.tailBits = piece.tailBits;
        return;
    }
    uint64_t pieceBits = uint64_t(piece.bytes.size()) * 8 - (piece.tailBits ? 8 - piece.tailBits : 0);
    uint64_t totalBits = (uint64_t(stream.bytes.size()) * 8 - (8 - shift)) + pieceBits;
    for (uint8_t b : piece.bytes) {
        stream.bytes.back() |= uint8_t(b >> shift);
        stream.bytes.push_back(uint8_t(b << (8 - shift)));
    }
    stream.bytes.resize(size_t((totalBits + 7) / 8));
    stream.tailBits = int(totalBits % 8);
}

void EncodeLh5(const uint8_t* data, uint32_t size, std::vector<uint8_t>& out, const ParseSettings& settings)
{
    BitPiece piece;
    EncodeLh5Part(data, 0, size, piece, settings);
    out.swap(piece.bytes);
}

}  // namespace lzhpack
