// The control socket of the real driver while frames flow: silent and flooding clients must not
// hold the display loop up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/emulated_command.h"
#include "process_fixture.h"

extern char** environ;

namespace {
// One request on a fresh connection; the reply line, empty on failure.
std::string ask(const std::string& sock, const std::string& request) {
    const int fd = connect_unix(sock);
    if (fd < 0) return {};
    std::string reply;
    if (send_all(fd, request + "\n")) {
        pollfd p{fd, POLLIN, 0};
        char c;
        while (poll(&p, 1, 3000) == 1 && read(fd, &c, 1) == 1 && c != '\n') reply.push_back(c);
    }
    close(fd);
    return reply;
}

long long frames_of(const std::string& status) {
    const size_t at = status.find("\"frames\":");
    return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + 9);
}

TEST(ControlSocketDriver, SilentAndFloodingClientsDoNotStallFrames) {
    TempDir dir;
    const std::string conf = dir / "tv.conf", meta = dir / "meta", sock = meta + "/control.sock";
    write_file(conf,
               "item=pattern:moving,64x48\nautostart item=1\nrealtime process=0\nlock memory=0\n");
    std::vector<std::string> words =
        test_common::emulated_command({VEXA_DRIVER_BINARY, "--file", conf, "--meta", meta,
                                       "--virtual-fb", "64x48x16", "--unpaced"});
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir / "stderr";
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT, 0600);
    pid_t pid;
    ASSERT_EQ(0, posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&actions);

    std::string status;
    for (int i = 0; i < 500 && frames_of(status) <= 0; ++i) {
        usleep(10000);
        status = ask(sock, "status");
    }
    ASSERT_GT(frames_of(status), 0) << status << read_file(log);

    const int silent = connect_unix(sock);  // connects and then does nothing at all
    const int flood = connect_unix(sock);   // asks and asks, never reads a reply
    ASSERT_GE(silent, 0);
    ASSERT_GE(flood, 0);
    fcntl(flood, F_SETFL, O_NONBLOCK);
    const std::string requests(4096, '\n');
    bool dropped = false;
    for (int i = 0; i < 2000 && !dropped; ++i) {
        if (send(flood, requests.data(), requests.size(), MSG_NOSIGNAL) < 0 && errno != EAGAIN)
            dropped = true;  // the driver hung up on it
        usleep(1000);
    }

    // Frames keep coming while both are connected.
    const long long before = frames_of(ask(sock, "status"));
    usleep(200000);
    const long long after = frames_of(ask(sock, "status"));
    EXPECT_GT(before, 0);
    EXPECT_GT(after, before);

    // The flooding client was cut off: after its queued replies comes the end.
    char buffer[65536];
    ssize_t n;
    do {
        pollfd p{flood, POLLIN, 0};
        n = poll(&p, 1, 3000) == 1 ? read(flood, buffer, sizeof buffer) : -2;
    } while (n > 0);
    EXPECT_NE(-2, n) << "still connected";

    close(silent);
    close(flood);
    kill(pid, SIGTERM);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    EXPECT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(1, WEXITSTATUS(wstatus));
    EXPECT_NE(std::string::npos, read_file(log).find("Control client dropped")) << read_file(log);
}
}  // namespace
