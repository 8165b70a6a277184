// The model of the compressor's decisions (see deflate_model.h).
#include "deflate_model.h"

#include "deflate_trace.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace {
constexpr std::uint32_t kWSize = 32768;
constexpr std::uint32_t kMaxDist = 32506;
constexpr std::uint32_t kLookahead = 262;
constexpr std::uint32_t kSlide = 65274;

struct Row {
    std::uint32_t good, lazy, nice, chain;
};
const Row kRows[10] = {{0, 0, 0, 0},        {4, 4, 8, 4},      {4, 5, 16, 8},
                       {4, 6, 32, 32},      {4, 4, 16, 16},    {8, 16, 32, 32},
                       {8, 16, 128, 128},   {8, 32, 128, 256}, {32, 128, 258, 1024},
                       {32, 258, 258, 4096}};

const std::uint32_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                     33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                     1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint32_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                      6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

int DistCode(std::uint32_t distance) {
    int code = 29;
    while (kDistBase[code] > distance) {
        --code;
    }
    return code;
}

struct ModelBlock {
    std::uint32_t input_bytes = 0;
    bool in_window = true; // the block's bytes were still wholly in the window
    std::vector<TraceSymbol> symbols;
};

class Model {
public:
    Model(const Bytes& input, int level) : input_(input), level_(level) {
        const Row& row = kRows[std::min(std::max(level, 0), 9)];
        good_ = row.good;
        lazy_ = row.lazy;
        nice_ = row.nice;
        chain_ = row.chain;
    }

    std::vector<ModelBlock> Run() {
        lookahead_ = Read(0, 2 * kWSize);
        eof_ = lookahead_ == 0;
        if (!eof_) {
            if (lookahead_ < kLookahead) {
                Refill();
            }
            hash_ = Update(Update(0, window_[0]), window_[1]);
        }
        if (std::min(std::max(level_, 0), 9) <= 3) {
            Greedy();
        } else {
            Lazy();
        }
        EndBlock();
        return blocks_;
    }

private:
    std::uint32_t Read(std::uint32_t at, std::uint32_t room) {
        const std::uint32_t count =
            static_cast<std::uint32_t>(std::min<std::size_t>(room, input_.size() - read_));
        if (count != 0) {
            std::memcpy(window_.data() + at, input_.data() + read_, count);
        }
        read_ += count;
        return count;
    }

    static std::uint32_t Update(std::uint32_t h, std::uint8_t c) { return ((h << 5) ^ c) & 0x7FFF; }

    std::uint32_t Insert(std::uint32_t p) {
        hash_ = Update(hash_, window_[p + 2]);
        const std::uint32_t old = head_[hash_];
        prev_[p % kWSize] = old;
        head_[hash_] = p;
        return old;
    }

    void Refill() {
        do {
            std::uint32_t room = 2 * kWSize - lookahead_ - pos_;
            if (pos_ >= kSlide) {
                std::memcpy(window_.data(), window_.data() + kWSize, kWSize);
                match_start_ -= kWSize;
                pos_ -= kWSize;
                block_start_ -= kWSize;
                for (auto& v : head_) {
                    v = v >= kWSize ? v - kWSize : 0;
                }
                for (auto& v : prev_) {
                    v = v >= kWSize ? v - kWSize : 0;
                }
                room += kWSize;
            }
            if (eof_) {
                return;
            }
            const std::uint32_t n = Read(pos_ + lookahead_, room);
            if (n == 0) {
                eof_ = true;
            }
            lookahead_ += n;
        } while (lookahead_ < kLookahead && !eof_);
    }

    std::uint32_t Match(std::uint32_t candidate) {
        std::uint32_t budget = prev_length_ >= good_ ? chain_ >> 2 : chain_;
        std::uint32_t best = prev_length_;
        const std::uint32_t limit = pos_ > kMaxDist ? pos_ - kMaxDist : 0;
        const std::uint8_t* w = window_.data();
        do {
            const std::uint8_t* m = w + candidate;
            const std::uint8_t* s = w + pos_;
            if (m[best] != s[best] || m[best - 1] != s[best - 1] || m[0] != s[0] || m[1] != s[1]) {
                continue;
            }
            std::uint32_t len = 3;
            while (len < 258 && m[len] == s[len]) {
                ++len;
            }
            if (len > best) {
                match_start_ = candidate;
                best = len;
                if (len >= nice_) {
                    break;
                }
            }
        } while ((candidate = prev_[candidate % kWSize]) > limit && --budget != 0);
        return best;
    }

