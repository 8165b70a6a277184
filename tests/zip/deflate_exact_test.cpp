// Exact bytes and symbols that the compressor's decisions fix.
#include "deflate_test_support.h"
#include "deflate_trace.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
std::vector<TraceSymbol> AllSymbols(const Trace& trace) {
    std::vector<TraceSymbol> all;
    for (const auto& block : trace.blocks) {
        all.insert(all.end(), block.symbols.begin(), block.symbols.end());
    }
    return all;
}

int CountMatches(const Trace& trace) {
    int matches = 0;
    for (const auto& symbol : AllSymbols(trace)) {
        matches += symbol.length != 0 ? 1 : 0;
    }
    return matches;
}

// "Q" (position 0 is never a candidate), "XYZ", a filler in which no three
// bytes repeat, "XYZ", "W": the second XYZ can only match the first, at
// distance 3 + filler.
Bytes ShortMatchAt(std::uint32_t distance) {
    Bytes input = FromText("QXYZ");
    const Bytes filler = NoRepeatTriples(distance - 3);
    input.insert(input.end(), filler.begin(), filler.end());
    input.push_back('X');
    input.push_back('Y');
    input.push_back('Z');
    input.push_back('W');
    return input;
}

Bytes Periodic(std::size_t size, std::size_t period, std::uint32_t seed) {
    const Bytes unit = RandomBytes(period, seed);
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = unit[i % period];
    }
    return out;
}
} // namespace

TEST(DeflateExact, EmptyInputIsOneFixedBlockWithOnlyTheEndCode) {
    const Compressed c = Compress({}, 8);
    EXPECT_EQ(c.bytes, (Bytes{0x03, 0x00}));
    EXPECT_EQ(c.result.compressed_size, 2u);
    EXPECT_EQ(c.result.check_message, nullptr);
    EXPECT_EQ(c.flags, 2);
}

TEST(DeflateExact, SingleLiteralIsOneFixedBlock) {
    const Compressed c = Compress(FromText("A"), 8);
    EXPECT_EQ(c.bytes, (Bytes{0x73, 0x04, 0x00}));
    EXPECT_EQ(c.result.compressed_size, 3u);
}

TEST(DeflateExact, LazyMatchAfterAPendingLiteralInOneFixedBlock) {
    // Position 0 is never a candidate, so the second "abc" starts as
    // literals; at 4 "bcabc" (distance 3) is found, the pending "a" goes out,
    // and at 5 no longer match replaces it: a, b, c, a, then 5 at distance 3.
    const Compressed c = Compress(FromText("abcabcabc"), 8);
    EXPECT_EQ(c.bytes, (Bytes{0x4B, 0x4C, 0x4A, 0x4E, 0x04, 0x23, 0x00}));
    EXPECT_EQ(c.result.compressed_size, 7u);
    EXPECT_EQ(c.result.check_message, nullptr);
}

TEST(DeflateExact, IncompressibleInputIsOneStoredBlock) {
    const Bytes input = RandomBytes(300, 17);
    const Compressed c = Compress(input, 8);
    Bytes expected{0x01, 0x2C, 0x01, 0xD3, 0xFE};
    expected.insert(expected.end(), input.begin(), input.end());
    EXPECT_EQ(c.bytes, expected);
    EXPECT_EQ(c.result.compressed_size, 305u);
}

TEST(DeflateExact, OneAndTwoBytesAreLiterals) {
    for (const char* text : {"A", "AB", "AA"}) {
        const Trace trace = TraceDeflate(Compress(FromText(text), 8).bytes);
        ASSERT_EQ(trace.error, "");
        EXPECT_EQ(CountMatches(trace), 0) << text;
        EXPECT_EQ(trace.data, FromText(text));
    }
}

