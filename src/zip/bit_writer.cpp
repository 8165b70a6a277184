#include "zip/bit_writer.h"

#include "zip/cpu_ops.h"

#include <cstring>

namespace {
const char kTooSmall[] = "output buffer too small for in-memory compression";

void mark_lost(DeflateState& s) {
    s.output_lost = true;
    if (!s.sink->stream) {
        deflate_check(s, false, kTooSmall);
    }
}
} // namespace

GW_ALIGN_STACK void DeflateSinkFlush(DeflateSink& sink) {
    if (sink.fill == 0 || sink.write == nullptr) {
        return;
    }
    if (sink.write(sink.context, sink.buffer, sink.fill) != 0) {
        sink.fill = 0;
    }
}

void ct_put_bytes_slow(DeflateState& s, const std::uint8_t* bytes, std::uint32_t count) {
    DeflateSink& sink = *s.sink;
    if (sink.capacity - sink.fill < count) {
        DeflateSinkFlush(sink);
    }
    std::uint32_t i = 0;
    for (; i < count && sink.fill < sink.capacity; ++i) {
        sink.buffer[sink.fill++] = bytes[i];
    }
    if (i < count) {
        mark_lost(s);
    }
}

void ct_align(DeflateState& s) {
    std::uint8_t bytes[8];
    const std::uint32_t count = (s.bit_valid + 7) / 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(s.bit_buf >> (8 * i));
    }
    DeflateSink& sink = *s.sink;
    if (sink.capacity - sink.fill >= count) {
        std::memcpy(sink.buffer + sink.fill, bytes, count);
        sink.fill += count;
    } else {
        ct_put_bytes_slow(s, bytes, count);
    }
    s.bytes_out += count;
    s.bit_buf = 0;
    s.bit_valid = 0;
    if (sink.stream) {
        DeflateSinkFlush(sink);
    }
}

void ct_stored_block(DeflateState& s, const std::uint8_t* data, std::uint32_t length, bool header) {
    ct_align(s);
    DeflateSink& sink = *s.sink;
    if (header) {
        const std::uint32_t inverse = ~length & 0xFFFF;
        const std::uint8_t bytes[4] = {
            static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(inverse), static_cast<std::uint8_t>(inverse >> 8)};
        ct_put_bytes_slow(s, bytes, 4);
        s.bytes_out += 4;
    }
    s.bytes_out += length;
    if (length == 0) {
        return;
    }
    if (sink.stream) {
        DeflateSinkFlush(sink);
        // Stored data goes straight from the window to the output, never
        // behind bytes that a failed flush left pending.
        if (sink.fill != 0 || sink.write == nullptr ||
            sink.write(sink.context, data, length) == 0) {
            s.output_lost = true;
        }
        return;
    }
    if (sink.capacity - sink.fill < length) {
        deflate_check(s, false, kTooSmall);
        s.output_lost = true;
        return;
    }
    std::memcpy(sink.buffer + sink.fill, data, length);
    sink.fill += length;
}
