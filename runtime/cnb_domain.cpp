// The frame-buffer domain as memfd buffers, numbered so that 16-bit buffer references can name
// them.
#include "runtime/cnb_domain.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/fault_points.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace {
// Buffer references are 16 bits wide.
constexpr size_t kMaxBuffers = 65536;
}  // namespace

struct cnb_context {
    std::vector<cnb_buffer_info> buffers;  // fd -1: free number
    uint64_t next_serial = 1;
};

cnb_context* vexa_cnb = nullptr;
int image_cnb_buffer = -1;
int image_cnb_buffer_fd = -1;

int vexa_join_cnb_domain() {
    if (vexa_fault("cnb")) return -1;
    if (!vexa_cnb) vexa_cnb = new cnb_context();
    vexa_open_instance();
    return 0;
}

int cnb_buffer_create(uint64_t size, const char* purpose) {
    // Items may play before (or without) a formal join, as in-process tests do: the domain then
    // comes into being with its first buffer.
    if (!vexa_cnb) vexa_cnb = new cnb_context();
    if (size == 0 || size > static_cast<uint64_t>(INT64_MAX)) {
        std::fprintf(stderr, "cnb: bad size %llu for %s buffer\n",
                     static_cast<unsigned long long>(size), purpose);
        return -1;
    }
    auto& list = vexa_cnb->buffers;
    size_t number = 0;
    while (number < list.size() && list[number].fd >= 0) ++number;
    if (number >= kMaxBuffers) {
        std::fprintf(stderr, "cnb: out of buffer numbers for %s buffer\n", purpose);
        return -1;
    }
    int fd = memfd_create(purpose, MFD_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "cnb: memfd for %s buffer: %s\n", purpose, std::strerror(errno));
        return -1;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        std::fprintf(stderr, "cnb: cannot size %s buffer to %llu bytes: %s\n", purpose,
                     static_cast<unsigned long long>(size), std::strerror(errno));
        ::close(fd);
        return -1;
    }
    if (number == list.size()) list.push_back({-1, 0, 0});
    list[number] = {fd, size, vexa_cnb->next_serial++};
    return static_cast<int>(number);
}

bool cnb_buffer_lookup(int number, cnb_buffer_info* info) {
    if (!vexa_cnb || number < 0 || static_cast<size_t>(number) >= vexa_cnb->buffers.size())
        return false;
    const cnb_buffer_info& b = vexa_cnb->buffers[static_cast<size_t>(number)];
    if (b.fd < 0) return false;
    *info = b;
    return true;
}

void cnb_buffer_free(int number) {
    if (!vexa_cnb || number < 0 || static_cast<size_t>(number) >= vexa_cnb->buffers.size()) return;
    cnb_buffer_info& b = vexa_cnb->buffers[static_cast<size_t>(number)];
    if (b.fd >= 0) ::close(b.fd);
    b = {-1, 0, 0};
}

// The process's own buffer in the domain; the driver holds a descriptor of it (image_cnb_buffer_fd)
// and gives both up at teardown.
int cnb_alloc_init() {
    if (image_cnb_buffer >= 0) return 0;
    int number = cnb_buffer_create(static_cast<uint64_t>(sysconf(_SC_PAGESIZE)), "vexa-image");
    if (number < 0) return -1;
    cnb_buffer_info info{};
    cnb_buffer_lookup(number, &info);
    int fd = fcntl(info.fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        cnb_buffer_free(number);
        return -1;
    }
    image_cnb_buffer = number;
    image_cnb_buffer_fd = fd;
    return 0;
}

void cnb_domain_leave() {
    if (!vexa_cnb) return;
    for (size_t i = 0; i < vexa_cnb->buffers.size(); ++i) cnb_buffer_free(static_cast<int>(i));
    delete vexa_cnb;
    vexa_cnb = nullptr;
    image_cnb_buffer = -1;
    if (image_cnb_buffer_fd >= 0) ::close(image_cnb_buffer_fd);
    image_cnb_buffer_fd = -1;
}
