// Draws a decimal number into a luma plane: light digits on a dark box, for telling frames apart
// on screen.
#pragma once

#include <cstdint>

void draw_frame_counter(uint8_t* luma, uint32_t stride, uint32_t width, uint32_t height,
                        uint64_t number);
