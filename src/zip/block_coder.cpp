#include "zip/block_coder.h"

#include "zip/bit_writer.h"
#include "zip/deflate_tables.h"
#include "zip/huffman_tree.h"

#include <algorithm>

using namespace deflate_limits;

namespace {
constexpr int kStoredBlock = 0;
constexpr int kFixedTrees = 1;
constexpr int kDynamicTrees = 2;

void build_fixed_tables(DeflateState& s) {
    int length = 0;
    int code = 0;
    for (code = 0; code < kLengthCodes - 1; ++code) {
        s.base_length[code] = static_cast<std::uint16_t>(length);
        for (int n = 0; n < (1 << kExtraLengthBits[code]); ++n) {
            s.length_code[length++] = static_cast<std::uint8_t>(code);
        }
    }
    deflate_check(s, length == 256, "ct_init: length != 256");
    // Length 258 has its own code (285) although 227..258 would cover it.
    s.length_code[length - 1] = static_cast<std::uint8_t>(code);
    s.base_length[code] = kMaxMatch - kMinMatch;

    int dist = 0;
    for (code = 0; code < 16; ++code) {
        s.base_dist[code] = static_cast<std::uint16_t>(dist);
        for (int n = 0; n < (1 << kExtraDistBits[code]); ++n) {
            s.dist_code[dist++] = static_cast<std::uint8_t>(code);
        }
    }
    deflate_check(s, dist == 256, "ct_init: dist != 256");
    dist >>= 7;
    for (; code < kDCodes; ++code) {
        s.base_dist[code] = static_cast<std::uint16_t>(dist << 7);
        for (int n = 0; n < (1 << (kExtraDistBits[code] - 7)); ++n) {
            s.dist_code[256 + dist++] = static_cast<std::uint8_t>(code);
        }
    }
    deflate_check(s, dist == 256, "ct_init: 256+dist != 512");

    for (auto& count : s.bl_count) {
        count = 0;
    }
    int n = 0;
    for (; n <= 143; ++n) {
        s.static_ltree[n].dl = 8;
    }
    for (; n <= 255; ++n) {
        s.static_ltree[n].dl = 9;
    }
    for (; n <= 279; ++n) {
        s.static_ltree[n].dl = 7;
    }
    for (; n <= 287; ++n) {
        s.static_ltree[n].dl = 8;
    }
    s.bl_count[7] = 24;
    s.bl_count[8] = 144 + 8;
    s.bl_count[9] = 112;
    gen_codes(s, s.static_ltree, kLCodes + 1);
    for (n = 0; n < kDCodes; ++n) {
        s.static_dtree[n].dl = 5;
        s.static_dtree[n].fc = static_cast<std::uint16_t>(ct_bit_reverse(n, 5));
    }
}

void add_compressed_bits(DeflateState& s, std::uint32_t bits) {
    const std::uint32_t total = s.compressed_bits + bits;
    s.compressed_bytes += total >> 3;
    s.compressed_bits = total & 7;
}

// One pass over the code lengths of a tree: calls whole(first, end, length)
// for every run of equal lengths, symbols first..end - 1, and then
// piece(length, count, previous length, min_count) for every piece of it that
// goes out as one: a run is cut into pieces of at most 138 (zeros), or of at
// most 7 and then 6 (others), and a piece shorter than min_count goes out
// length by length.
template <typename Whole, typename Piece>
void walk_runs(const CtNode* tree, int max_code, Whole whole, Piece piece) {
    int prevlen = -1;
    int n = 0;
    while (n <= max_code) {
        const int curlen = tree[n].dl;
        int end = n + 1;
        while (end <= max_code && tree[end].dl == curlen) {
            ++end;
        }
        whole(n, end, curlen);
        int left = end - n;
        n = end;
        int max_count = curlen == 0 ? 138 : 7;
        const int min_count = curlen == 0 ? 3 : 4;
        int count = left < max_count ? left : max_count;
        piece(curlen, count, prevlen, min_count);
        prevlen = curlen;
        left -= count;
        max_count = curlen == 0 ? 138 : 6;
        while (left != 0) {
            count = left < max_count ? left : max_count;
            piece(curlen, count, curlen, 3);
            left -= count;
        }
    }
}
} // namespace

void ct_reset_block(DeflateState& s) {
    // The lengths go too: every build writes them before they are read.
    std::fill(s.dyn_ltree, s.dyn_ltree + kLCodes, CtNode{});
    std::fill(s.dyn_dtree, s.dyn_dtree + kDCodes, CtNode{});
    std::fill(s.bl_tree, s.bl_tree + kBlCodes, CtNode{});
    s.dyn_ltree[kEndBlock].fc = 1;
    s.opt_len = 0;
    s.static_len = 0;
    s.symbols = SymbolCounts{};
}

