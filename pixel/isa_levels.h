// The fill functions of each instruction-set level; the processor's ladder file lists those the
// build has.
#pragma once

#include "pixel/kernel_table.h"

void pixel_fill_sse2_kernels(pixel_kernel_table* table);
void pixel_fill_avx2_kernels(pixel_kernel_table* table);
void pixel_fill_neon_kernels(pixel_kernel_table* table);
