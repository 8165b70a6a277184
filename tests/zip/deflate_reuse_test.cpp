// A state serves entry after entry: what one entry leaves behind (hash heads,
// chain links, window bytes, counters) must never change the next entry's
// output. Each reference is made on a thread of its own, whose first entry
// gets a state never used before.
#include "deflate_test_support.h"
#include "zip/deflate_state.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

Compressed OnFreshThread(const std::vector<std::pair<Bytes, int>>& entries) {
    Compressed last;
    std::thread worker([&] {
        for (const auto& [input, level] : entries) {
            last = Compress(input, level);
        }
    });
    worker.join();
    return last;
}

// Every entry's output, compressed one after another on a fresh thread.
std::vector<Compressed> AllOnFreshThread(const std::vector<std::pair<Bytes, int>>& entries) {
    std::vector<Compressed> all;
    std::thread worker([&] {
        for (const auto& [input, level] : entries) {
            all.push_back(Compress(input, level));
        }
    });
    worker.join();
    return all;
}

void ExpectSameAfter(const Bytes& before, int before_level, const Bytes& input, int level) {
    const Compressed fresh = OnFreshThread({{input, level}});
    const Compressed reused = OnFreshThread({{before, before_level}, {input, level}});
    EXPECT_EQ(reused.bytes, fresh.bytes);
    EXPECT_EQ(reused.result.compressed_size, fresh.result.compressed_size);
    EXPECT_EQ(reused.flags, fresh.flags);
    EXPECT_EQ(reused.result.check_message, nullptr);
}

} // namespace

TEST(DeflateStateReuse, NextEntryFindsNoCandidateOfThePreviousOne) {
    const Bytes text = WordText(1800, 7);
    const Bytes prefix(text.begin(), text.begin() + 900);
    // Entries of at most 4 KiB keep only the three-byte chain and clear its
    // heads by hashing their positions again.
    ExpectSameAfter(text, 8, text, 8);
    ExpectSameAfter(text, 8, prefix, 8);
    ExpectSameAfter(prefix, 8, text, 8);
    ExpectSameAfter(FromText("ab"), 8, FromText("abcabcabc"), 8);
    ExpectSameAfter(WordText(3000, 7), 8, text, 8);
    // Longer ones keep the keyed chains and clear every table whole, also
    // after a window that slid.
    ExpectSameAfter(WordText(20000, 3), 8, text, 8);
    ExpectSameAfter(RecordBinary(200000, 5), 8, RecordBinary(3000, 5), 8);
    // Another level's tuning and loop, and an empty entry between.
    ExpectSameAfter(text, 1, text, 8);
    ExpectSameAfter(text, 8, text, 2);
    ExpectSameAfter(Bytes(), 8, text, 8);
}

TEST(DeflateStateReuse, EntriesWithAndWithoutKeyedChainsFollowEachOther) {
    // Each size after each, across the size where the keyed chains begin and
    // where the window slides, in the greedy and the lazy loop. The texts
    // share their words, so that any head left set would offer a candidate
    // that matches.
    const std::size_t plain = deflate_limits::kPlainChainsUpTo;
    const std::size_t sizes[] = {3, 700, plain, plain + 1, 20000, 70000};
    const std::pair<int, int> levels[] = {{8, 8}, {1, 8}, {8, 2}};
    for (const std::size_t before : sizes) {
        for (const std::size_t after : sizes) {
            for (const auto& [before_level, level] : levels) {
                SCOPED_TRACE(std::to_string(before) + " bytes at level " +
                             std::to_string(before_level) + ", then " + std::to_string(after) +
                             " at level " + std::to_string(level));
                ExpectSameAfter(WordText(before, 7), before_level, WordText(after, 7), level);
            }
        }
    }
}

TEST(DeflateStateReuse, LongRunsOfShortEntriesNeverSeeEachOther) {
    // Entries without keyed chains start one after another in the window,
    // past the positions that the heads still hold, and the heads are
    // cleared where the positions would pass the link table: a run of them
    // crosses that point many times, with other sizes and levels, and an entry with
    // keyed chains, between.
    const std::size_t plain = deflate_limits::kPlainChainsUpTo;
    const std::size_t sizes[] = {plain, 1, 700, 3, plain - 1, 2500, 0, 2, plain};
    const int levels[] = {8, 1, 8, 2, 6, 8, 3, 8};
    std::vector<std::pair<Bytes, int>> entries;
    for (int n = 0; n < 100; ++n) {
        entries.emplace_back(WordText(n == 45 ? 9000 : sizes[n % 9], 7), levels[n % 8]);
    }
    const std::vector<Compressed> run = AllOnFreshThread(entries);
    for (std::size_t n = 0; n < entries.size(); ++n) {
        const Compressed fresh = OnFreshThread({entries[n]});
        EXPECT_EQ(run[n].bytes, fresh.bytes) << "entry " << n;
        EXPECT_EQ(run[n].result.compressed_size, fresh.result.compressed_size) << "entry " << n;
        EXPECT_EQ(run[n].result.check_message, nullptr) << "entry " << n;
    }
}