    bool Tally(std::uint32_t distance, std::uint32_t length, std::uint8_t literal) {
        TraceSymbol symbol;
        symbol.length = length;
        symbol.distance = distance;
        symbol.literal = literal;
        symbols_.push_back(symbol);
        if (distance != 0) {
            ++matches_;
            ++dist_freq_[DistCode(distance)];
        }
        const std::uint32_t count = static_cast<std::uint32_t>(symbols_.size());
        if (level_ > 2 && count % 4096 == 0) {
            std::uint32_t estimate = count * 8;
            for (int d = 0; d < 30; ++d) {
                estimate += dist_freq_[d] * (5 + kDistExtra[d]);
            }
            const std::uint32_t in = static_cast<std::uint32_t>(pos_ - block_start_);
            if (matches_ < count / 2 && estimate / 8 < in / 2) {
                return true;
            }
        }
        return count == 32767 || matches_ == 32768;
    }

    void EndBlock() {
        ModelBlock block;
        block.input_bytes = static_cast<std::uint32_t>(pos_ - block_start_);
        block.in_window = block_start_ >= 0;
        block.symbols.swap(symbols_);
        blocks_.push_back(std::move(block));
        matches_ = 0;
        std::fill(std::begin(dist_freq_), std::end(dist_freq_), 0u);
    }

    void EndBlockInLoop() {
        EndBlock();
        block_start_ = pos_;
    }

    void CapNice() {
        if (nice_ > lookahead_) {
            nice_ = lookahead_;
        }
    }

    void Lazy() {
        std::uint32_t candidate = 0;
        std::uint32_t length = 2;
        bool pending = false;
        while (lookahead_ != 0) {
            if (lookahead_ >= 3) {
                candidate = Insert(pos_);
            }
            prev_length_ = length;
            const std::uint32_t prev_match = match_start_;
            length = 2;
            if (candidate != 0 && prev_length_ < lazy_ && pos_ - candidate <= kMaxDist) {
                CapNice();
                length = std::min(Match(candidate), lookahead_);
                if (length == 3 && pos_ - match_start_ > 4096) {
                    length = 2;
                }
            }
            if (prev_length_ >= 3 && length <= prev_length_) {
                const std::uint32_t last_insert = pos_ + lookahead_ - 3;
                const bool end = Tally(pos_ - 1 - prev_match, prev_length_, 0);
                lookahead_ -= prev_length_ - 1;
                for (std::uint32_t n = prev_length_ - 2; n != 0; --n) {
                    ++pos_;
                    if (pos_ <= last_insert) {
                        candidate = Insert(pos_);
                    }
                }
                ++pos_;
                pending = false;
                length = 2;
                if (end) {
                    EndBlockInLoop();
                }
            } else if (pending) {
                if (Tally(0, 0, window_[pos_ - 1])) {
                    EndBlockInLoop();
                }
                ++pos_;
                --lookahead_;
            } else {
                pending = true;
                ++pos_;
                --lookahead_;
            }
            if (lookahead_ < kLookahead) {
                Refill();
            }
        }
        if (pending) {
            Tally(0, 0, window_[pos_ - 1]);
        }
    }

    void Greedy() {
        std::uint32_t candidate = 0;
        std::uint32_t length = 0;
        prev_length_ = 2;
        while (lookahead_ != 0) {
            if (lookahead_ >= 3) {
                candidate = Insert(pos_);
            }
            if (candidate != 0 && pos_ - candidate <= kMaxDist) {
                CapNice();
                length = std::min(Match(candidate), lookahead_);
            }
            bool end;
            if (length >= 3) {
                end = Tally(pos_ - match_start_, length, 0);
                lookahead_ -= length;
                if (length <= lazy_ && lookahead_ >= 3) {
                    for (std::uint32_t n = length - 1; n != 0; --n) {
                        ++pos_;
                        candidate = Insert(pos_);
                    }
                    ++pos_;
                } else {
                    pos_ += length;
                    hash_ = Update(window_[pos_], window_[pos_ + 1]);
                }
                length = 0;
            } else {
                end = Tally(0, 0, window_[pos_]);
                --lookahead_;
                ++pos_;
            }
            if (end) {
                EndBlockInLoop();
            }
            if (lookahead_ < kLookahead) {
                Refill();
            }
        }
    }

