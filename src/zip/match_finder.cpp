#include "zip/match_finder.h"

#include "zip/block_coder.h"
#include "zip/deflate_tables.h"

#include "zip/cpu_ops.h"

#include <cstring>

using namespace deflate_limits;

namespace {
inline void update_hash(std::uint32_t& h, std::uint8_t c) {
    h = ((h << kHashShift) ^ c) & kHashMask;
}

// Inserts the string at pos into its hash chain and returns the previous head
// of the chain (0 for none).
inline std::uint32_t insert_string(DeflateState& s, std::uint32_t pos) {
    update_hash(s.ins_h, s.window[pos + 2]);
    const std::uint32_t head = s.head[s.ins_h];
    // A chain ends where it leaves the reach of every later search: past
    // such a head the links stay 0, so the positions in a word always fall.
    const std::uint64_t below = cpu::load64(s.links[head & kLinkMask]) << 16 | head;
    const bool reachable = head != 0 && pos - head <= kMaxDist;
    cpu::store64(s.links[pos & kLinkMask], reachable ? below : head);
    s.head[s.ins_h] = static_cast<std::uint16_t>(pos);
    return head;
}

bool is_end_of_input(std::uint32_t count) {
    return count == 0 || count == 0xFFFFFFFFu;
}

std::uint32_t end_block(DeflateState& s, bool final) {
    const std::uint8_t* data = s.block_start >= 0 ? s.window + s.block_start : nullptr;
    return ct_end_block(s, data, static_cast<std::uint32_t>(s.strstart - s.block_start), final);
}

// At the end of the input: zeroes the window bytes that a comparison near the
// end may look at.
void clear_past_input(DeflateState& s) {
    const std::uint32_t end = s.strstart + s.lookahead;
    const std::uint32_t tail = end + kMaxMatch + kWindowSlack;
    std::memset(s.window + end, 0, (tail < s.window_size ? tail : s.window_size) - end);
}
} // namespace

void lz_start(DeflateState& s, int level, std::uint16_t& flags, DeflateRead read,
              void* read_context) {
    deflate_check(s, level >= 1 && level <= 8, "bad pack level");
    const int row = level < 0 ? 0 : (level > 9 ? 9 : level);
    s.level = row;
    s.read = read;
    s.read_context = read_context;
    s.window_size = 2 * kWindowSize;
    if (!s.heads_clear) {
        std::memset(s.head, 0, sizeof s.head);
    }
    s.heads_clear = false;
    std::memset(s.window + s.window_size, 0, kWindowSlack);

    const LzTuning& tuning = kLzTuning[row];
    s.max_lazy = tuning.lazy_limit;
    s.good_match = tuning.good_length;
    s.nice_match = tuning.nice_length;
    s.max_chain = tuning.chain_limit;
    if (level <= 2) {
        flags = static_cast<std::uint16_t>(flags | 4);
    } else if (level >= 8) {
        flags = static_cast<std::uint16_t>(flags | 2);
    }

    s.strstart = 0;
    s.block_start = 0;
    s.match_start = 0;
    s.eofile = false;
    s.lookahead = 0;
    s.ins_h = 0;
    const std::uint32_t n = read != nullptr ? read(read_context, s.window, s.window_size) : 0;
    if (is_end_of_input(n)) {
        s.eofile = true;
        return;
    }
    s.lookahead = n < s.window_size ? n : s.window_size;
    if (s.lookahead < kMinLookahead) {
        lz_refill(s);
    }
    for (int j = 0; j < kMinMatch - 1; ++j) {
        update_hash(s.ins_h, s.window[j]);
    }
}

void lz_refill(DeflateState& s) {
    do {
        std::uint32_t more = s.window_size - s.lookahead - s.strstart;
        if (s.strstart >= kSlidePoint) {
            std::memcpy(s.window, s.window + kWindowSize, kWindowSize);
            s.window_slid = true;
            s.match_start -= kWindowSize;
            s.strstart -= kWindowSize;
            s.block_start -= kWindowSize;
            cpu::slide16(s.head, kHashSize);
            cpu::slide16(&s.links[0][0], kWindowSize * kLinkSteps);
            more += kWindowSize;
        }
        if (s.eofile) {
            return;
        }
        deflate_check(s, more >= 2, "more < 2");
        const std::uint32_t n = s.read(s.read_context, s.window + s.strstart + s.lookahead, more);
        if (is_end_of_input(n)) {
            s.eofile = true;
            clear_past_input(s);
        } else {
            s.lookahead += n < more ? n : more;
        }
    } while (s.lookahead < kMinLookahead && !s.eofile);
}

