// Pacing to the item's rate with a hand-moved clock, dropped frames, and the connect phase's
// waiting without an item.
#include "media_fixture.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace {
using namespace media_test;

class PacingTest : public MediaTest {
  protected:
    void SetUp() override {
        MediaTest::SetUp();
        vexa_unpaced = false;
        vexa_clock_override = fake_clock;
    }
    // The item's frame number of a delivered frame, from its due time at 25 fps.
    uint64_t frame_number(OutputBufferFrame* f) { return (f->due_at_us - start) / 40000; }
    uint64_t start = 0;
};

TEST_F(PacingTest, FramesComeWhenDueAndLateOnesAreDropped) {
    start = fake_now_us;
    ASSERT_EQ(0, connect("pattern:bars,32x16,fps=25"));  // one frame every 40 ms
    struct step {
        uint64_t advance_us;
        bool frame;
        uint64_t number;   // when a frame comes
        uint64_t dropped;  // in total so far
    } const steps[] = {
        {0, true, 0, 0},   // frame 0 is due at once
        {0, false, 0, 0},  // frame 1 is not due yet
        {39999, false, 0, 0},  {1, true, 1, 0},
        {400000, true, 11, 9},  // 10 frames late: the newest due one shows, the rest count
        {20000, false, 0, 9},  {20000, true, 12, 9},
    };
    for (const step& s : steps) {
        fake_now_us += s.advance_us;
        SCOPED_TRACE(fake_now_us - start);
        OutputBufferFrame* f = take();
        EXPECT_EQ(s.frame, f != nullptr);
        if (f) {
            EXPECT_EQ(s.number, frame_number(f));
            f->discard_src_frame();
        }
        EXPECT_EQ(s.dropped, output_play_dropped_frames);
    }
}

TEST_F(PacingTest, UnpacedDeliversWithoutWaiting) {
    vexa_unpaced = true;
    ASSERT_EQ(0, connect("pattern:bars,32x16,fps=1"));
    for (int i = 0; i < 5; ++i) {
        OutputBufferFrame* f = take();
        ASSERT_NE(nullptr, f);
        f->discard_src_frame();
        EXPECT_EQ(0, output_driver_display_phase_common_post_display_idle_and_wait());
    }
    EXPECT_EQ(0u, output_play_dropped_frames);
}

TEST_F(PacingTest, ConnectWithoutAnItemRetriesASecondLater) {
    output_media_item_set_output_media_item("");
    output_media_item_reconnect_at = 0;
    EXPECT_NE(0, output_media_item_default_connect_phase());
    EXPECT_EQ(fake_now_us + 1000000, output_media_item_reconnect_at);
    EXPECT_STREQ("idle", output_media_item_state_text());

    // Named but not started: still no connection.
    output_media_item_set_output_media_item("pattern:bars");
    fake_now_us += 1000000;
    EXPECT_NE(0, output_media_item_default_connect_phase());

    // A shutdown request cuts the wait for the reconnect time short.
    vexa_start_item("pattern:bars");
    DIE4 = 1;
    EXPECT_NE(0, output_media_item_default_connect_phase());
    DIE4 = 0;
    fake_now_us += 1000000;
    EXPECT_EQ(0, output_media_item_default_connect_phase());
    EXPECT_STREQ("playing", output_media_item_state_text());
}

}  // namespace
