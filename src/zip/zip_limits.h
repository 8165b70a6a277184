// Where the classic zip fields end and the Zip64 extension takes over. Test
// and fuzz builds may define GLEANWELL_ZIP_SMALL_LIMITS to lower them, so
// that every Zip64 path runs with a few kilobytes and a few hundred entries;
// the product keeps the format's own.
#pragma once

#include <cstdint>

#ifdef GLEANWELL_ZIP_SMALL_LIMITS
constexpr std::uint64_t kZip32Limit = 0x4000;
constexpr std::uint32_t kZip16Limit = 8;
constexpr std::uint64_t kZip64ReserveAt = 0x3000;
#else
// A size or offset at or above this does not fit a 32-bit field (the value
// itself means "see the Zip64 field").
constexpr std::uint64_t kZip32Limit = 0xFFFFFFFFu;
// More entries than this need the Zip64 end record.
constexpr std::uint32_t kZip16Limit = 0xFFFF;
// A source this large when opened (or of unknown size) gets Zip64 sizes in
// its local header from the start, since the header is written before its
// data. The 256 MiB below 4 GiB leave room for a file that grows while it is
// read and for deflate's expansion of incompressible data (about 0.02%).
constexpr std::uint64_t kZip64ReserveAt = 0xF0000000u;
#endif

// The sentinels written where a value moved to a Zip64 field.
constexpr std::uint32_t kZip32Sentinel = 0xFFFFFFFFu;
constexpr std::uint16_t kZip16Sentinel = 0xFFFF;

/* True when value needs a Zip64 field. */
constexpr bool NeedsZip64(std::uint64_t value) {
    return value >= kZip32Limit;
}
