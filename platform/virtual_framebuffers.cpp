#include "platform/virtual_framebuffers.h"

#include <sys/ioctl.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

constexpr char kGraphicsClass[] = "/sys/class/graphics";
constexpr char kDevicePrefix[] = "/dev/fb";
constexpr size_t kColourMapSize = 256;

const char* request_name(unsigned long request) {
    switch (request) {
        case FBIOGET_VSCREENINFO:
            return "FBIOGET_VSCREENINFO";
        case FBIOPUT_VSCREENINFO:
            return "FBIOPUT_VSCREENINFO";
        case FBIOGET_FSCREENINFO:
            return "FBIOGET_FSCREENINFO";
        case FBIOGETCMAP:
            return "FBIOGETCMAP";
        case FBIOPUTCMAP:
            return "FBIOPUTCMAP";
        case FBIOBLANK:
            return "FBIOBLANK";
        case FBIO_WAITFORVSYNC:
            return "FBIO_WAITFORVSYNC";
        case FBIOPAN_DISPLAY:
            return "FBIOPAN_DISPLAY";
        default:
            return nullptr;
    }
}

// "/dev/fbN" with N a plain decimal number; -1 otherwise.
int device_number(const char* path) {
    size_t prefix = sizeof kDevicePrefix - 1;
    if (std::strncmp(path, kDevicePrefix, prefix) != 0 || path[prefix] == '\0') return -1;
    long number = 0;
    for (const char* c = path + prefix; *c; ++c) {
        if (*c < '0' || *c > '9' || number > 1000000) return -1;
        number = number * 10 + (*c - '0');
    }
    return static_cast<int>(number);
}

// A distinct starting map, so that a restore is told apart from any ramp.
VirtualColourMap initial_colour_map() {
    VirtualColourMap cmap;
    for (size_t i = 0; i < kColourMapSize; ++i) {
        cmap.red.push_back(static_cast<uint16_t>(0xffff - i * 0x101));
        cmap.green.push_back(static_cast<uint16_t>(0x1234 + i * 7));
        cmap.blue.push_back(static_cast<uint16_t>(0x8000 | i));
        cmap.transp.push_back(0);
    }
    return cmap;
}

int copy_colour_map(const fb_cmap* request, VirtualColourMap* cmap, bool into_device) {
    if (!request || request->len == 0 || request->start > kColourMapSize ||
        request->len > kColourMapSize - request->start) {
        return EINVAL;
    }
    if (!request->red || !request->green || !request->blue) return EFAULT;
    std::vector<uint16_t>* tables[] = {&cmap->red, &cmap->green, &cmap->blue, &cmap->transp};
    uint16_t* arrays[] = {request->red, request->green, request->blue, request->transp};
    for (int t = 0; t < 4; ++t) {
        if (!arrays[t]) continue;
        uint16_t* device = tables[t]->data() + request->start;
        if (into_device) {
            std::memcpy(device, arrays[t], request->len * sizeof(uint16_t));
        } else {
            std::memcpy(arrays[t], device, request->len * sizeof(uint16_t));
        }
    }
    return 0;
}

bool same_colour_map(const VirtualColourMap& a, const VirtualColourMap& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.transp == b.transp;
}

uint64_t monotonic_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

void sleep_until_monotonic_us(uint64_t when) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(when / 1000000u);
    ts.tv_nsec = static_cast<long>(when % 1000000u) * 1000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// Like the kernel: the shown window must lie inside the virtual screen, at a multiple of the
// panning steps.
int pan(VirtualDevice& device, const fb_var_screeninfo* request) {
    if (!request) return EFAULT;
    const fb_var_screeninfo& var = device.var;
    const fb_fix_screeninfo& fix = device.fix;
    if (static_cast<uint64_t>(request->xoffset) + var.xres > var.xres_virtual ||
        static_cast<uint64_t>(request->yoffset) + var.yres > var.yres_virtual) {
        return EINVAL;
    }
    if ((request->xoffset != 0 && (fix.xpanstep == 0 || request->xoffset % fix.xpanstep != 0)) ||
        (request->yoffset != 0 && (fix.ypanstep == 0 || request->yoffset % fix.ypanstep != 0))) {
        return EINVAL;
    }
    device.var.xoffset = request->xoffset;
    device.var.yoffset = request->yoffset;
    return 0;
}

