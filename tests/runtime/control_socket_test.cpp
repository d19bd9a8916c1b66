#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "process_fixture.h"
#include "runtime/control_requests.h"
#include "runtime/control_server.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/switch_values.h"

namespace {
std::vector<std::pair<std::string, std::string>> g_sets;
int g_resets = 0;

void report_hook(void*, comm_socket_v4_packet* packet) {
    comm_socket_v4_packet_write_nv_pair(packet, "*active", "0,shm=1.0MB");
    comm_socket_v4_packet_write_nv_pair(packet, "*last notes", "Taking fbcon. \nIs \"KMS\". ");
}
void set_hook(void*, const char* name, const std::string& value) {
    g_sets.emplace_back(name, value);
}
int reset_hook() { return ++g_resets; }

class ControlSocket : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_process_side();
        g_sets.clear();
        g_resets = 0;
        config_ = dir_ / "tv.conf";
        meta_ = dir_ / "meta";
        vexa_file = config_.c_str();
        vexa_meta_switch = meta_.c_str();
        vexa_on_report = report_hook;
        vexa_on_set = set_hook;
        output_on_reset_media_item = reset_hook;
        output_media_item_set_output_media_item("");
    }
    void TearDown() override { reset_process_side(); }

    void start_server() {
        ASSERT_EQ(0, vexa_standard_to_derived_params());
        vexa_open_instance();
        ASSERT_NE(nullptr, vexa_sock);
        sock_ = vexa_sock;
    }

    TempDir dir_;
    std::string config_, meta_, sock_;
};

struct RequestCase {
    const char* request;
    const char* reply_prefix;
    int changed;
};

TEST_F(ControlSocket, RequestsAndReplies) {
    const RequestCase cases[] = {
        {"status", "{\"status\":\"", 0},
        {"status\r", "{\"status\":\"", 0},
        {"set autostart item=1", "{\"ok\":true}", 1},
        {"set take framebuffer console=", "{\"ok\":true}", 1},
        {"set no pair", "{\"error\":\"set needs NAME=VALUE\"}", 0},
        {"set =1", "{\"error\":\"set needs NAME=VALUE\"}", 0},
        {"start", "{\"error\":\"no item to start\"}", 0},
        {"reset", "{\"ok\":true}", 1},
        {"STATUS", "{\"error\":\"unknown request\"}", 0},
        {"status now", "{\"error\":\"unknown request\"}", 0},
        {"", "{\"error\":\"unknown request\"}", 0},
    };
    for (const auto& c : cases) {
        std::string reply;
        EXPECT_EQ(c.changed, handle_request_line(c.request, std::strlen(c.request), &reply))
            << c.request;
        EXPECT_EQ(0u, reply.rfind(c.reply_prefix, 0)) << c.request << " -> " << reply;
    }
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"autostart item", "1"},
                                                                {"take framebuffer console", ""}}),
              g_sets);
    EXPECT_EQ(1, g_resets);
}

TEST_F(ControlSocket, StatusCarriesRuntimePairsThenTheHooksWithEscapes) {
    std::string reply;
    handle_request_line("status", 6, &reply);
    const size_t ready = reply.find("\"ready\":");
    const size_t item = reply.find("\"item\":\"\"");
    const size_t frames = reply.find("\"frames\":");
    const size_t dropped = reply.find("\"dropped\":");
    const size_t active = reply.find("\"*active\":\"0,shm=1.0MB\"");
    const size_t notes = reply.find("\"*last notes\":\"Taking fbcon. \\nIs \\\"KMS\\\". \"");
    ASSERT_NE(std::string::npos, notes) << reply;
    EXPECT_TRUE(ready < item && item < frames && frames < dropped && dropped < active &&
                active < notes)
        << reply;
    EXPECT_EQ(std::string::npos, reply.find('\n'));
    EXPECT_EQ('}', reply.back());
}

TEST_F(ControlSocket, StartsTheCurrentItem) {
    output_media_item_set_output_media_item("pattern:bars,64x48");
    std::string reply;
    EXPECT_EQ(1, handle_request_line("start", 5, &reply));
    EXPECT_EQ("{\"ok\":true}", reply);
    output_media_item_reset_item_common();
}

