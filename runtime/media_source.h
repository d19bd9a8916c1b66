// A media item's source of frames: generated patterns, YUV4MPEG2 streams, video files and streams
// through the FFmpeg libraries, or any kind registered in runtime/media_source_registry.h.
#pragma once

#include <cstdint>

#include "runtime/frame_layout.h"
#include "runtime/yuv_coefficients.h"

struct vexa_frame_slot;

struct source_format {
    frame_layout layout;  // the frames' nominal size (a scripted item may vary it per frame)
    uint8_t field_flags = 0;
    uint32_t rate_num = 30, rate_den = 1;
    uint64_t frame_limit = 0;  // 0: until the source ends
    bool paced = true;         // false: frames are due as soon as they exist
    bool skippable = false;    // late frames can be skipped without producing them
    bool timestamped = false;  // each frame carries its own time (vexa_frame_slot::time_us)
    colour_signal colour;      // what the runtime's colour tables follow while the item plays
};

enum class fill_status {
    frame,    // the slot holds frame `index`
    pending,  // not all of it is there yet; call again with the same slot
    end,      // no more frames
    failed,   // the source broke (already logged); no more frames
};

// What opening an item came to: `broken` means it cannot play; `not_yet` means try again later
// (a FIFO without a writer, or a shutdown asked for).
enum class open_outcome { opened, broken, not_yet };

class media_source {
  public:
    virtual ~media_source() = default;
    const source_format& format() const { return format_; }
    // Produces frame `index` into the slot (preparing it with frame_slot_prepare).
    virtual fill_status fill(vexa_frame_slot* slot, uint64_t index) = 0;
    // A descriptor to poll for input while a fill is pending; -1 when none.
    virtual int wait_fd() const { return -1; }

  protected:
    source_format format_;
};

// A fresh frame id: ids increase over the whole process, so a restarted item never repeats the
// id of a frame shown before.
uint64_t vexa_next_frame_id();
