#include "fbdev/device_choice.h"

#include <strings.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fbdev/device_settings.h"
#include "platform/device_seam.h"

namespace {

constexpr char kGraphicsClass[] = "/sys/class/graphics";
constexpr size_t kLinkBuffer = 256;  // 255 bytes of target and the terminator

// The link's target, or empty when it cannot be read or is empty.
std::string read_device_link(const char* path) {
    char target[kLinkBuffer];
    ssize_t length = platform::seam().readlink(path, target, sizeof target - 1);
    if (length <= 0) return std::string();
    return std::string(target, static_cast<size_t>(length));
}

// Walks the graphics class in directory order for the entry whose device is `wanted`.
int scan_for_bus_id(const char* wanted) {
    platform::DeviceSeam& seam = platform::seam();
    void* dir = seam.opendir(kGraphicsClass);
    if (!dir) return -1;
    int index = -1;
    while (const char* name = seam.readdir(dir)) {
        if (std::strncmp(name, "fb", 2) != 0) continue;
        char path[kLinkBuffer];
        std::snprintf(path, sizeof path, "%s/%s/device", kGraphicsClass, name);
        std::string component = bus_id_component(read_device_link(path));
        if (component.empty()) continue;
        std::fprintf(stderr, "  %s -> %s\n", name, component.c_str());
        if (component == wanted) {
            std::fprintf(stderr, "    I found the device I wanted\n");
            long number = std::strtol(name + 2, nullptr, 10);
            index = number >= 0 && number <= INT_MAX ? static_cast<int>(number) : -1;
            break;
        }
    }
    seam.closedir(dir);
    return index;
}

}  // namespace

std::string bus_id_component(const std::string& link_target) {
    size_t slash = link_target.rfind('/');
    std::string component =
        slash == std::string::npos ? link_target : link_target.substr(slash + 1);
    if (component.empty() || !std::isxdigit(static_cast<unsigned char>(component[0]))) {
        return std::string();
    }
    return component;
}

int choose_fbdev_index() {
    if (fb_index_setting >= 0) return fb_index_setting;
    if (device_setting.empty()) return 0;
    if (strncasecmp(device_setting.c_str(), "pci:", 4) == 0) {
        return scan_for_bus_id(device_setting.c_str() + 4);
    }
    return -1;
}

std::string lookup_fbdev_bus_id(int index) {
    char path[kLinkBuffer];
    std::snprintf(path, sizeof path, "%s/fb%u/device", kGraphicsClass,
                  static_cast<unsigned>(index));
    return bus_id_component(read_device_link(path));
}
