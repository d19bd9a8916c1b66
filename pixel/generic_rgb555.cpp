// Generic scalar conversion: the unspecialised 4:4:4 and 4:1:1 templates, which only
// pixel_rgb555_t reaches. Each instance says once per process that it is running.
#include <cstdio>

#include "pixel/kernel_table.h"
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

}  // namespace

template <typename T>
void pixel_yuv_prep_coeff_444(yuv_to_rgb_coefficients table, yuv_to_rgb_fp_coefficients* out) {
    warn_once(&prep_444_pending, prep_444_text);
    pixel_prep_generic_form(table, out);
}

template <typename T>
void pixel_yuv_prep_coeff_411(yuv_to_rgb_coefficients table, yuv_to_rgb_fp_coefficients* out) {
    warn_once(&prep_411_pending, prep_411_text);
    pixel_prep_generic_form(table, out);
}

template <typename T>
void pixel_yuv444_to_rgb(unsigned char* y, unsigned char* c1, unsigned char* c2, T* dst,
                         unsigned int width, yuv_to_rgb_fp_coefficients k) {
    warn_once(&convert_444_pending, convert_444_text);
    pixel_kernels().at(pixel_kind::rgb555, chroma_layout::yuv444).row(y, c1, c2, dst, width, k);
}

// Whole groups of four pixels only; the last width mod 4 pixels are left as they are.
template <typename T>
void pixel_yuv411_to_rgb(unsigned char* y, unsigned char* c1, unsigned char* c2, T* dst,
                         unsigned int width, yuv_to_rgb_fp_coefficients k) {
    warn_once(&convert_411_pending, convert_411_text);
    pixel_kernels().at(pixel_kind::rgb555, chroma_layout::yuv411).row(y, c1, c2, dst, width, k);
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
