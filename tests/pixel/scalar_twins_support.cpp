#include <algorithm>
#include <cstring>

#include "pixel/dither.h"
#include "scalar_twins.h"

namespace {

enum class form { lane_doubled, lane_single, scalar };
enum class packing { rgb565, rgb555, rgb888 };

struct twin {
    unsigned block;
    unsigned factor;
    form chroma;
    packing pack;
    dither_pattern* pattern;  // null: no dither
    bool advance_before_tail;
};

int32_t sat16(int32_t v) { return std::clamp(v, -32768, 32767); }
int32_t lo16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)); }

uint32_t convert_pixel(const twin& t, int y, int c1s, int c2s, int dither,
                       const yuv_to_rgb_fp_coefficients& k) {
    const int yd = std::min(255, y + dither);
    const int32_t diff = lo16(yd - k.luma_offset_lanes[0]);
    const int32_t yt = sat16(2 * lo16(int64_t{diff} * k.luma_gain_lanes[0]));
    const int64_t c1 = c1s - 128;
    const int64_t c2 = c2s - 128;
    int32_t zc, xc, gc;
    switch (t.chroma) {
        case form::lane_doubled:
            zc = sat16(2 * lo16(c1 * k.low_from_c1_lanes[0]));
            xc = sat16(2 * lo16(c2 * k.high_from_c2_lanes[0]));
            gc = sat16(lo16(c1 * k.green_from_c1_lanes[0]) + lo16(c2 * k.green_from_c2_lanes[0]));
            break;
        case form::lane_single:
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
    const uint32_t h = std::max(0, sat16(xc + yt));
    const uint32_t g = std::max(0, sat16(gc + yt));
    const uint32_t l = std::max(0, sat16(zc + yt));
    switch (t.pack) {
        case packing::rgb565:
            return ((h & 0x7C00) << 1) | ((g & 0x7C00) >> 4) | ((l & 0x7C00) >> 10);
        case packing::rgb555:
            return (h & 0x7C00) | ((g & 0x7C00) >> 5) | ((l & 0x7C00) >> 10);
        default:
            return (((h & 0x7F80) >> 7) << 16) | (((g & 0x7F80) >> 7) << 8) | ((l & 0x7F80) >> 7);
    }
}

void convert_span(const twin& t, const unsigned char* y, const unsigned char* c1,
                  const unsigned char* c2, unsigned char* dst, unsigned from, unsigned to,
                  const yuv_to_rgb_fp_coefficients& k) {
    const size_t size = t.pack == packing::rgb888 ? 4 : 2;
    for (unsigned x = from; x < to; ++x) {
        const int d = t.pattern ? t.pattern->bytes[x % t.block] : 0;
        const unsigned c = x / t.factor;
        const uint32_t p = convert_pixel(t, y[x], c1[c], c2[c], d, k);
        if (size == 4) {
            std::memcpy(dst + 4 * x, &p, 4);
        } else {
            const uint16_t p16 = static_cast<uint16_t>(p);
            std::memcpy(dst + 2 * x, &p16, 2);
        }
    }
}

void convert_row(const twin& t, const unsigned char* y, const unsigned char* c1,
                 const unsigned char* c2, void* dst, unsigned width,
                 const yuv_to_rgb_fp_coefficients& k) {
    unsigned char* out = static_cast<unsigned char*>(dst);
    const unsigned full = width - width % t.block;
    convert_span(t, y, c1, c2, out, 0, full, k);
    if (t.pattern && t.advance_before_tail) advance_dither(t.pattern);
    if (full < width) {
        convert_span(t, y, c1, c2, out, full, width, k);
        if (t.pattern) advance_dither(t.pattern);  // the tail block is a call of its own
    }
    if (t.pattern && !t.advance_before_tail) advance_dither(t.pattern);
}

}  // namespace

void pixel_yuv444_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb565_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k) {
    const twin t{16, 1, form::lane_doubled, packing::rgb565, &dither_pattern_yuv444_rgb565, false};
    convert_row(t, y, c1, c2, dst, width, k);
}
void pixel_yuv422_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb565_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k) {
    const twin t{32, 2, form::lane_doubled, packing::rgb565, &dither_pattern_yuv422_rgb565, false};
    convert_row(t, y, c1, c2, dst, width, k);
}
void pixel_yuv411_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb565_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k) {
    const twin t{32, 4, form::scalar, packing::rgb565, &dither_pattern_yuv411_rgb565, true};
    convert_row(t, y, c1, c2, dst, width, k);
}
void pixel_yuv422_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb555_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k) {
    const twin t{32, 2, form::lane_doubled, packing::rgb555, &dither_pattern_yuv422_rgb555, false};
    convert_row(t, y, c1, c2, dst, width, k);
}
void pixel_yuv444_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb888_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k) {
    const twin t{16, 1, form::lane_single, packing::rgb888, nullptr, false};
    convert_row(t, y, c1, c2, dst, width, k);
}
void pixel_yuv422_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb888_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k) {
    const twin t{16, 2, form::scalar, packing::rgb888, nullptr, false};
    convert_row(t, y, c1, c2, dst, width, k);
}
void pixel_yuv411_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb888_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k) {
    const twin t{16, 4, form::scalar, packing::rgb888, nullptr, false};
    convert_row(t, y, c1, c2, dst, width, k);
}