void ct_init(DeflateState& s) {
    s.compressed_bytes = 0;
    s.compressed_bits = 0;
    s.l_desc = CtTreeDesc{
        s.dyn_ltree, s.static_ltree, kExtraLengthBits, kLiterals + 1, kLCodes, kMaxBits, -1};
    s.d_desc = CtTreeDesc{s.dyn_dtree, s.static_dtree, kExtraDistBits, 0, kDCodes, kMaxBits, -1};
    s.bl_desc = CtTreeDesc{s.bl_tree, nullptr, kExtraBlBits, 0, kBlCodes, kMaxBlBits, -1};
    if (s.static_dtree[0].dl == 0) {
        build_fixed_tables(s);
    }
    ct_reset_block(s);
}

bool ct_tally_slow(DeflateState& s) {
    std::uint32_t out_length = s.symbols.last_lit * 8;
    const std::uint32_t in_length = static_cast<std::uint32_t>(s.strstart - s.block_start);
    for (int dcode = 0; dcode < kDCodes; ++dcode) {
        out_length += s.dyn_dtree[dcode].fc * (5u + kExtraDistBits[dcode]);
    }
    out_length >>= 3;
    if (s.symbols.last_dist < s.symbols.last_lit / 2 && out_length < in_length / 2) {
        return true;
    }
    return s.symbols.last_lit == kLitBufSize - 1 || s.symbols.last_dist == kDistBufSize;
}

void ct_count_runs(DeflateState& s, CtTreeDesc& desc) {
    CtNode* const tree = desc.dyn_tree;
    // A run's symbols take consecutive codes of their length.
    const auto give_codes = [tree, &desc](int first, int end, int length) {
        if (length == 0) {
            return;
        }
        std::uint32_t code = desc.next_code[length];
        for (int n = first; n < end; ++n) {
            tree[n].fc = static_cast<std::uint16_t>(ct_bit_reverse(code++, length));
        }
        desc.next_code[length] = code;
    };
    const auto add = [&s](int code, int extra) {
        ++s.bl_tree[code].fc;
        s.header_codes[s.header_code_count] = static_cast<std::uint8_t>(code);
        s.header_extras[s.header_code_count] = static_cast<std::uint8_t>(extra);
        ++s.header_code_count;
    };
    walk_runs(tree, desc.max_code, give_codes,
              [&add](int curlen, int count, int prevlen, int min_count) {
                  if (count < min_count) {
                      do {
                          add(curlen, 0);
                      } while (--count != 0);
                  } else if (curlen != 0) {
                      if (curlen != prevlen) {
                          add(curlen, 0);
                          --count;
                      }
                      add(kRep3To6, count - 3);
                  } else if (count <= 10) {
                      add(kRepZ3To10, count - 3);
                  } else {
                      add(kRepZ11To138, count - 11);
                  }
              });
}

void ct_emit_runs(DeflateState& s) {
    BitGatherer out(s);
    for (std::uint32_t n = 0; n < s.header_code_count; ++n) {
        const int code = s.header_codes[n];
        const std::uint32_t extra = s.header_extras[n];
        deflate_check(s, code != kRep3To6 || extra <= 3, " 3_6?");
        // A code and its extra bits in one piece (at most 14 bits).
        const CtNode sent = s.bl_tree[code];
        out.check(sent.dl);
        out.send(sent.fc | extra << sent.dl,
                 sent.dl + static_cast<std::uint32_t>(kExtraBlBits[code]));
    }
    out.store();
}

int ct_build_lengths_tree(DeflateState& s) {
    s.header_code_count = 0;
    ct_count_runs(s, s.l_desc);
    ct_count_runs(s, s.d_desc);
    ct_build_lengths(s, s.bl_desc);
    int max_blindex = kBlCodes - 1;
    for (; max_blindex >= 3; --max_blindex) {
        if (s.bl_tree[kBlOrder[max_blindex]].dl != 0) {
            break;
        }
    }
    s.opt_len += 3 * (static_cast<std::uint32_t>(max_blindex) + 1) + 5 + 5 + 4;
    return max_blindex;
}

void ct_emit_header(DeflateState& s, int lcodes, int dcodes, int blcodes) {
    deflate_check(s, lcodes >= 257 && dcodes >= 1 && blcodes >= 4, "not enough codes");
    deflate_check(s, lcodes <= kLCodes && dcodes <= kDCodes && blcodes <= kBlCodes,
                  "too many codes");
    ct_put_bits(s, static_cast<std::uint32_t>(lcodes - 257), 5);
    ct_put_bits(s, static_cast<std::uint32_t>(dcodes - 1), 5);
    ct_put_bits(s, static_cast<std::uint32_t>(blcodes - 4), 4);
    for (int rank = 0; rank < blcodes; ++rank) {
        ct_put_bits(s, s.bl_tree[kBlOrder[rank]].dl, 3);
    }
    ct_emit_runs(s);
}

