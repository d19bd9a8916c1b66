// The one seam between this program and the kernel's framebuffer devices, the sysfs graphics
// class and the consoles. Production uses the kernel; tests and --virtual-fb use emulated devices.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform {

class DeviceSeam {
  public:
    virtual ~DeviceSeam() = default;

    // Framebuffer device. Failures return -1 (or null) with errno set.
    virtual int open(const char* path, int flags) = 0;
    virtual int close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void* map_shared(int fd, size_t length) = 0;  // read-write, offset 0; null on failure
    virtual int unmap(void* addr, size_t length) = 0;
    // Hands what was written through the mapping on to the display now (fsync). Devices that
    // pass writes on later, in batches (deferred I/O), would otherwise show a page before its
    // picture arrived; the others have nothing to do, and may say so with an error.
    virtual int flush(int fd) = 0;

    // sysfs graphics class: directory listing, links, attribute files.
    virtual void* opendir(const char* path) = 0;  // null on failure
    virtual const char* readdir(void* dir) = 0;   // next entry name, null at the end
    virtual int closedir(void* dir) = 0;
    virtual ssize_t readlink(const char* path, char* buf, size_t size) = 0;
    virtual ssize_t read_file(const char* path, char* buf, size_t size) = 0;

    // Consoles.
    virtual int console_framebuffer() = 0;  // fb index of the active console, -1 if none
    virtual int set_console_graphics(bool graphics) = 0;  // active VT to graphics / text mode
};

// The seam in force: the kernel unless another was installed.
DeviceSeam& seam();
// Installs a seam (null restores the kernel). The caller keeps ownership.
void set_seam(DeviceSeam* replacement);
DeviceSeam& kernel_seam();

// --virtual-fb SPEC: adds an emulated /dev/fbN (N counts up from 0) and makes the emulation the
// seam in force. 0 on success; -1 with a one-line reason in *error.
int add_virtual_framebuffer(const char* spec, std::string* error);
// Writes the visible screen of the most recently mapped virtual device as an 8-bit RGB PNG.
int write_virtual_snapshot(const char* path);

}  // namespace platform
