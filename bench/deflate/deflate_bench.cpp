// Our compressor against zlib level 8 (raw deflate, window 15, memLevel 8)
// and libdeflate level 8: each file compressed in memory by all three,
// alternating, for several repetitions; sizes and MB/s per top-level folder,
// per size class and in total, over the files the zip writer would deflate;
// then each compressor's fixed cost per entry, on an empty and a 100-byte
// input.
//   deflate_bench DIR [REPETITIONS]
#include "bench_corpus.h"
#include "zip/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
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

void Add(Tally& into, const Tally& t) {
    into.files += t.files;
    into.input += t.input;
    into.ours_size += t.ours_size;
    into.zlib_size += t.zlib_size;
    into.libdeflate_size += t.libdeflate_size;
    into.ours_seconds += t.ours_seconds;
    into.zlib_seconds += t.zlib_seconds;
    into.libdeflate_seconds += t.libdeflate_seconds;
}

// Our speed against libdeflate-8's ("x-" for no files).
std::string VsLibdeflate(const Tally& t) {
    if (t.files == 0) {
        return "x-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "x%.2f", t.libdeflate_seconds / t.ours_seconds);
    return text;
}

void PrintHeader(const char* first) {
    std::printf("%-14s %6s %10s %10s %10s %10s  %7s %8s %8s %8s  %5s  %5s\n", first, "files",
                "input", "ours", "zlib-8", "libdefl-8", "size", "ours", "zlib", "libdefl", "vs-zl",
                "vs-ld");
    std::printf("%-14s %6s %10s %10s %10s %10s  %7s %8s %8s %8s\n", "", "", "bytes", "bytes",
                "bytes", "bytes", "vs-zl", "MB/s", "MB/s", "MB/s");
}

// A short configuration text, as many of the entries a run collects are.
const char kHundredBytes[] = "[Method]\r\nName=Gradient A\r\nFlowRate=1.250\r\n"
                             "Column=C18 150x4.6\r\nInlet=2\r\nPressureLimit=400 bar\r\nLog\r\n";
static_assert(sizeof kHundredBytes - 1 == 100, "a 100-byte input");

struct FixedCost {
    double ours = 1e30;
    double zlib = 1e30;
    double libdeflate = 1e30;
};

// Nanoseconds per entry of each compressor on one input: many entries per
// timing, the three in turn, the best of several rounds.
FixedCost MeasureFixedCost(const std::vector<std::uint8_t>& input,
                           libdeflate_compressor* libdeflate, Output& ours, Output& theirs,
                           bool& failed) {
    constexpr int kEntries = 4000;
    constexpr int kRounds = 9;
    FixedCost best;
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kEntries; ++i) {
            CompressOurs(input, ours, failed);
        }
        best.ours = std::min(best.ours, Seconds(start) * 1e9 / kEntries);
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kEntries; ++i) {
            CompressZlib(input, theirs);
        }
        best.zlib = std::min(best.zlib, Seconds(start) * 1e9 / kEntries);
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kEntries; ++i) {
            CompressLibdeflate(libdeflate, input, theirs);
        }
        best.libdeflate = std::min(best.libdeflate, Seconds(start) * 1e9 / kEntries);
    }
    return best;
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
    Tally classes[kSizeClasses];
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
            Tally sample;
            auto start = std::chrono::steady_clock::now();
            const std::size_t ours_size = CompressOurs(file.data, ours, failed);
            sample.ours_seconds = Seconds(start);
            start = std::chrono::steady_clock::now();
            const std::size_t zlib_size = CompressZlib(file.data, theirs);
            sample.zlib_seconds = Seconds(start);
            start = std::chrono::steady_clock::now();
            const std::size_t libdeflate_size = CompressLibdeflate(libdeflate, file.data, theirs);
            sample.libdeflate_seconds = Seconds(start);
            if (rep == 0) {
                sample.files = 1;
                sample.input = static_cast<double>(file.data.size());
                sample.ours_size = static_cast<double>(ours_size);
                sample.zlib_size = static_cast<double>(zlib_size);
                sample.libdeflate_size = static_cast<double>(libdeflate_size);
                if (!InflatesTo(ours, file.data)) {
                    std::fprintf(stderr, "round trip failed for a file in %s\n",
                                 file.group.c_str());
                    failed = true;
                }
            }
            Add(tallies[file.group], sample);
            Add(classes[SizeClass(file.data.size())], sample);
        }
    }
    const std::vector<std::uint8_t> empty;
    const std::vector<std::uint8_t> hundred(kHundredBytes, kHundredBytes + 100);
    const FixedCost empty_cost = MeasureFixedCost(empty, libdeflate, ours, theirs, failed);
    const FixedCost hundred_cost = MeasureFixedCost(hundred, libdeflate, ours, theirs, failed);
    libdeflate_free_compressor(libdeflate);

    PrintHeader("folder");
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
        Add(total, t);
    }
    PrintRow("total", total, repetitions);
    std::printf("\n");
    PrintHeader("size class");
    Tally small;
    for (int c = 0; c < kSizeClasses; ++c) {
        if (classes[c].files != 0) {
            PrintRow(kSizeClassNames[c], classes[c], repetitions);
        }
        if (c < kSmallClasses) {
            Add(small, classes[c]);
        }
    }
    if (small.files != 0) {
        PrintRow("under 4K", small, repetitions);
    }
    std::printf("\n%-30s %8s %8s %9s\n", "fixed cost per entry (ns)", "ours", "zlib-8",
                "libdefl-8");
    std::printf("%-30s %8.0f %8.0f %9.0f\n", "empty input", empty_cost.ours, empty_cost.zlib,
                empty_cost.libdeflate);
    std::printf("%-30s %8.0f %8.0f %9.0f\n", "100-byte input", hundred_cost.ours, hundred_cost.zlib,
                hundred_cost.libdeflate);
    if (failed) {
        std::printf("compressor failures: a check message, a size mismatch or a bad round trip\n");
    }
    std::string small_vs_zlib = "x-";
    if (small.files != 0) {
        char text[32];
        std::snprintf(text, sizeof text, "x%.2f", small.zlib_seconds / small.ours_seconds);
        small_vs_zlib = text;
    }
    std::printf("deflate-small: speed %s (%s), classes %s/%s/%s/%s\n", VsLibdeflate(small).c_str(),
                small_vs_zlib.c_str(), VsLibdeflate(classes[0]).c_str(),
                VsLibdeflate(classes[1]).c_str(), VsLibdeflate(classes[2]).c_str(),
                VsLibdeflate(classes[3]).c_str());
    std::printf("deflate-vs-libdeflate8: speed x%.2f, worst folder x%.2f (%s)\n",
                total.libdeflate_seconds / total.ours_seconds, worst_ratio, worst_group.c_str());
    std::printf("deflate-vs-zlib8: speed x%.2f, size x%.3f\n",
                total.zlib_seconds / total.ours_seconds, total.ours_size / total.zlib_size);
    return failed ? 1 : 0;
}
