// Processors without vector code of ours: the scalar reference alone.
#include "pixel/kernel_table.h"

const pixel_isa_level* pixel_isa_levels(size_t* count) {
    *count = 0;
    return nullptr;
}
