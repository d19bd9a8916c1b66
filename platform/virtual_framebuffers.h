// Emulated framebuffer devices behind the device seam, for --virtual-fb and for tests.
//
// Devices are /dev/fb0, /dev/fb1, ... in the order they are added. Each has screen memory, a
// mode (fb_var_screeninfo), fixed info, a 256-entry colour map that FBIOGETCMAP/FBIOPUTCMAP read
// and write, and an entry fbN in the emulated /sys/class/graphics: a `device` link ending in the
// bus id (pci=, else a platform device whose name is not hex) and a `name` attribute ("<id>\n").
// The console sits on the device added with `fbcon`, if any.
//
// Every call through the seam is logged in order, one readable string each:
//   "open /dev/fb0"            "close"
//   "ioctl FBIOGET_VSCREENINFO" "ioctl FBIOGET_FSCREENINFO" "ioctl FBIOPUT_VSCREENINFO"
//   "ioctl FBIOGETCMAP"        "ioctl FBIOPUTCMAP"        "ioctl FBIOBLANK"   "ioctl 0x<hex>"
//   "ioctl FBIO_WAITFORVSYNC"  "ioctl FBIOPAN_DISPLAY <yoffset>"
//   "map <length>"             "unmap"                    "flush"
//   "opendir <path>"           "readdir"                  "closedir"
//   "readlink <path>"          "read <path>"
//   "console framebuffer"      "console graphics"         "console text"
// A call that fails has " failed" appended.
//
// The vertical blank comes at the refresh rate the mode's timings give (pixel clock, margins and
// sync lengths, as the status report computes it), on the device's clock: FBIO_WAITFORVSYNC
// sleeps until the next one. FBIOPAN_DISPLAY moves the shown window (xoffset, yoffset) within the
// virtual screen, and the snapshot shows that window.
//
// A device added with log=PATH also appends its calls to PATH, one line each, as they happen:
// those made on it (its open, and the calls on its descriptors and its mapping) and those made
// on no one device (sysfs, console). The lines are the ones above, and successful calls that
// put something back carry what an outside reader needs to check it:
//   "ioctl FBIOPUT_VSCREENINFO <xres>x<yres>x<bpp> as-opened"   the mode it had when first opened
//   "ioctl FBIOPUT_VSCREENINFO <xres>x<yres>x<bpp> differs-from-opened"
//   "ioctl FBIOPUTCMAP restores-original"      the whole map is again the one first opened with
//   "ioctl FBIOPUTCMAP differs-from-original"
//   "unmap <length> zeroed"                    every byte of the screen memory is zero
//   "unmap <length> nonzero"
#pragma once

#include <linux/fb.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_seam.h"
#include "platform/virtual_call_log.h"
#include "platform/virtual_description.h"

namespace platform {

struct VirtualColourMap {
    std::vector<uint16_t> red, green, blue, transp;  // 256 entries each
};

struct VirtualDevice {
    VirtualDeviceSpec spec;
    fb_var_screeninfo var;
    fb_fix_screeninfo fix;
    std::vector<uint8_t> memory;  // what a mapping of the device shows
    VirtualColourMap cmap;        // starts as a recognisable non-ramp pattern
    int blank = -1;               // last FBIOBLANK argument, -1 before any
    // Mode and colour map at the first open, against which a write is told to be a restore.
    bool opened = false;
    fb_var_screeninfo opened_var{};
    VirtualColourMap opened_cmap;
    std::unique_ptr<CallLogFile> log_file;  // log=PATH; null without
};

class VirtualFramebuffers : public DeviceSeam {
  public:
    VirtualFramebuffers();
    ~VirtualFramebuffers() override;

    // Adds /dev/fbN for SPEC; returns N, or -1 with a one-line reason in *error.
    int add(const char* spec, std::string* error = nullptr);
    int count() const { return static_cast<int>(devices_.size()); }
    VirtualDevice& device(int index) { return *devices_.at(static_cast<size_t>(index)); }

    // The calls made so far, oldest first (see the list above).
    const std::vector<std::string>& log() const { return log_; }
    void clear_log() { log_.clear(); }

