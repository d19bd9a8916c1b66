// The media side's globals and the teardown of its state.
#include "runtime/media_state.h"

#include "runtime/access_cache.h"
#include "runtime/cnb_domain.h"
#include "runtime/frame_slot.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

std::string output_media_item;
std::string output_media_item_metadir;
std::string output_media_item_socket_path;
// Items play inside this process, so there is no connection to a separate media process.
comm_socket_v4* output_media_item_connection = nullptr;
uint64_t output_media_item_reconnect_at = 0;
output_media_item_context_state* output_media_item_our_context_state = &media().context;
uint64_t output_play_dropped_frames = 0;
uint64_t output_play_shown_frames = 0;
vexa_global_access_cache* vexa_acc_cache = nullptr;

media_state& media() {
    static media_state state;
    return state;
}

uint64_t vexa_next_frame_id() {
    static uint64_t next = 1;
    return next++;
}

void media_queue_free() {
    media_state& m = media();
    if (m.in_fill) {
        m.free_pending = true;
        return;
    }
    for (vexa_frame_slot* slot : m.slots) {
        if (slot->state == vexa_frame_slot::use::delivered) {
            slot->orphan = true;
            m.orphans.push_back(slot);
            continue;
        }
        frame_slot_release(slot);
        delete slot;
    }
    m.slots.clear();
    m.filling = nullptr;
}

void media_source_close() {
    media_state& m = media();
    if (m.in_fill) {
        m.close_pending = true;
        return;
    }
    m.close_pending = false;
    m.source.reset();
    m.filling = nullptr;
    for (vexa_frame_slot* slot : m.slots)
        if (slot->state == vexa_frame_slot::use::filled) slot->state = vexa_frame_slot::use::free;
    m.source_done = true;
}

void media_item_ended() {
    media_state& m = media();
    m.started = false;
    m.phase = media_phase::ended;
}

const char* output_media_item_state_text() {
    switch (media().phase) {
        case media_phase::idle:
            return "idle";
        case media_phase::connecting:
            return "connecting";
        case media_phase::playing:
            return "playing";
        case media_phase::ended:
            return "ended";
    }
    return "idle";
}

void vexa_media_free_all() {
    media_source_close();
    media_queue_free();
    media_state& m = media();
    for (vexa_frame_slot* slot : m.orphans) {
        frame_slot_release(slot);
        delete slot;
    }
    m.orphans.clear();
    vexa_global_access_cache_destroy(vexa_acc_cache);
    vexa_acc_cache = nullptr;
    cnb_domain_leave();
}
