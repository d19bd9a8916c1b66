// The named row converters: thin callers of their kernel table entries.
#include "pixel/row_converters.h"

#include "pixel/kernel_table.h"

namespace {

template <typename T>
void run(pixel_kind p, chroma_layout c, unsigned char* y, unsigned char* c1, unsigned char* c2,
         T* dst, unsigned int width, const yuv_to_rgb_fp_coefficients& k) {
    pixel_kernels().at(p, c).row(y, c1, c2, dst, width, k);
}

}  // namespace

template <>
void pixel_yuv444_to_rgb<pixel_rgb565_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb565_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb565, chroma_layout::yuv444, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv422_to_rgb<pixel_rgb565_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb565_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb565, chroma_layout::yuv422, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv411_to_rgb<pixel_rgb565_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb565_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb565, chroma_layout::yuv411, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv422_to_rgb<pixel_rgb555_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb555_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb555, chroma_layout::yuv422, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv444_to_rgb<pixel_rgb888_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb888_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb888, chroma_layout::yuv444, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv422_to_rgb<pixel_rgb888_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb888_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb888, chroma_layout::yuv422, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv411_to_rgb<pixel_rgb888_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                         pixel_rgb888_t* dst, unsigned int width,
                                         yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb888, chroma_layout::yuv411, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv444_to_rgb<pixel_rgb24_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                        pixel_rgb24_t* dst, unsigned int width,
                                        yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb24, chroma_layout::yuv444, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv422_to_rgb<pixel_rgb24_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                        pixel_rgb24_t* dst, unsigned int width,
                                        yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb24, chroma_layout::yuv422, y, c1, c2, dst, width, k);
}
template <>
void pixel_yuv411_to_rgb<pixel_rgb24_t>(unsigned char* y, unsigned char* c1, unsigned char* c2,
                                        pixel_rgb24_t* dst, unsigned int width,
                                        yuv_to_rgb_fp_coefficients k) {
    run(pixel_kind::rgb24, chroma_layout::yuv411, y, c1, c2, dst, width, k);
}
