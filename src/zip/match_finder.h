// The match finder: a sliding 64 KiB window with hash chains that turns the
// input into literals and matches for the block coder.
#pragma once

#include "zip/cpu_ops.h"
#include "zip/deflate_state.h"

/* Prepares the entry: checks 1 <= level <= 8 ("bad pack level"; other levels
   still run, with the nearest row of the tuning table), clears the hash heads
   (unless the state says they are clear), takes the level's tuning row, ORs
   the level's bits into flags (4 for levels up to 2, 2 for level 8 and
   above), reads until the window is full or the input has ended, and primes
   the hash. An entry then known whole and at most 4 KiB long keeps only the
   three-byte chain (the searches walk it candidate by candidate) and starts
   past the positions that earlier such entries left in the heads; any other
   starts at 0 with clear heads and keeps the keyed chains too. Called after
   ct_init. */
void lz_start(DeflateState& s, int level, std::uint16_t& flags, DeflateRead read,
              void* read_context);

/* Slides the window when the position has reached 65,274 and reads more input
   until at least 262 bytes are ahead or the input has ended. */
void lz_refill(DeflateState& s);

/* Searches the hash chain from candidate for the longest match at the current
   position. Returns the best length found (at least the previous match
   length, at most 258) and sets match_start when it finds a longer one. It
   takes the keyed chains where it can, with the result of walking the
   three-byte chain candidate by candidate within the level's budget. */
std::uint32_t lz_match(DeflateState& s, std::uint32_t candidate);

/* Keyed chain K's hash of the kKeyBytes[K] bytes at p, below kKeyHashSize.
   It may read eight bytes at p, or the key's bytes where they are more (the
   window's slack covers its last positions); the bytes past the key do not
   change it. The output never depends on it, only the speed: every
   candidate's bytes are compared. */
template <int K> GW_FORCE_INLINE std::uint32_t lz_key_hash(const std::uint8_t* p) {
    constexpr std::uint32_t kBytes = deflate_limits::kKeyBytes[K];
    static_assert(kBytes >= 3 && kBytes <= 12, "keys of three to twelve bytes");
    if constexpr (sizeof(void*) == 8) {
        // One or two loads and multiplies where registers are 64 bits wide.
        constexpr std::uint32_t kShift = 64 - deflate_limits::kKeyHashBits;
        if constexpr (kBytes <= 8) {
            return static_cast<std::uint32_t>(
                ((cpu::load64(p) << (64 - 8 * kBytes)) * 0x9E3779B97F4A7C15ull) >> kShift);
        } else {
            return static_cast<std::uint32_t>(
                ((cpu::load64(p) * 0x9E3779B97F4A7C15ull) ^
                 (cpu::load64(p + kBytes - 8) * 0xC2B2AE3D27D4EB4Full)) >>
                kShift);
        }
    } else {
        // 32-bit loads and multiplies, the last overlapping the one before.
        constexpr std::uint32_t kShift = 32 - deflate_limits::kKeyHashBits;
        if constexpr (kBytes == 3) {
            return ((cpu::load32(p) << 8) * 0x9E3779B1u) >> kShift;
        }
        std::uint32_t h = cpu::load32(p) * 0x9E3779B1u;
        if constexpr (kBytes > 4 && kBytes <= 8) {
            h ^= cpu::load32(p + kBytes - 4) * 0x85EBCA77u;
        } else if constexpr (kBytes > 8) {
            h ^= (cpu::load32(p + 4) * 0x85EBCA77u) ^ (cpu::load32(p + kBytes - 4) * 0xC2B2AE3Du);
        }
        return h >> kShift;
    }
}

/* Compresses the whole input with lazy evaluation (levels 4 and above; levels
   3 and below run lz_run_fast) and returns the compressed size in bytes as the
   final block end reports it. */
std::uint32_t lz_run(DeflateState& s);

/* The greedy loop of levels 1 to 3; returns the compressed size in bytes. */
std::uint32_t lz_run_fast(DeflateState& s);

/* After lz_run: leaves the heads so that the state's next entry finds no
   candidate of this one. An entry that kept the keyed chains clears every
   table whole; one that kept only the three-byte chain moves the start of
   the next such entry past its own positions instead. */
void lz_finish(DeflateState& s);
