#include "Huffman.h"

#include <algorithm>

namespace lzhpack {

namespace {

constexpr int kMaxSymbols = kMaxCodeSymbols;

// Huffman's construction with two queues: the leaves sorted by weight and the
// inner nodes, which come out in order of weight by themselves. Returns the
// depth count per level, count[d] for d up to used - 1.
void CountDepths(const uint64_t* sorted, int used, int* count)
{
    uint64_t weight[2 * kMaxSymbols];
    int parent[2 * kMaxSymbols];
    for (int i = 0; i < used; ++i)
        weight[i] = sorted[i] >> 16;
    int leaf = 0;
    int inner = used;
    int next = used;
    for (int k = 0; k < used - 1; ++k) {
        int pick[2];
        for (int& p : pick) {
            if (leaf < used && (inner >= next || weight[leaf] <= weight[inner]))
                p = leaf++;
            else
                p = inner++;
        }
        weight[next] = weight[pick[0]] + weight[pick[1]];
        parent[pick[0]] = next;
        parent[pick[1]] = next;
        ++next;
    }
    int depth[2 * kMaxSymbols];
    depth[next - 1] = 0;
    for (int i = next - 2; i >= 0; --i)
        depth[i] = depth[parent[i]] + 1;
    for (int i = 0; i < used; ++i)
        ++count[depth[i]];
}

// Moves leaves deeper than maxLength up while keeping the code complete:
// two sibling leaves at the deepest level d leave it, one takes their
// parent's place at d - 1 and the other joins a leaf at a shallower level j,
// which becomes their parent (one leaf at j becomes two at j + 1).
void LimitDepths(int* count, int deepest, int maxLength)
{
    for (int d = deepest; d > maxLength; --d) {
        while (count[d] > 0) {
            int j = d - 2;
            while (j > 0 && count[j] == 0)
                --j;
            count[d] -= 2;
            count[d - 1] += 1;
            count[j + 1] += 2;
            count[j] -= 1;
        }
    }
}

}  // namespace

int ShapeCode(const uint32_t* freq, int count, CodeShape& shape)
{
    int used = 0;
    for (int s = 0; s < count && s < kMaxSymbols; ++s) {
        if (freq[s] != 0)
            shape.sorted[used++] = (uint64_t(freq[s]) << 16) | uint64_t(s);
    }
    shape.used = used;
    shape.deepest = 0;
    if (used < 2)
        return used;
    std::sort(shape.sorted, shape.sorted + used);
    // Depths run from 0 to used - 1.
    std::fill(shape.depthCount, shape.depthCount + used, 0);
    CountDepths(shape.sorted, used, shape.depthCount);
    int deepest = used - 1;
    while (shape.depthCount[deepest] == 0)
        --deepest;
    shape.deepest = deepest;
    return used;
}

int LengthsFromShape(const CodeShape& shape, int count, int maxLength, uint8_t* lengths)
{
    std::fill(lengths, lengths + std::min(count, kMaxSymbols), uint8_t(0));
    if (shape.used < 2)
        return shape.used;
    // A limit too short for every symbol used is raised to the least that
    // holds them all.
    while ((1 << maxLength) < shape.used)
        ++maxLength;
    int depthCount[2 * kMaxSymbols];
    std::copy(shape.depthCount, shape.depthCount + shape.deepest + 1, depthCount);
    LimitDepths(depthCount, shape.deepest, maxLength);
    // The rarest symbols take the longest codes.
    int next = 0;
    for (int d = std::min(shape.deepest, maxLength); d >= 1; --d) {
        for (int k = 0; k < depthCount[d]; ++k)
            lengths[shape.sorted[next++] & 0xFFFF] = uint8_t(d);
    }
    return shape.used;
}

int BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths)
{
    CodeShape shape;
    ShapeCode(freq, count, shape);
    return LengthsFromShape(shape, count, maxLength, lengths);
}

void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes)
{
    int perLength[17] = {};
    for (int s = 0; s < count; ++s)
        ++perLength[lengths[s]];
    uint32_t nextCode[17];
    uint32_t code = 0;
    perLength[0] = 0;
    for (int len = 1; len <= 16; ++len) {
        code = (code + uint32_t(perLength[len - 1])) << 1;
        nextCode[len] = code;
    }
    for (int s = 0; s < count; ++s) {
        codes[s] = 0;
        if (lengths[s] != 0)
            codes[s] = uint16_t(nextCode[lengths[s]]++);
    }
}

}  // namespace lzhpack
