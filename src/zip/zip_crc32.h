// The zip CRC-32 (reflected polynomial 0xEDB88320, inverted before and after).
#pragma once

#include <cstddef>
#include <cstdint>

/* Continues the running CRC-32 crc (0 to start) over length bytes at data and
   returns the new running value, which is also the CRC of everything so far. */
std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t length);
