// A connection of the runtime (the media item connection).
#pragma once

struct comm_socket_v4 {
    int fd = -1;  // closed by comm_socket_v4_destroy
};
