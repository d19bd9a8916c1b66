// C libraries without random_r(): the process-wide rand() itself.
#include <cstdlib>

#include "pixel/dither_draws.h"

int dither_draw() { return std::rand(); }

void dither_draw_seed(unsigned seed) { std::srand(seed); }
