// Video files and network streams play through the FFmpeg libraries, in a module of their own that
// the runtime loads on first use: patterns and YUV4MPEG2 streams keep playing on a machine without
// those libraries. This is the whole interface between the two.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/item_description.h"
#include "runtime/media_source.h"

// What the module uses of the runtime, handed to it with every open.
struct ffmpeg_host {
    int (*slot_prepare)(vexa_frame_slot* slot, const frame_layout& layout, uint8_t field_flags,
                        uint64_t frame_id);
    int (*layout_compute)(uint32_t width, uint32_t height, uint8_t h_factor, uint8_t v_factor,
                          uint32_t row_align, frame_layout* out, std::string* error);
    uint64_t (*next_frame_id)();
    // Serves the control socket for what is pending; called from inside blocking reads.
    void (*serve_requests)();
    // True when the source being opened or played is no longer wanted: a shutdown was asked for,
    // or the item was stopped or replaced. Blocking calls give up then.
    bool (*abandoned)();
};

// The module's one entry point, looked up by this name. Opens the item; on `broken` a one-line
// reason is in *error; on `not_yet` the open was abandoned. The source is the caller's to delete.
#define VEXA_FFMPEG_OPEN_SYMBOL "vexa_ffmpeg_source_open"
using ffmpeg_open_function = media_source* (*)(const ffmpeg_host* host,
                                               const item_description& spec, open_outcome* outcome,
                                               std::string* error);

// Runtime side: opens a video item through the module, loading it first. Null with *outcome
// `broken` (the reason logged, one line) or `not_yet`.
std::unique_ptr<media_source> video_item_open(const item_description& spec, open_outcome* outcome);
// The address schemes that are video items whatever follows.
extern const char* const kVideoUrlSchemes[];
// True when `spec` names something for the module rather than a YUV4MPEG2 stream: a URL, or an
// existing file that does not begin like a YUV4MPEG2 stream and is not named *.y4m. FIFOs stay
// YUV4MPEG2.
bool item_is_video_file(const item_description& spec);
