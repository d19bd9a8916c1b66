#include "fbdev/console_takeover.h"

#include <cstdio>

#include "fbdev/device_settings.h"
#include "fbdev/fbdev_state.h"

int (*fbdev_program_running)(const char*, procfs_path_in_use_info*, unsigned long,
                             unsigned int) = procfs_path_in_use;

void take_console_if_needed(int index) {
    bool x11_running = fbdev_program_running("/usr/bin/X", nullptr, 0, 40) > 0;
    if (x11_running) std::fprintf(stderr, "X11 is running\n");
    track_fbcon();
    if (fbcon_fbindex != index) return;
    bool take = take_fbcon_setting > 0 || (take_fbcon_setting < 0 && !x11_running);
    if (!take) return;
    std::fprintf(stderr,
                 "The device is also occupied by the Linux kernel framebuffer console. I will "
                 "need to acquire ownership.\n");
    fbdev_last_notes += "Taking fbcon. ";
    take_fbcon();
}
