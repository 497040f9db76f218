#include "Lh5Encoder.h"

#include <memory>

#include "BitWriter.h"
#include "BlockWriter.h"

namespace lzhpack {

const ParseSettings kDefaultParse = {
    /*maxChain=*/32, /*niceLength=*/128, /*lazyLength=*/32, /*farShortMatch=*/2048};

namespace {

// Blocks are planned in chunks of this many items: each chunk either joins
// the open block, when one set of codes for both is cheaper than two, or
// closes it and opens the next.
constexpr int kChunkItems = 4096;
static_assert(2 * kChunkItems + 2 <= kMaxBlockSymbols, "a chunk always fits a fresh block");

struct Planner {
    std::vector<uint32_t> items;  // the open block's items, then the new chunk's
    BlockStats open;
    BlockStats chunk;
    BlockStats merged;
    BlockCodes codes;
    uint64_t openCost = 0;
};

void CloseBlock(Planner& pl, BitWriter& out)
{
    int count = int(pl.open.items);
    BuildBlockCodes(pl.open, pl.codes);
    WriteBlock(out, pl.codes, pl.items.data(), count);
    pl.items.erase(pl.items.begin(), pl.items.begin() + count);
    ClearStats(pl.open);
}

// Takes the chunk of items behind the open block into the plan.
void PlanChunk(Planner& pl, BitWriter& out)
{
    int start = int(pl.open.items);
    ClearStats(pl.chunk);
    AddItems(pl.chunk, pl.items.data() + start, int(pl.items.size()) - start);
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

}  // namespace

void EncodeLh5(const uint8_t* data, uint32_t size, std::vector<uint8_t>& out, const ParseSettings& settings)
{
    out.clear();
    auto parser = std::make_unique<Lz77Parser>();
    auto planner = std::make_unique<Planner>();
    Planner& pl = *planner;
    BeginParse(*parser, data, size, settings);
    pl.items.reserve(kMaxBlockSymbols + kChunkItems + 2);
    ClearStats(pl.open);
    BitWriter writer(out);
    // Each pass consumes at least one input byte.
    for (uint32_t pass = 0; pass <= size; ++pass) {
        if (ParseItems(*parser, pl.items, kChunkItems) == 0)
            break;
        PlanChunk(pl, writer);
    }
    if (pl.open.items != 0)
        CloseBlock(pl, writer);
    writer.Finish();
}

}  // namespace lzhpack
