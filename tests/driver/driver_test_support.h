// Helpers shared by the driver's tests: temporary directories, captured standard error, and runs
// of the real driver binary.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "common/stderr_capture.h"

namespace driver_test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& content) const;

  private:
    std::string path_;
};

using StderrCapture = test_common::StderrCapture;

struct RunResult {
    int exit_status = -1;  // -1 when the process did not exit normally
    int signal = 0;        // terminating signal, 0 when it exited
    std::string err;       // standard error
    std::string out;       // standard output
};

struct RunOptions {
    std::vector<std::string> args;  // argv[0] is supplied
    bool no_argv = false;           // exec with an empty argument vector (argc 0)
    bool test_build = false;        // run the test build, which has --fault and "script:" items
    std::string notify_socket;      // NOTIFY_SOCKET for the driver; unset when empty
    // Called while the driver runs, with its pid and what it wrote to standard error so far.
    std::function<void(pid_t, const std::function<std::string()>&)> during;
    int timeout_ms = 20000;  // then the driver is killed
};

// Runs the driver binary and waits for it to end.
RunResult run_driver(const RunOptions& options);

// Polls `done` every few milliseconds for up to timeout_ms; returns its last result.
bool wait_for(const std::function<bool()>& done, int timeout_ms = 10000);

std::string read_file(const std::string& path);

// Hooks installed, access cache made, and the display loop's state as at start-up: what every
// in-process loop test starts from.
void reset_display_loop_state();

// What every in-process loop test leaves behind: the device closed, the kernel seam and the clock
// as in production, no stop pending.
void end_display_loop_test();

}  // namespace driver_test
