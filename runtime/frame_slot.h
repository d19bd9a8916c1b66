// A frame slot: one frame buffer of the display queue and the records that describe its frame.
#pragma once

#include <cstdint>

#include "runtime/frame_layout.h"
#include "runtime/records.h"

struct vexa_frame_slot {
    enum class use { free, filled, delivered };
    use state = use::free;
    bool orphan = false;  // the queue was freed while the driver held this frame

    int buffer = -1;          // frame-buffer domain number
    uint8_t* data = nullptr;  // the producer's writable mapping of the whole buffer
    uint64_t capacity = 0;
    frame_layout layout;
    uint64_t content_key = 0;  // what a generator last wrote here; 0 when unknown

    uint64_t index = 0;  // frame number within the item
    uint64_t due_us = 0;
    uint64_t time_us = 0;  // a timestamped source's time for this frame, from the item's start

    // Faults a scripted item may ask for.
    bool fail_scanline = false, fail_header = false, fail_references = false,
         fail_shortcuts = false;

    vexa_sub_item_frame_state frame_state{};
    OutputBufferFrame frame{};
};

// Makes the slot hold a frame of `layout` (growing its buffer when needed) and fills the frame's
// header, buffer references and image shortcuts. 0 on success; -1 when no buffer could be had.
int frame_slot_prepare(vexa_frame_slot* slot, const frame_layout& layout, uint8_t field_flags,
                       uint64_t frame_id);
uint8_t* frame_slot_plane(vexa_frame_slot* slot, int plane);  // 0 Y, 1 U, 2 V
// Unmaps and frees the slot's buffer.
void frame_slot_release(vexa_frame_slot* slot);
