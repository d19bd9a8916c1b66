// The framebuffer's pixel format picks the frame converter, or a warning, or nothing.
#include "driver/pixel_dispatch.h"

#include <gtest/gtest.h>

#include <string>

#include "driver_test_support.h"

namespace {

TEST(PixelDispatchTest, FormatTable) {
    struct Case {
        uint32_t bpp;
        uint32_t green_length;
        uint32_t blue_offset;
        frame_converter expected;
        const char* warning;
    };
    const Case cases[] = {
        {16, 6, 0, frame_yuv_to_rgb565, ""},
        {16, 6, 11, frame_yuv_to_bgr565, ""},
        {16, 6, 8, nullptr, "WARNING: untested 16bpp blueoffset=8\n"},
        {16, 4, 0, frame_yuv_to_rgb565, ""},  // taken as 5:6:5 whatever it says
        // 1:5:5:5 modes reported as 16 bpp with a 5-bit green.
        {16, 5, 0, frame_yuv_to_rgb555, ""},
        {16, 5, 10, frame_yuv_to_bgr555, ""},
        {16, 5, 11, nullptr, "WARNING: untested 15bpp blueoffset=11\n"},
        {15, 6, 0, frame_yuv_to_rgb565, ""},
        {15, 6, 11, frame_yuv_to_bgr565, ""},
        {15, 6, 10, nullptr, "WARNING: untested 16bpp blueoffset=10\n"},
        {15, 5, 0, frame_yuv_to_rgb555, ""},
        {15, 5, 10, frame_yuv_to_bgr555, ""},
        {15, 5, 5, nullptr, "WARNING: untested 15bpp blueoffset=5\n"},
        {32, 8, 0, frame_yuv_to_rgb888, ""},
        {32, 8, 16, frame_yuv_to_bgr888, ""},
        {32, 8, 8, nullptr, "WARNING: untested 32bpp blueoffset=8\n"},
        {32, 6, 0, nullptr, ""},
        {24, 8, 0, frame_yuv_to_rgb24, ""},
        {24, 8, 16, frame_yuv_to_bgr24, ""},
        {24, 8, 8, nullptr, "WARNING: untested 24bpp blueoffset=8\n"},
        {24, 6, 0, nullptr, ""},
        {8, 8, 0, nullptr, ""},
        {0, 0, 0, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bpp) + " bpp, green " + std::to_string(c.green_length) +
                     ", blue at " + std::to_string(c.blue_offset));
        fb_var_screeninfo var{};
        var.bits_per_pixel = c.bpp;
        var.green.length = c.green_length;
        var.blue.offset = c.blue_offset;
        driver_test::StderrCapture capture;
        EXPECT_EQ(c.expected, choose_frame_converter(var));
        EXPECT_EQ(c.warning, capture.text());
    }
}

}  // namespace
