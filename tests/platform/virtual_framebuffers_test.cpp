#include "platform/virtual_framebuffers.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <string>
#include <vector>

namespace platform {
namespace {

class VirtualFramebuffersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(devices.add("8x4x16,pci=0000:01:00.0,id=first"), 0);
        ASSERT_EQ(devices.add("8x4x32,direct,kms,fbcon"), 1);
    }
    VirtualFramebuffers devices;
};

TEST_F(VirtualFramebuffersTest, OpensOnlyExistingDevicesAndLogsEachCall) {
    int fd = devices.open("/dev/fb1", 2);
    ASSERT_GE(fd, 0);
    fb_var_screeninfo var{};
    fb_fix_screeninfo fix{};
    EXPECT_EQ(devices.ioctl(fd, FBIOGET_VSCREENINFO, &var), 0);
    EXPECT_EQ(devices.ioctl(fd, FBIOGET_FSCREENINFO, &fix), 0);
    EXPECT_EQ(var.bits_per_pixel, 32u);
    EXPECT_EQ(fix.visual, static_cast<uint32_t>(FB_VISUAL_DIRECTCOLOR));
    EXPECT_EQ(devices.close(fd), 0);
    for (const char* path : {"/dev/fb2", "/dev/fb", "/dev/fb0x", "/dev/null"}) {
        errno = 0;
        EXPECT_EQ(devices.open(path, 2), -1) << path;
        EXPECT_EQ(errno, ENOENT) << path;
    }
    EXPECT_EQ(devices.close(fd), -1);
    std::vector<std::string> expected = {"open /dev/fb1",
                                         "ioctl FBIOGET_VSCREENINFO",
                                         "ioctl FBIOGET_FSCREENINFO",
                                         "close",
                                         "open /dev/fb2 failed",
                                         "open /dev/fb failed",
                                         "open /dev/fb0x failed",
                                         "open /dev/null failed",
                                         "close failed"};
    EXPECT_EQ(devices.log(), expected);
}

