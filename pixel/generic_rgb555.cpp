// Generic scalar conversion: the unspecialised 4:4:4 and 4:1:1 templates, which only
// pixel_rgb555_t reaches. Each instance says once per process that it is running.
#include <cstdio>

#include "pixel/row_converters.h"

namespace {

// One-time flags, one per instance; the red-first and blue-first converters share them.
bool prep_444_pending = true;
bool convert_444_pending = true;
bool prep_411_pending = true;
bool convert_411_pending = true;

// Fixed texts, so that the lines do not depend on the compiler's spelling of the signature.
constexpr const char prep_444_text[] =
    "void pixel_yuv_prep_coeff_444(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*) "
    "[with T = pixel_rgb555_t]";
constexpr const char convert_444_text[] =
    "void pixel_yuv444_to_rgb(unsigned char*, unsigned char*, unsigned char*, T*, unsigned int, "
    "yuv_to_rgb_fp_coefficients) [with T = pixel_rgb555_t]";
constexpr const char prep_411_text[] =
    "void pixel_yuv_prep_coeff_411(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*) "
    "[with T = pixel_rgb555_t]";
constexpr const char convert_411_text[] =
    "void pixel_yuv411_to_rgb(unsigned char*, unsigned char*, unsigned char*, T*, unsigned int, "
    "yuv_to_rgb_fp_coefficients) [with T = pixel_rgb555_t]";

void warn_once(bool* pending, const char* text) {
    if (!*pending) return;
    std::fprintf(stderr, "GENERIC WARNING: %s\n", text);
    *pending = false;
}

int32_t gain_x256(float gain) { return pixel_truncate_low32(gain * 256.0f); }

void prepare_generic(const yuv_to_rgb_coefficients& t, yuv_to_rgb_fp_coefficients* out) {
    out->generic_gains[0] = gain_x256(t.low_from_c1);
    out->generic_gains[1] = gain_x256(t.high_from_c2);
    out->generic_gains[2] = gain_x256(t.green_from_c1);
    out->generic_gains[3] = gain_x256(t.green_from_c2);
    out->generic_luma_offset = t.luma_offset;
    out->generic_luma_gain = t.luma_gain;
}

// 32-bit arithmetic that keeps the low 32 bits of every product and sum.
int32_t wrap_mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t wrap_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
uint32_t clamp_byte(int32_t v) { return v < 0 ? 0u : v > 255 ? 255u : static_cast<uint32_t>(v); }

uint16_t generic_pixel(unsigned char y, unsigned char c1s, unsigned char c2s,
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

template <typename T>
void pixel_yuv_prep_coeff_444(yuv_to_rgb_coefficients table, yuv_to_rgb_fp_coefficients* out) {
    warn_once(&prep_444_pending, prep_444_text);
    prepare_generic(table, out);
}

template <typename T>
void pixel_yuv_prep_coeff_411(yuv_to_rgb_coefficients table, yuv_to_rgb_fp_coefficients* out) {
    warn_once(&prep_411_pending, prep_411_text);
    prepare_generic(table, out);
}

template <typename T>
void pixel_yuv444_to_rgb(unsigned char* y, unsigned char* c1, unsigned char* c2, T* dst,
                         unsigned int width, yuv_to_rgb_fp_coefficients k) {
    warn_once(&convert_444_pending, convert_444_text);
    for (unsigned int x = 0; x < width; ++x) dst[x].value = generic_pixel(y[x], c1[x], c2[x], k);
}

// Whole groups of four pixels only; the last width mod 4 pixels are left as they are.
template <typename T>
void pixel_yuv411_to_rgb(unsigned char* y, unsigned char* c1, unsigned char* c2, T* dst,
                         unsigned int width, yuv_to_rgb_fp_coefficients k) {
    warn_once(&convert_411_pending, convert_411_text);
    for (unsigned int g = 0; g < width / 4; ++g) {
        for (unsigned int i = 0; i < 4; ++i) {
            dst[4 * g + i].value = generic_pixel(y[4 * g + i], c1[g], c2[g], k);
        }
    }
}

template void pixel_yuv_prep_coeff_444<pixel_rgb555_t>(yuv_to_rgb_coefficients,
                                                       yuv_to_rgb_fp_coefficients*);
template void pixel_yuv_prep_coeff_411<pixel_rgb555_t>(yuv_to_rgb_coefficients,
                                                       yuv_to_rgb_fp_coefficients*);
template void pixel_yuv444_to_rgb<pixel_rgb555_t>(unsigned char*, unsigned char*, unsigned char*,
                                                  pixel_rgb555_t*, unsigned int,
                                                  yuv_to_rgb_fp_coefficients);
template void pixel_yuv411_to_rgb<pixel_rgb555_t>(unsigned char*, unsigned char*, unsigned char*,
                                                  pixel_rgb555_t*, unsigned int,
                                                  yuv_to_rgb_fp_coefficients);
