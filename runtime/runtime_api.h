// Every output runtime name that the driver uses: operations, hook pointers and globals.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/records.h"
#include "runtime/yuv_coefficients.h"

struct comm_socket_v4;         // a connection (the media item connection)
struct comm_socket_v4_packet;  // a reply being built for a control client
struct metadata_v4_metadata_context;
struct cnb_context;  // the shared frame-buffer domain
struct procfs_path_in_use_info {
    int pid;
};

// ---- Process -------------------------------------------------------------------------------
int vexa_init_argv(int argc, char** argv);
char* vexa_next_arg();
// Non-zero when *arg is a switch; advances *arg past the leading dashes.
int vexa_argv_is_switch(char** arg);
// > 0 handled, < 0 malformed (e.g. value missing), 0 not a standard switch.
int vexa_argv_std_handle_switch(char* arg);
void vexa_std_help();
int vexa_standard_to_derived_params();
int vexa_join_cnb_domain();
int vexa_redirect_stderr_to_logfile();
int vexa_self_test();
int vexa_set_to_realtime();
int vexa_set_to_mlock();
int util_check_and_unmask_common_signals();
int enter_output_cgroup();
int cnb_alloc_init();
int metadata_v4_metadata_close_file(metadata_v4_metadata_context* ctx);
int vexa_status_write(int status, const char* text);
int vexa_ready_write(int ready, const char* text);
void close_vexa_client_contexts();
comm_socket_v4* comm_socket_v4_destroy(comm_socket_v4* sock);  // returns null
void vexa_free_all();
// --restore: gives back what a killed run on the metadata directory left taken (console, mode,
// colour map), removes its stale socket and marks it stopped; nothing else. 0, or -1 after a
// one-line reason (another instance runs there, or giving back failed).
int vexa_restore_left_over();

// ---- Media item ----------------------------------------------------------------------------
void output_media_item_set_output_media_item(const char* item);
int output_media_item_default_connect_phase();
int output_media_item_default_get_context_phase();
int output_media_item_reset_item_common();
int vexa_start_item(const char* item);

// ---- Display phase -------------------------------------------------------------------------
int output_driver_display_phase_av_common_init(uint32_t rate, uint32_t rate_den, int reserved1,
                                               int reserved2, uint64_t queue_bytes);
int output_driver_display_phase_common_loop_tracking(uint64_t now_us);
int output_driver_display_phase_av_common_send_frame_requests();
int output_driver_display_phase_common_read_incoming_requests();
OutputBufferFrame* output_driver_display_phase_av_common_next_frame(int flags);
int output_driver_display_phase_common_post_display_idle_and_wait();
int output_driver_video_queue_free();
int output_driver_av_common_async_message(comm_socket_v4_packet* packet);

// ---- Frame access --------------------------------------------------------------------------
vexa_global_access_cache* vexa_global_access_cache_create();
// Maps [offset, offset + length) of frame buffer `buffer`; null when the range is outside it.
void* vexa_global_access_cache_quickfetch(vexa_global_access_cache* cache, uint32_t buffer,
                                          uint32_t offset, uint64_t length, int mode);
void vexa_global_access_cache_cleanup_idle(vexa_global_access_cache* cache);

// ---- Reports, text, console, time ----------------------------------------------------------
int comm_socket_v4_packet_write_nv_pair(comm_socket_v4_packet* packet, const char* name,
                                        const char* value);
int comm_socket_v4_packet_write_nv_pairf(comm_socket_v4_packet* packet, const char* name,
                                         const char* format, ...)
    __attribute__((format(printf, 3, 4)));
std::string cpu_status();  // each begins with a comma
std::string mem_status();
std::string shm_status();
int take_fbcon();
int track_fbcon();
int release_fbcon();
int fbdev_is_drm_kms_emulation(int fb_index);
int procfs_path_in_use(const char* path, procfs_path_in_use_info* info, unsigned long info_count,
                       unsigned int max_pids);
void chomp(char* line);
// Splits "name=value" in place at the first '='; blanks around both are trimmed. Sets both to
// null when the line is not a pair (no '=' or an empty name); "name=" gives an empty value.
void divide_name_equ_value_pair(char* line, char** name, char** value);
uint64_t monotonic_clock_us();

// ---- Hook pointers (installed by the driver) -----------------------------------------------
extern void (*vexa_on_report)(void* context, comm_socket_v4_packet* packet);
extern void (*vexa_on_set)(void* context, const char* name, const std::string& value);
extern int (*output_on_reset_media_item)();
extern int (*output_driver_on_async_output_message)(comm_socket_v4_packet* packet);

// ---- Flags and globals ---------------------------------------------------------------------
extern bool vexa_auto_socket_create;
extern bool output_enable_video_input;
extern bool vexa_run_as_realtime;
extern bool vexa_do_mlock;
extern bool vexa_stderr_to_log;
extern bool vexa_restore_only;  // --restore
extern volatile int32_t DIE4;   // shutdown requests; changed by signal handlers

extern const char* vexa_file;
extern const char* vexa_file_metadir;
extern const char* vexa_sock;
extern vexa_meta_record* vexa_meta;
extern metadata_v4_metadata_context* vexa_metadata;
extern vexa_global_access_cache* vexa_acc_cache;
extern cnb_context* vexa_cnb;
extern int image_cnb_buffer;
extern int image_cnb_buffer_fd;

extern std::string output_media_item;
extern std::string output_media_item_metadir;
extern std::string output_media_item_socket_path;
extern comm_socket_v4* output_media_item_connection;
extern uint64_t output_media_item_reconnect_at;
extern output_media_item_context_state* output_media_item_our_context_state;
extern uint64_t output_play_dropped_frames;

extern int fbcon_lockout;  // non-zero while the console is taken
extern int fbcon_fbindex;  // framebuffer the kernel console sits on, -1 unknown

// ---- Test seams ----------------------------------------------------------------------------
// Replaces the clock behind monotonic_clock_us (null: CLOCK_MONOTONIC).
extern uint64_t (*vexa_clock_override)();
