// The display phases: a small queue of frame slots filled ahead of time, frames handed out when
// due, late ones dropped, and the wait for the next one.
#include <poll.h>

#include "runtime/frame_slot.h"
#include "runtime/media_source_registry.h"
#include "runtime/media_state.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace {
constexpr uint64_t kMaxSlots = 3;
// While a stream has not delivered the rest of a frame, look at the control socket this often.
constexpr int kInputPollMs = 20;
constexpr uint64_t kMaxWaitMs = 1000;

bool paced() {
    const media_state& m = media();
    return !vexa_unpaced && m.source && m.source->format().paced;
}

// When frame `index` is due.
uint64_t due_time(uint64_t index) {
    const media_state& m = media();
    // 128-bit: a long-running item at a high rate must not overflow.
    unsigned __int128 us = static_cast<unsigned __int128>(index) * 1000000u * m.rate_den / m.rate;
    return m.start_us + static_cast<uint64_t>(us);
}

// The frame whose display window holds `now` (0 before the first is due).
uint64_t index_at(uint64_t now) {
    const media_state& m = media();
    if (now <= m.start_us) return 0;
    unsigned __int128 n = static_cast<unsigned __int128>(now - m.start_us) * m.rate;
    return static_cast<uint64_t>(n / (static_cast<unsigned __int128>(m.rate_den) * 1000000u));
}

vexa_frame_slot* oldest_filled() {
    vexa_frame_slot* best = nullptr;
    for (vexa_frame_slot* s : media().slots)
        if (s->state == vexa_frame_slot::use::filled && (!best || s->index < best->index)) best = s;
    return best;
}

bool limit_reached() {
    const media_state& m = media();
    uint64_t limit = m.source ? m.source->format().frame_limit : 0;
    return limit != 0 && m.next_index >= limit;
}

bool anything_left() {
    const media_state& m = media();
    if (m.filling) return true;
    for (vexa_frame_slot* s : m.slots)
        if (s->state != vexa_frame_slot::use::free) return true;
    return false;
}

// Frames of a generated item whose window has passed are skipped rather than made.
void skip_late_frames() {
    media_state& m = media();
    if (!paced() || !m.source->format().skippable || m.filling) return;
    uint64_t target = index_at(monotonic_clock_us());
    uint64_t limit = m.source->format().frame_limit;
    if (limit != 0 && target > limit) target = limit;
    if (target > m.next_index) {
        output_play_dropped_frames += target - m.next_index;
        m.next_index = target;
    }
}
}  // namespace

int output_driver_display_phase_av_common_init(uint32_t rate, uint32_t rate_den, int /*reserved1*/,
                                               int /*reserved2*/, uint64_t queue_bytes) {
    media_state& m = media();
    if (!m.source || rate == 0 || rate_den == 0) return -1;
    if (media_phase_fails(m.started_item, media_phase_point::display_init)) return -1;
    media_queue_free();
    uint64_t count = kMaxSlots;
    const uint64_t frame_bytes = m.source->format().layout.buffer_bytes;
    if (queue_bytes && frame_bytes && queue_bytes / frame_bytes < count)
        count = queue_bytes / frame_bytes ? queue_bytes / frame_bytes : 1;
    for (uint64_t i = 0; i < count; ++i) m.slots.push_back(new vexa_frame_slot());
    m.rate = rate;
    m.rate_den = rate_den;
    m.next_index = 0;
    m.source_done = false;
    m.start_us = monotonic_clock_us();
    return 0;
}

int output_driver_display_phase_common_loop_tracking(uint64_t /*now_us*/) {
    const media_state& m = media();
    // The queue or the source went away (a reset), or another item was started meanwhile.
    if (m.slots.empty()) return 1;
    if (!m.source || (m.started && m.started_item != m.playing_item)) return 1;
    return 0;
}

