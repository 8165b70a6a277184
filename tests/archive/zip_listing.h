#pragma once
// Test support: reads an archive's central directory (names, CRC-32, sizes,
// methods) and checks that each central entry points at a local header of
// the same name, so tests can compare entries with their source files
// without any zip reader of the product's own.

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct ZipListingEntry {
    std::string name;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::uint16_t method = 0;
};

/* The standard zip CRC-32 (reflected 0xEDB88320, inverted in and out). */
inline std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

inline std::uint32_t Little(const std::string& bytes, size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    }
    return value;
}

/* Lists the archive in `bytes` in central-directory order. Returns false
   when the end record, a central header or a local header is missing or
   inconsistent. */
inline bool ListZip(const std::string& bytes, std::vector<ZipListingEntry>& entries) {
    entries.clear();
    if (bytes.size() < 22) {
        return false;
    }
    size_t end = bytes.size() - 22;
    while (Little(bytes, end, 4) != 0x06054B50u) {
        if (end == 0) {
            return false;
        }
        --end;
    }
    const std::uint32_t count = Little(bytes, end + 10, 2);
    size_t at = Little(bytes, end + 16, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + 46 > bytes.size() || Little(bytes, at, 4) != 0x02014B50u) {
            return false;
        }
        ZipListingEntry entry;
        entry.method = static_cast<std::uint16_t>(Little(bytes, at + 10, 2));
        entry.crc = Little(bytes, at + 16, 4);
        entry.compressedSize = Little(bytes, at + 20, 4);
        entry.size = Little(bytes, at + 24, 4);
        const size_t nameLength = Little(bytes, at + 28, 2);
        const size_t extraLength = Little(bytes, at + 30, 2);
        const size_t commentLength = Little(bytes, at + 32, 2);
        const size_t local = Little(bytes, at + 42, 4);
        entry.name = bytes.substr(at + 46, nameLength);
        if (local + 30 + nameLength > bytes.size() || Little(bytes, local, 4) != 0x04034B50u ||
            bytes.compare(local + 30, nameLength, entry.name) != 0) {
            return false;
        }
        entries.push_back(entry);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

} // namespace testing_support
