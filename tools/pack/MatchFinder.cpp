#include "MatchFinder.h"

#include <cstring>

namespace lzhpack {

namespace {

constexpr int32_t kNoPosition = -2 * kWindowSize;
constexpr uint32_t kPositionMask = kWindowSize - 1;

inline uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline uint32_t Hash3(const uint8_t* p)
{
    uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    return (v * 0x9E3779B1u) >> (32 - kHash3Bits);
}

inline uint32_t Hash4(const uint8_t* p) { return (Load32(p) * 0x9E3779B1u) >> (32 - kHashBits); }

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

// Puts every position below `upTo` that has three bytes behind it into the
// chains. A chain entry is overwritten a window later, when its position can
// no longer be reached.
inline void InsertUpTo(MatchFinder& mf, uint32_t upTo)
{
    uint32_t last = mf.end >= 4 ? mf.end - 4 + 1 : 0;
    if (upTo > last)
        upTo = last;
    for (uint32_t p = mf.inserted; p < upTo; ++p) {
        uint32_t h = Hash4(mf.data + p);
        mf.prev[p & kPositionMask] = mf.head[h];
        mf.head[h] = int32_t(p);
        mf.head3[Hash3(mf.data + p)] = int32_t(p);
    }
    if (upTo > mf.inserted)
        mf.inserted = upTo;
}

}  // namespace

void BeginMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t begin, uint32_t end,
                      const ParseSettings& settings)
{
    finder.data = data;
    finder.end = end;
    finder.settings = settings;
    for (int32_t& h : finder.head)
        h = kNoPosition;
    for (int32_t& p : finder.prev)
        p = kNoPosition;
    for (int32_t& h : finder.head3)
        h = kNoPosition;
    finder.inserted = begin > uint32_t(kWindowSize) ? begin - kWindowSize : 0;
    InsertUpTo(finder, begin);
}

int FindMatches(MatchFinder& mf, uint32_t p, MatchCandidate* out)
{
    uint32_t remaining = mf.end - p;
    if (remaining < uint32_t(kMinMatch))
        return 0;
    int limit = remaining < uint32_t(kMaxMatch) ? int(remaining) : kMaxMatch;
    int nice = mf.settings.niceLength < limit ? mf.settings.niceLength : limit;
    InsertUpTo(mf, p);
    const uint8_t* here = mf.data + p;
    int32_t farthest = int32_t(p) - kMaxDistance;
    int bestLength = kMinMatch - 1;
    int found = 0;
    if (remaining < 4)
        return 0;
    int32_t near3 = mf.head3[Hash3(here)];
    InsertUpTo(mf, p + 1);
    if (near3 >= farthest && near3 < int32_t(p) && std::memcmp(mf.data + near3, here, 3) == 0) {
        bestLength = CommonLength(mf.data + near3, here, limit);
        out[found++] = MatchCandidate{uint16_t(bestLength), uint16_t(int32_t(p) - near3)};
        if (bestLength >= nice)
            return found;
    }
    int32_t candidate = mf.prev[p & kPositionMask];
    // bestLength stays below limit: reaching nice (at most limit) ends the walk.
    for (int chain = 0; chain < mf.settings.maxChain && candidate >= farthest; ++chain) {
        const uint8_t* there = mf.data + candidate;
        if (there[bestLength] == here[bestLength] && there[0] == here[0] && there[1] == here[1]) {
            int length = CommonLength(there, here, limit);
            if (length > bestLength) {
                bestLength = length;
                out[found++] = MatchCandidate{uint16_t(length), uint16_t(int32_t(p) - candidate)};
                if (length >= nice)
                    break;
            }
        }
        int32_t next = mf.prev[uint32_t(candidate) & kPositionMask];
        if (next >= candidate)
            break;  // the slot was taken over by a position a window later
        candidate = next;
    }
    return found;
}

void SkipPositions(MatchFinder& finder, uint32_t end) { InsertUpTo(finder, end); }

}  // namespace lzhpack
