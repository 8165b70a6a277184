// Tree building, length limiting and code assignment on a real state.
#include "zip/block_coder.h"
#include "zip/huffman_tree.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
std::unique_ptr<DeflateState> FreshState() {
    auto state = std::make_unique<DeflateState>();
    ct_init(*state);
    return state;
}

// Kraft sum of the lengths of symbols 0..max_code, in units of 2^-15.
std::uint32_t KraftSum(const CtNode* tree, int max_code) {
    std::uint32_t sum = 0;
    for (int n = 0; n <= max_code; ++n) {
        if (tree[n].dl != 0) {
            sum += 1u << (15 - tree[n].dl);
        }
    }
    return sum;
}
} // namespace

TEST(HuffmanTree, FixedTablesFollowTheStandard) {
    auto s = FreshState();
    EXPECT_EQ(s->check_message, nullptr);
    EXPECT_EQ(s->length_code[0], 0);
    EXPECT_EQ(s->length_code[254], 27);
    EXPECT_EQ(s->length_code[255], 28); // length 258 has its own code
    EXPECT_EQ(s->dist_code[0], 0);
    EXPECT_EQ(s->dist_code[256 + (32505 >> 7)], 29);
    EXPECT_EQ(s->static_ltree[0].dl, 8);
    EXPECT_EQ(s->static_ltree[0].fc, 0x0C); // 00110000 reversed
    EXPECT_EQ(s->static_ltree[256].dl, 7);
    EXPECT_EQ(s->static_ltree[256].fc, 0);
    EXPECT_EQ(s->static_ltree[144].dl, 9);
    EXPECT_EQ(s->static_dtree[1].fc, 0x10);
}

TEST(HuffmanTree, SingleUsedSymbolStillGetsTwoCodesOfLengthOne) {
    auto s = FreshState();
    s->dyn_dtree[5].fc = 7;
    ct_build(*s, s->d_desc);
    EXPECT_EQ(s->d_desc.max_code, 5);
    EXPECT_EQ(s->dyn_dtree[0].dl, 1);
    EXPECT_EQ(s->dyn_dtree[5].dl, 1);
    for (int n : {1, 2, 3, 4}) {
        EXPECT_EQ(s->dyn_dtree[n].dl, 0) << n;
    }
    EXPECT_EQ(s->check_message, nullptr);
}

TEST(HuffmanTree, DistanceTreeWithoutMatchesGetsSymbolsZeroAndOne) {
    auto s = FreshState();
    ct_build(*s, s->d_desc);
    EXPECT_EQ(s->d_desc.max_code, 1);
    EXPECT_EQ(s->dyn_dtree[0].dl, 1);
    EXPECT_EQ(s->dyn_dtree[1].dl, 1);
    EXPECT_NE(s->dyn_dtree[0].fc, s->dyn_dtree[1].fc);
    // Two forced symbols of one bit each cost nothing in the optimal length.
    EXPECT_EQ(s->opt_len, 0u);
    EXPECT_EQ(s->static_len, 0u);
}

TEST(HuffmanTree, SkewedFrequenciesAreLimitedTo15BitsAndStayComplete) {
    auto s = FreshState();
    // Fibonacci frequencies would give a 25-deep tree.
    std::uint32_t freq[25];
    freq[0] = freq[1] = 1;
    for (int n = 2; n < 25; ++n) {
        freq[n] = freq[n - 1] + freq[n - 2];
    }
    std::uint32_t total = 0;
    for (int n = 0; n < 25; ++n) {
        s->dyn_ltree[n].fc = static_cast<std::uint16_t>(freq[n] > 30000 ? 30000 : freq[n]);
        total += s->dyn_ltree[n].fc;
    }
    s->dyn_ltree[256].fc = 0;
    ct_build(*s, s->l_desc);
    EXPECT_EQ(s->check_message, nullptr); // gen_codes found the code complete
    EXPECT_EQ(s->l_desc.max_code, 24);
    std::uint32_t expected_cost = 0;
    int longest = 0;
    for (int n = 0; n < 25; ++n) {
        const int len = s->dyn_ltree[n].dl;
        EXPECT_GE(len, 1);
        longest = std::max(longest, len);
        expected_cost += (freq[n] > 30000 ? 30000 : freq[n]) * static_cast<std::uint32_t>(len);
    }
    EXPECT_EQ(longest, 15);
    EXPECT_EQ(KraftSum(s->dyn_ltree, 24), 1u << 15);
    EXPECT_EQ(s->opt_len, expected_cost);
    EXPECT_GT(total, 0u);
}

TEST(HuffmanTree, CodeLengthTreeIsLimitedToSevenBits) {
    auto s = FreshState();
    std::uint16_t a = 1;
    std::uint16_t b = 1;
    for (int n = 0; n < 19; ++n) {
        s->bl_tree[n].fc = a;
        const std::uint16_t next = static_cast<std::uint16_t>(a + b);
        a = b;
        b = next;
    }
    ct_build(*s, s->bl_desc);
    EXPECT_EQ(s->check_message, nullptr);
    int longest = 0;
    for (int n = 0; n < 19; ++n) {
        longest = std::max<int>(longest, s->bl_tree[n].dl);
    }
    EXPECT_EQ(longest, 7);
    EXPECT_EQ(KraftSum(s->bl_tree, 18), 1u << 15);
}

TEST(HuffmanTree, EqualFrequenciesGiveEqualLengthsAndCanonicalCodes) {
    auto s = FreshState();
    for (int n = 0; n < 4; ++n) {
        s->dyn_dtree[n].fc = 9;
    }
    ct_build(*s, s->d_desc);
    const std::uint16_t codes[4] = {0, 2, 1, 3}; // 00, 01, 10, 11 bit-reversed
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(s->dyn_dtree[n].dl, 2);
        EXPECT_EQ(s->dyn_dtree[n].fc, codes[n]);
    }
}

TEST(HuffmanTree, IncompleteLengthsFailTheCodeCheck) {
    auto s = FreshState();
    CtNode tree[3];
    tree[0].dl = 1;
    tree[1].dl = 2;
    for (auto& count : s->bl_count) {
        count = 0;
    }
    s->bl_count[1] = 1;
    s->bl_count[2] = 1;
    gen_codes(*s, tree, 1);
    EXPECT_STREQ(s->check_message, "inconsistent bit counts");
}
