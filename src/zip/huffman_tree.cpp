#include "zip/huffman_tree.h"

#include "zip/cpu_ops.h"

#include <algorithm>
#include <array>

using namespace deflate_limits;

namespace {
// A heap entry of the tree being built: frequency (bits 16-31), depth (bits
// 10-15) and node (bits 0-9). Node a is smaller than node b when its
// frequency is lower, or equal with a depth not above b's: one comparison of
// a with b's node bits set. Depths stay far below 64: a node of depth d
// weighs at least the (d + 2)nd Fibonacci number, and no tree weighs 65,536.
constexpr std::uint32_t kNodeMask = 0x3FF;
constexpr std::uint32_t kDepthShift = 10;
constexpr std::uint32_t kFreqShift = 16;
// Past the heap's last entry, so that a last parent's missing right child is
// never the smaller one.
constexpr std::uint32_t kPastHeap = 0xFFFFFFFFu;

// Each byte with its bits in reverse order.
constexpr std::array<std::uint8_t, 256> kReversedBytes = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t r = 0;
        for (int bit = 0; bit < 8; ++bit) {
            r |= ((n >> bit) & 1) << (7 - bit);
        }
        table[n] = static_cast<std::uint8_t>(r);
    }
    return table;
}();

// The first code of each length 1..15 from the codes-per-length counts
// (next_code[0], for no length, starts at 0); false when the lengths do not
// form a complete code.
bool first_codes(const std::uint16_t* bl_count, std::uint32_t* next_code) {
    next_code[0] = 0;
    std::uint32_t code = 0;
    for (int bits = 1; bits <= kMaxBits; ++bits) {
        code = (code + bl_count[bits - 1]) << 1;
        next_code[bits] = code;
    }
    return code + bl_count[kMaxBits] - 1 == (1u << kMaxBits) - 1;
}

// Gives the symbols 0..max_code with a length their next code of that
// length. Unused symbols (length 0) take from next_code[0], which no length
// uses: no branch on the lengths.
void assign_codes(CtNode* tree, int max_code, std::uint32_t* next_code) {
    for (int n = 0; n <= max_code; ++n) {
        const int len = tree[n].dl;
        const std::uint32_t code = next_code[len];
        next_code[len] = code + 1;
        const std::uint32_t reversed = ct_bit_reverse(code, len);
        tree[n].fc = static_cast<std::uint16_t>(len != 0 ? reversed : tree[n].fc);
    }
}

inline bool smaller(std::uint32_t a, std::uint32_t b) {
    return a <= (b | kNodeMask);
}

// Restores the order below position k of the 1-based heap of len entries
// (heap[len + 1] is kPastHeap): of two children the right one is taken when
// it is smaller, and v stops above the first child it is smaller than.
void sift_down(std::uint32_t* heap, int len, int k) {
    const std::uint32_t v = heap[k];
    // smaller(v, x) is v's frequency and depth alone not above x.
    const std::uint32_t v_key = v & ~kNodeMask;
    int j = k << 1;
    while (j <= len) {
        j += static_cast<int>(smaller(heap[j + 1], heap[j]));
        if (v_key <= heap[j]) {
            break;
        }
        heap[k] = heap[j];
        k = j;
        j <<= 1;
    }
    heap[k] = v;
}

// One sift down the heap, taken a level at a time: v is the value sifting,
// k its hole. Entries past the heap's end (up to twice its length and one)
// are kPastHeap, so that a step below v's place moves nothing; heap[0] is
// spare and takes the stores of a settled sift.
struct Sift {
    std::uint32_t v;
    int k;
    bool settled;

    // One level: moves the smaller child up when v is not smaller than it
    // (ties as sift_down), else settles v there, where it stays: later
    // steps store into heap[0], as another sift may pass through k.
    GW_FORCE_INLINE void step(std::uint32_t* heap) {
        const int j = k << 1;
        const std::uint32_t left = heap[j];
        const std::uint32_t right = heap[j + 1];
        const bool take_right = smaller(right, left);
        const std::uint32_t child = take_right ? right : left;
        const bool move = !settled & ((v & ~kNodeMask) > child);
        heap[settled ? 0 : k] = move ? child : v;
        k = move ? j + static_cast<int>(take_right) : k;
        settled = !move;
    }
};
} // namespace

