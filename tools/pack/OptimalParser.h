// The cost-driven LZ77 pass: for a segment of the input it collects every
// position's match candidates, then picks the cheapest chain of literals and
// matches under a model of what each symbol costs in bits.
#pragma once

#include <cstdint>
#include <vector>

#include "BlockWriter.h"
#include "MatchFinder.h"

namespace lzhpack {

// Costs in sixteenths of a bit.
constexpr uint32_t kCostScale = 16;

struct CostModel {
    uint32_t symbol[kSymbolCount];    // literals and match lengths
    uint32_t offset[kOffsetSymbols];  // offset codes, extra bits included
};

struct SegmentParse {
    std::vector<MatchCandidate> matches;
    std::vector<uint32_t> firstMatch;  // per position, index into matches; one more at the end
    std::vector<uint32_t> cost;        // cheapest cost to reach each position
    std::vector<uint32_t> step;        // the item that reaches it
    std::vector<uint32_t> reversed;
};

// The model that the codes built for these statistics would give.
void ModelFromStats(const BlockStats& stats, CostModel& model);

// Collects the match candidates of the positions begin..end.
void CollectMatches(MatchFinder& finder, uint32_t begin, uint32_t end, SegmentParse& sp);

// Appends the items of a greedy parse: always the longest match.
void GreedyItems(const uint8_t* data, uint32_t begin, uint32_t end, const SegmentParse& sp,
                 std::vector<uint32_t>& items);

// Appends the cheapest items for begin..end under the model; matches that
// run past end are cut there.
void ChooseItems(const uint8_t* data, uint32_t begin, uint32_t end, SegmentParse& sp, const CostModel& model,
                 std::vector<uint32_t>& items);

}  // namespace lzhpack
