// The colour tables the runtime supplies to the pixel code.
#pragma once

#include <cstdint>

struct yuv_to_rgb_coefficients {
    float low_from_c1;     // gain of (first chroma - 128) in the low channel
    float high_from_c2;    // gain of (second chroma - 128) in the high channel
    float green_from_c1;   // signed gain of (first chroma - 128) in green
    float green_from_c2;   // signed gain of (second chroma - 128) in green
    uint32_t luma_offset;  // black level
    uint32_t luma_gain;    // in 1/256 units
};

// For red-first framebuffers: first chroma U, second chroma V.
extern const yuv_to_rgb_coefficients standard_yuv_coefficients;
// For blue-first framebuffers: the same matrix with the chroma roles exchanged.
extern const yuv_to_rgb_coefficients standard_yuv_coefficients_srb;
