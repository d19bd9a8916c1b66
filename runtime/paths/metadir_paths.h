// Where an instance keeps its metadata directory and control socket. Pure string work, shared by
// the driver's runtime and vexa_ctl so both find the same socket.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// Longest socket path that fits sockaddr_un's sun_path with its terminating zero.
constexpr size_t vexa_max_socket_path = 107;

// The configuration's file name (its last path component); empty when the path has none, or when
// it is "." or "..", which would place the directory outside its parent.
std::string vexa_config_name(const char* config_path);

// Default metadata directory for a configuration name: /run/vexa/<name> for root, else
// $XDG_RUNTIME_DIR/vexa/<name> (when set to an absolute path), else /tmp/vexa-<uid>/<name>.
std::string vexa_default_metadir(const std::string& name, uid_t uid, const char* xdg_runtime_dir);

// Default control socket inside a metadata directory.
std::string vexa_default_socket(const std::string& metadir);
