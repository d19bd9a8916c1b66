#include "pixel/kernel_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

pixel_kernel_table pixel_build_kernel_table(size_t top) {
    pixel_kernel_table t{};
    pixel_fill_reference_kernels(&t);
    size_t count = 0;
    const pixel_isa_level* levels = pixel_isa_levels(&count);
    for (size_t i = 0; i < count && i + 1 <= top; ++i) {
        if (levels[i].available()) levels[i].fill(&t);
    }
    return t;
}

size_t pixel_level_limit(const char* vexa_cpu) {
    size_t count = 0;
    const pixel_isa_level* levels = pixel_isa_levels(&count);
    if (!vexa_cpu || !*vexa_cpu) return count;
    if (std::strcmp(vexa_cpu, "c") == 0) return 0;
    for (size_t i = 0; i < count; ++i) {
        if (std::strcmp(vexa_cpu, levels[i].name) == 0) return i + 1;
    }
    std::string known = "c";
    for (size_t i = 0; i < count; ++i) known += std::string(", ") + levels[i].name;
    std::fprintf(stderr,
                 "WARNING: VEXA_CPU=%s is not one of %s; using every level this processor has\n",
                 vexa_cpu, known.c_str());
    return count;
}

namespace {

struct active_kernels {
    pixel_kernel_table table;
    const char* level;  // the highest level in the table
};

const active_kernels& active() {
    // Built once, on first use; a function-local static is safe against concurrent first calls.
    static const active_kernels a = [] {
        const size_t top = pixel_level_limit(std::getenv("VEXA_CPU"));
        active_kernels out{pixel_build_kernel_table(top), "c"};
        size_t count = 0;
        const pixel_isa_level* levels = pixel_isa_levels(&count);
        for (size_t i = 0; i < count && i + 1 <= top; ++i) {
            if (levels[i].available()) out.level = levels[i].name;
        }
        return out;
    }();
    return a;
}

}  // namespace

const pixel_kernel_table& pixel_kernels() { return active().table; }

const char* pixel_kernels_level() { return active().level; }

void pixel_prepare_for(const pixel_kernel& kernel, const yuv_to_rgb_coefficients& table,
                       yuv_to_rgb_fp_coefficients* out) {
    switch (kernel.form) {
        case coefficient_form::lane_doubled:
            pixel_prep_lane_form(table, 64.0f, 128.0f, out);
            break;
        case coefficient_form::lane_single:
            pixel_prep_lane_form(table, 128.0f, 128.0f, out);
            break;
        case coefficient_form::scalar:
            pixel_prep_scalar_form(table, out);
            break;
        case coefficient_form::generic:
            pixel_prep_generic_form(table, out);
            break;
    }
}
