#include "fbdev/colour_map.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fbdev/fbdev_state.h"
#include "platform/device_seam.h"
#include "platform/taken_record.h"

namespace {

constexpr uint32_t kEntries = 256;
constexpr size_t kBufferBytes = 3 * kEntries * sizeof(uint16_t);

// Whether fbdev_old_cmap holds what the device reported; only then is it loaded back.
bool saved_map_read = false;

void point_into(fb_cmap* cmap, uint16_t* buffer) {
    cmap->start = 0;
    cmap->len = kEntries;
    cmap->red = buffer;
    cmap->green = buffer + kEntries;
    cmap->blue = buffer + 2 * kEntries;
    cmap->transp = nullptr;
}

// Field value i of n bits as a 16-bit intensity: i shifted to the top, kept to 16 bits.
uint16_t ramp_entry(uint32_t i, uint32_t bits) {
    return bits == 0 ? 0 : static_cast<uint16_t>(i << (16 - bits));
}

uint32_t clamp_bits(uint32_t length) { return length > 8 ? 8 : length; }

// Out of memory for a colour map: nothing sensible is left to do. Stops also where assert()
// is compiled out.
[[noreturn]] void stop(const char* assertion) {
    std::fprintf(stderr, "Assertion failed: %s\n", assertion);
    std::abort();
}

int fail(const char* error) {
    std::fprintf(stderr, "Failed to get colormap\n");
    fbdev_last_error = error;
    close_video_out();
    return -1;
}

}  // namespace

const char* build_colour_ramp(const fb_var_screeninfo& var, fb_cmap* cmap) {
    uint32_t red = 8, green = 8, blue = 8;
    const char* message = "8:8:8 colormap\n";
    if (var.bits_per_pixel == 16) {
        red = blue = 5;
        green = var.green.length == 6 ? 6 : 5;
        message = green == 6 ? "5:6:5 colormap\n" : "5:5:5 colormap\n";
    } else if (var.bits_per_pixel != 24 && var.bits_per_pixel != 32) {
        // No fixed ramp for this depth: one from the device's own field lengths.
        red = clamp_bits(var.red.length);
        green = clamp_bits(var.green.length);
        blue = clamp_bits(var.blue.length);
        static char own[48];
        std::snprintf(own, sizeof own, "%u:%u:%u colormap\n", red, green, blue);
        message = own;
    }
    uint32_t widest = red > green ? red : green;
    widest = widest > blue ? widest : blue;
    cmap->len = 1u << widest;
    for (uint32_t i = 0; i < cmap->len; ++i) {
        cmap->red[i] = ramp_entry(i, red);
        cmap->green[i] = ramp_entry(i, green);
        cmap->blue[i] = ramp_entry(i, blue);
    }
    return message;
}

int setup_direct_colour_map() {
    std::fprintf(stderr, "Ugh, directcolor mapping.\n");
    fbdev_old_cmap_r_g_b = static_cast<uint16_t*>(std::calloc(1, kBufferBytes));
    if (!fbdev_old_cmap_r_g_b) stop("fbdev_old_cmap_r_g_b != NULL");
    point_into(&fbdev_old_cmap, fbdev_old_cmap_r_g_b);
    if (platform::seam().ioctl(fbdev_fd, FBIOGETCMAP, &fbdev_old_cmap) != 0) {
        return fail("Unable to read colormap/ramp");
    }
    saved_map_read = true;
    platform::taken_note_colour_map(fbdev_old_cmap);

    fbdev_cmap_r_g_b = static_cast<uint16_t*>(std::calloc(1, kBufferBytes));
    if (!fbdev_cmap_r_g_b) stop("fbdev_cmap_r_g_b != NULL");
    point_into(&fbdev_cmap, fbdev_cmap_r_g_b);
    std::fprintf(stderr, "%s", build_colour_ramp(fbdev_var, &fbdev_cmap));
    if (platform::seam().ioctl(fbdev_fd, FBIOPUTCMAP, &fbdev_cmap) != 0) {
        return fail("Unable to read colormap/ramp (2)");
    }
    return 0;
}

void restore_colour_map() {
    if (fbdev_old_cmap_r_g_b) {
        // After a failed read the buffer holds nothing of the device's: loading it would
        // replace the device's map with zeros.
        if (saved_map_read) platform::seam().ioctl(fbdev_fd, FBIOPUTCMAP, &fbdev_old_cmap);
        std::memset(&fbdev_old_cmap, 0, sizeof fbdev_old_cmap);
        std::free(fbdev_old_cmap_r_g_b);
        fbdev_old_cmap_r_g_b = nullptr;
    }
    saved_map_read = false;
    if (fbdev_cmap_r_g_b) {
        std::memset(&fbdev_cmap, 0, sizeof fbdev_cmap);
        std::free(fbdev_cmap_r_g_b);
        fbdev_cmap_r_g_b = nullptr;
    }
}
