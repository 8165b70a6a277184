// The per-entry compressor state: the block coder's trees and symbol
// buffers, the bit writer, and the match finder's window and hash chains.
// One DeflateState serves one deflated entry at a time.
#pragma once

#include "zip/deflate.h"

#include <cstdint>

namespace deflate_limits {
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr std::uint32_t kWindowSize = 32768;                       // the dictionary
constexpr std::uint32_t kMinLookahead = kMaxMatch + kMinMatch + 1; // 262
constexpr std::uint32_t kMaxDist = kWindowSize - kMinLookahead;    // 32,506
constexpr std::uint32_t kSlidePoint = kWindowSize + kMaxDist;      // 65,274
constexpr std::uint32_t kTooFar = 4096;
constexpr std::uint32_t kHashBits = 15;
constexpr std::uint32_t kHashSize = 1u << kHashBits;
constexpr std::uint32_t kHashMask = kHashSize - 1;
constexpr std::uint32_t kHashShift = 5;
// The match comparison loads sixteen bytes at a time and may look up to 15
// bytes past position + 258; the window carries this many spare bytes so that no
// load leaves the allocation.
constexpr std::uint32_t kWindowSlack = 16;
constexpr std::uint32_t kLinkMask = kWindowSize - 1;
constexpr int kKeyedChains = 4;
constexpr std::uint32_t kKeyBytes[kKeyedChains] = {3, 4, 6, 12}; // what each keyed chain files by
constexpr std::uint32_t kKeyHashBits = 15;
constexpr std::uint32_t kKeyHashSize = 1u << kKeyHashBits;
// An entry known whole at its start and at most this long keeps only the
// three-byte chain: its chains are short, and filing every position under
// four more keys (and clearing their heads again) would cost it more than the
// keyed walks save.
constexpr std::uint32_t kPlainChainsUpTo = 4096;

constexpr int kLengthCodes = 29;
constexpr int kLiterals = 256;
constexpr int kEndBlock = 256;
constexpr int kLCodes = kLiterals + 1 + kLengthCodes; // 286
constexpr int kDCodes = 30;
constexpr int kBlCodes = 19;
constexpr int kHeapSize = 2 * kLCodes + 1; // 573
constexpr int kMaxBits = 15;
constexpr int kMaxBlBits = 7;
constexpr int kRep3To6 = 16;
constexpr int kRepZ3To10 = 17;
constexpr int kRepZ11To138 = 18;

constexpr std::uint32_t kLitBufSize = 32768;
constexpr std::uint32_t kDistBufSize = 32768;
} // namespace deflate_limits

// One tree node: a frequency that becomes the bit-reversed code once codes are
// assigned, and a parent link that becomes the code length.
struct CtNode {
    std::uint16_t fc = 0; // frequency, then code
    std::uint16_t dl = 0; // parent, then length
};

// What ct_build needs to know about one of the three trees.
struct CtTreeDesc {
    CtNode* dyn_tree = nullptr;
    const CtNode* static_tree = nullptr; // none for the code-length tree
    const std::uint8_t* extra_bits = nullptr;
    int extra_base = 0; // first symbol with extra bits
    int elems = 0;      // number of symbols
    int max_length = 0; // length limit
    int max_code = -1;  // largest symbol with a non-zero frequency
    // The next code of each length 1..15, from the last build.
    std::uint32_t next_code[deflate_limits::kMaxBits + 1] = {};
};

// Where the block's symbols have got to in the symbol buffers.
struct SymbolCounts {
    std::uint32_t last_lit = 0;   // symbols
    std::uint32_t last_dist = 0;  // matches
    std::uint32_t last_flags = 0; // whole flag bytes
    std::uint32_t flags = 0;      // flag byte being filled
    std::uint32_t flag_bit = 1;   // bit for the next symbol
};

// What an entry starts from afresh: positions, counters and the bit writer.
// Everything else in DeflateState is either fixed, reset by ct_init or
// written before it is read, so one state can serve entry after entry (see
// DeflateState::head_floor).
struct DeflateEntryState {
    // ---- match finder: hot fields first ----
    std::uint32_t strstart = 0;  // current position in the window
    std::uint32_t lookahead = 0; // bytes available from strstart
    std::uint32_t ins_h = 0;     // rolling hash
    std::uint32_t match_start = 0;
    std::uint32_t prev_length = 0;
    std::uint32_t max_chain = 0;
    std::uint32_t good_match = 0;
    std::uint32_t nice_match = 0;
    std::uint32_t max_lazy = 0;
    std::int64_t block_start = 0; // negative once the block start slid out
    bool eofile = false;
    std::uint32_t window_size = 2 * deflate_limits::kWindowSize;
    int level = 0;
    DeflateRead read = nullptr;
    void* read_context = nullptr;

    // ---- bit writer ----
    std::uint64_t bit_buf = 0;   // pending bits, least significant first
    std::uint32_t bit_valid = 0; // number of valid bits in bit_buf
    std::uint64_t bytes_out = 0; // whole bytes sent, including stored data
    DeflateSink* sink = nullptr;
    bool output_lost = false; // bytes that could not be placed in the sink

