#include "common/stderr_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace test_common {

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    char pattern[] = "/tmp/vexa_stderr_XXXXXX";
    const int fd = mkstemp(pattern);
    path_ = pattern;
    saved_fd_ = dup(2);
    dup2(fd, 2);
    close(fd);
}

StderrCapture::~StderrCapture() { text(); }

std::string StderrCapture::text() {
    if (saved_fd_ >= 0) {
        std::fflush(stderr);
        dup2(saved_fd_, 2);
        close(saved_fd_);
        saved_fd_ = -1;
        std::ifstream in(path_, std::ios::binary);
        text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        unlink(path_.c_str());
    }
    return text_;
}

}  // namespace test_common
