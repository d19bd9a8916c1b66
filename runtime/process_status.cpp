// Short texts about the process's own use of the machine, for status reports.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/runtime_api.h"

namespace {
bool read_small_file(const char* path, char* buf, size_t size) {
    FILE* f = std::fopen(path, "r");
    if (!f) return false;
    const size_t n = std::fread(buf, 1, size - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    return n > 0;
}

// Pages of the process from /proc/self/statm: field 1 resident, field 2 shared.
bool statm_pages(int field, unsigned long* pages) {
    char buf[256];
    if (!read_small_file("/proc/self/statm", buf, sizeof buf)) return false;
    unsigned long values[3];
    if (std::sscanf(buf, "%lu %lu %lu", &values[0], &values[1], &values[2]) != 3) return false;
    *pages = values[field];
    return true;
}

std::string megabytes(const char* prefix, unsigned long pages) {
    char text[64];
    const double mb =
        static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
    std::snprintf(text, sizeof text, ",%s=%.1fMB", prefix, mb);
    return text;
}

double seconds_now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
}  // namespace

std::string mem_status() {
    unsigned long pages = 0;
    return statm_pages(1, &pages) ? megabytes("rss", pages) : ",rss=?";
}

std::string shm_status() {
    unsigned long pages = 0;
    return statm_pages(2, &pages) ? megabytes("shm", pages) : ",shm=?";
}

// Processor time since the previous call (the first call: since the process began).
std::string cpu_status() {
    static double last_cpu = -1, last_wall = 0;
    char buf[1024];
    if (!read_small_file("/proc/self/stat", buf, sizeof buf)) return ",cpu=?";
    // The command name may hold blanks and parentheses: the fields follow its last ')'.
    const char* rest = std::strrchr(buf, ')');
    unsigned long long utime = 0, stime = 0, start = 0;
    if (!rest || std::sscanf(rest + 1,
                             " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu %*d %*d %*d "
                             "%*d %*d %*d %llu",
                             &utime, &stime, &start) != 3)
        return ",cpu=?";
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double cpu = static_cast<double>(utime + stime) / ticks;
    const double wall = seconds_now();
    double used = cpu, elapsed = wall - static_cast<double>(start) / ticks;
    if (last_cpu >= 0) {
        used = cpu - last_cpu;
        elapsed = wall - last_wall;
    }
    last_cpu = cpu;
    last_wall = wall;
    const double percent = elapsed > 0 ? 100.0 * used / elapsed : 0.0;
    char text[32];
    std::snprintf(text, sizeof text, ",cpu=%.1f%%", percent < 0 ? 0.0 : percent);
    return text;
}
