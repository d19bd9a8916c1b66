#include <cmath>

#include "pixel/fp_coefficients.h"

int32_t pixel_truncate_low32(float value) {
    // Beyond +-2^62 (or NaN) the conversion to an integer is undefined; such a gain is meaningless
    // anyway, so it becomes 0 instead of whatever the processor happens to produce.
    const double t = std::trunc(static_cast<double>(value));
    if (!(t > -4.6e18 && t < 4.6e18)) return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(t)));
}

namespace {

void fill_lanes(int16_t* lanes, int16_t value) {
    for (int i = 0; i < 8; ++i) lanes[i] = value;
}

int16_t low16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

void fill_luma_lanes(const yuv_to_rgb_coefficients& table, yuv_to_rgb_fp_coefficients* out) {
    for (int i = 0; i < 8; ++i) {
        out->luma_offset_lanes[i] = static_cast<uint16_t>(table.luma_offset);
        out->luma_gain_lanes[i] = static_cast<uint16_t>(table.luma_gain >> 2);
    }
}

}  // namespace

void pixel_prep_lane_form(const yuv_to_rgb_coefficients& table, float scale_a, float scale_b,
                          yuv_to_rgb_fp_coefficients* out) {
    fill_lanes(out->low_from_c1_lanes, low16(pixel_truncate_low32(table.low_from_c1 * scale_a)));
    fill_lanes(out->high_from_c2_lanes, low16(pixel_truncate_low32(table.high_from_c2 * scale_a)));
    fill_lanes(out->green_from_c1_lanes,
               low16(pixel_truncate_low32(table.green_from_c1 * scale_b)));
    fill_lanes(out->green_from_c2_lanes,
               low16(pixel_truncate_low32(table.green_from_c2 * scale_b)));
    fill_luma_lanes(table, out);
}

void pixel_prep_scalar_form(const yuv_to_rgb_coefficients& table, yuv_to_rgb_fp_coefficients* out) {
    out->scaled_coeffs[0] = pixel_truncate_low32(table.low_from_c1 * 128.0f);
    out->scaled_coeffs[1] = pixel_truncate_low32(table.high_from_c2 * 128.0f);
    out->scaled_coeffs[2] = pixel_truncate_low32(table.green_from_c1 * 128.0f);
    out->scaled_coeffs[3] = pixel_truncate_low32(table.green_from_c2 * 128.0f);
    fill_luma_lanes(table, out);
}

void pixel_prep_generic_form(const yuv_to_rgb_coefficients& t, yuv_to_rgb_fp_coefficients* out) {
    out->generic_gains[0] = pixel_truncate_low32(t.low_from_c1 * 256.0f);
    out->generic_gains[1] = pixel_truncate_low32(t.high_from_c2 * 256.0f);
    out->generic_gains[2] = pixel_truncate_low32(t.green_from_c1 * 256.0f);
    out->generic_gains[3] = pixel_truncate_low32(t.green_from_c2 * 256.0f);
    out->generic_luma_offset = t.luma_offset;
    out->generic_luma_gain = t.luma_gain;
}

// Lane-form gains scaled by 64 are doubled by the converter; those scaled by 128 are used as they
// are. Both end up at 128 per step of an 8-bit channel.
template <>
void pixel_yuv_prep_coeff_444<pixel_rgb565_t>(yuv_to_rgb_coefficients t,
                                              yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_lane_form(t, 64.0f, 128.0f, out);
}
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb565_t>(yuv_to_rgb_coefficients t,
                                              yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_lane_form(t, 64.0f, 128.0f, out);
}
template <>
void pixel_yuv_prep_coeff_411<pixel_rgb565_t>(yuv_to_rgb_coefficients t,
                                              yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_scalar_form(t, out);
}
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb555_t>(yuv_to_rgb_coefficients t,
                                              yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_lane_form(t, 64.0f, 128.0f, out);
}
template <>
void pixel_yuv_prep_coeff_444<pixel_rgb888_t>(yuv_to_rgb_coefficients t,
                                              yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_lane_form(t, 128.0f, 128.0f, out);
}
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb888_t>(yuv_to_rgb_coefficients t,
                                              yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_scalar_form(t, out);
}
template <>
void pixel_yuv_prep_coeff_411<pixel_rgb888_t>(yuv_to_rgb_coefficients t,
                                              yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_scalar_form(t, out);
}
// Packed 24 bpp takes the 32-bit forms, so that both give the same channel values.
template <>
void pixel_yuv_prep_coeff_444<pixel_rgb24_t>(yuv_to_rgb_coefficients t,
                                             yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_lane_form(t, 128.0f, 128.0f, out);
}
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb24_t>(yuv_to_rgb_coefficients t,
                                             yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_scalar_form(t, out);
}
template <>
void pixel_yuv_prep_coeff_411<pixel_rgb24_t>(yuv_to_rgb_coefficients t,
                                             yuv_to_rgb_fp_coefficients* out) {
    pixel_prep_scalar_form(t, out);
}
