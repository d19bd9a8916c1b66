#include "pixel/dither.h"

#include "pixel/dither_draws.h"

uint32_t dither_state = 0x83783AF7u;

dither_pattern dither_pattern_yuv444_rgb565 = {};
dither_pattern dither_pattern_yuv422_rgb565 = {};
dither_pattern dither_pattern_yuv411_rgb565 = {};
dither_pattern dither_pattern_yuv422_rgb555 = {};

void advance_dither(dither_pattern* pattern) {
    // The state stays in a register: the pattern's bytes may alias the global, so updating it in
    // place would store and reload it around every byte.
    uint32_t state = dither_state;
    for (int k = 0; k < 8; ++k) {
        const uint32_t noise = static_cast<uint32_t>(dither_draw()) & 0x00330012u;
        state = ((state << 13) | (state >> 19)) ^ noise;
        // Word k is bytes 4k..4k+3 read little-endian, whatever the processor's byte order.
        const uint32_t flips = state & 0x07070707u;
        uint8_t* w = pattern->bytes + 4 * k;
        const uint32_t word =
            (w[0] | w[1] << 8 | w[2] << 16 | static_cast<uint32_t>(w[3]) << 24) ^ flips;
        for (int b = 0; b < 4; ++b) w[b] = static_cast<uint8_t>(word >> 8 * b);
    }
    dither_state = state;
}
