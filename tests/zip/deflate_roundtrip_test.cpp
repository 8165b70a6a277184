// Round trips through an independent inflater (zlib's inflate) at every
// level, over several kinds of data and sizes that cross block and window
// boundaries.
#include "deflate_test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace {
bool Inflates(const Bytes& stream, const Bytes& expected, std::string& why) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -15) != Z_OK) {
        why = "inflateInit2";
        return false;
    }
    Bytes out(expected.size() + 64);
    z.next_in = const_cast<Bytes::value_type*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    const std::size_t consumed = z.total_in;
    inflateEnd(&z);
    if (rc != Z_STREAM_END) {
        why = "inflate returned " + std::to_string(rc);
        return false;
    }
    if (consumed != stream.size()) {
        why = "stream has trailing bytes";
        return false;
    }
    out.resize(produced);
    if (out != expected) {
        why = "data differs";
        return false;
    }
    return true;
}

Bytes LongRuns(std::size_t size, std::uint32_t seed) {
    const Bytes noise = RandomBytes(size / 64 + 16, seed);
    Bytes out;
    out.reserve(size);
    std::size_t k = 0;
    while (out.size() < size) {
        const std::size_t run = 1 + noise[k % noise.size()] * 7u;
        out.insert(out.end(), run, noise[(k + 1) % noise.size()] & 3);
        k += 2;
    }
    out.resize(size);
    return out;
}

// Text, then incompressible bytes, then runs: blocks of every kind in one entry.
Bytes Mixed(std::size_t size, std::uint32_t seed) {
    Bytes out;
    std::uint32_t part = 0;
    while (out.size() < size) {
        const std::size_t chunk = 5000 + (seed * 7919u + part * 104729u) % 60000;
        Bytes piece = part % 3 == 0 ? WordText(chunk, seed + part)
                                    : (part % 3 == 1 ? RandomBytes(chunk, seed + part)
                                                     : LongRuns(chunk, seed + part));
        out.insert(out.end(), piece.begin(), piece.end());
        ++part;
    }
    out.resize(size);
    return out;
}

void ExpectRoundTrip(const Bytes& input, int level, std::uint32_t chunk, const std::string& what) {
    const Compressed c = Compress(input, level, chunk);
    std::string why;
    EXPECT_TRUE(Inflates(c.bytes, input, why))
        << what << " level " << level << " size " << input.size() << ": " << why;
    EXPECT_EQ(c.result.check_message, nullptr) << what << " level " << level;
    EXPECT_EQ(c.result.compressed_size, c.bytes.size()) << what << " level " << level;
}

const std::size_t kSizes[] = {0,     1,     2,     3,     4,     258,    261,
                              262,   4095,  4097,  32767, 32768, 32769,  65273,
                              65274, 65275, 65536, 65537, 98304, 131072, 200003};
} // namespace

TEST(DeflateRoundTrip, TextAtEveryLevelAndBoundarySize) {
    for (int level = 1; level <= 8; ++level) {
        for (std::size_t size : kSizes) {
            ExpectRoundTrip(WordText(size, 1), level, 0, "text");
        }
    }
}

TEST(DeflateRoundTrip, BinaryAtEveryLevelAndBoundarySize) {
    for (int level = 1; level <= 8; ++level) {
        for (std::size_t size : kSizes) {
            ExpectRoundTrip(RecordBinary(size, 2), level, 0, "binary");
        }
    }
}

TEST(DeflateRoundTrip, RandomAtEveryLevel) {
    for (int level = 1; level <= 8; ++level) {
        for (std::size_t size : {std::size_t{5}, std::size_t{70000}, std::size_t{200000}}) {
            ExpectRoundTrip(RandomBytes(size, 3), level, 0, "random");
        }
    }
}

TEST(DeflateRoundTrip, LongRunsAtEveryLevel) {
    for (int level = 1; level <= 8; ++level) {
        ExpectRoundTrip(LongRuns(300000, 4), level, 0, "runs");
        ExpectRoundTrip(Bytes(150000, 0x55), level, 0, "one byte repeated");
    }
}

TEST(DeflateRoundTrip, SeveralMegabytesOfMixedData) {
    const Bytes input = Mixed(3 * 1024 * 1024 + 17, 5);
    for (int level : {1, 3, 4, 8}) {
        ExpectRoundTrip(input, level, 0, "mixed");
    }
}

TEST(DeflateRoundTrip, ShortReadsDoNotChangeCorrectness) {
    const Bytes input = Mixed(400000, 6);
    for (std::uint32_t chunk : {1u, 7u, 262u, 4096u, 40000u}) {
        for (int level : {2, 8}) {
            ExpectRoundTrip(input, level, chunk, "short reads " + std::to_string(chunk));
        }
    }
}
