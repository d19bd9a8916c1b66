#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "process_fixture.h"
#include "runtime/runtime_api.h"

namespace {
// A datagram socket standing in for the service manager; receives what NOTIFY_SOCKET gets.
class NotifyListener {
  public:
    explicit NotifyListener(const std::string& name) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.c_str(), name.size());
        socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        if (name[0] == '@') {
            address.sun_path[0] = '\0';
        } else {
            ++length;
        }
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
        setenv("NOTIFY_SOCKET", name.c_str(), 1);
    }
    ~NotifyListener() {
        unsetenv("NOTIFY_SOCKET");
        close(fd_);
    }
    bool bound() const { return bound_; }
    std::string receive() {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 1000) != 1) return {};
        char buffer[256];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

TEST(StatusFile, StatusAndReadyAreWrittenWhole) {
    TempDir dir;
    const std::string metadir = dir.path();
    vexa_file_metadir = metadir.c_str();
    EXPECT_EQ(0, vexa_status_write(100, ""));
    EXPECT_EQ(0, vexa_ready_write(1, "Ready to respond to commands"));
    const std::string status = read_file(dir / "status");
    EXPECT_NE(std::string::npos, status.find("status=100\n")) << status;
    EXPECT_NE(std::string::npos, status.find("ready=1\nready text=Ready to respond to commands\n"))
        << status;
    EXPECT_NE(0, access((dir / "status.tmp" + std::to_string(getpid())).c_str(), F_OK));
    vexa_file_metadir = nullptr;
}

TEST(StatusFile, ReadySignalsTheServiceManager) {
    TempDir dir;
    const std::string names[] = {dir / "notify", "@vexa-notify-test-" + std::to_string(getpid())};
    for (const auto& name : names) {
        NotifyListener listener(name);
        ASSERT_TRUE(listener.bound()) << name;
        vexa_ready_write(1, "Ready to respond to commands");
        EXPECT_EQ("READY=1\nSTATUS=Ready to respond to commands", listener.receive()) << name;
    }
}
}  // namespace
