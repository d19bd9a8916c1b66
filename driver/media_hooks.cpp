#include "driver/media_hooks.h"

#include <unistd.h>

#include <cstdio>

#include "runtime/runtime_api.h"

int driver_on_reset_media_item() {
    std::fprintf(stderr, "Reset media item\n");
    output_media_item_reset_item_common();
    return output_driver_video_queue_free();
}

int driver_on_async_output_message(comm_socket_v4_packet* packet) {
    return output_driver_av_common_async_message(packet);
}

void release_connection_and_buffer() {
    output_media_item_connection = comm_socket_v4_destroy(output_media_item_connection);
    if (image_cnb_buffer_fd >= 0) {
        close(image_cnb_buffer_fd);
        image_cnb_buffer_fd = -1;
    }
    if (image_cnb_buffer >= 0) {
        if (vexa_cnb == nullptr) {
            std::fprintf(stderr, "CNB context closed!!!! Cannot release buffer\n");
            return;
        }
        // The domain reclaims the buffer itself; only our claim on it is dropped.
        image_cnb_buffer = -1;
    }
}
