// Our compressor against zlib level 8 (raw deflate, window 15, memLevel 8)
// and libdeflate level 8: each file compressed in memory by all three,
// alternating, for several repetitions; sizes and MB/s per top-level folder
// and in total, over the files the zip writer would deflate.
//   deflate_bench DIR [REPETITIONS]
#include "bench_corpus.h"
#include "zip/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {
struct Output {
    std::vector<std::uint8_t> bytes;
    std::size_t size = 0;
};

std::uint32_t WriteOutput(void* context, const std::uint8_t* data, std::uint32_t length) {
    auto* out = static_cast<Output*>(context);
    if (out->size + length > out->bytes.size()) {
        out->bytes.resize((out->size + length) * 2);
    }
    std::memcpy(out->bytes.data() + out->size, data, length);
    out->size += length;
    return length;
}

struct Input {
    const std::vector<std::uint8_t>* data;
    std::size_t pos;
};

std::uint32_t ReadInput(void* context, std::uint8_t* buffer, std::uint32_t size) {
    auto* in = static_cast<Input*>(context);
    const std::size_t left = in->data->size() - in->pos;
    const std::uint32_t count = static_cast<std::uint32_t>(left < size ? left : size);
    std::memcpy(buffer, in->data->data() + in->pos, count);
    in->pos += count;
    return count;
}

// Ours, as the zip writer runs it: stream mode through a 16 KiB buffer.
std::size_t CompressOurs(const std::vector<std::uint8_t>& data, Output& out, bool& failed) {
    std::uint8_t buffer[16384];
    out.size = 0;
    Input in{&data, 0};
    DeflateSink sink;
    sink.buffer = buffer;
    sink.capacity = sizeof buffer;
    sink.write = WriteOutput;
    sink.context = &out;
    std::uint16_t flags = 0;
    const DeflateResult result = DeflateEntry(ReadInput, &in, sink, 8, flags);
    DeflateSinkFlush(sink);
    failed = failed || result.check_message != nullptr || result.compressed_size != out.size;
    return out.size;
}

std::size_t CompressZlib(const std::vector<std::uint8_t>& data, Output& out) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    deflateInit2(&z, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    const uLong bound = deflateBound(&z, static_cast<uLong>(data.size()));
    if (out.bytes.size() < bound) {
        out.bytes.resize(bound);
    }
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.bytes.data();
    z.avail_out = static_cast<uInt>(out.bytes.size());
    deflate(&z, Z_FINISH);
    const std::size_t size = z.total_out;
    deflateEnd(&z);
    return size;
}

// libdeflate as its users run it: one compressor reused for every file.
std::size_t CompressLibdeflate(libdeflate_compressor* compressor,
                               const std::vector<std::uint8_t>& data, Output& out) {
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor, data.size());
    if (out.bytes.size() < bound) {
        out.bytes.resize(bound);
    }
    return libdeflate_deflate_compress(compressor, data.data(), data.size(), out.bytes.data(),
                                       out.bytes.size());
}

bool InflatesTo(const Output& stream, const std::vector<std::uint8_t>& expected) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    inflateInit2(&z, -15);
    std::vector<std::uint8_t> back(expected.size() + 1);
    z.next_in = const_cast<Bytef*>(stream.bytes.data());
    z.avail_in = static_cast<uInt>(stream.size);
    z.next_out = back.data();
    z.avail_out = static_cast<uInt>(back.size());
    const int rc = inflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    inflateEnd(&z);
    return rc == Z_STREAM_END && produced == expected.size() &&
           std::memcmp(back.data(), expected.data(), produced) == 0;
}

