#include "runtime/paths/metadir_paths.h"

#include <cstring>

std::string vexa_config_name(const char* config_path) {
    if (!config_path) return {};
    const char* slash = std::strrchr(config_path, '/');
    std::string name = slash ? slash + 1 : config_path;
    if (name == "." || name == "..") return {};
    return name;
}

std::string vexa_default_metadir(const std::string& name, uid_t uid, const char* xdg_runtime_dir) {
    if (uid == 0) return "/run/vexa/" + name;
    if (xdg_runtime_dir && xdg_runtime_dir[0] == '/')
        return std::string(xdg_runtime_dir) + "/vexa/" + name;
    return "/tmp/vexa-" + std::to_string(uid) + "/" + name;
}

std::string vexa_default_socket(const std::string& metadir) { return metadir + "/control.sock"; }
