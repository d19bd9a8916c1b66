#include "driver/status_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "fbdev/fbdev_state.h"
#include "fbdev/vsync.h"
#include "pixel/kernel_table.h"
#include "runtime/runtime_api.h"

namespace {

void append_format(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void append_format(std::string* out, const char* format, ...) {
    char buffer[192];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0) out->append(buffer, static_cast<size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
}

// Frame rate in hertz from the mode's timings; false when they do not give one.
bool refresh_rate(const fb_var_screeninfo& var, double* rate) {
    if (var.pixclock == 0) return false;
    const uint32_t htotal = var.left_margin + var.xres + var.hsync_len + var.right_margin;
    const uint32_t vtotal = var.upper_margin + var.yres + var.vsync_len + var.lower_margin;
    if (htotal == 0 || vtotal == 0) return false;
    // pixclock is the pixel period in picoseconds.
    *rate = 1e12 / (static_cast<double>(htotal) * static_cast<double>(vtotal) *
                    static_cast<double>(var.pixclock));
    return true;
}

std::string activity_text() {
    std::string text;
    if (fbdev_fd >= 0 && fbdev_map != nullptr) {
        const fb_var_screeninfo& var = fbdev_var;
        text = "1";
        if (var.bits_per_pixel > 8) {
            append_format(&text, ",bpp=%u,argbw=%u:%u:%u:%u,argbp=%u:%u:%u:%u", var.bits_per_pixel,
                          var.transp.length, var.red.length, var.green.length, var.blue.length,
                          var.transp.offset, var.red.offset, var.green.offset, var.blue.offset);
        } else {
            append_format(&text, ",bpp=%u", var.bits_per_pixel);
        }
        double rate = 0;
        if (refresh_rate(var, &rate)) append_format(&text, ",vrate=%.2f", rate);
        append_format(&text, ",efd=%llu",
                      static_cast<unsigned long long>(output_play_dropped_frames));
        append_format(&text, ",res=%ux%u", var.xres, var.yres);
        if (vsync_setting != vsync_off) {
            // What is in force (the device may allow less than asked), and what waiting costs:
            // the calls that block until the blank, and their mean time in milliseconds.
            const double mean_ms =
                fbdev_vsync_calls == 0
                    ? 0.0
                    : static_cast<double>(fbdev_vsync_call_us) / 1000.0 / fbdev_vsync_calls;
            append_format(&text, ",vsync=%d,vwaits=%llu,vwait=%.2f", fbdev_vsync,
                          static_cast<unsigned long long>(fbdev_vsync_calls), mean_ms);
        }
    } else {
        text = "0";
    }
    text += shm_status();
    text += mem_status();
    text += cpu_status();
    return text;
}

}  // namespace

void driver_on_report(void* /*context*/, comm_socket_v4_packet* packet) {
    comm_socket_v4_packet_write_nv_pair(packet, "*active", activity_text().c_str());
    comm_socket_v4_packet_write_nv_pair(packet, "*last error", fbdev_last_error.c_str());
    comm_socket_v4_packet_write_nv_pair(packet, "*last notes", fbdev_last_notes.c_str());
    // The identifier fills its 16 bytes with no terminator when it is that long.
    char id[sizeof fbdev_fix.id + 1];
    std::memcpy(id, fbdev_fix.id, sizeof fbdev_fix.id);
    id[sizeof fbdev_fix.id] = '\0';
    comm_socket_v4_packet_write_nv_pairf(packet, "*using device", "%s: %s",
                                         fbdev_using_device.c_str(), id);
    if (fbdev_fd < 0) {
        comm_socket_v4_packet_write_nv_pair(packet, "*using fbcon", "");
    } else {
        comm_socket_v4_packet_write_nv_pairf(packet, "*using fbcon", "%d", fbcon_lockout);
    }
    comm_socket_v4_packet_write_nv_pair(packet, "*pixel level", pixel_kernels_level());
}
