// The compressor's fuzz seeds are where every campaign starts: each must
// still give the compressor what its name says, under the control byte's
// rules as they are now. A seed that quietly shrank (a rule changed under
// it) would leave its road unfuzzed without any run failing.
#include "deflate_fuzz_input.h"
#include "deflate_test_support.h"
#include "deflate_trace.h"
#include "zip/deflate_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {
enum class Kind { kAny, kText, kBinary, kMixed, kRun };

struct Promise {
    const char* name;
    int level;
    std::uint32_t chunk;
    std::size_t min_size;
    std::size_t max_size;
    Kind kind;
};

using deflate_limits::kMaxDist;
using deflate_limits::kSlidePoint;
using deflate_limits::kWindowSize;

// Past this many bytes the window has slid at least twice.
constexpr std::size_t kSlidesTwice = kSlidePoint + kWindowSize + 1;
constexpr std::size_t kLarge = 65535; // the campaigns' longest input, less its control byte
constexpr std::size_t kAnySize = ~std::size_t{0};

const Promise kPromises[] = {
    {"binary", 1, 0, 1, 64, Kind::kBinary},
    {"candidate_at_reach_limit", 8, 65535, kSlidesTwice, kAnySize, Kind::kAny},
    {"large_binary", 4, 100, kLarge, kLarge, Kind::kBinary},
    {"large_mixed", 6, 4096, kLarge, kLarge, Kind::kMixed},
    {"large_text", 8, 0, kLarge, kLarge, Kind::kText},
    {"level1", 1, 100, 1, 64, Kind::kAny},
    {"run", 8, 1, 4 * 258, 65535, Kind::kRun},
    {"short", 4, 65535, 1, 2, Kind::kAny}, // too short for any insertion
    {"text", 8, 0, 64, 4096, Kind::kText},
    {"tiled", 8, 0, kSlidesTwice, kAnySize, Kind::kMixed}, // text, each copy's first byte varied
    {"tiled_binary", 4, 0, kSlidesTwice, kAnySize, Kind::kBinary},
};

bool IsText(std::uint8_t b) {
    return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\n' || b == '\r';
}

bool HasKind(const Bytes& data, Kind kind) {
    const auto text = static_cast<std::size_t>(std::count_if(data.begin(), data.end(), IsText));
    switch (kind) {
    case Kind::kText:
        return text == data.size();
    case Kind::kBinary:
        return text < data.size();
    case Kind::kMixed:
        return text < data.size() && text >= data.size() / 2;
    case Kind::kRun:
        return std::all_of(data.begin(), data.end(), [&](std::uint8_t b) { return b == data[0]; });
    case Kind::kAny:
        break;
    }
    return true;
}

Bytes ReadSeed(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

TEST(DeflateFuzzSeeds, EachSeedGivesWhatItsNameSays) {
    const std::filesystem::path dir = GLEANWELL_DEFLATE_SEEDS;
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        found.insert(entry.path().filename().string());
    }
    std::set<std::string> promised;
    for (const Promise& promise : kPromises) {
        promised.insert(promise.name);
        SCOPED_TRACE(promise.name);
        const Bytes seed = ReadSeed(dir / promise.name);
        ASSERT_FALSE(seed.empty());
        const DeflateFuzzInput input = DecodeDeflateFuzzInput(seed.data(), seed.size());
        EXPECT_EQ(input.level, promise.level);
        EXPECT_EQ(input.chunk, promise.chunk);
        EXPECT_GE(input.data.size(), promise.min_size);
        EXPECT_LE(input.data.size(), promise.max_size);
        EXPECT_TRUE(HasKind(input.data, promise.kind));
    }
    // A seed without a promise here is a seed nobody checks.
    EXPECT_EQ(found, promised);
}

TEST(DeflateFuzzSeeds, ReachLimitSeedMeasuresAFirstCandidateAtTheEdgeOfReach) {
    // Only a first candidate can be measured at exactly the largest distance:
    // every walk stops before positions that far back.
    const Bytes seed =
        ReadSeed(std::filesystem::path(GLEANWELL_DEFLATE_SEEDS) / "candidate_at_reach_limit");
    ASSERT_FALSE(seed.empty());
    const DeflateFuzzInput input = DecodeDeflateFuzzInput(seed.data(), seed.size());
    const Trace trace = TraceDeflate(Compress(input.data, input.level, input.chunk).bytes);
    ASSERT_EQ(trace.error, "");
    std::size_t at_limit = 0;
    for (const auto& block : trace.blocks) {
        for (const auto& symbol : block.symbols) {
            at_limit += symbol.length != 0 && symbol.distance == kMaxDist ? 1 : 0;
        }
    }
    EXPECT_GT(at_limit, 0u);
}
