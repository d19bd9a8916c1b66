// AVX2 entries of the kernel table: sixteen 16-bit lanes a step, two blocks at a time.
#include "pixel/isa_levels.h"
#include "pixel/simd_ops_avx2.h"
#include "pixel/vector_kernels.h"

void pixel_fill_avx2_kernels(pixel_kernel_table* t) {
    pixel_simd::fill_vector_kernels<__m256i>(t, "avx2");
}