    // ---- block coder ----
    SymbolCounts symbols;
    std::uint32_t opt_len = 0;
    std::uint32_t static_len = 0;
    std::uint32_t compressed_bytes = 0;
    std::uint32_t compressed_bits = 0; // 0..7
    const char* check_message = nullptr;

    bool keyed = false;     // positions go on the keyed chains too
    std::uint32_t base = 0; // the entry's first window position, never a candidate
};

// What a window position keeps about its chains, in one 8-byte record, so
// that an insertion and each step of a search touch one cache line:
// - next: the next position down its three-byte chain, 0 where that one is
//   out of reach of every later search;
// - keyed_next[k]: the next position down keyed chain k, for chains 0 and 1
//   (0: none), which may be out of reach; the walks stop there;
// - rank: its place on its three-byte chain, one more than the position
//   below it, so that a search can tell how many three-byte candidates lie
//   between two positions and keep the three-byte walk's budget exactly.
struct ChainLinks {
    std::uint16_t next;
    std::uint16_t keyed_next[2];
    std::uint16_t rank;
};
static_assert(sizeof(ChainLinks) == 8, "one record per position, four lanes");

// The links of keyed chains 2 and 3, which only searches already holding a
// match of six bytes or more follow: kept apart, so that an insertion
// stores twelve bytes and the walks of these chains read a dense array
// (their ranks are in ChainLinks, read only now and then).
struct LongKeyLinks {
    std::uint16_t keyed_next[2];
};

struct DeflateState : DeflateEntryState {
    // ---- block coder: trees, written before they are read ----
    CtNode dyn_ltree[deflate_limits::kHeapSize];
    CtNode dyn_dtree[2 * deflate_limits::kDCodes + 1];
    CtNode bl_tree[2 * deflate_limits::kBlCodes + 1];
    CtTreeDesc l_desc;
    CtTreeDesc d_desc;
    CtTreeDesc bl_desc;

    // The last tree build's nodes from heap[heap_max] (the root) on, every
    // parent before its children.
    int heap[deflate_limits::kHeapSize] = {};
    int heap_max = 0;
    std::uint16_t bl_count[deflate_limits::kMaxBits + 1] = {};
    // The code-length codes of the block's header as ct_count_runs found
    // them, in sending order, each with the value of its extra bits: at most
    // one a code length.
    std::uint8_t header_codes[deflate_limits::kLCodes + deflate_limits::kDCodes];
    std::uint8_t header_extras[deflate_limits::kLCodes + deflate_limits::kDCodes];
    std::uint32_t header_code_count = 0;

    // ---- fixed tables, built by the first entry ----
    CtNode static_ltree[deflate_limits::kLCodes + 2];
    CtNode static_dtree[deflate_limits::kDCodes];
    std::uint8_t length_code[256] = {};
    std::uint8_t dist_code[512] = {};
    std::uint16_t base_length[deflate_limits::kLengthCodes] = {};
    std::uint16_t base_dist[deflate_limits::kDCodes] = {};

    // False until the first entry has cleared every head table.
    bool heads_known = false;
    // Between entries every keyed head is 0, and every three-byte head is 0
    // or a position below head_floor: an entry without keyed chains starts
    // at head_floor in the window, so that those are no candidates of its
    // own, and moves it past its end; the others clear the heads.
    std::uint32_t head_floor = 0;

    std::uint8_t flag_buf[deflate_limits::kLitBufSize / 8];
    std::uint8_t l_buf[deflate_limits::kLitBufSize];
    std::uint16_t d_buf[deflate_limits::kDistBufSize];

    // ---- match finder tables ----
    // Positions fit in 16 bits (the window is 64 KiB); 0 means "none".
    // links[p & kLinkMask] is p's record; a position shares its slot only
    // with one 32 KiB older, which is out of reach by the time the slot is
    // written again.
    alignas(16) std::uint16_t head[deflate_limits::kHashSize];
    alignas(16) ChainLinks links[deflate_limits::kWindowSize];
    alignas(16) LongKeyLinks long_links[deflate_limits::kWindowSize];
    alignas(16) std::uint8_t window[2 * deflate_limits::kWindowSize + deflate_limits::kWindowSlack];
    // Heads of the chains of positions whose first kKeyBytes[k] bytes hash
    // alike: a search that already holds a match of kKeyBytes[k] - 1 bytes
    // follows keyed chain k, which passes over the far more numerous shorter
    // repeats (for chain 0, over the other strings of the same three-byte
    // hash).
    alignas(16) std::uint16_t
        keyed_head[deflate_limits::kKeyedChains][deflate_limits::kKeyHashSize];
};

/* The internal check: when condition is false, stores message as the state's
   check message (replacing an earlier one); work goes on either way. */
inline void deflate_check(DeflateState& s, bool condition, const char* message) {
    if (!condition) {
        s.check_message = message;
    }
}
