// AVX2 entries of the kernel table: sixteen 16-bit lanes a step, two blocks at a time.
#include "pixel/generic_rows.h"
#include "pixel/isa_levels.h"
#include "pixel/kernel_table.h"
#include "pixel/row_blocks.h"
#include "pixel/simd_ops_avx2.h"

namespace {

using namespace pixel_simd;

template <class Tr>
void row(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst, unsigned width,
         const yuv_to_rgb_fp_coefficients& k) {
    convert_row<Tr, __m256i>(y, c1, c2, static_cast<typename Tr::pixel*>(dst), width, k);
}

void set(pixel_kernel_table* t, pixel_kind p, chroma_layout c, pixel_row_fn fn) {
    t->at(p, c).row = fn;
    t->at(p, c).level = "avx2";
}

}  // namespace

void pixel_fill_avx2_kernels(pixel_kernel_table* t) {
    using K = pixel_kind;
    using L = chroma_layout;
    set(t, K::rgb565, L::yuv444, row<yuv444_rgb565>);
    set(t, K::rgb565, L::yuv422, row<yuv422_rgb565>);
    set(t, K::rgb565, L::yuv411, row<yuv411_rgb565>);
    set(t, K::rgb555, L::yuv422, row<yuv422_rgb555>);
    set(t, K::rgb555, L::yuv444, generic_row<1, __m256i>);
    set(t, K::rgb555, L::yuv411, generic_row<4, __m256i>);
    set(t, K::rgb888, L::yuv444, row<yuv444_rgb888>);
    set(t, K::rgb888, L::yuv422, row<yuv422_rgb888>);
    set(t, K::rgb888, L::yuv411, row<yuv411_rgb888>);
    set(t, K::rgb24, L::yuv444, row<packed24<yuv444_rgb888>>);
    set(t, K::rgb24, L::yuv422, row<packed24<yuv422_rgb888>>);
    set(t, K::rgb24, L::yuv411, row<packed24<yuv411_rgb888>>);
}
