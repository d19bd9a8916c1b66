// The kernel table: one entry per pixel type and chroma layout, holding the row function and what
// the frame converters, tests and benchmarks need to know of it. The scalar reference fills every
// entry; each instruction-set level the processor has (and VEXA_CPU allows) then overwrites the
// entries it has faster code for. Every level gives the reference's pixels, bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/dither.h"
#include "pixel/fp_coefficients.h"

enum class pixel_kind { rgb565, rgb555, rgb888, rgb24 };
enum class chroma_layout { yuv444, yuv422, yuv411 };
constexpr int kPixelKinds = 4;
constexpr int kChromaLayouts = 3;

// Which fields of yuv_to_rgb_fp_coefficients a row reads, and how.
enum class coefficient_form {
    lane_doubled,  // lane fields, low/high gains scaled by 64 and doubled by the row
    lane_single,   // lane fields, every gain scaled by 128
    scalar,        // scaled_coeffs, 32-bit products
    generic,       // generic_gains and the whole luma terms, 32-bit arithmetic throughout
};

// y: width luma samples; c1, c2: ceil(width / factor) chroma samples each; dst: width pixels.
using pixel_row_fn = void (*)(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst,
                              unsigned width, const yuv_to_rgb_fp_coefficients& k);

struct pixel_kernel {
    const char* name;  // "yuv422_rgb565"
    pixel_row_fn row;
    const char* level;  // the level whose code fills this entry: "c", "sse2", ...
    unsigned block;     // pixels per block: the dither pattern's period and the tail's unit
    unsigned factor;    // horizontal chroma subsampling: 1, 2 or 4
    size_t pixel_size;  // bytes
    coefficient_form form;
    dither_pattern* pattern;   // null: no dither
    bool advance_before_tail;  // the dither advances before the tail block, not after it
};

struct pixel_kernel_table {
    pixel_kernel entry[kPixelKinds][kChromaLayouts];
    pixel_kernel& at(pixel_kind p, chroma_layout c) {
        return entry[static_cast<int>(p)][static_cast<int>(c)];
    }
    const pixel_kernel& at(pixel_kind p, chroma_layout c) const {
        return entry[static_cast<int>(p)][static_cast<int>(c)];
    }
};

// The table the converters use: built on first use from the processor's levels and VEXA_CPU.
const pixel_kernel_table& pixel_kernels();
// The name of the highest level in that table ("c", "sse2", "avx2", "neon"), for the log and
// the status report.
const char* pixel_kernels_level();

// Instruction-set levels above the scalar reference, lowest first (none where the build has no
// code for the processor). Level 0 is the scalar reference "c", level i is pixel_isa_levels()[i-1].
struct pixel_isa_level {
    const char* name;
    bool (*available)();  // does this processor run it
    void (*fill)(pixel_kernel_table* table);
};
const pixel_isa_level* pixel_isa_levels(size_t* count);

// The table with the scalar reference and every level up to and including `top` that the
// processor has.
pixel_kernel_table pixel_build_kernel_table(size_t top);

// The highest level VEXA_CPU allows: null or empty, every level; "c", "sse2", "avx2", "neon" that
// level and those below it. Anything else is reported on standard error and allows every level.
size_t pixel_level_limit(const char* vexa_cpu);

// The preparation of the entry's form, without the generic warnings (for tests and benchmarks).
void pixel_prepare_for(const pixel_kernel& kernel, const yuv_to_rgb_coefficients& table,
                       yuv_to_rgb_fp_coefficients* out);

// The scalar reference rows; every level's table starts from these.
void pixel_fill_reference_kernels(pixel_kernel_table* table);
