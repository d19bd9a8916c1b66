#include "runtime/yuv_coefficients.h"

namespace {

// The blue-first table is the red-first one with the chroma roles exchanged: first chroma becomes
// V, so the low channel comes out red and the high channel blue.
constexpr yuv_to_rgb_coefficients exchange_chroma_roles(const yuv_to_rgb_coefficients& c) {
    return {c.high_from_c2,  c.low_from_c1, c.green_from_c2,
            c.green_from_c1, c.luma_offset, c.luma_gain};
}

// Scaled by 128 for the single-lane and 32-bit forms, a gain above 2.0 gives a factor above 256,
// and (0 - 128) x 257 no longer fits a 16-bit lane.
constexpr double kMaxGain = 2.0;

// BT.601, limited range: black 16, luma gain 255/219 (298/256). The blue gain is held at 2.0
// instead of 2.018. Kept as the long-standing literals: pictures must not change by a bit.
constexpr yuv_to_rgb_coefficients bt601_limited = {
    2.0f,     // blue from U
    1.596f,   // red from V
    -0.391f,  // green from U
    -0.813f,  // green from V
    16,       // black level
    298,      // 1.164 in 1/256 units
};

// The other signals from the matrix's luma weights. Limited range stretches chroma by 255/224;
// BT.709 limited wants 2.112 for blue, held at 2.0 like BT.601's.
yuv_to_rgb_coefficients from_weights(double kr, double kb, bool full_range) {
    const double kg = 1 - kr - kb;
    const double chroma = full_range ? 1.0 : 255.0 / 224.0;
    double blue = 2 * (1 - kb) * chroma;
    if (blue > kMaxGain) blue = kMaxGain;
    return {
        static_cast<float>(blue),
        static_cast<float>(2 * (1 - kr) * chroma),
        static_cast<float>(-2 * (1 - kb) * kb / kg * chroma),
        static_cast<float>(-2 * (1 - kr) * kr / kg * chroma),
        full_range ? 0u : 16u,
        full_range ? 256u : 298u,
    };
}

}  // namespace

yuv_to_rgb_coefficients standard_yuv_coefficients = bt601_limited;
yuv_to_rgb_coefficients standard_yuv_coefficients_srb = exchange_chroma_roles(bt601_limited);

yuv_to_rgb_coefficients yuv_coefficients_for(const colour_signal& s) {
    if (s.matrix == colour_matrix::bt601 && !s.full_range) return bt601_limited;
    if (s.matrix == colour_matrix::bt601) return from_weights(0.299, 0.114, true);
    return from_weights(0.2126, 0.0722, s.full_range);
}

void yuv_coefficients_select(const colour_signal& signal) {
    standard_yuv_coefficients = yuv_coefficients_for(signal);
    standard_yuv_coefficients_srb = exchange_chroma_roles(standard_yuv_coefficients);
}

const char* colour_signal_name(const colour_signal& s) {
    if (s.matrix == colour_matrix::bt709) return s.full_range ? "BT.709 full" : "BT.709 limited";
    return s.full_range ? "BT.601 full" : "BT.601 limited";
}
