// The process's emulated devices for --virtual-fb and --snapshot.
#include <cstdio>

#include "platform/device_seam.h"
#include "platform/virtual_framebuffers.h"

namespace platform {
namespace {

VirtualFramebuffers& process_devices() {
    static VirtualFramebuffers devices;
    return devices;
}

}  // namespace

int add_virtual_framebuffer(const char* spec, std::string* error) {
    if (process_devices().add(spec, error) < 0) return -1;
    set_seam(&process_devices());
    return 0;
}

int write_virtual_snapshot(const char* path) {
    auto* devices = dynamic_cast<VirtualFramebuffers*>(&seam());
    std::string error = "no virtual framebuffer in use";
    if (!devices || devices->write_snapshot(path, &error) != 0) {
        std::fprintf(stderr, "Warning: snapshot not written, %s\n", error.c_str());
        return -1;
    }
    return 0;
}

}  // namespace platform
