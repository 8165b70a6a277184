// The bit writer and the sink: bit order, alignment, stored data, the
// in-memory mode and failed flushes.
#include "deflate_test_support.h"
#include "deflate_trace.h"
#include "zip/bit_writer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
struct Recorder {
    Bytes bytes;
    std::vector<std::uint32_t> calls;
    const std::uint8_t* own_buffer = nullptr;
    int direct_writes = 0;
    bool fail = false;
};

std::uint32_t Record(void* context, const std::uint8_t* data, std::uint32_t length) {
    auto* r = static_cast<Recorder*>(context);
    if (r->fail) {
        return 0;
    }
    r->bytes.insert(r->bytes.end(), data, data + length);
    r->calls.push_back(length);
    if (data != r->own_buffer) {
        ++r->direct_writes;
    }
    return length;
}

std::uint32_t ReadAll(void* context, std::uint8_t* buffer, std::uint32_t size) {
    auto* source = static_cast<std::pair<const Bytes*, std::size_t>*>(context);
    const std::size_t left = source->first->size() - source->second;
    const std::uint32_t count = static_cast<std::uint32_t>(left < size ? left : size);
    std::copy_n(source->first->data() + source->second, count, buffer);
    source->second += count;
    return count;
}

DeflateResult RunEntry(const Bytes& input, DeflateSink& sink, int level = 8) {
    std::pair<const Bytes*, std::size_t> source{&input, 0};
    std::uint16_t flags = 0;
    return DeflateEntry(ReadAll, &source, sink, level, flags);
}
} // namespace

TEST(BitWriter, BitsGoOutLeastSignificantFirstAndAlignPads) {
    auto s = std::make_unique<DeflateState>();
    std::uint8_t buffer[16];
    DeflateSink sink;
    sink.buffer = buffer;
    sink.capacity = sizeof buffer;
    sink.stream = false;
    s->sink = &sink;
    ct_put_bits(*s, 0x5, 3);
    ct_put_bits(*s, 0x1F, 5);
    ct_put_bits(*s, 0x7FFF, 15);
    ct_put_bits(*s, 0x1, 1);
    ct_put_bits(*s, 0x2, 2);
    EXPECT_EQ(ct_bits_sent(*s), 26u);
    ct_align(*s);
    EXPECT_EQ(ct_bits_sent(*s), 32u);
    ASSERT_EQ(sink.fill, 4u);
    EXPECT_EQ(buffer[0], 0xFD);
    EXPECT_EQ(buffer[1], 0xFF);
    EXPECT_EQ(buffer[2], 0xFF);
    EXPECT_EQ(buffer[3], 0x02);
    EXPECT_EQ(s->check_message, nullptr);
}

TEST(BitWriter, CodeLengthsOutsideOneToFifteenAreRefused) {
    auto s = std::make_unique<DeflateState>();
    std::uint8_t buffer[16];
    DeflateSink sink;
    sink.buffer = buffer;
    sink.capacity = sizeof buffer;
    s->sink = &sink;
    ct_put_bits(*s, 0, 0);
    EXPECT_STREQ(s->check_message, "invalid length");
    s->check_message = nullptr;
    ct_put_bits(*s, 0, 16);
    EXPECT_STREQ(s->check_message, "invalid length");
}

TEST(BitWriter, StreamModeHandsStoredDataStraightToTheOutputAndEndsFlushed) {
    const Bytes input = RandomBytes(50000, 9);
    std::vector<std::uint8_t> buffer(16384);
    Recorder recorder;
    recorder.own_buffer = buffer.data();
    DeflateSink sink;
    sink.buffer = buffer.data();
    sink.capacity = static_cast<std::uint32_t>(buffer.size());
    sink.write = Record;
    sink.context = &recorder;
    const DeflateResult result = RunEntry(input, sink);
    EXPECT_EQ(sink.fill, 0u);
    EXPECT_EQ(result.check_message, nullptr);
    EXPECT_EQ(result.compressed_size, recorder.bytes.size());
    EXPECT_GE(recorder.direct_writes, 1);
    for (std::uint32_t length : recorder.calls) {
        EXPECT_LE(length, 32767u);
    }
    EXPECT_EQ(TraceDeflate(recorder.bytes).data, input);
}

TEST(BitWriter, InMemoryModeGivesTheSameBytes) {
    for (const Bytes& input : {WordText(100000, 4), RandomBytes(40000, 4)}) {
        const Compressed streamed = Compress(input, 8);
        std::vector<std::uint8_t> buffer(200000);
        DeflateSink sink;
        sink.buffer = buffer.data();
        sink.capacity = static_cast<std::uint32_t>(buffer.size());
        sink.stream = false;
        const DeflateResult result = RunEntry(input, sink);
        EXPECT_EQ(result.check_message, nullptr);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + sink.fill), streamed.bytes);
    }
}

TEST(BitWriter, InMemoryModeReportsAnOutputBufferThatIsTooSmall) {
    for (const Bytes& input : {WordText(100000, 4), RandomBytes(40000, 4)}) {
        std::vector<std::uint8_t> buffer(700);
        DeflateSink sink;
        sink.buffer = buffer.data();
        sink.capacity = static_cast<std::uint32_t>(buffer.size());
        sink.stream = false;
        const DeflateResult result = RunEntry(input, sink);
        EXPECT_STREQ(result.check_message, "output buffer too small for in-memory compression");
        EXPECT_TRUE(result.output_lost);
        EXPECT_LE(sink.fill, sink.capacity);
    }
}

TEST(BitWriter, OutputLeftPendingByFailedFlushesIsReportedLost) {
    // Small enough to fit the buffer: nothing is dropped, but nothing ever
    // leaves it either.
    for (const Bytes& input : {Bytes{}, FromText("A"), WordText(5000, 2)}) {
        std::vector<std::uint8_t> buffer(16384);
        Recorder recorder;
        recorder.fail = true;
        DeflateSink sink;
        sink.buffer = buffer.data();
        sink.capacity = static_cast<std::uint32_t>(buffer.size());
        sink.write = Record;
        sink.context = &recorder;
        const DeflateResult result = RunEntry(input, sink);
        EXPECT_TRUE(result.output_lost) << input.size();
        EXPECT_EQ(result.check_message, nullptr);
        EXPECT_EQ(sink.fill, result.compressed_size);
        EXPECT_TRUE(recorder.bytes.empty());
    }
}

TEST(BitWriter, FailedFlushesNeverWritePastTheBufferAndAreReported) {
    for (const Bytes& input : {WordText(300000, 8), RandomBytes(100000, 8)}) {
        std::vector<std::uint8_t> buffer(16384);
        Recorder recorder;
        recorder.fail = true;
        DeflateSink sink;
        sink.buffer = buffer.data();
        sink.capacity = static_cast<std::uint32_t>(buffer.size());
        sink.write = Record;
        sink.context = &recorder;
        const DeflateResult result = RunEntry(input, sink);
        EXPECT_TRUE(result.output_lost);
        EXPECT_LE(sink.fill, sink.capacity);
        EXPECT_TRUE(recorder.bytes.empty());
    }
}
