// Picks the frame converter for the framebuffer's pixel format.
#pragma once

#include <linux/fb.h>

#include "pixel/frame_converters.h"

// Null when nothing is to be drawn; a format with an unexpected blue offset also prints a warning
// (once per call, so once per frame).
frame_converter choose_frame_converter(const fb_var_screeninfo& var);
