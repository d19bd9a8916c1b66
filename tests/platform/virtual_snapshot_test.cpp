#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/device_seam.h"
#include "platform/virtual_framebuffers.h"
#include "png_reader_support.h"

namespace platform {
namespace {

std::string temp_path(const char* name) {
    return ::testing::TempDir() + name + std::to_string(getpid()) + ".png";
}

struct SnapshotCase {
    const char* spec;
    uint32_t pixel;   // stored at (1, 1), little endian
    uint8_t r, g, b;  // expected after bit replication
};

TEST(VirtualSnapshot, ExpandsEveryStoredFieldByBitReplication) {
    const SnapshotCase cases[] = {
        {"3x2x16", 0xf800, 255, 0, 0},
        {"3x2x16", 0x0841, 8, 8, 8},        // 1, 2, 1: 00001 -> 00001000, 000010 -> 00001000
        {"3x2x16", 0x7bef, 123, 125, 123},  // 01111 -> 01111011, 011111 -> 01111101
        {"3x2x16,bgr", 0x001f, 255, 0, 0},
        {"3x2x16,green5", 0x03e0, 0, 255, 0},
        {"3x2x15", 0x4210, 132, 132, 132},  // 10000 -> 10000100
        {"3x2x15,bgr", 0x7c01, 8, 0, 255},
        {"3x2x24", 0x123456, 0x12, 0x34, 0x56},
        {"3x2x32,bgr", 0x00123456, 0x56, 0x34, 0x12},
        {"3x2x32,direct", 0x00010203, 1, 2, 3},  // stored values, not the colour map
    };
    for (const SnapshotCase& c : cases) {
        SCOPED_TRACE(c.spec);
        VirtualFramebuffers devices;
        ASSERT_EQ(devices.add(c.spec), 0);
        VirtualDevice& device = devices.device(0);
        int fd = devices.open("/dev/fb0", 2);
        auto* screen = static_cast<uint8_t*>(devices.map_shared(fd, device.memory.size()));
        ASSERT_NE(screen, nullptr);
        unsigned bytes = (device.var.bits_per_pixel + 7) / 8;
        uint8_t* at = screen + device.fix.line_length + bytes;
        for (unsigned i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(c.pixel >> (8 * i));

        std::string path = temp_path("snapshot");
        std::string error;
        ASSERT_EQ(devices.write_snapshot(path.c_str(), &error), 0) << error;
        RgbImage image;
        ASSERT_TRUE(read_rgb_png(path, &image));
        std::remove(path.c_str());
        EXPECT_EQ(image.width, 3u);
        EXPECT_EQ(image.height, 2u);
        const uint8_t* rgb = image.pixels.data() + (1 * 3 + 1) * 3;
        EXPECT_EQ(rgb[0], c.r);
        EXPECT_EQ(rgb[1], c.g);
        EXPECT_EQ(rgb[2], c.b);
        EXPECT_EQ(image.pixels[0] | image.pixels[1] | image.pixels[2], 0) << "other pixels black";
    }
}

TEST(VirtualSnapshot, ShowsOnlyTheVisibleScreenOfTheLastMappedDevice) {
    VirtualFramebuffers devices;
    ASSERT_EQ(devices.add("2x2x32,stride=16,vyres=4"), 0);
    ASSERT_EQ(devices.add("5x1x16"), 1);
    std::string path = temp_path("visible");
    EXPECT_EQ(devices.write_snapshot(path.c_str()), -1) << "nothing mapped yet";
    devices.map_shared(devices.open("/dev/fb1", 2), 10);
    devices.map_shared(devices.open("/dev/fb0", 2), 64);
    std::memset(devices.device(0).memory.data() + 2 * 16, 0xff, 32);  // rows 2 and 3: hidden
    ASSERT_EQ(devices.write_snapshot(path.c_str()), 0);
    RgbImage image;
    ASSERT_TRUE(read_rgb_png(path, &image));
    std::remove(path.c_str());
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.pixels, std::vector<uint8_t>(12, 0));
    EXPECT_EQ(access((path + ".tmp" + std::to_string(getpid())).c_str(), F_OK), -1);
}

TEST(VirtualSnapshot, ShowsThePanRowsOfThePageDisplayed) {
    VirtualFramebuffers devices;
    ASSERT_EQ(devices.add("2x2x32,vyres=4"), 0);
    const int fd = devices.open("/dev/fb0", 2);
    auto* screen = static_cast<uint8_t*>(devices.map_shared(fd, 32));
    std::memset(screen + 16, 0xff, 16);  // page 1 white, page 0 black
    std::string path = temp_path("panned");
    for (uint32_t yoffset : {2u, 0u}) {
        SCOPED_TRACE(yoffset);
        fb_var_screeninfo pan = devices.device(0).var;
        pan.yoffset = yoffset;
        ASSERT_EQ(devices.ioctl(fd, FBIOPAN_DISPLAY, &pan), 0);
        ASSERT_EQ(devices.write_snapshot(path.c_str()), 0);
        RgbImage image;
        ASSERT_TRUE(read_rgb_png(path, &image));
        EXPECT_EQ(image.height, 2u);
        EXPECT_EQ(image.pixels, std::vector<uint8_t>(12, yoffset ? 0xff : 0));
    }
    std::remove(path.c_str());
}

TEST(VirtualSnapshot, ReportsAnUnwritablePath) {
    VirtualFramebuffers devices;
    ASSERT_EQ(devices.add("2x2x16"), 0);
    devices.map_shared(devices.open("/dev/fb0", 2), 8);
    std::string error;
    EXPECT_EQ(devices.write_snapshot("/nonexistent-dir/x.png", &error), -1);
    EXPECT_NE(error.find("cannot create /nonexistent-dir/x.png.tmp"), std::string::npos) << error;
}

TEST(VirtualRegistry, SwitchAddsDevicesAndInstallsThem) {
    std::string error;
    EXPECT_EQ(add_virtual_framebuffer("640x480", &error), -1);
    EXPECT_NE(error.find("expected WxHxBPP"), std::string::npos);
    EXPECT_EQ(&seam(), &kernel_seam()) << "a bad SPEC installs nothing";
    EXPECT_EQ(write_virtual_snapshot(temp_path("none").c_str()), -1);

    ASSERT_EQ(add_virtual_framebuffer("4x2x16", &error), 0);
    ASSERT_EQ(add_virtual_framebuffer("4x2x32,direct", &error), 0);
    EXPECT_NE(&seam(), &kernel_seam());
    int fd = seam().open("/dev/fb1", 2);
    ASSERT_GE(fd, 0);
    void* screen = seam().map_shared(fd, 32);
    ASSERT_NE(screen, nullptr);
    std::string path = temp_path("registry");
    EXPECT_EQ(write_virtual_snapshot(path.c_str()), 0);
    RgbImage image;
    EXPECT_TRUE(read_rgb_png(path, &image));
    EXPECT_EQ(image.width, 4u);
    std::remove(path.c_str());
    seam().unmap(screen, 32);
    seam().close(fd);
    set_seam(nullptr);
}

}  // namespace
}  // namespace platform
