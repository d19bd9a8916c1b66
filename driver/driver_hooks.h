// Start-up helpers and the hooks the runtime calls back.
#pragma once

struct comm_socket_v4_packet;

// Shutdown signals: each asks for an orderly stop; the tenth aborts at once.
void driver_on_signal(int signal_number);
void print_usage();

int driver_on_reset_media_item();
int driver_on_async_output_message(comm_socket_v4_packet* packet);
void driver_on_report(void* context, comm_socket_v4_packet* packet);
// Drops the media item connection and the frame-buffer domain's buffer.
void release_connection_and_buffer();

// Points the runtime's four hook pointers at the driver's hooks (report, reset, async message,
// set, in that order).
void install_driver_hooks();
// The reset hook as installed in the runtime (normally driver_on_reset_media_item).
void call_reset_hook();
