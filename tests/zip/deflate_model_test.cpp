// The compressor's literals, matches and block ends against a plain model of
// the match finder: one chain link per position (indexed modulo 32,768),
// byte-by-byte comparison, and the block-end rules of the symbol tally. The
// product takes faster roads (multi-step links, eight-byte compares); its
// symbols and block boundaries must be the model's, bit for bit.
#include "deflate_test_support.h"
#include "deflate_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint32_t kWSize = 32768;
constexpr std::uint32_t kMaxDist = 32506;
constexpr std::uint32_t kLookahead = 262;
constexpr std::uint32_t kSlide = 65274;

struct Row {
    std::uint32_t good, lazy, nice, chain;
};
const Row kRows[10] = {{0, 0, 0, 0},        {4, 4, 8, 4},      {4, 5, 16, 8},
                       {4, 6, 32, 32},      {4, 4, 16, 16},    {8, 16, 32, 32},
                       {8, 16, 128, 128},   {8, 32, 128, 256}, {32, 128, 258, 1024},
                       {32, 258, 258, 4096}};

const std::uint32_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                     33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                     1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint32_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                      6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

int DistCode(std::uint32_t distance) {
    int code = 29;
    while (kDistBase[code] > distance) {
        --code;
    }
    return code;
}

struct ModelBlock {
    std::uint32_t input_bytes = 0;
    bool in_window = true; // the block's bytes were still wholly in the window
    std::vector<TraceSymbol> symbols;
};

class Model {
public:
    Model(const Bytes& input, int level) : input_(input), level_(level) {
        const Row& row = kRows[std::min(std::max(level, 0), 9)];
        good_ = row.good;
        lazy_ = row.lazy;
        nice_ = row.nice;
        chain_ = row.chain;
    }

    std::vector<ModelBlock> Run() {
        lookahead_ = Read(0, 2 * kWSize);
        eof_ = lookahead_ == 0;
        if (!eof_) {
            if (lookahead_ < kLookahead) {
                Refill();
            }
            hash_ = Update(Update(0, window_[0]), window_[1]);
        }
        if (std::min(std::max(level_, 0), 9) <= 3) {
            Greedy();
        } else {
            Lazy();
        }
        EndBlock();
        return blocks_;
    }

private:
    std::uint32_t Read(std::uint32_t at, std::uint32_t room) {
        const std::uint32_t count =
            static_cast<std::uint32_t>(std::min<std::size_t>(room, input_.size() - read_));
        if (count != 0) {
            std::memcpy(window_.data() + at, input_.data() + read_, count);
        }
        read_ += count;
        return count;
    }

    static std::uint32_t Update(std::uint32_t h, std::uint8_t c) { return ((h << 5) ^ c) & 0x7FFF; }

    std::uint32_t Insert(std::uint32_t p) {
        hash_ = Update(hash_, window_[p + 2]);
        const std::uint32_t old = head_[hash_];
        prev_[p % kWSize] = old;
        head_[hash_] = p;
        return old;
    }

    void Refill() {
        do {
            std::uint32_t room = 2 * kWSize - lookahead_ - pos_;
            if (pos_ >= kSlide) {
                std::memcpy(window_.data(), window_.data() + kWSize, kWSize);
                match_start_ -= kWSize;
                pos_ -= kWSize;
                block_start_ -= kWSize;
                for (auto& v : head_) {
                    v = v >= kWSize ? v - kWSize : 0;
                }
                for (auto& v : prev_) {
                    v = v >= kWSize ? v - kWSize : 0;
                }
                room += kWSize;
            }
            if (eof_) {
                return;
            }
            const std::uint32_t n = Read(pos_ + lookahead_, room);
            if (n == 0) {
                eof_ = true;
            }
            lookahead_ += n;
        } while (lookahead_ < kLookahead && !eof_);
    }