// What a successful call left that tells a restore apart from any other write.
std::string restore_detail(const VirtualDevice& device, unsigned long request) {
    if (request == FBIOPUT_VSCREENINFO) {
        const fb_var_screeninfo& var = device.var;
        bool as_opened = std::memcmp(&var, &device.opened_var, sizeof var) == 0;
        return std::to_string(var.xres) + "x" + std::to_string(var.yres) + "x" +
               std::to_string(var.bits_per_pixel) +
               (as_opened ? " as-opened" : " differs-from-opened");
    }
    if (request == FBIOPUTCMAP) {
        return same_colour_map(device.cmap, device.opened_cmap) ? "restores-original"
                                                                : "differs-from-original";
    }
    return "";
}

}  // namespace

uint64_t vblank_period_ps(const fb_var_screeninfo& var) {
    const uint64_t htotal = uint64_t{var.left_margin} + var.xres + var.hsync_len + var.right_margin;
    const uint64_t vtotal =
        uint64_t{var.upper_margin} + var.yres + var.vsync_len + var.lower_margin;
    const unsigned __int128 period = static_cast<unsigned __int128>(htotal) * vtotal * var.pixclock;
    return period > UINT64_MAX ? 0 : static_cast<uint64_t>(period);  // no device is that slow
}

VirtualFramebuffers::VirtualFramebuffers()
    : now_us_(monotonic_us), sleep_until_us_(sleep_until_monotonic_us) {}
VirtualFramebuffers::~VirtualFramebuffers() = default;

int VirtualFramebuffers::add(const char* text, std::string* error) {
    auto device = std::make_unique<VirtualDevice>();
    if (parse_virtual_spec(text, &device->spec, error) != 0) return -1;
    int index = count();
    make_virtual_mode(device->spec, index, &device->var, &device->fix);
    device->memory.assign(device->fix.smem_len, 0);
    device->cmap = initial_colour_map();
    if (!device->spec.log_path.empty()) {
        device->log_file = std::make_unique<CallLogFile>();
        if (device->log_file->open(device->spec.log_path, error) != 0) return -1;
    }
    std::string link = device->spec.pci.empty() ? "../../../vfb." + std::to_string(index)
                                                : "../../../" + device->spec.pci;
    add_sysfs_entry("fb" + std::to_string(index), link, virtual_device_name(device->spec));
    if (device->spec.fbcon) console_fb_ = index;
    devices_.push_back(std::move(device));
    return index;
}

void VirtualFramebuffers::set_clock(std::function<uint64_t()> now_us,
                                    std::function<void(uint64_t)> sleep_until_us) {
    if (now_us) now_us_ = std::move(now_us);
    if (sleep_until_us) sleep_until_us_ = std::move(sleep_until_us);
}

void VirtualFramebuffers::fail_ioctl(unsigned long request, int err, int after) {
    ioctl_faults_[request] = {err, after};
}

void VirtualFramebuffers::clear_faults() {
    open_errno_ = map_errno_ = console_errno_ = 0;
    ioctl_faults_.clear();
}

void VirtualFramebuffers::add_sysfs_entry(const std::string& name, const std::string& link_target,
                                          const std::string& name_attribute) {
    sysfs_.push_back({name, link_target, name_attribute});
}

void VirtualFramebuffers::set_sysfs_order(const std::vector<std::string>& names) {
    std::vector<SysfsEntry> ordered;
    for (const std::string& name : names) {
        for (const SysfsEntry& entry : sysfs_) {
            if (entry.name == name) ordered.push_back(entry);
        }
    }
    for (const SysfsEntry& entry : sysfs_) {
        bool listed = false;
        for (const std::string& name : names) listed = listed || entry.name == name;
        if (!listed) ordered.push_back(entry);
    }
    sysfs_ = ordered;
}

int VirtualFramebuffers::record(const std::string& call, int err, int device,
                                const std::string& detail) {
    log_.push_back(err ? call + " failed" : call);
    std::string line = call;
    if (!err && !detail.empty()) line += " " + detail;
    if (err) line += " failed";
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (device < 0 || static_cast<size_t>(device) == i) {
            if (devices_[i]->log_file) devices_[i]->log_file->write_line(line);
        }
    }
    if (observer_) observer_(log_.back());
    if (!err) return 0;
    errno = err;
    return -1;
}

int VirtualFramebuffers::device_of_fd(int fd) const {
    auto open_fd = open_fds_.find(fd);
    return open_fd == open_fds_.end() ? -1 : open_fd->second;
}

