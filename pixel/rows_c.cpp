// The scalar reference rows: per pixel, from the arithmetic alone, for every entry of the kernel
// table. They run on any processor, and every faster level is checked against them.
#include <algorithm>
#include <cstring>

#include "pixel/generic_pixel.h"
#include "pixel/kernel_table.h"

namespace {

int32_t sat16(int32_t v) { return std::clamp(v, -32768, 32767); }
int32_t lo16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)); }

// One pixel as its channels reduced to 8 bits (16-bit types keep the top 5 of them).
struct channels8 {
    uint32_t high, green, low;  // clamped sums, 0..32767
};

channels8 convert_pixel(coefficient_form form, int y, int c1s, int c2s, int dither,
                        const yuv_to_rgb_fp_coefficients& k) {
    const int yd = std::min(255, y + dither);
    const int32_t diff = lo16(yd - k.luma_offset_lanes[0]);
    const int32_t yt = sat16(2 * lo16(int64_t{diff} * k.luma_gain_lanes[0]));
    const int64_t c1 = c1s - 128;
    const int64_t c2 = c2s - 128;
    int32_t zc, xc, gc;
    switch (form) {
        case coefficient_form::lane_doubled:
            zc = sat16(2 * lo16(c1 * k.low_from_c1_lanes[0]));
            xc = sat16(2 * lo16(c2 * k.high_from_c2_lanes[0]));
            gc = sat16(lo16(c1 * k.green_from_c1_lanes[0]) + lo16(c2 * k.green_from_c2_lanes[0]));
            break;
        case coefficient_form::lane_single:
            zc = lo16(c1 * k.low_from_c1_lanes[0]);
            xc = lo16(c2 * k.high_from_c2_lanes[0]);
            gc = sat16(lo16(c1 * k.green_from_c1_lanes[0]) + lo16(c2 * k.green_from_c2_lanes[0]));
            break;
        default:
            zc = lo16(c1 * k.scaled_coeffs[0]);
            xc = lo16(c2 * k.scaled_coeffs[1]);
            gc = lo16(c1 * k.scaled_coeffs[2] + c2 * k.scaled_coeffs[3]);
            break;
    }
    return {static_cast<uint32_t>(std::max(0, sat16(xc + yt))),
            static_cast<uint32_t>(std::max(0, sat16(gc + yt))),
            static_cast<uint32_t>(std::max(0, sat16(zc + yt)))};
}

void store_pixel(pixel_kind kind, const channels8& c, uint8_t* at) {
    const uint32_t h = c.high, g = c.green, l = c.low;
    switch (kind) {
        case pixel_kind::rgb565: {
            const uint16_t p = static_cast<uint16_t>(((h & 0x7C00) << 1) | ((g & 0x7C00) >> 4) |
                                                     ((l & 0x7C00) >> 10));
            std::memcpy(at, &p, 2);
            break;
        }
        case pixel_kind::rgb555: {
            const uint16_t p =
                static_cast<uint16_t>((h & 0x7C00) | ((g & 0x7C00) >> 5) | ((l & 0x7C00) >> 10));
            std::memcpy(at, &p, 2);
            break;
        }
        case pixel_kind::rgb888: {
            const uint32_t p =
                ((h & 0x7F80) >> 7) << 16 | ((g & 0x7F80) >> 7) << 8 | (l & 0x7F80) >> 7;
            std::memcpy(at, &p, 4);
            break;
        }
        case pixel_kind::rgb24:
            at[0] = static_cast<uint8_t>(l >> 7);
            at[1] = static_cast<uint8_t>(g >> 7);
            at[2] = static_cast<uint8_t>(h >> 7);
            break;
    }
}

template <dither_pattern* P>
dither_pattern* pattern_of() {
    return P;
}
dither_pattern* no_pattern() { return nullptr; }

// The row walk of the vector converters, pixel by pixel: every full block sees the call's
// pattern; the tail block is a call of its own, so the pattern advances once more.
template <pixel_kind Kind, unsigned Block, unsigned Factor, coefficient_form Form,
          dither_pattern* (*Pattern)(), bool AdvanceBeforeTail>
void reference_row(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst,
                   unsigned width, const yuv_to_rgb_fp_coefficients& k) {
    constexpr size_t size = Kind == pixel_kind::rgb888 ? 4 : Kind == pixel_kind::rgb24 ? 3 : 2;
    uint8_t* out = static_cast<uint8_t*>(dst);
    dither_pattern* const pattern = Pattern();
    auto span = [&](unsigned from, unsigned to) {
        for (unsigned x = from; x < to; ++x) {
            const int d = pattern ? pattern->bytes[x % Block] : 0;
            const unsigned c = x / Factor;
            store_pixel(Kind, convert_pixel(Form, y[x], c1[c], c2[c], d, k), out + size * x);
        }
    };
    const unsigned full = width - width % Block;
    span(0, full);
    if (pattern && AdvanceBeforeTail) advance_dither(pattern);
    if (full < width) {
        span(full, width);
        if (pattern) advance_dither(pattern);
    }
    if (pattern && !AdvanceBeforeTail) advance_dither(pattern);
}