    // Faults: each stays until clear_faults(). A faulty call returns -1 (null) with errno = err.
    void fail_open(int err) { open_errno_ = err; }
    // Fails every call of this request after the first `after` that succeed.
    void fail_ioctl(unsigned long request, int err = EIO, int after = 0);
    void fail_map(int err = ENOMEM) { map_errno_ = err; }
    void fail_mode_restore(int err = EINVAL) { fail_ioctl(FBIOPUT_VSCREENINFO, err); }
    void fail_console_mode(int err = EPERM) { console_errno_ = err; }
    void clear_faults();

    // Emulated sysfs: /sys/class/graphics/<name> with an optional `device` link and `name`
    // attribute. Entries are listed in the order added (after "." and ".."), unless reordered.
    void add_sysfs_entry(const std::string& name, const std::string& link_target,
                         const std::string& name_attribute = "");
    void set_sysfs_order(const std::vector<std::string>& names);

    // Console: the framebuffer it sits on (-1 none) and the mode the active VT was last set to.
    void set_console(int index) { console_fb_ = index; }
    bool console_in_graphics() const { return console_graphics_; }

    // The clock the vertical blank follows (microseconds) and the sleep until a time on it;
    // CLOCK_MONOTONIC unless a test sets its own. Either may be null to keep the current one.
    void set_clock(std::function<uint64_t()> now_us, std::function<void(uint64_t)> sleep_until_us);
    // Called after every call is logged, with its log entry: a test looks at the screen there.
    void set_call_observer(std::function<void(const std::string&)> observer) {
        observer_ = std::move(observer);
    }

    // Device last mapped, -1 before any mapping.
    int last_mapped() const { return last_mapped_; }
    int mappings() const { return static_cast<int>(mappings_.size()); }
    // The visible screen of the last mapped device as 8-bit RGB PNG. 0, or -1 with *error.
    int write_snapshot(const char* path, std::string* error = nullptr) const;

    // DeviceSeam.
    int open(const char* path, int flags) override;
    int close(int fd) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    void* map_shared(int fd, size_t length) override;
    int unmap(void* addr, size_t length) override;
    int flush(int fd) override;
    void* opendir(const char* path) override;
    const char* readdir(void* dir) override;
    int closedir(void* dir) override;
    ssize_t readlink(const char* path, char* buf, size_t size) override;
    ssize_t read_file(const char* path, char* buf, size_t size) override;
    int console_framebuffer() override;
    int set_console_graphics(bool graphics) override;

  private:
    struct SysfsEntry {
        std::string name;
        std::string link;  // empty: no link
        std::string name_attribute;
    };
    struct IoctlFault {
        int err;
        int after;
    };
    struct Listing {
        std::vector<std::string> names;
        size_t next = 0;
    };

    // Logs the call (to the files of `device`, or of every device when -1, with `detail` on
    // success); returns -1 with errno on err != 0.
    int record(const std::string& call, int err, int device = -1, const std::string& detail = "");
    int device_of_fd(int fd) const;  // -1 when not open
    int fault_for(unsigned long request);
    int ioctl_on(VirtualDevice& device, unsigned long request, void* arg);
    int wait_for_vblank(const VirtualDevice& device);
    const SysfsEntry* sysfs_entry(const char* path, const char* attribute) const;

    std::vector<std::unique_ptr<VirtualDevice>> devices_;
    std::map<int, int> open_fds_;  // descriptor -> device index
    int next_fd_ = 1000;
    std::map<void*, size_t> mappings_;
    int last_mapped_ = -1;
    std::vector<SysfsEntry> sysfs_;
    std::vector<std::unique_ptr<Listing>> listings_;
    int console_fb_ = -1;
    bool console_graphics_ = false;
    std::vector<std::string> log_;
    int open_errno_ = 0;
    int map_errno_ = 0;
    int console_errno_ = 0;
    std::map<unsigned long, IoctlFault> ioctl_faults_;
    std::function<uint64_t()> now_us_;
    std::function<void(uint64_t)> sleep_until_us_;
    std::function<void(const std::string&)> observer_;
};

// Picoseconds from one vertical blank to the next in this mode; 0 when the timings give none.
uint64_t vblank_period_ps(const fb_var_screeninfo& var);

}  // namespace platform
