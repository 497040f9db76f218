#include "OptimalParser.h"

#include "Huffman.h"

namespace lzhpack {

namespace {

constexpr uint32_t kUnreachable = 0xFFFFFFFF;

// A candidate offered inside a fairly long match (that match one byte
// shorter, at the same distance) carries this mark in its distance. The
// parse prices only its full length there: starting the same match later
// and ending it early rarely wins, and pricing every length at every
// position inside a match made that work grow with the square of its length.
constexpr uint16_t kFollowMark = 0x8000;
static_assert(kMaxDistance < kFollowMark, "the mark stays clear of every distance");

inline uint16_t CandidateDistance(const MatchCandidate& c) { return uint16_t(c.distance & ~kFollowMark); }

// Bits a symbol of length 0 (not seen in the statistics) is taken to cost.
uint32_t UnseenCost(const uint8_t* lengths, int count)
{
    int longest = 0;
    for (int s = 0; s < count; ++s) {
        if (lengths[s] > longest)
            longest = lengths[s];
    }
    int bits = longest + 2;
    return uint32_t(bits > kMaxCodeLength ? kMaxCodeLength : bits) * kCostScale;
}

template <int N>
void CostsFromFreq(const uint32_t* freq, uint32_t* cost)
{
    uint8_t lengths[N];
    int used = BuildCodeLengths(freq, N, kMaxCodeLength, lengths);
    uint32_t unseen = used < 2 ? kCostScale : UnseenCost(lengths, N);
    for (int s = 0; s < N; ++s) {
        if (used < 2)
            cost[s] = freq[s] != 0 ? 0 : unseen;
        else
            cost[s] = lengths[s] != 0 ? lengths[s] * kCostScale : unseen;
    }
}

void AddExtraBits(CostModel& model)
{
    for (int j = 2; j < kOffsetSymbols; ++j)
        model.offset[j] += uint32_t(j - 1) * kCostScale;
}

}  // namespace

void ModelFromStats(const BlockStats& stats, CostModel& model)
{
    CostsFromFreq<kSymbolCount>(stats.symbolFreq, model.symbol);
    CostsFromFreq<kOffsetSymbols>(stats.offsetFreq, model.offset);
    AddExtraBits(model);
}

void CollectMatches(MatchFinder& finder, uint32_t begin, uint32_t end, SegmentParse& sp)
{
    uint32_t n = end - begin;
    sp.firstMatch.resize(n + 1);
    // The finder writes straight into the list, which always has room for
    // one more position's candidates; `used` counts those kept.
    const size_t room = size_t(finder.settings.maxChain) + 1;
    size_t used = 0;
    uint32_t skipUntil = begin;
    uint32_t followUntil = begin;
    MatchCandidate follow{0, 0};
    for (uint32_t p = begin; p < end; ++p) {
        sp.firstMatch[p - begin] = uint32_t(used);
        if (sp.matches.size() < used + room)
            sp.matches.resize(2 * (used + room));
        // Inside a long match the parse will not stop, so no search there.
        if (p < skipUntil)
            continue;
        // Inside a fairly long one the parse may stop, but a search would
        // mostly find the same match again, one byte shorter: offer that.
        if (p < followUntil) {
            follow.length = uint16_t(follow.length - 1);
            if (follow.length >= kMinMatch)
                sp.matches[used++] = MatchCandidate{follow.length, uint16_t(follow.distance | kFollowMark)};
            continue;
        }
        MatchCandidate* found = sp.matches.data() + used;
        int count = FindMatches(finder, p, found);
        used += size_t(count);
        int longest = count > 0 ? found[count - 1].length : 0;
        if (longest >= finder.settings.niceLength) {
            skipUntil = p + uint32_t(longest);
            SkipPositions(finder, skipUntil);
        } else if (longest >= finder.settings.followLength) {
            follow = found[count - 1];
            followUntil = p + uint32_t(longest);
            SkipPositions(finder, followUntil);
        }
    }
    sp.firstMatch[n] = uint32_t(used);
}

void GreedyItems(const uint8_t* data, uint32_t begin, uint32_t end, const SegmentParse& sp,
                 std::vector<uint32_t>& items)
{
    uint32_t n = end - begin;
    for (uint32_t i = 0; i < n;) {
        uint32_t first = sp.firstMatch[i];
        uint32_t last = sp.firstMatch[i + 1];
        uint32_t length = last > first ? sp.matches[last - 1].length : 0;
        if (length > n - i)
            length = n - i;
        if (length >= uint32_t(kMinMatch)) {
            items.push_back(MakeMatch(length, CandidateDistance(sp.matches[last - 1])));
            i += length;
        } else {
            items.push_back(MakeLiteral(data[begin + i]));
            ++i;
        }
    }
}

void ChooseItems(const uint8_t* data, uint32_t begin, uint32_t end, SegmentParse& sp, const CostModel& model,
                 std::vector<uint32_t>& items)
{
    uint32_t n = end - begin;
    sp.cost.assign(n + 1, kUnreachable);
    sp.step.resize(n + 1);
    sp.cost[0] = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t here = sp.cost[i];
        uint32_t viaLiteral = here + model.symbol[data[begin + i]];
        if (viaLiteral < sp.cost[i + 1]) {
            sp.cost[i + 1] = viaLiteral;
            sp.step[i + 1] = MakeLiteral(data[begin + i]);
        }
        int shorter = kMinMatch - 1;
        for (uint32_t m = sp.firstMatch[i]; m < sp.firstMatch[i + 1]; ++m) {
            const MatchCandidate c = sp.matches[m];
            const uint16_t distance = CandidateDistance(c);
            uint32_t base = here + model.offset[OffsetCode(uint32_t(distance) - 1)];
            // Every length up to the candidate's is open at its distance.
            int longest = c.length < int(n - i) ? c.length : int(n - i);
            if (c.distance != distance && longest > shorter + 1)
                shorter = longest - 1;
            // Written without a branch: which length wins is hard to predict.
            uint32_t* cost = sp.cost.data() + i;
            uint32_t* step = sp.step.data() + i;
            const uint32_t* lengthCost = model.symbol + kMatchAdjust;
            uint32_t item = MakeMatch(0, distance);
            for (int length = shorter + 1; length <= longest; ++length) {
                uint32_t total = base + lengthCost[length];
                bool better = total < cost[length];
                cost[length] = better ? total : cost[length];
                step[length] = better ? item + uint32_t(length) : step[length];
            }
            shorter = c.length;
        }
    }
    sp.reversed.clear();
    for (uint32_t at = n; at > 0;) {
        uint32_t item = sp.step[at];
        sp.reversed.push_back(item);
        uint32_t symbol = ItemSymbol(item);
        at -= symbol < uint32_t(kLiteralCount) ? 1 : symbol - uint32_t(kMatchAdjust);
    }
    items.insert(items.end(), sp.reversed.rbegin(), sp.reversed.rend());
}

}  // namespace lzhpack
