// arm64: NEON is part of the architecture, so its level is always there.
#include "pixel/isa_levels.h"

namespace {

bool have_neon() { return true; }

const pixel_isa_level kLadder[] = {
    {"neon", have_neon, pixel_fill_neon_kernels},
};

}  // namespace

const pixel_isa_level* pixel_isa_levels(size_t* count) {
    *count = sizeof kLadder / sizeof kLadder[0];
    return kLadder;
}
