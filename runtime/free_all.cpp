// Tearing the runtime's process-side objects down.
#include "platform/taken_record.h"
#include "runtime/control_server.h"
#include "runtime/fatal_signals.h"
#include "runtime/instance_files.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

void close_vexa_client_contexts() { control_socket_close_clients(); }

void vexa_free_all() {
    // The status file outlives the process: it must not go on claiming a ready driver.
    vexa_status_write(0, "Stopped");
    vexa_ready_write(0, "Stopped");
    vexa_media_free_all();
    control_socket_shutdown();
    vexa_fatal_signal_paths(nullptr, nullptr);
    platform::taken_set_record_path(nullptr);
    vexa_close_instance_files();
}
