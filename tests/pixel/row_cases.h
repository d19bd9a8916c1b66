// The seven SSE2 row converters with their scalar twins, type-erased for table-driven tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixel/dither.h"
#include "pixel/fp_coefficients.h"

using erased_row = void (*)(unsigned char* y, unsigned char* c1, unsigned char* c2, void* dst,
                            unsigned width, const yuv_to_rgb_fp_coefficients& k);

struct row_case {
    const char* name;
    erased_row simd;
    erased_row twin;
    unsigned block;
    unsigned factor;
    size_t pixel_size;
    dither_pattern* pattern;  // null: no dither
    int bits;                 // 565, 555 or 888
    bool lane_form;
    float scale_a;  // lane form: scale of the low/high gains
};

const std::vector<row_case>& all_row_cases();

// Prepares the record in the case's own form.
yuv_to_rgb_fp_coefficients prepare_for(const row_case& c, const yuv_to_rgb_coefficients& table);
