// Where a frame's Y, U and V planes lie in its buffer.
#pragma once

#include <cstdint>
#include <string>

// Largest frame side accepted from any source.
constexpr uint32_t kMaxFrameSide = 16384;

struct frame_layout {
    uint32_t width = 0, height = 0;
    uint8_t h_factor = 1, v_factor = 1;  // chroma subsampling
    uint32_t chroma_width = 0, chroma_lines = 0;
    uint32_t y_stride = 0, c_stride = 0;
    uint64_t y_offset = 0, u_offset = 0, v_offset = 0;
    uint64_t y_bytes = 0, c_bytes = 0;  // one plane each: stride x lines
    uint64_t buffer_bytes = 0;          // up to the end of the last plane
};

// Lays out a width x height frame with the given chroma factors. Rows are padded to `row_align`
// bytes (1: rows back to back, so each plane is one contiguous run). 0 on success; otherwise -1
// with a short reason in *error (sizes out of range, strides beyond 16 bits).
int frame_layout_compute(uint32_t width, uint32_t height, uint8_t h_factor, uint8_t v_factor,
                         uint32_t row_align, frame_layout* out, std::string* error);
