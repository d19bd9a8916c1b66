#include "runtime/frame_layout.h"

namespace {
uint64_t round_up(uint64_t value, uint64_t align) { return (value + align - 1) / align * align; }
}  // namespace

int frame_layout_compute(uint32_t width, uint32_t height, uint8_t h_factor, uint8_t v_factor,
                         uint32_t row_align, frame_layout* out, std::string* error) {
    if (width == 0 || height == 0 || width > kMaxFrameSide || height > kMaxFrameSide) {
        *error = "frame size " + std::to_string(width) + "x" + std::to_string(height) +
                 " outside 1.." + std::to_string(kMaxFrameSide);
        return -1;
    }
    if (h_factor == 0 || v_factor == 0 || h_factor > 4 || v_factor > 4) {
        *error = "chroma subsampling out of range";
        return -1;
    }
    if (row_align == 0) row_align = 1;
    frame_layout l;
    l.width = width;
    l.height = height;
    l.h_factor = h_factor;
    l.v_factor = v_factor;
    l.chroma_width = (width + h_factor - 1) / h_factor;
    l.chroma_lines = (height + v_factor - 1) / v_factor;
    const uint64_t y_stride = round_up(width, row_align);
    const uint64_t c_stride = round_up(l.chroma_width, row_align);
    // Strides travel as 16-bit fields of the image shortcuts; line counts too.
    if (y_stride > UINT16_MAX || c_stride > UINT16_MAX || height - 1 > UINT16_MAX) {
        *error = "frame width " + std::to_string(width) + " does not fit a 16-bit line stride";
        return -1;
    }
    l.y_stride = static_cast<uint32_t>(y_stride);
    l.c_stride = static_cast<uint32_t>(c_stride);
    l.y_bytes = y_stride * height;
    l.c_bytes = c_stride * l.chroma_lines;
    // Planes start on 64-byte boundaries unless the rows are packed back to back.
    const uint64_t plane_align = row_align > 1 ? 64 : 1;
    l.y_offset = 0;
    l.u_offset = round_up(l.y_offset + l.y_bytes, plane_align);
    l.v_offset = round_up(l.u_offset + l.c_bytes, plane_align);
    l.buffer_bytes = l.v_offset + l.c_bytes;
    // Plane offsets travel as 32-bit fields.
    if (l.v_offset > UINT32_MAX) {
        *error = "frame too large for 32-bit plane offsets";
        return -1;
    }
    *out = l;
    return 0;
}
