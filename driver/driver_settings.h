// The driver's own settings: what the display loop reads besides the runtime's flags. The device
// choice (take_fbcon_setting, device_setting, fb_index_setting) lives in fbdev/device_settings.h.
#pragma once

// While set, the display loop starts the media item by itself, at most every 2 seconds.
extern bool autostart_item;
// Set when the item, the device or the console policy changed: ends the display loop's inner loop
// so that the framebuffer and the connection are set up afresh.
extern bool restart_flag;
