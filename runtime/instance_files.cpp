#include "runtime/instance_files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/taken_record.h"
#include "runtime/control_server.h"
#include "runtime/fatal_signals.h"
#include "runtime/fault_points.h"
#include "runtime/instance_lock.h"
#include "runtime/left_over.h"
#include "runtime/runtime_internal.h"

namespace {
int open_lock(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        std::fprintf(stderr, "Cannot open lock file %s: %s\n", path.c_str(), std::strerror(errno));
    return fd;
}

// The lock file around the configuration load, and the instance lock held through start-up.
vexa_meta_record* open_meta(const std::string& dir) {
    int file_fd = open_lock(dir + "/lock");
    if (file_fd >= 0 && vexa_fault("lockfd")) {
        // A valid descriptor that flock refuses (EBADF): drives the caller's lock warnings.
        close(file_fd);
        file_fd = open((dir + "/lock").c_str(), O_PATH | O_CLOEXEC);
    }
    if (file_fd < 0) return nullptr;
    const int instance_fd = open_lock(dir + "/instance.lock");
    if (instance_fd < 0) {
        close(file_fd);
        return nullptr;
    }
    if (flock(instance_fd, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "Metadata directory %s is in use by another instance\n", dir.c_str());
        close(file_fd);
        close(instance_fd);
        return nullptr;
    }
    auto* meta = new vexa_meta_record{};
    meta->file_fd = file_fd;
    meta->instance_fd = instance_fd;
    return meta;
}

metadata_v4_metadata_context* open_metadata(const std::string& dir) {
    const std::string path = dir + "/metadata";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        std::fprintf(stderr, "Cannot open metadata file %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return nullptr;
    }
    const std::string body = "pid=" + std::to_string(getpid()) + "\nfile=" + vexa_file +
                             "\nsock=" + (vexa_sock ? vexa_sock : "") + "\n";
    if (write(fd, body.data(), body.size()) != static_cast<ssize_t>(body.size())) {
        std::fprintf(stderr, "Cannot write metadata file %s\n", path.c_str());
        close(fd);
        return nullptr;
    }
    return new metadata_v4_metadata_context{fd};
}
}  // namespace

void vexa_open_instance() {
    if (!vexa_file_metadir || !vexa_sock || vexa_meta || vexa_metadata) return;
    const std::string dir = vexa_file_metadir;
    vexa_meta = open_meta(dir);
    if (vexa_meta) vexa_metadata = open_metadata(dir);
    // The socket last: a run that cannot start leaves no socket file behind.
    if (vexa_meta && vexa_metadata && vexa_auto_socket_create) {
        std::string reason;
        if (control_socket_listen(vexa_sock, &reason) != 0) {
            std::fprintf(stderr, "%s\n", reason.c_str());
            vexa_sock = nullptr;
        }
    }
    if (vexa_meta && vexa_metadata) {
        // From now on whatever is taken is recorded here, and a fatal signal cleans up here.
        platform::taken_set_record_path(vexa_taken_record_path(dir).c_str());
        vexa_fatal_signal_paths(dir.c_str(), vexa_auto_socket_create ? vexa_sock : nullptr);
    }
}

int metadata_v4_metadata_close_file(metadata_v4_metadata_context* ctx) {
    if (!ctx || ctx->fd < 0) return -1;
    const int result = close(ctx->fd);
    ctx->fd = -1;
    return result;
}

void vexa_close_instance_files() {
    if (vexa_metadata) {
        metadata_v4_metadata_close_file(vexa_metadata);
        delete vexa_metadata;
        vexa_metadata = nullptr;
    }
    if (vexa_meta) {
        close(vexa_meta->file_fd);
        close(vexa_meta->instance_fd);
        delete vexa_meta;
        vexa_meta = nullptr;
    }
    // Last: everything the instance put in the directory is settled.
    vexa_instance_lock_release();
}
