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

// The update above for each of count bytes, in order; eight to a pass, which
// keeps the loop's own counting off most bytes. The bytes are walked by
// pointer, so that each is read at a fixed offset from it.
inline std::uint16_t UpdateCrc16(const Crc16Table& table, std::uint16_t crc, const std::uint8_t* bytes,
                                 std::uint32_t count)
{
    constexpr int kPass = 8;
    const std::uint8_t* const end = bytes + count;
    for (; end - bytes >= kPass; bytes += kPass) {
        for (int i = 0; i < kPass; ++i)
            crc = UpdateCrc16(table, crc, bytes[i]);
    }
    for (; bytes != end; ++bytes)
        crc = UpdateCrc16(table, crc, *bytes);
    return crc;
}
