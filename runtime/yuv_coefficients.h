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

// For red-first framebuffers: first chroma U, second chroma V. Follows the playing item's colour
// signal; BT.601 limited range until an item says otherwise.
extern yuv_to_rgb_coefficients standard_yuv_coefficients;
// For blue-first framebuffers: the same matrix with the chroma roles exchanged.
extern yuv_to_rgb_coefficients standard_yuv_coefficients_srb;

enum class colour_matrix { bt601, bt709 };

// How a source's samples encode colour.
struct colour_signal {
    colour_matrix matrix = colour_matrix::bt601;
    bool full_range = false;  // 0..255 instead of luma 16..235, chroma 16..240
};

// The red-first table for a colour signal. No gain exceeds 2.0, so no chroma sample 0..255 leaves
// a 16-bit lane in the pixel code's single-lane and scalar forms.
yuv_to_rgb_coefficients yuv_coefficients_for(const colour_signal& signal);
// Makes both tables follow `signal`; the blue-first one is always derived from the red-first one.
void yuv_coefficients_select(const colour_signal& signal);
// "BT.601 limited" and the like, for log lines and tests.
const char* colour_signal_name(const colour_signal& signal);
