// Shared helpers of the compressor tests: running DeflateEntry over a byte
// vector and making test inputs.
#pragma once

#include "zip/deflate.h"

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct Compressed {
    Bytes bytes;
    DeflateResult result;
    std::uint16_t flags = 0;
};

/* Compresses input at level in stream mode through a 16,384-byte sink; the
   reader hands out at most read_chunk bytes per call (0: all requested). */
Compressed Compress(const Bytes& input, int level, std::uint32_t read_chunk = 0);

Bytes FromText(const std::string& text);

/* Deterministic pseudo-random bytes. */
Bytes RandomBytes(std::size_t size, std::uint32_t seed);

/* English-like text made of words from a small vocabulary. */
Bytes WordText(std::size_t size, std::uint32_t seed);

/* Structured binary: records of counters, small integers and floats. */
Bytes RecordBinary(std::size_t size, std::uint32_t seed);

/* A sequence over 17 symbols (bytes 0x80..0x90) in which no three-byte string
   occurs twice, at most 4,913 bytes long. */
Bytes NoRepeatTriples(std::size_t size);
