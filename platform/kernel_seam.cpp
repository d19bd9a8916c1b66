// The kernel behind the device seam: the only place that talks to devices, sysfs and consoles.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fb.h>
#include <linux/kd.h>
#include <linux/vt.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/device_seam.h"

namespace platform {
namespace {

// Opened write-only: the node is root:tty 0620, so a service user in the tty group can reach it,
// and neither ioctl used on it needs read access.
constexpr char kConsole[] = "/dev/tty0";
constexpr int kFramebuffersToTry = 8;  // any framebuffer answers the console map query

class KernelSeam : public DeviceSeam {
  public:
    int open(const char* path, int flags) override { return ::open(path, flags | O_CLOEXEC); }
    int close(int fd) override { return ::close(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override {
        return ::ioctl(fd, request, arg);
    }
    void* map_shared(int fd, size_t length) override {
        void* addr = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        return addr == MAP_FAILED ? nullptr : addr;
    }
    int unmap(void* addr, size_t length) override { return ::munmap(addr, length); }
    int flush(int fd) override { return ::fsync(fd); }

    void* opendir(const char* path) override { return ::opendir(path); }
    const char* readdir(void* dir) override {
        dirent* entry = ::readdir(static_cast<DIR*>(dir));
        return entry ? entry->d_name : nullptr;
    }
    int closedir(void* dir) override { return ::closedir(static_cast<DIR*>(dir)); }
    ssize_t readlink(const char* path, char* buf, size_t size) override {
        return ::readlink(path, buf, size);
    }
    ssize_t read_file(const char* path, char* buf, size_t size) override {
        int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        ssize_t got = ::read(fd, buf, size);
        int saved = errno;
        ::close(fd);
        errno = saved;
        return got;
    }

    int console_framebuffer() override {
        int tty = ::open(kConsole, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (tty < 0) return -1;
        vt_stat state{};
        int got = ::ioctl(tty, VT_GETSTATE, &state);
        ::close(tty);
        if (got < 0) return -1;
        for (int n = 0; n < kFramebuffersToTry; ++n) {
            char path[32];
            std::snprintf(path, sizeof path, "/dev/fb%d", n);
            int fb = ::open(path, O_RDONLY | O_CLOEXEC);
            if (fb < 0) continue;
            fb_con2fbmap map{};
            map.console = state.v_active;
            got = ::ioctl(fb, FBIOGET_CON2FBMAP, &map);
            ::close(fb);
            return got < 0 ? -1 : static_cast<int>(map.framebuffer);
        }
        return -1;
    }
    int set_console_graphics(bool graphics) override {
        int tty = ::open(kConsole, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (tty < 0) return -1;
        int got = ::ioctl(tty, KDSETMODE, graphics ? KD_GRAPHICS : KD_TEXT);
        int saved = errno;
        ::close(tty);
        errno = saved;
        return got < 0 ? -1 : 0;
    }
};

}  // namespace

DeviceSeam& kernel_seam() {
    static KernelSeam kernel;
    return kernel;
}

}  // namespace platform
