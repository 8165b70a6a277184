// CRC-32 eight bytes at a time ("slicing by eight") over fixed tables built at
// compile time; the checksum runs over every byte of every entry.
#include "zip_crc32.h"

#include <array>

namespace {

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
    CrcTables tables{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        tables[0][n] = c;
    }
    // tables[k][n]: the CRC of byte n followed by k zero bytes.
    for (std::uint32_t n = 0; n < 256; ++n) {
        for (int k = 1; k < 8; ++k) {
            std::uint32_t previous = tables[k - 1][n];
            tables[k][n] = tables[0][previous & 0xFF] ^ (previous >> 8);
        }
    }
    return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

} // namespace

std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
    crc = ~crc;
    while (length >= 8) {
        std::uint32_t low =
            crc ^
            (static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
             static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24);
        crc = kCrcTables[7][low & 0xFF] ^ kCrcTables[6][(low >> 8) & 0xFF] ^
              kCrcTables[5][(low >> 16) & 0xFF] ^ kCrcTables[4][low >> 24] ^
              kCrcTables[3][data[4]] ^ kCrcTables[2][data[5]] ^ kCrcTables[1][data[6]] ^
              kCrcTables[0][data[7]];
        data += 8;
        length -= 8;
    }
    while (length-- > 0) {
        crc = kCrcTables[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}