TEST_F(ControlSocket, SocketIsOwnerOnlyAndServesLinesInOrder) {
    start_server();
    struct stat st;
    ASSERT_EQ(0, stat(sock_.c_str(), &st));
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(0600u, st.st_mode & 0777);

    const int fd = connect_unix(sock_);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(send_all(fd, "bogus\nset device=/dev/fb1\n"));
    EXPECT_EQ("{\"error\":\"unknown request\"}", read_line_served(fd));
    EXPECT_EQ("{\"ok\":true}", read_line_served(fd));
    ASSERT_EQ(1u, g_sets.size());
    EXPECT_EQ("/dev/fb1", g_sets[0].second);
    // A change returns from the wait at once, so the display loop sees it.
    ASSERT_TRUE(send_all(fd, "reset\n"));
    int result = 0;
    for (int i = 0; i < 100 && result == 0; ++i) result = vexa_control_wait(20);
    EXPECT_EQ(1, result);
    close(fd);
}

TEST_F(ControlSocket, LineLimit) {
    start_server();
    struct Case {
        size_t length;
        const char* reply;
        bool closed;
    } cases[] = {
        {vexa_control_max_line, "{\"error\":\"unknown request\"}", false},
        {vexa_control_max_line + 1, "{\"error\":\"request too long\"}", true},
        {3 * vexa_control_max_line, "{\"error\":\"request too long\"}", true},
    };
    for (const auto& c : cases) {
        const int fd = connect_unix(sock_);
        ASSERT_GE(fd, 0);
        // The long ones carry no newline: the server must not wait for one.
        std::string line(c.length, 'a');
        if (!c.closed) line.push_back('\n');
        ASSERT_TRUE(send_all(fd, line));
        EXPECT_EQ(c.reply, read_line_served(fd)) << c.length;
        if (c.closed) {
            for (int i = 0; i < 10; ++i) vexa_control_wait(5);
            // Closed: end of file, or a reset because the rest of the line was never read.
            char byte;
            EXPECT_LE(read(fd, &byte, 1), 0) << c.length;
        }
        close(fd);
    }
}

TEST_F(ControlSocket, TwoClientsAtOnce) {
    start_server();
    const int a = connect_unix(sock_);
    const int b = connect_unix(sock_);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_TRUE(send_all(a, "sta"));  // a half-sent request must not hold b up
    ASSERT_TRUE(send_all(b, "reset\n"));
    EXPECT_EQ("{\"ok\":true}", read_line_served(b));
    ASSERT_TRUE(send_all(a, "tus\n"));
    EXPECT_EQ(0u, read_line_served(a).rfind("{\"status\":", 0));
    close(a);
    close(b);
}

TEST_F(ControlSocket, ABurstOfRequestsIsAnsweredOverSeveralPasses) {
    start_server();
    const int fd = connect_unix(sock_);
    ASSERT_GE(fd, 0);
    std::string burst;
    for (int i = 0; i < 100; ++i) burst += "status\n";
    ASSERT_TRUE(send_all(fd, burst));
    const auto replies_waiting = [fd] {
        std::string all;
        char buffer[65536];
        ssize_t n;
        while ((n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            all.append(buffer, static_cast<size_t>(n));
        return static_cast<int>(std::count(all.begin(), all.end(), '\n'));
    };
    // One pass of the display loop answers some, not all: the loop is never held up for long.
    vexa_control_wait(0);  // accepts
    vexa_control_wait(0);  // reads and answers
    const int first = replies_waiting();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 100);
    int total = first;
    for (int i = 0; i < 100 && total < 100; ++i) {
        vexa_control_wait(0);
        total += replies_waiting();
    }
    EXPECT_EQ(100, total);
    close(fd);
}

TEST_F(ControlSocket, ClientThatNeverReadsIsDroppedWithoutStallingTheServer) {
    start_server();
    const int silent = connect_unix(sock_);
    ASSERT_GE(silent, 0);
    // Requests keep coming, replies are never read; every wait must still return.
    const std::string requests(64 * 1024, '\n');  // each empty line earns an error reply
    size_t sent = 0;
    for (int round = 0; round < 5000; ++round) {
        if (sent < requests.size()) {
            const ssize_t n = send(silent, requests.data() + sent, requests.size() - sent,
                                   MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) sent += static_cast<size_t>(n);
        }
        vexa_control_wait(0);
        if (round > 0 && control_socket_client_count() == 0) break;
    }
    EXPECT_EQ(0u, control_socket_client_count());
    // Others are still served.
    const int other = connect_unix(sock_);
    ASSERT_TRUE(send_all(other, "status\n"));
    EXPECT_EQ(0u, read_line_served(other).rfind("{\"status\":", 0));
    close(other);
    close(silent);
}

TEST_F(ControlSocket, StaleSocketIsReplacedLiveOneRefused) {
    ASSERT_EQ(0, mkdir(meta_.c_str(), 0700));
    const std::string path = meta_ + "/control.sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    // Bound and closed: the file of a dead run.
    int dead = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(0, bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address));
    close(dead);
    start_server();
    int fd = connect_unix(sock_);
    EXPECT_GE(fd, 0);
    close(fd);

    // The socket above is live now: a second instance must not take it over.
    std::string reason;
    EXPECT_NE(0, control_socket_claim(path.c_str(), &reason));
    EXPECT_NE(std::string::npos, reason.find("in use")) << reason;
    EXPECT_EQ(0, access(path.c_str(), F_OK));

    // Something that is not a socket is never removed.
    const std::string plain = dir_ / "plain";
    write_file(plain, "keep");
    EXPECT_NE(0, control_socket_claim(plain.c_str(), &reason));
    EXPECT_EQ("keep", read_file(plain));
}

