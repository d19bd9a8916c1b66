#include "fbdev/fbdev_state.h"

int fbdev_fd = -1;
int fbdev_index = -1;
int fbdev_frame_width = -1;
int fbdev_frame_height = -1;
fb_fix_screeninfo fbdev_old_fix;
fb_var_screeninfo fbdev_old_var;
fb_fix_screeninfo fbdev_fix;
fb_var_screeninfo fbdev_var;
int fbdev_is_kms = 0;
uint8_t* fbdev_map = nullptr;
uint64_t fbdev_map_length = 0;
fb_cmap fbdev_old_cmap;
uint16_t* fbdev_old_cmap_r_g_b = nullptr;
fb_cmap fbdev_cmap;
uint16_t* fbdev_cmap_r_g_b = nullptr;
std::string fbdev_using_device;
std::string fbdev_bus_id;
std::string fbdev_last_error;
std::string fbdev_last_notes;
