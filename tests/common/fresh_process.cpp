#include "common/fresh_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/emulated_command.h"

namespace test_common {

void use_fresh_process_death_tests() {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child is the test program run again with its own arguments; GetArgvs() gives the
    // injected ones when set, so start from the originals each time.
    testing::internal::ClearInjectableArgvs();
    const std::vector<std::string> argv = emulated_command(testing::internal::GetArgvs());
    if (argv.size() != testing::internal::GetArgvs().size()) {
        testing::internal::SetInjectableArgvs(argv);
    }
}

}  // namespace test_common
