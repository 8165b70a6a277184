// One 64-bit digest of our compressor's output over a corpus and a set of
// made-up edge inputs, at several levels and read patterns: a speed change
// must leave it as it was.
//   deflate_digest DIR
// Prints a digest per part (whole reads at level 8; every 7th file at levels
// 1..8 read 1,000 bytes at a time; every 31st file read in pieces of 1 to 7
// bytes; the edge inputs at every level) and the compressed bytes of the
// first part.
#include "bench_corpus.h"
#include "zip/deflate.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
struct Input {
    const std::vector<std::uint8_t>* data;
    std::size_t pos;
    std::uint32_t piece; // largest read, 0: as much as asked for
    std::uint32_t turn;  // varies the piece size when piece is small
};

std::uint32_t ReadInput(void* context, std::uint8_t* buffer, std::uint32_t size) {
    auto* in = static_cast<Input*>(context);
    std::uint32_t want = size;
    if (in->piece != 0) {
        const std::uint32_t piece = in->piece < 8 ? 1 + in->turn++ % in->piece : in->piece;
        want = piece < size ? piece : size;
    }
    const std::size_t left = in->data->size() - in->pos;
    const std::uint32_t count = static_cast<std::uint32_t>(left < want ? left : want);
    std::memcpy(buffer, in->data->data() + in->pos, count);
    in->pos += count;
    return count;
}

struct Digest {
    std::uint64_t value = 0xCBF29CE484222325ull;
    std::uint64_t bytes = 0;
    void Add(const std::uint8_t* data, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            value = (value ^ data[i]) * 0x100000001B3ull;
        }
        bytes += length;
    }
};

std::uint32_t WriteOutput(void* context, const std::uint8_t* data, std::uint32_t length) {
    static_cast<Digest*>(context)->Add(data, length);
    return length;
}

// Compresses data into the digest, with the result's size, flags and check.
bool Compress(const std::vector<std::uint8_t>& data, int level, std::uint32_t piece,
              Digest& digest) {
    std::uint8_t buffer[4096];
    Input in{&data, 0, piece, 0};
    DeflateSink sink;
    sink.buffer = buffer;
    sink.capacity = sizeof buffer;
    sink.write = WriteOutput;
    sink.context = &digest;
    std::uint16_t flags = 0;
    const std::uint64_t before = digest.bytes;
    const DeflateResult result = DeflateEntry(ReadInput, &in, sink, level, flags);
    DeflateSinkFlush(sink);
    const std::uint8_t tail[6] = {static_cast<std::uint8_t>(result.compressed_size),
                                  static_cast<std::uint8_t>(result.compressed_size >> 8),
                                  static_cast<std::uint8_t>(result.compressed_size >> 16),
                                  static_cast<std::uint8_t>(result.compressed_size >> 24),
                                  static_cast<std::uint8_t>(flags),
                                  static_cast<std::uint8_t>(result.check_message != nullptr)};
    const bool ok =
        result.check_message == nullptr && digest.bytes - before == result.compressed_size;
    digest.Add(tail, sizeof tail);
    digest.bytes -= sizeof tail;
    return ok;
}

// Runs, periods and noise of sizes around the window's boundaries.
std::vector<std::vector<std::uint8_t>> EdgeInputs() {
    std::vector<std::vector<std::uint8_t>> inputs;
    const std::size_t sizes[] = {0,     1,     2,     3,     258,   262,   4096,  32506,
                                 32768, 65273, 65274, 65536, 65537, 98042, 131072};
    std::uint32_t seed = 12345;
    for (const std::size_t size : sizes) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<std::uint8_t> data(size);
            for (std::size_t i = 0; i < size; ++i) {
                seed = seed * 1103515245u + 12345u;
                switch (kind) {
                case 0:
                    data[i] = 'a';
                    break;
                case 1:
                    data[i] = static_cast<std::uint8_t>("abcabd"[i % 6]);
                    break;
                case 2:
                    data[i] = static_cast<std::uint8_t>(seed >> 24);
                    break;
                default:
                    data[i] = static_cast<std::uint8_t>("ab"[(seed >> 20) & 1]);
                    break;
                }
            }
            inputs.push_back(std::move(data));
        }
    }
    return inputs;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: deflate_digest DIR\n");
        return 2;
    }
    const std::vector<BenchFile> files = LoadCorpus(argv[1]);
    bool ok = true;
    Digest whole;
    Digest levels;
    Digest pieces;
    Digest edges;
    for (std::size_t i = 0; i < files.size(); ++i) {
        ok = Compress(files[i].data, 8, 0, whole) && ok;
        if (i % 7 == 0) {
            for (int level = 1; level <= 8; ++level) {
                ok = Compress(files[i].data, level, 1000, levels) && ok;
            }
        }
        if (i % 31 == 0) {
            ok = Compress(files[i].data, 8, 7, pieces) && ok;
        }
    }
    for (const auto& input : EdgeInputs()) {
        for (int level = 1; level <= 8; ++level) {
            ok = Compress(input, level, 0, edges) && ok;
            ok = Compress(input, level, 3, edges) && ok;
        }
    }
    std::printf("files %zu, level-8 bytes %llu\n", files.size(),
                static_cast<unsigned long long>(whole.bytes));
    std::printf("whole %016llx levels %016llx pieces %016llx edges %016llx\n",
                static_cast<unsigned long long>(whole.value),
                static_cast<unsigned long long>(levels.value),
                static_cast<unsigned long long>(pieces.value),
                static_cast<unsigned long long>(edges.value));
    if (!ok) {
        std::printf("compressor failures: a check message or a size mismatch\n");
    }
    return ok ? 0 : 1;
}
