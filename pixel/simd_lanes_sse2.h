// SSE2 building blocks shared by the row converters: eight signed 16-bit lanes with 7 fraction
// bits, saturating adds, reduction by masks and shifts.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "pixel/fp_coefficients.h"

namespace pixel_simd {
// Internal linkage: files compiled for other instruction sets include these too, and their
// copies must never stand in for these.
namespace {

// Coefficients as vector operands, set up once per call.
struct lane_coeffs {
    __m128i low, high, green1, green2, offset, gain;
};

inline __m128i load_lanes(const void* field) {
    return _mm_load_si128(static_cast<const __m128i*>(field));
}

inline lane_coeffs lane_form(const yuv_to_rgb_fp_coefficients& k) {
    return {load_lanes(k.low_from_c1_lanes),   load_lanes(k.high_from_c2_lanes),
            load_lanes(k.green_from_c1_lanes), load_lanes(k.green_from_c2_lanes),
            load_lanes(k.luma_offset_lanes),   load_lanes(k.luma_gain_lanes)};
}

// The low 16 bits of c x k depend only on the low 16 bits of k, so a 16-bit multiply yields the
// bits of the 32-bit product, and a wrapping 16-bit add the bits of the 32-bit sum.
inline lane_coeffs scalar_form(const yuv_to_rgb_fp_coefficients& k) {
    return {_mm_set1_epi16(static_cast<int16_t>(k.scaled_coeffs[0])),
            _mm_set1_epi16(static_cast<int16_t>(k.scaled_coeffs[1])),
            _mm_set1_epi16(static_cast<int16_t>(k.scaled_coeffs[2])),
            _mm_set1_epi16(static_cast<int16_t>(k.scaled_coeffs[3])),
            load_lanes(k.luma_offset_lanes),
            load_lanes(k.luma_gain_lanes)};
}

template <bool Aligned>
inline __m128i load16(const uint8_t* p) {
    if constexpr (Aligned) return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m128i load8(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline __m128i load4(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}
// Aligned: streaming store, keeps framebuffer writes out of the cache.
template <bool Aligned>
inline void store16(void* p, __m128i v) {
    if constexpr (Aligned) {
        _mm_stream_si128(static_cast<__m128i*>(p), v);
    } else {
        _mm_storeu_si128(static_cast<__m128i*>(p), v);
    }
}

inline __m128i widen_lo(__m128i bytes) { return _mm_unpacklo_epi8(bytes, _mm_setzero_si128()); }
inline __m128i widen_hi(__m128i bytes) { return _mm_unpackhi_epi8(bytes, _mm_setzero_si128()); }
// Bytes 0, 2, .. 14 or 1, 3, .. 15 as 16-bit lanes: a mask or a shift instead of a shuffle. With
// subsampled chroma the even and the odd pixels of a pair share one chroma term, so the terms need
// no duplication; the packed pixels are interleaved back once at the end.
inline __m128i even_bytes(__m128i bytes) { return _mm_and_si128(bytes, _mm_set1_epi16(0x00FF)); }
inline __m128i odd_bytes(__m128i bytes) { return _mm_srli_epi16(bytes, 8); }
inline __m128i centred(__m128i samples) { return _mm_sub_epi16(samples, _mm_set1_epi16(128)); }

// sat(2 x lo16((Y - offset) x gain)).
inline __m128i luma_term(__m128i y, const lane_coeffs& k) {
    const __m128i p = _mm_mullo_epi16(_mm_sub_epi16(y, k.offset), k.gain);
    return _mm_adds_epi16(p, p);
}

struct chroma_terms {
    __m128i low, high, green;
};

inline chroma_terms lane_doubled_terms(__m128i c1, __m128i c2, const lane_coeffs& k) {
    const __m128i l = _mm_mullo_epi16(c1, k.low);
    const __m128i h = _mm_mullo_epi16(c2, k.high);
    return {_mm_adds_epi16(l, l), _mm_adds_epi16(h, h),
            _mm_adds_epi16(_mm_mullo_epi16(c1, k.green1), _mm_mullo_epi16(c2, k.green2))};
}
inline chroma_terms lane_single_terms(__m128i c1, __m128i c2, const lane_coeffs& k) {
    return {_mm_mullo_epi16(c1, k.low), _mm_mullo_epi16(c2, k.high),
            _mm_adds_epi16(_mm_mullo_epi16(c1, k.green1), _mm_mullo_epi16(c2, k.green2))};
}
// Green's sum is taken in 32 bits before its low half is kept: a wrapping add, not saturating.
inline chroma_terms scalar_form_terms(__m128i c1, __m128i c2, const lane_coeffs& k) {
    return {_mm_mullo_epi16(c1, k.low), _mm_mullo_epi16(c2, k.high),
            _mm_add_epi16(_mm_mullo_epi16(c1, k.green1), _mm_mullo_epi16(c2, k.green2))};
}

// Each lane twice (pixels sharing one chroma sample): lanes 0-3 or 4-7.
inline chroma_terms dup2_lo(const chroma_terms& t) {
    return {_mm_unpacklo_epi16(t.low, t.low), _mm_unpacklo_epi16(t.high, t.high),
            _mm_unpacklo_epi16(t.green, t.green)};
}
inline chroma_terms dup2_hi(const chroma_terms& t) {
    return {_mm_unpackhi_epi16(t.low, t.low), _mm_unpackhi_epi16(t.high, t.high),
            _mm_unpackhi_epi16(t.green, t.green)};
}
// Channel sums, negatives clamped to 0: each in 0..32767, so the lowest field of a pixel needs a
// shift but no mask.
struct channels {
    __m128i high, green, low;
};
inline channels sum_channels(__m128i yt, const chroma_terms& t) {
    const __m128i zero = _mm_setzero_si128();
    return {_mm_max_epi16(_mm_adds_epi16(t.high, yt), zero),
            _mm_max_epi16(_mm_adds_epi16(t.green, yt), zero),
            _mm_max_epi16(_mm_adds_epi16(t.low, yt), zero)};
}

struct pack_rgb565 {
    static __m128i pack(const channels& c) {
        const __m128i m = _mm_set1_epi16(0x7C00);
        return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_and_si128(c.high, m), 1),
                                         _mm_srli_epi16(_mm_and_si128(c.green, m), 4)),
                            _mm_srli_epi16(c.low, 10));
    }
};
struct pack_rgb555 {
    static __m128i pack(const channels& c) {
        const __m128i m = _mm_set1_epi16(0x7C00);
        return _mm_or_si128(
            _mm_or_si128(_mm_and_si128(c.high, m), _mm_srli_epi16(_mm_and_si128(c.green, m), 5)),
            _mm_srli_epi16(c.low, 10));
    }
};

// The lower word of a 32-bit pixel: green above, the low channel below.
inline __m128i green_low_888(const channels& c) {
    const __m128i m = _mm_set1_epi16(0x7F80);
    return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(c.green, m), 1), _mm_srli_epi16(c.low, 7));
}
// Eight 32-bit pixels in two vectors: green-and-low word below, high word above.
template <bool Aligned>
inline void store_rgb888(void* dst, const channels& c) {
    const __m128i gl = green_low_888(c);
    const __m128i h = _mm_srli_epi16(c.high, 7);
    store16<Aligned>(dst, _mm_unpacklo_epi16(gl, h));
    store16<Aligned>(static_cast<uint8_t*>(dst) + 16, _mm_unpackhi_epi16(gl, h));
}
// Sixteen 32-bit pixels from the even and the odd pixels' channels (eight lanes each).
template <bool Aligned>
inline void store_rgb888_pairs(void* dst, const channels& even, const channels& odd) {
    const __m128i ge = green_low_888(even), he = _mm_srli_epi16(even.high, 7);
    const __m128i go = green_low_888(odd), ho = _mm_srli_epi16(odd.high, 7);
    const __m128i e_lo = _mm_unpacklo_epi16(ge, he), e_hi = _mm_unpackhi_epi16(ge, he);
    const __m128i o_lo = _mm_unpacklo_epi16(go, ho), o_hi = _mm_unpackhi_epi16(go, ho);
    uint8_t* out = static_cast<uint8_t*>(dst);
    store16<Aligned>(out, _mm_unpacklo_epi32(e_lo, o_lo));
    store16<Aligned>(out + 16, _mm_unpackhi_epi32(e_lo, o_lo));
    store16<Aligned>(out + 32, _mm_unpacklo_epi32(e_hi, o_hi));
    store16<Aligned>(out + 48, _mm_unpackhi_epi32(e_hi, o_hi));
}
// Sixteen 16-bit pixels from the packed even and odd pixels.
template <bool Aligned>
inline void store16_pairs(void* dst, __m128i even, __m128i odd) {
    store16<Aligned>(dst, _mm_unpacklo_epi16(even, odd));
    store16<Aligned>(static_cast<uint8_t*>(dst) + 16, _mm_unpackhi_epi16(even, odd));
}

}  // namespace
}  // namespace pixel_simd
