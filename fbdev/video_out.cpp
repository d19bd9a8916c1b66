// Opening, checking and mapping the framebuffer, and putting it all back.
#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fbdev/colour_map.h"
#include "fbdev/console_takeover.h"
#include "fbdev/device_choice.h"
#include "fbdev/fbdev_state.h"
#include "fbdev/vsync.h"
#include "platform/device_seam.h"
#include "platform/taken_record.h"
#include "runtime/runtime_api.h"

namespace {

const char kModePolicyNotice[] =
    "NOTICE: fbdev support is being discontinued, modesetting not applied.\n"
    "Please update your configuration to use the DRM/KMS output driver instead.";

// Whether fbdev_old_var was read by this open. Without it the write-back at close would put
// zeros, or an earlier device's mode, onto the hardware.
bool saved_mode_read = false;

int fail_and_close(const char* message, const char* error) {
    std::fprintf(stderr, "%s", message);
    fbdev_last_error = error;
    close_video_out();
    return -1;
}

int query_screen_info(fb_fix_screeninfo* fix, fb_var_screeninfo* var) {
    platform::DeviceSeam& seam = platform::seam();
    if (seam.ioctl(fbdev_fd, FBIOGET_FSCREENINFO, fix) < 0) return -1;
    if (seam.ioctl(fbdev_fd, FBIOGET_VSCREENINFO, var) < 0) return -1;
    return 0;
}

void print_kms_notice() {
    std::fprintf(stderr,
                 "**NOTICE: The framebuffer device is tied to the Linux DRM/KMS modesetting "
                 "interface.\n");
    std::fprintf(stderr,
                 "          For best performance and utilization of your video hardware please "
                 "use the\n");
    std::fprintf(stderr, "          drmkms output driver instead.\n");
    fbdev_last_notes += "Is KMS. ";
}

void apply_mode_policy() {
    if (!fbdev_last_notes.empty()) fbdev_last_notes += "\n";
    fbdev_last_notes += kModePolicyNotice;
    std::fprintf(stderr,
                 "Modesetting with fbdev for anything other than the BochsVBE driver is "
                 "disabled.\n");
    std::fprintf(stderr,
                 "This fbdev driver is being discontinued and will be removed eventually.\n");
}

void print_summary() {
    std::fprintf(stderr, "Framebuffer:\n");
    std::fprintf(stderr, "  %.16s mem@0x%lX+%u stride=%u\n", fbdev_fix.id, fbdev_fix.smem_start,
                 fbdev_fix.smem_len, fbdev_fix.line_length);
    std::fprintf(stderr, "  %u x %u (out of %u x %u) %ubpp\n", fbdev_var.xres, fbdev_var.yres,
                 fbdev_var.xres_virtual, fbdev_var.yres_virtual, fbdev_var.bits_per_pixel);
}

// 24 bpp is drawn only with 8-bit fields: green in the middle byte, red and blue in the outer
// ones. Any other layout would be drawn as nothing, or in wrong colours.
bool is_packed_888(const fb_var_screeninfo& var) {
    const bool lengths = var.red.length == 8 && var.green.length == 8 && var.blue.length == 8;
    const bool outer = (var.red.offset == 0 && var.blue.offset == 16) ||
                       (var.red.offset == 16 && var.blue.offset == 0);
    return lengths && outer && var.green.offset == 8;
}

int map_screen() {
    uint64_t length = static_cast<uint64_t>(fbdev_fix.line_length) * fbdev_var.yres_virtual;
    // A zero length cannot be mapped, and one beyond 32 bits exceeds any device memory
    // (smem_len is 32 bits): mapping it would hand the converters memory the device lacks.
    void* map = nullptr;
    if (length != 0 && length <= UINT32_MAX) {
        map = platform::seam().map_shared(fbdev_fd, static_cast<size_t>(length));
    }
    if (!map) return fail_and_close("Unable to mmap\n", "Unable to mmap");
    fbdev_map_length = length;
    fbdev_map = static_cast<uint8_t*>(map);
    return 0;
}

}  // namespace

