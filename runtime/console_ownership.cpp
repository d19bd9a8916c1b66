// The kernel's framebuffer console and DRM/KMS detection, through the device seam.
#include <cstdio>
#include <cstring>

#include "platform/device_seam.h"
#include "platform/taken_record.h"
#include "runtime/runtime_api.h"

int track_fbcon() {
    fbcon_fbindex = platform::seam().console_framebuffer();
    return fbcon_fbindex >= 0 ? 0 : -1;
}

int take_fbcon() {
    if (fbcon_lockout) return 0;
    // Noted before the switch: a death in between must still give the console back.
    platform::taken_note_console(true);
    if (platform::seam().set_console_graphics(true) != 0) {
        platform::taken_note_console(false);
        return -1;
    }
    fbcon_lockout = 1;
    return 0;
}

int release_fbcon() {
    if (!fbcon_lockout) return 0;
    fbcon_lockout = 0;
    const int result = platform::seam().set_console_graphics(false) == 0 ? 0 : -1;
    platform::taken_note_console(false);
    return result;
}

int fbdev_is_drm_kms_emulation(int fb_index) {
    if (fb_index < 0) return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/sys/class/graphics/fb%d/name", fb_index);
    char name[128];
    const ssize_t n = platform::seam().read_file(path, name, sizeof name - 1);
    if (n <= 0) return 0;
    size_t length = static_cast<size_t>(n);
    while (length > 0 && (name[length - 1] == '\n' || name[length - 1] == ' ')) --length;
    static const char suffix[] = "drmfb";
    const size_t suffix_length = sizeof suffix - 1;
    return length >= suffix_length &&
           std::memcmp(name + length - suffix_length, suffix, suffix_length) == 0;
}
