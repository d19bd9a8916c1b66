// Records that the output runtime owns and the driver reads in place. Their byte layout is part of
// the interface between the two, so every field the driver reads is pinned with a static_assert.
#pragma once

#include <cstddef>
#include <cstdint>

struct vexa_global_access_cache;
struct vexa_frame_slot;  // runtime-private: the buffer slot a delivered frame lives in

// Field flags of frame_image_shortcuts.
constexpr uint8_t FRAME_FIELD_SINGLE = 4;  // only one field is shown, line-doubled
constexpr uint8_t FRAME_FIELD_ODD = 8;     // ... and it is the odd one

// Per-frame description of the three sample planes. Packed: the offsets and line counts sit at odd
// byte positions.
#pragma pack(push, 1)
struct frame_image_shortcuts {
    uint16_t y_stride;  // bytes from one Y line to the next
    uint16_t u_stride;
    uint16_t v_stride;
    uint8_t reserved6[2];
    uint8_t y_plane;  // index into the frame's buffer references
    uint8_t u_plane;
    uint8_t v_plane;
    uint8_t reserved11;
    uint8_t field_flags;  // FRAME_FIELD_SINGLE | FRAME_FIELD_ODD
    uint8_t reserved13[3];
    uint8_t bytes_per_sample;  // 1 for 8-bit samples
    uint8_t reserved17[83];
    uint8_t h_subsampling;  // horizontal chroma factor - 1
    uint8_t reserved101[3];
    uint8_t v_subsampling;  // vertical chroma factor - 1
    uint8_t reserved105[2];
    uint32_t y_offset;  // byte offset of the plane's first sample in its buffer
    uint32_t u_offset;
    uint32_t v_offset;
    uint8_t reserved119[4];
    uint16_t y_last_line;  // number of lines - 1
    uint16_t u_last_line;
    uint16_t v_last_line;
};
#pragma pack(pop)

static_assert(offsetof(frame_image_shortcuts, y_stride) == 0);
static_assert(offsetof(frame_image_shortcuts, u_stride) == 2);
static_assert(offsetof(frame_image_shortcuts, v_stride) == 4);
static_assert(offsetof(frame_image_shortcuts, y_plane) == 8);
static_assert(offsetof(frame_image_shortcuts, u_plane) == 9);
static_assert(offsetof(frame_image_shortcuts, v_plane) == 10);
static_assert(offsetof(frame_image_shortcuts, field_flags) == 12);
static_assert(offsetof(frame_image_shortcuts, bytes_per_sample) == 16);
static_assert(offsetof(frame_image_shortcuts, h_subsampling) == 100);
static_assert(offsetof(frame_image_shortcuts, v_subsampling) == 104);
static_assert(offsetof(frame_image_shortcuts, y_offset) == 107);
static_assert(offsetof(frame_image_shortcuts, u_offset) == 111);
static_assert(offsetof(frame_image_shortcuts, v_offset) == 115);
static_assert(offsetof(frame_image_shortcuts, y_last_line) == 123);
static_assert(offsetof(frame_image_shortcuts, u_last_line) == 125);
static_assert(offsetof(frame_image_shortcuts, v_last_line) == 127);
static_assert(sizeof(frame_image_shortcuts) == 129);

// Frame header: the driver reads only the plane count (entries of the buffer references).
struct vexa_frame_header {
    uint8_t reserved0[30];
    uint8_t plane_count;
    uint8_t reserved31;
    uint32_t format_fourcc;  // runtime's own: e.g. 'I420'
};
static_assert(offsetof(vexa_frame_header, plane_count) == 30);

constexpr int VEXA_MAX_PLANES = 4;

// State of one delivered frame. The fields up to frame_id are read by the driver in place; the rest
// belongs to the runtime.
struct vexa_sub_item_frame_state {
    uint32_t reserved0;
    uint32_t width;   // pixels
    uint32_t height;  // lines
    uint32_t reserved12;
    uint64_t frame_id;

    // Runtime-private from here on.
    vexa_frame_slot* slot;
    bool scanline_loaded;
    vexa_frame_header header;
    uint16_t buffer_refs[VEXA_MAX_PLANES];
    frame_image_shortcuts shortcuts;

    // Loads the frame's plane description from its buffer slot; false when it cannot.
    bool get_frame_scanline_data(vexa_global_access_cache* cache);
    // Null until the scan-line data is loaded. The flag asks for a validated header.
    vexa_frame_header* get_frame_header(bool validated);
    uint16_t* get_frame_buffer_references();
    frame_image_shortcuts* get_frame_image_shortcuts();
};
static_assert(offsetof(vexa_sub_item_frame_state, width) == 4);
static_assert(offsetof(vexa_sub_item_frame_state, height) == 8);
static_assert(offsetof(vexa_sub_item_frame_state, frame_id) == 16);

// A frame handed to the driver by the display phase. Always given back with discard_src_frame.
struct OutputBufferFrame {
    uint64_t sequence;  // delivery number, runtime's own
    uint64_t due_at_us;
    uint64_t reserved16;
    vexa_sub_item_frame_state* frame_state;  // may be null

    // Gives the frame back to the runtime; the frame must not be used afterwards.
    void discard_src_frame();
};
static_assert(offsetof(OutputBufferFrame, frame_state) == 24);

// The media item's context, filled by the context phase. The driver only forwards these values to
// output_driver_display_phase_av_common_init.
struct output_media_item_context_state {
    uint8_t reserved0[56];
    uint32_t rate_num;  // frames per second, numerator
    uint32_t reserved60;
    uint64_t rate_den;   // frames per second, denominator
    uint8_t field_rate;  // non-zero: one field per frame shown, count doubles
    uint8_t reserved73[63];
    uint64_t queue_bytes;  // bytes of frame buffers the display phase may hold
};
static_assert(offsetof(output_media_item_context_state, rate_num) == 56);
static_assert(offsetof(output_media_item_context_state, rate_den) == 64);
static_assert(offsetof(output_media_item_context_state, field_rate) == 72);
static_assert(offsetof(output_media_item_context_state, queue_bytes) == 136);

// The metadata directory's record: the configuration lock and the instance lock.
struct vexa_meta_record {
    uint8_t reserved0[24];
    int32_t file_fd;  // lock file held around the configuration load
    int32_t reserved28[3];
    int32_t instance_fd;  // lock of this instance's metadata directory
    int32_t reserved44;
};
static_assert(offsetof(vexa_meta_record, file_fd) == 24);
static_assert(offsetof(vexa_meta_record, instance_fd) == 40);
