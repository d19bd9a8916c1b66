#include "driver/show_frame.h"

#include <cstdio>

#include "driver/pixel_dispatch.h"
#include "fbdev/fbdev_state.h"
#include "fbdev/vsync.h"
#include "runtime/runtime_api.h"

uint64_t last_frame_id = UINT64_MAX;
uint64_t video_retry_at = 0;

namespace {

constexpr uint64_t kVideoRetryHoldOffUs = 2000000;

// Makes sure the framebuffer is open for frames of this size. False when the frame cannot be shown
// now (open failed, or the hold-off after a failed open is running).
bool framebuffer_ready_for(uint32_t width, uint32_t height) {
    if (fbdev_fd >= 0) {
        const bool same_size = static_cast<int64_t>(width) == fbdev_frame_width &&
                               static_cast<int64_t>(height) == fbdev_frame_height;
        if (same_size && !fbdev_reopen_wanted) return true;
        std::fprintf(stderr, same_size ? "Drawing mode change, reopening the framebuffer\n"
                                       : "Active frame size change detected\n");
        close_video_out();
    }
    if (monotonic_clock_us() < video_retry_at) return false;
    if (init_video_out(width, height) != 0) {
        std::fprintf(stderr, "Failed to init video output\n");
        video_retry_at = monotonic_clock_us() + kVideoRetryHoldOffUs;
        close_video_out();
        return false;
    }
    return true;
}

uint8_t* map_plane(const uint16_t* refs, uint8_t plane, uint32_t offset, uint16_t last_line,
                   uint16_t stride, const char* failure) {
    const uint64_t length = (static_cast<uint64_t>(last_line) + 1) * stride;
    void* p = vexa_global_access_cache_quickfetch(vexa_acc_cache, refs[plane], offset, length, 2);
    if (p == nullptr) std::fputs(failure, stderr);
    return static_cast<uint8_t*>(p);
}

// Everything of show_frame but giving the frame back.
void draw_frame(vexa_sub_item_frame_state* state) {
    if (state == nullptr) return;
    if (state->frame_id == last_frame_id) {
        std::fprintf(stderr, "Avoid dup %llu\n", static_cast<unsigned long long>(state->frame_id));
        return;
    }
    if (!framebuffer_ready_for(state->width, state->height)) return;

    if (!state->get_frame_scanline_data(vexa_acc_cache)) {
        std::fprintf(stderr, "Cannot load scanline data\n");
        return;
    }
    const vexa_frame_header* header = state->get_frame_header(true);
    if (header == nullptr) {
        std::fprintf(stderr, "No header\n");
        return;
    }
    const uint16_t* refs = state->get_frame_buffer_references();
    if (refs == nullptr) {
        std::fprintf(stderr, "No references\n");
        return;
    }
    const frame_image_shortcuts* layout = state->get_frame_image_shortcuts();
    if (layout == nullptr) {
        std::fprintf(stderr, "No shortcuts\n");
        return;
    }
    if (layout->bytes_per_sample != 1) {
        std::fprintf(stderr, "Wrong bytes/pixel\n");
        return;
    }
    const uint8_t planes = header->plane_count;
    if (layout->y_plane >= planes || layout->u_plane >= planes || layout->v_plane >= planes) {
        return;
    }

    uint8_t* y = map_plane(refs, layout->y_plane, layout->y_offset, layout->y_last_line,
                           layout->y_stride, "Unable to mmap Y\n");
    if (y == nullptr) return;
    uint8_t* u = map_plane(refs, layout->u_plane, layout->u_offset, layout->u_last_line,
                           layout->u_stride, "Unable to mmap U\n");
    if (u == nullptr) return;
    uint8_t* v = map_plane(refs, layout->v_plane, layout->v_offset, layout->v_last_line,
                           layout->v_stride, "Unable to mmap V\n");
    if (v == nullptr) return;

    const uint32_t dest_width = fbdev_var.xres_virtual;
    const uint32_t width = state->width < dest_width ? state->width : dest_width;
    const uint8_t hfactor = static_cast<uint8_t>(layout->h_subsampling + 1);
    const uint8_t vfactor = static_cast<uint8_t>(layout->v_subsampling + 1);

    if (frame_converter convert = choose_frame_converter(fbdev_var)) {
        // A failed page flip turns flipping off: the frame is drawn again where it shows.
        for (bool shown = false; !shown; shown = vsync_after_draw()) {
            vsync_before_draw();
            uint32_t dest_height = 0;
            uint8_t* dest = vsync_draw_target(&dest_height);
            const uint32_t height = state->height < dest_height ? state->height : dest_height;
            convert(dest, layout, width, height, hfactor, vfactor, y, u, v, fbdev_fix.line_length);
        }
    }
    last_frame_id = state->frame_id;
}

}  // namespace

void show_frame(OutputBufferFrame* frame) {
    draw_frame(frame->frame_state);
    frame->discard_src_frame();
}
