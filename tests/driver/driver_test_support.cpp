#include "driver_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/emulated_command.h"
#include "driver/display_loop.h"
#include "driver/driver_settings.h"
#include "driver/hook_table.h"
#include "driver/show_frame.h"
#include "fbdev/fbdev_state.h"
#include "platform/device_seam.h"
#include "runtime/runtime_api.h"

namespace driver_test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/vexa_driver_XXXXXX";
    char* made = mkdtemp(pattern.data());
    path_ = made != nullptr ? made : "";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
    std::ofstream(file(name), std::ios::binary) << content;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool wait_for(const std::function<bool()>& done, int timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

RunResult run_driver(const RunOptions& options) {
    TempDir scratch;
    const std::string err_path = scratch.file("stderr");
    const std::string out_path = scratch.file("stdout");
    const char* const binary = options.test_build ? VEXA_DRIVER_TEST_BINARY : VEXA_DRIVER_BINARY;
    std::vector<std::string> argv_text{binary};
    argv_text.insert(argv_text.end(), options.args.begin(), options.args.end());
    argv_text = test_common::emulated_command(argv_text);

    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(out_fd, 1);
        const int null_fd = open("/dev/null", O_RDWR);
        dup2(null_fd, 0);
        const rlimit no_core{0, 0};  // an abort must not leave a core file behind
        setrlimit(RLIMIT_CORE, &no_core);
        if (options.notify_socket.empty()) {
            unsetenv("NOTIFY_SOCKET");
        } else {
            setenv("NOTIFY_SOCKET", options.notify_socket.c_str(), 1);
        }
        std::vector<char*> argv;
        if (!options.no_argv) {
            for (std::string& a : argv_text) argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execve(argv_text[0].c_str(), argv.data(), environ);
        _exit(127);
    }
    const auto stderr_so_far = [&] { return read_file(err_path); };
    if (options.during) options.during(pid, stderr_so_far);

    int status = 0;
    const bool exited =
        wait_for([&] { return waitpid(pid, &status, WNOHANG) == pid; }, options.timeout_ms);
    if (!exited) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    RunResult result;
    if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.err = stderr_so_far();
    result.out = read_file(out_path);
    return result;
}

void reset_display_loop_state() {
    install_driver_hooks();
    if (vexa_acc_cache == nullptr) vexa_acc_cache = vexa_global_access_cache_create();
    DIE4 = 0;
    restart_flag = false;
    autostart_item = false;
    last_frame_id = UINT64_MAX;
    video_retry_at = 0;
    next_autostart_at = 0;
    output_media_item_reconnect_at = 0;
}

void end_display_loop_test() {
    close_video_out();
    platform::set_seam(nullptr);
    vexa_clock_override = nullptr;
    DIE4 = 0;
}

}  // namespace driver_test
