// Waiting for the vertical blank and flipping between two pages: what the device allows, where
// frames go, the fall-backs, and the offset put back at close.
#include "fbdev/vsync.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fbdev/fbdev_state.h"
#include "fbdev_fixture_support.h"

namespace {

const char kNoFlip[] = "WARNING: Cannot flip pages, ";

// Byte offset of the next frame's first row in the mapping.
uint64_t target_offset(uint32_t* rows = nullptr) {
    uint32_t ignored = 0;
    return static_cast<uint64_t>(vsync_draw_target(rows ? rows : &ignored) - fbdev_map);
}

TEST_F(FbdevTest, OpenDecidesWhatTheDeviceAllows) {
    const struct {
        const char* name;
        const char* spec;
        int setting;
        uint32_t ypanstep;  // as the device reports it
        uint32_t yoffset;   // shown when opened
        int in_force;
        uint32_t first_row;   // where the first frame goes
        uint32_t rows;        // rows it may fill
        const char* warning;  // empty: none
    } cases[] = {
        {"off", "16x8x16,vyres=16", vsync_off, 1, 0, vsync_off, 0, 16, ""},
        {"wait", "16x8x16,vyres=16", vsync_wait, 1, 0, vsync_wait, 0, 16, ""},
        {"flip", "16x8x16,vyres=16", vsync_flip, 1, 0, vsync_flip, 8, 8, ""},
        {"flip with page 1 shown", "16x8x16,vyres=16", vsync_flip, 1, 8, vsync_flip, 0, 8, ""},
        {"flip, more than two pages", "16x8x16,vyres=20", vsync_flip, 1, 0, vsync_flip, 8, 8, ""},
        {"flip, one row short", "16x8x16,vyres=15", vsync_flip, 1, 0, vsync_wait, 0, 15,
         "virtual height 15 is less than two pages of 8; waiting for the vertical blank "
         "instead\n"},
        {"flip, no panning", "16x8x16,vyres=16", vsync_flip, 0, 0, vsync_wait, 0, 16,
         "the device cannot pan to row 8; waiting for the vertical blank instead\n"},
        {"flip, pan step misses page 1", "16x8x16,vyres=16", vsync_flip, 3, 0, vsync_wait, 0, 16,
         "the device cannot pan to row 8; waiting for the vertical blank instead\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        add(c.spec);
        devices.device(0).fix.ypanstep = c.ypanstep;
        devices.device(0).var.yoffset = c.yoffset;
        change_vsync_setting(c.setting);
        ASSERT_EQ(open_device(16, 8), 0);
        EXPECT_EQ(fbdev_vsync, c.in_force);
        uint32_t rows = 0;
        EXPECT_EQ(target_offset(&rows), c.first_row * fbdev_fix.line_length);
        EXPECT_EQ(rows, c.rows);
        const size_t at = err.find(kNoFlip);
        if (c.warning[0] == '\0') {
            EXPECT_EQ(at, std::string::npos) << err;
            EXPECT_EQ(fbdev_last_notes.find("No page flip"), std::string::npos);
        } else {
            EXPECT_EQ(err.substr(at + sizeof kNoFlip - 1), c.warning);
            EXPECT_EQ(fbdev_last_notes.substr(fbdev_last_notes.size() - 15), "\nNo page flip. ");
        }
        close_device();
    }
}

// What lies around a picture smaller than the screen stays put from one page to the other.
TEST_F(FbdevTest, FlippingStartsWithBothPagesAsTheOneShown) {
    for (uint32_t shown : {0u, 8u}) {
        SCOPED_TRACE(shown);
        fresh();
        add("16x8x16,vyres=16");
        std::vector<uint8_t>& memory = devices.device(0).memory;
        std::fill(memory.begin(), memory.begin() + 256, 0x11);
        std::fill(memory.begin() + 256, memory.end(), 0x22);
        devices.device(0).var.yoffset = shown;
        change_vsync_setting(vsync_flip);
        ASSERT_EQ(open_device(16, 8), 0);
        EXPECT_EQ(memory, std::vector<uint8_t>(512, shown == 0 ? 0x11 : 0x22));
    }
}

TEST_F(FbdevTest, FlippingAlternatesPagesAndCloseShowsTheOffsetFoundAgain) {
    // The device showed page 0 or page 1 when opened; either is what it shows after close.
    for (uint32_t found : {0u, 8u}) {
        SCOPED_TRACE(found);
        fresh();
        add("16x8x16,vyres=16");
        devices.device(0).var.yoffset = found;
        change_vsync_setting(vsync_flip);
        ASSERT_EQ(open_device(16, 8), 0);
        devices.clear_log();
        std::vector<uint64_t> targets;
        for (int frame = 0; frame < 3; ++frame) {
            targets.push_back(target_offset());
            std::memset(fbdev_map + targets.back(), 0x40 + frame, 8 * fbdev_fix.line_length);
            EXPECT_TRUE(vsync_after_draw());
            EXPECT_EQ(devices.device(0).var.yoffset * 32u, targets.back())
                << "shows the page drawn";
        }
        const uint64_t page1 = 8 * 32;
        const std::vector<uint64_t> expected = found == 0 ? std::vector<uint64_t>{page1, 0, page1}
                                                          : std::vector<uint64_t>{0, page1, 0};
        EXPECT_EQ(targets, expected);
        close_device();
        const std::string back = "ioctl FBIOPAN_DISPLAY " + std::to_string(found);
        EXPECT_EQ(log_from("unmap"),
                  (std::vector<std::string>{"unmap", back, "ioctl FBIOPUT_VSCREENINFO", "close"}));
        EXPECT_EQ(devices.device(0).var.yoffset, found);
        EXPECT_EQ(devices.device(0).memory, std::vector<uint8_t>(16 * 32, 0)) << "both pages";
        EXPECT_EQ(fbdev_vsync, vsync_off);
    }
}

TEST_F(FbdevTest, NoPanBackWhenThePageFoundShowsAlready) {
    add("16x8x16,vyres=16");
    change_vsync_setting(vsync_flip);
    ASSERT_EQ(open_device(16, 8), 0);
    EXPECT_TRUE(vsync_after_draw());
    EXPECT_TRUE(vsync_after_draw());
    devices.clear_log();
    close_device();
    EXPECT_EQ(devices.log(),
              (std::vector<std::string>{"unmap", "ioctl FBIOPUT_VSCREENINFO", "close"}));
}

// Either way of putting the offset back is enough when the other fails: the console's page shows.
TEST_F(FbdevTest, PageFoundShowsAfterCloseWhenOneRestoreFails) {
    const struct {
        const char* name;
        bool pan_back_fails;
        bool mode_restore_fails;
        const char* warning;
    } cases[] = {
        {"pan back refused", true, false, "Warning: Failed to restore the display offset\n"},
        {"mode write refused", false, true, "Warning: Failed to restore video mode\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        add("16x8x16,vyres=16");
        change_vsync_setting(vsync_flip);
        ASSERT_EQ(open_device(16, 8), 0);
        EXPECT_TRUE(vsync_after_draw());
        ASSERT_EQ(devices.device(0).var.yoffset, 8u);
        if (c.pan_back_fails) devices.fail_ioctl(FBIOPAN_DISPLAY, EINVAL);
        if (c.mode_restore_fails) devices.fail_mode_restore();
        close_device();
        EXPECT_EQ(err, c.warning);
        EXPECT_EQ(devices.device(0).var.yoffset, 0u);
        EXPECT_EQ(devices.log().back(), "close");
    }
}

TEST_F(FbdevTest, FailedPanFallsBackToWaitingOnThePageShown) {
    add("16x8x16,vyres=16");
    change_vsync_setting(vsync_flip);
    ASSERT_EQ(open_device(16, 8), 0);
    EXPECT_TRUE(vsync_after_draw());  // page 1 shows
    devices.fail_ioctl(FBIOPAN_DISPLAY, EINVAL);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(vsync_after_draw()) << "the frame in page 0 never showed";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "WARNING: Cannot flip pages, the pan failed: Invalid argument; waiting for the "
              "vertical blank instead\n");
    EXPECT_EQ(fbdev_vsync, vsync_wait);
    uint32_t rows = 0;
    EXPECT_EQ(target_offset(&rows), 8u * 32u) << "drawn again where it shows";
    EXPECT_EQ(rows, 8u);
    EXPECT_TRUE(vsync_after_draw());
    EXPECT_EQ(fbdev_last_notes.substr(fbdev_last_notes.size() - 15), "\nNo page flip. ");
}

TEST_F(FbdevTest, FailedWaitFallsBackToDrawingAtOnceAndSaysSoOnce) {
    add("16x8x16");
    devices.fail_ioctl(FBIO_WAITFORVSYNC, ENOTTY);
    change_vsync_setting(vsync_wait);
    for (int open = 0; open < 2; ++open) {
        SCOPED_TRACE(open);
        ASSERT_EQ(open_device(16, 8), 0);
        devices.clear_log();
        ::testing::internal::CaptureStderr();
        vsync_before_draw();
        vsync_before_draw();
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, open == 0 ? "WARNING: Cannot wait for the vertical blank, Inappropriate "
                                    "ioctl for device; drawing at once\n"
                                  : "");
        EXPECT_EQ(devices.log(), std::vector<std::string>{"ioctl FBIO_WAITFORVSYNC failed"});
        EXPECT_EQ(fbdev_vsync, vsync_off);
        EXPECT_EQ(fbdev_last_notes.substr(fbdev_last_notes.size() - 16), "\nNo vsync wait. ");
        close_device();
    }
}

TEST_F(FbdevTest, NewSettingReopensOnlyWhenPagesComeOrGo) {
    const struct {
        const char* name;
        const char* spec;
        std::vector<int> settings;  // the first before the open, the rest while open
        bool reopen;
        int in_force;  // when not reopening
    } cases[] = {
        {"off to wait", "16x8x16,vyres=16", {vsync_off, vsync_wait}, false, vsync_wait},
        {"wait to off", "16x8x16,vyres=16", {vsync_wait, vsync_off}, false, vsync_off},
        {"off to flip", "16x8x16,vyres=16", {vsync_off, vsync_flip}, true, 0},
        {"flip to wait", "16x8x16,vyres=16", {vsync_flip, vsync_wait}, true, 0},
        {"flip to off", "16x8x16,vyres=16", {vsync_flip, vsync_off}, true, 0},
        {"flip again", "16x8x16,vyres=16", {vsync_flip, vsync_flip}, false, vsync_flip},
        {"flip asked, and back",
         "16x8x16,vyres=16",
         {vsync_off, vsync_flip, vsync_off},
         false,
         vsync_off},
        {"flip on one page", "16x8x16", {vsync_off, vsync_flip}, false, vsync_wait},
        {"flip on one page to wait", "16x8x16", {vsync_flip, vsync_wait}, false, vsync_wait},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        add(c.spec);
        change_vsync_setting(c.settings[0]);
        ASSERT_EQ(open_device(16, 8), 0);
        devices.clear_log();
        for (size_t i = 1; i < c.settings.size(); ++i) change_vsync_setting(c.settings[i]);
        EXPECT_EQ(fbdev_reopen_wanted, c.reopen);
        if (!c.reopen) {
            EXPECT_EQ(fbdev_vsync, c.in_force);
        }
        EXPECT_TRUE(devices.log().empty()) << "nothing is done to the device at once";
        close_device();
        EXPECT_FALSE(fbdev_reopen_wanted) << "a close is the reopen's first half";
    }
}

}  // namespace
