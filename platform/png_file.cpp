#include "platform/png_file.h"

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

// Only plain data lives in this frame, so libpng's longjmp skips no destructor.
bool encode(FILE* file, unsigned width, unsigned height, const uint8_t* pixels) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 1);  // written after every frame: speed over size
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (unsigned y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(pixels + static_cast<size_t>(y) * width * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int write_rgb_png(const char* path, unsigned width, unsigned height, const uint8_t* pixels,
                  std::string* error) {
    std::string temp = std::string(path) + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        if (error) *error = "cannot create " + temp + ": " + std::strerror(errno);
        return -1;
    }
    bool encoded = encode(file, width, height, pixels);
    bool closed = std::fclose(file) == 0;
    if (!encoded || !closed || std::rename(temp.c_str(), path) != 0) {
        if (error) *error = std::string("cannot write ") + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return -1;
    }
    return 0;
}

}  // namespace platform
