#include "driver/display_loop.h"

#include <cstdio>

#include "driver/driver_settings.h"
#include "driver/hook_table.h"
#include "driver/show_frame.h"
#include "fbdev/fbdev_state.h"
#include "runtime/runtime_api.h"

uint64_t next_autostart_at = 0;

namespace {

constexpr uint64_t kAutostartIntervalUs = 2000000;

void autostart_if_due() {
    if (!autostart_item) return;
    const uint64_t now = monotonic_clock_us();
    if (now < next_autostart_at) return;
    // Re-armed whether or not there is an item to start.
    next_autostart_at = now + kAutostartIntervalUs;
    if (!output_media_item.empty()) vexa_start_item(output_media_item.c_str());
}

int init_display_phase() {
    const output_media_item_context_state* ctx = output_media_item_our_context_state;
    if (ctx == nullptr) return -1;
    const uint32_t count = ctx->rate_num * (ctx->field_rate != 0 ? 2u : 1u);
    return output_driver_display_phase_av_common_init(count, static_cast<uint32_t>(ctx->rate_den),
                                                      0, 0, ctx->queue_bytes);
}

// One frame per iteration until a phase fails, a shutdown is asked for or a setting restarts.
void run_inner_loop() {
    for (;;) {
        if (DIE4 != 0) return;
        if (output_driver_display_phase_common_loop_tracking(monotonic_clock_us()) != 0) return;
        if (output_driver_display_phase_av_common_send_frame_requests() != 0) return;
        if (output_driver_display_phase_common_read_incoming_requests() != 0) return;
        if (OutputBufferFrame* frame = output_driver_display_phase_av_common_next_frame(0)) {
            show_frame(frame);
        }
        if (output_driver_display_phase_common_post_display_idle_and_wait() != 0) return;
        vexa_global_access_cache_cleanup_idle(vexa_acc_cache);
        if (restart_flag) return;
    }
}

}  // namespace

void run_display_loop() {
    for (;;) {
        autostart_if_due();
        if (output_media_item_default_connect_phase() == 0 &&
            output_media_item_default_get_context_phase() == 0) {
            restart_flag = false;
            if (init_display_phase() != 0) {
                std::fprintf(stderr, "Failed to init output driver common\n");
            } else {
                run_inner_loop();
                close_video_out();
            }
        }
        call_reset_hook();
        if (DIE4 != 0) return;
    }
}