int init_video_out(unsigned int width, unsigned int height) {
    if (fbdev_fd >= 0) return 0;
    fbdev_last_notes.clear();
    fbdev_last_error.clear();
    fbdev_using_device.clear();
    fbdev_bus_id.clear();
    fbdev_is_kms = 0;

    fbdev_index = choose_fbdev_index();
    if (fbdev_index < 0) {
        std::fprintf(stderr, "Did not choose a card\n");
        fbdev_last_error = "Did not choose a card";
        return -1;
    }
    char path[32];
    std::snprintf(path, sizeof path, "/dev/fb%u", static_cast<unsigned>(fbdev_index));
    std::fprintf(stderr, "Using framebuffer: %s\n", path);
    fbdev_frame_width = static_cast<int>(width);
    fbdev_frame_height = static_cast<int>(height);

    fbdev_fd = platform::seam().open(path, O_RDWR);
    if (fbdev_fd < 0) {
        const char* reason = std::strerror(errno);
        std::fprintf(stderr, "Unable to open framebuffer, %s\n", reason);
        fbdev_last_error = std::string("Unable to open framebuffer, ") + reason;
        return -1;
    }
    fbdev_using_device = path;
    fbdev_bus_id = lookup_fbdev_bus_id(fbdev_index);
    std::fprintf(stderr, "  is device: %s\n", fbdev_bus_id.c_str());
    if (fbdev_is_drm_kms_emulation(fbdev_index)) fbdev_is_kms = 1;

    if (platform::seam().ioctl(fbdev_fd, FBIOBLANK, reinterpret_cast<void*>(FB_BLANK_UNBLANK)) !=
        0) {
        std::fprintf(stderr, "WARNING: Failed to unblank display, %s\n", std::strerror(errno));
        fbdev_last_notes += "Unblank failed. ";
    }
    take_console_if_needed(fbdev_index);
    if (fbdev_is_kms) print_kms_notice();

    if (query_screen_info(&fbdev_old_fix, &fbdev_old_var) != 0) {
        return fail_and_close("Unable to query framebuffer info\n", "Unable to query framebuffer");
    }
    saved_mode_read = true;
    // From here on the mode is ours to give back, on any way out.
    platform::taken_note_device(path, fbdev_fd, fbdev_old_var);
    fbdev_fix = fbdev_old_fix;
    fbdev_var = fbdev_old_var;
    apply_mode_policy();
    if (query_screen_info(&fbdev_fix, &fbdev_var) != 0) {
        return fail_and_close("Unable to query framebuffer info\n",
                              "Unable to query framebuffer info (2)");
    }
    print_summary();

    if (fbdev_fix.visual == FB_VISUAL_DIRECTCOLOR) {
        if (setup_direct_colour_map() != 0) return -1;
    } else if (fbdev_fix.visual != FB_VISUAL_TRUECOLOR) {
        return fail_and_close("Unsupported format\n",
                              "Framebuffer is set to an unsupported format");
    }
    if (fbdev_var.bits_per_pixel == 24 && !is_packed_888(fbdev_var)) {
        return fail_and_close("Unsupported format\n",
                              "Framebuffer is set to an unsupported format");
    }
    if (map_screen() != 0) return -1;
    choose_vsync_mode();
    return 0;
}

void close_video_out() {
    release_fbcon();
    restore_colour_map();
    if (fbdev_map) {
        std::memset(fbdev_map, 0, fbdev_map_length);
        platform::seam().unmap(fbdev_map, fbdev_map_length);
        fbdev_map_length = 0;
        fbdev_map = nullptr;
    }
    if (fbdev_fd >= 0) {
        vsync_restore_offset();
        if (saved_mode_read &&
            platform::seam().ioctl(fbdev_fd, FBIOPUT_VSCREENINFO, &fbdev_old_var) < 0) {
            std::fprintf(stderr, "Warning: Failed to restore video mode\n");
        }
        platform::seam().close(fbdev_fd);
        fbdev_fd = -1;
    }
    saved_mode_read = false;
    vsync_forget_device();
    platform::taken_note_device_closed();
    fbdev_frame_height = -1;
    fbdev_frame_width = -1;
}
