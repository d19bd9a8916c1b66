// The kernel table: VEXA_CPU's levels, the table each level builds, and the table the converters
// use when a lower level is forced.
#include "pixel/kernel_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/fresh_process.h"
#include "common/stderr_capture.h"
#include "kernel_levels.h"

namespace {

TEST(KernelTable, LevelLimitFromVexaCpu) {
    size_t count = 0;
    const pixel_isa_level* ladder = pixel_isa_levels(&count);
    struct row {
        const char* value;
        size_t limit;
        bool warns;
    };
    std::vector<row> table = {{nullptr, count, false},
                              {"", count, false},
                              {"c", 0, false},
                              {"avx9", count, true},
                              {"SSE2", count, true}};
    std::string names = "c";
    for (size_t i = 0; i < count; ++i) {
        table.push_back({ladder[i].name, i + 1, false});
        names += std::string(", ") + ladder[i].name;
    }
    for (const row& r : table) {
        test_common::StderrCapture capture;
        EXPECT_EQ(r.limit, pixel_level_limit(r.value)) << (r.value ? r.value : "(unset)");
        const std::string text = capture.text();
        EXPECT_EQ(r.warns ? std::string("WARNING: VEXA_CPU=") + r.value + " is not one of " +
                                names + "; using every level this processor has\n"
                          : "",
                  text);
    }
}

// Each level's table names, for every entry, the level whose code fills it: never one above it,
// and the scalar reference's table is the reference everywhere.
TEST(KernelTable, EachLevelFillsOnlyUpToItself) {
    const std::vector<level_table>& levels = runnable_levels();
    for (size_t l = 0; l < levels.size(); ++l) {
        for (const auto& kind : levels[l].table.entry) {
            for (const pixel_kernel& k : kind) {
                bool known = false;
                for (size_t below = 0; below <= l; ++below) {
                    known = known || levels[below].name == k.level;
                }
                EXPECT_TRUE(known) << levels[l].name << " " << k.name << " is from " << k.level;
                if (l == 0) {
                    EXPECT_STREQ("c", k.level);
                }
            }
        }
    }
}

int active_levels_are_c() {
    for (const auto& kind : pixel_kernels().entry) {
        for (const pixel_kernel& k : kind) {
            if (std::strcmp(k.level, "c") != 0) return 1;
        }
    }
    return 0;
}

TEST(KernelTableDeathTest, VexaCpuForcesTheScalarReference) {
    // A fresh process reads VEXA_CPU when it first converts.
    test_common::use_fresh_process_death_tests();
    setenv("VEXA_CPU", "c", 1);
    EXPECT_EXIT(std::_Exit(active_levels_are_c()), ::testing::ExitedWithCode(0), "");
    unsetenv("VEXA_CPU");
}

}  // namespace
