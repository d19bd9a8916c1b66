// The framebuffer state: the one process-wide record of the device the driver draws into.
#pragma once

#include <linux/fb.h>

#include <cstdint>
#include <string>

extern int fbdev_fd;           // negative when closed (also keeps a failed open's result)
extern int fbdev_index;        // N of the /dev/fbN chosen by the last open attempt
extern int fbdev_frame_width;  // frame size the device was opened for, -1 when closed
extern int fbdev_frame_height;
extern fb_fix_screeninfo fbdev_old_fix;
extern fb_var_screeninfo fbdev_old_var;  // mode as found; written back at close
extern fb_fix_screeninfo fbdev_fix;
extern fb_var_screeninfo fbdev_var;
extern int fbdev_is_kms;
extern uint8_t* fbdev_map;
extern uint64_t fbdev_map_length;
extern fb_cmap fbdev_old_cmap;
extern uint16_t* fbdev_old_cmap_r_g_b;
extern fb_cmap fbdev_cmap;
extern uint16_t* fbdev_cmap_r_g_b;
extern std::string fbdev_using_device;
extern std::string fbdev_bus_id;
extern std::string fbdev_last_error;
extern std::string fbdev_last_notes;

// Opens, checks and maps the chosen device for frames of this size. 0 on success or when already
// open; -1 with fbdev_last_error set.
int init_video_out(unsigned int width, unsigned int height);
// Gives back console, colour map and mode, clears and unmaps the screen. Safe in any state.
void close_video_out();
