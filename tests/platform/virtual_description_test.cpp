#include "platform/virtual_description.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

struct LayoutCase {
    const char* spec;
    unsigned bpp, red_offset, red_length, green_offset, green_length, blue_offset, blue_length;
    unsigned line_length, yres_virtual;
    uint32_t visual;
};

TEST(VirtualSpec, BuildsModeAndLayout) {
    const LayoutCase cases[] = {
        {"640x480x16", 16, 11, 5, 5, 6, 0, 5, 1280, 480, FB_VISUAL_TRUECOLOR},
        {"640x480x16,bgr", 16, 0, 5, 5, 6, 11, 5, 1280, 480, FB_VISUAL_TRUECOLOR},
        {"640x480x16,green5", 16, 10, 5, 5, 5, 0, 5, 1280, 480, FB_VISUAL_TRUECOLOR},
        {"640x480x15,bgr", 15, 0, 5, 5, 5, 10, 5, 1280, 480, FB_VISUAL_TRUECOLOR},
        {"4x2x24,direct", 24, 16, 8, 8, 8, 0, 8, 12, 2, FB_VISUAL_DIRECTCOLOR},
        {"4x2x32,stride=64,vyres=6", 32, 16, 8, 8, 8, 0, 8, 64, 6, FB_VISUAL_TRUECOLOR},
        {"4x2x32,bgr,pseudo", 32, 0, 8, 8, 8, 16, 8, 16, 2, FB_VISUAL_PSEUDOCOLOR},
        {"4x2x32,mono", 32, 16, 8, 8, 8, 0, 8, 16, 2, FB_VISUAL_MONO01},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.spec);
        VirtualDeviceSpec spec;
        std::string error;
        ASSERT_EQ(parse_virtual_spec(c.spec, &spec, &error), 0) << error;
        fb_var_screeninfo var;
        fb_fix_screeninfo fix;
        make_virtual_mode(spec, 0, &var, &fix);
        EXPECT_EQ(var.bits_per_pixel, c.bpp);
        EXPECT_EQ(var.red.offset, c.red_offset);
        EXPECT_EQ(var.red.length, c.red_length);
        EXPECT_EQ(var.green.offset, c.green_offset);
        EXPECT_EQ(var.green.length, c.green_length);
        EXPECT_EQ(var.blue.offset, c.blue_offset);
        EXPECT_EQ(var.blue.length, c.blue_length);
        EXPECT_EQ(fix.line_length, c.line_length);
        EXPECT_EQ(var.yres_virtual, c.yres_virtual);
        EXPECT_EQ(fix.smem_len, c.line_length * c.yres_virtual);
        EXPECT_EQ(fix.visual, c.visual);
    }
}

TEST(VirtualSpec, NamesTheDevice) {
    const struct {
        const char* spec;
        const char* name;
    } cases[] = {
        {"8x8x16,id=vga16", "vga16"},
        {"8x8x16,id=i915drmfb,kms", "i915drmfb"},
        {"8x8x16,id=amdgpu,kms", "amdgpudrmfb"},
        {"8x8x16,kms", "vexa virtualdrmfb"},
    };
    for (const auto& c : cases) {
        VirtualDeviceSpec spec;
        ASSERT_EQ(parse_virtual_spec(c.spec, &spec, nullptr), 0) << c.spec;
        EXPECT_EQ(virtual_device_name(spec), c.name) << c.spec;
    }
}

TEST(VirtualSpec, RefusesBadSpecsWithOneLineReason) {
    const struct {
        const char* spec;
        const char* reason;
    } cases[] = {
        {"", "empty"},
        {"640x480", "expected WxHxBPP"},
        {"640x480x16x2", "expected WxHxBPP"},
        {"axbx16", "expected WxHxBPP"},
        {"-1x480x16", "expected WxHxBPP"},
        {"0x480x16", "out of range"},
        {"99999x480x16", "out of range"},
        {"640x480x8", "depth 8 unsupported"},
        {"640x480x16,rgb", "unknown virtual framebuffer option \"rgb\""},
        {"640x480x16,stride=", "needs a positive number"},
        {"640x480x16,stride=100", "shorter than a row of 1280 bytes"},
        {"640x480x16,vyres=10", "smaller than the height"},
        {"640x480x16,id=", "needs a name"},
        {"640x480x16,pci=a/b", "needs a name"},
        {"640x480x32,green5", "needs 16 bpp"},
        {"640x480x16,log=", "needs a path"},
        {"16384x16384x32", "larger than 512 MiB"},
    };
    for (const auto& c : cases) {
        VirtualDeviceSpec spec;
        std::string error;
        EXPECT_EQ(parse_virtual_spec(c.spec, &spec, &error), -1) << c.spec;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.spec << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace platform