void generic_444(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst, unsigned width,
                 const yuv_to_rgb_fp_coefficients& k) {
    uint8_t* out = static_cast<uint8_t*>(dst);
    for (unsigned x = 0; x < width; ++x) {
        const uint16_t p = generic_pixel(y[x], c1[x], c2[x], k);
        std::memcpy(out + 2 * x, &p, 2);
    }
}

// Whole groups of four pixels only; the last width mod 4 pixels are left as they are.
void generic_411(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst, unsigned width,
                 const yuv_to_rgb_fp_coefficients& k) {
    uint8_t* out = static_cast<uint8_t*>(dst);
    for (unsigned x = 0; x < width / 4 * 4; ++x) {
        const uint16_t p = generic_pixel(y[x], c1[x / 4], c2[x / 4], k);
        std::memcpy(out + 2 * x, &p, 2);
    }
}

}  // namespace

void pixel_fill_reference_kernels(pixel_kernel_table* t) {
    using K = pixel_kind;
    using L = chroma_layout;
    using F = coefficient_form;
    // Block, factor, form, pattern and advance order of every entry, fixed here once.
    t->at(K::rgb565, L::yuv444) = {"yuv444_rgb565",
                                   reference_row<K::rgb565, 16, 1, F::lane_doubled,
                                                 pattern_of<&dither_pattern_yuv444_rgb565>, false>,
                                   "c",
                                   16,
                                   1,
                                   2,
                                   F::lane_doubled,
                                   &dither_pattern_yuv444_rgb565,
                                   false};
    t->at(K::rgb565, L::yuv422) = {"yuv422_rgb565",
                                   reference_row<K::rgb565, 32, 2, F::lane_doubled,
                                                 pattern_of<&dither_pattern_yuv422_rgb565>, false>,
                                   "c",
                                   32,
                                   2,
                                   2,
                                   F::lane_doubled,
                                   &dither_pattern_yuv422_rgb565,
                                   false};
    t->at(K::rgb565, L::yuv411) = {
        "yuv411_rgb565",
        reference_row<K::rgb565, 32, 4, F::scalar, pattern_of<&dither_pattern_yuv411_rgb565>, true>,
        "c",
        32,
        4,
        2,
        F::scalar,
        &dither_pattern_yuv411_rgb565,
        true};
    t->at(K::rgb555, L::yuv444) = {
        "yuv444_rgb555_generic", generic_444, "c", 16, 1, 2, F::generic, nullptr, false};
    t->at(K::rgb555, L::yuv422) = {"yuv422_rgb555",
                                   reference_row<K::rgb555, 32, 2, F::lane_doubled,
                                                 pattern_of<&dither_pattern_yuv422_rgb555>, false>,
                                   "c",
                                   32,
                                   2,
                                   2,
                                   F::lane_doubled,
                                   &dither_pattern_yuv422_rgb555,
                                   false};
    t->at(K::rgb555, L::yuv411) = {
        "yuv411_rgb555_generic", generic_411, "c", 16, 4, 2, F::generic, nullptr, false};
    t->at(K::rgb888, L::yuv444) = {
        "yuv444_rgb888",
        reference_row<K::rgb888, 16, 1, F::lane_single, no_pattern, false>,
        "c",
        16,
        1,
        4,
        F::lane_single,
        nullptr,
        false};
    t->at(K::rgb888, L::yuv422) = {"yuv422_rgb888",
                                   reference_row<K::rgb888, 16, 2, F::scalar, no_pattern, false>,
                                   "c",
                                   16,
                                   2,
                                   4,
                                   F::scalar,
                                   nullptr,
                                   false};
    t->at(K::rgb888, L::yuv411) = {"yuv411_rgb888",
                                   reference_row<K::rgb888, 16, 4, F::scalar, no_pattern, false>,
                                   "c",
                                   16,
                                   4,
                                   4,
                                   F::scalar,
                                   nullptr,
                                   false};
    // Packed 24 bpp: the 32-bit arithmetic and forms, three bytes a pixel.
    t->at(K::rgb24, L::yuv444) = {"yuv444_rgb24",
                                  reference_row<K::rgb24, 16, 1, F::lane_single, no_pattern, false>,
                                  "c",
                                  16,
                                  1,
                                  3,
                                  F::lane_single,
                                  nullptr,
                                  false};
    t->at(K::rgb24, L::yuv422) = {"yuv422_rgb24",
                                  reference_row<K::rgb24, 16, 2, F::scalar, no_pattern, false>,
                                  "c",
                                  16,
                                  2,
                                  3,
                                  F::scalar,
                                  nullptr,
                                  false};
    t->at(K::rgb24, L::yuv411) = {"yuv411_rgb24",
                                  reference_row<K::rgb24, 16, 4, F::scalar, no_pattern, false>,
                                  "c",
                                  16,
                                  4,
                                  3,
                                  F::scalar,
                                  nullptr,
                                  false};
}
