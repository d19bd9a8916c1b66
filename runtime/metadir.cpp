#include "runtime/metadir.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstring>

namespace {
int fail(std::string* reason, const std::string& what, const std::string& path) {
    *reason = what + " " + path + ": " + std::strerror(errno);
    return -1;
}

int check_private(const std::string& dir, uid_t owner, std::string* reason) {
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0) return fail(reason, "Cannot check", dir);
    if (!S_ISDIR(st.st_mode) || st.st_uid != owner || (st.st_mode & 0022) != 0) {
        *reason = dir + " is not a directory of uid " + std::to_string(owner) + " closed to others";
        return -1;
    }
    return 0;
}
}  // namespace

int vexa_make_metadir(const std::string& dir, uid_t private_to, std::string* reason) {
    if (dir.empty()) {
        *reason = "Empty metadata directory path";
        return -1;
    }
    // Parents first, then the directory itself; existing ones are kept as they are.
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string part = dir.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return fail(reason, "Cannot create metadata directory", part);
        if (slash == std::string::npos) break;
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) return fail(reason, "Cannot use metadata directory", dir);
    if (!S_ISDIR(st.st_mode)) {
        *reason = "Metadata directory " + dir + " is not a directory";
        return -1;
    }
    if (private_to != static_cast<uid_t>(-1)) {
        const size_t slash = dir.find_last_of('/');
        if (slash != std::string::npos && slash > 0 &&
            check_private(dir.substr(0, slash), private_to, reason) != 0)
            return -1;
        if (check_private(dir, private_to, reason) != 0) return -1;
    }
    return 0;
}
