// Tear-free output in the display loop: the order of waiting, drawing and panning, the fall-backs,
// live changes, what the screen shows after each frame, and pacing against the blank.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "driver/display_loop.h"
#include "driver/driver_settings.h"
#include "driver/hook_table.h"
#include "driver/media_hooks.h"
#include "driver/show_frame.h"
#include "driver_test_support.h"
#include "fbdev/fbdev_state.h"
#include "fbdev/vsync.h"
#include "platform/virtual_framebuffers.h"
#include "runtime/access_cache.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "test_build/scripted_item.h"

namespace {

struct Colour {
    const char* name;
    uint8_t y, u, v;
};
constexpr Colour kRed{"red", 81, 90, 240};
constexpr Colour kWhite{"white", 235, 128, 128};
constexpr Colour kMagenta{"magenta", 106, 202, 222};

vexa_scripted_frame frame(uint64_t id, const Colour& c) {
    vexa_scripted_frame f;
    f.id = id;
    f.y = c.y;
    f.u = c.u;
    f.v = c.v;
    return f;  // 64 x 48, the size of the devices below
}

// The one clock of the test: the runtime's and the device's. Waiting for the blank moves it.
uint64_t now_us = 0;
std::function<void(uint64_t discarded)> on_clock_read;
uint64_t test_clock() {
    if (on_clock_read) on_clock_read(vexa_script_counts_get().discarded);
    return now_us;
}

class TearFreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver_test::reset_display_loop_state();
        ASSERT_NE(nullptr, vexa_acc_cache);
        output_play_dropped_frames = 0;
        now_us = 1000000000;
        on_clock_read = nullptr;
        vexa_clock_override = test_clock;
        change_vsync_setting(vsync_off);
    }
    void TearDown() override {
        driver_test::end_display_loop_test();
        on_clock_read = nullptr;
        change_vsync_setting(vsync_off);
        // The next test's clock starts afresh: mappings stamped by this one's must not outlive it.
        vexa_global_access_cache_destroy(vexa_acc_cache);
        vexa_acc_cache = nullptr;
    }

    // fb0 from SPEC, on the test's clock. Each pan and each wait is noted with what the device
    // shows at that moment (and, with two pages, what the other page holds) until the close.
    platform::VirtualDevice& device(const char* spec) {
        std::string error;
        fb = std::make_unique<platform::VirtualFramebuffers>();
        EXPECT_EQ(0, fb->add(spec, &error)) << error;
        platform::set_seam(fb.get());
        fb->set_clock([] { return now_us; }, [](uint64_t until) { now_us = until; });
        events.clear();
        closing = false;
        fb->set_call_observer([this](const std::string& call) {
            if (call == "unmap") closing = true;
            if (call.rfind("map ", 0) == 0) closing = false;
            if (closing) return;
            std::string event;
            if (call.rfind("ioctl FBIO_WAITFORVSYNC", 0) == 0) {
                event = "wait" + call.substr(23);
            } else if (call.rfind("ioctl FBIOPAN_DISPLAY", 0) == 0) {
                event = "pan" + call.substr(21);
            } else if (call == "flush") {
                event = call;
            } else {
                return;
            }
            const platform::VirtualDevice& d = fb->device(0);
            event += ": shows " + page_colour(d.var.yoffset);
            if (d.var.yres_virtual >= 2 * d.var.yres) {
                event += ", hidden " + page_colour(d.var.yoffset == 0 ? d.var.yres : 0);
            }
            events.push_back(event);
        });
        return fb->device(0);
    }

    // Plays the frames to their end; on_end runs when the item has ended, before the close.
    std::string play(const std::vector<vexa_scripted_frame>& frames,
                     std::function<void()> on_end = nullptr) {
        vexa_script_item(frames, {}, [on_end] {
            if (on_end) on_end();
            DIE4 = 1;
        });
        driver_test::StderrCapture capture;
        run_display_loop();
        const vexa_script_counts counts = vexa_script_counts_get();
        EXPECT_EQ(counts.delivered, counts.discarded) << "every frame is given back";
        return capture.text();
    }

    // The colour that fills the 48 rows from `row`, "mixed" when they hold more than one.
    std::string page_colour(uint32_t row) const {
        const platform::VirtualDevice& d = fb->device(0);
        std::set<uint16_t> seen;
        for (uint32_t y = row; y < row + 48; ++y) {
            const uint8_t* line = d.memory.data() + static_cast<size_t>(y) * d.fix.line_length;
            for (uint32_t x = 0; x < 64; ++x) seen.insert(line[2 * x] | line[2 * x + 1] << 8);
        }
        if (seen.size() != 1) return "mixed";
        static const std::map<uint16_t, std::string> names = {
            {0x0000, "black"}, {0xf800, "red"}, {0xffdf, "white"}, {0xf81f, "magenta"}};
        const auto name = names.find(*seen.begin());
        if (name != names.end()) return name->second;
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04x", *seen.begin());
        return hex;
    }

    std::string shown_colour() const { return page_colour(fb->device(0).var.yoffset); }

    int log_count(const std::string& call) const {
        int n = 0;
        for (const std::string& entry : fb->log()) n += entry == call;
        return n;
    }

    std::unique_ptr<platform::VirtualFramebuffers> fb;
    std::vector<std::string> events;
    bool closing = false;
};

