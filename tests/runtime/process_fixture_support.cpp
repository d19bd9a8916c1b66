#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "process_fixture.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/switch_values.h"
#include "test_build/fault_switch.h"

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/vexa-test-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

int connect_unix(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool send_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string read_line_served(int fd, int timeout_ms) {
    std::string line;
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        vexa_control_wait(10);
        pollfd p{fd, POLLIN, 0};
        while (poll(&p, 1, 0) > 0) {
            char c;
            if (read(fd, &c, 1) != 1) return line;
            if (c == '\n') return line;
            line.push_back(c);
        }
    }
    return {};
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void reset_process_side() {
    close_vexa_client_contexts();
    vexa_free_all();
    vexa_fault_clear();
    vexa_file = nullptr;
    vexa_file_metadir = nullptr;
    vexa_sock = nullptr;
    vexa_meta_switch = nullptr;
    vexa_sock_switch = nullptr;
    vexa_auto_socket_create = true;
    vexa_on_report = nullptr;
    vexa_on_set = nullptr;
    output_on_reset_media_item = nullptr;
}
