#include "zip/match_finder.h"

#include "zip/block_coder.h"
#include "zip/deflate_tables.h"

#include "zip/cpu_ops.h"

#include <algorithm>
#include <cstring>

using namespace deflate_limits;

namespace {
inline void update_hash(std::uint32_t& h, std::uint8_t c) {
    h = ((h << kHashShift) ^ c) & kHashMask;
}

// 1 when the keys of chain K at a and b are equal, else 0.
template <int K>
GW_FORCE_INLINE std::uint32_t same_key(const std::uint8_t* a, const std::uint8_t* b) {
    constexpr std::uint32_t kBytes = kKeyBytes[K];
    if constexpr (sizeof(void*) == 8) {
        if constexpr (kBytes <= 8) {
            return static_cast<std::uint32_t>(
                ((cpu::load64(a) ^ cpu::load64(b)) << (64 - 8 * kBytes)) == 0);
        } else {
            return static_cast<std::uint32_t>(
                ((cpu::load64(a) ^ cpu::load64(b)) |
                 (cpu::load64(a + kBytes - 8) ^ cpu::load64(b + kBytes - 8))) == 0);
        }
    } else if constexpr (kBytes == 3) {
        return static_cast<std::uint32_t>(((cpu::load32(a) ^ cpu::load32(b)) << 8) == 0);
    } else {
        std::uint32_t differ = cpu::load32(a) ^ cpu::load32(b);
        for (std::uint32_t i = 4; i < kBytes; i += 4) {
            const std::uint32_t at = i + 4 <= kBytes ? i : kBytes - 4;
            differ |= cpu::load32(a + at) ^ cpu::load32(b + at);
        }
        return static_cast<std::uint32_t>(differ == 0);
    }
}

// Keyed chain K's link and rank of node.
template <int K>
GW_FORCE_INLINE std::uint32_t keyed_next(const DeflateState& s, std::uint32_t node) {
    if constexpr (K < 2) {
        return s.links[node & kLinkMask].keyed_next[K];
    } else {
        return s.long_links[node & kLinkMask].keyed_next[K - 2];
    }
}

inline std::uint32_t rank_of(const DeflateState& s, std::uint32_t node) {
    return s.links[node & kLinkMask].rank;
}

// Files pos under its key on keyed chain K; returns the link to store.
template <int K> GW_FORCE_INLINE std::uint16_t insert_keyed(DeflateState& s, std::uint32_t pos) {
    std::uint16_t& head = s.keyed_head[K][lz_key_hash<K>(s.window + pos)];
    const std::uint16_t next = head;
    head = static_cast<std::uint16_t>(pos);
    return next;
}

// Before the end of the input, a match's positions are inserted with at
// least 262 bytes read from its second position, so a key this long or
// shorter has always been read when its position is inserted.
constexpr std::uint32_t kKeyAlwaysRead = kMinLookahead - (kMaxMatch - 2);

// Files pos on keyed chain K when its key's bytes are all below read_end;
// returns the link to store (0 for a position left for file_pending_keys).
template <int K>
GW_FORCE_INLINE std::uint16_t insert_keyed_read(DeflateState& s, std::uint32_t pos,
                                                std::uint32_t read_end) {
    if constexpr (kKeyBytes[K] <= kKeyAlwaysRead) {
        return insert_keyed<K>(s, pos);
    } else {
        return pos + kKeyBytes[K] <= read_end ? insert_keyed<K>(s, pos) : 0;
    }
}

// Inserts the string at pos into its three-byte chain and, with kKeyed,
// into the keyed chains, and returns the previous head of its three-byte
// chain (0 for none). read_end is the end of the bytes read so far: a keyed
// chain whose key at pos reaches past it waits for file_pending_keys.
template <bool kKeyed>
GW_FORCE_INLINE std::uint32_t insert_string(DeflateState& s, std::uint32_t pos,
                                            std::uint32_t read_end = 0xFFFFFFFFu) {
    update_hash(s.ins_h, s.window[pos + 2]);
    // A head at or below the entry's first position is none: 0, or one that
    // an earlier entry left (see DeflateState::head_floor).
    const std::uint32_t stored = s.head[s.ins_h];
    const std::uint32_t head = stored > s.base ? stored : 0;
    // A chain ends where it leaves the reach of every later search, so the
    // positions along it always fall. A keyed link may point out of reach:
    // the walks stop there, and only the ranks need a reachable predecessor.
    // (Without keyed chains the entry is too short for a head out of reach.)
    const bool reachable = !kKeyed || (head != 0 && pos - head <= kMaxDist);
    // Filled field by field: a record built whole first would make 32-bit
    // builds store its halves and reload them as one, which stalls.
    ChainLinks& record = s.links[pos & kLinkMask];
    record.next = static_cast<std::uint16_t>(reachable ? head : 0);
    if constexpr (kKeyed) {
        const std::uint32_t rank = reachable ? s.links[head & kLinkMask].rank + 1u : 0u;
        record.rank = static_cast<std::uint16_t>(rank);
        record.keyed_next[0] = insert_keyed_read<0>(s, pos, read_end);
        record.keyed_next[1] = insert_keyed_read<1>(s, pos, read_end);
        LongKeyLinks long_record;
        long_record.keyed_next[0] = insert_keyed_read<2>(s, pos, read_end);
        long_record.keyed_next[1] = insert_keyed_read<3>(s, pos, read_end);
        s.long_links[pos & kLinkMask] = long_record;
    }
    s.head[s.ins_h] = static_cast<std::uint16_t>(pos);
    return head;
}

// Files the positions from..to whose keys reached past read_end when they
// were inserted, now that their bytes are there. All three are as they were
// before a slide that refill may have made; fall is the fall of strstart.
void file_pending_keys(DeflateState& s, std::uint32_t from, std::uint32_t to,
                       std::uint32_t read_end, std::uint32_t fall) {
    static_assert(kKeyBytes[1] <= kKeyAlwaysRead, "chains 0 and 1 never wait");
    for (std::uint32_t pos = from; pos <= to; ++pos) {
        const std::uint32_t now = pos - fall;
        if (kKeyBytes[2] > kKeyAlwaysRead && pos + kKeyBytes[2] > read_end) {
            s.long_links[now & kLinkMask].keyed_next[0] = insert_keyed<2>(s, now);
        }
        if (pos + kKeyBytes[3] > read_end) {
            s.long_links[now & kLinkMask].keyed_next[1] = insert_keyed<3>(s, now);
        }
    }
}

void clear_heads(DeflateState& s) {
    std::memset(s.head, 0, sizeof s.head);
    std::memset(s.keyed_head, 0, sizeof s.keyed_head);
}

bool is_end_of_input(std::uint32_t count) {
    return count == 0 || count == 0xFFFFFFFFu;
}

// Whether lz_refill has anything to do: read, or (once the input has ended)
// slide the window.
inline bool needs_refill(const DeflateState& s) {
    return s.lookahead < kMinLookahead && (!s.eofile || s.strstart >= kSlidePoint);
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
    if (!s.heads_known) {
        clear_heads(s);
        s.head_floor = 0;
        s.heads_known = true;
    }
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
    s.base = 0;
    s.eofile = false;
    s.lookahead = 0;
    s.ins_h = 0;
    s.keyed = false;
    const std::uint32_t n = read != nullptr ? read(read_context, s.window, s.window_size) : 0;
    if (is_end_of_input(n)) {
        s.eofile = true;
        return;
    }
    s.lookahead = n < s.window_size ? n : s.window_size;
    // Read on until the window is full or the input has ended, so that an
    // entry that fits is known whole before its first search.
    while (s.lookahead < s.window_size && !s.eofile) {
        const std::uint32_t room = s.window_size - s.lookahead;
        const std::uint32_t more = s.read(s.read_context, s.window + s.lookahead, room);
        if (is_end_of_input(more)) {
            s.eofile = true;
            clear_past_input(s);
        } else {
            s.lookahead += more < room ? more : room;
        }
    }
    s.keyed = !s.eofile || s.lookahead > kPlainChainsUpTo;
    if (s.keyed) {
        // The keyed heads are clear between entries; the three-byte heads
        // may hold positions of short entries.
        if (s.head_floor != 0) {
            std::memset(s.head, 0, sizeof s.head);
            s.head_floor = 0;
        }
    } else {
        // A short entry starts past every position the heads still hold, so
        // that none of them is a candidate and no entry needs to clear them.
        // Past the window's first half the heads are cleared and it starts
        // at 0: its positions stay below kWindowSize, each its own link slot,
        // which spares the walk a mask on every step (see run_lazy_short).
        if (s.head_floor + s.lookahead > kWindowSize) {
            std::memset(s.head, 0, sizeof s.head);
            s.head_floor = 0;
        }
        if (s.head_floor != 0) {
            s.base = s.head_floor;
            std::memmove(s.window + s.base, s.window, s.lookahead);
            s.strstart = s.base;
            s.block_start = s.base;
            s.match_start = s.base;
            clear_past_input(s);
        }
    }
    for (std::uint32_t j = 0; j < kMinMatch - 1; ++j) {
        update_hash(s.ins_h, s.window[s.strstart + j]);
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
            cpu::slide16(s.head, kHashSize);
            cpu::slide16(&s.keyed_head[0][0], kKeyedChains * kKeyHashSize);
            cpu::slide16_links(&s.links[0].next, 4 * kWindowSize, 4);
            cpu::slide16(&s.long_links[0].keyed_next[0], 2 * kWindowSize);
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

namespace {
// One search: the state of lz_match's walks over the chains.
struct Search {
    const std::uint8_t* window;
    const std::uint8_t* scan;
    std::uint32_t limit;
    std::uint32_t nice_match;
    std::uint32_t stop_len; // a walk ends at a match this long (at most nice_match)
    std::uint32_t best_len;
    std::uint32_t match_start;
    std::uint16_t scan_start;
    std::uint16_t scan_end;
    const std::uint8_t* end_base;

    // The test every better match passes: the two bytes that would end it,
    // and the first two (an equal hash makes the third byte equal).
    GW_FORCE_INLINE std::uint32_t may_beat(std::uint32_t cand) const {
        return ends(cand) & static_cast<std::uint32_t>(cpu::load16(window + cand) == scan_start);
    }

    GW_FORCE_INLINE std::uint32_t ends(std::uint32_t cand) const {
        return static_cast<std::uint32_t>(cpu::load16(end_base + cand) == scan_end);
    }

    // may_beat's bytes as one word: the first two, and above them the two
    // that would end a better match; a candidate passes when its word is
    // the scan's (test_word).
    GW_FORCE_INLINE std::uint32_t word_at(std::uint32_t cand) const {
        return cpu::load16(window + cand) | static_cast<std::uint32_t>(cpu::load16(end_base + cand))
                                                << 16;
    }

    GW_FORCE_INLINE std::uint32_t test_word() const {
        return scan_start | static_cast<std::uint32_t>(scan_end) << 16;
    }

    // Measures a candidate that passed the test; returns true when the walk
    // is to stop (a match of stop_len).
    GW_FORCE_INLINE bool measure(std::uint32_t cand) {
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
            if (len >= stop_len) {
                return true;
            }
            scan_end = cpu::load16(scan + best_len - 1);
            end_base = window + best_len - 1;
        }
        return false;
    }

    GW_FORCE_INLINE bool visit(std::uint32_t cand) { return may_beat(cand) != 0 && measure(cand); }

    // The three-byte chain from candidate, which is visited first, with a
    // budget of chain_length candidates.
    void walk_chain(const DeflateState& s, std::uint32_t candidate, std::uint32_t chain_length);

    // Keyed chain K from node, for a search whose best match is at least
    // kKeyBytes[K] - 1 bytes long. visited is the last candidate of the
    // three-byte chain visited so far (0: none), head_rank the rank of that
    // chain's first candidate. Returns false when the search is to be made
    // again along the three-byte chain.
    template <int K>
    bool walk_keyed(const DeflateState& s, std::uint32_t node, std::uint32_t visited,
                    std::uint32_t head_rank, std::uint32_t chain_length);

    // Keyed chain K and those above it, for a search at strstart whose best
    // match is at least kKeyBytes[K] - 1 bytes long; false when the search
    // is to be made again along the three-byte chain.
    template <int K>
    bool climb(const DeflateState& s, std::uint32_t strstart, std::uint32_t visited,
               std::uint32_t head_rank, std::uint32_t chain_length) {
        if (best_len >= nice_match) {
            return true;
        }
        if constexpr (K + 1 < kKeyedChains) {
            if (best_len >= kKeyBytes[K + 1] - 1) {
                return climb<K + 1>(s, strstart, visited, head_rank, chain_length);
            }
            stop_len = std::min(nice_match, kKeyBytes[K + 1] - 1);
        } else {
            stop_len = nice_match;
        }
        if (!walk_keyed<K>(s, keyed_next<K>(s, strstart), visited, head_rank, chain_length)) {
            return false;
        }
        if constexpr (K + 1 < kKeyedChains) {
            if (best_len >= kKeyBytes[K + 1] - 1) {
                return climb<K + 1>(s, strstart, match_start, head_rank, chain_length);
            }
        }
        return true;
    }
};

void Search::walk_chain(const DeflateState& s, std::uint32_t candidate,
                        std::uint32_t chain_length) {
    while (!visit(candidate)) {
        candidate = s.links[candidate & kLinkMask].next;
        if (candidate <= limit || --chain_length == 0) {
            return;
        }
    }
}

// Every candidate that can beat the best match shares the key with the scan,
// so only the keyed chain needs visiting. Its candidates come in the same
// falling order; one whose place on the three-byte chain is past the budget
// ends the search, as the three-byte walk would have ended before it.
// The budget is checked before a candidate is measured and every sixteenth
// candidate that is not: a walk may run a few steps past it, never measure
// there. Positions of other keys that share the hash are passed over; where
// there are too many of them the search is made again (false), which bounds
// the work of any input.
template <int K>
bool Search::walk_keyed(const DeflateState& s, std::uint32_t node, std::uint32_t visited,
                        std::uint32_t head_rank, std::uint32_t chain_length) {
    constexpr std::uint32_t kStrayLimit = 64;
    std::uint32_t strays = 0;
    if (visited != 0) {
        // Only other keys lie above it: a repeat of the key there would have
        // been the earlier walk's first match of kKeyBytes[K] - 1 bytes.
        while (node >= visited) {
            node = keyed_next<K>(s, node);
        }
    }
    std::uint32_t steps = 0;
    while (node > limit) {
        if (same_key<K>(window + node, scan) == 0) {
            if (++strays > kStrayLimit) {
                return false;
            }
        } else if (ends(node) != 0) {
            if (((head_rank - rank_of(s, node)) & 0xFFFF) >= chain_length || measure(node)) {
                return true;
            }
        } else if ((++steps & 15) == 0 &&
                   ((head_rank - rank_of(s, node)) & 0xFFFF) >= chain_length) {
            return true;
        }
        node = keyed_next<K>(s, node);
    }
    return true;
}
} // namespace

namespace {
// lz_match; with kKeyed false (an entry without keyed chains) it is the
// three-byte walk alone, which the loops of such entries inline.
template <bool kKeyed>
GW_FORCE_INLINE std::uint32_t find_match(DeflateState& s, std::uint32_t candidate) {
    std::uint32_t chain_length = s.max_chain;
    const std::uint32_t strstart = s.strstart;
    if (s.prev_length >= s.good_match) {
        chain_length >>= 2;
    }
    deflate_check(s, strstart <= s.window_size - kMinLookahead, "insufficient lookahead");
    deflate_check(s, candidate < strstart, "no future");

    Search search;
    search.window = s.window;
    search.scan = s.window + strstart;
    search.limit = strstart > kMaxDist ? strstart - kMaxDist : 0;
    search.nice_match = s.nice_match;
    search.stop_len = s.nice_match;
    search.best_len = s.prev_length;
    search.match_start = s.match_start;
    search.scan_start = cpu::load16(search.scan);
    search.scan_end = cpu::load16(search.scan + search.best_len - 1);
    search.end_base = s.window + search.best_len - 1;

    // The keyed chains go on from the position searched from when it was
    // inserted just now (not so for the last two positions of the input). A
    // search climbs from chain to chain as its best match grows: keyed chain
    // 0 (three bytes) to its first match, chain 1 up to a match of six, chain
    // 2 up to one of eleven, then chain 3. A first candidate right at the
    // edge of reach is the only one the three-byte walk would visit.
    if (kKeyed && s.lookahead >= kMinMatch && candidate > search.limit &&
        search.best_len >= kKeyBytes[0] - 1) {
        const Search start = search;
        const std::uint32_t head_rank = s.links[candidate & kLinkMask].rank;
        if (!search.climb<0>(s, strstart, 0, head_rank, chain_length)) {
            search = start;
            search.walk_chain(s, candidate, chain_length);
        }
    } else {
        // The walk written out here, so that it is inlined.
        while (!search.visit(candidate)) {
            candidate = s.links[candidate & kLinkMask].next;
            if (candidate <= search.limit || --chain_length == 0) {
                break;
            }
        }
    }
    deflate_check(s, strstart + search.best_len <= s.window_size - 1, "wild scan");
    s.match_start = search.match_start;
    return search.best_len;
}
} // namespace

std::uint32_t lz_match(DeflateState& s, std::uint32_t candidate) {
    return s.keyed ? find_match<true>(s, candidate) : find_match<false>(s, candidate);
}

namespace {
// The lazy loop of an entry that keeps the keyed chains.
std::uint32_t run_lazy(DeflateState& s) {
    std::uint32_t hash_head = 0;
    std::uint32_t match_length = kMinMatch - 1;
    bool match_available = false;
    // Positions inserted with keys to complete after the next read.
    std::uint32_t pending_from = 0;
    std::uint32_t pending_to = 0;
    std::uint32_t pending_end = 0;

    while (s.lookahead != 0) {
        if (s.lookahead >= kMinMatch) {
            hash_head = insert_string<true>(s, s.strstart);
        }
        s.prev_length = match_length;
        const std::uint32_t prev_match = s.match_start;
        match_length = kMinMatch - 1;

        if (hash_head != 0 && s.prev_length < s.max_lazy && s.strstart - hash_head <= kMaxDist) {
            if (s.nice_match > s.lookahead) {
                s.nice_match = s.lookahead;
            }
            match_length = find_match<true>(s, hash_head);
            if (match_length > s.lookahead) {
                match_length = s.lookahead;
            }
            if (match_length == kMinMatch && s.strstart - s.match_start > kTooFar) {
                match_length = kMinMatch - 1;
            }
        }

        if (s.prev_length >= kMinMatch && match_length <= s.prev_length) {
            const std::uint32_t max_insert = s.strstart + s.lookahead - kMinMatch;
            // Only the longest keys of the match's last few positions can
            // reach past the bytes read: the twelve-byte keys of the last six
            // (see kKeyAlwaysRead).
            const std::uint32_t read_end = s.eofile ? 0xFFFFFFFFu : s.strstart + s.lookahead;
            const bool flush = ct_tally(s, s.strstart - 1 - prev_match, s.prev_length - kMinMatch);
            s.lookahead -= s.prev_length - 1;
            std::uint32_t n = s.prev_length - 2;
            const std::uint32_t first = s.strstart + 1;
            do {
                if (++s.strstart <= max_insert) {
                    hash_head = insert_string<true>(s, s.strstart, read_end);
                }
            } while (--n != 0);
            const std::uint32_t last = std::min(s.strstart, max_insert);
            if (read_end != 0xFFFFFFFFu && last + kKeyBytes[kKeyedChains - 1] > read_end) {
                pending_from = std::max(first, read_end - kKeyBytes[kKeyedChains - 1] + 1);
                pending_to = last;
                pending_end = read_end;
            }
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
        if (needs_refill(s)) {
            const std::uint32_t before = s.strstart;
            lz_refill(s);
            if (pending_from != 0) {
                file_pending_keys(s, pending_from, pending_to, pending_end, before - s.strstart);
                pending_from = 0;
            }
        }
    }
    if (match_available) {
        ct_tally(s, 0, s.window[s.strstart - 1]);
    }
    return end_block(s, true);
}

// The lazy loop of an entry without keyed chains: one known whole and at
// most 4 KiB long (see lz_start). Its positions lie between base and
// base + 4 KiB, so every candidate is within reach, no three-byte match is too
// far, the window needs no refill, and the only chain end is 0; they also lie
// below kWindowSize, so a position indexes its links unmasked. Its state
// lives in locals: kept in the state, every symbol stored would make the
// compiler load it again.
std::uint32_t run_lazy_short(DeflateState& s) {
    // The heads and links are addressed from the state, not from pointers
    // of their own: the walk then holds one register less.
    const std::uint8_t* const window = s.window;
    const std::uint32_t base = s.base;
    const std::uint32_t max_lazy = s.max_lazy;
    const std::uint32_t good_match = s.good_match;
    const std::uint32_t max_chain = s.max_chain;
    std::uint32_t nice_match = s.nice_match;
    std::uint32_t strstart = s.strstart;
    std::uint32_t lookahead = s.lookahead;
    std::uint32_t ins_h = s.ins_h;
    std::uint32_t match_start = s.match_start;
    std::uint32_t hash_head = 0;
    std::uint32_t match_length = kMinMatch - 1;
    bool match_available = false;

    const auto insert = [&](std::uint32_t pos) {
        update_hash(ins_h, window[pos + 2]);
        // A head at or below base is none (see insert_string), taken with a
        // mask: as a branch it would guess wrong at every other new string.
        const std::uint32_t stored = s.head[ins_h];
        const std::uint32_t head = stored & (0u - static_cast<std::uint32_t>(stored > base));
        s.links[pos].next = static_cast<std::uint16_t>(head);
        s.head[ins_h] = static_cast<std::uint16_t>(pos);
        return head;
    };
    SymbolTally symbols(s);
    // ct_tally's early end looks at the position.
    const auto tally = [&](std::uint32_t distance, std::uint32_t value) {
        s.strstart = strstart;
        return symbols.tally(distance, value);
    };
    const auto flush_block = [&]() {
        symbols.store();
        s.strstart = strstart;
        end_block(s, false);
        s.block_start = strstart;
        symbols.load();
    };

    while (lookahead != 0) {
        if (lookahead >= kMinMatch) {
            hash_head = insert(strstart);
            // A string seen for the first time, with a literal pending and no
            // match: the byte before goes out as a literal and the next
            // position comes, as the full round below would do.
            if (match_available && match_length == kMinMatch - 1) {
                while (hash_head == 0 && lookahead > kMinMatch) {
                    if (tally(0, window[strstart - 1])) {
                        flush_block();
                    }
                    ++strstart;
                    --lookahead;
                    hash_head = insert(strstart);
                }
            }
        }
        const std::uint32_t prev_length = match_length;
        const std::uint32_t prev_match = match_start;
        match_length = kMinMatch - 1;

        if (hash_head != 0 && prev_length < max_lazy) {
            if (nice_match > lookahead) {
                nice_match = lookahead;
            }
            Search search;
            search.window = window;
            search.scan = window + strstart;
            search.nice_match = nice_match;
            search.stop_len = nice_match;
            search.best_len = prev_length;
            search.match_start = match_start;
            search.scan_start = cpu::load16(search.scan);
            search.scan_end = cpu::load16(search.scan + prev_length - 1);
            search.end_base = window + prev_length - 1;
            std::uint32_t chain_length = prev_length >= good_match ? max_chain >> 2 : max_chain;
            std::uint32_t candidate = hash_head;
            // may_beat's four bytes compared as one word, which holds one
            // register less through the walk.
            std::uint32_t wanted = search.test_word();
            for (;;) {
                if (search.word_at(candidate) == wanted) {
                    if (search.measure(candidate)) {
                        break;
                    }
                    wanted = search.test_word();
                }
                candidate = s.links[candidate].next;
                if (candidate == 0 || --chain_length == 0) {
                    break;
                }
            }
            match_start = search.match_start;
            match_length = search.best_len < lookahead ? search.best_len : lookahead;
        }

        if (prev_length >= kMinMatch && match_length <= prev_length) {
            const bool flush = tally(strstart - 1 - prev_match, prev_length - kMinMatch);
            // The match's positions after strstart, all but the last, go on
            // the chains; of those, only the ones with three bytes ahead.
            const std::uint32_t skipped = prev_length - 2;
            const std::uint32_t ahead = lookahead > kMinMatch ? lookahead - kMinMatch : 0;
            const std::uint32_t inserted = std::min(skipped, ahead);
            for (std::uint32_t n = 1; n <= inserted; ++n) {
                hash_head = insert(strstart + n);
            }
            lookahead -= prev_length - 1;
            strstart += skipped + 1;
            match_available = false;
            match_length = kMinMatch - 1;
            if (flush) {
                flush_block();
            }
        } else if (match_available) {
            if (tally(0, window[strstart - 1])) {
                flush_block();
            }
            ++strstart;
            --lookahead;
        } else {
            match_available = true;
            ++strstart;
            --lookahead;
        }
    }
    if (match_available) {
        tally(0, window[strstart - 1]);
    }
    symbols.store();
    s.strstart = strstart;
    s.lookahead = lookahead;
    s.match_start = match_start;
    s.ins_h = ins_h;
    return end_block(s, true);
}

// The greedy loop of levels 1 to 3; kKeyed: the entry keeps the keyed chains.
template <bool kKeyed> std::uint32_t run_greedy(DeflateState& s) {
    std::uint32_t hash_head = 0;
    std::uint32_t match_length = 0;
    s.prev_length = kMinMatch - 1;

    while (s.lookahead != 0) {
        if (s.lookahead >= kMinMatch) {
            hash_head = insert_string<kKeyed>(s, s.strstart);
        }
        if (hash_head != 0 && s.strstart - hash_head <= kMaxDist) {
            if (s.nice_match > s.lookahead) {
                s.nice_match = s.lookahead;
            }
            match_length = find_match<kKeyed>(s, hash_head);
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
                    hash_head = insert_string<kKeyed>(s, s.strstart);
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
        if (needs_refill(s)) {
            lz_refill(s);
        }
    }
    return end_block(s, true);
}

} // namespace

std::uint32_t lz_run(DeflateState& s) {
    if (s.level <= 3) {
        return lz_run_fast(s);
    }
    return s.keyed ? run_lazy(s) : run_lazy_short(s);
}

std::uint32_t lz_run_fast(DeflateState& s) {
    return s.keyed ? run_greedy<true>(s) : run_greedy<false>(s);
}

void lz_finish(DeflateState& s) {
    if (s.keyed) {
        // Over 4 KiB of positions, filed under five heads each: clearing the
        // tables whole costs less than hashing every position again.
        clear_heads(s);
        s.head_floor = 0;
    } else {
        // The next short entry starts past this one's positions.
        s.head_floor = std::max(s.head_floor, s.strstart + s.lookahead);
    }
}
