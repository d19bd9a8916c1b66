#include "runtime/yuv_coefficients.h"

namespace {

// The blue-first table is the red-first one with the chroma roles exchanged: first chroma becomes
// V, so the low channel comes out red and the high channel blue.
constexpr yuv_to_rgb_coefficients exchange_chroma_roles(const yuv_to_rgb_coefficients& c) {
    return {c.high_from_c2,  c.low_from_c1, c.green_from_c2,
            c.green_from_c1, c.luma_offset, c.luma_gain};
}

// BT.601, limited range: black 16, luma gain 255/219 (298/256). The blue gain is held at 2.0
// instead of 2.018: scaled by 128 for the single-lane and 32-bit forms, anything above 2.0 gives a
// factor above 256, and (0 - 128) x 257 no longer fits a 16-bit lane.
constexpr yuv_to_rgb_coefficients bt601_limited = {
    2.0f,     // blue from U
    1.596f,   // red from V
    -0.391f,  // green from U
    -0.813f,  // green from V
    16,       // black level
    298,      // 1.164 in 1/256 units
};

}  // namespace

extern const yuv_to_rgb_coefficients standard_yuv_coefficients = bt601_limited;
extern const yuv_to_rgb_coefficients standard_yuv_coefficients_srb =
    exchange_chroma_roles(bt601_limited);