std::uint32_t ct_bit_reverse(std::uint32_t code, int length) {
    const std::uint32_t v = code & 0xFFFF;
    return (static_cast<std::uint32_t>(kReversedBytes[v & 0xFF]) << 8 | kReversedBytes[v >> 8]) >>
           (16 - length);
}

void ct_limit_lengths(DeflateState& s, CtTreeDesc& desc) {
    CtNode* tree = desc.dyn_tree;
    const CtNode* stree = desc.static_tree;
    const int max_code = desc.max_code;
    const int max_length = desc.max_length;
    for (auto& count : s.bl_count) {
        count = 0;
    }
    // The root has length 0; parents precede their children in the sorted area.
    tree[s.heap[s.heap_max]].dl = 0;
    int overflow = 0;
    int h = s.heap_max + 1;
    // Leaves and inner nodes come mixed: a leaf's sums are taken with masks
    // rather than behind a branch that would often guess wrong.
    for (; h < kHeapSize; ++h) {
        const int n = s.heap[h];
        int bits = tree[tree[n].dl].dl + 1;
        const int over = bits > max_length ? 1 : 0;
        bits -= over;
        overflow += over;
        tree[n].dl = static_cast<std::uint16_t>(bits);
        const std::uint32_t leaf = n <= max_code ? 0xFFFFFFFFu : 0;
        const int symbol = static_cast<int>(static_cast<std::uint32_t>(n) & leaf);
        s.bl_count[bits] = static_cast<std::uint16_t>(s.bl_count[bits] + (leaf & 1));
        const int extra = symbol - desc.extra_base;
        const std::uint32_t xbits =
            desc.extra_bits[extra < 0 ? 0 : extra] & (extra < 0 ? 0u : 0xFFu);
        const std::uint32_t f = tree[symbol].fc & leaf;
        s.opt_len += f * (static_cast<std::uint32_t>(bits) + xbits);
        if (stree != nullptr) {
            s.static_len += f * (stree[symbol].dl + xbits);
        }
    }
    if (overflow == 0) {
        return;
    }
    do {
        int bits = max_length - 1;
        while (s.bl_count[bits] == 0) {
            --bits;
        }
        --s.bl_count[bits];
        s.bl_count[bits + 1] += 2;
        --s.bl_count[max_length];
        overflow -= 2;
    } while (overflow > 0);
    for (int bits = max_length; bits != 0; --bits) {
        int n = s.bl_count[bits];
        while (n != 0) {
            const int m = s.heap[--h];
            if (m > max_code) {
                continue;
            }
            if (tree[m].dl != bits) {
                s.opt_len += static_cast<std::uint32_t>((bits - static_cast<int>(tree[m].dl)) *
                                                        static_cast<int>(tree[m].fc));
                tree[m].dl = static_cast<std::uint16_t>(bits);
            }
            --n;
        }
    }
}

void gen_codes(DeflateState& s, CtNode* tree, int max_code) {
    std::uint32_t next_code[kMaxBits + 1];
    deflate_check(s, first_codes(s.bl_count, next_code), "inconsistent bit counts");
    assign_codes(tree, max_code, next_code);
}

void ct_assign_codes(CtTreeDesc& desc) {
    assign_codes(desc.dyn_tree, desc.max_code, desc.next_code);
}

