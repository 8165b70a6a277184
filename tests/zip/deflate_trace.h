// A small test-only inflater that, besides the data, reports every block and
// symbol of a raw deflate stream, so that tests can check the compressor's
// choices and not only its round trip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TraceSymbol {
    std::uint32_t length = 0;   // 0 for a literal
    std::uint32_t distance = 0; // for a match
    std::uint8_t literal = 0;   // for a literal
};

struct TraceBlock {
    int type = 0; // 0 stored, 1 fixed codes, 2 dynamic codes
    bool final = false;
    std::uint32_t stored_length = 0;
    std::vector<TraceSymbol> symbols; // without the end-of-block symbol
    // Dynamic blocks: the code lengths as sent (literal/length and distance
    // codes as many as the header counts; code-length codes by symbol, 0 for
    // those not sent) and the count of code-length codes sent.
    std::vector<std::uint8_t> lit_lengths;
    std::vector<std::uint8_t> dist_lengths;
    std::vector<std::uint8_t> code_lengths;
    int code_count = 0;
};

struct Trace {
    std::vector<TraceBlock> blocks;
    std::vector<std::uint8_t> data; // the decoded bytes
    std::string error;              // empty when the stream decoded cleanly
};

/* Decodes a raw deflate stream that must end with its final block exactly at
   the end of stream (only padding bits after it). */
Trace TraceDeflate(const std::vector<std::uint8_t>& stream);