    std::uint32_t Match(std::uint32_t candidate) {
        std::uint32_t budget = prev_length_ >= good_ ? chain_ >> 2 : chain_;
        std::uint32_t best = prev_length_;
        const std::uint32_t limit = pos_ > kMaxDist ? pos_ - kMaxDist : 0;
        const std::uint8_t* w = window_.data();
        do {
            const std::uint8_t* m = w + candidate;
            const std::uint8_t* s = w + pos_;
            if (m[best] != s[best] || m[best - 1] != s[best - 1] || m[0] != s[0] || m[1] != s[1]) {
                continue;
            }
            std::uint32_t len = 3;
            while (len < 258 && m[len] == s[len]) {
                ++len;
            }
            if (len > best) {
                match_start_ = candidate;
                best = len;
                if (len >= nice_) {
                    break;
                }
            }
        } while ((candidate = prev_[candidate % kWSize]) > limit && --budget != 0);
        return best;
    }

    bool Tally(std::uint32_t distance, std::uint32_t length, std::uint8_t literal) {
        TraceSymbol symbol;
        symbol.length = length;
        symbol.distance = distance;
        symbol.literal = literal;
        symbols_.push_back(symbol);
        if (distance != 0) {
            ++matches_;
            ++dist_freq_[DistCode(distance)];
        }
        const std::uint32_t count = static_cast<std::uint32_t>(symbols_.size());
        if (level_ > 2 && count % 4096 == 0) {
            std::uint32_t estimate = count * 8;
            for (int d = 0; d < 30; ++d) {
                estimate += dist_freq_[d] * (5 + kDistExtra[d]);
            }
            const std::uint32_t in = static_cast<std::uint32_t>(pos_ - block_start_);
            if (matches_ < count / 2 && estimate / 8 < in / 2) {
                return true;
            }
        }
        return count == 32767 || matches_ == 32768;
    }

    void EndBlock() {
        ModelBlock block;
        block.input_bytes = static_cast<std::uint32_t>(pos_ - block_start_);
        block.in_window = block_start_ >= 0;
        block.symbols.swap(symbols_);
        blocks_.push_back(std::move(block));
        matches_ = 0;
        std::fill(std::begin(dist_freq_), std::end(dist_freq_), 0u);
    }

    void EndBlockInLoop() {
        EndBlock();
        block_start_ = pos_;
    }

    void CapNice() {
        if (nice_ > lookahead_) {
            nice_ = lookahead_;
        }
    }

    void Lazy() {
        std::uint32_t candidate = 0;
        std::uint32_t length = 2;
        bool pending = false;
        while (lookahead_ != 0) {
            if (lookahead_ >= 3) {
                candidate = Insert(pos_);
            }
            prev_length_ = length;
            const std::uint32_t prev_match = match_start_;
            length = 2;
            if (candidate != 0 && prev_length_ < lazy_ && pos_ - candidate <= kMaxDist) {
                CapNice();
                length = std::min(Match(candidate), lookahead_);
                if (length == 3 && pos_ - match_start_ > 4096) {
                    length = 2;
                }
            }
            if (prev_length_ >= 3 && length <= prev_length_) {
                const std::uint32_t last_insert = pos_ + lookahead_ - 3;
                const bool end = Tally(pos_ - 1 - prev_match, prev_length_, 0);
                lookahead_ -= prev_length_ - 1;
                for (std::uint32_t n = prev_length_ - 2; n != 0; --n) {
                    ++pos_;
                    if (pos_ <= last_insert) {
                        candidate = Insert(pos_);
                    }
                }
                ++pos_;
                pending = false;
                length = 2;
                if (end) {
                    EndBlockInLoop();
                }
            } else if (pending) {
                if (Tally(0, 0, window_[pos_ - 1])) {
                    EndBlockInLoop();
                }
                ++pos_;
                --lookahead_;
            } else {
                pending = true;
                ++pos_;
                --lookahead_;
            }
            if (lookahead_ < kLookahead) {
                Refill();
            }
        }
        if (pending) {
            Tally(0, 0, window_[pos_ - 1]);
        }
    }

    void Greedy() {
        std::uint32_t candidate = 0;
        std::uint32_t length = 0;
        prev_length_ = 2;
        while (lookahead_ != 0) {
            if (lookahead_ >= 3) {
                candidate = Insert(pos_);
            }
            if (candidate != 0 && pos_ - candidate <= kMaxDist) {
                CapNice();
                length = std::min(Match(candidate), lookahead_);
            }
            bool end;
            if (length >= 3) {
                end = Tally(pos_ - match_start_, length, 0);
                lookahead_ -= length;
                if (length <= lazy_ && lookahead_ >= 3) {
                    for (std::uint32_t n = length - 1; n != 0; --n) {
                        ++pos_;
                        candidate = Insert(pos_);
                    }
                    ++pos_;
                } else {
                    pos_ += length;
                    hash_ = Update(window_[pos_], window_[pos_ + 1]);
                }
                length = 0;
            } else {
                end = Tally(0, 0, window_[pos_]);
                --lookahead_;
                ++pos_;
            }
            if (end) {
                EndBlockInLoop();
            }
            if (lookahead_ < kLookahead) {
                Refill();
            }
        }
    }

