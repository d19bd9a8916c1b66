#include "fbdev/vsync.h"

#include <linux/fb.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "fbdev/fbdev_state.h"
#include "platform/device_seam.h"
#include "runtime/runtime_api.h"

int vsync_setting = vsync_off;
int fbdev_vsync = vsync_off;
bool fbdev_reopen_wanted = false;
uint64_t fbdev_vsync_calls = 0;
uint64_t fbdev_vsync_call_us = 0;

namespace {

uint32_t shown_row = 0;  // first row shown, as our pans left it; 0 until one succeeds
bool panned = false;     // a pan of ours moved the shown window since the open
uint32_t hidden_page = 1;
// Each fall-back is told once per setting, not at every open of every connection cycle.
bool told_no_flip = false;
bool told_no_wait = false;

void add_note(const char* note) {
    if (!fbdev_last_notes.empty() && fbdev_last_notes.back() != ' ') fbdev_last_notes += "\n";
    fbdev_last_notes += note;
}

// Why the open device cannot flip between two pages; empty when it can.
std::string flip_obstacle() {
    const uint32_t yres = fbdev_var.yres;
    char why[96];
    if (yres == 0 || fbdev_var.yres_virtual / 2 < yres) {
        std::snprintf(why, sizeof why, "virtual height %u is less than two pages of %u",
                      fbdev_var.yres_virtual, yres);
        return why;
    }
    // The kernel refuses a pan to a row that is not a multiple of the step, and every pan
    // without one.
    if (fbdev_fix.ypanstep == 0 || yres % fbdev_fix.ypanstep != 0) {
        std::snprintf(why, sizeof why, "the device cannot pan to row %u", yres);
        return why;
    }
    return std::string();
}

void fall_back_from_flip(const std::string& why) {
    if (!told_no_flip) {
        std::fprintf(stderr,
                     "WARNING: Cannot flip pages, %s; waiting for the vertical blank instead\n",
                     why.c_str());
        told_no_flip = true;
    }
    add_note("No page flip. ");
    fbdev_vsync = vsync_wait;
}

// A call that may block until the blank, timed for the status report.
int timed_ioctl(unsigned long request, void* arg) {
    const uint64_t start = monotonic_clock_us();
    const int result = platform::seam().ioctl(fbdev_fd, request, arg);
    const int saved = errno;
    const uint64_t end = monotonic_clock_us();
    ++fbdev_vsync_calls;
    fbdev_vsync_call_us += end > start ? end - start : 0;
    errno = saved;
    return result;
}

}  // namespace

void change_vsync_setting(int value) {
    if (value != vsync_setting) told_no_flip = told_no_wait = false;
    vsync_setting = value;
    if (fbdev_fd < 0 || fbdev_map == nullptr) return;  // the next open decides
    const bool flipping = fbdev_vsync == vsync_flip;
    const bool flip = value == vsync_flip && flip_obstacle().empty();
    // Pages in use or not: the open device is given back and taken afresh.
    fbdev_reopen_wanted = flipping != flip;
    if (fbdev_reopen_wanted || flipping) return;
    if (value == vsync_flip) {
        fall_back_from_flip(flip_obstacle());
    } else {
        fbdev_vsync = value;
    }
}

void choose_vsync_mode() {
    shown_row = 0;
    panned = false;
    fbdev_vsync_calls = 0;
    fbdev_vsync_call_us = 0;
    fbdev_vsync = vsync_setting;
    if (fbdev_vsync != vsync_flip) return;
    const std::string why = flip_obstacle();
    if (!why.empty()) {
        fall_back_from_flip(why);
        return;
    }
    // The first frame goes to the page not shown now.
    hidden_page = fbdev_var.yoffset >= fbdev_var.yres ? 0 : 1;
    // A frame smaller than the screen leaves the rest of each page as it was: both pages start as
    // the one shown, or what lies around the picture would flicker between them.
    const uint64_t line = fbdev_fix.line_length;
    std::memmove(fbdev_map + static_cast<uint64_t>(hidden_page) * fbdev_var.yres * line,
                 fbdev_map + static_cast<uint64_t>(fbdev_var.yoffset) * line,
                 static_cast<uint64_t>(fbdev_var.yres) * line);
}

uint8_t* vsync_draw_target(uint32_t* rows) {
    const uint64_t line = fbdev_fix.line_length;
    if (fbdev_vsync == vsync_flip) {
        *rows = fbdev_var.yres;
        return fbdev_map + static_cast<uint64_t>(hidden_page) * fbdev_var.yres * line;
    }
    *rows = fbdev_var.yres_virtual - shown_row;
    return fbdev_map + shown_row * line;
}

void vsync_before_draw() {
    if (fbdev_vsync != vsync_wait) return;
    uint32_t pipe = 0;
    if (timed_ioctl(FBIO_WAITFORVSYNC, &pipe) == 0) return;
    if (!told_no_wait) {
        std::fprintf(stderr, "WARNING: Cannot wait for the vertical blank, %s; drawing at once\n",
                     std::strerror(errno));
        told_no_wait = true;
    }
    add_note("No vsync wait. ");
    fbdev_vsync = vsync_off;
}

bool vsync_after_draw() {
    if (fbdev_vsync != vsync_flip) return true;
    // DRM emulations pass writes on in batches, long after the pan: the page would show stale.
    // Its result does not matter: a device without batches has nothing to flush.
    platform::seam().flush(fbdev_fd);
    fb_var_screeninfo pan = fbdev_var;
    pan.yoffset = hidden_page * fbdev_var.yres;
    if (timed_ioctl(FBIOPAN_DISPLAY, &pan) == 0) {
        fbdev_var.yoffset = pan.yoffset;
        shown_row = pan.yoffset;
        panned = true;
        hidden_page ^= 1;
        return true;
    }
    fall_back_from_flip(std::string("the pan failed: ") + std::strerror(errno));
    return false;
}

void vsync_restore_offset() {
    const bool moved =
        fbdev_var.xoffset != fbdev_old_var.xoffset || fbdev_var.yoffset != fbdev_old_var.yoffset;
    if (!panned || !moved) return;
    fb_var_screeninfo back = fbdev_var;
    back.xoffset = fbdev_old_var.xoffset;
    back.yoffset = fbdev_old_var.yoffset;
    // The mode written back next holds the offset too; a device that refuses that write must not
    // be left showing a page the console never draws on.
    if (platform::seam().ioctl(fbdev_fd, FBIOPAN_DISPLAY, &back) == 0) {
        fbdev_var.xoffset = back.xoffset;
        fbdev_var.yoffset = back.yoffset;
    } else {
        std::fprintf(stderr, "Warning: Failed to restore the display offset\n");
    }
    panned = false;
}

void vsync_forget_device() {
    fbdev_vsync = vsync_off;
    fbdev_reopen_wanted = false;
    shown_row = 0;
    panned = false;
}
