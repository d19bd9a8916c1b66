// Writing an 8-bit RGB image as a PNG file.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Writes width x height pixels (3 bytes each, rows packed) to path atomically: a temporary file
// beside it, then a rename, so a reader never sees half a picture. 0, or -1 with *error.
int write_rgb_png(const char* path, unsigned width, unsigned height, const uint8_t* pixels,
                  std::string* error);

}  // namespace platform
