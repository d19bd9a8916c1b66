// The display loop: connection cycles, and one frame drawn per inner iteration.
#pragma once

#include <cstdint>

struct OutputBufferFrame;

// Returns only once a shutdown was requested (DIE4 non-zero).
void run_display_loop();
// Draws one frame if it is new and drawable; always gives it back.
void show_frame(OutputBufferFrame* frame);

extern uint64_t last_frame_id;      // id of the last frame that reached the pixel-format dispatch
extern uint64_t video_retry_at;     // no new open of the framebuffer before this time (us)
extern uint64_t next_autostart_at;  // time of the next autostart attempt (us)