std::uint32_t lz_match(DeflateState& s, std::uint32_t candidate) {
    std::uint32_t chain_length = s.max_chain;
    const std::uint32_t strstart = s.strstart;
    const std::uint8_t* const window = s.window;
    const std::uint8_t* const scan = window + strstart;
    std::uint32_t best_len = s.prev_length;
    const std::uint32_t nice_match = s.nice_match;
    const std::uint32_t limit = strstart > kMaxDist ? strstart - kMaxDist : 0;
    std::uint32_t match_start = s.match_start;

    if (s.prev_length >= s.good_match) {
        chain_length >>= 2;
    }
    deflate_check(s, strstart <= s.window_size - kMinLookahead, "insufficient lookahead");
    deflate_check(s, candidate < strstart, "no future");

    const std::uint16_t scan_start = cpu::load16(scan);
    std::uint16_t scan_end = cpu::load16(scan + best_len - 1);
    const std::uint8_t* end_base = window + best_len - 1;

    // The test every better match passes: the two bytes that would end it,
    // and the first two (an equal hash makes the third byte equal).
    // (1 when it passes, so that a group's results combine without branches.)
    auto may_beat = [&](std::uint32_t cand) -> std::uint32_t {
        return static_cast<std::uint32_t>(cpu::load16(end_base + cand) == scan_end) &
               static_cast<std::uint32_t>(cpu::load16(window + cand) == scan_start);
    };

    // Tries one candidate; returns true when the search is to stop (a match
    // of nice length).
    auto visit = [&](std::uint32_t cand) {
        if (may_beat(cand) == 0) {
            return false;
        }
        const std::uint8_t* const match = window + cand;
        std::uint32_t len = kMinMatch;
        for (;;) {
            const std::uint32_t same = cpu::equal_prefix16(scan + len, match + len);
            len += same;
            if (same < 16 || len >= kMaxMatch) {
                break;
            }
        }
        if (len > kMaxMatch) {
            len = kMaxMatch;
        }
        if (len > best_len) {
            match_start = cand;
            best_len = len;
            if (len >= nice_match) {
                return true;
            }
            scan_end = cpu::load16(scan + best_len - 1);
            end_base = window + best_len - 1;
        }
        return false;
    };

    // Candidates in chain order, four per loaded word of links; the budget
    // and the distance limit apply to each candidate as in a one-step walk.
    // Positions fall along a word, so when its last link is in reach and the
    // budget outlasts the group, all four candidates are visited; if none
    // passes the test, the group is skipped at once.
    static_assert(kLinkSteps == 4, "the walk below takes four steps per load");
    for (;;) {
        const std::uint64_t word = cpu::load64(s.links[candidate & kLinkMask]);
        const std::uint32_t c1 = static_cast<std::uint32_t>(word) & 0xFFFF;
        const std::uint32_t c2 = static_cast<std::uint32_t>(word) >> 16;
        const std::uint32_t c3 = static_cast<std::uint32_t>(word >> 32) & 0xFFFF;
        const std::uint32_t c4 = static_cast<std::uint32_t>(word >> 48);
        if (c4 > limit && chain_length > kLinkSteps) {
            if ((may_beat(candidate) | may_beat(c1) | may_beat(c2) | may_beat(c3)) == 0) {
                chain_length -= kLinkSteps;
                candidate = c4;
                continue;
            }
        }
        if (visit(candidate)) {
            break;
        }
        if (c1 <= limit || --chain_length == 0) {
            candidate = c1;
            break;
        }
        if (visit(c1)) {
            candidate = c1;
            break;
        }
        if (c2 <= limit || --chain_length == 0) {
            candidate = c2;
            break;
        }
        if (visit(c2)) {
            candidate = c2;
            break;
        }
        if (c3 <= limit || --chain_length == 0) {
            candidate = c3;
            break;
        }
        if (visit(c3)) {
            candidate = c3;
            break;
        }
        candidate = c4;
        if (candidate <= limit || --chain_length == 0) {
            break;
        }
    }
    deflate_check(s, candidate < strstart, "no future");
    deflate_check(s, strstart + best_len <= s.window_size - 1, "wild scan");
    s.match_start = match_start;
    return best_len;
}