void ct_emit_symbols(DeflateState& s, const CtNode* ltree, const CtNode* dtree) {
    BitGatherer out(s);
    std::uint32_t dx = 0;
    std::uint32_t fx = 0;
    std::uint32_t flag = 0;
    const std::uint32_t last_lit = s.symbols.last_lit;
    for (std::uint32_t lx = 0; lx < last_lit; ++lx) {
        if ((lx & 7) == 0) {
            flag = s.flag_buf[fx++];
            // Eight literals in a row go out two codes at a time (at most 30
            // bits), with one test for a full word per pair.
            while (flag == 0 && lx + 8 <= last_lit) {
                for (int pair = 0; pair < 4; ++pair, lx += 2) {
                    const CtNode first = ltree[s.l_buf[lx]];
                    const CtNode second = ltree[s.l_buf[lx + 1]];
                    out.check(first.dl);
                    out.check(second.dl);
                    out.send(first.fc | static_cast<std::uint32_t>(second.fc) << first.dl,
                             static_cast<std::uint32_t>(first.dl) + second.dl);
                }
                if (lx == last_lit) {
                    break;
                }
                flag = s.flag_buf[fx++];
            }
            if (lx == last_lit) {
                break;
            }
        }
        const std::uint32_t lc = s.l_buf[lx];
        if ((flag & 1) == 0) {
            out.put(ltree[lc].fc, ltree[lc].dl);
        } else {
            // Each code goes out with its extra bits (none adds nothing):
            // at most 20 and 28 bits.
            std::uint32_t code = s.length_code[lc];
            const CtNode length = ltree[code + kLiterals + 1];
            out.check(length.dl);
            out.send(length.fc | (lc - s.base_length[code]) << length.dl,
                     length.dl + static_cast<std::uint32_t>(kExtraLengthBits[code]));
            const std::uint32_t dist = s.d_buf[dx++];
            code = ct_dist_code(s, dist);
            deflate_check(s, code < kDCodes, "bad d_code");
            const CtNode distance = dtree[code];
            out.check(distance.dl);
            out.send(distance.fc | (dist - s.base_dist[code]) << distance.dl,
                     distance.dl + static_cast<std::uint32_t>(kExtraDistBits[code]));
        }
        flag >>= 1;
    }
    out.put(ltree[kEndBlock].fc, ltree[kEndBlock].dl);
    out.store();
}

std::uint32_t ct_end_block(DeflateState& s, const std::uint8_t* data, std::uint32_t stored_length,
                           bool final) {
    const std::uint32_t eof = final ? 1 : 0;
    s.flag_buf[s.symbols.last_flags] = static_cast<std::uint8_t>(s.symbols.flags);

    // The literal and distance codes are given as their runs are counted;
    // the code-length tree's only to a block sent with it.
    ct_build_lengths(s, s.l_desc);
    ct_build_lengths(s, s.d_desc);
    const int max_blindex = ct_build_lengths_tree(s);

    std::uint32_t opt_lenb = (s.opt_len + 3 + 7) >> 3;
    const std::uint32_t static_lenb = (s.static_len + 3 + 7) >> 3;
    if (static_lenb <= opt_lenb) {
        opt_lenb = static_lenb;
    }

    if (stored_length + 4 <= opt_lenb && data != nullptr) {
        ct_put_bits(s, (kStoredBlock << 1) + eof, 3);
        s.compressed_bytes += ((s.compressed_bits + 3 + 7) >> 3) + stored_length + 4;
        s.compressed_bits = 0;
        ct_stored_block(s, data, stored_length, true);
    } else if (static_lenb == opt_lenb) {
        ct_put_bits(s, (kFixedTrees << 1) + eof, 3);
        ct_emit_symbols(s, s.static_ltree, s.static_dtree);
        add_compressed_bits(s, s.static_len + 3);
    } else {
        ct_assign_codes(s.bl_desc);
        ct_put_bits(s, (kDynamicTrees << 1) + eof, 3);
        ct_emit_header(s, s.l_desc.max_code + 1, s.d_desc.max_code + 1, max_blindex + 1);
        ct_emit_symbols(s, s.dyn_ltree, s.dyn_dtree);
        add_compressed_bits(s, s.opt_len + 3);
    }
    deflate_check(s, s.compressed_bytes * 8 + s.compressed_bits == ct_bits_sent(s),
                  "bad compressed size");
    // After the final block the entry's next start (ct_init) resets it.
    if (final) {
        ct_align(s);
        s.compressed_bits += 7;
    } else {
        ct_reset_block(s);
    }
    return s.compressed_bytes + (s.compressed_bits >> 3);
}
