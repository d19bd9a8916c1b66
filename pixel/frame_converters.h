// The frame converters: one planar YUV frame into framebuffer memory.
#pragma once

#include <cstdint>

#include "runtime/records.h"

// dst: first byte of the first output line; width/height: visible size; hfactor/vfactor: chroma
// subsampling factors; y/u/v: first sample of each plane; line_length: bytes from one output line
// to the next (the device's line length).
using frame_converter = void (*)(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                                 uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y,
                                 uint8_t* u, uint8_t* v, uint32_t line_length);

void frame_yuv_to_rgb565(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length);
void frame_yuv_to_bgr565(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length);
void frame_yuv_to_rgb555(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length);
void frame_yuv_to_bgr555(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length);
void frame_yuv_to_rgb888(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length);
void frame_yuv_to_bgr888(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length);
// Packed 24 bpp, three bytes a pixel: the channel values of the 32-bit converters.
void frame_yuv_to_rgb24(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                        uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                        uint8_t* v, uint32_t line_length);
void frame_yuv_to_bgr24(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                        uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                        uint8_t* v, uint32_t line_length);
