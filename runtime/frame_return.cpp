// Frames coming back from the driver: the slot is free again and the frame counts as shown.
#include <algorithm>

#include "platform/device_seam.h"
#include "runtime/frame_slot.h"
#include "runtime/media_state.h"
#include "runtime/runtime_internal.h"

void OutputBufferFrame::discard_src_frame() {
    media_state& m = media();
    vexa_frame_slot* slot = nullptr;
    for (vexa_frame_slot* s : m.slots)
        if (&s->frame == this) slot = s;
    auto orphan = std::find_if(m.orphans.begin(), m.orphans.end(),
                               [this](vexa_frame_slot* s) { return &s->frame == this; });
    if (orphan != m.orphans.end()) slot = *orphan;
    // A frame given back twice, or not one of ours, changes nothing.
    if (!slot || slot->state != vexa_frame_slot::use::delivered) return;

    ++output_play_shown_frames;
    ++m.discarded;
    slot->state = vexa_frame_slot::use::free;
    slot->frame_state.scanline_loaded = false;
    if (slot->orphan) {
        m.orphans.erase(orphan);
        frame_slot_release(slot);
        delete slot;
    }
    if (vexa_snapshot_path) platform::write_virtual_snapshot(vexa_snapshot_path);
}