int VirtualFramebuffers::fault_for(unsigned long request) {
    auto fault = ioctl_faults_.find(request);
    if (fault == ioctl_faults_.end()) return 0;
    if (fault->second.after > 0) {
        --fault->second.after;
        return 0;
    }
    return fault->second.err;
}

int VirtualFramebuffers::open(const char* path, int /*flags*/) {
    std::string call = std::string("open ") + (path ? path : "(null)");
    int number = path ? device_number(path) : -1;
    if (number >= count()) number = -1;
    if (open_errno_) return record(call, open_errno_, number);
    if (number < 0) return record(call, ENOENT);
    VirtualDevice& target = device(number);
    if (!target.opened) {
        target.opened = true;
        target.opened_var = target.var;
        target.opened_cmap = target.cmap;
    }
    int fd = next_fd_++;
    open_fds_[fd] = number;
    record(call, 0, number);
    return fd;
}

int VirtualFramebuffers::close(int fd) {
    int number = device_of_fd(fd);
    if (number < 0) return record("close", EBADF);
    open_fds_.erase(fd);
    return record("close", 0, number);
}

int VirtualFramebuffers::ioctl(int fd, unsigned long request, void* arg) {
    const char* name = request_name(request);
    char unknown[32];
    std::snprintf(unknown, sizeof unknown, "0x%lx", request);
    std::string call = std::string("ioctl ") + (name ? name : unknown);
    // Where a pan goes is the point of the call: it is part of the entry.
    if (request == FBIOPAN_DISPLAY && arg) {
        call += " " + std::to_string(static_cast<const fb_var_screeninfo*>(arg)->yoffset);
    }
    int number = device_of_fd(fd);
    if (number < 0) return record(call, EBADF);
    if (int err = fault_for(request)) return record(call, err, number);
    VirtualDevice& target = device(number);
    int err = ioctl_on(target, request, arg);
    return record(call, err, number, err ? "" : restore_detail(target, request));
}

int VirtualFramebuffers::ioctl_on(VirtualDevice& device, unsigned long request, void* arg) {
    switch (request) {
        case FBIOGET_VSCREENINFO:
            if (!arg) return EFAULT;
            std::memcpy(arg, &device.var, sizeof device.var);
            return 0;
        case FBIOGET_FSCREENINFO:
            if (!arg) return EFAULT;
            std::memcpy(arg, &device.fix, sizeof device.fix);
            return 0;
        case FBIOPUT_VSCREENINFO: {
            if (!arg) return EFAULT;
            const auto* mode = static_cast<const fb_var_screeninfo*>(arg);
            // Like the kernel, refuse a mode the device memory cannot hold.
            uint64_t row =
                (static_cast<uint64_t>(mode->xres_virtual) * mode->bits_per_pixel + 7) / 8;
            if (mode->xres == 0 || mode->yres == 0 || mode->bits_per_pixel == 0 ||
                row > device.fix.line_length ||
                static_cast<uint64_t>(device.fix.line_length) * mode->yres_virtual >
                    device.memory.size()) {
                return EINVAL;
            }
            device.var = *mode;
            return 0;
        }
        case FBIOGETCMAP:
            return copy_colour_map(static_cast<const fb_cmap*>(arg), &device.cmap, false);
        case FBIOPUTCMAP:
            return copy_colour_map(static_cast<const fb_cmap*>(arg), &device.cmap, true);
        case FBIOBLANK:
            device.blank = static_cast<int>(reinterpret_cast<intptr_t>(arg));
            return 0;
        case FBIOPAN_DISPLAY:
            return pan(device, static_cast<const fb_var_screeninfo*>(arg));
        case FBIO_WAITFORVSYNC:
            if (!arg) return EFAULT;
            // Only the first display pipe exists.
            if (*static_cast<const uint32_t*>(arg) != 0) return ENODEV;
            return wait_for_vblank(device);
        default:
            return ENOTTY;
    }
}

int VirtualFramebuffers::wait_for_vblank(const VirtualDevice& device) {
    const uint64_t period = vblank_period_ps(device.var);
    // A mode without timings has no refresh to wait for, as on a device without the call.
    if (period == 0) return ENOTTY;
    const unsigned __int128 now_ps = static_cast<unsigned __int128>(now_us_()) * 1000000u;
    const unsigned __int128 next_ps = (now_ps / period + 1) * period;
    sleep_until_us_(static_cast<uint64_t>((next_ps + 999999u) / 1000000u));
    return 0;
}

