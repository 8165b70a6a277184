// The block coder: buffers literals and matches, decides when a block ends,
// and writes each block stored, with the fixed codes or with dynamic codes.
#pragma once

#include "zip/deflate_state.h"

/* Prepares the coder for a new entry: compressed length 0, fixed tables built
   (once per state) and the block reset. */
void ct_init(DeflateState& s);

/* Clears the block's frequencies (the end-of-block symbol gets 1), lengths
   and symbol buffers. */
void ct_reset_block(DeflateState& s);

/* Distance code of a distance - 1 (0..32,767). */
inline std::uint32_t ct_dist_code(const DeflateState& s, std::uint32_t dist) {
    // One load from a chosen index: near and far distances come mixed, and
    // a branch between two loads would often guess wrong.
    const std::uint32_t index = dist < 256 ? dist : 256 + (dist >> 7);
    return s.dist_code[index];
}

/* ct_tally's test every 4,096 symbols at levels above 2: true when fewer than
   half the symbols are matches and the estimated output is under half the
   input, or when the symbol buffers are full. */
bool ct_tally_slow(DeflateState& s);

/* Records a literal (distance 0, value = the byte) or a match (distance
   1..32,506, value = length - 3) with the counters c: the state's own, or a
   hot loop's copy of them. Checks the match ("ct_tally: bad match"). Returns
   true when ct_tally_slow's test is due; it reads the state's counters. */
inline bool ct_record(DeflateState& s, SymbolCounts& c, std::uint32_t distance,
                      std::uint32_t value) {
    s.l_buf[c.last_lit++] = static_cast<std::uint8_t>(value);
    if (distance == 0) {
        ++s.dyn_ltree[value & 0xFF].fc;
    } else {
        const std::uint32_t d = distance - 1;
        const std::uint32_t dcode = ct_dist_code(s, d & 0x7FFF);
        deflate_check(
            s, d < deflate_limits::kMaxDist && value <= 255 && dcode < deflate_limits::kDCodes,
            "ct_tally: bad match");
        ++s.dyn_ltree[s.length_code[value & 0xFF] + deflate_limits::kLiterals + 1].fc;
        ++s.dyn_dtree[dcode].fc;
        s.d_buf[c.last_dist++] = static_cast<std::uint16_t>(d);
        c.flags |= c.flag_bit;
    }
    c.flag_bit <<= 1;
    if ((c.last_lit & 7) != 0) {
        return false;
    }
    s.flag_buf[c.last_flags++] = static_cast<std::uint8_t>(c.flags);
    c.flags = 0;
    c.flag_bit = 1;
    return (c.last_lit & 0xFFF) == 0 && s.level > 2;
}

/* Whether the symbol buffers are full. */
inline bool ct_buffers_full(const SymbolCounts& c) {
    return c.last_lit == deflate_limits::kLitBufSize - 1 ||
           c.last_dist == deflate_limits::kDistBufSize;
}

/* Records a symbol (see ct_record). Returns true when the block should end
   now: early (see ct_tally_slow) or when the symbol buffers are full. */
inline bool ct_tally(DeflateState& s, std::uint32_t distance, std::uint32_t value) {
    if (ct_record(s, s.symbols, distance, value)) {
        return ct_tally_slow(s);
    }
    return ct_buffers_full(s.symbols);
}

/* ct_tally with the counters held in locals for a hot loop, so that they
   stay in registers while symbols are stored: store hands them back to the
   state, which must happen before anything else reads or records symbols,
   and load takes them again after. */
class SymbolTally {
public:
    explicit SymbolTally(DeflateState& s) : s_(s), counts_(s.symbols) {}

    bool tally(std::uint32_t distance, std::uint32_t value) {
        if (ct_record(s_, counts_, distance, value)) {
            store();
            const bool early = ct_tally_slow(s_);
            load();
            return early;
        }
        return ct_buffers_full(counts_);
    }

    void store() { s_.symbols = counts_; }
    void load() { counts_ = s_.symbols; }

private:
    DeflateState& s_;
    SymbolCounts counts_;
};

/* Counts (for the code-length tree) the runs of code lengths of desc's
   symbols 0..max_code after ct_build_lengths, appends the codes that send
   them, with their extra bits, to the state's header codes, and gives the
   symbols their codes in the same pass (as ct_assign_codes). */
void ct_count_runs(DeflateState& s, CtTreeDesc& desc);

/* Sends the header codes that ct_count_runs recorded, with the code-length
   codes. Checks each repeat of the previous length is of 3..6 (" 3_6?"). */
void ct_emit_runs(DeflateState& s);

/* Counts the runs of both trees and gives their symbols codes
   (ct_count_runs), builds the code-length tree's lengths (ct_build_lengths)
   and returns the last index in the code-length order
   whose code length is sent (at least 3); adds the header's size to the
   optimal length. */
int ct_build_lengths_tree(DeflateState& s);

/* Sends the dynamic block header for the given code counts, which are those
   whose runs ct_build_lengths_tree counted (max_code + 1 of the literal and
   distance trees). Checks "not enough codes" and "too many codes". */
void ct_emit_header(DeflateState& s, int lcodes, int dcodes, int blcodes);

/* Sends the buffered symbols with ltree and dtree, then the end-of-block
   code. */
void ct_emit_symbols(DeflateState& s, const CtNode* ltree, const CtNode* dtree);

/* Ends the current block: builds the trees, writes the block stored (when
   data is given and storing is not larger), with fixed or with dynamic codes,
   resets the block and, when final, aligns the output. data is the block's
   input when it is still wholly in the window, else null; stored_length is the
   number of input bytes the block covers. Returns the compressed length so far
   in bytes, rounded up. Checks "bad compressed size". */
std::uint32_t ct_end_block(DeflateState& s, const std::uint8_t* data, std::uint32_t stored_length,
                           bool final);