    const Bytes& input_;
    std::size_t read_ = 0;
    int level_;
    std::uint32_t good_, lazy_, nice_, chain_;
    // Spare bytes past the window: comparisons near its top may look there.
    std::vector<std::uint8_t> window_ = std::vector<std::uint8_t>(2 * kWSize + 300, 0);
    std::vector<std::uint32_t> head_ = std::vector<std::uint32_t>(kWSize, 0);
    std::vector<std::uint32_t> prev_ = std::vector<std::uint32_t>(kWSize, 0);
    std::uint32_t hash_ = 0;
    std::uint32_t pos_ = 0;
    std::uint32_t lookahead_ = 0;
    std::uint32_t match_start_ = 0;
    std::uint32_t prev_length_ = 2;
    std::int64_t block_start_ = 0;
    bool eof_ = false;
    std::vector<TraceSymbol> symbols_;
    std::uint32_t matches_ = 0;
    std::uint32_t dist_freq_[30] = {};
    std::vector<ModelBlock> blocks_;
};

std::uint32_t CoveredBytes(const TraceBlock& block) {
    if (block.type == 0) {
        return block.stored_length;
    }
    std::uint32_t bytes = 0;
    for (const auto& symbol : block.symbols) {
        bytes += symbol.length != 0 ? symbol.length : 1;
    }
    return bytes;
}

// Compares the product's blocks with the model's: the same boundaries, the
// same symbols in every coded block, and stored blocks only where the block's
// bytes were still in the window.
void ExpectModel(const Bytes& input, int level, std::uint32_t chunk = 0) {
    const Compressed c = Compress(input, level, chunk);
    const Trace trace = TraceDeflate(c.bytes);
    ASSERT_EQ(trace.error, "") << "level " << level;
    ASSERT_EQ(trace.data, input) << "level " << level;
    const std::vector<ModelBlock> model = Model(input, level).Run();
    ASSERT_EQ(trace.blocks.size(), model.size()) << "level " << level;
    for (std::size_t b = 0; b < model.size(); ++b) {
        const TraceBlock& got = trace.blocks[b];
        ASSERT_EQ(CoveredBytes(got), model[b].input_bytes) << "level " << level << " block " << b;
        if (got.type == 0) {
            EXPECT_TRUE(model[b].in_window) << "level " << level << " block " << b;
            continue;
        }
        ASSERT_EQ(got.symbols.size(), model[b].symbols.size())
            << "level " << level << " block " << b;
        for (std::size_t i = 0; i < got.symbols.size(); ++i) {
            const TraceSymbol& g = got.symbols[i];
            const TraceSymbol& m = model[b].symbols[i];
            ASSERT_TRUE(g.length == m.length && g.distance == m.distance &&
                        (g.length != 0 || g.literal == m.literal))
                << "level " << level << " block " << b << " symbol " << i << ": got " << g.length
                << "/" << g.distance << " model " << m.length << "/" << m.distance;
        }
    }
}

// Text with long runs, short far repeats and noise, so that every rule of the
// loops (lazy replacement, the 4,096 limit for 3-byte matches, budgets, nice
// length, the slide) gets its turn.
Bytes Mixed(std::size_t size, std::uint32_t seed) {
    const Bytes text = WordText(size, seed);
    const Bytes noise = RandomBytes(size, seed + 1);
    Bytes out;
    std::size_t t = 0;
    std::size_t r = 0;
    while (out.size() < size) {
        const std::uint8_t pick = noise[r++ % size];
        if (pick < 40 && out.size() > 5000) {
            const std::size_t from = out.size() - 3 - (noise[r++ % size] * 131u) % 5000;
            out.insert(out.end(), out.begin() + static_cast<std::ptrdiff_t>(from),
                       out.begin() + static_cast<std::ptrdiff_t>(from + 3));
        } else if (pick < 50) {
            out.insert(out.end(), pick % 7 * 60 + 1, noise[r++ % size]);
        } else if (pick < 90) {
            out.insert(out.end(), noise.begin() + static_cast<std::ptrdiff_t>(r % (size - 40)),
                       noise.begin() + static_cast<std::ptrdiff_t>(r % (size - 40) + pick % 32));
            r += 7;
        } else {
            const std::size_t n = std::min<std::size_t>(pick, size - t);
            out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(t),
                       text.begin() + static_cast<std::ptrdiff_t>(t + n));
            t = (t + n) % (size - 256);
        }
    }
    out.resize(size);
    return out;
}