std::uint32_t lz_run(DeflateState& s) {
    if (s.level <= 3) {
        return lz_run_fast(s);
    }
    std::uint32_t hash_head = 0;
    std::uint32_t match_length = kMinMatch - 1;
    bool match_available = false;

    while (s.lookahead != 0) {
        if (s.lookahead >= kMinMatch) {
            hash_head = insert_string(s, s.strstart);
        }
        s.prev_length = match_length;
        const std::uint32_t prev_match = s.match_start;
        match_length = kMinMatch - 1;

        if (hash_head != 0 && s.prev_length < s.max_lazy && s.strstart - hash_head <= kMaxDist) {
            if (s.nice_match > s.lookahead) {
                s.nice_match = s.lookahead;
            }
            match_length = lz_match(s, hash_head);
            if (match_length > s.lookahead) {
                match_length = s.lookahead;
            }
            if (match_length == kMinMatch && s.strstart - s.match_start > kTooFar) {
                match_length = kMinMatch - 1;
            }
        }

        if (s.prev_length >= kMinMatch && match_length <= s.prev_length) {
            const std::uint32_t max_insert = s.strstart + s.lookahead - kMinMatch;
            const bool flush = ct_tally(s, s.strstart - 1 - prev_match, s.prev_length - kMinMatch);
            s.lookahead -= s.prev_length - 1;
            std::uint32_t n = s.prev_length - 2;
            do {
                if (++s.strstart <= max_insert) {
                    hash_head = insert_string(s, s.strstart);
                }
            } while (--n != 0);
            ++s.strstart;
            match_available = false;
            match_length = kMinMatch - 1;
            if (flush) {
                end_block(s, false);
                s.block_start = s.strstart;
            }
        } else if (match_available) {
            if (ct_tally(s, 0, s.window[s.strstart - 1])) {
                end_block(s, false);
                s.block_start = s.strstart;
            }
            ++s.strstart;
            --s.lookahead;
        } else {
            match_available = true;
            ++s.strstart;
            --s.lookahead;
        }
        if (s.lookahead < kMinLookahead) {
            lz_refill(s);
        }
    }
    if (match_available) {
        ct_tally(s, 0, s.window[s.strstart - 1]);
    }
    return end_block(s, true);
}

std::uint32_t lz_run_fast(DeflateState& s) {
    std::uint32_t hash_head = 0;
    std::uint32_t match_length = 0;
    s.prev_length = kMinMatch - 1;

    while (s.lookahead != 0) {
        if (s.lookahead >= kMinMatch) {
            hash_head = insert_string(s, s.strstart);
        }
        if (hash_head != 0 && s.strstart - hash_head <= kMaxDist) {
            if (s.nice_match > s.lookahead) {
                s.nice_match = s.lookahead;
            }
            match_length = lz_match(s, hash_head);
            if (match_length > s.lookahead) {
                match_length = s.lookahead;
            }
        }
        bool flush;
        if (match_length >= kMinMatch) {
            flush = ct_tally(s, s.strstart - s.match_start, match_length - kMinMatch);
            s.lookahead -= match_length;
            if (match_length <= s.max_lazy && s.lookahead >= kMinMatch) {
                --match_length;
                do {
                    ++s.strstart;
                    hash_head = insert_string(s, s.strstart);
                } while (--match_length != 0);
                ++s.strstart;
            } else {
                s.strstart += match_length;
                match_length = 0;
                s.ins_h = s.window[s.strstart];
                update_hash(s.ins_h, s.window[s.strstart + 1]);
            }
        } else {
            flush = ct_tally(s, 0, s.window[s.strstart]);
            --s.lookahead;
            ++s.strstart;
        }
        if (flush) {
            end_block(s, false);
            s.block_start = s.strstart;
        }
        if (s.lookahead < kMinLookahead) {
            lz_refill(s);
        }
    }
    return end_block(s, true);
}

void lz_finish(DeflateState& s) {
    // Hashing a position again costs about what clearing four heads does.
    constexpr std::uint32_t kRehashLimit = kHashSize / 4;
    const std::uint32_t end = s.strstart + s.lookahead;
    if (s.window_slid || end > kRehashLimit) {
        std::memset(s.head, 0, sizeof s.head);
    } else if (end >= kMinMatch) {
        std::uint32_t h = 0;
        update_hash(h, s.window[0]);
        update_hash(h, s.window[1]);
        for (std::uint32_t pos = 0; pos + kMinMatch <= end; ++pos) {
            update_hash(h, s.window[pos + 2]);
            s.head[h] = 0;
        }
    }
    s.heads_clear = true;
}