TEST_F(VirtualFramebuffersTest, ColourMapIsReadAndWritten) {
    int fd = devices.open("/dev/fb1", 2);
    std::vector<uint16_t> r(16), g(16), b(16);
    fb_cmap cmap{4, 16, r.data(), g.data(), b.data(), nullptr};
    ASSERT_EQ(devices.ioctl(fd, FBIOGETCMAP, &cmap), 0);
    EXPECT_EQ(r[0], devices.device(1).cmap.red[4]);
    uint16_t outside = devices.device(1).cmap.green[3];
    for (int i = 0; i < 16; ++i) r[i] = g[i] = b[i] = static_cast<uint16_t>(i * 100);
    ASSERT_EQ(devices.ioctl(fd, FBIOPUTCMAP, &cmap), 0);
    EXPECT_EQ(devices.device(1).cmap.green[4 + 15], 1500);
    EXPECT_EQ(devices.device(1).cmap.green[3], outside) << "untouched outside the range";

    fb_cmap past_end{250, 16, r.data(), g.data(), b.data(), nullptr};
    fb_cmap empty{0, 0, r.data(), g.data(), b.data(), nullptr};
    fb_cmap no_arrays{0, 16, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(devices.ioctl(fd, FBIOGETCMAP, &past_end), -1);
    EXPECT_EQ(devices.ioctl(fd, FBIOPUTCMAP, &empty), -1);
    EXPECT_EQ(devices.ioctl(fd, FBIOPUTCMAP, &no_arrays), -1);
    EXPECT_EQ(errno, EFAULT);
}

TEST_F(VirtualFramebuffersTest, FaultsHitTheChosenCall) {
    devices.fail_ioctl(FBIOGET_VSCREENINFO, EIO, 1);
    devices.fail_map();
    devices.fail_mode_restore();
    int fd = devices.open("/dev/fb0", 2);
    fb_var_screeninfo var{};
    EXPECT_EQ(devices.ioctl(fd, FBIOGET_VSCREENINFO, &var), 0);
    EXPECT_EQ(devices.ioctl(fd, FBIOGET_VSCREENINFO, &var), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(devices.ioctl(fd, FBIOPUT_VSCREENINFO, &var), -1);
    EXPECT_EQ(devices.map_shared(fd, 64), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(devices.ioctl(fd, FBIOBLANK, nullptr), 0);
    EXPECT_EQ(devices.device(0).blank, 0);

    devices.clear_faults();
    devices.fail_open(EACCES);
    EXPECT_EQ(devices.open("/dev/fb0", 2), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(devices.ioctl(fd, FBIOGET_VSCREENINFO, &var), 0);
    EXPECT_EQ(devices.ioctl(fd, FBIOPUT_VSCREENINFO, &var), 0);
    EXPECT_EQ(devices.ioctl(fd, 0x4242, &var), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(devices.log().back(), "ioctl 0x4242 failed");
}

TEST_F(VirtualFramebuffersTest, MapsTheScreenMemoryWithinItsSize) {
    int fd = devices.open("/dev/fb0", 2);
    EXPECT_EQ(devices.map_shared(fd, 8 * 2 * 4 + 1), nullptr) << "longer than the memory";
    EXPECT_EQ(devices.map_shared(fd, 0), nullptr);
    EXPECT_EQ(devices.last_mapped(), -1);
    auto* screen = static_cast<uint8_t*>(devices.map_shared(fd, 64));
    ASSERT_EQ(screen, devices.device(0).memory.data());
    EXPECT_EQ(devices.last_mapped(), 0);
    EXPECT_EQ(devices.unmap(screen, 32), -1) << "wrong length";
    EXPECT_EQ(devices.unmap(screen, 64), 0);
    EXPECT_EQ(devices.unmap(screen, 64), -1) << "already unmapped";
    EXPECT_EQ(devices.log()[3], "map 64");
    EXPECT_EQ(devices.log()[5], "unmap");
    EXPECT_EQ(devices.flush(fd), 0) << "writes are on the screen already";
    EXPECT_EQ(devices.flush(fd + 1), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST_F(VirtualFramebuffersTest, RefusesAModeTheMemoryCannotHold) {
    int fd = devices.open("/dev/fb0", 2);
    fb_var_screeninfo var = devices.device(0).var;
    var.yres_virtual = 5;
    EXPECT_EQ(devices.ioctl(fd, FBIOPUT_VSCREENINFO, &var), -1);
    var.yres_virtual = 4;
    var.yoffset = 0;
    EXPECT_EQ(devices.ioctl(fd, FBIOPUT_VSCREENINFO, &var), 0);
}

TEST_F(VirtualFramebuffersTest, EmulatesTheGraphicsClass) {
    devices.add_sysfs_entry("fbcon", "");
    devices.set_sysfs_order({"fb1", "fbcon"});
    void* dir = devices.opendir("/sys/class/graphics");
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> names;
    while (const char* name = devices.readdir(dir)) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "fb1", "fbcon", "fb0"}));
    EXPECT_EQ(devices.closedir(dir), 0);
    EXPECT_EQ(devices.opendir("/sys/class/other"), nullptr);

    char link[256];
    ssize_t length = devices.readlink("/sys/class/graphics/fb0/device", link, sizeof link);
    EXPECT_EQ(std::string(link, length > 0 ? length : 0), "../../../0000:01:00.0");
    length = devices.readlink("/sys/class/graphics/fb0/device", link, 4);
    EXPECT_EQ(length, 4) << "truncated like readlink";
    length = devices.readlink("/sys/class/graphics/fb1/device", link, sizeof link);
    EXPECT_EQ(std::string(link, length > 0 ? length : 0), "../../../vfb.1");
    EXPECT_EQ(devices.readlink("/sys/class/graphics/fbcon/device", link, sizeof link), -1);

    char text[64];
    length = devices.read_file("/sys/class/graphics/fb1/name", text, sizeof text);
    EXPECT_EQ(std::string(text, length > 0 ? length : 0), "vexa virtualdrmfb\n");
    length = devices.read_file("/sys/class/graphics/fb0/name", text, sizeof text);
    EXPECT_EQ(std::string(text, length > 0 ? length : 0), "first\n");
    EXPECT_EQ(devices.read_file("/sys/class/graphics/fb9/name", text, sizeof text), -1);
}

TEST_F(VirtualFramebuffersTest, KeepsConsoleState) {
    EXPECT_EQ(devices.console_framebuffer(), 1);
    EXPECT_EQ(devices.set_console_graphics(true), 0);
    EXPECT_TRUE(devices.console_in_graphics());
    devices.fail_console_mode();
    EXPECT_EQ(devices.set_console_graphics(false), -1);
    EXPECT_TRUE(devices.console_in_graphics());
    devices.set_console(-1);
    EXPECT_EQ(devices.console_framebuffer(), -1);
    EXPECT_EQ(devices.log().back(), "console framebuffer");
}

// A clock the test moves: the device's sleep jumps it to the time asked for.
struct HandClock {
    uint64_t now = 0;
    std::vector<uint64_t> sleeps;
    void install(VirtualFramebuffers& devices) {
        devices.set_clock([this] { return now; },
                          [this](uint64_t until) {
                              sleeps.push_back(until);
                              now = until;
                          });
    }
};

TEST(VirtualVblank, ComesAtTheRefreshRateOfTheModesTimings) {
    VirtualFramebuffers devices;
    ASSERT_EQ(devices.add("64x48x16"), 0);
    // The default timings: about 60 Hz whatever the size.
    EXPECT_NEAR(static_cast<double>(vblank_period_ps(devices.device(0).var)), 1e12 / 60, 1e6);

    fb_var_screeninfo& var = devices.device(0).var;
    var.left_margin = var.right_margin = var.upper_margin = var.lower_margin = 0;
    var.hsync_len = 36;  // 100 x 100 pixels a frame
    var.vsync_len = 52;
    var.pixclock = 2000000;  // 2 us a pixel: a blank every 20 ms
    HandClock clock;
    clock.install(devices);
    const int fd = devices.open("/dev/fb0", 2);
    uint32_t pipe = 0;
    const struct {
        uint64_t now;
        uint64_t wakes;
    } cases[] = {
        {1000005, 1020000},
        {1020000, 1040000},  // at a blank, the next one
        {1039999, 1040000},
        {0, 20000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now);
        clock.now = c.now;
        EXPECT_EQ(devices.ioctl(fd, FBIO_WAITFORVSYNC, &pipe), 0);
        EXPECT_EQ(clock.now, c.wakes);
    }
    EXPECT_EQ(devices.log().back(), "ioctl FBIO_WAITFORVSYNC");

    clock.sleeps.clear();
    pipe = 1;
    EXPECT_EQ(devices.ioctl(fd, FBIO_WAITFORVSYNC, &pipe), -1) << "one display pipe only";
    EXPECT_EQ(errno, ENODEV);
    pipe = 0;
    var.pixclock = 0;
    EXPECT_EQ(devices.ioctl(fd, FBIO_WAITFORVSYNC, &pipe), -1) << "no timings, no blank";
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST(VirtualPan, MovesTheShownWindowWithinTheVirtualScreen) {
    VirtualFramebuffers devices;
    ASSERT_EQ(devices.add("8x4x16,vyres=8"), 0);
    const int fd = devices.open("/dev/fb0", 2);
    VirtualDevice& device = devices.device(0);
    const struct {
        uint32_t ypanstep;
        uint32_t xoffset, yoffset;
        bool accepted;
    } cases[] = {
        {1, 0, 4, true},  {1, 0, 0, true},  {1, 0, 3, true},
        {1, 0, 5, false},  // past the virtual height
        {1, 1, 0, false},  // no horizontal panning
        {2, 0, 3, false},  // between steps
        {2, 0, 4, true},  {0, 0, 4, false}, {0, 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.ypanstep) + " " + std::to_string(c.yoffset));
        device.fix.ypanstep = c.ypanstep;
        const uint32_t before = device.var.yoffset;
        fb_var_screeninfo pan = device.var;
        pan.xoffset = c.xoffset;
        pan.yoffset = c.yoffset;
        EXPECT_EQ(devices.ioctl(fd, FBIOPAN_DISPLAY, &pan), c.accepted ? 0 : -1);
        EXPECT_EQ(device.var.yoffset, c.accepted ? c.yoffset : before);
        EXPECT_EQ(devices.log().back(), "ioctl FBIOPAN_DISPLAY " + std::to_string(c.yoffset) +
                                            (c.accepted ? "" : " failed"));
    }
    EXPECT_EQ(device.var.yres_virtual, 8u) << "a pan changes no mode";
}

}  // namespace
}  // namespace platform