TEST(DeflateExact, ThousandEqualBytesGiveTwoLiteralsThenDistanceOneMatches) {
    const Bytes input(1000, 'a');
    const Compressed c = Compress(input, 8);
    const Trace trace = TraceDeflate(c.bytes);
    ASSERT_EQ(trace.error, "");
    ASSERT_EQ(trace.blocks.size(), 1u);
    const auto symbols = AllSymbols(trace);
    ASSERT_EQ(symbols.size(), 6u);
    EXPECT_EQ(symbols[0].length, 0u);
    EXPECT_EQ(symbols[1].length, 0u);
    const std::uint32_t lengths[] = {258, 258, 258, 224};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(symbols[2 + i].length, lengths[i]);
        EXPECT_EQ(symbols[2 + i].distance, 1u);
    }
    EXPECT_EQ(trace.data, input);
    EXPECT_EQ(c.result.compressed_size, c.bytes.size());
}

TEST(DeflateExact, LazyLoopDropsThreeByteMatchesFartherThan4096) {
    const Trace kept = TraceDeflate(Compress(ShortMatchAt(4096), 8).bytes);
    ASSERT_EQ(kept.error, "");
    ASSERT_EQ(CountMatches(kept), 1);
    const auto symbols = AllSymbols(kept);
    const TraceSymbol match = symbols[symbols.size() - 2];
    EXPECT_EQ(match.length, 3u);
    EXPECT_EQ(match.distance, 4096u);

    for (int level = 4; level <= 8; ++level) {
        const Bytes input = ShortMatchAt(4097);
        const Trace dropped = TraceDeflate(Compress(input, level).bytes);
        ASSERT_EQ(dropped.error, "");
        EXPECT_EQ(CountMatches(dropped), 0) << "level " << level;
        EXPECT_EQ(dropped.data, input);
    }
}

TEST(DeflateExact, GreedyLoopKeepsFarThreeByteMatches) {
    for (int level = 1; level <= 3; ++level) {
        const Trace trace = TraceDeflate(Compress(ShortMatchAt(4097), level).bytes);
        ASSERT_EQ(trace.error, "");
        EXPECT_EQ(CountMatches(trace), 1) << "level " << level;
    }
}

TEST(DeflateExact, SlidingWindowNeverReachesBackPast32506) {
    // Period 32,506 is the farthest a match may reach; period 32,507 is
    // one too far, so its repeats cannot be used.
    for (std::size_t period : {32506u, 32507u}) {
        const Bytes input = Periodic(150000, period, 7);
        for (std::uint32_t chunk : {0u, 1000u}) {
            const Compressed c = Compress(input, 8, chunk);
            const Trace trace = TraceDeflate(c.bytes);
            ASSERT_EQ(trace.error, "");
            EXPECT_EQ(trace.data, input);
            EXPECT_EQ(c.result.check_message, nullptr);
            std::uint32_t farthest = 0;
            for (const auto& symbol : AllSymbols(trace)) {
                farthest = std::max(farthest, symbol.distance);
            }
            EXPECT_LE(farthest, 32506u);
            if (period == 32506 && chunk == 0) {
                EXPECT_EQ(farthest, 32506u);
                EXPECT_LT(c.bytes.size(), 40000u);
            }
        }
    }
}

TEST(DeflateExact, BlockIsStoredOnlyWhileItsBytesAreInTheWindow) {
    // Random bytes: every block is all literals and ends when the buffer is
    // full (32,767 symbols). The first block is stored. The window slides at
    // 65,274 and 98,042, inside the second and the third block, so their
    // starts leave the window and they are coded although storing them would
    // be shorter. The last block (98,301 on) is in the window again.
    const Bytes input = RandomBytes(100000, 3);
    const Compressed c = Compress(input, 8);
    const Trace trace = TraceDeflate(c.bytes);
    ASSERT_EQ(trace.error, "");
    EXPECT_EQ(trace.data, input);
    ASSERT_EQ(trace.blocks.size(), 4u);
    EXPECT_EQ(trace.blocks[0].type, 0);
    EXPECT_EQ(trace.blocks[0].stored_length, 32767u);
    for (int b : {1, 2}) {
        EXPECT_NE(trace.blocks[b].type, 0);
        EXPECT_EQ(trace.blocks[b].symbols.size(), 32767u);
    }
    EXPECT_EQ(trace.blocks[3].type, 0);
    EXPECT_EQ(trace.blocks[3].stored_length, 100000u - 3 * 32767u);
    EXPECT_GT(c.bytes.size(), input.size() + 4 * 5);
}

