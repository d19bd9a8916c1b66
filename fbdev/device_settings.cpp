#include "fbdev/device_settings.h"

int take_fbcon_setting = -1;
std::string device_setting;
int fb_index_setting = -1;
