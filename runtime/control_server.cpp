#include "runtime/control_server.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/control_requests.h"
#include "runtime/runtime_internal.h"

int64_t vexa_control_idle_ms = 5000;

namespace {
// Requests answered per client in one pass, so that a client sending many at once cannot hold up
// the caller; the rest wait for the next pass.
constexpr int kRequestsPerPass = 16;

struct client {
    int fd;
    std::string in;
    std::string out;
    bool ended;             // the client sent all it will send; closed once answered
    bool closing;           // no more requests are served; closed once its replies are out
    int64_t idle_since_ms;  // connected, or last complete request
};

int g_listen_fd = -1;
std::string g_path;
std::vector<client> g_clients;

bool make_address(const char* path, sockaddr_un* address, std::string* reason) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    const size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof address->sun_path) {
        *reason = "Control socket path '" + std::string(path) + "' is empty or too long";
        return false;
    }
    std::memcpy(address->sun_path, path, length + 1);
    return true;
}

int64_t now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// A client that sends no complete request for this long is closed, so that idle connections
// cannot hold every place.
int64_t idle_deadline(const client& c) { return c.idle_since_ms + vexa_control_idle_ms; }

bool idle_expired() {
    const int64_t now = now_ms();
    for (const client& c : g_clients)
        if (now >= idle_deadline(c)) return true;
    return false;
}

// Sends what is queued without waiting; false when the client is gone.
bool flush(client& c) {
    while (!c.out.empty()) {
        const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.out.erase(0, static_cast<size_t>(n));
    }
    return true;
}

void queue_reply(client& c, const std::string& reply) {
    c.out += reply;
    c.out.push_back('\n');
}

// A complete request is waiting (after the end of input, so is an unterminated last one).
bool has_backlog(const client& c) {
    return !c.closing && (c.in.find('\n') != std::string::npos || (c.ended && !c.in.empty()));
}

// Answers up to kRequestsPerPass waiting requests. Returns 1 when one changed state.
int serve_lines(client& c) {
    int changed = 0;
    size_t start = 0;
    std::string reply;
    for (int served = 0; served < kRequestsPerPass && !c.closing; ++served) {
        size_t newline = c.in.find('\n', start);
        if (newline == std::string::npos && c.ended && start < c.in.size()) newline = c.in.size();
        const size_t end = newline == std::string::npos ? c.in.size() : newline;
        if (end - start > vexa_control_max_line) {
            queue_reply(c, "{\"error\":\"request too long\"}");
            c.closing = true;
            c.in.clear();
            return changed;
        }
        if (newline == std::string::npos) break;
        if (handle_request_line(c.in.data() + start, newline - start, &reply)) changed = 1;
        queue_reply(c, reply);
        c.idle_since_ms = now_ms();
        start = std::min(newline + 1, c.in.size());
    }
    c.in.erase(0, start);
    return changed;
}

// Reads what the client sent; false when the connection failed.
bool receive(client& c) {
    char buffer[8192];
    const ssize_t n = recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) {
        c.ended = true;
    } else {
        c.in.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

void refuse(int fd, const char* reply) {
    (void)!send(fd, reply, std::strlen(reply), MSG_DONTWAIT | MSG_NOSIGNAL);
    close(fd);
}

void accept_clients() {
    for (;;) {
        const int fd = accept4(g_listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid()) {
            refuse(fd, "{\"error\":\"permission denied\"}\n");
        } else if (g_clients.size() >= vexa_control_max_clients) {
            refuse(fd, "{\"error\":\"too many clients\"}\n");
        } else {
            g_clients.push_back(client{fd, {}, {}, false, false, now_ms()});
        }
    }
}
}  // namespace

int control_socket_claim(const char* path, std::string* reason) {
    sockaddr_un address;
    if (!make_address(path, &address, reason)) return -1;
    struct stat st;
    if (lstat(path, &st) != 0) {
        if (errno == ENOENT) return 0;
        *reason = "Cannot check control socket " + std::string(path) + ": " + std::strerror(errno);
        return -1;
    }
    if (!S_ISSOCK(st.st_mode)) {
        *reason = "Control socket path " + std::string(path) + " exists and is not a socket";
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *reason = std::string("Cannot create a socket: ") + std::strerror(errno);
        return -1;
    }
    const int connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int error = errno;
    close(fd);
    if (connected == 0) {
        *reason = "Control socket " + std::string(path) + " is in use by a running instance";
        return -1;
    }
    if (error != ECONNREFUSED) {
        *reason = "Cannot check control socket " + std::string(path) + ": " + std::strerror(error);
        return -1;
    }
    if (unlink(path) != 0 && errno != ENOENT) {
        *reason =
            "Cannot remove stale control socket " + std::string(path) + ": " + std::strerror(errno);
        return -1;
    }
    return 0;
}

