#include "zip/huffman_tree.h"

using namespace deflate_limits;

namespace {
inline bool smaller(const DeflateState& s, const CtNode* tree, int n, int m) {
    return tree[n].fc < tree[m].fc || (tree[n].fc == tree[m].fc && s.depth[n] <= s.depth[m]);
}
} // namespace

std::uint32_t ct_bit_reverse(std::uint32_t code, int length) {
    // Reverse all 16 bits by swapping halves of ever smaller groups, then
    // drop the bits below the code.
    std::uint32_t v = code & 0xFFFF;
    v = ((v >> 1) & 0x5555) | ((v & 0x5555) << 1);
    v = ((v >> 2) & 0x3333) | ((v & 0x3333) << 2);
    v = ((v >> 4) & 0x0F0F) | ((v & 0x0F0F) << 4);
    v = ((v >> 8) & 0x00FF) | ((v & 0x00FF) << 8);
    return v >> (16 - length);
}

void ct_sift_down(DeflateState& s, const CtNode* tree, int k) {
    const int v = s.heap[k];
    int j = k << 1;
    while (j <= s.heap_len) {
        if (j < s.heap_len && smaller(s, tree, s.heap[j + 1], s.heap[j])) {
            ++j;
        }
        if (smaller(s, tree, v, s.heap[j])) {
            break;
        }
        s.heap[k] = s.heap[j];
        k = j;
        j <<= 1;
    }
    s.heap[k] = v;
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
    for (; h < kHeapSize; ++h) {
        const int n = s.heap[h];
        int bits = tree[tree[n].dl].dl + 1;
        if (bits > max_length) {
            bits = max_length;
            ++overflow;
        }
        tree[n].dl = static_cast<std::uint16_t>(bits);
        if (n > max_code) {
            continue;
        }
        ++s.bl_count[bits];
        const std::uint32_t xbits = n >= desc.extra_base ? desc.extra_bits[n - desc.extra_base] : 0;
        const std::uint32_t f = tree[n].fc;
        s.opt_len += f * (bits + xbits);
        if (stree != nullptr) {
            s.static_len += f * (stree[n].dl + xbits);
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
    std::uint32_t code = 0;
    for (int bits = 1; bits <= kMaxBits; ++bits) {
        code = (code + s.bl_count[bits - 1]) << 1;
        next_code[bits] = code;
    }
    deflate_check(s, code + s.bl_count[kMaxBits] - 1 == (1u << kMaxBits) - 1,
                  "inconsistent bit counts");
    for (int n = 0; n <= max_code; ++n) {
        const int len = tree[n].dl;
        if (len == 0) {
            continue;
        }
        tree[n].fc = static_cast<std::uint16_t>(ct_bit_reverse(next_code[len]++, len));
    }
}

void ct_build(DeflateState& s, CtTreeDesc& desc) {
    CtNode* tree = desc.dyn_tree;
    const CtNode* stree = desc.static_tree;
    const int elems = desc.elems;
    int max_code = -1;

    s.heap_len = 0;
    s.heap_max = kHeapSize;
    for (int n = 0; n < elems; ++n) {
        if (tree[n].fc != 0) {
            s.heap[++s.heap_len] = max_code = n;
            s.depth[n] = 0;
        } else {
            tree[n].dl = 0;
        }
    }
    // A code needs two symbols even when fewer are used.
    while (s.heap_len < 2) {
        const int node = s.heap[++s.heap_len] = (max_code < 2 ? ++max_code : 0);
        tree[node].fc = 1;
        s.depth[node] = 0;
        --s.opt_len;
        if (stree != nullptr) {
            s.static_len -= stree[node].dl;
        }
    }
    desc.max_code = max_code;
    for (int n = s.heap_len / 2; n >= 1; --n) {
        ct_sift_down(s, tree, n);
    }
    int node = elems;
    do {
        const int n = s.heap[1];
        s.heap[1] = s.heap[s.heap_len--];
        ct_sift_down(s, tree, 1);
        const int m = s.heap[1];
        s.heap[--s.heap_max] = n;
        s.heap[--s.heap_max] = m;
        tree[node].fc = static_cast<std::uint16_t>(tree[n].fc + tree[m].fc);
        s.depth[node] =
            static_cast<std::uint8_t>((s.depth[n] >= s.depth[m] ? s.depth[n] : s.depth[m]) + 1);
        tree[n].dl = tree[m].dl = static_cast<std::uint16_t>(node);
        s.heap[1] = node++;
        ct_sift_down(s, tree, 1);
    } while (s.heap_len >= 2);
    s.heap[--s.heap_max] = s.heap[1];

    ct_limit_lengths(s, desc);
    gen_codes(s, tree, max_code);
}
