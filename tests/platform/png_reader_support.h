// Reads an 8-bit RGB PNG back for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> pixels;  // 3 bytes a pixel, rows packed
};

// False when the file is missing or is not an 8-bit RGB PNG.
bool read_rgb_png(const std::string& path, RgbImage* image);
