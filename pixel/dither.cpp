#include "pixel/dither.h"

#include <cstdlib>
#include <cstring>

uint32_t dither_state = 0x83783AF7u;

dither_pattern dither_pattern_yuv444_rgb565 = {};
dither_pattern dither_pattern_yuv422_rgb565 = {};
dither_pattern dither_pattern_yuv411_rgb565 = {};
dither_pattern dither_pattern_yuv422_rgb555 = {};

void advance_dither(dither_pattern* pattern) {
    for (int k = 0; k < 8; ++k) {
        const uint32_t noise = static_cast<uint32_t>(std::rand()) & 0x00330012u;
        dither_state = ((dither_state << 13) | (dither_state >> 19)) ^ noise;
        uint32_t word;
        std::memcpy(&word, pattern->bytes + 4 * k, 4);  // x86-64: little-endian, as intended
        word ^= dither_state & 0x07070707u;
        std::memcpy(pattern->bytes + 4 * k, &word, 4);
    }
}
