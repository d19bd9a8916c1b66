// The control socket: a Unix stream socket served without blocking from the runtime's phases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t vexa_control_max_line = 4096;  // longest request, without its newline
constexpr size_t vexa_control_max_queued =
    64 * 1024;  // unread reply bytes before a client is dropped
constexpr size_t vexa_control_max_clients = 32;
// A client that sends no complete request for this long is disconnected (5 s; tests shorten it).
extern int64_t vexa_control_idle_ms;

// Checks that path is free for a new socket: absent, or a stale socket of a dead run (then
// removed). A live socket or another kind of file is refused: -1 with a one-line reason.
int control_socket_claim(const char* path, std::string* reason);
// Binds and listens at path, mode 0600. -1 with a one-line reason.
int control_socket_listen(const char* path, std::string* reason);
// Disconnects every client; the listening socket stays.
void control_socket_close_clients();
// Closes everything and removes the socket file.
void control_socket_shutdown();
// Number of connected clients (for tests).
size_t control_socket_client_count();
