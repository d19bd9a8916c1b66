#include <cstdio>

#include "kernel_levels.h"

const std::vector<level_table>& runnable_levels() {
    static const std::vector<level_table> levels = [] {
        std::vector<level_table> out{{"c", pixel_build_kernel_table(0)}};
        size_t count = 0;
        const pixel_isa_level* ladder = pixel_isa_levels(&count);
        for (size_t i = 0; i < count; ++i) {
            if (ladder[i].available()) {
                out.push_back({ladder[i].name, pixel_build_kernel_table(i + 1)});
            } else {
                std::printf("pixel level %s: not run, this processor lacks it\n", ladder[i].name);
            }
        }
        return out;
    }();
    return levels;
}

std::vector<row_case> all_row_cases() {
    std::vector<row_case> cases;
    const pixel_kernel_table& reference = runnable_levels().front().table;
    for (const level_table& l : runnable_levels()) {
        for (int p = 0; p < kPixelKinds; ++p) {
            for (int c = 0; c < kChromaLayouts; ++c) {
                cases.push_back({l.name.c_str(), static_cast<pixel_kind>(p), &l.table.entry[p][c],
                                 &reference.entry[p][c]});
            }
        }
    }
    return cases;
}

yuv_to_rgb_fp_coefficients prepare_for(const row_case& c, const yuv_to_rgb_coefficients& table) {
    yuv_to_rgb_fp_coefficients k{};
    pixel_prepare_for(*c.kernel, table, &k);
    return k;
}
