// The status report's five pairs, read from the reply packet.
#include "driver/status_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fbdev/fbdev_state.h"
#include "fbdev/vsync.h"
#include "pixel/kernel_table.h"
#include "runtime/comm_packet.h"
#include "runtime/runtime_api.h"

namespace {

class StatusReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fbdev_fd = -1;
        fbdev_map = nullptr;
        fbdev_var = fb_var_screeninfo{};
        fbdev_fix = fb_fix_screeninfo{};
        fbdev_using_device.clear();
        fbdev_last_error.clear();
        fbdev_last_notes.clear();
        output_play_dropped_frames = 0;
        fbcon_lockout = 0;
        vsync_setting = vsync_off;
        fbdev_vsync = vsync_off;
        status_texts = shm_status() + mem_status() + cpu_status();
    }
    void TearDown() override {
        fbdev_fd = -1;
        fbdev_map = nullptr;
        vsync_setting = vsync_off;
        fbdev_vsync = vsync_off;
    }

    // Pretends a 1024x768 5:6:5 device is open and mapped.
    void open_rgb565() {
        fbdev_fd = 77;
        fbdev_map = screen;
        fbdev_var.xres = 1024;
        fbdev_var.yres = 768;
        fbdev_var.bits_per_pixel = 16;
        fbdev_var.red = {11, 5, 0};
        fbdev_var.green = {5, 6, 0};
        fbdev_var.blue = {0, 5, 0};
        fbdev_using_device = "/dev/fb0";
        std::memcpy(fbdev_fix.id, "virtfb", 6);
    }

    comm_socket_v4_packet report() {
        comm_socket_v4_packet packet;
        driver_on_report(nullptr, &packet);
        return packet;
    }

    // The runtime's texts vary with time; only their presence at the end is checked.
    void expect_active(const comm_socket_v4_packet& packet, const std::string& prefix) {
        ASSERT_EQ(6u, packet.pairs.size());
        const std::string& active = packet.pairs[0].second;
        EXPECT_EQ(prefix, active.substr(0, prefix.size())) << active;
        EXPECT_EQ(',', active[prefix.size()]) << active;  // status texts begin with a comma
    }

    uint8_t screen[16] = {};
    std::string status_texts;
};

TEST_F(StatusReportTest, BeforeAnyOpen) {
    const comm_socket_v4_packet packet = report();
    ASSERT_EQ(6u, packet.pairs.size());
    EXPECT_EQ("*active", packet.pairs[0].first);
    EXPECT_EQ("*last error", packet.pairs[1].first);
    EXPECT_EQ("*last notes", packet.pairs[2].first);
    EXPECT_EQ("*using device", packet.pairs[3].first);
    EXPECT_EQ("*using fbcon", packet.pairs[4].first);
    EXPECT_EQ("*pixel level", packet.pairs[5].first);
    EXPECT_EQ(pixel_kernels_level(), packet.pairs[5].second);
    expect_active(packet, "0");
    EXPECT_EQ("", packet.pairs[1].second);
    EXPECT_EQ("", packet.pairs[2].second);
    EXPECT_EQ(": ", packet.pairs[3].second);
    EXPECT_EQ("", packet.pairs[4].second);
}

TEST_F(StatusReportTest, OpenDevice) {
    open_rgb565();
    output_play_dropped_frames = 12345678901234ull;
    fbcon_lockout = 1;
    const comm_socket_v4_packet packet = report();
    expect_active(packet, "1,bpp=16,argbw=0:5:6:5,argbp=0:11:5:0,efd=12345678901234,res=1024x768");
    EXPECT_EQ("/dev/fb0: virtfb", packet.pairs[3].second);
    EXPECT_EQ("1", packet.pairs[4].second);
}

TEST_F(StatusReportTest, ActivityText) {
    struct Case {
        const char* name;
        uint32_t bpp;
        uint32_t pixclock;
        uint32_t htotal_extra;  // added to the left margin
        uint32_t vtotal_extra;  // added to the upper margin
        const char* expected;
    };
    const Case cases[] = {
        {"eight bit: no fields", 8, 0, 0, 0, "1,bpp=8,efd=0,res=1024x768"},
        // 2200 x 1125 at 6734 ps: 60.00006 Hz.
        {"rate", 16, 6734, 2200 - 1024, 1125 - 768,
         "1,bpp=16,argbw=0:5:6:5,argbp=0:11:5:0,vrate=60.00,efd=0,res=1024x768"},
        // Totals that wrap to 0 in 32 bits give no rate.
        {"zero total", 16, 6734, 0u - 1024u, 0,
         "1,bpp=16,argbw=0:5:6:5,argbp=0:11:5:0,efd=0,res=1024x768"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        open_rgb565();
        fbdev_var.bits_per_pixel = c.bpp;
        fbdev_var.pixclock = c.pixclock;
        fbdev_var.left_margin = c.htotal_extra;
        fbdev_var.upper_margin = c.vtotal_extra;
        expect_active(report(), c.expected);
    }
}

// Asked for, the way in force and what waiting costs follow the resolution; not asked for, nothing.
TEST_F(StatusReportTest, TearFreeOutputInForceAndItsCost) {
    const struct {
        const char* name;
        int setting;
        int in_force;
        uint64_t calls;
        uint64_t call_us;
        const char* suffix;
    } cases[] = {
        {"off", vsync_off, vsync_off, 0, 0, ""},
        {"no wait yet", vsync_wait, vsync_wait, 0, 0, ",vsync=1,vwaits=0,vwait=0.00"},
        {"flip fell back to waiting", vsync_flip, vsync_wait, 4, 10000,
         ",vsync=1,vwaits=4,vwait=2.50"},
        {"wait fell back to none", vsync_wait, vsync_off, 1, 3, ",vsync=0,vwaits=1,vwait=0.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        open_rgb565();
        vsync_setting = c.setting;
        fbdev_vsync = c.in_force;
        fbdev_vsync_calls = c.calls;
        fbdev_vsync_call_us = c.call_us;
        expect_active(
            report(),
            std::string("1,bpp=16,argbw=0:5:6:5,argbp=0:11:5:0,efd=0,res=1024x768") + c.suffix);
    }
}

TEST_F(StatusReportTest, FailedOpen) {
    // What a failed open leaves: a negative descriptor, the reason, the path tried.
    fbdev_fd = -1;
    fbdev_last_error = "Unable to open framebuffer, No such file or directory";
    fbdev_last_notes = "Unblank failed. \nNOTICE: two lines";
    fbdev_using_device = "/dev/fb3";
    fbcon_lockout = 1;
    const comm_socket_v4_packet packet = report();
    expect_active(packet, "0");
    EXPECT_EQ(fbdev_last_error, packet.pairs[1].second);
    EXPECT_EQ(fbdev_last_notes, packet.pairs[2].second);
    EXPECT_EQ("/dev/fb3: ", packet.pairs[3].second);
    EXPECT_EQ("", packet.pairs[4].second);
}

TEST_F(StatusReportTest, MappedButClosedIsInactive) {
    open_rgb565();
    fbdev_map = nullptr;
    expect_active(report(), "0");
}

TEST_F(StatusReportTest, SixteenCharacterIdIsCut) {
    open_rgb565();
    std::memcpy(fbdev_fix.id, "ABCDEFGHIJKLMNOP", 16);  // fills the field, no terminator
    fbdev_fix.smem_start = 0x4141414141414141ull;       // the bytes after it are not zero
    EXPECT_EQ("/dev/fb0: ABCDEFGHIJKLMNOP", report().pairs[3].second);
}

}  // namespace
