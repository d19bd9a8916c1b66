// The block steps of the vector row converters, one traits class per kernel (see row_engine.h).
// Written over the vector type, so every level runs the same arithmetic.
#pragma once

#include <cstring>

#include "pixel/row_engine.h"

namespace pixel_simd {
namespace {

struct no_dither {
    static dither_pattern* pattern() { return nullptr; }
};

// Output bytes of one block, the distance from one half's destination to the next.
template <class Tr>
constexpr size_t block_bytes() {
    return Tr::block * sizeof(typename Tr::pixel);
}

struct yuv444_rgb565 {
    using pixel = pixel_rgb565_t;
    static constexpr unsigned block = 16, factor = 1;
    static constexpr bool chroma_aligned = true, advance_before_tail = false;
    static dither_pattern* pattern() { return &dither_pattern_yuv444_rgb565; }
    template <class V>
    static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients& k) {
        return lane_form<V>(k);
    }
    template <bool A, class V>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                              const lane_coeffs<V>& k, V pat0, V) {
        using O = ops<V>;
        constexpr size_t out = block_bytes<yuv444_rgb565>();
        const V yd = O::adds_u8(O::template load16<A>(y, 16), pat0);
        const V u = O::template load16<A>(c1, 16);
        const V v = O::template load16<A>(c2, 16);
        const auto t0 = lane_doubled_terms(centred(widen_lo(u)), centred(widen_lo(v)), k);
        const auto t1 = lane_doubled_terms(centred(widen_hi(u)), centred(widen_hi(v)), k);
        store16_twice<A>(dst, out, pack_rgb565::pack(sum_channels(luma_term(widen_lo(yd), k), t0)),
                         pack_rgb565::pack(sum_channels(luma_term(widen_hi(yd), k), t1)));
    }
};

// The 4:2:2 lane-form block for 16-bit pixels (32 pixels, doubled chroma terms, dither bytes
// 0..31), shared by pixel_rgb565_t and pixel_rgb555_t; Pack is their pack step.
template <class Pixel, class Pack, dither_pattern& Pattern>
struct yuv422_lane16 {
    using pixel = Pixel;
    static constexpr unsigned block = 32, factor = 2;
    static constexpr bool chroma_aligned = true, advance_before_tail = false;
    static dither_pattern* pattern() { return &Pattern; }
    template <class V>
    static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients& k) {
        return lane_form<V>(k);
    }
    template <bool A, class V>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                              const lane_coeffs<V>& k, V pat0, V pat1) {
        using O = ops<V>;
        const V y0 = O::adds_u8(O::template load16<A>(y, 32), pat0);
        const V y1 = O::adds_u8(O::template load16<A>(y + 16, 32), pat1);
        const V u = O::template load16<A>(c1, 16);
        const V v = O::template load16<A>(c2, 16);
        // Chroma terms once per chroma sample; each serves the even and the odd pixel of its pair.
        const auto t0 = lane_doubled_terms(centred(widen_lo(u)), centred(widen_lo(v)), k);
        const auto t1 = lane_doubled_terms(centred(widen_hi(u)), centred(widen_hi(v)), k);
        store16_pairs<A>(dst, 64, Pack::pack(sum_channels(luma_term(even_bytes(y0), k), t0)),
                         Pack::pack(sum_channels(luma_term(odd_bytes(y0), k), t0)));
        store16_pairs<A>(dst + 32, 64, Pack::pack(sum_channels(luma_term(even_bytes(y1), k), t1)),
                         Pack::pack(sum_channels(luma_term(odd_bytes(y1), k), t1)));
    }
};
using yuv422_rgb565 = yuv422_lane16<pixel_rgb565_t, pack_rgb565, dither_pattern_yuv422_rgb565>;
using yuv422_rgb555 = yuv422_lane16<pixel_rgb555_t, pack_rgb555, dither_pattern_yuv422_rgb555>;

struct yuv411_rgb565 {
    using pixel = pixel_rgb565_t;
    static constexpr unsigned block = 32, factor = 4;
    // Chroma is read eight samples at a time without an alignment requirement.
    static constexpr bool chroma_aligned = false, advance_before_tail = true;
    static dither_pattern* pattern() { return &dither_pattern_yuv411_rgb565; }
    template <class V>
    static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients& k) {
        return scalar_form<V>(k);
    }
    template <bool A, class V>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                              const lane_coeffs<V>& k, V pat0, V pat1) {
        using O = ops<V>;
        const V y0 = O::adds_u8(O::template load16<A>(y, 32), pat0);
        const V y1 = O::adds_u8(O::template load16<A>(y + 16, 32), pat1);
        const auto t = scalar_form_terms(centred(O::load8_wide(c1)), centred(O::load8_wide(c2)), k);
        // Pixels 2i and 2i+1 share sample i/2: samples 0..3 serve y0's even and odd pixels alike.
        const auto t03 = dup2_lo(t);
        const auto t47 = dup2_hi(t);
        store16_pairs<A>(dst, 64,
                         pack_rgb565::pack(sum_channels(luma_term(even_bytes(y0), k), t03)),
                         pack_rgb565::pack(sum_channels(luma_term(odd_bytes(y0), k), t03)));
        store16_pairs<A>(dst + 32, 64,
                         pack_rgb565::pack(sum_channels(luma_term(even_bytes(y1), k), t47)),
                         pack_rgb565::pack(sum_channels(luma_term(odd_bytes(y1), k), t47)));
    }
};

