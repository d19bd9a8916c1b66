// Starting this build's own programs (the driver, vexa_ctl) from a test. A build for another
// processor runs them through the same user-mode emulator as its tests: nothing here relies on
// the kernel running foreign binaries by itself.
#pragma once

#include <string>
#include <vector>

namespace test_common {

// `words` (the program's path first, then its arguments) with the emulator's words in front when
// the build has one. Its first word is the path to execute.
std::vector<std::string> emulated_command(std::vector<std::string> words);

}  // namespace test_common