void* VirtualFramebuffers::map_shared(int fd, size_t length) {
    std::string call = "map " + std::to_string(length);
    int number = device_of_fd(fd);
    int err = number < 0 ? EBADF : map_errno_;
    if (!err && (length == 0 || length > device(number).memory.size())) err = EINVAL;
    if (record(call, err, number) != 0) return nullptr;
    last_mapped_ = number;
    void* addr = device(last_mapped_).memory.data();
    mappings_[addr] = length;
    return addr;
}

int VirtualFramebuffers::unmap(void* addr, size_t length) {
    int number = -1;
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i]->memory.data() == addr) number = static_cast<int>(i);
    }
    auto mapping = mappings_.find(addr);
    if (mapping == mappings_.end() || mapping->second != length) {
        return record("unmap", EINVAL, number);
    }
    mappings_.erase(mapping);
    std::string detail;
    if (number >= 0 && device(number).log_file) {  // the scan is only for the file's reader
        const std::vector<uint8_t>& memory = device(number).memory;
        bool zeroed = std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0; });
        detail = std::to_string(length) + (zeroed ? " zeroed" : " nonzero");
    }
    return record("unmap", 0, number, detail);
}

int VirtualFramebuffers::flush(int fd) {
    int number = device_of_fd(fd);
    // Writes reach the emulated screen at once: nothing waits to be handed on.
    return record("flush", number < 0 ? EBADF : 0, number);
}

void* VirtualFramebuffers::opendir(const char* path) {
    std::string call = std::string("opendir ") + (path ? path : "(null)");
    if (!path || std::strcmp(path, kGraphicsClass) != 0) {
        record(call, ENOENT);
        return nullptr;
    }
    auto listing = std::make_unique<Listing>();
    listing->names = {".", ".."};
    for (const SysfsEntry& entry : sysfs_) listing->names.push_back(entry.name);
    listings_.push_back(std::move(listing));
    record(call, 0);
    return listings_.back().get();
}

const char* VirtualFramebuffers::readdir(void* dir) {
    record("readdir", 0);
    for (auto& listing : listings_) {
        if (listing.get() != dir) continue;
        if (listing->next >= listing->names.size()) return nullptr;
        return listing->names[listing->next++].c_str();
    }
    return nullptr;
}

int VirtualFramebuffers::closedir(void* dir) {
    for (auto it = listings_.begin(); it != listings_.end(); ++it) {
        if (it->get() == dir) {
            listings_.erase(it);
            return record("closedir", 0);
        }
    }
    return record("closedir", EBADF);
}

const VirtualFramebuffers::SysfsEntry* VirtualFramebuffers::sysfs_entry(
    const char* path, const char* attribute) const {
    if (!path) return nullptr;
    std::string full = path;
    std::string prefix = std::string(kGraphicsClass) + "/";
    std::string suffix = std::string("/") + attribute;
    if (full.size() <= prefix.size() + suffix.size() || full.compare(0, prefix.size(), prefix) ||
        full.compare(full.size() - suffix.size(), suffix.size(), suffix)) {
        return nullptr;
    }
    std::string name = full.substr(prefix.size(), full.size() - prefix.size() - suffix.size());
    for (const SysfsEntry& entry : sysfs_) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

ssize_t VirtualFramebuffers::readlink(const char* path, char* buf, size_t size) {
    std::string call = std::string("readlink ") + (path ? path : "(null)");
    const SysfsEntry* entry = sysfs_entry(path, "device");
    if (!entry || entry->link.empty()) return record(call, ENOENT);
    // Like readlink(2): truncated to the buffer, never terminated.
    size_t length = std::min(size, entry->link.size());
    std::memcpy(buf, entry->link.data(), length);
    record(call, 0);
    return static_cast<ssize_t>(length);
}

ssize_t VirtualFramebuffers::read_file(const char* path, char* buf, size_t size) {
    std::string call = std::string("read ") + (path ? path : "(null)");
    const SysfsEntry* entry = sysfs_entry(path, "name");
    if (!entry || entry->name_attribute.empty()) return record(call, ENOENT);
    std::string text = entry->name_attribute + "\n";
    size_t length = std::min(size, text.size());
    std::memcpy(buf, text.data(), length);
    record(call, 0);
    return static_cast<ssize_t>(length);
}

int VirtualFramebuffers::console_framebuffer() {
    record("console framebuffer", 0);
    return console_fb_;
}

int VirtualFramebuffers::set_console_graphics(bool graphics) {
    if (record(graphics ? "console graphics" : "console text", console_errno_) != 0) return -1;
    console_graphics_ = graphics;
    return 0;
}

}  // namespace platform
