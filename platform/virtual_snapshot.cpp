// The picture on an emulated device, read from its memory as the stored field values.
#include <vector>

#include "platform/png_file.h"
#include "platform/virtual_framebuffers.h"

namespace platform {
namespace {

// Expands an n-bit value to 8 bits by repeating its bits, so every stored bit reads back.
uint8_t expand_to_8(uint32_t value, unsigned bits) {
    if (bits == 0) return 0;
    if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
    int position = 8 - static_cast<int>(bits);
    uint32_t out = value << position;
    while (position > 0) {
        position -= static_cast<int>(bits);
        out |= position >= 0 ? value << position : value >> -position;
    }
    return static_cast<uint8_t>(out);
}

uint8_t field(uint32_t pixel, const fb_bitfield& bits) {
    if (bits.length == 0 || bits.offset >= 32) return 0;
    uint32_t mask = bits.length >= 32 ? ~0u : (1u << bits.length) - 1;
    return expand_to_8((pixel >> bits.offset) & mask, bits.length > 32 ? 32 : bits.length);
}

}  // namespace

int VirtualFramebuffers::write_snapshot(const char* path, std::string* error) const {
    if (last_mapped_ < 0) {
        if (error) *error = "no virtual framebuffer has been mapped";
        return -1;
    }
    const VirtualDevice& device = *devices_[static_cast<size_t>(last_mapped_)];
    const fb_var_screeninfo& var = device.var;
    unsigned bytes = (var.bits_per_pixel + 7) / 8;
    // The window the device shows: the visible size at the panned offset.
    uint64_t first = static_cast<uint64_t>(var.xoffset) * bytes;
    uint64_t row = static_cast<uint64_t>(var.xres) * bytes;
    uint64_t stride = device.fix.line_length;
    if (bytes == 0 || bytes > 4 || var.xres == 0 || var.yres == 0 || first + row > stride ||
        stride * (uint64_t{var.yoffset} + var.yres) > device.memory.size()) {
        if (error) *error = "virtual framebuffer mode does not fit its memory";
        return -1;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(var.xres) * var.yres * 3);
    uint8_t* out = rgb.data();
    for (unsigned y = 0; y < var.yres; ++y) {
        const uint8_t* in = device.memory.data() + (var.yoffset + uint64_t{y}) * stride + first;
        for (unsigned x = 0; x < var.xres; ++x, in += bytes) {
            uint32_t pixel = 0;
            for (unsigned b = 0; b < bytes; ++b) pixel |= static_cast<uint32_t>(in[b]) << (8 * b);
            *out++ = field(pixel, var.red);
            *out++ = field(pixel, var.green);
            *out++ = field(pixel, var.blue);
        }
    }
    return write_rgb_png(path, var.xres, var.yres, rgb.data(), error);
}

}  // namespace platform
