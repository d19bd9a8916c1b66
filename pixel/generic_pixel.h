// One pixel of the generic 15-bit conversion, shared by the scalar reference and the last pixels
// of the vector rows.
#pragma once

#include <cstdint>

#include "pixel/fp_coefficients.h"

namespace {

// The generic 15-bit conversion: signed 32-bit arithmetic that keeps the low 32 bits of every
// product and sum, an arithmetic shift, and the top bit set.
inline int32_t wrap_mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t wrap_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline uint32_t clamp_byte(int32_t v) {
    return v < 0 ? 0u : v > 255 ? 255u : static_cast<uint32_t>(v);
}

inline uint16_t generic_pixel(uint8_t y, uint8_t c1s, uint8_t c2s,
                              const yuv_to_rgb_fp_coefficients& k) {
    const int32_t luma = static_cast<int32_t>((y - k.generic_luma_offset) * k.generic_luma_gain);
    const int32_t c1 = c1s - 128;
    const int32_t c2 = c2s - 128;
    const int32_t low = wrap_add(luma, wrap_mul(k.generic_gains[0], c1)) >> 8;
    const int32_t high = wrap_add(luma, wrap_mul(k.generic_gains[1], c2)) >> 8;
    const int32_t green = wrap_add(wrap_add(luma, wrap_mul(k.generic_gains[2], c1)),
                                   wrap_mul(k.generic_gains[3], c2)) >>
                          8;
    return static_cast<uint16_t>(0x8000u | (clamp_byte(high) >> 3) << 10 |
                                 (clamp_byte(green) >> 3) << 5 | clamp_byte(low) >> 3);
}

}  // namespace
