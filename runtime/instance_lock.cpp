#include "runtime/instance_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

namespace {
int g_fd = -1;
std::string g_dir;

// The pid the owner wrote, as text; "?" when there is none.
std::string owner_pid(int fd) {
    char text[32];
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return "?";
    text[n] = '\0';
    const size_t digits = std::strspn(text, "0123456789");
    return digits ? std::string(text, digits) : "?";
}
}  // namespace

int vexa_instance_lock_take(const std::string& metadir, std::string* reason) {
    if (g_fd >= 0 && g_dir == metadir) return 0;
    vexa_instance_lock_release();
    const std::string path = metadir + "/owner.lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *reason = "Cannot open instance lock " + path + ": " + std::strerror(errno);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *reason = errno == EWOULDBLOCK
                      ? "Metadata directory " + metadir + " is in use by another instance (pid " +
                            owner_pid(fd) + ")"
                      : "Cannot lock " + path + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The pid only makes a second instance's message clearer; the lock holds without it.
    }
    g_fd = fd;
    g_dir = metadir;
    return 0;
}

void vexa_instance_lock_release() {
    if (g_fd < 0) return;
    close(g_fd);
    g_fd = -1;
    g_dir.clear();
}
