// Helpers for the runtime's process-side tests: a private temporary directory and a control client.
#pragma once

#include <string>

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Connects a stream client to a Unix socket; -1 on failure.
int connect_unix(const std::string& path);
// Sends text whole; false on failure.
bool send_all(int fd, const std::string& text);
// Reads one reply line (without newline) within timeout_ms, serving the control socket meanwhile;
// empty on timeout or end.
std::string read_line_served(int fd, int timeout_ms = 2000);
// Writes the text to a file.
void write_file(const std::string& path, const std::string& text);
std::string read_file(const std::string& path);
// Clears the process side's globals between tests and frees what they hold.
void reset_process_side();
