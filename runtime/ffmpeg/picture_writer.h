// Puts one decoded picture into a frame slot: the four planar layouts the pixel code takes are
// copied as they are; anything else, and any picture scaled to a chosen size, goes through
// libswscale once, straight into the slot.
#pragma once

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <string>

#include "runtime/ffmpeg_module.h"

struct SwsContext;

// How pictures of one pixel format reach the slot, and the colour signal of what lands there.
struct picture_plan {
    bool native = false;  // planes copied as they are
    uint8_t h_factor = 2, v_factor = 2;
    AVPixelFormat target = AV_PIX_FMT_YUV420P;  // what libswscale writes when not native
    bool from_rgb = false;  // RGB or paletted: libswscale makes BT.601 limited YUV of it
    colour_signal colour;
};

// The plan for pictures of `format` whose stream declares `space` and `range`.
picture_plan picture_plan_for(AVPixelFormat format, AVColorSpace space, AVColorRange range);

class picture_writer {
  public:
    // out_width/out_height 0: every picture at its own size.
    picture_writer(const ffmpeg_host* host, uint8_t field_flags, uint32_t out_width,
                   uint32_t out_height);
    ~picture_writer();
    picture_writer(const picture_writer&) = delete;
    picture_writer& operator=(const picture_writer&) = delete;

    // The colour signal the item plays with: converted pictures are written in its range.
    void set_colour(const colour_signal& colour) { colour_ = colour; }
    // 0 when the slot holds the picture; otherwise -1 with a one-line reason in *error.
    int write(const AVFrame* picture, vexa_frame_slot* slot, std::string* error);

  private:
    const ffmpeg_host* host_;
    uint8_t field_flags_;
    uint32_t out_width_, out_height_;
    colour_signal colour_;
    SwsContext* sws_ = nullptr;
};
