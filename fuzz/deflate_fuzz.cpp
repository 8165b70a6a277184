// libFuzzer target: compresses any input at a level the fuzzer picks and
// checks the round trip through zlib's inflate, the reported size and the
// absence of check messages.
#include "deflate_fuzz_input.h"
#include "zip/deflate.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    std::uint32_t chunk; // 0: as much as requested
};

std::uint32_t ReadSource(void* context, std::uint8_t* buffer, std::uint32_t size) {
    auto* s = static_cast<Source*>(context);
    std::size_t count = s->size - s->pos < size ? s->size - s->pos : size;
    if (s->chunk != 0 && count > s->chunk) {
        count = s->chunk;
    }
    if (count != 0) {
        std::memcpy(buffer, s->data + s->pos, count);
    }
    s->pos += count;
    return static_cast<std::uint32_t>(count);
}

std::uint32_t WriteOut(void* context, const std::uint8_t* data, std::uint32_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    out->insert(out->end(), data, data + length);
    return length;
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DeflateFuzzInput input = DecodeDeflateFuzzInput(data, size);
    const int level = input.level;
    Source source{input.data.data(), input.data.size(), 0, input.chunk};

    std::vector<std::uint8_t> out;
    out.reserve(source.size + source.size / 8 + 64);
    std::vector<std::uint8_t> buffer(16384);
    DeflateSink sink;
    sink.buffer = buffer.data();
    sink.capacity = static_cast<std::uint32_t>(buffer.size());
    sink.write = WriteOut;
    sink.context = &out;
    std::uint16_t flags = 0;
    const DeflateResult result = DeflateEntry(ReadSource, &source, sink, level, flags);
    DeflateSinkFlush(sink);
    Require(result.check_message == nullptr);
    Require(!result.output_lost);
    Require(result.compressed_size == out.size());

    z_stream z;
    std::memset(&z, 0, sizeof z);
    Require(inflateInit2(&z, -15) == Z_OK);
    std::vector<std::uint8_t> back(source.size + 1);
    z.next_in = out.data();
    z.avail_in = static_cast<uInt>(out.size());
    z.next_out = back.data();
    z.avail_out = static_cast<uInt>(back.size());
    const int rc = inflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    const std::size_t consumed = z.total_in;
    inflateEnd(&z);
    Require(rc == Z_STREAM_END && consumed == out.size() && produced == source.size);
    Require(source.size == 0 || std::memcmp(back.data(), source.data, source.size) == 0);
    return 0;
}
