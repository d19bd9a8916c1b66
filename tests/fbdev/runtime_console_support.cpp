// Console and KMS functions over the device seam, for linking before the runtime provides them.
// Weak, so the runtime's own definitions win wherever they are linked in.
#include <cstring>
#include <string>

#include "platform/device_seam.h"
#include "runtime/runtime_api.h"

__attribute__((weak)) int fbcon_lockout = 0;
__attribute__((weak)) int fbcon_fbindex = -1;

__attribute__((weak)) int track_fbcon() {
    fbcon_fbindex = platform::seam().console_framebuffer();
    return 0;
}

__attribute__((weak)) int take_fbcon() {
    if (platform::seam().set_console_graphics(true) != 0) return -1;
    fbcon_lockout = 1;
    return 0;
}

__attribute__((weak)) int release_fbcon() {
    if (!fbcon_lockout) return 0;
    fbcon_lockout = 0;
    return platform::seam().set_console_graphics(false);
}

__attribute__((weak)) int fbdev_is_drm_kms_emulation(int fb_index) {
    std::string path = "/sys/class/graphics/fb" + std::to_string(fb_index) + "/name";
    char name[64];
    ssize_t length = platform::seam().read_file(path.c_str(), name, sizeof name);
    if (length <= 0) return 0;
    std::string text(name, static_cast<size_t>(length));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.size() >= 5 && text.compare(text.size() - 5, 5, "drmfb") == 0;
}

__attribute__((weak)) int procfs_path_in_use(const char*, procfs_path_in_use_info*, unsigned long,
                                             unsigned int) {
    return 0;
}
