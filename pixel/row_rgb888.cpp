// SSE2 row converters into pixel_rgb888_t (no dither).
#include "pixel/row_converters.h"
#include "pixel/row_engine.h"

namespace {

using namespace pixel_simd;

struct no_dither {
    static dither_pattern* pattern() { return nullptr; }
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

}  // namespace

template <>
void pixel_yuv444_to_rgb<pixel_rgb888_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb888_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    convert_row<yuv444_rgb888>(y, c1, c2, dst, width, k);
}

template <>
void pixel_yuv422_to_rgb<pixel_rgb888_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb888_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    convert_row<yuv422_rgb888>(y, c1, c2, dst, width, k);
}

template <>
void pixel_yuv411_to_rgb<pixel_rgb888_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb888_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    convert_row<yuv411_rgb888>(y, c1, c2, dst, width, k);
}