struct yuv444_rgb888 : no_dither {
    using pixel = pixel_rgb888_t;
    static constexpr unsigned block = 16, factor = 1;
    static constexpr bool chroma_aligned = true, advance_before_tail = false;
    template <class V>
    static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients& k) {
        return lane_form<V>(k);
    }
    template <bool A, class V>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                              const lane_coeffs<V>& k, V, V) {
        using O = ops<V>;
        const V yb = O::template load16<A>(y, 16);
        const V u = O::template load16<A>(c1, 16);
        const V v = O::template load16<A>(c2, 16);
        const auto t0 = lane_single_terms(centred(widen_lo(u)), centred(widen_lo(v)), k);
        const auto t1 = lane_single_terms(centred(widen_hi(u)), centred(widen_hi(v)), k);
        store_rgb888<A>(dst, 64, sum_channels(luma_term(widen_lo(yb), k), t0));
        store_rgb888<A>(dst + 32, 64, sum_channels(luma_term(widen_hi(yb), k), t1));
    }
};

struct yuv422_rgb888 : no_dither {
    using pixel = pixel_rgb888_t;
    static constexpr unsigned block = 16, factor = 2;
    static constexpr bool chroma_aligned = false, advance_before_tail = false;
    template <class V>
    static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients& k) {
        return scalar_form<V>(k);
    }
    template <bool A, class V>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                              const lane_coeffs<V>& k, V, V) {
        using O = ops<V>;
        const V yb = O::template load16<A>(y, 16);
        const auto t = scalar_form_terms(centred(O::load8_wide(c1)), centred(O::load8_wide(c2)), k);
        // Sample i serves pixels 2i and 2i+1: the even and the odd pixels take the terms as they
        // are.
        store_rgb888_pairs<A>(dst, 64, sum_channels(luma_term(even_bytes(yb), k), t),
                              sum_channels(luma_term(odd_bytes(yb), k), t));
    }
};

struct yuv411_rgb888 : no_dither {
    using pixel = pixel_rgb888_t;
    static constexpr unsigned block = 16, factor = 4;
    static constexpr bool chroma_aligned = false, advance_before_tail = false;
    template <class V>
    static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients& k) {
        return scalar_form<V>(k);
    }
    template <bool A, class V>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                              const lane_coeffs<V>& k, V, V) {
        using O = ops<V>;
        const V yb = O::template load16<A>(y, 16);
        // Pixels 2i and 2i+1 share sample i/2, so the even and the odd pixels take the same lanes.
        const auto t = dup2_lo(scalar_form_terms(centred(widen_lo(O::load4(c1, 4))),
                                                 centred(widen_lo(O::load4(c2, 4))), k));
        store_rgb888_pairs<A>(dst, 64, sum_channels(luma_term(even_bytes(yb), k), t),
                              sum_channels(luma_term(odd_bytes(yb), k), t));
    }
};

// Packed 24 bpp from a 32-bit kernel: the blocks are converted into an aligned temporary and each
// pixel's three low bytes are kept (ops<V>::pack_rgb24).
template <class Wide>
struct packed24 : no_dither {
    using pixel = pixel_rgb24_t;
    static constexpr unsigned block = Wide::block, factor = Wide::factor;
    static constexpr bool chroma_aligned = Wide::chroma_aligned, advance_before_tail = false;
    template <class V>
    static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients& k) {
        return Wide::template coeffs<V>(k);
    }
    template <bool A, class V>
    static void convert_block(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                              const lane_coeffs<V>& k, V pat0, V pat1) {
        constexpr unsigned pixels = block * ops<V>::halves;
        // Plain stores into the temporary: streaming ones would push it out of the cache.
        alignas(16) uint32_t wide[pixels];
        Wide::template convert_block<false, V>(y, c1, c2, reinterpret_cast<uint8_t*>(wide), k, pat0,
                                               pat1);
        ops<V>::pack_rgb24(wide, dst, pixels);
    }
};

}  // namespace
}  // namespace pixel_simd
