// Standard error captured around a call, for tests that check the program's messages.
#pragma once

#include <string>

namespace test_common {

// Sends this process's standard error (fd 2) to a temporary file until text() is called.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    // Stops capturing (if still capturing) and returns everything written meanwhile.
    std::string text();

  private:
    int saved_fd_ = -1;
    std::string path_;
    std::string text_;
};

}  // namespace test_common
