// The display loop over a scripted item and a virtual framebuffer.
#include "driver/display_loop.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/driver_settings.h"
#include "driver/driver_signals.h"
#include "driver/hook_table.h"
#include "driver/media_hooks.h"
#include "driver/show_frame.h"
#include "driver_test_support.h"
#include "fbdev/fbdev_state.h"
#include "platform/virtual_framebuffers.h"
#include "runtime/runtime_api.h"
#include "test_build/scripted_item.h"

namespace {

using Fault = vexa_scripted_frame::Fault;

// Sample values of a few flat colours (BT.601, limited range).
struct Colour {
    uint8_t y, u, v;
};
constexpr Colour kWhite{235, 128, 128};
constexpr Colour kRed{81, 90, 240};

vexa_scripted_frame frame(uint64_t id, Colour c = kWhite, uint32_t width = 64,
                          uint32_t height = 48) {
    vexa_scripted_frame f;
    f.id = id;
    f.width = width;
    f.height = height;
    f.y = c.y;
    f.u = c.u;
    f.v = c.v;
    return f;
}

// A clock that moves only when frames are given back: frame k is shown at k * clock_step_us.
constexpr uint64_t kClockBase = 1000000000ull;
uint64_t clock_step_us = 0;
uint64_t clock_offset_us = 0;  // moved by hand
std::function<void(uint64_t discarded)> on_clock_read;
uint64_t scripted_clock() {
    const uint64_t discarded = vexa_script_counts_get().discarded;
    if (on_clock_read) on_clock_read(discarded);
    return kClockBase + clock_offset_us + discarded * clock_step_us;
}

class DisplayLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver_test::reset_display_loop_state();
        ASSERT_NE(nullptr, vexa_acc_cache);
        clock_step_us = 0;
        clock_offset_us = 0;
        on_clock_read = nullptr;
        vexa_clock_override = scripted_clock;
    }
    void TearDown() override {
        driver_test::end_display_loop_test();
        on_clock_read = nullptr;
    }

    // Adds the virtual device (fb0) and makes it the seam; its mode may be edited afterwards.
    fb_var_screeninfo& device(const char* spec) {
        std::string error;
        fb = std::make_unique<platform::VirtualFramebuffers>();
        EXPECT_EQ(0, fb->add(spec, &error)) << error;
        platform::set_seam(fb.get());
        return fb->device(0).var;
    }

    // Plays the frames to their end; the screen is kept as it was when the item ended.
    std::string play(const std::vector<vexa_scripted_frame>& frames,
                     vexa_script_faults faults = {}) {
        vexa_script_item(frames, faults, [this] {
            screen = fb->device(0).memory;
            DIE4 = 1;
        });
        driver_test::StderrCapture capture;
        run_display_loop();
        const vexa_script_counts counts = vexa_script_counts_get();
        EXPECT_EQ(counts.delivered, counts.discarded) << "every frame is given back";
        return capture.text();
    }

    uint32_t pixel(uint32_t x, uint32_t y) const {
        const size_t at =
            y * fb->device(0).fix.line_length + x * fb->device(0).var.bits_per_pixel / 8;
        if (fb->device(0).var.bits_per_pixel == 32) {
            return screen[at] | screen[at + 1] << 8 | screen[at + 2] << 16 | screen[at + 3] << 24;
        }
        if (fb->device(0).var.bits_per_pixel == 24) {
            return screen[at] | screen[at + 1] << 8 | screen[at + 2] << 16;
        }
        return screen[at] | screen[at + 1] << 8;
    }

    int log_count(const std::string& call) const {
        int n = 0;
        for (const std::string& entry : fb->log()) n += entry == call;
        return n;
    }

    static int occurrences(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }

    bool blank_screen() const {
        for (uint8_t b : screen) {
            if (b != 0) return false;
        }
        return true;
    }

    std::unique_ptr<platform::VirtualFramebuffers> fb;
    std::vector<uint8_t> screen;
};

TEST_F(DisplayLoopTest, DuplicatesAreGivenBackUndrawn) {
    device("64x48x16");
    const std::string err = play({frame(UINT64_MAX), frame(1), frame(1), frame(2), frame(1)});
    EXPECT_EQ(1, occurrences(err, "Avoid dup 18446744073709551615\n")) << err;
    EXPECT_EQ(1, occurrences(err, "Avoid dup 1\n"));
    EXPECT_EQ(2, occurrences(err, "Avoid dup"));
    EXPECT_EQ(1u, last_frame_id);
    EXPECT_EQ(1, log_count("open /dev/fb0"));
    EXPECT_NE(0u, pixel(0, 0));
}

TEST_F(DisplayLoopTest, FrameIsCutToTheVirtualSize) {
    device("64x48x16");
    play({frame(1, kWhite, 100, 60)});
    EXPECT_NE(0u, pixel(63, 47));
}

