// The bit writer: gathers codes least significant bit first and stores them
// into the caller's DeflateSink, flushing it when it is nearly full and, in
// stream mode, at every byte alignment.
#pragma once

#include "zip/deflate_state.h"

#include <type_traits>

/* Slow path of the writer: places count bytes (at most 8) into the sink,
   flushing it first when they do not fit; bytes that still do not fit are
   dropped and mark the output as lost (in-memory mode also records the check
   message). */
void ct_put_bytes_slow(DeflateState& s, const std::uint8_t* bytes, std::uint32_t count);

/* Places the 32 bits v, least significant byte first, into the sink and
   counts them as sent; the bits themselves are the caller's. */
inline void ct_store32(DeflateState& s, std::uint32_t v) {
    DeflateSink& sink = *s.sink;
    s.bytes_out += 4;
    if (sink.capacity - sink.fill >= 4) {
        std::uint8_t* p = sink.buffer + sink.fill;
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
        sink.fill += 4;
        return;
    }
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16),
                                   static_cast<std::uint8_t>(v >> 24)};
    ct_put_bytes_slow(s, bytes, 4);
}

/* Moves 32 finished bits from the gatherer to the sink. */
inline void ct_spill32(DeflateState& s) {
    const std::uint32_t v = static_cast<std::uint32_t>(s.bit_buf);
    s.bit_buf >>= 32;
    s.bit_valid -= 32;
    ct_store32(s, v);
}

/* Sends the low length bits of value (length 1..32, value with no bits above
   length) without the length check; for the coder's own fused codes. */
inline void ct_send(DeflateState& s, std::uint32_t value, std::uint32_t length) {
    s.bit_buf |= static_cast<std::uint64_t>(value) << s.bit_valid;
    s.bit_valid += length;
    if (s.bit_valid >= 32) {
        ct_spill32(s);
    }
}

/* Sends the low length bits of value, least significant first. Checks
   1 <= length <= 15 ("invalid length"). */
inline void ct_put_bits(DeflateState& s, std::uint32_t value, std::uint32_t length) {
    deflate_check(s, length >= 1 && length <= 15, "invalid length");
    ct_send(s, value, length);
}

/* The gatherer's pending bits held in locals for a hot loop, so that they
   stay in registers while bytes go to the sink: put and send behave as
   ct_put_bits and ct_send; store hands the bits back to the state, which
   must happen before anything else writes bits. The state never holds 32
   pending bits between calls (ct_send stores each full word), so 32-bit
   targets gather in one 32-bit word: a 64-bit buffer takes them two
   registers and a three-step shift per code. */
class BitGatherer {
public:
    explicit BitGatherer(DeflateState& s)
        : s_(s), buf_(static_cast<Word>(s.bit_buf)), valid_(s.bit_valid) {}

    void put(std::uint32_t value, std::uint32_t length) {
        check(length);
        send(value, length);
    }

    /* ct_put_bits's length check alone, for codes that send joins. */
    void check(std::uint32_t length) {
        deflate_check(s_, length >= 1 && length <= 15, "invalid length");
    }

    void send(std::uint32_t value, std::uint32_t length) {
        if constexpr (kWide) {
            buf_ |= static_cast<Word>(value) << valid_;
            valid_ += length;
            if (valid_ >= 32) {
                const std::uint32_t v = static_cast<std::uint32_t>(buf_);
                buf_ >>= 32;
                valid_ -= 32;
                ct_store32(s_, v);
            }
        } else {
            const std::uint32_t total = valid_ + length;
            buf_ |= value << valid_;
            if (total >= 32) {
                ct_store32(s_, buf_);
                // The bits that did not fit; two shifts, as valid_ may be 0.
                buf_ = value >> (31 - valid_) >> 1;
                valid_ = total - 32;
            } else {
                valid_ = total;
            }
        }
    }

    void store() {
        s_.bit_buf = buf_;
        s_.bit_valid = valid_;
    }

private:
    static constexpr bool kWide = sizeof(void*) == 8;
    using Word = std::conditional_t<kWide, std::uint64_t, std::uint32_t>;

    DeflateState& s_;
    Word buf_;
    std::uint32_t valid_;
};

/* Number of bits sent so far in this entry (32-bit, like the compressed
   length it is checked against). */
inline std::uint32_t ct_bits_sent(const DeflateState& s) {
    return static_cast<std::uint32_t>(s.bytes_out * 8 + s.bit_valid);
}

/* Pads the pending bits to a whole byte and stores them; in stream mode then
   flushes the sink. The bits sent are rounded up to a multiple of 8. */
void ct_align(DeflateState& s);

/* Aligns, then (with header) stores length and its one's complement as two
   16-bit values, then the length data bytes: in stream mode handed straight to
   the sink's write after a flush, in in-memory mode copied into the buffer
   (or, when they do not fit, nothing is copied and "output buffer too small
   for in-memory compression" is recorded). */
void ct_stored_block(DeflateState& s, const std::uint8_t* data, std::uint32_t length, bool header);
