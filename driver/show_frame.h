// Drawing one frame onto the framebuffer.
#pragma once

#include <cstdint>

struct OutputBufferFrame;

// Draws the frame if it is new and drawable; always gives it back.
void show_frame(OutputBufferFrame* frame);

extern uint64_t last_frame_id;   // id of the last frame that reached the pixel-format dispatch
extern uint64_t video_retry_at;  // no new open of the framebuffer before this time (us)
