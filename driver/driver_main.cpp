#include "driver/driver_main.h"

#include <sys/file.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/display_loop.h"
#include "driver/driver_signals.h"
#include "driver/hook_table.h"
#include "driver/media_hooks.h"
#include "driver/render_config.h"
#include "driver/usage.h"
#include "fbdev/fbdev_state.h"
#include "pixel/kernel_table.h"
#include "runtime/runtime_api.h"
#include "vexa_version.h"

namespace {

// 0 when every argument was a switch the runtime took; 1 when the version was asked for and
// printed; -1 after a message.
int parse_arguments() {
    for (;;) {
        char* arg = vexa_next_arg();
        if (arg == nullptr) return 0;
        if (!vexa_argv_is_switch(&arg)) {
            std::fprintf(stderr, "Non-switch argument '%s'\n", arg);
            return -1;
        }
        const int handled = vexa_argv_std_handle_switch(arg);
        if (handled > 0) continue;
        if (handled < 0) {
            print_usage();
            return -1;
        }
        if (std::strcmp(arg, "version") == 0) {
            std::printf("vexa_out_fbdev %s\n", VEXA_VERSION);
            return 1;
        }
        if (std::strcmp(arg, "h") != 0 && std::strcmp(arg, "help") != 0) {
            std::fprintf(stderr, "Unknown switch '%s'\n", arg);
        }
        print_usage();
        return -1;
    }
}

// What the runtime derived from the arguments; 0 when all is there.
int check_runtime() {
    if (vexa_file == nullptr) {
        std::fprintf(stderr, "File to play not specified. Use --file parameter\n");
        print_usage();
        return -1;
    }
    const char* failure = nullptr;
    if (vexa_standard_to_derived_params() != 0) {
        failure = "Failed to obtain derived params\n";
    } else if (vexa_join_cnb_domain() != 0) {
        failure = "Failed to join CNB domain\n";
    } else if (vexa_file_metadir == nullptr) {
        failure = "Library failed to derive metadata dir\n";
    } else if (vexa_sock == nullptr) {
        failure = "Library failed to make socket path or accept a path\n";
    } else if (vexa_meta == nullptr) {
        failure = "No meta object\n";
    } else if (vexa_metadata == nullptr) {
        failure = "No metadata object\n";
    } else if (vexa_stderr_to_log && vexa_redirect_stderr_to_logfile() != 0) {
        failure = "Failed to redirect stderr\n";
    }
    if (failure != nullptr) {
        std::fputs(failure, stderr);
        return -1;
    }
    return 0;
}

// The configuration is read under the lock so that a writer never hands us half a file.
void load_configuration() {
    const int file_fd = vexa_meta->file_fd;
    if (flock(file_fd, LOCK_EX) != 0) std::fprintf(stderr, "WARNING: failed to lock file\n");
    if (load_render_config(vexa_file) != 0) {
        output_media_item_set_output_media_item("");
        vexa_run_as_realtime = true;
        vexa_do_mlock = true;
        std::fprintf(stderr, "Failed to load Render Manager configuration, using default\n");
    }
    if (flock(file_fd, LOCK_UN) != 0) std::fprintf(stderr, "WARNING: failed to unlock file\n");
    flock(vexa_meta->instance_fd, LOCK_UN);
}

// --restore, for a user at a console that a killed driver left dead: 0 once all is given back.
int restore_only() {
    if (vexa_file == nullptr) {
        std::fprintf(stderr, "File to play not specified. Use --file parameter\n");
        print_usage();
        return 1;
    }
    return vexa_restore_left_over() == 0 ? 0 : 1;
}

void teardown() {
    call_reset_hook();
    close_video_out();
    close_vexa_client_contexts();
    release_connection_and_buffer();
    vexa_free_all();
}

}  // namespace

int driver_main(int argc, char** argv) {
    vexa_auto_socket_create = true;
    if (vexa_init_argv(argc, argv) != 0) return 1;
    const int parsed = parse_arguments();
    // Asking for the version is no run of the driver: it succeeds like any such query.
    if (parsed > 0) return 0;
    if (parsed != 0) return 1;
    if (vexa_restore_only) return restore_only();
    if (check_runtime() != 0) return 1;

    util_check_and_unmask_common_signals();
    enter_output_cgroup();
    cnb_alloc_init();
    if (vexa_meta->file_fd < 0) {
        // The runtime promised a lock file; without it the configuration cannot be read safely.
        std::fprintf(stderr, "Assertion failed: meta record has no lock file\n");
        std::abort();
    }

    output_enable_video_input = true;
    // Before the configuration: its loader resets the media item through the reset hook.
    install_driver_hooks();
    load_configuration();

    std::fprintf(stderr, "Media item is %s\n", output_media_item.c_str());
    std::fprintf(stderr, "   Meta: %s\n", output_media_item_metadir.c_str());
    std::fprintf(stderr, "   Sock: %s\n", output_media_item_socket_path.c_str());
    std::fprintf(stderr, "Pixel converters: %s\n", pixel_kernels_level());
    metadata_v4_metadata_close_file(vexa_metadata);

    vexa_acc_cache = vexa_global_access_cache_create();
    if (vexa_acc_cache == nullptr) {
        std::fprintf(stderr, "Cannot create cache\n");
        release_connection_and_buffer();
        vexa_free_all();
        return 1;
    }
    if (vexa_self_test() != 0) std::fprintf(stderr, "Self-test failed [VEXA]\n");
    if (vexa_set_to_realtime() != 0) std::fprintf(stderr, "Failed to follow realtime setting\n");
    if (vexa_set_to_mlock() != 0) std::fprintf(stderr, "Failed to lock all pages into memory\n");

    std::signal(SIGQUIT, driver_on_signal);
    std::signal(SIGTERM, driver_on_signal);
    std::signal(SIGINT, driver_on_signal);
    // A hang-up of the terminal stops the driver as orderly as SIGTERM does.
    std::signal(SIGHUP, driver_on_signal);

    vexa_status_write(100, "");
    vexa_ready_write(1, "Ready to respond to commands");

    // A signal during start-up skips the loop.
    if (DIE4 == 0) run_display_loop();
    teardown();
    return 1;
}
