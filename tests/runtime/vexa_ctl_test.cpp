#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/emulated_command.h"
#include "process_fixture.h"
#include "runtime/control_server.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/switch_values.h"
#include "vexa_version.h"

extern char** environ;

namespace {
struct CtlRun {
    int status = -1;
    std::string out, err;
};

// Runs vexa_ctl while serving the control socket, as the driver's loop would.
CtlRun run_ctl(const std::vector<std::string>& args) {
    TempDir capture;
    const std::string out_path = capture / "out", err_path = capture / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<std::string> words{VEXA_CTL_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    words = test_common::emulated_command(words);
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid;
    CtlRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return run;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    for (int i = 0; i < 1000 && waitpid(pid, &status, WNOHANG) == 0; ++i) vexa_control_wait(10);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    return run;
}

std::vector<std::pair<std::string, std::string>> g_sets;
void set_hook(void*, const char* name, const std::string& value) {
    g_sets.emplace_back(name, value);
}

class VexaCtl : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_process_side();
        g_sets.clear();
        config_ = dir_ / "tv.conf";
        meta_ = dir_ / "meta";
        vexa_file = config_.c_str();
        vexa_meta_switch = meta_.c_str();
        vexa_on_set = set_hook;
        output_media_item_set_output_media_item("");
        ASSERT_EQ(0, vexa_standard_to_derived_params());
        vexa_open_instance();
        ASSERT_NE(nullptr, vexa_sock);
        sock_ = vexa_sock;
    }
    void TearDown() override { reset_process_side(); }
    TempDir dir_;
    std::string config_, meta_, sock_;
};

TEST_F(VexaCtl, RequestsAndExitStatus) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* out_prefix;  // on stdout when it succeeds
        const char* err_part;    // on stderr when it fails
    } cases[] = {
        {{"--sock", sock_, "status"}, 0, "{\"status\":", ""},
        {{"--file", config_, "--meta", meta_, "status"}, 0, "{\"status\":", ""},
        {{"--sock", sock_, "set", "autostart item", "1"}, 0, "{\"ok\":true}", ""},
        {{"--sock", sock_, "reset"}, 0, "{\"ok\":true}", ""},
        {{"--sock", sock_, "start"}, 1, "", "no item to start"},
        {{"--sock", dir_ / "nothing", "status"}, 1, "", "cannot connect"},
        {{"--sock", sock_, "set", "a=b", "1"}, 2, "", "usage"},
        {{"--sock", sock_, "frobnicate"}, 2, "", "usage"},
        {{"status"}, 2, "", "usage"},
        {{"--version"}, 0, "vexa_ctl " VEXA_VERSION "\n", ""},
    };
    for (const auto& c : cases) {
        const CtlRun run = run_ctl(c.args);
        EXPECT_EQ(c.status, run.status) << c.args.back() << ": " << run.err;
        if (c.status == 0) {
            EXPECT_EQ(0u, run.out.rfind(c.out_prefix, 0)) << run.out;
            EXPECT_EQ('\n', run.out.back());
        } else {
            EXPECT_NE(std::string::npos, run.err.find(c.err_part)) << run.err;
            EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
        }
    }
    ASSERT_EQ(1u, g_sets.size());
    EXPECT_EQ("autostart item", g_sets[0].first);
}
TEST_F(VexaCtl, FullServerGivesItsReason) {
    std::vector<int> held;
    for (size_t i = 0; i < vexa_control_max_clients; ++i) {
        held.push_back(connect_unix(sock_));
        vexa_control_wait(0);
    }
    for (int i = 0; i < 5; ++i) vexa_control_wait(5);
    const CtlRun run = run_ctl({"--sock", sock_, "status"});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("too many clients")) << run.err;
    for (int fd : held) close(fd);
}
}  // namespace
