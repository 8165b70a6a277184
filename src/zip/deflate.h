// The deflate compressor's front door (RFC 1951 raw deflate), as the zip
// writer uses it. Portable C++17: no platform headers.
#pragma once

#include <cstdint>

// Output buffer that the caller lends to the compressor.
struct DeflateSink {
    std::uint8_t* buffer = nullptr;
    std::uint32_t fill = 0;     // bytes pending in buffer
    std::uint32_t capacity = 0; // size of buffer
    bool stream = true;         // stream mode: align flushes, stored data bypasses buffer
    // Writes length bytes at data to the real output and returns the count
    // written; 0 means the write failed.
    std::uint32_t (*write)(void* context, const std::uint8_t* data, std::uint32_t length) = nullptr;
    void* context = nullptr;
};

/* Writes the pending bytes (if any) through sink.write and sets fill to 0
   when the write reports a non-zero count; a failed write leaves fill as it
   was. */
void DeflateSinkFlush(DeflateSink& sink);

/* The compressor's input: reads up to size bytes into buffer and returns the
   count read; 0 or 0xFFFFFFFF means the end of the input. */
using DeflateRead = std::uint32_t (*)(void* context, std::uint8_t* buffer, std::uint32_t size);

struct DeflateResult {
    std::uint32_t compressed_size = 0;   // bytes the final block reports
    const char* check_message = nullptr; // last failed internal check, or null
    // Some output did not get out: bytes dropped because the buffer was full
    // after a failed flush, or (stream mode) bytes still pending at the end.
    bool output_lost = false;
};

/* Compresses the whole input from read into sink at level (1..8; the zip
   writer uses 8) with a fresh state, and ORs the level's bits into flags
   (2 for level 8, 4 for levels 1..2). Never throws and never prints; a failed
   internal check is reported in check_message and the caller fails the
   entry. The output is identical for identical input and level. */
DeflateResult DeflateEntry(DeflateRead read, void* read_context, DeflateSink& sink, int level,
                           std::uint16_t& flags);
