// Generated pattern items: every chroma layout and field option, the names, and frames=N.
#include <cstring>
#include <string>

#include "media_fixture.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace {
using namespace media_test;

class PatternTest : public MediaTest {};

struct layout_case {
    const char* chroma;
    uint8_t h_factor, v_factor;
};
struct field_case {
    const char* option;
    uint8_t flags;
};

TEST_F(PatternTest, EveryChromaLayoutAndField) {
    const layout_case layouts[] = {{"444", 1, 1}, {"422", 2, 1}, {"420", 2, 2}, {"411", 4, 1}};
    const field_case fields[] = {{"", 0},
                                 {",field=even", FRAME_FIELD_SINGLE},
                                 {",field=odd", FRAME_FIELD_SINGLE | FRAME_FIELD_ODD}};
    const uint32_t w = 90, h = 35;
    for (const layout_case& l : layouts) {
        for (const field_case& f : fields) {
            const std::string item =
                std::string("pattern:moving,90x35,chroma=") + l.chroma + f.option;
            SCOPED_TRACE(item);
            ASSERT_EQ(0, connect(item));
            const uint32_t cw = (w + l.h_factor - 1) / l.h_factor;
            const uint32_t ch = (h + l.v_factor - 1) / l.v_factor;
            uint64_t last_id = 0;
            std::string last_luma;
            for (int i = 0; i < 3; ++i) {
                OutputBufferFrame* frame = take();
                ASSERT_NE(nullptr, frame);
                vexa_sub_item_frame_state* fs = frame->frame_state;
                ASSERT_NE(nullptr, fs);
                EXPECT_EQ(w, fs->width);
                EXPECT_EQ(h, fs->height);
                EXPECT_GT(fs->frame_id, last_id);
                last_id = fs->frame_id;
                std::vector<plane_view> p = planes(frame);
                ASSERT_EQ(3u, p.size());
                const frame_image_shortcuts* s = fs->get_frame_image_shortcuts();
                EXPECT_EQ(1, fs->get_frame_header(true)->plane_count);
                EXPECT_EQ(1, s->bytes_per_sample);
                EXPECT_EQ(f.flags, s->field_flags);
                EXPECT_EQ(l.h_factor - 1, s->h_subsampling);
                EXPECT_EQ(l.v_factor - 1, s->v_subsampling);
                EXPECT_EQ(h - 1, +s->y_last_line);
                EXPECT_EQ(ch - 1, +s->u_last_line);
                EXPECT_EQ(ch - 1, +s->v_last_line);
                EXPECT_GE(+s->y_stride, w);
                EXPECT_GE(+s->u_stride, cw);
                EXPECT_EQ(0, +s->y_stride % 16) << "rows start aligned";
                // The planes do not overlap.
                EXPECT_GE(+s->u_offset, +s->y_offset + uint64_t{h} * +s->y_stride);
                EXPECT_GE(+s->v_offset, +s->u_offset + uint64_t{ch} * +s->u_stride);
                std::string luma(reinterpret_cast<const char*>(p[0].data),
                                 uint64_t{h} * p[0].stride);
                EXPECT_NE(last_luma, luma) << "the moving pattern moves";
                last_luma = luma;
                frame->discard_src_frame();
            }
            reset();
        }
    }
}

TEST_F(PatternTest, NamesAndBadOptions) {
    for (const char* name : {"bars", "ramps", "moving"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(0, connect(std::string("pattern:") + name + ",64x32"));
        OutputBufferFrame* frame = take();
        ASSERT_NE(nullptr, frame);
        EXPECT_EQ(3u, planes(frame).size());
        frame->discard_src_frame();
        reset();
    }
    struct bad {
        const char* item;
        const char* message;
    } const cases[] = {
        {"pattern:plaid", "unknown pattern"},
        {"pattern:", "pattern name missing"},
        {"pattern:bars,fps=0", "bad rate"},
        {"pattern:bars,fps=30/0", "bad rate"},
        {"pattern:bars,chroma=421", "bad chroma"},
        {"pattern:bars,field=both", "bad field"},
        {"pattern:bars,frames=-1", "bad frame count"},
        {"pattern:bars,0x480", "unknown option"},
        {"pattern:bars,16385x16", "outside 1..16384"},
        {"pattern:bars,99999999999x16", "unknown option"},
        {"pattern:bars,loud", "unknown option"},
    };
    for (const bad& c : cases) {
        SCOPED_TRACE(c.item);
        stderr_capture err;
        EXPECT_NE(0, connect(c.item));
        const std::string text = err.text();
        EXPECT_NE(std::string::npos, text.find(c.message)) << text;
        EXPECT_EQ(1, line_count(text)) << text;
        EXPECT_STREQ("ended", output_media_item_state_text());
    }
}

TEST_F(PatternTest, DefaultsAreHdReadyAt30) {
    ASSERT_EQ(0, connect("pattern:bars"));
    EXPECT_EQ(30u, output_media_item_our_context_state->rate_num);
    EXPECT_EQ(1u, output_media_item_our_context_state->rate_den);
    OutputBufferFrame* frame = take();
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(1280u, frame->frame_state->width);
    EXPECT_EQ(720u, frame->frame_state->height);
    EXPECT_EQ(1, frame->frame_state->get_frame_scanline_data(vexa_acc_cache) &&
                     frame->frame_state->get_frame_image_shortcuts()->v_subsampling);
    frame->discard_src_frame();
}

TEST_F(PatternTest, FramesLimitEndsTheItem) {
    ASSERT_EQ(0, connect("pattern:bars,32x16,frames=4"));
    const uint64_t shown_before = output_play_shown_frames;
    int delivered = 0, ended_at = -1;
    for (int i = 0; i < 20 && ended_at < 0; ++i) {
        if (OutputBufferFrame* frame = take()) {
            ++delivered;
            frame->discard_src_frame();
        }
        if (output_driver_display_phase_common_post_display_idle_and_wait() != 0) ended_at = i;
    }
    EXPECT_EQ(4, delivered);
    EXPECT_EQ(3, ended_at) << "ends right after the last frame is given back";
    EXPECT_EQ(4u, output_play_shown_frames - shown_before);
    EXPECT_STREQ("ended", output_media_item_state_text());
    reset();
    // Started again (autostart or "start"), it plays from the beginning with fresh ids.
    ASSERT_EQ(0, connect("pattern:bars,32x16,frames=4"));
    OutputBufferFrame* again = take();
    ASSERT_NE(nullptr, again);
    again->discard_src_frame();
}

TEST_F(PatternTest, FrameStillHeldWhenTheQueueIsFreed) {
    ASSERT_EQ(0, connect("pattern:bars,32x16"));
    OutputBufferFrame* frame = take();
    ASSERT_NE(nullptr, frame);
    std::vector<plane_view> p = planes(frame);
    ASSERT_EQ(3u, p.size());
    reset();  // a live setting change resets the item while the frame is out
    EXPECT_EQ(p[0].data[0], 180) << "the held frame stays readable";
    const uint64_t shown = output_play_shown_frames;
    frame->discard_src_frame();
    frame->discard_src_frame();  // a second give-back changes nothing
    EXPECT_EQ(shown + 1, output_play_shown_frames);
}

}  // namespace
