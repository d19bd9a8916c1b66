// YUV4MPEG2 items: well-formed streams in every colour space, and broken ones that must end the
// item with one log line.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "media_fixture.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace {
using namespace media_test;

class Y4mTest : public MediaTest {
  protected:
    std::string path(const char* name) { return temp_dir + "/" + name; }

    // Shows every frame until the item ends; returns the frames seen.
    int play_to_end() {
        int shown = 0;
        for (int i = 0; i < 200; ++i) {
            if (OutputBufferFrame* f = take()) {
                ++shown;
                f->discard_src_frame();
            }
            if (output_driver_display_phase_common_post_display_idle_and_wait() != 0) break;
        }
        return shown;
    }
};

struct good_case {
    const char* colour;
    uint8_t h_factor, v_factor;
    bool mono;
};

TEST_F(Y4mTest, EveryColourSpacePlays) {
    const good_case cases[] = {
        {"", 2, 2, false},           {" C444", 1, 1, false},     {" C422", 2, 1, false},
        {" C420", 2, 2, false},      {" C420jpeg", 2, 2, false}, {" C420mpeg2", 2, 2, false},
        {" C420paldv", 2, 2, false}, {" C411", 4, 1, false},     {" Cmono", 2, 2, true},
    };
    const uint32_t w = 66, h = 47;  // odd sizes round the chroma planes up
    for (const good_case& c : cases) {
        SCOPED_TRACE(c.colour);
        const uint32_t cw = (w + c.h_factor - 1) / c.h_factor,
                       ch = (h + c.v_factor - 1) / c.v_factor;
        const uint64_t bytes = uint64_t{w} * h + (c.mono ? 0 : 2ull * cw * ch);
        const std::string file = path("clip.y4m");
        write_file(file,
                   y4m_stream(std::string("YUV4MPEG2 W66 H47 F25:1 Ip A1:1 XCOMMENT") + c.colour,
                              bytes, 3));
        ASSERT_EQ(0, connect(file));
        EXPECT_EQ(25u, output_media_item_our_context_state->rate_num);
        uint64_t last_id = 0;
        for (int i = 0; i < 3; ++i) {
            OutputBufferFrame* f = take();
            ASSERT_NE(nullptr, f);
            vexa_sub_item_frame_state* fs = f->frame_state;
            EXPECT_EQ(w, fs->width);
            EXPECT_EQ(h, fs->height);
            EXPECT_GT(fs->frame_id, last_id);
            last_id = fs->frame_id;
            std::vector<plane_view> p = planes(f);
            ASSERT_EQ(3u, p.size());
            const frame_image_shortcuts* s = fs->get_frame_image_shortcuts();
            EXPECT_EQ(c.h_factor - 1, s->h_subsampling);
            EXPECT_EQ(c.v_factor - 1, s->v_subsampling);
            EXPECT_EQ(h, p[0].lines);
            EXPECT_EQ(ch, p[1].lines);
            EXPECT_GE(p[1].stride, cw);
            const uint8_t value = static_cast<uint8_t>(16 + i);
            const uint8_t chroma = c.mono ? 128 : value;
            EXPECT_EQ(value, p[0].data[0]);
            EXPECT_EQ(value, p[0].data[uint64_t{h - 1} * p[0].stride + w - 1]);
            EXPECT_EQ(chroma, p[1].data[0]);
            EXPECT_EQ(chroma, p[2].data[uint64_t{ch - 1} * p[2].stride + cw - 1]);
            f->discard_src_frame();
        }
        stderr_capture err;
        EXPECT_EQ(0, play_to_end());
        EXPECT_EQ("", err.text()) << "a clean end of stream is not an error";
        EXPECT_STREQ("ended", output_media_item_state_text());
        reset();
    }
}

struct bad_case {
    const char* name;
    std::string bytes;
    const char* message;  // part of the one log line
    bool header;          // true: the connect phase fails; false: a later frame does
};

