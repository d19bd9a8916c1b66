// Row converters: one line of planar YUV into framebuffer pixels. Parameters: luma row, first
// chroma row, second chroma row, destination, width in pixels, coefficients (by value).
#pragma once

#include "pixel/fp_coefficients.h"
#include "pixel/pixel_types.h"

// Each is a thin caller of its kernel table entry. The unspecialised 4:4:4 and 4:1:1 templates are
// the generic conversion, used only by pixel_rgb555_t: they say so once per process, then run
// their entry too.
template <typename T>
void pixel_yuv444_to_rgb(unsigned char* y, unsigned char* c1, unsigned char* c2, T* dst,
                         unsigned int width, yuv_to_rgb_fp_coefficients k);
template <typename T>
void pixel_yuv422_to_rgb(unsigned char* y, unsigned char* c1, unsigned char* c2, T* dst,
                         unsigned int width, yuv_to_rgb_fp_coefficients k);
template <typename T>
void pixel_yuv411_to_rgb(unsigned char* y, unsigned char* c1, unsigned char* c2, T* dst,
                         unsigned int width, yuv_to_rgb_fp_coefficients k);

template <>
void pixel_yuv444_to_rgb<pixel_rgb565_t>(unsigned char*, unsigned char*, unsigned char*,
                                         pixel_rgb565_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv422_to_rgb<pixel_rgb565_t>(unsigned char*, unsigned char*, unsigned char*,
                                         pixel_rgb565_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv411_to_rgb<pixel_rgb565_t>(unsigned char*, unsigned char*, unsigned char*,
                                         pixel_rgb565_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv422_to_rgb<pixel_rgb555_t>(unsigned char*, unsigned char*, unsigned char*,
                                         pixel_rgb555_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv444_to_rgb<pixel_rgb888_t>(unsigned char*, unsigned char*, unsigned char*,
                                         pixel_rgb888_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv422_to_rgb<pixel_rgb888_t>(unsigned char*, unsigned char*, unsigned char*,
                                         pixel_rgb888_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv411_to_rgb<pixel_rgb888_t>(unsigned char*, unsigned char*, unsigned char*,
                                         pixel_rgb888_t*, unsigned int, yuv_to_rgb_fp_coefficients);

template <>
void pixel_yuv444_to_rgb<pixel_rgb24_t>(unsigned char*, unsigned char*, unsigned char*,
                                        pixel_rgb24_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv422_to_rgb<pixel_rgb24_t>(unsigned char*, unsigned char*, unsigned char*,
                                        pixel_rgb24_t*, unsigned int, yuv_to_rgb_fp_coefficients);
template <>
void pixel_yuv411_to_rgb<pixel_rgb24_t>(unsigned char*, unsigned char*, unsigned char*,
                                        pixel_rgb24_t*, unsigned int, yuv_to_rgb_fp_coefficients);

extern template void pixel_yuv444_to_rgb<pixel_rgb555_t>(unsigned char*, unsigned char*,
                                                         unsigned char*, pixel_rgb555_t*,
                                                         unsigned int, yuv_to_rgb_fp_coefficients);
extern template void pixel_yuv411_to_rgb<pixel_rgb555_t>(unsigned char*, unsigned char*,
                                                         unsigned char*, pixel_rgb555_t*,
                                                         unsigned int, yuv_to_rgb_fp_coefficients);
