// The instance's published state: <metadir>/status and the service manager's readiness.
#pragma once

// Last value given to vexa_ready_write (0 before it).
int vexa_current_ready();
// Sends one datagram to the socket NOTIFY_SOCKET names ('@' for the abstract namespace).
// 0 when sent or when NOTIFY_SOCKET is not set; -1 on failure.
int vexa_notify_service_manager(const char* message);