// Three fresh bytes then a 20-byte copy from the last few kilobytes, again and
// again: fewer than half the symbols are matches, and the output is well
// under half the input, so the block ends early at 4,096 symbols.
Bytes SparseLongMatches(std::size_t size) {
    const Bytes noise = RandomBytes(size, 99);
    Bytes out(noise.begin(), noise.begin() + 3000);
    std::size_t r = 3000;
    while (out.size() < size) {
        out.insert(out.end(), noise.begin() + static_cast<std::ptrdiff_t>(r),
                   noise.begin() + static_cast<std::ptrdiff_t>(r + 3));
        r += 3;
        const std::size_t from = out.size() - 100 - (noise[r++] * 11u);
        out.insert(out.end(), out.begin() + static_cast<std::ptrdiff_t>(from),
                   out.begin() + static_cast<std::ptrdiff_t>(from + 20));
    }
    out.resize(size);
    return out;
}
} // namespace

TEST(DeflateModel, SmallInputsAtEveryLevel) {
    for (int level = 1; level <= 8; ++level) {
        for (const char* text : {"", "A", "AB", "AAA", "abcabcabc", "abcabcabcXabcabcabc",
                                 "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}) {
            ExpectModel(FromText(text), level);
        }
    }
}

TEST(DeflateModel, TextBinaryAndMixedAcrossSlidesAtEveryLevel) {
    for (int level = 1; level <= 9; ++level) {
        ExpectModel(WordText(200000, 21), level);
        ExpectModel(RecordBinary(140000, 22), level);
        ExpectModel(Mixed(230000, 23), level);
    }
}

TEST(DeflateModel, SizesAroundTheWindowBoundaries) {
    for (std::size_t size : {261u, 262u, 263u, 65273u, 65274u, 65275u, 65536u, 65537u, 98042u}) {
        ExpectModel(Mixed(size, static_cast<std::uint32_t>(size)), 8);
        ExpectModel(Mixed(size, static_cast<std::uint32_t>(size)), 2);
    }
}

TEST(DeflateModel, ShortReadsGiveTheSameDecisions) {
    const Bytes input = Mixed(150000, 31);
    for (std::uint32_t chunk : {1u, 100u, 4093u}) {
        ExpectModel(input, 8, chunk);
        ExpectModel(input, 3, chunk);
    }
}

TEST(DeflateModel, LongChainsSpendTheWholeBudget) {
    // Few distinct triples: chains are long, and most searches end on the
    // budget (quartered after a good match) rather than on the distance.
    Bytes input = RandomBytes(180000, 41);
    for (auto& b : input) {
        b = static_cast<std::uint8_t>('a' + b % 3);
    }
    for (int level : {1, 4, 6, 8}) {
        ExpectModel(input, level);
    }
}

TEST(DeflateModel, BlockEndsEarlyAt4096SymbolsWhenMatchesAreFewButLong) {
    const Bytes input = SparseLongMatches(120000);
    ExpectModel(input, 8);
    const Trace trace = TraceDeflate(Compress(input, 8).bytes);
    ASSERT_EQ(trace.error, "");
    ASSERT_GE(trace.blocks.size(), 2u);
    EXPECT_NE(trace.blocks[0].type, 0);
    EXPECT_EQ(trace.blocks[0].symbols.size(), 4096u);
    // Levels 1 and 2 never end a block early.
    const Trace level2 = TraceDeflate(Compress(input, 2).bytes);
    ASSERT_EQ(level2.error, "");
    ASSERT_FALSE(level2.blocks.empty());
    EXPECT_GT(level2.blocks[0].symbols.size(), 4096u);
}
