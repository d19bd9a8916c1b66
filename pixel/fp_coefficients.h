// Fixed-point colour coefficients and their preparation from the runtime's float tables.
#pragma once

#include <cstdint>

#include "pixel/pixel_types.h"
#include "runtime/yuv_coefficients.h"

// Built once per frame on the frame converter's stack and passed by value to every row converter
// call. The lane fields are loaded with aligned vector loads, so each sits on a 16-byte boundary,
// in the by-value copy as well.
struct alignas(16) yuv_to_rgb_fp_coefficients {
    // Scalar form: the four gains in table order, x128, truncated.
    int32_t scaled_coeffs[4];
    // Lane form: low 16 bits of the truncated scaled gain, in all eight lanes.
    alignas(16) int16_t low_from_c1_lanes[8];
    alignas(16) int16_t high_from_c2_lanes[8];
    alignas(16) int16_t green_from_c1_lanes[8];
    alignas(16) int16_t green_from_c2_lanes[8];
    // Both forms.
    alignas(16) uint16_t luma_offset_lanes[8];
    alignas(16) uint16_t luma_gain_lanes[8];  // luma_gain >> 2
    // Generic conversion only: the gains x256 in table order, and the luma terms whole.
    int32_t generic_gains[4];
    uint32_t generic_luma_offset;
    uint32_t generic_luma_gain;
};

// One preparation per pixel type and chroma layout. The unspecialised templates are the generic
// preparation (only pixel_rgb555_t uses it, for 4:4:4 and 4:1:1).
template <typename T>
void pixel_yuv_prep_coeff_444(yuv_to_rgb_coefficients table, yuv_to_rgb_fp_coefficients* out);
template <typename T>
void pixel_yuv_prep_coeff_422(yuv_to_rgb_coefficients table, yuv_to_rgb_fp_coefficients* out);
template <typename T>
void pixel_yuv_prep_coeff_411(yuv_to_rgb_coefficients table, yuv_to_rgb_fp_coefficients* out);

template <>
void pixel_yuv_prep_coeff_444<pixel_rgb565_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb565_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_411<pixel_rgb565_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb555_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_444<pixel_rgb888_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb888_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_411<pixel_rgb888_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);

template <>
void pixel_yuv_prep_coeff_444<pixel_rgb24_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_422<pixel_rgb24_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);
template <>
void pixel_yuv_prep_coeff_411<pixel_rgb24_t>(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);

extern template void pixel_yuv_prep_coeff_444<pixel_rgb555_t>(yuv_to_rgb_coefficients,
                                                              yuv_to_rgb_fp_coefficients*);
extern template void pixel_yuv_prep_coeff_411<pixel_rgb555_t>(yuv_to_rgb_coefficients,
                                                              yuv_to_rgb_fp_coefficients*);

// The two fixed-point forms, for the specialisations above and for tests.
void pixel_prep_lane_form(const yuv_to_rgb_coefficients& table, float scale_a, float scale_b,
                          yuv_to_rgb_fp_coefficients* out);
void pixel_prep_scalar_form(const yuv_to_rgb_coefficients& table, yuv_to_rgb_fp_coefficients* out);
// The generic conversion's gains (x256, truncated) and whole luma terms; prints nothing.
void pixel_prep_generic_form(const yuv_to_rgb_coefficients& table, yuv_to_rgb_fp_coefficients* out);

// trunc(value) kept to its low 32 bits; 0 for values no integer type can hold (NaN, huge).
int32_t pixel_truncate_low32(float value);