TEST_F(Y4mTest, BrokenInputEndsTheItemWithOneLine) {
    const std::string ok = "YUV4MPEG2 W64 H48 F25:1\n";
    const std::string frame(64 * 48 * 3 / 2, 'x');
    const bad_case cases[] = {
        {"bad magic", "YUV4MPEG W64 H48 F25:1\n", "bad magic", true},
        {"binary garbage", std::string("\x89PNG\r\n\x1a\n", 8), "bad magic", true},
        {"empty file", "", "empty stream", true},
        {"no newline", "YUV4MPEG2 W64 H48", "header cut short", true},
        {"no width", "YUV4MPEG2 H48 F25:1\n", "no width", true},
        {"no height", "YUV4MPEG2 W64 F25:1\n", "no height", true},
        {"zero height", "YUV4MPEG2 W64 H0\n", "bad height '0'", true},
        {"huge width", "YUV4MPEG2 W16385 H48\n", "bad width '16385'", true},
        {"width overflows", "YUV4MPEG2 W18446744073709551617 H48\n", "bad width", true},
        {"negative width", "YUV4MPEG2 W-64 H48\n", "bad width", true},
        {"unknown colour space", "YUV4MPEG2 W64 H48 C420p10\n", "unknown colour space", true},
        {"rate without divisor", "YUV4MPEG2 W64 H48 F25\n", "bad frame rate", true},
        {"zero rate", "YUV4MPEG2 W64 H48 F0:1\n", "bad frame rate", true},
        {"zero divisor", "YUV4MPEG2 W64 H48 F25:0\n", "bad frame rate", true},
        {"unknown field", "YUV4MPEG2 W64 H48 Q9\n", "unknown header field", true},
        {"cut frame", ok + "FRAME\n" + std::string(1000, 'x'),
         "frame 1 cut short (got 1000 of 4608 bytes)", false},
        {"second frame cut", ok + "FRAME\n" + frame + "FRAME\n" + std::string(7, 'x'),
         "frame 2 cut short (got 7 of 4608 bytes)", false},
        {"garbage frame header", ok + "FRAMX\n" + frame, "frame 1: bad frame header", false},
        {"frame header cut", ok + "FRA", "frame 1 header cut short", false},
        {"endless frame header", ok + "FRAME " + std::string(1000, 'a'), "bad frame header", false},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path("bad.y4m");
        write_file(file, c.bytes);
        stderr_capture err;
        if (c.header) {
            EXPECT_NE(0, connect(file));
        } else {
            ASSERT_EQ(0, connect(file));
            play_to_end();
        }
        const std::string text = err.text();
        EXPECT_NE(std::string::npos, text.find(c.message)) << text;
        EXPECT_NE(std::string::npos, text.find(file)) << "names the stream: " << text;
        EXPECT_EQ(1, line_count(text)) << text;
        EXPECT_STREQ("ended", output_media_item_state_text());
        reset();
        // Ended: the next connect attempt has nothing started and says nothing.
        stderr_capture quiet;
        output_media_item_reconnect_at = 0;
        EXPECT_NE(0, output_media_item_default_connect_phase());
        EXPECT_EQ("", quiet.text());
    }
}

TEST_F(Y4mTest, FifoWriterDyingMidFrameEndsTheItem) {
    const std::string fifo = path("live.fifo");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const std::string data = "YUV4MPEG2 W64 H48 F25:1\nFRAME\n" + std::string(4608, 'a') +
                             "FRAME\n" + std::string(1000, 'b');
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = open(fifo.c_str(), O_WRONLY);
        // Slowly, so the reader meets an empty FIFO mid-frame at least once.
        size_t half = data.size() / 2;
        if (fd < 0 || write(fd, data.data(), half) != static_cast<ssize_t>(half)) _exit(1);
        usleep(50000);
        if (write(fd, data.data() + half, data.size() - half) < 0) _exit(1);
        _exit(0);
    }
    stderr_capture err;
    ASSERT_EQ(0, connect(fifo));
    EXPECT_EQ(1, play_to_end());
    int status = 0;
    waitpid(child, &status, 0);
    const std::string text = err.text();
    EXPECT_NE(std::string::npos, text.find("frame 2 cut short (got 1000 of 4608 bytes)")) << text;
    EXPECT_EQ(1, line_count(text)) << text;
    EXPECT_STREQ("ended", output_media_item_state_text());
}

