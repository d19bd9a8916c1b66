// SSE2 row converter into pixel_rgb555_t (4:2:2 only; 4:4:4 and 4:1:1 take the generic path).
#include "pixel/block_422_lane16.h"
#include "pixel/row_converters.h"
#include "pixel/row_engine.h"

namespace {

using namespace pixel_simd;

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

}  // namespace

template <>
void pixel_yuv422_to_rgb<pixel_rgb555_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb555_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    convert_row<yuv422_rgb555>(y, c1, c2, dst, width, k);
}
