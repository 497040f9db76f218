#include "Crc16.h"

// Entry i is what eight shifts make of i, and each shift is linear over
// XOR, so entry[a ^ b] = entry[a] ^ entry[b]. The entries of the eight
// single bits come first, from 128 (one shift with an XOR at its end:
// 0xA001) down to 1, each from the one above it; then entries 2^k to
// 2^(k+1) - 1 are entries 0 to 2^k - 1 with the entry of bit 2^k XORed in,
// a run that the compiler turns into a few wide moves. A member builds its
// table anew, so this cost is paid per member.
void BuildCrc16Table(Crc16Table& table)
{
    constexpr int kBits = 8;
    std::uint16_t single[kBits];
    std::uint16_t value = 1;
    for (int k = kBits - 1; k >= 0; --k) {
        value = static_cast<std::uint16_t>((value & 1) ? (value >> 1) ^ kCrc16Polynomial : value >> 1);
        single[k] = value;
    }
    table.entry[0] = 0;
    for (int k = 0; k < kBits; ++k) {
        const int bit = 1 << k;
        for (int i = 0; i < bit; ++i)
            table.entry[bit + i] = static_cast<std::uint16_t>(table.entry[i] ^ single[k]);
    }
}