TEST_F(ControlSocket, LiveSocketFailsDerivedParams) {
    start_server();
    const std::string live = sock_;
    // A second instance with the same metadata directory.
    vexa_file_metadir = nullptr;
    vexa_sock = nullptr;
    EXPECT_NE(0, vexa_standard_to_derived_params());
    EXPECT_EQ(0, access(live.c_str(), F_OK));
}

TEST_F(ControlSocket, IdleClientsAreClosedAndAFullServerSaysSo) {
    const int64_t saved_idle = vexa_control_idle_ms;
    vexa_control_idle_ms = 300;
    start_server();
    std::vector<int> idle;
    // Accepted one by one: the listening backlog is shorter than the limit.
    for (size_t i = 0; i < vexa_control_max_clients; ++i) {
        idle.push_back(connect_unix(sock_));
        vexa_control_wait(0);
    }
    const int busy = idle.back();  // this one keeps asking, so it is never idle
    for (int i = 0; i < 5; ++i) vexa_control_wait(5);
    EXPECT_EQ(vexa_control_max_clients, control_socket_client_count());

    const int refused = connect_unix(sock_);
    ASSERT_GE(refused, 0);
    EXPECT_EQ("{\"error\":\"too many clients\"}", read_line_served(refused));
    close(refused);

    // Past the idle limit only the client that keeps sending requests is left.
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(send_all(busy, "status\n"));
        EXPECT_EQ(0u, read_line_served(busy).rfind("{\"status\":", 0));
        vexa_control_wait(100);
    }
    EXPECT_EQ(1u, control_socket_client_count());
    char byte;
    EXPECT_EQ(0, recv(idle.front(), &byte, 1, MSG_DONTWAIT));  // closed by the server
    // A long wait still comes back to close an idle client on time.
    const int late = connect_unix(sock_);
    vexa_control_wait(0);
    EXPECT_EQ(2u, control_socket_client_count());
    vexa_control_wait(1000);
    EXPECT_EQ(0, recv(late, &byte, 1, MSG_DONTWAIT));
    for (int fd : idle) close(fd);
    close(late);
    vexa_control_idle_ms = saved_idle;
}

void count_signal(int) { DIE4 = DIE4 + 1; }

TEST_F(ControlSocket, WaitReturnsWhenASignalArrives) {
    start_server();
    // As the driver installs its handler: signal(), which restarts most calls but never poll.
    const auto previous = signal(SIGALRM, count_signal);
    itimerval timer{};
    timer.it_value.tv_usec = 50000;
    setitimer(ITIMER_REAL, &timer, nullptr);
    EXPECT_EQ(-1, vexa_control_wait(10000));
    EXPECT_EQ(1, DIE4);
    DIE4 = 0;
    signal(SIGALRM, previous);
}

TEST_F(ControlSocket, OtherUsersAreRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    start_server();
    // Open the way so that only the peer check stands between another user and the server.
    ASSERT_EQ(0, chmod(dir_.path().c_str(), 0711));
    ASSERT_EQ(0, chmod(meta_.c_str(), 0711));
    ASSERT_EQ(0, chmod(sock_.c_str(), 0666));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
        const int fd = connect_unix(sock_);
        if (fd < 0) _exit(4);
        send_all(fd, "status\n");
        std::string reply;
        char c;
        while (read(fd, &c, 1) == 1 && c != '\n') reply.push_back(c);
        _exit(reply == "{\"error\":\"permission denied\"}" ? 0 : 5);
    }
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 500 && done == 0; ++i) {
        done = waitpid(child, &status, WNOHANG);
        if (done == 0) vexa_control_wait(10);
    }
    // A child that never finished must not pass on the initial status.
    if (done != child) kill(child, SIGKILL);
    ASSERT_EQ(child, done);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ(0u, control_socket_client_count());
}
}  // namespace
