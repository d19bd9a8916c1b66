// The dither's draws: the C library generator's sequence, as rand() gives it unseeded.
#pragma once

// The next value of the sequence.
int dither_draw();
// Starts the sequence again as srand(seed) would start rand()'s (tests and benchmarks).
void dither_draw_seed(unsigned seed);