    const Bytes& input_;
    std::size_t read_ = 0;
    int level_;
    std::uint32_t good_, lazy_, nice_, chain_;
    // Spare bytes past the window: comparisons near its top may look there.
    std::vector<std::uint8_t> window_ = std::vector<std::uint8_t>(2 * kWSize + 300, 0);
    std::vector<std::uint32_t> head_ = std::vector<std::uint32_t>(kWSize, 0);
    std::vector<std::uint32_t> prev_ = std::vector<std::uint32_t>(kWSize, 0);
    std::uint32_t hash_ = 0;
    std::uint32_t pos_ = 0;
    std::uint32_t lookahead_ = 0;
    std::uint32_t match_start_ = 0;
    std::uint32_t prev_length_ = 2;
    std::int64_t block_start_ = 0;
    bool eof_ = false;
    std::vector<TraceSymbol> symbols_;
    std::uint32_t matches_ = 0;
    std::uint32_t dist_freq_[30] = {};
    std::vector<ModelBlock> blocks_;
};

const std::uint32_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
const std::uint8_t kDistExtraBits[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const std::uint8_t kCodeExtra[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
const int kCodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

int LengthCode(std::uint32_t length) {
    int code = 28;
    while (kLengthBase[code] > length) {
        --code;
    }
    return code;
}
} // namespace

const std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

ModelTree BuildTree(std::vector<std::uint32_t> freq, int limit, const std::uint8_t* extra,
                    int extra_base, const std::vector<std::uint32_t>* fixed, std::uint32_t& opt,
                    std::uint32_t& fixed_len) {
    const int elems = static_cast<int>(freq.size());
    const int nodes = 2 * elems + 1;
    freq.resize(nodes, 0);
    std::vector<std::uint32_t> parent(nodes, 0);
    std::vector<std::uint32_t> len(nodes, 0);
    std::vector<int> depth(nodes, 0);
    std::vector<int> heap(574, 0);
    int heap_len = 0;
    int heap_max = 573;
    int max_code = -1;
    for (int n = 0; n < elems; ++n) {
        if (freq[n] != 0) {
            heap[++heap_len] = max_code = n;
        }
    }
    while (heap_len < 2) {
        const int node = max_code < 2 ? ++max_code : 0;
        heap[++heap_len] = node;
        freq[node] = 1;
        opt -= 1;
        if (fixed != nullptr) {
            fixed_len -= (*fixed)[node];
        }
    }
    auto smaller = [&](int a, int b) {
        return freq[a] < freq[b] || (freq[a] == freq[b] && depth[a] <= depth[b]);
    };
    auto sift = [&](int k) {
        const int v = heap[k];
        for (int j = 2 * k; j <= heap_len; j *= 2) {
            if (j < heap_len && smaller(heap[j + 1], heap[j])) {
                ++j;
            }
            if (smaller(v, heap[j])) {
                break;
            }
            heap[k] = heap[j];
            k = j;
        }
        heap[k] = v;
    };
    for (int n = heap_len / 2; n >= 1; --n) {
        sift(n);
    }
    int node = elems;
    do {
        const int n = heap[1];
        heap[1] = heap[heap_len--];
        sift(1);
        const int m = heap[1];
        heap[--heap_max] = n;
        heap[--heap_max] = m;
        freq[node] = freq[n] + freq[m];
        depth[node] = std::max(depth[n], depth[m]) + 1;
        parent[n] = parent[m] = static_cast<std::uint32_t>(node);
        heap[1] = node++;
        sift(1);
    } while (heap_len >= 2);
    heap[--heap_max] = heap[1];

    std::uint32_t count[16] = {};
    len[heap[heap_max]] = 0;
    int overflow = 0;
    int h = heap_max + 1;
    for (; h < 573; ++h) {
        const int n = heap[h];
        std::uint32_t bits = len[parent[n]] + 1;
        if (bits > static_cast<std::uint32_t>(limit)) {
            bits = static_cast<std::uint32_t>(limit);
            ++overflow;
        }
        len[n] = bits;
        if (n > max_code) {
            continue;
        }
        ++count[bits];
        const std::uint32_t xbits = n >= extra_base ? extra[n - extra_base] : 0;
        opt += freq[n] * (bits + xbits);
        if (fixed != nullptr) {
            fixed_len += freq[n] * ((*fixed)[n] + xbits);
        }
    }
    if (overflow != 0) {
        do {
            int bits = limit - 1;
            while (count[bits] == 0) {
                --bits;
            }
            --count[bits];
            count[bits + 1] += 2;
            --count[limit];
            overflow -= 2;
        } while (overflow > 0);
        for (int bits = limit; bits != 0; --bits) {
            for (std::uint32_t n = count[bits]; n != 0;) {
                const int m = heap[--h];
                if (m > max_code) {
                    continue;
                }
                if (len[m] != static_cast<std::uint32_t>(bits)) {
                    opt += (static_cast<std::uint32_t>(bits) - len[m]) * freq[m];
                    len[m] = static_cast<std::uint32_t>(bits);
                }
                --n;
            }
        }
    }
    ModelTree tree;
    tree.lengths.assign(len.begin(), len.begin() + elems);
    for (int n = max_code + 1; n < elems; ++n) {
        tree.lengths[n] = 0;
    }
    tree.max_code = max_code;
    return tree;
}

namespace {

// Code-length symbol counts of the runs in lengths 0..max_code.
void CountRuns(const std::vector<std::uint32_t>& lengths, int max_code,
               std::vector<std::uint32_t>& freq) {
    int prevlen = -1;
    int nextlen = static_cast<int>(lengths[0]);
    int count = 0;
    int max_count = nextlen == 0 ? 138 : 7;
    int min_count = nextlen == 0 ? 3 : 4;
    for (int n = 0; n <= max_code; ++n) {
        const int curlen = nextlen;
        nextlen = n + 1 <= max_code ? static_cast<int>(lengths[n + 1]) : 0xFFFF;
        if (++count < max_count && curlen == nextlen) {
            continue;
        }
        if (count < min_count) {
            freq[curlen] += count;
        } else if (curlen != 0) {
            freq[curlen] += curlen != prevlen ? 1 : 0;
            ++freq[16];
        } else {
            ++freq[count <= 10 ? 17 : 18];
        }
        count = 0;
        prevlen = curlen;
        max_count = nextlen == 0 ? 138 : (curlen == nextlen ? 6 : 7);
        min_count = nextlen == 0 || curlen == nextlen ? 3 : 4;
    }
}

struct ModelCoding {
    int type = 0; // 0 stored, 1 fixed, 2 dynamic
    ModelTree lit;
    ModelTree dist;
    ModelTree code;
    int code_count = 0;
};

// The block type and trees that the coder's rules give a block.
ModelCoding CodeBlock(const ModelBlock& block) {
    std::vector<std::uint32_t> lit_freq(286, 0);
    std::vector<std::uint32_t> dist_freq(30, 0);
    for (const auto& symbol : block.symbols) {
        if (symbol.length == 0) {
            ++lit_freq[symbol.literal];
        } else {
            ++lit_freq[257 + LengthCode(symbol.length)];
            ++dist_freq[DistCode(symbol.distance)];
        }
    }
    lit_freq[256] = 1;
    std::vector<std::uint32_t> fixed_lit(288);
    for (int n = 0; n < 288; ++n) {
        fixed_lit[n] = n < 144 ? 8 : (n < 256 ? 9 : (n < 280 ? 7 : 8));
    }
    const std::vector<std::uint32_t> fixed_dist(30, 5);
    std::uint32_t opt = 0;
    std::uint32_t fixed = 0;
    ModelCoding coding;
    coding.lit = BuildTree(lit_freq, 15, kLengthExtra, 257, &fixed_lit, opt, fixed);
    coding.dist = BuildTree(dist_freq, 15, kDistExtraBits, 0, &fixed_dist, opt, fixed);
    std::vector<std::uint32_t> code_freq(19, 0);
    CountRuns(coding.lit.lengths, coding.lit.max_code, code_freq);
    CountRuns(coding.dist.lengths, coding.dist.max_code, code_freq);
    std::uint32_t unused = 0;
    coding.code = BuildTree(code_freq, 7, kCodeExtra, 0, nullptr, opt, unused);
    int last = 18;
    while (last >= 3 && coding.code.lengths[kCodeOrder[last]] == 0) {
        --last;
    }
    coding.code_count = last + 1;
    opt += 3 * (static_cast<std::uint32_t>(last) + 1) + 5 + 5 + 4;
    std::uint32_t opt_bytes = (opt + 3 + 7) >> 3;
    const std::uint32_t fixed_bytes = (fixed + 3 + 7) >> 3;
    if (fixed_bytes <= opt_bytes) {
        opt_bytes = fixed_bytes;
    }
    if (block.input_bytes + 4 <= opt_bytes && block.in_window) {
        coding.type = 0;
    } else if (fixed_bytes == opt_bytes) {
        coding.type = 1;
    } else {
        coding.type = 2;
    }
    return coding;
}

std::vector<std::uint32_t> Widen(const std::vector<std::uint8_t>& lengths) {
    return std::vector<std::uint32_t>(lengths.begin(), lengths.end());
}

std::vector<std::uint32_t> FirstCodes(const ModelTree& tree) {
    return std::vector<std::uint32_t>(tree.lengths.begin(),
                                      tree.lengths.begin() + tree.max_code + 1);
}

std::uint32_t CoveredBytes(const TraceBlock& block) {
    if (block.type == 0) {
        return block.stored_length;
    }
    std::uint32_t bytes = 0;
    for (const auto& symbol : block.symbols) {
        bytes += symbol.length != 0 ? symbol.length : 1;
    }
    return bytes;
}

} // namespace

std::string ModelMismatch(const Bytes& input, int level, std::uint32_t chunk) {
    const std::string where =
        "level " + std::to_string(level) + ", reads of " + std::to_string(chunk) + ": ";
    const Compressed c = Compress(input, level, chunk);
    // What the zip writer judges an entry by besides its bytes. Levels
    // outside 1..8 run with the nearest row but record their refusal.
    const bool refused = level < 1 || level > 8;
    const char* const message = c.result.check_message;
    if (refused && (message == nullptr || std::strcmp(message, "bad pack level") != 0)) {
        return where + "no \"bad pack level\" for a level outside 1..8";
    }
    if (!refused && message != nullptr) {
        return where + "check message \"" + message + "\"";
    }
    if (c.result.output_lost) {
        return where + "output lost";
    }
    if (c.result.compressed_size != c.bytes.size()) {
        return where + "returns " + std::to_string(c.result.compressed_size) + " bytes, wrote " +
               std::to_string(c.bytes.size());
    }
    const std::uint16_t flags = level <= 2 ? 4 : (level >= 8 ? 2 : 0);
    if (c.flags != flags) {
        return where + "flags " + std::to_string(c.flags) + ", the model " + std::to_string(flags);
    }
    const Trace trace = TraceDeflate(c.bytes);
    if (!trace.error.empty()) {
        return where + "the output does not decode: " + trace.error;
    }
    if (trace.data != input) {
        return where + "the output decodes to other bytes";
    }
    const std::vector<ModelBlock> model = Model(input, level).Run();
    if (trace.blocks.size() != model.size()) {
        return where + std::to_string(trace.blocks.size()) + " blocks, the model " +
               std::to_string(model.size());
    }
    for (std::size_t b = 0; b < model.size(); ++b) {
        const TraceBlock& got = trace.blocks[b];
        std::ostringstream at;
        at << where << "block " << b << ": ";
        if (CoveredBytes(got) != model[b].input_bytes) {
            at << "covers " << CoveredBytes(got) << " bytes, the model " << model[b].input_bytes;
            return at.str();
        }
        const ModelCoding coding = CodeBlock(model[b]);
        if (got.type != coding.type) {
            at << "type " << got.type << ", the model " << coding.type;
            return at.str();
        }
        if (got.type == 0) {
            continue;
        }
        if (got.type == 2 && (Widen(got.lit_lengths) != FirstCodes(coding.lit) ||
                              Widen(got.dist_lengths) != FirstCodes(coding.dist) ||
                              Widen(got.code_lengths) != coding.code.lengths ||
                              got.code_count != coding.code_count)) {
            return at.str() + "other code lengths";
        }
        if (got.symbols.size() != model[b].symbols.size()) {
            at << got.symbols.size() << " symbols, the model " << model[b].symbols.size();
            return at.str();
        }
        for (std::size_t i = 0; i < got.symbols.size(); ++i) {
            const TraceSymbol& g = got.symbols[i];
            const TraceSymbol& m = model[b].symbols[i];
            if (g.length != m.length || g.distance != m.distance ||
                (g.length == 0 && g.literal != m.literal)) {
                at << "symbol " << i << ": " << g.length << "/" << g.distance << ", the model "
                   << m.length << "/" << m.distance;
                return at.str();
            }
        }
    }
    return "";
}
