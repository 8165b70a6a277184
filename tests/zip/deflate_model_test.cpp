// The compressor's output against the model of its decisions
// (deflate_model.h), over inputs made to give every rule its turn.
#include "deflate_model.h"
#include "deflate_test_support.h"
#include "deflate_trace.h"
#include "zip/block_coder.h"
#include "zip/huffman_tree.h"
#include "zip/match_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {
void ExpectModel(const Bytes& input, int level, std::uint32_t chunk = 0) {
    EXPECT_EQ(ModelMismatch(input, level, chunk), "");
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

// early, then 300 different strings whose key for keyed chain K hashes like
// the key at the start of late, then late.
template <int K> Bytes AmidCollisions(const char* early, const char* late) {
    const Bytes tail = FromText(late);
    const std::uint32_t target = lz_key_hash<K>(tail.data());
    Bytes input = FromText(early);
    // The hash may read eight bytes; the key is the first kKeyBytes[K].
    const std::ptrdiff_t key = deflate_limits::kKeyBytes[K];
    Bytes probe = RandomBytes(std::max<std::size_t>(8, static_cast<std::size_t>(key)), 44);
    for (std::uint32_t found = 0, n = 0; found < 300; ++n) {
        std::memcpy(probe.data(), &n, sizeof n);
        if (lz_key_hash<K>(probe.data()) == target &&
            !std::equal(probe.begin(), probe.begin() + key, tail.begin())) {
            input.insert(input.end(), probe.begin(), probe.begin() + key);
            ++found;
        }
    }
    input.insert(input.end(), tail.begin(), tail.end());
    return input;
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
        ExpectModel(RandomBytes(110000, 24), level);
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

TEST(DeflateModel, LongMatchSearchesKeepTheBudgetAndOutlastHashCollisions) {
    // Two letters: every seven-byte string recurs often within the window,
    // so searches holding a long match still end on the budget.
    Bytes two = RandomBytes(150000, 43);
    for (auto& b : two) {
        b = static_cast<std::uint8_t>('a' + b % 2);
    }
    for (int level : {4, 6, 8}) {
        ExpectModel(two, level);
    }
    // A search passes over hundreds of other keys that hash like its own,
    // or gives up and walks the three-byte chain, and finds the longest
    // match beyond them.
    for (const Bytes& input :
         {AmidCollisions<0>("# Velmaris run 0002; stop. ", "Vel!\nVelmaris run 0002; stop. "),
          AmidCollisions<1>("# Velmaris run 0002; stop. ", "Velm!\nVelmaris run 0002; stop. "),
          AmidCollisions<2>("# Velmaris run 0002; stop. ",
                            "Velmaris r!\nVelmaris run 0002; stop. "),
          AmidCollisions<3>("# Velmaris run 0002; stop. ",
                            "Velmaris run 0001;\nVelmaris run 0002; stop. ")}) {
        for (int level : {2, 8}) {
            ExpectModel(input, level);
        }
    }
}

TEST(DeflateModel, KeysOfPositionsInsertedAtTheEdgeOfTheInputReadSoFar) {
    using namespace deflate_limits;
    // Read a byte at a time, the compressor holds exactly 262 bytes ahead
    // once its first full window has slid, so when a 258-byte match goes out
    // there its last positions are inserted before the bytes that complete
    // their longest keys have arrived; those keys are filed after the next
    // read. The string at the last of them comes back after a nearer one that
    // shares only its first `shared` bytes: the far one is the longest match,
    // and a search holding `shared` bytes finds it only on the chain whose
    // key had to wait.
    constexpr std::uint32_t kAlwaysRead = kMinLookahead - (kMaxMatch - 2);
    constexpr int kWaiting = kKeyedChains - 1;
    static_assert(kKeyBytes[kWaiting] > kAlwaysRead, "the longest keys can wait");
    constexpr std::uint32_t kFar = 20;
    for (const std::uint32_t shared : {kKeyBytes[kWaiting] - 1, kFar - 6}) {
        Bytes input = RandomBytes(2 * kWindowSize + 500, 50);
        const Bytes head = RandomBytes(300, 51);
        input.insert(input.end(), head.begin(), head.end());
        const std::size_t match_at = input.size();
        input.insert(input.end(), head.begin() + 1, head.begin() + 259);
        const std::size_t edge = input.size() - 1; // the match's last position
        const Bytes tail = RandomBytes(1200, 52);
        input.insert(input.end(), tail.begin(), tail.end());
        const Bytes far(input.begin() + static_cast<std::ptrdiff_t>(edge),
                        input.begin() + static_cast<std::ptrdiff_t>(edge + kFar));
        input.insert(input.end(), far.begin(), far.begin() + shared);
        input.push_back(static_cast<std::uint8_t>(far[shared] ^ 0x55));
        input.insert(input.end(), tail.begin() + 600, tail.begin() + 700);
        const std::size_t far_again = input.size();
        input.insert(input.end(), far.begin(), far.end());
        input.insert(input.end(), tail.begin() + 900, tail.end());
        // What the window holds beyond the bytes read so far comes from the
        // entry before: zeros, where the input has none.
        for (auto& b : input) {
            b = static_cast<std::uint8_t>(b | 1);
        }
        Compress(Bytes(4096, 0), 8);
        ExpectModel(input, 8, 1);

        // The path is taken: the entry keeps the keyed chains; the match goes
        // out past the first window, one position after its start, with 262
        // bytes read past that, which leaves the last position's key unread;
        // the search holds enough for that key's chain; and the far string is
        // the match chosen.
        ASSERT_GT(input.size(), kPlainChainsUpTo);
        ASSERT_GE(match_at, 2 * kWindowSize);
        ASSERT_GT(edge + kKeyBytes[kWaiting], match_at + 1 + kMinLookahead);
        ASSERT_GE(shared + 1, kKeyBytes[kWaiting]);
        const Trace trace = TraceDeflate(Compress(input, 8, 1).bytes);
        ASSERT_EQ(trace.error, "");
        std::size_t pos = 0;
        TraceSymbol at_match;
        TraceSymbol at_far_again;
        for (const auto& block : trace.blocks) {
            for (const auto& symbol : block.symbols) {
                if (pos == match_at) {
                    at_match = symbol;
                } else if (pos == far_again) {
                    at_far_again = symbol;
                }
                pos += symbol.length != 0 ? symbol.length : 1;
            }
        }
        EXPECT_EQ(at_match.length, static_cast<std::uint32_t>(kMaxMatch)) << "shared " << shared;
        EXPECT_EQ(at_far_again.distance, far_again - edge) << "shared " << shared;
        EXPECT_GE(at_far_again.length, kFar) << "shared " << shared;
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

TEST(DeflateModel, TreesOfCraftedFrequencies) {
    // Fibonacci runs (lengths limited to 15), ties of every size (the depth
    // order decides), sparse and random sets: lengths, max_code and both
    // sizes as the model builds them.
    std::vector<std::vector<std::uint32_t>> sets;
    std::vector<std::uint32_t> fib(286, 0);
    fib[0] = fib[1] = 1;
    for (int n = 2; n < 27; ++n) {
        fib[n] = std::min(fib[n - 1] + fib[n - 2], 2000u);
    }
    sets.push_back(fib);
    for (int count : {1, 2, 3, 5, 8, 13, 29, 30, 256, 286}) {
        std::vector<std::uint32_t> equal(286, 0);
        for (int n = 0; n < count; ++n) {
            equal[285 - n * 285 / std::max(count, 2)] = 4;
        }
        sets.push_back(equal);
    }
    const Bytes noise = RandomBytes(286 * 8, 61);
    for (int k = 0; k < 8; ++k) {
        std::vector<std::uint32_t> random(286, 0);
        for (int n = 0; n < 286; ++n) {
            const std::uint8_t r = noise[k * 286 + n];
            random[n] = r < 96 ? 0 : (r < 200 ? r % 5 + 1 : (r % 40) * (r % 40) * (k + 1) / 8);
        }
        sets.push_back(random);
    }
    for (const auto& freq : sets) {
        // A block holds at most 32,767 symbols: every sum fits the nodes' 16 bits.
        std::uint32_t total = 0;
        for (std::uint32_t f : freq) {
            total += f;
        }
        ASSERT_LE(total, 32768u);
        auto s = std::make_unique<DeflateState>();
        ct_init(*s);
        for (int n = 0; n < 286; ++n) {
            s->dyn_ltree[n].fc = static_cast<std::uint16_t>(freq[n]);
        }
        ct_build(*s, s->l_desc);
        EXPECT_EQ(s->check_message, nullptr);

        std::vector<std::uint32_t> fixed(288);
        for (int n = 0; n < 288; ++n) {
            fixed[n] = n < 144 ? 8 : (n < 256 ? 9 : (n < 280 ? 7 : 8));
        }
        std::uint32_t opt = 0;
        std::uint32_t fixed_len = 0;
        const ModelTree tree = BuildTree(freq, 15, kLengthExtra, 257, &fixed, opt, fixed_len);
        ASSERT_EQ(s->l_desc.max_code, tree.max_code);
        for (int n = 0; n < 286; ++n) {
            ASSERT_EQ(s->dyn_ltree[n].dl, n <= tree.max_code ? tree.lengths[n] : 0u)
                << "symbol " << n;
        }
        EXPECT_EQ(s->opt_len, opt);
        EXPECT_EQ(s->static_len, fixed_len);
    }
}
