#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/virtual_framebuffers.h"

namespace platform {
namespace {

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Two logging devices in a private directory.
class CallLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexa-calllog-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir = pattern;
        std::string error;
        ASSERT_EQ(devices.add(("8x4x16,direct,log=" + first()).c_str(), &error), 0) << error;
        ASSERT_EQ(devices.add(("8x4x32,log=" + second()).c_str(), &error), 1) << error;
    }
    void TearDown() override {
        unlink(first().c_str());
        unlink(second().c_str());
        rmdir(dir.c_str());
    }
    std::string first() const { return dir + "/fb0.log"; }
    std::string second() const { return dir + "/fb1.log"; }

    std::string dir;
    VirtualFramebuffers devices;
};

TEST_F(CallLogTest, FileHoldsTheSameCallsAsTheyHappen) {
    int fd = devices.open("/dev/fb0", 2);
    fb_var_screeninfo var{};
    ASSERT_EQ(devices.ioctl(fd, FBIOGET_VSCREENINFO, &var), 0);
    ASSERT_NE(devices.map_shared(fd, 64), nullptr);
    EXPECT_EQ(devices.map_shared(fd, 65), nullptr);
    ASSERT_EQ(devices.close(fd), 0);
    // Read while the devices still exist: nothing waits in a buffer for the end.
    EXPECT_EQ(read_lines(first()), devices.log());
    EXPECT_EQ(devices.log().size(), 5u);
    EXPECT_TRUE(read_lines(second()).empty()) << "no call reached fb1";
}

TEST_F(CallLogTest, RestoringCallsSayWhatTheyPutBack) {
    int fd0 = devices.open("/dev/fb0", 2);
    fb_var_screeninfo opened{};
    devices.ioctl(fd0, FBIOGET_VSCREENINFO, &opened);
    std::vector<uint16_t> saved_r(64), saved_g(64), saved_b(64), ramp(64);
    fb_cmap saved{0, 64, saved_r.data(), saved_g.data(), saved_b.data(), nullptr};
    fb_cmap ramps{0, 64, ramp.data(), ramp.data(), ramp.data(), nullptr};
    devices.ioctl(fd0, FBIOGETCMAP, &saved);
    devices.ioctl(fd0, FBIOPUTCMAP, &ramps);
    auto* screen = static_cast<uint8_t*>(devices.map_shared(fd0, 64));
    screen[63] = 1;
    devices.unmap(screen, 64);
    screen = static_cast<uint8_t*>(devices.map_shared(fd0, 64));
    screen[63] = 0;
    devices.unmap(screen, 64);
    fb_var_screeninfo other = opened;
    other.yoffset = 0;
    other.xres = 4;
    devices.ioctl(fd0, FBIOPUT_VSCREENINFO, &other);
    devices.ioctl(fd0, FBIOPUTCMAP, &saved);
    devices.fail_mode_restore();
    devices.ioctl(fd0, FBIOPUT_VSCREENINFO, &opened);
    devices.clear_faults();
    devices.ioctl(fd0, FBIOPUT_VSCREENINFO, &opened);
    devices.set_console_graphics(false);  // on no one device: both files
    int fd1 = devices.open("/dev/fb1", 2);
    devices.close(fd1);
    devices.close(fd0);

    std::vector<std::string> expected = {
        "open /dev/fb0",
        "ioctl FBIOGET_VSCREENINFO",
        "ioctl FBIOGETCMAP",
        "ioctl FBIOPUTCMAP differs-from-original",
        "map 64",
        "unmap 64 nonzero",
        "map 64",
        "unmap 64 zeroed",
        "ioctl FBIOPUT_VSCREENINFO 4x4x16 differs-from-opened",
        "ioctl FBIOPUTCMAP restores-original",
        "ioctl FBIOPUT_VSCREENINFO failed",
        "ioctl FBIOPUT_VSCREENINFO 8x4x16 as-opened",
        "console text",
        "close",
    };
    EXPECT_EQ(read_lines(first()), expected);
    EXPECT_EQ(read_lines(second()),
              (std::vector<std::string>{"console text", "open /dev/fb1", "close"}));
    EXPECT_EQ(devices.log()[5], "unmap") << "the in-memory log keeps its short form";
}

TEST(CallLogFile, UnopenablePathIsASpecError) {
    VirtualFramebuffers devices;
    std::string error;
    EXPECT_EQ(devices.add("8x4x16,log=/nonexistent-dir/fb.log", &error), -1);
    EXPECT_EQ(devices.count(), 0);
    EXPECT_NE(error.find("cannot open virtual framebuffer log \"/nonexistent-dir/fb.log\": "),
              std::string::npos)
        << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

}  // namespace
}  // namespace platform
