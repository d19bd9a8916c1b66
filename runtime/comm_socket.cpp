// Connections and the reply packets sent over them.
#include "runtime/comm_socket.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "runtime/comm_packet.h"
#include "runtime/runtime_api.h"

comm_socket_v4* comm_socket_v4_destroy(comm_socket_v4* sock) {
    if (sock) {
        if (sock->fd >= 0) close(sock->fd);
        delete sock;
    }
    return nullptr;
}

int comm_socket_v4_packet_write_nv_pair(comm_socket_v4_packet* packet, const char* name,
                                        const char* value) {
    if (!packet || !name) return -1;
    packet->pairs.emplace_back(name, value ? value : "");
    return 0;
}

int comm_socket_v4_packet_write_nv_pairf(comm_socket_v4_packet* packet, const char* name,
                                         const char* format, ...) {
    if (!packet || !name || !format) return -1;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return -1;
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    packet->pairs.emplace_back(name, std::string(text.data(), static_cast<size_t>(length)));
    return 0;
}
