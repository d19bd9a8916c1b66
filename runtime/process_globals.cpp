// The process side's globals: hook pointers, flags and what the arguments and derivation set.
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

void (*vexa_on_report)(void* context, comm_socket_v4_packet* packet) = nullptr;
void (*vexa_on_set)(void* context, const char* name, const std::string& value) = nullptr;
int (*output_on_reset_media_item)() = nullptr;
int (*output_driver_on_async_output_message)(comm_socket_v4_packet* packet) = nullptr;

bool vexa_auto_socket_create = false;
bool output_enable_video_input = false;
bool vexa_run_as_realtime = false;
bool vexa_do_mlock = false;
bool vexa_stderr_to_log = false;
bool vexa_restore_only = false;
volatile int32_t DIE4 = 0;

const char* vexa_file = nullptr;
const char* vexa_file_metadir = nullptr;
const char* vexa_sock = nullptr;
vexa_meta_record* vexa_meta = nullptr;
metadata_v4_metadata_context* vexa_metadata = nullptr;

int fbcon_lockout = 0;
int fbcon_fbindex = -1;

bool vexa_unpaced = false;
const char* vexa_snapshot_path = nullptr;
