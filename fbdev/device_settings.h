// The device choice, written by the driver's settings code and read when a device is opened.
#pragma once

#include <string>

extern int take_fbcon_setting;      // -1 automatic, 0 never, > 0 always
extern std::string device_setting;  // "pci:<bus id>" or empty
extern int fb_index_setting;        // explicit /dev/fbN, -1 none