int control_socket_listen(const char* path, std::string* reason) {
    sockaddr_un address;
    if (!make_address(path, &address, reason)) return -1;
    control_socket_shutdown();
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *reason = std::string("Cannot create the control socket: ") + std::strerror(errno);
        return -1;
    }
    // The file is created by bind; the mask keeps it owner-only from its first moment.
    const mode_t old_mask = umask(0077);
    const int bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int error = errno;
    umask(old_mask);
    if (bound != 0 || chmod(path, 0600) != 0 || listen(fd, 16) != 0) {
        *reason = "Cannot listen on control socket " + std::string(path) + ": " +
                  std::strerror(bound != 0 ? error : errno);
        if (bound == 0) unlink(path);
        close(fd);
        return -1;
    }
    g_listen_fd = fd;
    g_path = path;
    return 0;
}

void control_socket_close_clients() {
    for (client& c : g_clients) close(c.fd);
    g_clients.clear();
}

void control_socket_shutdown() {
    control_socket_close_clients();
    if (g_listen_fd >= 0) {
        close(g_listen_fd);
        g_listen_fd = -1;
        unlink(g_path.c_str());
        g_path.clear();
    }
}

size_t control_socket_client_count() { return g_clients.size(); }

int vexa_control_wait(int timeout_ms) {
    const int64_t deadline = now_ms() + (timeout_ms > 0 ? timeout_ms : 0);
    std::vector<pollfd> fds;
    for (;;) {
        bool backlog = false;
        fds.clear();
        if (g_listen_fd >= 0) fds.push_back(pollfd{g_listen_fd, POLLIN, 0});
        for (const client& c : g_clients) {
            // A client with requests still waiting is not read from until they are answered.
            const bool waiting = has_backlog(c);
            backlog |= waiting;
            short events = waiting || c.ended || c.closing ? 0 : POLLIN;
            if (!c.out.empty()) events |= POLLOUT;
            fds.push_back(pollfd{c.fd, events, 0});
        }
        const int64_t now = now_ms();
        const int64_t remaining = deadline - now;
        int64_t timeout = backlog || remaining <= 0 ? 0 : remaining;
        // Wake up for the first idle client to be closed.
        for (const client& c : g_clients)
            timeout = std::min(timeout, std::max<int64_t>(0, idle_deadline(c) - now));
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(timeout));
        if (ready < 0) return -1;  // a signal: let the caller look at DIE4
        if (ready == 0 && !backlog && now_ms() >= deadline && !idle_expired()) return 0;

        size_t k = 0;
        if (g_listen_fd >= 0 && (fds[k++].revents & POLLIN)) accept_clients();
        int changed = 0;
        // Clients accepted just now are not in fds; they are polled next round.
        std::vector<client> kept;
        kept.reserve(g_clients.size());
        for (size_t i = 0; i < g_clients.size(); ++i) {
            client& c = g_clients[i];
            const short revents = k < fds.size() && fds[k].fd == c.fd ? fds[k++].revents : 0;
            bool alive = true;
            if (!c.ended && !c.closing && (revents & (POLLIN | POLLHUP | POLLERR)))
                alive = receive(c);
            if (alive) changed |= serve_lines(c);
            if (alive) alive = flush(c);
            if (alive && c.out.size() > vexa_control_max_queued) {
                std::fprintf(stderr, "Control client dropped: it does not read its replies\n");
                alive = false;
            }
            if (alive && (c.ended || c.closing) && !has_backlog(c) && c.out.empty()) alive = false;
            if (alive && now_ms() >= idle_deadline(c)) alive = false;
            if (alive) {
                kept.push_back(std::move(c));
            } else {
                close(c.fd);
            }
        }
        g_clients.swap(kept);
        if (changed) return 1;
        if (remaining <= 0) return 0;
    }
}