void ct_build_lengths(DeflateState& s, CtTreeDesc& desc) {
    CtNode* tree = desc.dyn_tree;
    const CtNode* stree = desc.static_tree;
    const int elems = desc.elems;
    int max_code = -1;

    std::uint32_t heap[2 * kLCodes + 2];
    int len = 0;
    // Four symbols a test: most of an alphabet is often unused. Every
    // length is cleared; a used symbol's becomes its parent below.
    int n = 0;
    for (; n + 4 <= elems; n += 4) {
        std::uint32_t used = cpu::keep_low16_of4(tree + n);
        while (used != 0) {
            const int symbol = n + static_cast<int>(cpu::ctz32(used));
            used &= used - 1;
            heap[++len] = static_cast<std::uint32_t>(tree[symbol].fc) << kFreqShift |
                          static_cast<std::uint32_t>(symbol);
            max_code = symbol;
        }
    }
    for (; n < elems; ++n) {
        if (tree[n].fc != 0) {
            heap[++len] = static_cast<std::uint32_t>(tree[n].fc) << kFreqShift |
                          static_cast<std::uint32_t>(n);
            max_code = n;
        }
        tree[n].dl = 0;
    }
    // A code needs two symbols even when fewer are used.
    while (len < 2) {
        const int node = max_code < 2 ? ++max_code : 0;
        heap[++len] = 1u << kFreqShift | static_cast<std::uint32_t>(node);
        tree[node].fc = 1;
        --s.opt_len;
        if (stree != nullptr) {
            s.static_len -= stree[node].dl;
        }
    }
    desc.max_code = max_code;
    std::fill(heap + len + 1, heap + 2 * len + 2, kPastHeap);
    for (int n = len / 2; n >= 1; --n) {
        sift_down(heap, len, n);
    }
    // Nodes leave the heap into the sorted area, filled downward, where
    // ct_limit_lengths finds every parent before its children.
    int sorted = kHeapSize;
    std::uint32_t node = static_cast<std::uint32_t>(elems);
    // Pairs the two smallest, n and m, under a new node; returns its entry.
    const auto pair = [&](std::uint32_t n, std::uint32_t m) {
        s.heap[--sorted] = static_cast<int>(n & kNodeMask);
        s.heap[--sorted] = static_cast<int>(m & kNodeMask);
        const std::uint32_t freq = ((n >> kFreqShift) + (m >> kFreqShift)) & 0xFFFF;
        const std::uint32_t depth = std::max(n & ~kNodeMask & 0xFFFF, m & ~kNodeMask & 0xFFFF);
        tree[n & kNodeMask].dl = tree[m & kNodeMask].dl = static_cast<std::uint16_t>(node);
        return freq << kFreqShift | (depth + (1u << kDepthShift)) | node++;
    };
    // Each merge makes two sifts from the root: the last entry's, after the
    // smallest left, and the new node's, after the next smallest left. With
    // registers to spare (64-bit builds) the second follows the first a
    // level behind, where the first has written its final values, so that
    // their chains of loads overlap; 32-bit builds run one after the other.
    constexpr bool kOverlapSifts = sizeof(void*) == 8;
    int levels = 0; // below the root: the heap's depth
    while (kOverlapSifts && (2 << levels) <= len) {
        ++levels;
    }
    do {
        const std::uint32_t n = heap[1];
        const std::uint32_t last_entry = heap[len];
        heap[len--] = kPastHeap;
        if constexpr (kOverlapSifts) {
            if ((1 << levels) > len) {
                --levels;
            }
            Sift last{last_entry, 1, false};
            last.step(heap);
            Sift merged{pair(n, heap[1]), 1, false};
            for (int level = 1; level <= levels; ++level) {
                last.step(heap);
                merged.step(heap);
            }
            merged.step(heap);
        } else {
            heap[1] = last_entry;
            sift_down(heap, len, 1);
            heap[1] = pair(n, heap[1]);
            sift_down(heap, len, 1);
        }
    } while (len >= 2);
    s.heap[--sorted] = static_cast<int>(heap[1] & kNodeMask);
    s.heap_max = sorted;

    ct_limit_lengths(s, desc);
    deflate_check(s, first_codes(s.bl_count, desc.next_code), "inconsistent bit counts");
}

void ct_build(DeflateState& s, CtTreeDesc& desc) {
    ct_build_lengths(s, desc);
    ct_assign_codes(desc);
}
