#include "common/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace test_common {
namespace {
// However a test goes, the server never outlives this.
constexpr auto kLongestLife = std::chrono::seconds(60);

int listen_on_loopback(int* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

void send_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}
}  // namespace

LocalHttpServer::LocalHttpServer(mode how, const std::string& file) : how_(how) {
    if (!file.empty()) {
        std::ifstream in(file, std::ios::binary);
        body_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    listen_fd_ = listen_on_loopback(&port_);
    thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer() {
    stop_ = true;
    thread_.join();
    if (listen_fd_ >= 0) close(listen_fd_);
}

std::string LocalHttpServer::url(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
}

void LocalHttpServer::run() {
    const auto end = std::chrono::steady_clock::now() + kLongestLife;
    std::vector<int> held;  // hang: connections kept open, unanswered
    while (!stop_ && listen_fd_ >= 0 && std::chrono::steady_clock::now() < end) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++requests_;
        if (how_ == mode::hang) {
            held.push_back(fd);
            continue;
        }
        answer(fd);
        close(fd);
    }
    for (int fd : held) close(fd);
}

void LocalHttpServer::answer(int fd) {
    std::string request;
    char buf[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0) return;
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        request.append(buf, static_cast<size_t>(n));
    }
    size_t from = 0;
    const size_t range = request.find("Range: bytes=");
    if (range != std::string::npos) from = std::strtoull(request.c_str() + range + 13, nullptr, 10);
    if (from > body_.size()) from = body_.size();
    const size_t length = body_.size() - from;
    std::ostringstream head;
    if (range != std::string::npos && how_ == mode::serve) {
        head << "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " << from << "-"
             << (body_.size() ? body_.size() - 1 : 0) << "/" << body_.size() << "\r\n";
    } else {
        from = 0;
        head << "HTTP/1.1 200 OK\r\n";
    }
    head << "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n"
         << "Content-Length: " << (body_.size() - from) << "\r\nConnection: close\r\n\r\n";
    const std::string h = head.str();
    send_all(fd, h.data(), h.size());
    const size_t send = how_ == mode::cut ? body_.size() / 2 : length;
    send_all(fd, body_.data() + from, send);
}

int refused_port() {
    int port = 0;
    int fd = listen_on_loopback(&port);
    if (fd >= 0) close(fd);
    return port;
}

}  // namespace test_common
