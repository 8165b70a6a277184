#include "zip/match_finder.h"

#include "zip/block_coder.h"
#include "zip/deflate_tables.h"

#include <cstring>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

using namespace deflate_limits;

namespace {
inline std::uint16_t load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Little-endian load: the first byte of p is the least significant, so the
// lowest set bit of a difference marks the first differing byte.
inline std::uint64_t load64le(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(p[0]) | static_cast<std::uint64_t>(p[1]) << 8 |
           static_cast<std::uint64_t>(p[2]) << 16 | static_cast<std::uint64_t>(p[3]) << 24 |
           static_cast<std::uint64_t>(p[4]) << 32 | static_cast<std::uint64_t>(p[5]) << 40 |
           static_cast<std::uint64_t>(p[6]) << 48 | static_cast<std::uint64_t>(p[7]) << 56;
}

// Index of the lowest set bit of a non-zero value.
inline std::uint32_t lowest_bit(std::uint64_t x) {
#if defined(__GNUC__) || defined(__clang__)
    return static_cast<std::uint32_t>(__builtin_ctzll(x));
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_ARM64))
    unsigned long index;
    _BitScanForward64(&index, x);
    return index;
#elif defined(_MSC_VER)
    unsigned long index;
    if (_BitScanForward(&index, static_cast<unsigned long>(x))) {
        return index;
    }
    _BitScanForward(&index, static_cast<unsigned long>(x >> 32));
    return index + 32;
#else
    std::uint32_t index = 0;
    while ((x & 1) == 0) {
        x >>= 1;
        ++index;
    }
    return index;
#endif
}

inline void update_hash(std::uint32_t& h, std::uint8_t c) {
    h = ((h << kHashShift) ^ c) & kHashMask;
}

// Inserts the string at pos into its hash chain and returns the previous head
// of the chain (0 for none).
inline std::uint32_t insert_string(DeflateState& s, std::uint32_t pos) {
    update_hash(s.ins_h, s.window[pos + 2]);
    const std::uint32_t head = s.head[s.ins_h];
    s.links[0][pos] = static_cast<std::uint16_t>(head);
    s.links[1][pos] = s.links[0][head];
    s.links[2][pos] = s.links[1][head];
    s.links[3][pos] = s.links[2][head];
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

// The tables are cleared as input arrives rather than all at once, so that a
// small entry does not pay for the whole window: links of positions from..to
// become 0 (they are written before a search reads them, but a slide moves
// them all).
void clear_links(DeflateState& s, std::uint32_t from, std::uint32_t to) {
    std::memset(s.links[0] + from, 0, (to - from) * sizeof s.links[0][0]);
    std::memset(s.links[1] + from, 0, (to - from) * sizeof s.links[0][0]);
    std::memset(s.links[2] + from, 0, (to - from) * sizeof s.links[0][0]);
    std::memset(s.links[3] + from, 0, (to - from) * sizeof s.links[0][0]);
}

// At the end of the input: zeroes the window bytes that a comparison near the
// end may look at, and the links that a later slide would move.
void clear_past_input(DeflateState& s) {
    const std::uint32_t end = s.strstart + s.lookahead;
    const std::uint32_t tail = end + kMaxMatch + kWindowSlack;
    std::memset(s.window + end, 0, (tail < s.window_size ? tail : s.window_size) - end);
    if (end >= kSlidePoint) {
        clear_links(s, end, s.window_size);
    }
}

std::uint16_t slid(std::uint16_t position) {
    return static_cast<std::uint16_t>(position >= kWindowSize ? position - kWindowSize : 0);
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
    std::memset(s.head, 0, sizeof s.head);
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
    clear_links(s, 0, s.lookahead);
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
            s.match_start -= kWindowSize;
            s.strstart -= kWindowSize;
            s.block_start -= kWindowSize;
            for (auto& head : s.head) {
                head = slid(head);
            }
            for (std::uint32_t n = 0; n < kWindowSize; ++n) {
                s.links[0][n] = slid(s.links[0][n + kWindowSize]);
                s.links[1][n] = slid(s.links[1][n + kWindowSize]);
                s.links[2][n] = slid(s.links[2][n + kWindowSize]);
                s.links[3][n] = slid(s.links[3][n + kWindowSize]);
            }
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
            const std::uint32_t end = s.strstart + s.lookahead;
            s.lookahead += n < more ? n : more;
            clear_links(s, end, s.strstart + s.lookahead);
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

    const std::uint16_t scan_start = load16(scan);
    std::uint16_t scan_end = load16(scan + best_len - 1);
    const std::uint8_t* end_base = window + best_len - 1;

    // Tries one candidate; returns true when the search is to stop (a match
    // of nice length).
    auto visit = [&](std::uint32_t cand) {
        // Reject on the two bytes that would end a better match, then on the
        // first two; an equal hash makes the third byte equal.
        if (load16(end_base + cand) != scan_end || load16(window + cand) != scan_start) {
            return false;
        }
        const std::uint8_t* const match = window + cand;
        std::uint32_t len = kMinMatch;
        for (;;) {
            const std::uint64_t diff = load64le(scan + len) ^ load64le(match + len);
            if (diff != 0) {
                len += lowest_bit(diff) >> 3;
                break;
            }
            len += 8;
            if (len >= kMaxMatch) {
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
            scan_end = load16(scan + best_len - 1);
            end_base = window + best_len - 1;
        }
        return false;
    };

    // Candidates in chain order, four per loaded set of links; the budget and
    // the distance limit apply to each candidate as in a one-step walk.
    // (Two of the tables through locals, two from the state: the register
    // allocation that measured fastest.)
    static_assert(kLinkSteps == 4, "the walk below takes four steps per load");
    const std::uint16_t* const link1 = s.links[0];
    const std::uint16_t* const link2 = s.links[1];
    for (;;) {
        if (visit(candidate)) {
            break;
        }
        const std::uint32_t c1 = link1[candidate];
        const std::uint32_t c2 = link2[candidate];
        const std::uint32_t c3 = s.links[2][candidate];
        const std::uint32_t c4 = s.links[3][candidate];
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
