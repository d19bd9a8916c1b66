#include "driver/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
bool refuse(const char* path, const char* reason) {
    std::fprintf(stderr, "Configuration %s: %s\n", path, reason);
    return false;
}
}  // namespace

bool read_config_text(const char* path, std::string* text) {
    text->clear();
    // Without O_NONBLOCK a FIFO would hold start-up until some writer opened it.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return refuse(path, std::strerror(errno));
    struct stat st {};
    bool ok = false;
    if (fstat(fd, &st) != 0) {
        refuse(path, std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        // Devices such as /dev/zero never end; a directory reads as nothing.
        refuse(path, "not a regular file");
    } else if (static_cast<unsigned long long>(st.st_size) > kMaxConfigBytes) {
        refuse(path, "larger than 1 MiB");
    } else {
        ok = true;
        char buffer[16384];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ok = refuse(path, std::strerror(errno));
                break;
            }
            if (n == 0) break;
            text->append(buffer, static_cast<size_t>(n));
            // The file may grow while it is read.
            if (text->size() > kMaxConfigBytes) {
                ok = refuse(path, "larger than 1 MiB");
                break;
            }
        }
    }
    close(fd);
    if (!ok) text->clear();
    return ok;
}
