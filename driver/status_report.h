// The driver's part of a status reply: activity, errors, the device and the console.
#pragma once

struct comm_socket_v4_packet;

void driver_on_report(void* context, comm_socket_v4_packet* packet);
