// SSE2 row converters into pixel_rgb565_t, with ordered dither.
#include "pixel/block_422_lane16.h"
#include "pixel/row_converters.h"
#include "pixel/row_engine.h"

namespace {

using namespace pixel_simd;

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

}  // namespace

template <>
void pixel_yuv444_to_rgb<pixel_rgb565_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb565_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    convert_row<yuv444_rgb565>(y, c1, c2, dst, width, k);
}

template <>
void pixel_yuv422_to_rgb<pixel_rgb565_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb565_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    convert_row<yuv422_rgb565>(y, c1, c2, dst, width, k);
}

template <>
void pixel_yuv411_to_rgb<pixel_rgb565_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb565_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    convert_row<yuv411_rgb565>(y, c1, c2, dst, width, k);
}
