// The bit reader of the -lh5- decoder in the form that its loops keep in
// registers, for Lh5Decoder.cpp and Lh5Tables.cpp only.
#pragma once

#include "Lh5Decoder.h"

// The reader in registers. bitBuffer holds the next 16 bits of the data, the
// earliest at the top; pendingByte holds the pendingBits bits of the last
// byte read that have not entered it yet, left-aligned. `hold` keeps both in
// one word: bitBuffer in its top 16 bits, the pending bits right below them,
// zeros under those. `gap` is 8 - pendingBits: how far left the next byte
// read goes, right below the 16 + pendingBits bits held. `next` is the
// stream's position and `end` where ReadByte would stop delivering bytes.
// The output loop works on a Cursor in local variables, where the compiler
// can keep it in registers (the window's byte stores could otherwise alias
// every field), and writes it back before anything reads the fields.
struct Lh5Decoder::Cursor {
    std::uint32_t hold;
    int gap;
    const std::uint8_t* next;
    const std::uint8_t* end;
};

inline Lh5Decoder::Cursor Lh5Decoder::LoadCursor() const
{
    Cursor r;
    r.hold = (static_cast<std::uint32_t>(bitBuffer) << 16) | (static_cast<std::uint32_t>(pendingByte) << 8);
    r.gap = 8 - pendingBits;
    r.next = source.current;
    r.end = source.current + (source.HasByte() ? source.available : 0);
    return r;
}

inline void Lh5Decoder::StoreCursor(const Cursor& r)
{
    bitBuffer = static_cast<std::uint16_t>(r.hold >> 16);
    pendingByte = static_cast<std::uint8_t>(r.hold >> 8);
    pendingBits = static_cast<std::int8_t>(8 - r.gap);
    source.available -= static_cast<std::int32_t>(r.next - source.current);
    source.current = r.next;
}

inline std::uint32_t Lh5Decoder::TakeByte(Cursor& r)
{
    return __builtin_expect(r.next != r.end, 1) ? *r.next++ : DryByte();
}

// FillBits drops the top n bits (n up to 16 here) and takes a byte whenever
// fewer than 16 bits are left, so the reader is always exactly two bytes
// ahead of the bits used. It is the only place that takes bytes from the
// stream. Starting from 16 or more bits, dropping at most 16 leaves at
// least 0: one byte or two restore the 16.
inline void Lh5Decoder::FillBits(Cursor& r, int n)
{
    r.hold <<= n;
    r.gap += n;
    if (r.gap <= 8)
        return;
    r.hold |= TakeByte(r) << r.gap;
    r.gap -= 8;
    if (r.gap > 8) {
        r.hold |= TakeByte(r) << r.gap;
        r.gap -= 8;
    }
}

// GetBits on the cursor, n up to 16.
inline std::uint32_t Lh5Decoder::GetBits(Cursor& r, int n)
{
    const std::uint32_t value = n == 0 ? 0 : r.hold >> (32 - n);
    FillBits(r, n);
    return value;
}
