// rand() takes a lock, and the first locked instruction after a row of streaming stores waits for
// all of them to drain. random_r() on a private state initialised as rand()'s unseeded default
// (seed 1, a 128-byte state) gives the same sequence without the lock.
#include <cstdlib>
#include <cstring>

#include "pixel/dither_draws.h"

namespace {

struct generator {
    random_data data;
    char state[128];
    generator() {
        std::memset(&data, 0, sizeof data);
        initstate_r(1, state, sizeof state, &data);
    }
};

generator draws;

}  // namespace

int dither_draw() {
    int32_t value = 0;
    random_r(&draws.data, &value);
    return value;
}

void dither_draw_seed(unsigned seed) { srandom_r(seed, &draws.data); }