TEST_F(DisplayLoopTest, SmallerFrameIsDrawnAtItsOwnSize) {
    device("64x48x16");
    play({frame(1, kWhite, 32, 24)});
    EXPECT_NE(0u, pixel(31, 23));
    EXPECT_EQ(0u, pixel(32, 0));
    EXPECT_EQ(0u, pixel(0, 24));
}

TEST_F(DisplayLoopTest, SizeChangeReopensInTheSameStep) {
    device("64x48x16");
    const std::string err = play({frame(1), frame(2, kRed, 32, 24)});
    EXPECT_EQ(1, occurrences(err, "Active frame size change detected\n"));
    EXPECT_EQ(2, log_count("open /dev/fb0"));
    EXPECT_EQ(2u, last_frame_id);
    EXPECT_EQ(0xf800u, pixel(0, 0));
}

TEST_F(DisplayLoopTest, FailedOpenHoldsOffForTwoSeconds) {
    device("64x48x16");
    fb->fail_open(ENOENT);
    clock_step_us = 500000;  // frame k at k * 0.5 s
    std::vector<vexa_scripted_frame> frames;
    for (uint64_t id = 1; id <= 9; ++id) frames.push_back(frame(id));
    const std::string err = play(frames);
    // Frames at 0, 2 and 4 s try; those between are given back untried.
    EXPECT_EQ(3, occurrences(err, "Failed to init video output\n"));
    EXPECT_EQ(3, log_count("open /dev/fb0 failed"));
    EXPECT_EQ(UINT64_MAX, last_frame_id);
}

TEST_F(DisplayLoopTest, FirstFrameAfterTheHoldOffOpens) {
    device("64x48x16");
    fb->fail_open(ENOENT);
    clock_step_us = 500000;
    on_clock_read = [this](uint64_t discarded) {
        if (discarded == 1) fb->clear_faults();  // the device comes back during the hold-off
    };
    std::vector<vexa_scripted_frame> frames;
    for (uint64_t id = 1; id <= 6; ++id) frames.push_back(frame(id));
    const std::string err = play(frames);
    EXPECT_EQ(1, occurrences(err, "Failed to init video output\n"));
    EXPECT_EQ(1, log_count("open /dev/fb0 failed"));
    EXPECT_EQ(1, log_count("open /dev/fb0"));  // by the frame at 2 s
    EXPECT_EQ(6u, last_frame_id);
    EXPECT_NE(0u, pixel(0, 0));
}

TEST_F(DisplayLoopTest, BrokenFramesAreGivenBackAndTriedAgain) {
    struct Case {
        Fault fault;
        const char* message;
    };
    const Case cases[] = {
        {Fault::null_state, ""},
        {Fault::no_scanline, "Cannot load scanline data\n"},
        {Fault::no_header, "No header\n"},
        {Fault::no_references, "No references\n"},
        {Fault::no_shortcuts, "No shortcuts\n"},
        {Fault::wide_samples, "Wrong bytes/pixel\n"},
        {Fault::bad_plane_index, ""},
        {Fault::unmappable_y, "Unable to mmap Y\n"},
        {Fault::unmappable_u, "Unable to mmap U\n"},
        {Fault::unmappable_v, "Unable to mmap V\n"},
    };
    device("64x48x16");
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        SetUp();
        vexa_scripted_frame broken = frame(7, kRed);
        broken.fault = c.fault;
        const std::string err = play({broken, frame(7)});
        if (c.message[0] != '\0') {
            EXPECT_EQ(1, occurrences(err, c.message)) << err;
        }
        EXPECT_EQ(0, occurrences(err, "Avoid dup")) << "a broken frame is not remembered";
        EXPECT_EQ(7u, last_frame_id);
        EXPECT_NE(0u, pixel(0, 0));
    }
}