int output_driver_display_phase_av_common_send_frame_requests() {
    media_state& m = media();
    if (m.slots.empty() || !m.source) return 1;
    if (m.source_done) return 0;
    skip_late_frames();
    for (vexa_frame_slot* slot : m.slots) {
        if (m.source_done) break;
        if (m.filling && slot != m.filling) continue;
        if (!m.filling && slot->state != vexa_frame_slot::use::free) continue;
        if (limit_reached()) {
            m.source_done = true;
            break;
        }
        m.in_fill = true;
        fill_status status = m.source->fill(slot, m.next_index);
        m.in_fill = false;
        if (m.close_pending || m.free_pending) {
            // A request served inside the fill reset the item.
            const bool free_queue = m.free_pending;
            m.free_pending = false;
            media_source_close();
            if (free_queue) media_queue_free();
            return 1;
        }
        if (status == fill_status::pending) {
            m.filling = slot;
            break;
        }
        m.filling = nullptr;
        if (status != fill_status::frame) {
            m.source_done = true;
            break;
        }
        slot->state = vexa_frame_slot::use::filled;
        slot->index = m.next_index++;
        if (m.source->format().timestamped && slot->index == 0) {
            // The item's clock starts with its first picture: opening and the decoder's
            // start-up must not make the first frames late.
            m.start_us = monotonic_clock_us() - slot->time_us;
        }
        slot->due_us =
            m.source->format().timestamped ? m.start_us + slot->time_us : due_time(slot->index);
    }
    if (limit_reached()) m.source_done = true;
    return 0;
}

int output_driver_display_phase_common_read_incoming_requests() {
    vexa_control_wait(0);
    return 0;
}

OutputBufferFrame* output_driver_display_phase_av_common_next_frame(int /*flags*/) {
    media_state& m = media();
    vexa_frame_slot* slot = oldest_filled();
    if (!slot) return nullptr;
    if (paced()) {
        const uint64_t now = monotonic_clock_us();
        // A late frame is dropped once a newer frame is due as well; the newest due one shows.
        for (;;) {
            if (slot->due_us > now) return nullptr;
            vexa_frame_slot* next = nullptr;
            for (vexa_frame_slot* s : m.slots)
                if (s->state == vexa_frame_slot::use::filled && s->index > slot->index &&
                    (!next || s->index < next->index))
                    next = s;
            if (!next || next->due_us > now) break;
            slot->state = vexa_frame_slot::use::free;
            ++output_play_dropped_frames;
            slot = next;
        }
    }
    slot->state = vexa_frame_slot::use::delivered;
    slot->frame.sequence = ++m.sequence;
    slot->frame.due_at_us = slot->due_us;
    ++m.delivered;
    return &slot->frame;
}

int output_driver_display_phase_common_post_display_idle_and_wait() {
    media_state& m = media();
    if (m.slots.empty() || !m.source) return 1;
    if (m.source_done && !anything_left()) {
        void (*const kind_ended)() = media_source_kind_for(m.started_item).ended;
        media_item_ended();
        if (kind_ended != nullptr) kind_ended();
        return 1;
    }
    if (m.filling) {
        // Waiting for input is not pacing: it happens unpaced too.
        pollfd p{m.source->wait_fd(), POLLIN, 0};
        if (p.fd >= 0) poll(&p, 1, kInputPollMs);
        vexa_control_wait(0);
        return 0;
    }
    if (!paced()) return 0;
    vexa_frame_slot* next = oldest_filled();
    if (!next) return 0;  // free slots: the next iteration fills them
    const uint64_t now = monotonic_clock_us();
    if (next->due_us <= now) return 0;
    // Long waits (very low rates) come back now and then; the next iteration waits on.
    const uint64_t wait_ms = (next->due_us - now + 999) / 1000;
    vexa_control_wait(static_cast<int>(wait_ms < kMaxWaitMs ? wait_ms : kMaxWaitMs));
    return 0;
}

int output_driver_video_queue_free() {
    media_queue_free();
    return 0;
}

// Output messages from the driver need no answer from an in-process item.
int output_driver_av_common_async_message(comm_socket_v4_packet* /*packet*/) { return 0; }
