// The few processor operations the compressor's hot loops are written with,
// spelled once for GCC/Clang and once for MSVC, so that the speed does not
// hang on what an optimiser happens to find. SSE2 is assumed on x86 (every
// x86-64 processor has it, and 32-bit builds are made with it); other
// processors get plain C++ with the same results.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define GW_FORCE_INLINE __forceinline
#else
#define GW_FORCE_INLINE inline __attribute__((always_inline))
#endif

// Marks the compressor's entry points. 32-bit x86 GCC builds compile the
// compressor without realigning the stack in each function that keeps SSE
// values on it (a realigning function loses its frame pointer register, one
// of seven); an entry point realigns once for all it calls, whatever the
// alignment its caller passes.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__i386__)
#define GW_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define GW_ALIGN_STACK
#endif

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define GW_HAVE_SSE2 1
#else
#define GW_HAVE_SSE2 0
#endif

namespace cpu {

/* Unaligned native-order loads and stores. */
GW_FORCE_INLINE std::uint16_t load16(const void* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

GW_FORCE_INLINE std::uint32_t load32(const void* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

GW_FORCE_INLINE std::uint64_t load64(const void* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

GW_FORCE_INLINE void store64(void* p, std::uint64_t v) {
    std::memcpy(p, &v, sizeof v);
}

/* Index of the lowest set bit of a non-zero value. */
GW_FORCE_INLINE std::uint32_t ctz32(std::uint32_t x) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, x);
    return index;
#else
    return static_cast<std::uint32_t>(__builtin_ctz(x));
#endif
}

/* Asks for the cache line holding p ahead of its use; never faults. */
GW_FORCE_INLINE void prefetch(const void* p) {
#if GW_HAVE_SSE2
    _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
#elif defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

/* The number of equal leading bytes of a and b, at most 16 (both 16 bytes
   long). */
GW_FORCE_INLINE std::uint32_t equal_prefix16(const std::uint8_t* a, const std::uint8_t* b) {
#if GW_HAVE_SSE2
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const std::uint32_t differ =
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(va, vb))) ^ 0xFFFFu;
    return differ != 0 ? ctz32(differ) : 16;
#else
    for (std::uint32_t i = 0; i < 16; i += 4) {
        const std::uint32_t differ = load32(a + i) ^ load32(b + i);
        if (differ != 0) {
            std::uint32_t n = i;
            for (std::uint32_t k = 0; k < 4 && a[n] == b[n]; ++k) {
                ++n;
            }
            return n;
        }
    }
    return 16;
#endif
}

/* Clears the high 16 bits of each of the four 32-bit records at p
   (little-endian, unaligned) and returns a mask of those whose low 16 bits
   are not 0: bit i for record i. */
GW_FORCE_INLINE std::uint32_t keep_low16_of4(void* p) {
#if GW_HAVE_SSE2
    __m128i* const lane = static_cast<__m128i*>(p);
    const __m128i low = _mm_and_si128(_mm_loadu_si128(lane), _mm_set1_epi32(0xFFFF));
    _mm_storeu_si128(lane, low);
    const __m128i zero = _mm_cmpeq_epi32(low, _mm_setzero_si128());
    return static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(zero))) ^ 0xFu;
#else
    std::uint8_t* const bytes = static_cast<std::uint8_t*>(p);
    std::uint32_t mask = 0;
    for (std::uint32_t i = 0; i < 4; ++i) {
        bytes[4 * i + 2] = 0;
        bytes[4 * i + 3] = 0;
        mask |= static_cast<std::uint32_t>((bytes[4 * i] | bytes[4 * i + 1]) != 0) << i;
    }
    return mask;
#endif
}

/* The move of window positions when the window slides by 32 KiB: each of
   the count 16-bit values becomes v >= 32768 ? v - 32768 : 0. count is a
   multiple of 8 and values 16-byte aligned. */
inline void slide16(std::uint16_t* values, std::uint32_t count) {
#if GW_HAVE_SSE2
    const __m128i half = _mm_set1_epi16(static_cast<short>(0x8000));
    for (std::uint32_t i = 0; i < count; i += 8) {
        __m128i* const lane = reinterpret_cast<__m128i*>(values + i);
        _mm_store_si128(lane, _mm_subs_epu16(_mm_load_si128(lane), half));
    }
#else
    for (std::uint32_t i = 0; i < count; ++i) {
        values[i] = static_cast<std::uint16_t>(values[i] >= 0x8000 ? values[i] - 0x8000 : 0);
    }
#endif
}

/* slide16 for runs of records of lanes 16-bit values (2 or 4), whose last
   lane is a counter, not a position, and stays as it is. count is a multiple
   of 8 and values 16-byte aligned. */
inline void slide16_links(std::uint16_t* values, std::uint32_t count, std::uint32_t lanes) {
#if GW_HAVE_SSE2
    const short half = static_cast<short>(0x8000);
    const __m128i amount = lanes == 4 ? _mm_set_epi16(0, half, half, half, 0, half, half, half)
                                      : _mm_set_epi16(0, half, 0, half, 0, half, 0, half);
    for (std::uint32_t i = 0; i < count; i += 8) {
        __m128i* const lane = reinterpret_cast<__m128i*>(values + i);
        _mm_store_si128(lane, _mm_subs_epu16(_mm_load_si128(lane), amount));
    }
#else
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i % lanes != lanes - 1) {
            values[i] = static_cast<std::uint16_t>(values[i] >= 0x8000 ? values[i] - 0x8000 : 0);
        }
    }
#endif
}

} // namespace cpu
