// Framebuffer pixel types. Distinct types, so that converters can be specialised per layout.
#pragma once

#include <cstdint>

// High channel bits 15..11, green bits 10..6 (bit 5 always 0), low channel bits 4..0.
struct pixel_rgb565_t {
    uint16_t value;
};
// Bit 15, high channel bits 14..10, green bits 9..5, low channel bits 4..0.
struct pixel_rgb555_t {
    uint16_t value;
};
// Top byte 0, high channel byte 2, green byte 1, low channel byte 0.
struct pixel_rgb888_t {
    uint32_t value;
};

// Packed 24 bpp: low channel byte 0, green byte 1, high channel byte 2; no padding byte.
struct pixel_rgb24_t {
    uint8_t bytes[3];
};

static_assert(sizeof(pixel_rgb565_t) == 2 && sizeof(pixel_rgb555_t) == 2);
static_assert(sizeof(pixel_rgb888_t) == 4 && sizeof(pixel_rgb24_t) == 3);
