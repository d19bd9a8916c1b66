// Media items: naming, starting, connecting (opening the source) and the context record.
#include <time.h>

#include "runtime/media_source_registry.h"
#include "runtime/media_state.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace {
constexpr uint64_t kReconnectDelayUs = 1000000;
// Frame slots of the display queue.
constexpr uint64_t kQueueSlots = 3;

uint64_t real_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

// Waits until the reconnect time, serving the control socket. False when a shutdown was asked for.
// The wait is also bounded by the real clock, so a test clock that stands still cannot hold it.
bool wait_for_reconnect_time() {
    media_state& m = media();
    const uint64_t requests = m.start_requests;
    uint64_t now = monotonic_clock_us();
    if (now >= output_media_item_reconnect_at) return !DIE4;
    const uint64_t real_end = real_us() + (output_media_item_reconnect_at - now);
    while (!DIE4 && m.start_requests == requests) {
        now = monotonic_clock_us();
        if (now >= output_media_item_reconnect_at) break;
        uint64_t real_now = real_us();
        if (real_now >= real_end) break;
        uint64_t left = output_media_item_reconnect_at - now;
        if (real_end - real_now < left) left = real_end - real_now;
        vexa_control_wait(static_cast<int>((left + 999) / 1000));
    }
    return !DIE4;
}

}  // namespace

void output_media_item_set_output_media_item(const char* item) {
    std::string name = item ? item : "";
    // Another item must be started before it plays.
    if (name != output_media_item) {
        media().started = false;
        if (media().phase != media_phase::playing) media().phase = media_phase::idle;
    }
    output_media_item = name;
}

int vexa_start_item(const char* item) {
    media_state& m = media();
    if (!item || !*item) return -1;
    output_media_item = item;
    m.started_item = item;
    m.started = true;
    ++m.start_requests;
    if (m.phase != media_phase::playing) m.phase = media_phase::connecting;
    return 0;
}

int output_media_item_default_connect_phase() {
    media_state& m = media();
    if (!wait_for_reconnect_time()) return 1;
    if (!m.started || m.started_item.empty()) {
        if (m.phase == media_phase::connecting) m.phase = media_phase::idle;
        output_media_item_reconnect_at = monotonic_clock_us() + kReconnectDelayUs;
        return 1;
    }
    const std::string item = m.started_item;
    if (media_phase_fails(item, media_phase_point::connect)) return 1;

    media_source_close();
    open_outcome outcome = open_outcome::broken;
    std::unique_ptr<media_source> source = media_source_kind_for(item).open(item, &outcome);
    if (!source) {
        if (outcome == open_outcome::broken) media_item_ended();
        output_media_item_reconnect_at = monotonic_clock_us() + kReconnectDelayUs;
        return 1;
    }
    // A control request served while the header was awaited may have stopped or replaced it.
    if (!m.started || m.started_item != item) return 1;
    m.source = std::move(source);
    m.playing_item = item;
    m.source_done = false;
    m.phase = media_phase::playing;
    ++m.connects;
    return 0;
}

int output_media_item_default_get_context_phase() {
    media_state& m = media();
    if (!m.source) return 1;
    if (media_phase_fails(m.started_item, media_phase_point::context)) return 1;
    const source_format& f = m.source->format();
    yuv_coefficients_select(f.colour);
    m.context = output_media_item_context_state{};
    m.context.rate_num = f.rate_num;
    m.context.rate_den = f.rate_den;
    // Single-field display shows one field of each frame: the frame rate stands.
    m.context.field_rate = 0;
    m.context.queue_bytes = kQueueSlots * f.layout.buffer_bytes;
    output_media_item_our_context_state = &m.context;
    return 0;
}

int output_media_item_reset_item_common() {
    media_state& m = media();
    media_source_close();
    if (m.phase == media_phase::playing)
        m.phase = m.started ? media_phase::connecting : media_phase::idle;
    return 0;
}