TEST_F(DisplayLoopTest, PixelFormats) {
    struct Case {
        const char* name;
        const char* spec;
        uint32_t green_length;  // 0: as the device string makes it
        uint32_t blue_offset;   // used when green_length is set
        uint32_t red_pixel;     // 0: nothing drawn
        uint32_t mask;          // bits compared: the top bits of each channel
        const char* warning;    // per frame
    };
    const Case cases[] = {
        {"16 bpp 5:6:5", "64x48x16", 0, 0, 0xf800, 0xffff, nullptr},
        {"15 bpp 5:5:5", "64x48x15", 0, 0, 0x7c00, 0xffff, nullptr},
        // A 15 bpp device that says green is 6 bits is drawn as 5:6:5.
        {"15 bpp green 6", "64x48x15", 6, 0, 0xf800, 0xffff, nullptr},
        // A 16 bpp device with a 5-bit green is 1:5:5:5.
        {"16 bpp green 5", "64x48x16", 5, 0, 0x7c00, 0xffff, nullptr},
        {"24 bpp", "64x48x24", 0, 0, 0xf00000, 0xf0f0f0, nullptr},
        {"32 bpp", "64x48x32", 0, 0, 0xf00000, 0xf0f0f0, nullptr},
        {"32 bpp blue at 8", "64x48x32", 8, 8, 0, 0, "WARNING: untested 32bpp blueoffset=8\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        fb_var_screeninfo& var = device(c.spec);
        if (c.green_length != 0) {
            var.green.length = c.green_length;
            var.blue.offset = c.blue_offset;
            if (c.green_length == 5) var.red = {10, 5, 0};
            if (c.green_length == 6) var.red = {11, 5, 0};
        }
        const std::string err = play({frame(1, kRed), frame(2, kRed), frame(2, kRed)});
        if (c.red_pixel != 0) {
            EXPECT_EQ(c.red_pixel, pixel(0, 0) & c.mask);
        } else {
            EXPECT_TRUE(blank_screen());
        }
        EXPECT_EQ(c.warning ? 2 : 0, occurrences(err, "WARNING"));
        if (c.warning) {
            EXPECT_EQ(2, occurrences(err, c.warning));
        }
        EXPECT_EQ(1, occurrences(err, "Avoid dup 2\n")) << "frames are remembered though not drawn";
        EXPECT_EQ(2u, last_frame_id);
        close_video_out();
        platform::set_seam(nullptr);
    }
}

TEST_F(DisplayLoopTest, AutostartWithAnEmptyItemOnlyRearmsTheTimer) {
    device("64x48x16");
    autostart_item = true;
    output_media_item_set_output_media_item("");
    output_media_item_reconnect_at = 0;
    const uint64_t connects_before = vexa_script_counts_get().connects;
    // Each cycle ends in the reset hook: note the timer, move the clock on by one second.
    static std::vector<uint64_t> armed;
    armed.clear();
    output_on_reset_media_item = [] {
        armed.push_back(next_autostart_at - kClockBase);
        clock_offset_us += 1000000;
        if (armed.size() == 5) DIE4 = 1;
        return 0;
    };
    run_display_loop();
    EXPECT_EQ((std::vector<uint64_t>{2000000, 2000000, 4000000, 4000000, 6000000}), armed);
    EXPECT_EQ(connects_before, vexa_script_counts_get().connects);
    EXPECT_EQ("", output_media_item);
}

TEST_F(DisplayLoopTest, LiveItemChangeEndsTheInnerLoop) {
    device("64x48x16");
    std::vector<vexa_scripted_frame> frames;
    for (uint64_t id = 1; id <= 50; ++id) frames.push_back(frame(id));
    bool changed = false;
    on_clock_read = [&](uint64_t discarded) {
        if (discarded == 3 && !changed) {
            changed = true;
            vexa_on_set(nullptr, "item", std::string("pattern:bars"));
        }
    };
    // The change resets once; the end of the cycle resets again, and then we stop.
    static int resets;
    resets = 0;
    output_on_reset_media_item = [] {
        if (++resets == 2) DIE4 = 1;
        return driver_on_reset_media_item();
    };
    const std::string err = play(frames);
    EXPECT_TRUE(changed);
    EXPECT_EQ(2, resets);
    EXPECT_EQ(2, occurrences(err, "Reset media item\n"));
    EXPECT_EQ("pattern:bars", output_media_item);
    EXPECT_LT(vexa_script_counts_get().delivered, 10u);
    EXPECT_LT(fbdev_fd, 0) << "the framebuffer is closed";
    EXPECT_EQ(1, log_count("close"));
}

TEST_F(DisplayLoopTest, ShutdownSignalClosesAndReturns) {
    device("64x48x16");
    std::vector<vexa_scripted_frame> frames;
    for (uint64_t id = 1; id <= 50; ++id) frames.push_back(frame(id));
    void (*previous)(int) = std::signal(SIGTERM, driver_on_signal);
    on_clock_read = [](uint64_t discarded) {
        if (discarded == 2 && DIE4 == 0) std::raise(SIGTERM);
    };
    const std::string err = play(frames);
    std::signal(SIGTERM, previous);
    EXPECT_EQ(1, DIE4);
    EXPECT_LT(vexa_script_counts_get().delivered, 5u);
    EXPECT_LT(fbdev_fd, 0);
    EXPECT_EQ(1, log_count("ioctl FBIOPUT_VSCREENINFO")) << "the mode is restored";
    EXPECT_EQ(1, log_count("unmap"));
    EXPECT_EQ(1, occurrences(err, "Reset media item\n"));
}

}  // namespace