TEST(DeflateExact, LevelBitsGoIntoTheFlagsWord) {
    const std::uint16_t expected[] = {0, 4, 4, 0, 0, 0, 0, 0, 2};
    for (int level = 1; level <= 8; ++level) {
        const Compressed c = Compress(FromText("flags"), level);
        EXPECT_EQ(c.flags, expected[level]) << "level " << level;
        EXPECT_EQ(c.result.check_message, nullptr);
    }
}

TEST(DeflateExact, LevelsOutsideOneToEightRecordBadPackLevelAndStillComplete) {
    const Bytes input = WordText(20000, 5);
    for (int level : {9, 0, -3, 42}) {
        const Compressed c = Compress(input, level);
        ASSERT_NE(c.result.check_message, nullptr) << "level " << level;
        EXPECT_STREQ(c.result.check_message, "bad pack level");
        const Trace trace = TraceDeflate(c.bytes);
        EXPECT_EQ(trace.error, "");
        EXPECT_EQ(trace.data, input);
    }
}

TEST(DeflateExact, IdenticalInputGivesIdenticalOutput) {
    const Bytes input = WordText(300000, 11);
    for (int level : {1, 4, 8}) {
        EXPECT_EQ(Compress(input, level).bytes, Compress(input, level).bytes);
    }
}

TEST(DeflateExact, ReportedSizeIsTheBytesWritten) {
    for (int level = 1; level <= 8; ++level) {
        for (const Bytes& input : {WordText(70000, 1), RandomBytes(70000, 2), Bytes(70000, 0)}) {
            const Compressed c = Compress(input, level);
            EXPECT_EQ(c.result.compressed_size, c.bytes.size());
            EXPECT_EQ(c.result.check_message, nullptr);
            EXPECT_FALSE(c.result.output_lost);
        }
    }
}

namespace {
struct AllOnesEnd {
    const Bytes* data;
    std::size_t pos;
};

std::uint32_t ReadThenAllOnes(void* context, std::uint8_t* buffer, std::uint32_t size) {
    auto* source = static_cast<AllOnesEnd*>(context);
    const std::size_t left = source->data->size() - source->pos;
    if (left == 0) {
        return 0xFFFFFFFFu;
    }
    const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(left, size));
    std::memcpy(buffer, source->data->data() + source->pos, count);
    source->pos += count;
    return count;
}

std::uint32_t Append(void* context, const std::uint8_t* data, std::uint32_t length) {
    static_cast<Bytes*>(context)->insert(static_cast<Bytes*>(context)->end(), data, data + length);
    return length;
}
} // namespace

TEST(DeflateExact, AllOnesFromTheReadEndsTheInputLikeZero) {
    for (const Bytes& input : {Bytes{}, WordText(100, 3), WordText(90000, 3)}) {
        AllOnesEnd source{&input, 0};
        Bytes out;
        std::vector<std::uint8_t> buffer(16384);
        DeflateSink sink;
        sink.buffer = buffer.data();
        sink.capacity = static_cast<std::uint32_t>(buffer.size());
        sink.write = Append;
        sink.context = &out;
        std::uint16_t flags = 0;
        const DeflateResult result = DeflateEntry(ReadThenAllOnes, &source, sink, 8, flags);
        DeflateSinkFlush(sink);
        EXPECT_EQ(result.check_message, nullptr);
        EXPECT_EQ(out, Compress(input, 8).bytes);
    }
}
