// NEON entries of the kernel table: eight 16-bit lanes a step, the block steps every level runs.
#include "pixel/isa_levels.h"
#include "pixel/simd_ops_neon.h"
#include "pixel/vector_kernels.h"

void pixel_fill_neon_kernels(pixel_kernel_table* t) {
    pixel_simd::fill_vector_kernels<uint8x16_t>(t, "neon");
}
