// The block steps of the SSE2 row converters, one traits class per kernel (see row_engine_sse2.h).
// Wider levels reuse them for single blocks and tails.
#pragma once

#include <cstring>

#include "pixel/block_422_lane16_sse2.h"
#include "pixel/row_engine_sse2.h"

namespace pixel_simd {
namespace {

struct no_dither {
    static dither_pattern* pattern() { return nullptr; }
};

struct yuv444_rgb565 {
    using pixel = pixel_rgb565_t;
    static constexpr unsigned block = 16, factor = 1;
    static constexpr bool chroma_aligned = true, advance_before_tail = false;
    static dither_pattern* pattern() { return &dither_pattern_yuv444_rgb565; }
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return lane_form(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i pat0, __m128i) {
        const __m128i yd = _mm_adds_epu8(load16<A>(y), pat0);
        const __m128i u = load16<A>(c1);
        const __m128i v = load16<A>(c2);
        const chroma_terms t0 = lane_doubled_terms(centred(widen_lo(u)), centred(widen_lo(v)), k);
        const chroma_terms t1 = lane_doubled_terms(centred(widen_hi(u)), centred(widen_hi(v)), k);
        store16<A>(dst, pack_rgb565::pack(sum_channels(luma_term(widen_lo(yd), k), t0)));
        store16<A>(dst + 8, pack_rgb565::pack(sum_channels(luma_term(widen_hi(yd), k), t1)));
    }
};

struct yuv422_rgb565 {
    using pixel = pixel_rgb565_t;
    static constexpr unsigned block = 32, factor = 2;
    static constexpr bool chroma_aligned = true, advance_before_tail = false;
    static dither_pattern* pattern() { return &dither_pattern_yuv422_rgb565; }
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return lane_form(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i pat0, __m128i pat1) {
        block_422_lane16<pack_rgb565, A>(y, c1, c2, dst, k, pat0, pat1);
    }
};

struct yuv411_rgb565 {
    using pixel = pixel_rgb565_t;
    static constexpr unsigned block = 32, factor = 4;
    // Chroma is read eight samples at a time without an alignment requirement.
    static constexpr bool chroma_aligned = false, advance_before_tail = true;
    static dither_pattern* pattern() { return &dither_pattern_yuv411_rgb565; }
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return scalar_form(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i pat0, __m128i pat1) {
        const __m128i y0 = _mm_adds_epu8(load16<A>(y), pat0);
        const __m128i y1 = _mm_adds_epu8(load16<A>(y + 16), pat1);
        const chroma_terms t =
            scalar_form_terms(centred(widen_lo(load8(c1))), centred(widen_lo(load8(c2))), k);
        // Pixels 2i and 2i+1 share sample i/2: samples 0..3 serve y0's even and odd pixels alike.
        const chroma_terms t03 = dup2_lo(t);
        const chroma_terms t47 = dup2_hi(t);
        store16_pairs<A>(dst, pack_rgb565::pack(sum_channels(luma_term(even_bytes(y0), k), t03)),
                         pack_rgb565::pack(sum_channels(luma_term(odd_bytes(y0), k), t03)));
        store16_pairs<A>(dst + 16,
                         pack_rgb565::pack(sum_channels(luma_term(even_bytes(y1), k), t47)),
                         pack_rgb565::pack(sum_channels(luma_term(odd_bytes(y1), k), t47)));
    }
};

struct yuv422_rgb555 {
    using pixel = pixel_rgb555_t;
    static constexpr unsigned block = 32, factor = 2;
    static constexpr bool chroma_aligned = true, advance_before_tail = false;
    static dither_pattern* pattern() { return &dither_pattern_yuv422_rgb555; }
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return lane_form(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i pat0, __m128i pat1) {
        block_422_lane16<pack_rgb555, A>(y, c1, c2, dst, k, pat0, pat1);
    }
};

struct yuv444_rgb888 : no_dither {
    using pixel = pixel_rgb888_t;
    static constexpr unsigned block = 16, factor = 1;
    static constexpr bool chroma_aligned = true, advance_before_tail = false;
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return lane_form(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i, __m128i) {
        const __m128i yb = load16<A>(y);
        const __m128i u = load16<A>(c1);
        const __m128i v = load16<A>(c2);
        const chroma_terms t0 = lane_single_terms(centred(widen_lo(u)), centred(widen_lo(v)), k);
        const chroma_terms t1 = lane_single_terms(centred(widen_hi(u)), centred(widen_hi(v)), k);
        store_rgb888<A>(dst, sum_channels(luma_term(widen_lo(yb), k), t0));
        store_rgb888<A>(dst + 8, sum_channels(luma_term(widen_hi(yb), k), t1));
    }
};

struct yuv422_rgb888 : no_dither {
    using pixel = pixel_rgb888_t;
    static constexpr unsigned block = 16, factor = 2;
    static constexpr bool chroma_aligned = false, advance_before_tail = false;
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return scalar_form(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i, __m128i) {
        const __m128i yb = load16<A>(y);
        const chroma_terms t =
            scalar_form_terms(centred(widen_lo(load8(c1))), centred(widen_lo(load8(c2))), k);
        // Sample i serves pixels 2i and 2i+1: the even and the odd pixels take the terms as they
        // are.
        store_rgb888_pairs<A>(dst, sum_channels(luma_term(even_bytes(yb), k), t),
                              sum_channels(luma_term(odd_bytes(yb), k), t));
    }
};

struct yuv411_rgb888 : no_dither {
    using pixel = pixel_rgb888_t;
    static constexpr unsigned block = 16, factor = 4;
    static constexpr bool chroma_aligned = false, advance_before_tail = false;
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return scalar_form(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i, __m128i) {
        const __m128i yb = load16<A>(y);
        // Pixels 2i and 2i+1 share sample i/2, so the even and the odd pixels take the same lanes.
        const chroma_terms t = dup2_lo(
            scalar_form_terms(centred(widen_lo(load4(c1))), centred(widen_lo(load4(c2))), k));
        store_rgb888_pairs<A>(dst, sum_channels(luma_term(even_bytes(yb), k), t),
                              sum_channels(luma_term(odd_bytes(yb), k), t));
    }
};

// Packed 24 bpp from a 32-bit kernel: the block is converted into an aligned temporary and each
// pixel's three low bytes are kept.
inline void pack_rgb24(const uint32_t* wide, uint8_t* out, unsigned pixels) {
    for (unsigned i = 0; i < pixels; i += 4) {
        const uint64_t w0 =
            uint64_t{wide[i]} | uint64_t{wide[i + 1]} << 24 | uint64_t{wide[i + 2]} << 48;
        const uint32_t w1 = wide[i + 2] >> 16 | wide[i + 3] << 8;
        std::memcpy(out + 3 * i, &w0, 8);
        std::memcpy(out + 3 * i + 8, &w1, 4);
    }
}

template <class Wide>
struct packed24 : no_dither {
    using pixel = pixel_rgb24_t;
    static constexpr unsigned block = Wide::block, factor = Wide::factor;
    static constexpr bool chroma_aligned = Wide::chroma_aligned, advance_before_tail = false;
    static lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients& k) { return Wide::coeffs(k); }
    template <bool A>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, pixel* dst,
                              const lane_coeffs& k, __m128i pat0, __m128i pat1) {
        // Plain stores into the temporary: streaming ones would push it out of the cache.
        alignas(16) pixel_rgb888_t wide[block];
        Wide::template convert_block<false>(y, c1, c2, wide, k, pat0, pat1);
        pack_rgb24(reinterpret_cast<const uint32_t*>(wide), reinterpret_cast<uint8_t*>(dst), block);
    }
};

}  // namespace
}  // namespace pixel_simd
