// CRC-16 of the archive format: reflected, polynomial 0xA001, initial value
// 0, no final inversion.
#pragma once

#include <cstdint>

constexpr std::uint16_t kCrc16Polynomial = 0xA001;
constexpr int kCrc16TableSize = 256;

struct Crc16Table {
    std::uint16_t entry[kCrc16TableSize];
};

// Entry i is i shifted right eight times, each shift followed by an XOR
// with the polynomial when the bit shifted out was 1.
void BuildCrc16Table(Crc16Table& table);

inline std::uint16_t UpdateCrc16(const Crc16Table& table, std::uint16_t crc, std::uint8_t byte)
{
    return static_cast<std::uint16_t>(table.entry[(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

// The update above for each of count bytes, in order; four to a pass, which
// keeps the loop's own counting off most bytes.
inline std::uint16_t UpdateCrc16(const Crc16Table& table, std::uint16_t crc, const std::uint8_t* bytes,
                                 std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        crc = UpdateCrc16(table, crc, bytes[i]);
        crc = UpdateCrc16(table, crc, bytes[i + 1]);
        crc = UpdateCrc16(table, crc, bytes[i + 2]);
        crc = UpdateCrc16(table, crc, bytes[i + 3]);
    }
    for (; i < count; ++i)
        crc = UpdateCrc16(table, crc, bytes[i]);
    return crc;
}
