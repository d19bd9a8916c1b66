// What the driver reads of a delivered frame: its header, buffer references and image shortcuts.
#include "runtime/cnb_domain.h"
#include "runtime/frame_slot.h"
#include "runtime/records.h"

bool vexa_sub_item_frame_state::get_frame_scanline_data(vexa_global_access_cache* /*cache*/) {
    scanline_loaded = false;
    if (!slot || slot->fail_scanline) return false;
    // The buffer must still be there: a frame outliving its queue keeps its own slot alive, but
    // never a buffer number that now names another frame.
    cnb_buffer_info info{};
    if (!cnb_buffer_lookup(slot->buffer, &info)) return false;
    scanline_loaded = true;
    return true;
}

vexa_frame_header* vexa_sub_item_frame_state::get_frame_header(bool validated) {
    if (!scanline_loaded || slot->fail_header) return nullptr;
    if (validated && (header.plane_count == 0 || header.plane_count > VEXA_MAX_PLANES))
        return nullptr;
    return &header;
}

uint16_t* vexa_sub_item_frame_state::get_frame_buffer_references() {
    if (!scanline_loaded || slot->fail_references) return nullptr;
    return buffer_refs;
}

frame_image_shortcuts* vexa_sub_item_frame_state::get_frame_image_shortcuts() {
    if (!scanline_loaded || slot->fail_shortcuts) return nullptr;
    return &shortcuts;
}
