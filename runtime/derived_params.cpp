// From the command line to the instance's paths: metadata directory and control socket.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/control_server.h"
#include "runtime/instance_lock.h"
#include "runtime/left_over.h"
#include "runtime/metadir.h"
#include "runtime/paths/metadir_paths.h"
#include "runtime/runtime_api.h"
#include "runtime/switch_values.h"

namespace {
std::string g_metadir;
std::string g_sock;
}  // namespace

// Nothing here opens a descriptor that outlives the call: the instance's files are opened by
// vexa_open_instance once the CNB domain is joined.
int vexa_standard_to_derived_params() {
    vexa_file_metadir = nullptr;
    vexa_sock = nullptr;
    if (!vexa_file) return -1;
    const std::string name = vexa_config_name(vexa_file);
    if (name.empty()) {
        std::fprintf(stderr, "No configuration file name in '%s' to name the metadata directory\n",
                     vexa_file);
        return -1;
    }

    const bool chosen = vexa_meta_switch != nullptr;
    const uid_t uid = geteuid();
    const std::string metadir =
        chosen ? vexa_meta_switch : vexa_default_metadir(name, uid, std::getenv("XDG_RUNTIME_DIR"));
    std::string reason;
    if (vexa_make_metadir(metadir, chosen ? static_cast<uid_t>(-1) : uid, &reason) != 0) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 0;  // the caller finds no metadata directory
    }
    // Before anything in the directory is touched: a second instance must leave the first's
    // socket, metadata and status alone.
    if (vexa_instance_lock_take(metadir, &reason) != 0) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return -1;
    }
    // A run killed outright left its owner lock free and its record behind: put things back first.
    vexa_give_back_left_over(metadir);
    g_metadir = metadir;
    vexa_file_metadir = g_metadir.c_str();
    output_media_item_metadir = g_metadir;

    const std::string sock = vexa_sock_switch ? vexa_sock_switch : vexa_default_socket(metadir);
    if (sock.empty() || sock.size() > vexa_max_socket_path) {
        std::fprintf(stderr, "Control socket path is empty or longer than %zu bytes: %s\n",
                     vexa_max_socket_path, sock.c_str());
        return 0;  // the caller finds no socket path
    }
    if (vexa_auto_socket_create && control_socket_claim(sock.c_str(), &reason) != 0) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return -1;
    }
    g_sock = sock;
    vexa_sock = g_sock.c_str();
    output_media_item_socket_path = g_sock;
    return 0;
}
