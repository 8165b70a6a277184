#include "deflate_trace.h"

#include <array>

namespace {
const std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
const std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                     33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                     1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct Failure {
    const char* what;
};

class Bits {
public:
    explicit Bits(const std::vector<std::uint8_t>& in) : in_(in) {}
    std::uint32_t Take(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (pos_ >= in_.size() * 8) {
                throw Failure{"stream ends early"};
            }
            value |= static_cast<std::uint32_t>((in_[pos_ / 8] >> (pos_ % 8)) & 1) << i;
            ++pos_;
        }
        return value;
    }
    void Align() { pos_ = (pos_ + 7) / 8 * 8; }
    std::size_t BitPos() const { return pos_; }

private:
    const std::vector<std::uint8_t>& in_;
    std::size_t pos_ = 0;
};

// Canonical code decoded by walking the lengths in order (RFC 1951 3.2.2).
class Code {
public:
    void Build(const std::uint8_t* lengths, int count) {
        counts_.fill(0);
        symbols_.clear();
        for (int s = 0; s < count; ++s) {
            ++counts_[lengths[s]];
        }
        counts_[0] = 0;
        int left = 1;
        for (int len = 1; len <= 15; ++len) {
            left = left * 2 - counts_[len];
            if (left < 0) {
                throw Failure{"over-subscribed code"};
            }
        }
        for (int len = 1; len <= 15; ++len) {
            for (int s = 0; s < count; ++s) {
                if (lengths[s] == len) {
                    symbols_.push_back(s);
                }
            }
        }
    }
    int Decode(Bits& bits) const {
        int code = 0;
        int first = 0;
        int index = 0;
        for (int len = 1; len <= 15; ++len) {
            code |= static_cast<int>(bits.Take(1));
            const int count = counts_[len];
            if (code - first < count) {
                return symbols_[index + code - first];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        throw Failure{"invalid code"};
    }

private:
    std::array<int, 16> counts_{};
    std::vector<int> symbols_;
};

void DecodeSymbols(Bits& bits, const Code& lit, const Code& dist, TraceBlock& block,
                   std::vector<std::uint8_t>& out) {
    for (;;) {
        const int sym = lit.Decode(bits);
        if (sym < 256) {
            TraceSymbol t;
            t.literal = static_cast<std::uint8_t>(sym);
            block.symbols.push_back(t);
            out.push_back(static_cast<std::uint8_t>(sym));
            continue;
        }
        if (sym == 256) {
            return;
        }
        if (sym > 285) {
            throw Failure{"bad length symbol"};
        }
        TraceSymbol t;
        t.length = kLengthBase[sym - 257] + bits.Take(kLengthExtra[sym - 257]);
        const int dsym = dist.Decode(bits);
        if (dsym > 29) {
            throw Failure{"bad distance symbol"};
        }
        t.distance = kDistBase[dsym] + bits.Take(kDistExtra[dsym]);
        if (t.distance > out.size()) {
            throw Failure{"distance too far back"};
        }
        for (std::uint32_t i = 0; i < t.length; ++i) {
            out.push_back(out[out.size() - t.distance]);
        }
        block.symbols.push_back(t);
    }
}

void DecodeDynamicCodes(Bits& bits, Code& lit, Code& dist, TraceBlock& block) {
    const int nlen = static_cast<int>(bits.Take(5)) + 257;
    const int ndist = static_cast<int>(bits.Take(5)) + 1;
    const int ncode = static_cast<int>(bits.Take(4)) + 4;
    if (nlen > 286 || ndist > 30) {
        throw Failure{"bad counts"};
    }
    std::uint8_t lengths[320] = {};
    for (int i = 0; i < ncode; ++i) {
        lengths[kOrder[i]] = static_cast<std::uint8_t>(bits.Take(3));
    }
    Code lencode;
    lencode.Build(lengths, 19);
    block.code_lengths.assign(lengths, lengths + 19);
    block.code_count = ncode;
    int index = 0;
    std::uint8_t all[320] = {};
    while (index < nlen + ndist) {
        const int sym = lencode.Decode(bits);
        if (sym < 16) {
            all[index++] = static_cast<std::uint8_t>(sym);
            continue;
        }
        std::uint8_t value = 0;
        int repeat = 0;
        if (sym == 16) {
            if (index == 0) {
                throw Failure{"repeat with no previous length"};
            }
            value = all[index - 1];
            repeat = 3 + static_cast<int>(bits.Take(2));
        } else if (sym == 17) {
            repeat = 3 + static_cast<int>(bits.Take(3));
        } else {
            repeat = 11 + static_cast<int>(bits.Take(7));
        }
        if (index + repeat > nlen + ndist) {
            throw Failure{"repeat past the lengths"};
        }
        while (repeat-- > 0) {
            all[index++] = value;
        }
    }
    if (all[256] == 0) {
        throw Failure{"no end-of-block code"};
    }
    lit.Build(all, nlen);
    dist.Build(all + nlen, ndist);
    block.lit_lengths.assign(all, all + nlen);
    block.dist_lengths.assign(all + nlen, all + nlen + ndist);
}
} // namespace

Trace TraceDeflate(const std::vector<std::uint8_t>& stream) {
    Trace trace;
    Bits bits(stream);
    try {
        bool final = false;
        while (!final) {
            TraceBlock block;
            final = bits.Take(1) != 0;
            block.final = final;
            block.type = static_cast<int>(bits.Take(2));
            if (block.type == 0) {
                bits.Align();
                const std::uint32_t len = bits.Take(16);
                const std::uint32_t nlen = bits.Take(16);
                if ((len ^ 0xFFFF) != nlen) {
                    throw Failure{"stored length mismatch"};
                }
                block.stored_length = len;
                for (std::uint32_t i = 0; i < len; ++i) {
                    trace.data.push_back(static_cast<std::uint8_t>(bits.Take(8)));
                }
            } else if (block.type == 1) {
                std::uint8_t lengths[288 + 30];
                for (int i = 0; i < 288; ++i) {
                    lengths[i] = i < 144 ? 8 : (i < 256 ? 9 : (i < 280 ? 7 : 8));
                }
                for (int i = 0; i < 30; ++i) {
                    lengths[288 + i] = 5;
                }
                Code lit;
                Code dist;
                lit.Build(lengths, 288);
                dist.Build(lengths + 288, 30);
                DecodeSymbols(bits, lit, dist, block, trace.data);
            } else if (block.type == 2) {
                Code lit;
                Code dist;
                DecodeDynamicCodes(bits, lit, dist, block);
                DecodeSymbols(bits, lit, dist, block, trace.data);
            } else {
                throw Failure{"reserved block type"};
            }
            trace.blocks.push_back(std::move(block));
        }
        if ((bits.BitPos() + 7) / 8 != stream.size()) {
            trace.error = "bytes after the final block";
        }
    } catch (const Failure& failure) {
        trace.error = failure.what;
    }
    return trace;
}
