#include "Crc16.h"

void BuildCrc16Table(Crc16Table& table)
{
    for (int i = 0; i < kCrc16TableSize; ++i) {
        std::uint16_t value = static_cast<std::uint16_t>(i);
        for (int shift = 0; shift < 8; ++shift)
            value = static_cast<std::uint16_t>((value & 1) ? (value >> 1) ^ kCrc16Polynomial : value >> 1);
        table.entry[i] = value;
    }
}
