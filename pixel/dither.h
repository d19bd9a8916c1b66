// Ordered dither of the 16-bit converters: one pattern per converter, one shared state word.
#pragma once

#include <cstdint>

// 32 bytes, each 0..7, added to luma (saturating) by pixel position within a block.
struct dither_pattern {
    alignas(16) uint8_t bytes[32];
};

// Shared by the four dithering converters; perturbed with the C library generator's sequence
// (dither_draws.h) after every call.
extern uint32_t dither_state;

extern dither_pattern dither_pattern_yuv444_rgb565;
extern dither_pattern dither_pattern_yuv422_rgb565;
extern dither_pattern dither_pattern_yuv411_rgb565;
extern dither_pattern dither_pattern_yuv422_rgb555;

// Eight draws; flips up to three low bits of each pattern byte.
void advance_dither(dither_pattern* pattern);
