// The runtime's clock: CLOCK_MONOTONIC in microseconds, replaceable so pacing can be tested.
#include <time.h>

#include "runtime/runtime_api.h"

uint64_t (*vexa_clock_override)() = nullptr;

uint64_t monotonic_clock_us() {
    if (vexa_clock_override) return vexa_clock_override();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}
