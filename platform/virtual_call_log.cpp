#include "platform/virtual_call_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

CallLogFile::~CallLogFile() {
    if (fd_ >= 0) ::close(fd_);
}

int CallLogFile::open(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) {
            *error =
                "cannot open virtual framebuffer log \"" + path + "\": " + std::strerror(errno);
        }
        return -1;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return 0;
}

void CallLogFile::write_line(const std::string& line) const {
    if (fd_ < 0) return;
    // One write for the whole line: with O_APPEND, devices sharing a file never split a line.
    std::string text = line + "\n";
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t written = ::write(fd_, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        left -= static_cast<size_t>(written);
    }
}

}  // namespace platform
