// Which running processes execute a given program file.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>

#include "runtime/runtime_api.h"

namespace {
// The program a process runs, as /proc/<pid>/exe links to it; empty when unreadable.
std::string process_exe(const char* pid) {
    const std::string link = std::string("/proc/") + pid + "/exe";
    char target[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return {};
    std::string exe(target, static_cast<size_t>(n));
    static const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() &&
        exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
        exe.resize(exe.size() - deleted.size());
    return exe;
}

bool all_digits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
    return true;
}
}  // namespace

// Counts the processes whose program is `path` (or the file it resolves to), up to max_pids when
// that is not 0, noting the first info_count of them in info. -1 when /proc cannot be read.
int procfs_path_in_use(const char* path, procfs_path_in_use_info* info, unsigned long info_count,
                       unsigned int max_pids) {
    if (!path) return -1;
    char resolved_buf[PATH_MAX];
    const std::string resolved = realpath(path, resolved_buf) ? resolved_buf : path;
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    int count = 0;
    while (const dirent* entry = readdir(proc)) {
        if (max_pids != 0 && static_cast<unsigned>(count) >= max_pids) break;
        if (!all_digits(entry->d_name)) continue;
        const std::string exe = process_exe(entry->d_name);
        if (exe.empty() || (exe != path && exe != resolved)) continue;
        if (info && static_cast<unsigned long>(count) < info_count)
            info[count].pid = std::atoi(entry->d_name);
        ++count;
    }
    closedir(proc);
    return count;
}
