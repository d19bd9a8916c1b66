// The kernel tables of every instruction-set level this machine runs, for tests that compare each
// level's entries with the scalar reference.
#pragma once

#include <string>
#include <vector>

#include "pixel/kernel_table.h"

struct level_table {
    std::string name;  // "c", "sse2", ...
    pixel_kernel_table table;
};

// Lowest first; the scalar reference "c" is always the first. Levels the build has but this
// processor lacks are left out and named once on standard output.
const std::vector<level_table>& runnable_levels();

struct row_case {
    const char* level;
    pixel_kind kind;
    const pixel_kernel* kernel;
    const pixel_kernel* reference;  // the same entry at level "c"
};

// Every entry of every runnable level.
std::vector<row_case> all_row_cases();

// The record in the entry's own form.
yuv_to_rgb_fp_coefficients prepare_for(const row_case& c, const yuv_to_rgb_coefficients& table);
