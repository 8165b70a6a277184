#include "deflate_test_support.h"

#include <algorithm>
#include <cstring>

namespace {
struct Source {
    const Bytes* data;
    std::size_t pos;
    std::uint32_t chunk;
};

std::uint32_t ReadSource(void* context, std::uint8_t* buffer, std::uint32_t size) {
    auto* source = static_cast<Source*>(context);
    std::size_t count = std::min<std::size_t>(size, source->data->size() - source->pos);
    if (source->chunk != 0) {
        count = std::min<std::size_t>(count, source->chunk);
    }
    if (count != 0) {
        std::memcpy(buffer, source->data->data() + source->pos, count);
    }
    source->pos += count;
    return static_cast<std::uint32_t>(count);
}

std::uint32_t WriteBytes(void* context, const std::uint8_t* data, std::uint32_t length) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), data, data + length);
    return length;
}

struct Lcg {
    std::uint32_t state;
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};
} // namespace

Compressed Compress(const Bytes& input, int level, std::uint32_t read_chunk) {
    Compressed out;
    Source source{&input, 0, read_chunk};
    std::vector<std::uint8_t> buffer(16384);
    DeflateSink sink;
    sink.buffer = buffer.data();
    sink.capacity = static_cast<std::uint32_t>(buffer.size());
    sink.write = WriteBytes;
    sink.context = &out.bytes;
    out.result = DeflateEntry(ReadSource, &source, sink, level, out.flags);
    DeflateSinkFlush(sink);
    return out;
}

Bytes FromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    Lcg lcg{seed};
    Bytes out(size);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(lcg.Next());
    }
    return out;
}

Bytes WordText(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {
        "the",    "sample", "inlet",  "valve",    "pressure", "fraction", "collector", "run",
        "method", "error",  "status", "Velmaris", "flow",     "rate",     "of",        "and",
        "tube",   "rack",   "Batch7", "warning",  "at",       "column",   "detector",  "signal"};
    Lcg lcg{seed};
    Bytes out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const char* word = kWords[lcg.Next() % (sizeof kWords / sizeof kWords[0])];
        out.insert(out.end(), word, word + std::strlen(word));
        const std::uint32_t r = lcg.Next() % 16;
        out.push_back(r == 0 ? '\n' : (r == 1 ? ',' : ' '));
    }
    out.resize(size);
    return out;
}

Bytes RecordBinary(std::size_t size, std::uint32_t seed) {
    Lcg lcg{seed};
    Bytes out;
    out.reserve(size + 16);
    std::uint32_t counter = 0;
    while (out.size() < size) {
        const std::uint32_t fields[4] = {counter++, lcg.Next() % 100,
                                         0x3F800000u + (lcg.Next() & 0xFFF), 0};
        const auto* p = reinterpret_cast<const std::uint8_t*>(fields);
        out.insert(out.end(), p, p + sizeof fields);
    }
    out.resize(size);
    return out;
}

Bytes NoRepeatTriples(std::size_t size) {
    // A de Bruijn sequence of order 3 over 17 symbols, by the standard
    // Lyndon-word construction; every triple occurs once in the cycle.
    const int k = 17;
    const int n = 3;
    std::vector<int> a(k * n, 0);
    Bytes seq;
    struct Gen {
        static void Run(int t, int p, int k, int n, std::vector<int>& a, Bytes& seq) {
            if (t > n) {
                if (n % p == 0) {
                    for (int j = 1; j <= p; ++j) {
                        seq.push_back(static_cast<std::uint8_t>(0x80 + a[j]));
                    }
                }
                return;
            }
            a[t] = a[t - p];
            Run(t + 1, p, k, n, a, seq);
            for (int j = a[t - p] + 1; j < k; ++j) {
                a[t] = j;
                Run(t + 1, t, k, n, a, seq);
            }
        }
    };
    Gen::Run(1, 1, k, n, a, seq);
    seq.resize(std::min(size, seq.size()));
    return seq;
}
