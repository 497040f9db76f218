// Copies of a match inside the window, for the decoder's output loop.
//
// A match copies `length` bytes from `from` to the write position `pos`,
// byte by byte and in order: where the source overlaps the destination the
// bytes just written are read again, so a distance d shorter than the length
// repeats the last d + 1 bytes. The copies here give exactly that result with
// 8-byte moves, and they never write outside [pos, pos + length): the bytes
// behind the match are the oldest part of the window, which later matches
// may still copy from.
#pragma once

#include <cstdint>
#include <cstring>

namespace lh5copy {

constexpr std::uint32_t kStep = 8;

inline void Move8(std::uint8_t* to, const std::uint8_t* from)
{
    std::uint64_t v;
    std::memcpy(&v, from, sizeof v);
    std::memcpy(to, &v, sizeof v);
}

// A match of at most 16 bytes whose source and destination do not overlap,
// with 16 bytes of window behind the destination and the source: one 16-byte
// move, whatever the length, so that no branch depends on it. The move also
// writes past the match; those bytes are read first and put back after.
constexpr std::uint32_t kShortMatch = 16;

inline void CopyShort(std::uint8_t* to, const std::uint8_t* from, std::uint32_t n)
{
    std::uint8_t match[kShortMatch], behind[kShortMatch];
    std::memcpy(match, from, kShortMatch);
    std::memcpy(behind, to + n, kShortMatch);
    std::memcpy(to, match, kShortMatch);
    std::memcpy(to + n, behind, kShortMatch);
}

// Source and destination do not overlap. The last step is placed so that it
// ends at n, covering again a few bytes already copied, which is harmless
// since the source does not change.
inline void CopyApart(std::uint8_t* to, const std::uint8_t* from, std::uint32_t n)
{
    if (n >= kStep) {
        for (std::uint32_t i = 0; i + kStep < n; i += kStep)
            Move8(to + i, from + i);
        Move8(to + n - kStep, from + n - kStep);
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + n - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else {
        // n is 1 to 3: the first, middle and last byte cover them all.
        const std::uint8_t first = from[0], middle = from[n / 2], last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}

// The source starts gap bytes before the destination and overlaps it
// (gap < n). Byte by byte, every byte equals the one gap bytes before it, so
// the output repeats with period gap, and so also with any multiple of it.
// With a period of 8 or more an 8-byte move reads only bytes already final.
// A shorter gap is first laid out byte by byte over one such period.
inline void CopyRepeating(std::uint8_t* to, std::uint32_t gap, std::uint32_t n)
{
    const std::uint8_t* const back = to - gap;
    std::uint32_t period = gap;
    std::uint32_t i = 0;
    if (gap < kStep) {
        period = gap * ((kStep + gap - 1) / gap);
        for (; i < period && i < n; ++i)
            to[i] = back[i];
    }
    const std::uint8_t* const behind = to - period;
    for (; i + kStep <= n; i += kStep)
        Move8(to + i, behind + i);
    for (; i < n; ++i)
        to[i] = back[i];
}

// Copies a match whose source lies `back` bytes before the destination,
// inside the window (back is at most the destination's index). roomBehind:
// at least 2 * kShortMatch bytes of window from the destination on, enough
// for CopyShort's moves.
inline void CopyBehind(std::uint8_t* to, std::uint32_t back, std::uint32_t n, bool roomBehind)
{
    if (back < n)
        CopyRepeating(to, back, n);
    else if (n <= kShortMatch && roomBehind)
        CopyShort(to, to - back, n);
    else
        CopyApart(to, to - back, n);
}

// Copies a match whose destination lies inside a window of `size` bytes
// when its source does not wrap around the window's end either; returns
// false, copying nothing, for every other match (one whose source wraps, or
// lies ahead of the destination and overlaps it, or lies ahead while
// aheadWritten is false: bytes that this pass of the window has not
// written yet), which the byte-by-byte copy takes.
inline bool CopyInside(std::uint8_t* window, std::int32_t pos, std::int32_t from, std::uint32_t length,
                       std::int32_t size, bool aheadWritten)
{
    const std::int32_t n = static_cast<std::int32_t>(length);
    if (from + n > size)
        return false;
    if (from + n <= pos || (pos + n <= from && aheadWritten)) {
        const std::int32_t room = static_cast<std::int32_t>(kShortMatch);
        if (n <= room && pos + n + room <= size && from + room <= size)
            CopyShort(window + pos, window + from, length);
        else
            CopyApart(window + pos, window + from, length);
        return true;
    }
    if (from < pos) {
        CopyRepeating(window + pos, static_cast<std::uint32_t>(pos - from), length);
        return true;
    }
    return false;
}

}  // namespace lh5copy
