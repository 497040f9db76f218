// Hash chains over the 8 KiB window: for a position, the earlier places
// where the bytes ahead of it occurred, nearest first.
#pragma once

#include <cstdint>

#include "Lh5Format.h"

namespace lzhpack {

// How hard the encoder tries.
struct ParseSettings {
    int maxChain;      // candidates looked at per position
    int niceLength;    // a match this long ends the search, and no search
                       // starts inside it
    int followLength;  // inside a match this long no search either; each
                       // position in it is offered the match shortened
};

// One match candidate: the nearest source found for that length.
struct MatchCandidate {
    uint16_t length;
    uint16_t distance;
};

constexpr int kHashBits = 15;
constexpr int kHash3Bits = 12;

struct MatchFinder {
    const uint8_t* data = nullptr;
    uint32_t end = 0;       // matches stop here
    uint32_t inserted = 0;  // positions below this are in the chains
    ParseSettings settings{};
    int32_t head[1 << kHashBits];    // newest position per 4-byte hash
    int32_t prev[kWindowSize];       // the chain: next older position of the same hash
    int32_t head3[1 << kHash3Bits];  // newest position per 3-byte hash
};

// Starts the chains for a parse of data[begin..end); the window before
// begin is taken in so that matches may reach back into it.
void BeginMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t begin, uint32_t end,
                      const ParseSettings& settings);

// Every useful match for position p: each candidate longer than the one
// before, at the nearest distance found for that length: first the nearest
// 3-byte match, then the chain of 4-byte matches. Fills out with at most
// settings.maxChain + 1 candidates and returns their count.
int FindMatches(MatchFinder& finder, uint32_t p, MatchCandidate* out);

// Puts every position below `end` into the chains without searching.
void SkipPositions(MatchFinder& finder, uint32_t end);

}  // namespace lzhpack
