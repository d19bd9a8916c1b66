#include "common/emulated_command.h"

#include <sstream>

namespace test_common {

std::vector<std::string> emulated_command(std::vector<std::string> words) {
    // The build's emulator command, words separated by spaces; empty for a native build.
    std::istringstream emulator(VEXA_TEST_EMULATOR);
    std::vector<std::string> out;
    for (std::string w; emulator >> w;) out.push_back(w);
    out.insert(out.end(), words.begin(), words.end());
    return out;
}

}  // namespace test_common
