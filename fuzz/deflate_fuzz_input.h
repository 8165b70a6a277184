// How the compressor's fuzz targets read a fuzzer input: a control byte, then
// the data to compress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DeflateFuzzInput {
    int level = 8;
    std::uint32_t chunk = 0; // largest read, 0: as much as asked for
    std::vector<std::uint8_t> data;
};

/* The control byte holds the level (bits 0-2, plus 1), the read size (bits
   3-5) and tiling (bits 6-7 both set): a short input repeated past 132,000
   bytes (each copy's first byte varied) reaches several window slides
   quickly. Only one input in four is tiled, so most runs stay short. An empty
   input compresses nothing at level 8. */
inline DeflateFuzzInput DecodeDeflateFuzzInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t control = size != 0 ? data[0] : 7;
    const std::uint32_t chunks[] = {0, 1, 3, 100, 262, 4096, 33000, 65535};
    DeflateFuzzInput input;
    input.level = (control & 7) + 1;
    input.chunk = chunks[(control >> 3) & 7];
    if (size == 0) {
        return input;
    }
    const std::uint8_t* payload = data + 1;
    const std::size_t payload_size = size - 1;
    const std::size_t copies = (control >> 6) == 3 && payload_size != 0
                                   ? (std::size_t{132000} + payload_size - 1) / payload_size
                                   : 1;
    input.data.reserve(copies * payload_size);
    for (std::size_t copy = 0; copy < copies; ++copy) {
        input.data.insert(input.data.end(), payload, payload + payload_size);
        if (copies > 1) {
            std::uint8_t& first = input.data[copy * payload_size];
            first = static_cast<std::uint8_t>(first ^ static_cast<std::uint8_t>(copy));
        }
    }
    return input;
}
