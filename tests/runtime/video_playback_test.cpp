// Video items in time: pictures are due at their own timestamps (variable rates too), a loop goes
// on through the end without a break, start= and size= shape what plays, and the item text's
// options are checked before anything opens.
#include <string>
#include <vector>

#include "runtime/item_description.h"
#include "video_fixture.h"

namespace {
using namespace media_test;
using namespace video_test;

class VideoPacingTest : public VideoTest {
  protected:
    void SetUp() override {
        VideoTest::SetUp();
        vexa_unpaced = false;
        vexa_clock_override = fake_clock;
    }
};

TEST_F(VideoPacingTest, PicturesAreDueAtTheirTimestamps) {
    // 40 ms apart, then a gap of 300 ms more, then 100 ms apart.
    const std::string clip = make_video(
        "vfr.mkv", source_args("32x16", 7),
        "-vf \"settb=1/1000,setpts=N*40+gte(N\\,4)*300+gte(N\\,5)*(N-4)*60\" -fps_mode "
        "passthrough -enc_time_base 1:1000 -c:v ffv1");
    ASSERT_FALSE(clip.empty());
    ASSERT_EQ(0, connect(clip));
    const uint64_t expected_ms[] = {0, 40, 80, 120, 460, 560, 660};
    const uint64_t start = fake_now_us;
    std::vector<uint64_t> shown_ms;
    for (int step = 0; step < 200 && shown_ms.size() < 7; ++step) {
        while (OutputBufferFrame* f = take()) {
            EXPECT_LE(f->due_at_us, fake_now_us) << "given before it was due";
            // Every picture comes in the 10 ms step in which it falls due.
            EXPECT_GT(f->due_at_us + 10000, fake_now_us) << "given late";
            shown_ms.push_back((f->due_at_us - start) / 1000);
            f->discard_src_frame();
        }
        fake_now_us += 10000;
    }
    EXPECT_EQ(std::vector<uint64_t>(std::begin(expected_ms), std::end(expected_ms)), shown_ms);
    EXPECT_EQ(0u, output_play_dropped_frames);
}

TEST_F(VideoPacingTest, LatePicturesAreDroppedAndCounted) {
    const std::string clip = make_video("late.mkv", source_args("32x16", 10), "-c:v ffv1");
    ASSERT_FALSE(clip.empty());
    ASSERT_EQ(0, connect(clip));
    OutputBufferFrame* first = take();
    ASSERT_NE(nullptr, first);
    const uint64_t start = first->due_at_us;
    first->discard_src_frame();
    fake_now_us += 250000;  // pictures at 100 and 200 ms are late; the one at 200 shows
    OutputBufferFrame* f = take();
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(200000u, f->due_at_us - start);
    EXPECT_EQ(1u, output_play_dropped_frames);
    f->discard_src_frame();
}

TEST_F(VideoTest, LoopGoesOnThroughTheEndWithoutABreak) {
    const std::string clip = make_video("loop.mkv", source_args("32x16", 4), "-c:v ffv1");
    ASSERT_FALSE(clip.empty());
    for (const char* start : {"", ",start=0.2"}) {
        SCOPED_TRACE(start);
        stderr_capture err;
        ASSERT_EQ(0, connect(clip + ",loop" + start));
        const std::vector<picture> shown = play(10);
        ASSERT_EQ(10u, shown.size()) << err.text();
        const size_t pass = *start ? 2 : 4;  // pictures in one pass
        for (size_t i = 1; i < shown.size(); ++i) {
            EXPECT_EQ(100000u, shown[i].due_us - shown[i - 1].due_us) << "picture " << i;
            EXPECT_TRUE(shown[i].samples == shown[i % pass].samples) << "picture " << i;
        }
        EXPECT_EQ("", err.text());
        reset();
    }
}

TEST_F(VideoTest, StartAndSizeShapeWhatPlays) {
    const std::string clip = make_video("shape.mp4", source_args("64x48", 4), "-c:v libx264");
    ASSERT_FALSE(clip.empty());
    const auto whole = decode_reference(clip, "yuv420p", 64, 48);
    ASSERT_EQ(4u, whole.size());

    ASSERT_EQ(0, connect(clip + ",start=0.2"));
    std::vector<picture> shown = play();
    ASSERT_EQ(2u, shown.size());
    EXPECT_TRUE(shown[0].samples == whole[2]);
    EXPECT_TRUE(shown[1].samples == whole[3]);
    reset();

    // A start past the end shows nothing and says so.
    {
        stderr_capture err;
        ASSERT_EQ(0, connect(clip + ",start=30"));
        EXPECT_EQ(0u, play().size());
        EXPECT_EQ("video: " + clip + ": no picture to show from the start given\n", err.text());
        reset();
    }

    // Scaled once, straight into the frame buffer; the layout stays the stream's.
    ASSERT_EQ(0, connect(clip + ",size=33x20"));
    shown = play();
    ASSERT_EQ(4u, shown.size());
    for (const picture& p : shown) {
        EXPECT_EQ(33u, p.width);
        EXPECT_EQ(20u, p.height);
        EXPECT_EQ(2u, p.h_factor);
        EXPECT_EQ(2u, p.v_factor);
    }
    EXPECT_TRUE(shown[0].samples != shown[3].samples);  // the picture moves: not one still
}

TEST(VideoItemText, OptionsAreCheckedWithOneClearReason) {
    struct text_case {
        const char* item;
        const char* error;  // "" when it parses
    } const cases[] = {
        {"/v/a.mp4,loop", ""},
        {"/v/a.mp4,start=12.5,size=1280x720", ""},
        {"/v/a.mp4,start=0", ""},
        {"rtsp://cam/stream,loop", ""},
        {"/v/a.mp4,size=0x720", "bad size 'size=0x720'"},
        {"/v/a.mp4,size=1280", "bad size 'size=1280'"},
        {"/v/a.mp4,start=-1", "bad start 'start=-1'"},
        {"/v/a.mp4,start=1.", "bad start 'start=1.'"},
        {"/v/a.mp4,start=1.1234567", "bad start 'start=1.1234567'"},
        {"/v/a.mp4,loops", "unknown option 'loops'"},
        {"pattern:bars,loop", "loop, start= and size= are for video files and streams"},
    };
    for (const text_case& c : cases) {
        SCOPED_TRACE(c.item);
        item_description d;
        std::string error;
        EXPECT_EQ(*c.error ? -1 : 0, item_description_parse(c.item, &d, &error));
        EXPECT_EQ(c.error, error);
    }
    item_description d;
    std::string error;
    ASSERT_EQ(0, item_description_parse("/v/a.mp4,loop,start=2.25,size=320x200", &d, &error));
    EXPECT_TRUE(d.loop);
    EXPECT_EQ(2250000u, d.start_us);
    EXPECT_EQ(320u, d.scale_width);
    EXPECT_EQ(200u, d.scale_height);
}

}  // namespace
