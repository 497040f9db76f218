#include "Crc16.h"

// Entry i is what eight shifts make of i, and each shift is linear over
// XOR, so entry[a ^ b] = entry[a] ^ entry[b]. The loop works out the entries
// of the single bits, from 128 (one shift with an XOR at the end: 0xA001)
// down to 1, and fills every other entry as the XOR of one of them with an
// entry already made: 255 steps instead of 2,048 single shifts. A member
// builds its table anew, so this cost is paid per member.
void BuildCrc16Table(Crc16Table& table)
{
    std::uint16_t bitEntry = 1;
    table.entry[0] = 0;
    for (int bit = kCrc16TableSize / 2; bit > 0; bit >>= 1) {
        bitEntry = static_cast<std::uint16_t>((bitEntry & 1) ? (bitEntry >> 1) ^ kCrc16Polynomial : bitEntry >> 1);
        for (int i = 0; i < kCrc16TableSize; i += 2 * bit)
            table.entry[bit + i] = static_cast<std::uint16_t>(bitEntry ^ table.entry[i]);
    }
}
