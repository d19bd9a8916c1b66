#include "pixel/dither.h"

#include "pixel/dither_draws.h"

uint32_t dither_state = 0x83783AF7u;

dither_pattern dither_pattern_yuv444_rgb565 = {};
dither_pattern dither_pattern_yuv422_rgb565 = {};
dither_pattern dither_pattern_yuv411_rgb565 = {};
dither_pattern dither_pattern_yuv422_rgb555 = {};

void advance_dither(dither_pattern* pattern) {
    for (int k = 0; k < 8; ++k) {
        const uint32_t noise = static_cast<uint32_t>(dither_draw()) & 0x00330012u;
        dither_state = ((dither_state << 13) | (dither_state >> 19)) ^ noise;
        // Word k is bytes 4k..4k+3 read little-endian, whatever the processor's byte order.
        const uint32_t flips = dither_state & 0x07070707u;
        for (int b = 0; b < 4; ++b)
            pattern->bytes[4 * k + b] ^= static_cast<uint8_t>(flips >> 8 * b);
    }
}
