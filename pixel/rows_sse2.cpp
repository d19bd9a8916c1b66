// SSE2 entries of the kernel table: eight 16-bit lanes a step.
#include "pixel/isa_levels.h"
#include "pixel/simd_ops_sse2.h"
#include "pixel/vector_kernels.h"

void pixel_fill_sse2_kernels(pixel_kernel_table* t) {
    pixel_simd::fill_vector_kernels<__m128i>(t, "sse2");
}
