#include "platform/virtual_description.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {
namespace {

constexpr unsigned kMaxSide = 16384;
constexpr uint64_t kMaxMemory = 512ull << 20;  // keeps a bad SPEC from exhausting memory

bool parse_unsigned(const std::string& text, unsigned* value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *value = static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end == std::string::npos ? end : end - begin));
        if (end == std::string::npos) return parts;
        begin = end + 1;
    }
}

int fail(std::string* error, const std::string& reason) {
    if (error) *error = reason;
    return -1;
}

int parse_size(const std::string& text, VirtualDeviceSpec* spec, std::string* error) {
    std::vector<std::string> sides = split(text, 'x');
    if (sides.size() != 3 || !parse_unsigned(sides[0], &spec->width) ||
        !parse_unsigned(sides[1], &spec->height) || !parse_unsigned(sides[2], &spec->bpp)) {
        return fail(error, "bad virtual framebuffer size \"" + text + "\", expected WxHxBPP");
    }
    if (spec->width == 0 || spec->height == 0 || spec->width > kMaxSide ||
        spec->height > kMaxSide) {
        return fail(error, "virtual framebuffer size \"" + text + "\" out of range (1 to 16384)");
    }
    if (spec->bpp != 15 && spec->bpp != 16 && spec->bpp != 24 && spec->bpp != 32) {
        return fail(error,
                    "virtual framebuffer depth " + sides[2] + " unsupported (15, 16, 24, 32)");
    }
    return 0;
}

int parse_option(const std::string& option, VirtualDeviceSpec* spec, std::string* error) {
    size_t equals = option.find('=');
    std::string name = option.substr(0, equals);
    std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
    bool has_value = equals != std::string::npos;
    if (!has_value) {
        if (name == "bgr") {
            spec->bgr = true;
        } else if (name == "direct") {
            spec->visual = FB_VISUAL_DIRECTCOLOR;
        } else if (name == "pseudo") {
            spec->visual = FB_VISUAL_PSEUDOCOLOR;
        } else if (name == "mono") {
            spec->visual = FB_VISUAL_MONO01;
        } else if (name == "kms") {
            spec->kms = true;
        } else if (name == "fbcon") {
            spec->fbcon = true;
        } else if (name == "green5") {
            spec->green5 = true;
        } else {
            return fail(error, "unknown virtual framebuffer option \"" + option + "\"");
        }
        return 0;
    }
    if (name == "stride" || name == "vyres") {
        unsigned number = 0;
        if (!parse_unsigned(value, &number) || number == 0) {
            return fail(error,
                        "virtual framebuffer option \"" + option + "\" needs a positive number");
        }
        (name == "stride" ? spec->stride : spec->yres_virtual) = number;
        return 0;
    }
    if (name == "id" || name == "pci") {
        if (value.empty() || value.find('/') != std::string::npos) {
            return fail(error,
                        "virtual framebuffer option \"" + option + "\" needs a name without '/'");
        }
        (name == "id" ? spec->id : spec->pci) = value;
        return 0;
    }
    if (name == "log") {
        if (value.empty()) return fail(error, "virtual framebuffer option \"log=\" needs a path");
        spec->log_path = value;
        return 0;
    }
    return fail(error, "unknown virtual framebuffer option \"" + option + "\"");
}

unsigned bytes_per_pixel(unsigned bpp) { return (bpp + 7) / 8; }

}  // namespace

int parse_virtual_spec(const char* text, VirtualDeviceSpec* spec, std::string* error) {
    if (!text || !*text) return fail(error, "empty virtual framebuffer SPEC, expected WxHxBPP");
    VirtualDeviceSpec parsed;
    std::vector<std::string> parts = split(text, ',');
    if (parse_size(parts[0], &parsed, error) != 0) return -1;
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parse_option(parts[i], &parsed, error) != 0) return -1;
    }
    if (parsed.green5 && parsed.bpp != 16) {
        return fail(error, "virtual framebuffer option \"green5\" needs 16 bpp");
    }
    unsigned row = parsed.width * bytes_per_pixel(parsed.bpp);
    if (parsed.stride == 0) parsed.stride = row;
    if (parsed.stride < row) {
        return fail(error, "virtual framebuffer stride " + std::to_string(parsed.stride) +
                               " shorter than a row of " + std::to_string(row) + " bytes");
    }
    if (parsed.yres_virtual == 0) parsed.yres_virtual = parsed.height;
    if (parsed.yres_virtual < parsed.height) {
        return fail(error, "virtual framebuffer vyres " + std::to_string(parsed.yres_virtual) +
                               " smaller than the height " + std::to_string(parsed.height));
    }
    if (static_cast<uint64_t>(parsed.stride) * parsed.yres_virtual > kMaxMemory) {
        return fail(error, "virtual framebuffer memory larger than 512 MiB");
    }
    *spec = parsed;
    return 0;
}

std::string virtual_device_name(const VirtualDeviceSpec& spec) {
    std::string name = spec.id.empty() ? "vexa virtual" : spec.id;
    const char suffix[] = "drmfb";
    if (spec.kms && (name.size() < 5 || name.compare(name.size() - 5, 5, suffix) != 0)) {
        name += suffix;
    }
    return name;
}

void make_virtual_mode(const VirtualDeviceSpec& spec, int index, fb_var_screeninfo* var,
                       fb_fix_screeninfo* fix) {
    std::memset(var, 0, sizeof *var);
    std::memset(fix, 0, sizeof *fix);

    var->xres = var->xres_virtual = spec.width;
    var->yres = spec.height;
    var->yres_virtual = spec.yres_virtual;
    var->bits_per_pixel = spec.bpp;
    unsigned field = spec.bpp >= 24 ? 8 : 5;
    unsigned green = spec.bpp == 16 && !spec.green5 ? 6 : field;
    var->green = {field, green, 0};
    fb_bitfield& low = spec.bgr ? var->red : var->blue;
    fb_bitfield& high = spec.bgr ? var->blue : var->red;
    low = {0, field, 0};
    high = {field + green, field, 0};
    var->height = var->width = ~0u;
    // VGA-like blanking, with the pixel clock chosen so the status report shows about 60 Hz
    // whatever the size.
    var->left_margin = 48;
    var->right_margin = 16;
    var->upper_margin = 33;
    var->lower_margin = 10;
    var->hsync_len = 96;
    var->vsync_len = 2;
    const uint64_t htotal = uint64_t{spec.width} + 48 + 16 + 96;
    const uint64_t vtotal = uint64_t{spec.height} + 33 + 10 + 2;
    var->pixclock = static_cast<uint32_t>(1000000000000ull / (htotal * vtotal * 60));

    std::string name = virtual_device_name(spec);
    std::memcpy(fix->id, name.data(), std::min(name.size(), sizeof fix->id));
    fix->smem_start = 0xe0000000ul + static_cast<unsigned long>(index) * 0x10000000ul;
    fix->smem_len = spec.stride * spec.yres_virtual;
    fix->type = FB_TYPE_PACKED_PIXELS;
    fix->visual = spec.visual;
    fix->ypanstep = 1;
    fix->line_length = spec.stride;
    fix->accel = FB_ACCEL_NONE;
}

}  // namespace platform
