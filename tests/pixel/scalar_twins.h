// Plain per-pixel versions of every SSE2 row converter, written from the arithmetic alone (no
// vectors), sharing the converters' dither patterns and dither_state.
#pragma once

#include "pixel/fp_coefficients.h"
#include "pixel/pixel_types.h"

void pixel_yuv444_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb565_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k);
void pixel_yuv422_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb565_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k);
void pixel_yuv411_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb565_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k);
void pixel_yuv422_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb555_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k);
void pixel_yuv444_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb888_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k);
void pixel_yuv422_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb888_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k);
void pixel_yuv411_to_rgb_scalar(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                pixel_rgb888_t* dst, unsigned int width,
                                yuv_to_rgb_fp_coefficients k);
