// The SPEC of an emulated framebuffer: "WxHxBPP" then comma-separated options:
//   bgr                     blue in the high field
//   direct, pseudo, mono    the visual (default true colour)
//   green5                  16 bpp reporting a 1:5:5:5 layout (green length 5)
//   stride=BYTES, vyres=N   line length and yres_virtual (default packed, the height); a vyres
//                           of twice the height holds two pages to flip between
//   id=NAME, kms, pci=BUSID fixed-info id, DRM/KMS emulation, PCI bus id in sysfs
//   fbcon                   the kernel console sits on this device
//   log=PATH                append every call on the device to PATH as it happens (PATH cannot
//                           hold a comma); see virtual_framebuffers.h for the lines
#pragma once

#include <linux/fb.h>

#include <cstdint>
#include <string>

namespace platform {

struct VirtualDeviceSpec {
    unsigned width = 0;
    unsigned height = 0;
    unsigned bpp = 0;     // 15, 16, 24 or 32
    bool bgr = false;     // blue in the high field
    bool green5 = false;  // 16 bpp reporting 1:5:5:5
    uint32_t visual = FB_VISUAL_TRUECOLOR;
    unsigned stride = 0;        // bytes per row; 0: packed
    unsigned yres_virtual = 0;  // 0: the height
    std::string id;             // fixed-info id and sysfs name; empty: a default
    bool kms = false;           // DRM/KMS emulation: the sysfs name ends in "drmfb"
    std::string pci;            // bus id the sysfs device link ends in; empty: not on PCI
    bool fbcon = false;         // the kernel console sits on this device
    std::string log_path;       // file that receives every call on the device; empty: none
};

// Parses SPEC. 0 on success; -1 with a one-line reason in *error.
int parse_virtual_spec(const char* text, VirtualDeviceSpec* spec, std::string* error);

// The name the device reports in its fixed info and in sysfs.
std::string virtual_device_name(const VirtualDeviceSpec& spec);

// The mode and fixed info of a device built from SPEC; index sets a distinct memory address.
void make_virtual_mode(const VirtualDeviceSpec& spec, int index, fb_var_screeninfo* var,
                       fb_fix_screeninfo* fix);

}  // namespace platform
