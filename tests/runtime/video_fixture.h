// Video items played through the runtime's phases: clips made at test time by the system's
// encoder, their pictures as the encoder's own decoder gives them, and the frames read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media_fixture.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/yuv_coefficients.h"

namespace video_test {

// True when the `ffmpeg` program is there; tests that need clips skip without it.
bool have_encoder();
// Makes (once per process) a clip from `input` (encoder input arguments) encoded with `output`
// (codec and format arguments) into a file named `name`; its path, or "" when the encoder failed.
std::string make_video(const std::string& name, const std::string& input,
                       const std::string& output);
// The clip's pictures decoded by the encoder program into `pix_fmt` (planes packed, rows without
// padding), one vector each.
std::vector<std::vector<uint8_t>> decode_reference(const std::string& clip,
                                                   const std::string& pix_fmt, uint32_t width,
                                                   uint32_t height);
// Resident memory and open descriptors of this process.
uint64_t resident_kib();
int open_descriptors();

// Encoder input arguments: the moving test picture at this size, rate and length.
std::string source_args(const std::string& size, int frames = 4, int rate = 10);

// A delivered frame read back as the driver maps it.
struct picture {
    uint32_t width = 0, height = 0, h_factor = 0, v_factor = 0;
    uint64_t due_us = 0;
    std::vector<uint8_t> samples;  // Y, U, V planes packed
};

class VideoTest : public media_test::MediaTest {
  protected:
    void SetUp() override {
        MediaTest::SetUp();
        if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    }
    void TearDown() override {
        MediaTest::TearDown();
        yuv_coefficients_select(colour_signal{});
    }

    picture read_back(OutputBufferFrame* f) {
        using media_test::plane_view;
        picture p;
        const vexa_sub_item_frame_state* fs = f->frame_state;
        const frame_image_shortcuts* s = &fs->shortcuts;
        p.width = fs->width;
        p.height = fs->height;
        p.h_factor = s->h_subsampling + 1u;
        p.v_factor = s->v_subsampling + 1u;
        p.due_us = f->due_at_us;
        const std::vector<plane_view> planes = this->planes(f);
        EXPECT_EQ(3u, planes.size());
        if (planes.size() != 3) return p;
        const uint32_t cw = (p.width + p.h_factor - 1) / p.h_factor;
        for (int i = 0; i < 3; ++i) {
            const uint32_t w = i ? cw : p.width;
            for (uint32_t line = 0; line < planes[i].lines; ++line) {
                const uint8_t* row = planes[i].data + size_t{line} * planes[i].stride;
                p.samples.insert(p.samples.end(), row, row + w);
            }
        }
        return p;
    }

    // Takes every frame until the item ends (or `most` frames).
    std::vector<picture> play(int most = 100) {
        std::vector<picture> shown;
        for (int i = 0; i < 10000 && static_cast<int>(shown.size()) < most; ++i) {
            if (OutputBufferFrame* f = take()) {
                shown.push_back(read_back(f));
                f->discard_src_frame();
            }
            if (output_driver_display_phase_common_post_display_idle_and_wait() != 0) break;
        }
        return shown;
    }
};

}  // namespace video_test
