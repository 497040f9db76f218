#include "Lz77Parser.h"

#include <cstring>

namespace lzhpack {

namespace {

constexpr int32_t kNoPosition = -2 * kWindowSize;
constexpr uint32_t kPositionMask = kWindowSize - 1;

struct Match {
    int length;
    int distance;
};

inline uint32_t Hash3(const uint8_t* p)
{
    uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    return (v * 0x9E3779B1u) >> (32 - kHashBits);
}

inline uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Length of the common prefix of a and b, at most limit.
inline int CommonLength(const uint8_t* a, const uint8_t* b, int limit)
{
    int n = 0;
    while (n + 8 <= limit) {
        uint64_t diff = Load64(a + n) ^ Load64(b + n);
        if (diff != 0)
            return n + __builtin_ctzll(diff) / 8;
        n += 8;
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

// Puts every position below `end` that has three bytes behind it into the chains.
inline void InsertUpTo(Lz77Parser& ps, uint32_t end)
{
    uint32_t last = ps.size >= kMinMatch ? ps.size - kMinMatch + 1 : 0;
    if (end > last)
        end = last;
    for (uint32_t p = ps.inserted; p < end; ++p) {
        uint32_t h = Hash3(ps.data + p);
        ps.prev[p & kPositionMask] = ps.head[h];
        ps.head[h] = int32_t(p);
    }
    if (end > ps.inserted)
        ps.inserted = end;
}

// The longest match for position p among the chain's candidates, the
// nearest one of that length; length 0 when there is none worth sending.
Match FindMatch(Lz77Parser& ps, uint32_t p, int maxChain)
{
    Match best{0, 0};
    uint32_t remaining = ps.size - p;
    if (remaining < uint32_t(kMinMatch))
        return best;
    int limit = remaining < uint32_t(kMaxMatch) ? int(remaining) : kMaxMatch;
    int nice = ps.settings.niceLength < limit ? ps.settings.niceLength : limit;
    InsertUpTo(ps, p + 1);
    const uint8_t* here = ps.data + p;
    int32_t nearest = int32_t(p) - kMaxDistance;
    int32_t candidate = ps.prev[p & kPositionMask];
    int bestLength = kMinMatch - 1;
    for (int chain = 0; chain < maxChain && candidate >= nearest; ++chain) {
        const uint8_t* there = ps.data + candidate;
        if (there[bestLength] == here[bestLength] && there[0] == here[0] && there[1] == here[1]) {
            int length = CommonLength(there, here, limit);
            if (length > bestLength) {
                bestLength = length;
                best.distance = int(p) - candidate;
                if (length >= nice)
                    break;
            }
        }
        candidate = ps.prev[uint32_t(candidate) & kPositionMask];
    }
    if (bestLength >= kMinMatch)
        best.length = bestLength;
    if (best.length == kMinMatch && best.distance > ps.settings.farShortMatch)
        best.length = 0;
    return best;
}

}  // namespace

void BeginParse(Lz77Parser& parser, const uint8_t* data, uint32_t size, const ParseSettings& settings)
{
    parser.data = data;
    parser.size = size;
    parser.pos = 0;
    parser.inserted = 0;
    parser.settings = settings;
    for (int32_t& h : parser.head)
        h = kNoPosition;
    for (int32_t& p : parser.prev)
        p = kNoPosition;
}

int ParseItems(Lz77Parser& ps, std::vector<uint32_t>& items, int count)
{
    int produced = 0;
    Match current{0, 0};
    bool haveCurrent = false;
    // A match found one byte ahead is carried into the next step; the loop
    // only stops between items, so it is never left behind.
    while (ps.pos < ps.size && (produced < count || haveCurrent)) {
        uint32_t p = ps.pos;
        if (!haveCurrent)
            current = FindMatch(ps, p, ps.settings.maxChain);
        haveCurrent = false;
        if (current.length < kMinMatch) {
            items.push_back(MakeLiteral(ps.data[p]));
            ++produced;
            ps.pos = p + 1;
            continue;
        }
        if (current.length < ps.settings.lazyLength) {
            Match next = FindMatch(ps, p + 1, ps.settings.maxChain);
            if (next.length > current.length) {
                items.push_back(MakeLiteral(ps.data[p]));
                ++produced;
                ps.pos = p + 1;
                current = next;
                haveCurrent = true;
                continue;
            }
        }
        items.push_back(MakeMatch(uint32_t(current.length), uint32_t(current.distance)));
        ++produced;
        ps.pos = p + uint32_t(current.length);
    }
    return produced;
}

}  // namespace lzhpack
