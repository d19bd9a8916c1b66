// The primitive operations of the row converters on one 16-byte vector (eight 16-bit lanes). Wider
// vectors offer the same operations on each of their 16-byte halves (simd_ops_avx2.h), so one
// block step serves every level: a wider vector converts one block per half.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixel/simd_ops.h"

namespace pixel_simd {
namespace {

template <>
struct ops<__m128i> {
    using V = __m128i;
    using narrow = __m128i;
    static constexpr unsigned halves = 1;

    static V zero() { return _mm_setzero_si128(); }
    static V set16(int16_t x) { return _mm_set1_epi16(x); }
    // A 16-byte coefficient field, in every half.
    static V lanes(const void* field) { return _mm_load_si128(static_cast<const V*>(field)); }

    static V adds_u8(V a, V b) { return _mm_adds_epu8(a, b); }
    static V add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V adds16(V a, V b) { return _mm_adds_epi16(a, b); }
    static V max16(V a, V b) { return _mm_max_epi16(a, b); }
    static V and_(V a, V b) { return _mm_and_si128(a, b); }
    static V or_(V a, V b) { return _mm_or_si128(a, b); }
    template <int N>
    static V srli16(V a) {
        return _mm_srli_epi16(a, N);
    }
    template <int N>
    static V slli16(V a) {
        return _mm_slli_epi16(a, N);
    }
    static V min16(V a, V b) { return _mm_min_epi16(a, b); }
    template <int N>
    static V srai16(V a) {
        return _mm_srai_epi16(a, N);
    }
    static V add32(V a, V b) { return _mm_add_epi32(a, b); }
    static V sub32(V a, V b) { return _mm_sub_epi32(a, b); }
    // The low 32 bits of each product: two 32 x 32 -> 64-bit multiplies, even and odd lanes.
    static V mullo32(V a, V b) {
        const V even = _mm_mul_epu32(a, b);
        const V odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                  _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    }
    static V set32(int32_t x) { return _mm_set1_epi32(x); }
    template <int N>
    static V srai32(V a) {
        return _mm_srai_epi32(a, N);
    }
    static V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
    static V unpacklo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
    static V unpackhi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
    static V unpacklo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
    static V unpacklo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
    static V unpackhi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }

    // Loads of 16, 8 or 4 bytes into each half; `step`: bytes from one half's source to the next.
    template <bool Aligned>
    static V load16(const uint8_t* p, size_t) {
        if constexpr (Aligned) return _mm_load_si128(reinterpret_cast<const V*>(p));
        return _mm_loadu_si128(reinterpret_cast<const V*>(p));
    }
    static V load8(const uint8_t* p, size_t) {
        return _mm_loadl_epi64(reinterpret_cast<const V*>(p));
    }
    // Eight bytes a half, consecutive halves from consecutive bytes, as 16-bit lanes.
    static V load8_wide(const uint8_t* p) { return _mm_unpacklo_epi8(load8(p, 0), zero()); }
    static V load4(const uint8_t* p, size_t) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(v);
    }
    static V load2(const uint8_t* p, size_t) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return _mm_cvtsi32_si128(v);
    }
    // The three low bytes of each 32-bit pixel, packed; `pixels` a multiple of 4.
    static void pack_rgb24(const uint32_t* wide, uint8_t* out, unsigned pixels) {
        for (unsigned i = 0; i < pixels; i += 4) {
            const uint64_t w0 =
                uint64_t{wide[i]} | uint64_t{wide[i + 1]} << 24 | uint64_t{wide[i + 2]} << 48;
            const uint32_t w1 = wide[i + 2] >> 16 | wide[i + 3] << 8;
            std::memcpy(out + 3 * i, &w0, 8);
            std::memcpy(out + 3 * i + 8, &w1, 4);
        }
    }
    // Aligned: streaming store, keeps framebuffer writes out of the cache.
    template <bool Aligned>
    static void store16(uint8_t* p, size_t, V v) {
        if constexpr (Aligned) {
            _mm_stream_si128(reinterpret_cast<V*>(p), v);
        } else {
            _mm_storeu_si128(reinterpret_cast<V*>(p), v);
        }
    }
};

}  // namespace
}  // namespace pixel_simd
