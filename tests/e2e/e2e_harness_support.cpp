#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "common/emulated_command.h"
#include "e2e_harness.h"

extern char** environ;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

namespace {

using Clock = std::chrono::steady_clock;

// Runs argv with stdout to `out_path` (or /dev/null) and stderr to `err_path`; returns the pid.
pid_t spawn(const std::vector<std::string>& args, const std::string& out_path,
            const std::string& err_path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for pid; its exit status, 128 + signal when killed, -1 on timeout.
int wait_exit(pid_t pid, double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 || Clock::now() > until) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool poll_until(double seconds, const std::function<bool()>& done) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (done()) return true;
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

ScratchDir::ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexa-e2e.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
}

ScratchDir::~ScratchDir() {
    if (path_.empty()) return;
    pid_t pid = spawn({"/bin/rm", "-rf", path_}, "/dev/null", "/dev/null");
    if (pid > 0) wait_exit(pid, 30);
}

Driver::Driver(const std::string& config, const std::vector<std::string>& switches,
               const std::string& binary, const std::string& meta)
    : meta_(meta.empty() ? dir_.file("meta") : meta) {
    std::ofstream(dir_.file("fb.conf")) << config;
    std::vector<std::string> args = {binary,       "--file",  dir_.file("fb.conf"), "--meta", meta_,
                                     "--snapshot", snapshot()};
    args.insert(args.end(), switches.begin(), switches.end());
    pid_ = spawn(test_common::emulated_command(args), "/dev/null", dir_.file("driver.log"));
}

Driver::~Driver() {
    if (pid_ > 0 && wait_exit(pid_, 0) < 0) {
        kill(pid_, SIGKILL);
        wait_exit(pid_, 10);
    }
}

std::string Driver::log() const { return read_file(dir_.file("driver.log")); }

int Driver::log_count(const std::string& text) const {
    std::string all = log();
    int n = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
    return n;
}

bool Driver::wait_for_log(const std::string& text, double seconds) const {
    return poll_until(seconds, [&] { return log().find(text) != std::string::npos; });
}

std::string Driver::ctl(const std::vector<std::string>& words) const {
    std::vector<std::string> args = {VEXA_CTL_BINARY, "--sock", meta_ + "/control.sock"};
    args.insert(args.end(), words.begin(), words.end());
    pid_t pid =
        spawn(test_common::emulated_command(args), dir_.file("ctl.out"), dir_.file("ctl.err"));
    if (pid < 0 || wait_exit(pid, 10) < 0) return {};
    return read_file(dir_.file("ctl.out"));
}

bool Driver::wait_for_status(const std::string& text, double seconds) const {
    return poll_until(seconds, [&] { return status().find(text) != std::string::npos; });
}

bool Driver::wait_for_item_end(double seconds) const {
    return poll_until(seconds, [&] {
        std::string s = status();
        return s.find("\"status\":\"ended\"") != std::string::npos &&
               s.find("\"*active\":\"0") != std::string::npos;
    });
}

int Driver::stop(int signal_number, double seconds) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal_number);
    int status = wait_exit(pid_, seconds);
    if (status >= 0) pid_ = -1;
    return status;
}

std::string run_program(const std::vector<std::string>& args, double seconds) {
    ScratchDir out;
    pid_t pid = spawn(args, out.file("out"), "/dev/null");
    if (pid < 0 || wait_exit(pid, seconds) < 0) return {};
    return read_file(out.file("out"));
}

int run_to_end(const std::vector<std::string>& args, const std::string& err_path, double seconds) {
    const pid_t pid = spawn(args, "/dev/null", err_path);
    if (pid < 0) return -1;
    const int status = wait_exit(pid, seconds);
    if (status < 0) {
        kill(pid, SIGKILL);
        wait_exit(pid, 10);
    }
    return status;
}

bool have_encoder() { return access("/usr/bin/ffmpeg", X_OK) == 0; }

namespace {
const ScratchDir& clip_dir() {
    static ScratchDir clips;
    return clips;
}
}  // namespace

std::string make_clip(const std::string& source, const std::string& size,
                      const std::string& pix_fmt, int frames) {
    const ScratchDir& clips = clip_dir();
    static std::map<std::string, std::string> made;
    std::string key = source + "-" + size + "-" + pix_fmt + "-" + std::to_string(frames);
    auto found = made.find(key);
    if (found != made.end()) return found->second;
    std::string path = clips.file(key + ".y4m");
    // Sources round odd sizes down to even ones: make a larger picture and cut it exactly.
    unsigned w = 0, h = 0;
    std::sscanf(size.c_str(), "%ux%u", &w, &h);
    std::string larger = std::to_string((w + 16) & ~15u) + "x" + std::to_string((h + 16) & ~15u);
    std::string cut = "format=yuv444p,crop=" + std::to_string(w) + ":" + std::to_string(h) + ":0:0";
    pid_t pid = spawn({"/usr/bin/ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
                       "-i", source + "=size=" + larger + ":rate=25", "-vf", cut, "-frames:v",
                       std::to_string(frames), "-pix_fmt", pix_fmt, "-f", "yuv4mpegpipe", path},
                      "/dev/null", clips.file("ffmpeg.log"));
    if (pid < 0 || wait_exit(pid, 60) != 0) return {};
    made[key] = path;
    return path;
}

std::string encode_clip(const std::string& clip, const std::vector<std::string>& args) {
    static std::map<std::string, std::string> made;
    std::string key = clip;
    for (const std::string& a : args) key += " " + a;
    auto found = made.find(key);
    if (found != made.end()) return found->second;
    std::string path = clip_dir().file("video" + std::to_string(made.size()) + args[0]);
    std::vector<std::string> cmd = {
        "/usr/bin/ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", clip};
    cmd.insert(cmd.end(), args.begin() + 1, args.end());
    cmd.push_back(path);
    pid_t pid = spawn(cmd, "/dev/null", clip_dir().file("ffmpeg.log"));
    if (pid < 0 || wait_exit(pid, 60) != 0) path.clear();
    made[key] = path;
    return path;
}

bool read_png(const std::string& path, RgbImage* image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    png.format = PNG_FORMAT_RGB;
    image->width = png.width;
    image->height = png.height;
    image->pixels.resize(PNG_IMAGE_SIZE(png));
    bool ok = png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr) != 0;
    png_image_free(&png);
    return ok;
}

Y4mClip load_clip(const std::string& path) {
    Y4mClip clip;
    std::string error;
    EXPECT_TRUE(read_y4m(path, &clip, &error)) << error;
    return clip;
}