TEST_F(Y4mTest, OptionsAfterTheComma) {
    const std::string file = path("clip.y4m");
    write_file(file, y4m_stream("YUV4MPEG2 W32 H16 F25:1", 32 * 16 * 3 / 2, 5));
    ASSERT_EQ(0, connect(file + ",field=odd,frames=2,fps=50/2"));
    EXPECT_EQ(50u, output_media_item_our_context_state->rate_num);
    EXPECT_EQ(2u, output_media_item_our_context_state->rate_den);
    OutputBufferFrame* f = take();
    ASSERT_NE(nullptr, f);
    ASSERT_EQ(3u, planes(f).size());
    EXPECT_EQ(FRAME_FIELD_SINGLE | FRAME_FIELD_ODD,
              f->frame_state->get_frame_image_shortcuts()->field_flags);
    f->discard_src_frame();
    EXPECT_EQ(1, play_to_end());

    stderr_capture err;
    EXPECT_NE(0, connect(file + ",640x480"));
    EXPECT_NE(std::string::npos, err.text().find("come from its header"));
}

// The range extension picks the colour tables while the item plays; a stream without it, or with
// LIMITED, plays with BT.601 limited range.
TEST_F(Y4mTest, ColourRangeExtensionChoosesTheTables) {
    const struct {
        const char* extension;
        bool full_range;
    } cases[] = {{" XCOLORRANGE=FULL", true}, {"", false}, {" XCOLORRANGE=LIMITED", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension);
        const std::string file = path("range.y4m");
        write_file(file, y4m_stream(std::string("YUV4MPEG2 W8 H8 F25:1 C444") + c.extension,
                                    8 * 8 * 3, 1));
        ASSERT_EQ(0, connect(file));
        const yuv_to_rgb_coefficients want =
            yuv_coefficients_for(colour_signal{colour_matrix::bt601, c.full_range});
        EXPECT_EQ(0, std::memcmp(&want, &standard_yuv_coefficients, sizeof want));
        EXPECT_EQ(c.full_range ? 0u : 16u, standard_yuv_coefficients_srb.luma_offset);
        reset();
    }
}

TEST_F(Y4mTest, LargeFrameIsReadInPiecesWithRequestsServedBetween) {
    // 1024x1024 4:4:4 is 3 MiB a frame: more than one piece.
    const uint32_t side = 1024;
    const uint64_t bytes = 3ull * side * side;
    const std::string file = path("large.y4m");
    write_file(file, y4m_stream("YUV4MPEG2 W1024 H1024 C444 F25:1", bytes, 2));
    ASSERT_EQ(0, connect(file));
    EXPECT_EQ(nullptr, take()) << "the first piece alone is not a frame";
    // One piece a pass: the display loop goes round (checking for a shutdown, serving the control
    // socket) before the frame is whole.
    int passes = 1;
    OutputBufferFrame* f = nullptr;
    while (!f && passes < 10) {
        EXPECT_EQ(0, output_driver_display_phase_common_post_display_idle_and_wait());
        f = take();
        ++passes;
    }
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(2, passes);
    const std::vector<plane_view> p = planes(f);
    ASSERT_EQ(3u, p.size());
    EXPECT_EQ(16, p[0].data[0]);
    EXPECT_EQ(16, p[2].data[uint64_t{side - 1} * p[2].stride + side - 1]);
    f->discard_src_frame();
    EXPECT_EQ(1, play_to_end());
    EXPECT_STREQ("ended", output_media_item_state_text());
}

}  // namespace
