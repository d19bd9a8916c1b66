#include "driver/pixel_dispatch.h"

#include <cstdio>

namespace {

frame_converter five_six_five(unsigned blue_offset) {
    if (blue_offset == 0) return frame_yuv_to_rgb565;
    if (blue_offset == 11) return frame_yuv_to_bgr565;
    std::fprintf(stderr, "WARNING: untested 16bpp blueoffset=%u\n", blue_offset);
    return nullptr;
}

frame_converter five_five_five(unsigned blue_offset) {
    if (blue_offset == 0) return frame_yuv_to_rgb555;
    if (blue_offset == 10) return frame_yuv_to_bgr555;
    std::fprintf(stderr, "WARNING: untested 15bpp blueoffset=%u\n", blue_offset);
    return nullptr;
}

}  // namespace

frame_converter choose_frame_converter(const fb_var_screeninfo& var) {
    const unsigned blue_offset = var.blue.offset;
    switch (var.bits_per_pixel) {
        case 16:
            // Devices in 1:5:5:5 modes report 16 bpp with a 5-bit green (the VESA driver does);
            // the 5:6:5 converters would draw them in wrong colours.
            if (var.green.length == 5) return five_five_five(blue_offset);
            return five_six_five(blue_offset);
        case 15:
            if (var.green.length == 6) return five_six_five(blue_offset);
            return five_five_five(blue_offset);
        case 24:
            // Opening refuses any 24 bpp layout but 8:8:8.
            if (var.green.length != 8) return nullptr;
            if (blue_offset == 0) return frame_yuv_to_rgb24;
            if (blue_offset == 16) return frame_yuv_to_bgr24;
            std::fprintf(stderr, "WARNING: untested 24bpp blueoffset=%u\n", blue_offset);
            return nullptr;
        case 32:
            if (var.green.length != 8) return nullptr;
            if (blue_offset == 0) return frame_yuv_to_rgb888;
            if (blue_offset == 16) return frame_yuv_to_bgr888;
            std::fprintf(stderr, "WARNING: untested 32bpp blueoffset=%u\n", blue_offset);
            return nullptr;
        default:
            return nullptr;
    }
}
