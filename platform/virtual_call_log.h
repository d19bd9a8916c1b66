// A file that receives a virtual device's calls as they happen, one line each. Every line is
// written with a single write(2) and no buffering, so a killed process leaves a complete log up
// to its last call, and a test outside the process can read it.
#pragma once

#include <string>

namespace platform {

class CallLogFile {
  public:
    CallLogFile() = default;
    ~CallLogFile();
    CallLogFile(const CallLogFile&) = delete;
    CallLogFile& operator=(const CallLogFile&) = delete;

    // Opens PATH for appending, creating it. 0, or -1 with a one-line reason in *error.
    int open(const std::string& path, std::string* error);
    bool is_open() const { return fd_ >= 0; }
    // Appends `line` and a newline. A failed write is dropped: the device goes on regardless.
    void write_line(const std::string& line) const;

  private:
    int fd_ = -1;
};

}  // namespace platform
