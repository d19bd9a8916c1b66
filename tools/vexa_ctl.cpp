// vexa_ctl: sends one request to a running driver's control socket and prints the reply.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/paths/metadir_paths.h"
#include "vexa_version.h"

namespace {
constexpr int kReplyTimeoutMs = 5000;

int usage() {
    std::fprintf(stderr,
                 "usage: vexa_ctl [--sock PATH | --file CONF [--meta DIR]] status | set NAME VALUE "
                 "| start | reset; vexa_ctl --version\n");
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "vexa_ctl: %s\n", message.c_str());
    return 1;
}

// Builds the request line from the command words; empty when they do not form one.
std::string request_from(int argc, char** argv, int first) {
    const int words = argc - first;
    if (words < 1) return {};
    const std::string command = argv[first];
    if ((command == "status" || command == "start" || command == "reset") && words == 1)
        return command;
    if (command == "set" && words == 3) {
        const std::string name = argv[first + 1], value = argv[first + 2];
        if (name.empty() || name.find_first_of("=\r\n") != std::string::npos ||
            value.find_first_of("\r\n") != std::string::npos)
            return {};
        return "set " + name + "=" + value;
    }
    return {};
}

// Reads one line of reply (without its newline). False on timeout or a closed connection.
bool read_reply(int fd, std::string* reply) {
    char buffer[4096];
    for (;;) {
        const size_t newline = reply->find('\n');
        if (newline != std::string::npos) {
            reply->resize(newline);
            return true;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, kReplyTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return !reply->empty();
        reply->append(buffer, static_cast<size_t>(n));
    }
}
// A value of the status file ("pid", "ready"); empty when absent.
std::string status_value(const std::string& status, const std::string& name) {
    const std::string key = name + "=";
    for (size_t at = 0; at < status.size();) {
        const size_t end = std::min(status.find('\n', at), status.size());
        if (status.compare(at, key.size(), key) == 0)
            return status.substr(at + key.size(), end - at - key.size());
        at = end + 1;
    }
    return {};
}

// Nothing answers at the socket: tells from the status file whether the driver stopped, or died
// while its status file still claims it ready.
int not_running(const std::string& metadir, const std::string& sock, int connect_error) {
    std::string status;
    if (FILE* file = std::fopen((metadir + "/status").c_str(), "r")) {
        char buffer[4096];
        status.assign(buffer, std::fread(buffer, 1, sizeof buffer, file));
        std::fclose(file);
    }
    const std::string pid = status_value(status, "pid");
    const std::string ready = status_value(status, "ready");
    const long number = pid.empty() ? 0 : std::strtol(pid.c_str(), nullptr, 10);
    if (number > 0 && kill(static_cast<pid_t>(number), 0) != 0 && errno == ESRCH && ready == "1")
        return fail("the driver is not running: pid " + pid +
                    " has gone without stopping (its status file still says ready)");
    if (ready == "0")
        return fail("the driver is not running (stopped: " + status_value(status, "text") + ")");
    return fail("the driver is not running: cannot connect to " + sock + ": " +
                std::strerror(connect_error));
}
}  // namespace

int main(int argc, char** argv) {
    std::string sock, file, meta;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; i += 2) {
        const std::string option = argv[i];
        if (option == "--version") {
            std::printf("vexa_ctl %s\n", VEXA_VERSION);
            return 0;
        }
        if (i + 1 >= argc) return usage();
        if (option == "--sock") {
            sock = argv[i + 1];
        } else if (option == "--file") {
            file = argv[i + 1];
        } else if (option == "--meta") {
            meta = argv[i + 1];
        } else {
            return usage();
        }
    }
    const std::string request = request_from(argc, argv, i);
    if (request.empty() || (!sock.empty() && !file.empty()) || (sock.empty() && file.empty()))
        return usage();
    if (sock.empty()) {
        const std::string name = vexa_config_name(file.c_str());
        if (name.empty()) return fail("no configuration file name in '" + file + "'");
        if (meta.empty())
            meta = vexa_default_metadir(name, geteuid(), std::getenv("XDG_RUNTIME_DIR"));
        sock = vexa_default_socket(meta);
    }

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (sock.size() > vexa_max_socket_path) return fail("socket path too long: " + sock);
    std::memcpy(address.sun_path, sock.c_str(), sock.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(std::string("cannot create a socket: ") + std::strerror(errno));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        // Without --meta or --file the metadata directory is taken to be the socket's own.
        if (meta.empty()) {
            const size_t slash = sock.find_last_of('/');
            meta = slash == std::string::npos ? "." : sock.substr(0, slash + 1);
        }
        if (error == ECONNREFUSED || error == ENOENT) return not_running(meta, sock, error);
        return fail("cannot connect to " + sock + ": " + std::strerror(error));
    }
    const std::string line = request + "\n";
    const bool sent =
        send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
    const int send_error = errno;
    // A driver that refuses the connection (too many clients) says why before it closes: its
    // reason is worth more than the broken pipe the send then meets.
    std::string reply;
    const bool got = read_reply(fd, &reply);
    close(fd);
    if (!got && !sent)
        return fail("cannot send the request: " + std::string(std::strerror(send_error)));
    if (!got) return fail("no reply from " + sock);
    if (reply.compare(0, 9, "{\"error\":") == 0) return fail("the driver answered " + reply);
    std::printf("%s\n", reply.c_str());
    return 0;
}
