// Our compressor alone at level 8, in memory, for builds without zlib (the
// Windows cross build, run under Wine): MB/s per top-level folder, per size
// class and in total. Each file is timed alone, less the clock's own cost.
//   deflate_speed DIR [REPETITIONS]
#include "bench_corpus.h"
#include "zip/deflate.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {
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

std::uint32_t CountOutput(void* context, const std::uint8_t*, std::uint32_t length) {
    *static_cast<std::size_t*>(context) += length;
    return length;
}

// What two readings of the clock add to the time between them, in seconds
// (the median of many empty intervals). Each file is timed alone, and a
// reading costs about 20 ns natively but 90 under Wine: uncorrected, the
// clock would weigh on the Windows build's smallest files alone.
double ClockOverhead() {
    std::vector<double> empty(1001);
    for (double& taken : empty) {
        const auto start = std::chrono::steady_clock::now();
        taken = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::nth_element(empty.begin(), empty.begin() + 500, empty.end());
    return empty[500];
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: deflate_speed DIR [REPETITIONS]\n");
        return 2;
    }
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::vector<BenchFile> files = LoadCorpus(argv[1]);
    if (files.empty() || repetitions < 1) {
        std::fprintf(stderr, "no files under %s\n", argv[1]);
        return 2;
    }
    const double clock_overhead = ClockOverhead();
    std::map<std::string, double> seconds;
    std::map<std::string, double> input;
    std::map<std::string, double> output;
    double class_seconds[kSizeClasses] = {};
    double class_input[kSizeClasses] = {};
    bool failed = false;
    for (int rep = 0; rep < repetitions; ++rep) {
        for (const auto& file : files) {
            std::uint8_t buffer[16384];
            std::size_t written = 0;
            Input in{&file.data, 0};
            DeflateSink sink;
            sink.buffer = buffer;
            sink.capacity = sizeof buffer;
            sink.write = CountOutput;
            sink.context = &written;
            std::uint16_t flags = 0;
            const auto start = std::chrono::steady_clock::now();
            const DeflateResult result = DeflateEntry(ReadInput, &in, sink, 8, flags);
            DeflateSinkFlush(sink);
            const double taken = std::max(
                0.0,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() -
                    clock_overhead);
            seconds[file.group] += taken;
            class_seconds[SizeClass(file.data.size())] += taken;
            if (rep == 0) {
                class_input[SizeClass(file.data.size())] += static_cast<double>(file.data.size());
            }
            failed = failed || result.check_message != nullptr || written != result.compressed_size;
            if (rep == 0) {
                input[file.group] += static_cast<double>(file.data.size());
                output[file.group] += static_cast<double>(written);
            }
        }
    }
    double total_in = 0;
    double total_out = 0;
    double total_seconds = 0;
    std::printf("%-14s %10s %10s %9s\n", "folder", "input", "ours", "ours MB/s");
    for (const auto& group : CorpusGroups(files)) {
        std::printf("%-14s %10.0f %10.0f %9.2f\n", group.c_str(), input[group], output[group],
                    input[group] * repetitions / 1e6 / seconds[group]);
        total_in += input[group];
        total_out += output[group];
        total_seconds += seconds[group];
    }
    std::printf("%-14s %10.0f %10.0f %9.2f\n", "total", total_in, total_out,
                total_in * repetitions / 1e6 / total_seconds);
    std::printf("\n%-14s %10s %10s %9s\n", "size class", "input", "", "ours MB/s");
    double small_in = 0;
    double small_seconds = 0;
    for (int c = 0; c < kSizeClasses; ++c) {
        if (class_input[c] != 0) {
            std::printf("%-14s %10.0f %10s %9.2f\n", kSizeClassNames[c], class_input[c], "",
                        class_input[c] * repetitions / 1e6 / class_seconds[c]);
        }
        if (c < kSmallClasses) {
            small_in += class_input[c];
            small_seconds += class_seconds[c];
        }
    }
    if (small_in != 0) {
        std::printf("%-14s %10.0f %10s %9.2f\n", "under 4K", small_in, "",
                    small_in * repetitions / 1e6 / small_seconds);
    }
    if (failed) {
        std::printf("compressor failures: a check message or a size mismatch\n");
    }
    return failed ? 1 : 0;
}
