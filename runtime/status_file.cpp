#include "runtime/status_file.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/runtime_api.h"

namespace {
int g_status = 0;
std::string g_status_text;
int g_ready = 0;
std::string g_ready_text;

// Writes the status file through a temporary and a rename, so readers never see half of it.
int write_status_file() {
    if (!vexa_file_metadir) return -1;
    const std::string path = std::string(vexa_file_metadir) + "/status";
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    const std::string body = "status=" + std::to_string(g_status) + "\ntext=" + g_status_text +
                             "\nready=" + std::to_string(g_ready) + "\nready text=" + g_ready_text +
                             "\npid=" + std::to_string(getpid()) + "\n";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    const ssize_t written = write(fd, body.data(), body.size());
    const bool ok = written == static_cast<ssize_t>(body.size());
    if (close(fd) != 0 || !ok || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return -1;
    }
    return 0;
}

// One line of status text: a newline would break the key=value format.
std::string one_line(const char* text) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}
}  // namespace

int vexa_current_ready() { return g_ready; }

int vexa_notify_service_manager(const char* message) {
    const char* target = std::getenv("NOTIFY_SOCKET");
    if (!target || !*target) return 0;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::strlen(target);
    if (length >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, target, length);
    if (target[0] == '@') address.sun_path[0] = '\0';  // abstract namespace: no terminating zero
    const socklen_t address_length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                                            length + (target[0] == '@' ? 0 : 1));
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const ssize_t sent = sendto(fd, message, std::strlen(message), MSG_NOSIGNAL,
                                reinterpret_cast<sockaddr*>(&address), address_length);
    close(fd);
    return sent == static_cast<ssize_t>(std::strlen(message)) ? 0 : -1;
}

int vexa_status_write(int status, const char* text) {
    g_status = status;
    g_status_text = one_line(text);
    return write_status_file();
}

int vexa_ready_write(int ready, const char* text) {
    g_ready = ready;
    g_ready_text = one_line(text);
    int result = write_status_file();
    if (ready) {
        const std::string message = "READY=1\nSTATUS=" + g_ready_text;
        if (vexa_notify_service_manager(message.c_str()) != 0) result = -1;
    }
    return result;
}
