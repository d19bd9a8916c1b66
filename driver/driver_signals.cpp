#include "driver/driver_signals.h"

#include <cstdlib>

#include "runtime/runtime_api.h"

void driver_on_signal(int /*signal_number*/) {
    // DIE4 is volatile: read and written afresh, the loop sees the change at its next check.
    const int32_t requests = DIE4 + 1;
    DIE4 = requests;
    if (requests > 9) {
        // The user insists: no teardown.
        std::abort();
    }
}
