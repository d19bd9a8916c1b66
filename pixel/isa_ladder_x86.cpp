// x86-64: SSE2 (always there), then AVX2 where the processor and the kernel have it.
#include "pixel/isa_levels.h"

namespace {

bool have_sse2() { return __builtin_cpu_supports("sse2"); }
// Also means the kernel saves the wide registers (the processor's check includes it).
bool have_avx2() { return __builtin_cpu_supports("avx2"); }

const pixel_isa_level kLadder[] = {
    {"sse2", have_sse2, pixel_fill_sse2_kernels},
    {"avx2", have_avx2, pixel_fill_avx2_kernels},
};

}  // namespace

const pixel_isa_level* pixel_isa_levels(size_t* count) {
    *count = sizeof kLadder / sizeof kLadder[0];
    return kLadder;
}