TEST_F(TearFreeTest, WaitThenDrawOrDrawIntoTheHiddenPageThenPanToIt) {
    const struct {
        const char* name;
        const char* spec;
        int setting;
        std::function<void(platform::VirtualFramebuffers&)> fault;
        std::vector<std::string> events;
    } cases[] = {
        {"off: neither", "64x48x16,vyres=96", vsync_off, nullptr, {}},
        {"wait",
         "64x48x16",
         vsync_wait,
         nullptr,
         {"wait: shows black", "wait: shows red", "wait: shows white"}},
        {"flip",
         "64x48x16,vyres=96",
         vsync_flip,
         nullptr,
         {"flush: shows black, hidden red", "pan 48: shows red, hidden black",
          "flush: shows red, hidden white", "pan 0: shows white, hidden red",
          "flush: shows white, hidden red", "pan 48: shows red, hidden white"}},
        {"flip on one page waits instead",
         "64x48x16,vyres=95",
         vsync_flip,
         nullptr,
         {"wait: shows black", "wait: shows red", "wait: shows white"}},
        {"no wait on the device: drawn at once",
         "64x48x16",
         vsync_wait,
         [](platform::VirtualFramebuffers& d) { d.fail_ioctl(FBIO_WAITFORVSYNC, ENOTTY); },
         {"wait failed: shows black"}},
        {"a failed pan: the frame is drawn again where it shows",
         "64x48x16,vyres=96",
         vsync_flip,
         [](platform::VirtualFramebuffers& d) { d.fail_ioctl(FBIOPAN_DISPLAY, EINVAL, 1); },
         {"flush: shows black, hidden red", "pan 48: shows red, hidden black",
          "flush: shows red, hidden white", "pan 0 failed: shows red, hidden white",
          "wait: shows red, hidden white", "wait: shows white, hidden white"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        device(c.spec);
        if (c.fault) c.fault(*fb);
        change_vsync_setting(c.setting);
        play({frame(1, kRed), frame(2, kWhite), frame(3, kRed)});
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(log_count("open /dev/fb0"), 1);
        EXPECT_EQ(last_frame_id, 3u);
        TearDown();
    }
}

TEST_F(TearFreeTest, AfterEachFrameTheDeviceShowsThatFrameWhole) {
    for (int setting : {vsync_off, vsync_wait, vsync_flip}) {
        SCOPED_TRACE(setting);
        SetUp();
        device("64x48x16,vyres=96");
        change_vsync_setting(setting);
        const Colour colours[] = {kRed, kWhite, kMagenta};
        std::vector<vexa_scripted_frame> frames;
        for (uint64_t id = 1; id <= 7; ++id) frames.push_back(frame(id, colours[id % 3]));
        // Looked at as each frame is given back, when --snapshot writes its picture.
        std::vector<std::string> shown;
        on_clock_read = [&](uint64_t discarded) {
            if (discarded > shown.size() && discarded <= frames.size()) {
                shown.push_back(shown_colour());
            }
        };
        play(frames, [&] { shown.resize(frames.size(), shown_colour()); });
        std::vector<std::string> expected;
        for (uint64_t id = 1; id <= 7; ++id) expected.push_back(colours[id % 3].name);
        EXPECT_EQ(shown, expected);
        TearDown();
    }
}

TEST_F(TearFreeTest, LiveChangesReopenOnlyWhenPagesComeOrGoAndTheItemPlaysOn) {
    device("64x48x16,vyres=96");
    std::vector<vexa_scripted_frame> frames;
    for (uint64_t id = 1; id <= 8; ++id) frames.push_back(frame(id, id % 2 ? kRed : kWhite));
    const std::map<uint64_t, const char*> changes = {{2, "1"}, {4, "2"}, {6, "0"}};
    uint64_t changed_at = 0;
    on_clock_read = [&](uint64_t discarded) {
        auto change = changes.find(discarded);
        if (change != changes.end() && changed_at != discarded) {
            changed_at = discarded;
            vexa_on_set(nullptr, "vsync", std::string(change->second));
        }
    };
    static int resets;
    resets = 0;
    output_on_reset_media_item = [] {
        ++resets;
        return driver_on_reset_media_item();
    };
    const std::string err = play(frames);
    std::vector<std::string> calls;
    for (const std::string& event : events) calls.push_back(event.substr(0, event.find(':')));
    EXPECT_EQ(calls,
              (std::vector<std::string>{"wait", "wait", "flush", "pan 48", "flush", "pan 0"}));
    EXPECT_EQ(log_count("open /dev/fb0"), 3) << "reopened when flipping starts and stops";
    EXPECT_EQ(vexa_script_counts_get().delivered, 8u) << "the item was not restarted";
    EXPECT_EQ(resets, 1) << "only the item's own end";
    EXPECT_EQ(last_frame_id, 8u);
    EXPECT_NE(err.find("Drawing mode change, reopening the framebuffer\n"), std::string::npos);
}

// Drawing waits for the blank, but no frame is late enough to be dropped while the display
// refreshes at least as often as the item plays.
TEST_F(TearFreeTest, WaitingForTheBlankDropsNoFrameAtOrAboveTheItemsRate) {
    const struct {
        const char* name;
        unsigned display_hz;
        const char* fps;
        uint64_t draw_us;  // the conversion's time
        bool drops;
    } cases[] = {
        {"60 Hz, 60 fps", 60, "60", 4000, false},
        {"60 Hz, 59.94 fps", 60, "60000/1001", 4000, false},
        {"60 Hz, 50 fps", 60, "50", 4000, false},
        {"60 Hz, 25 fps", 60, "25", 12000, false},
        {"75 Hz, 60 fps", 75, "60", 4000, false},
        {"144 Hz, 60 fps", 144, "60", 2000, false},
        {"50 Hz, 60 fps: the display is slower than the item", 50, "60", 4000, true},
    };
    constexpr uint64_t kFrames = 120;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const bool unpaced = vexa_unpaced;
        vexa_unpaced = false;
        fb_var_screeninfo& var = device("64x48x16").var;
        const uint64_t pixels = (64 + 48 + 16 + 96) * (48 + 33 + 10 + 2);
        var.pixclock = static_cast<uint32_t>(1000000000000ull / (pixels * c.display_hz));
        change_vsync_setting(vsync_wait);

        const std::string item =
            std::string("pattern:bars,64x48,fps=") + c.fps + ",frames=" + std::to_string(kFrames);
        output_media_item_set_output_media_item(item.c_str());
        vexa_start_item(item.c_str());
        ASSERT_EQ(0, output_media_item_default_connect_phase());
        ASSERT_EQ(0, output_media_item_default_get_context_phase());
        const output_media_item_context_state* ctx = output_media_item_our_context_state;
        ASSERT_EQ(0,
                  output_driver_display_phase_av_common_init(
                      ctx->rate_num, static_cast<uint32_t>(ctx->rate_den), 0, 0, ctx->queue_bytes));
        driver_test::StderrCapture capture;
        uint64_t shown = 0;
        while (shown + output_play_dropped_frames < kFrames) {
            ASSERT_EQ(0, output_driver_display_phase_av_common_send_frame_requests());
            if (OutputBufferFrame* f = output_driver_display_phase_av_common_next_frame(0)) {
                show_frame(f);
                now_us += c.draw_us;
                ++shown;
            } else {
                now_us += 250;  // idle until the next frame is due
            }
            vexa_global_access_cache_cleanup_idle(vexa_acc_cache);
        }
        output_media_item_reset_item_common();
        output_driver_video_queue_free();
        EXPECT_EQ(output_play_dropped_frames != 0, c.drops) << output_play_dropped_frames;
        EXPECT_EQ(fbdev_vsync_calls, shown);
        EXPECT_LE(fbdev_vsync_call_us / shown, 1000000u / c.display_hz) << "at most a refresh";
        vexa_unpaced = unpaced;
        TearDown();
    }
}

}  // namespace
