// Linear ramps on direct-colour devices, so they show pixels like a true-colour device.
#pragma once

#include <linux/fb.h>

#include <cstdint>

// Saves the device's colour map and loads a ramp for the mode in fbdev_var. 0, or -1 after
// setting fbdev_last_error and closing the device.
int setup_direct_colour_map();

// Loads the saved map back (only when one was read) and frees both buffers.
void restore_colour_map();

// Fills the ramp for this mode into cmap (whose arrays hold 256 entries) and sets its len.
// Returns the message naming the ramp.
const char* build_colour_ramp(const fb_var_screeninfo& var, fb_cmap* cmap);
