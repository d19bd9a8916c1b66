// The kernel table entries every vector level fills, for a widest vector type Wide: each level's
// file instantiates them with its own compiler flags.
#pragma once

#include "pixel/generic_rows.h"
#include "pixel/kernel_table.h"
#include "pixel/row_blocks.h"

namespace pixel_simd {
namespace {

template <class Tr, class Wide>
void vector_row(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst, unsigned width,
                const yuv_to_rgb_fp_coefficients& k) {
    convert_row<Tr, Wide>(y, c1, c2, static_cast<typename Tr::pixel*>(dst), width, k);
}

template <class Wide>
void fill_vector_kernels(pixel_kernel_table* t, const char* level) {
    using K = pixel_kind;
    using L = chroma_layout;
    auto set = [t, level](pixel_kind p, chroma_layout c, pixel_row_fn fn) {
        t->at(p, c).row = fn;
        t->at(p, c).level = level;
    };
    set(K::rgb565, L::yuv444, vector_row<yuv444_rgb565, Wide>);
    set(K::rgb565, L::yuv422, vector_row<yuv422_rgb565, Wide>);
    set(K::rgb565, L::yuv411, vector_row<yuv411_rgb565, Wide>);
    set(K::rgb555, L::yuv444, generic_row<1, Wide>);
    set(K::rgb555, L::yuv422, vector_row<yuv422_rgb555, Wide>);
    set(K::rgb555, L::yuv411, generic_row<4, Wide>);
    set(K::rgb888, L::yuv444, vector_row<yuv444_rgb888, Wide>);
    set(K::rgb888, L::yuv422, vector_row<yuv422_rgb888, Wide>);
    set(K::rgb888, L::yuv411, vector_row<yuv411_rgb888, Wide>);
    set(K::rgb24, L::yuv444, vector_row<packed24<yuv444_rgb888>, Wide>);
    set(K::rgb24, L::yuv422, vector_row<packed24<yuv422_rgb888>, Wide>);
    set(K::rgb24, L::yuv411, vector_row<packed24<yuv411_rgb888>, Wide>);
}

}  // namespace
}  // namespace pixel_simd
