#include "pixel/row_converters.h"
#include "row_cases.h"
#include "scalar_twins.h"

namespace {

template <typename T, void (*F)(unsigned char*, unsigned char*, unsigned char*, T*, unsigned int,
                                yuv_to_rgb_fp_coefficients)>
void erase(unsigned char* y, unsigned char* c1, unsigned char* c2, void* dst, unsigned width,
           const yuv_to_rgb_fp_coefficients& k) {
    F(y, c1, c2, static_cast<T*>(dst), width, k);
}

// Overloaded twins need their type spelt out to take their address.
template <typename T>
using row_fn = void (*)(unsigned char*, unsigned char*, unsigned char*, T*, unsigned int,
                        yuv_to_rgb_fp_coefficients);

}  // namespace

const std::vector<row_case>& all_row_cases() {
    using p565 = pixel_rgb565_t;
    using p555 = pixel_rgb555_t;
    using p888 = pixel_rgb888_t;
    static const std::vector<row_case> cases = {
        {"yuv444_rgb565", erase<p565, pixel_yuv444_to_rgb<p565>>,
         erase<p565, static_cast<row_fn<p565>>(pixel_yuv444_to_rgb_scalar)>, 16, 1, 2,
         &dither_pattern_yuv444_rgb565, 565, true, 64.0f},
        {"yuv422_rgb565", erase<p565, pixel_yuv422_to_rgb<p565>>,
         erase<p565, static_cast<row_fn<p565>>(pixel_yuv422_to_rgb_scalar)>, 32, 2, 2,
         &dither_pattern_yuv422_rgb565, 565, true, 64.0f},
        {"yuv411_rgb565", erase<p565, pixel_yuv411_to_rgb<p565>>,
         erase<p565, static_cast<row_fn<p565>>(pixel_yuv411_to_rgb_scalar)>, 32, 4, 2,
         &dither_pattern_yuv411_rgb565, 565, false, 128.0f},
        {"yuv422_rgb555", erase<p555, pixel_yuv422_to_rgb<p555>>,
         erase<p555, static_cast<row_fn<p555>>(pixel_yuv422_to_rgb_scalar)>, 32, 2, 2,
         &dither_pattern_yuv422_rgb555, 555, true, 64.0f},
        {"yuv444_rgb888", erase<p888, pixel_yuv444_to_rgb<p888>>,
         erase<p888, static_cast<row_fn<p888>>(pixel_yuv444_to_rgb_scalar)>, 16, 1, 4, nullptr, 888,
         true, 128.0f},
        {"yuv422_rgb888", erase<p888, pixel_yuv422_to_rgb<p888>>,
         erase<p888, static_cast<row_fn<p888>>(pixel_yuv422_to_rgb_scalar)>, 16, 2, 4, nullptr, 888,
         false, 128.0f},
        {"yuv411_rgb888", erase<p888, pixel_yuv411_to_rgb<p888>>,
         erase<p888, static_cast<row_fn<p888>>(pixel_yuv411_to_rgb_scalar)>, 16, 4, 4, nullptr, 888,
         false, 128.0f},
    };
    return cases;
}

yuv_to_rgb_fp_coefficients prepare_for(const row_case& c, const yuv_to_rgb_coefficients& table) {
    yuv_to_rgb_fp_coefficients k{};
    if (c.lane_form) {
        pixel_prep_lane_form(table, c.scale_a, 128.0f, &k);
    } else {
        pixel_prep_scalar_form(table, &k);
    }
    return k;
}
