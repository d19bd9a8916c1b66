// Configuration files with any content, read by the driver's loader through a path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/render_config.h"
#include "runtime/runtime_api.h"

namespace {
int quiet_reset() { return 0; }

// An in-memory file with a path: no disk traffic between runs.
int config_fd() {
    static const int fd = memfd_create("vexa-fuzz-config", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return fd;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    output_on_reset_media_item = quiet_reset;
    const int fd = config_fd();
    if (ftruncate(fd, 0) != 0) std::abort();
    if (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (load_render_config(path.c_str()) != 0) std::abort();
    return 0;
}
