#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/device_seam.h"
#include "runtime/runtime_api.h"

namespace {
// Only the console and sysfs attribute calls are used here; the rest fail.
class ConsoleSeam : public platform::DeviceSeam {
  public:
    int open(const char*, int) override { return -1; }
    int close(int) override { return -1; }
    int ioctl(int, unsigned long, void*) override { return -1; }
    void* map_shared(int, size_t) override { return nullptr; }
    int unmap(void*, size_t) override { return -1; }
    int flush(int) override { return -1; }
    void* opendir(const char*) override { return nullptr; }
    const char* readdir(void*) override { return nullptr; }
    int closedir(void*) override { return -1; }
    ssize_t readlink(const char*, char*, size_t) override { return -1; }
    ssize_t read_file(const char* path, char* buf, size_t size) override {
        reads.push_back(path);
        const auto found = files.find(path);
        if (found == files.end()) return -1;
        const size_t n = std::min(size, found->second.size());
        std::memcpy(buf, found->second.data(), n);
        return static_cast<ssize_t>(n);
    }
    int console_framebuffer() override { return console; }
    int set_console_graphics(bool graphics) override {
        modes.push_back(graphics);
        return fail_mode ? -1 : 0;
    }

    std::map<std::string, std::string> files;
    std::vector<std::string> reads;
    std::vector<bool> modes;
    int console = -1;
    bool fail_mode = false;
};

class Console : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::set_seam(&seam_);
        fbcon_lockout = 0;
        fbcon_fbindex = -1;
    }
    void TearDown() override {
        fbcon_lockout = 0;
        platform::set_seam(nullptr);
    }
    ConsoleSeam seam_;
};

TEST_F(Console, TrackFollowsTheConsoleMap) {
    for (int console : {1, -1, 0}) {
        seam_.console = console;
        track_fbcon();
        EXPECT_EQ(console, fbcon_fbindex);
    }
}

TEST_F(Console, TakeAndReleaseSwitchTheTerminalOnce) {
    EXPECT_EQ(0, release_fbcon());  // nothing taken: nothing done
    EXPECT_TRUE(seam_.modes.empty());
    EXPECT_EQ(0, take_fbcon());
    EXPECT_EQ(1, fbcon_lockout);
    EXPECT_EQ(0, take_fbcon());
    EXPECT_EQ(0, release_fbcon());
    EXPECT_EQ(0, fbcon_lockout);
    EXPECT_EQ(0, release_fbcon());
    EXPECT_EQ((std::vector<bool>{true, false}), seam_.modes);

    seam_.fail_mode = true;
    EXPECT_NE(0, take_fbcon());
    EXPECT_EQ(0, fbcon_lockout);
}

TEST_F(Console, KmsEmulationByDeviceName) {
    struct Case {
        const char* name;  // null: no such attribute
        int kms;
    } cases[] = {{"i915drmfb\n", 1}, {"amdgpudrmfb", 1}, {"virtio_gpudrmfb \n", 1},
                 {"VESA VGA\n", 0},  {"drmfb-not\n", 0}, {"", 0},
                 {nullptr, 0}};
    for (const auto& c : cases) {
        seam_.files.clear();
        if (c.name) seam_.files["/sys/class/graphics/fb3/name"] = c.name;
        EXPECT_EQ(c.kms, fbdev_is_drm_kms_emulation(3) != 0) << (c.name ? c.name : "(none)");
    }
    EXPECT_EQ("/sys/class/graphics/fb3/name", seam_.reads.back());
    EXPECT_EQ(0, fbdev_is_drm_kms_emulation(-1));
}
}  // namespace
