// The -lh5- bit layout as the encoder writes it: the format's numbers
// (LzhFormat.h, shared with the engine) and the encoder's parse items.
#pragma once

#include <cstdint>

#include "LzhFormat.h"

namespace lzhpack {

// A stored distance value v copies from v + 1 bytes back, so the farthest
// source is a whole window back: the byte about to be overwritten.
constexpr int kMaxDistance = kWindowSize;

// One item of the parse: bits 0..8 the literal/length symbol (a byte, or
// the match length + 253), bits 16..28 the stored distance value, which is
// the distance minus one.
constexpr uint32_t MakeLiteral(uint32_t byte) { return byte; }
constexpr uint32_t MakeMatch(uint32_t length, uint32_t distance)
{
    return (length + uint32_t(kMatchAdjust)) | ((distance - 1) << 16);
}
constexpr uint32_t ItemSymbol(uint32_t item) { return item & 0xFFFF; }
constexpr uint32_t ItemDistanceValue(uint32_t item) { return item >> 16; }

}  // namespace lzhpack