struct Tally {
    std::size_t files = 0;
    double input = 0;
    double ours_size = 0;
    double zlib_size = 0;
    double libdeflate_size = 0;
    double ours_seconds = 0;
    double zlib_seconds = 0;
    double libdeflate_seconds = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void PrintRow(const char* name, const Tally& t, int repetitions) {
    const double mb = t.input * repetitions / 1e6;
    std::printf("%-14s %6zu %10.0f %10.0f %10.0f %10.0f  x%.4f %8.2f %8.2f %8.2f  x%.2f  x%.2f\n",
                name, t.files, t.input, t.ours_size, t.zlib_size, t.libdeflate_size,
                t.ours_size / t.zlib_size, mb / t.ours_seconds, mb / t.zlib_seconds,
                mb / t.libdeflate_seconds, t.zlib_seconds / t.ours_seconds,
                t.libdeflate_seconds / t.ours_seconds);
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: deflate_bench DIR [REPETITIONS]\n");
        return 2;
    }
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::vector<BenchFile> files = LoadCorpus(argv[1]);
    if (files.empty() || repetitions < 1) {
        std::fprintf(stderr, "no files under %s\n", argv[1]);
        return 2;
    }
    std::map<std::string, Tally> tallies;
    Output ours;
    Output theirs;
    libdeflate_compressor* const libdeflate = libdeflate_alloc_compressor(8);
    if (libdeflate == nullptr) {
        std::fprintf(stderr, "libdeflate_alloc_compressor failed\n");
        return 2;
    }
    bool failed = false;
    for (int rep = 0; rep < repetitions; ++rep) {
        for (const auto& file : files) {
            Tally& t = tallies[file.group];
            auto start = std::chrono::steady_clock::now();
            const std::size_t ours_size = CompressOurs(file.data, ours, failed);
            t.ours_seconds += Seconds(start);
            start = std::chrono::steady_clock::now();
            const std::size_t zlib_size = CompressZlib(file.data, theirs);
            t.zlib_seconds += Seconds(start);
            start = std::chrono::steady_clock::now();
            const std::size_t libdeflate_size = CompressLibdeflate(libdeflate, file.data, theirs);
            t.libdeflate_seconds += Seconds(start);
            if (rep == 0) {
                ++t.files;
                t.input += static_cast<double>(file.data.size());
                t.ours_size += static_cast<double>(ours_size);
                t.zlib_size += static_cast<double>(zlib_size);
                t.libdeflate_size += static_cast<double>(libdeflate_size);
                if (!InflatesTo(ours, file.data)) {
                    std::fprintf(stderr, "round trip failed for a file in %s\n",
                                 file.group.c_str());
                    failed = true;
                }
            }
        }
    }
    libdeflate_free_compressor(libdeflate);
    std::printf("%-14s %6s %10s %10s %10s %10s  %7s %8s %8s %8s  %5s  %5s\n", "folder", "files",
                "input", "ours", "zlib-8", "libdefl-8", "size", "ours", "zlib", "libdefl", "vs-zl",
                "vs-ld");
    std::printf("%-14s %6s %10s %10s %10s %10s  %7s %8s %8s %8s\n", "", "", "bytes", "bytes",
                "bytes", "bytes", "vs-zl", "MB/s", "MB/s", "MB/s");
    Tally total;
    double worst_ratio = 0;
    std::string worst_group;
    for (const auto& group : CorpusGroups(files)) {
        const Tally& t = tallies[group];
        PrintRow(group.c_str(), t, repetitions);
        const double ratio = t.libdeflate_seconds / t.ours_seconds;
        if (worst_group.empty() || ratio < worst_ratio) {
            worst_ratio = ratio;
            worst_group = group;
        }
        total.files += t.files;
        total.input += t.input;
        total.ours_size += t.ours_size;
        total.zlib_size += t.zlib_size;
        total.libdeflate_size += t.libdeflate_size;
        total.ours_seconds += t.ours_seconds;
        total.zlib_seconds += t.zlib_seconds;
        total.libdeflate_seconds += t.libdeflate_seconds;
    }
    PrintRow("total", total, repetitions);
    if (failed) {
        std::printf("compressor failures: a check message, a size mismatch or a bad round trip\n");
    }
    std::printf("deflate-vs-libdeflate8: speed x%.2f, worst folder x%.2f (%s)\n",
                total.libdeflate_seconds / total.ours_seconds, worst_ratio, worst_group.c_str());
    std::printf("deflate-vs-zlib8: speed x%.2f, size x%.3f\n",
                total.zlib_seconds / total.ours_seconds, total.ours_size / total.zlib_size);
    return failed ? 1 : 0;
}
