// The floor's store loop, one file per processor (chosen by the build).
#pragma once

#include <cstddef>
#include <cstdint>

// Fills bytes (a multiple of 16) at a 16-byte aligned dst with one 16-bit value, the way the
// processor writes fastest past its caches.
void floor_fill(uint8_t* dst, size_t bytes);
