// The media item hooks the runtime calls back, and dropping the item's connection.
#pragma once

struct comm_socket_v4_packet;

// Logs the reset, closes the item in the runtime and frees the video queue.
int driver_on_reset_media_item();
int driver_on_async_output_message(comm_socket_v4_packet* packet);
// Drops the media item connection and the frame-buffer domain's buffer.
void release_connection_and_buffer();
