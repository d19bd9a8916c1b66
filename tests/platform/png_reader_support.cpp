#include "png_reader_support.h"

#include <png.h>

#include <cstdio>
#include <cstring>

bool read_rgb_png(const std::string& path, RgbImage* image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    bool rgb8 = (png.format & PNG_FORMAT_FLAG_COLOR) && !(png.format & PNG_FORMAT_FLAG_ALPHA) &&
                !(png.format & PNG_FORMAT_FLAG_LINEAR);
    png.format = PNG_FORMAT_RGB;
    image->width = png.width;
    image->height = png.height;
    image->pixels.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr)) return false;
    return rgb8;
}
