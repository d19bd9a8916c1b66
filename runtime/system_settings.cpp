// What the process asks of the system: scheduling, memory locking, signals, its log file.
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/fatal_signals.h"
#include "runtime/fault_points.h"
#include "runtime/runtime_api.h"

#if defined(__SANITIZE_ADDRESS__)
#define VEXA_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXA_UNDER_ASAN 1
#endif
#endif

int vexa_set_to_realtime() {
    if (!vexa_run_as_realtime) return 0;
    if (vexa_fault("realtime")) return -1;
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    return sched_setscheduler(0, SCHED_FIFO, &param) == 0 ? 0 : -1;
}

int vexa_set_to_mlock() {
    if (!vexa_do_mlock) return 0;
    if (vexa_fault("mlock")) return -1;
#ifdef VEXA_UNDER_ASAN
    // The sanitizer reserves terabytes of shadow memory; locking it would never finish.
    return -1;
#else
    return mlockall(MCL_CURRENT | MCL_FUTURE) == 0 ? 0 : -1;
#endif
}

// Shutdown signals must reach the driver's handler even when the parent blocked or ignored them;
// a client that hangs up must not kill the process through SIGPIPE.
int util_check_and_unmask_common_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
        sigaddset(&set, sig);
        struct sigaction current {};
        if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            signal(sig, SIG_DFL);
    }
    signal(SIGPIPE, SIG_IGN);
    vexa_install_fatal_signal_handlers();
    return sigprocmask(SIG_UNBLOCK, &set, nullptr) == 0 ? 0 : -1;
}

int enter_output_cgroup() { return 0; }

int vexa_redirect_stderr_to_logfile() {
    if (!vexa_file_metadir) return -1;
    const std::string path = std::string(vexa_file_metadir) + "/log";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        std::fprintf(stderr, "Cannot open log file %s: %s\n", path.c_str(), std::strerror(errno));
        return -1;
    }
    std::fflush(stderr);
    const int result = dup2(fd, STDERR_FILENO) < 0 ? -1 : 0;
    close(fd);
    return result;
}

// Checks what the driver relies on from the runtime: the colour tables and the line splitter.
int vexa_self_test() {
    if (vexa_fault("selftest")) return -1;
    const yuv_to_rgb_coefficients& rb = standard_yuv_coefficients;
    const yuv_to_rgb_coefficients& br = standard_yuv_coefficients_srb;
    if (rb.luma_gain == 0 || br.low_from_c1 != rb.high_from_c2 ||
        br.high_from_c2 != rb.low_from_c1 || br.green_from_c1 != rb.green_from_c2 ||
        br.green_from_c2 != rb.green_from_c1 || br.luma_offset != rb.luma_offset ||
        br.luma_gain != rb.luma_gain)
        return -1;
    char line[] = " name = value \r\n";
    chomp(line);
    char* name = nullptr;
    char* value = nullptr;
    divide_name_equ_value_pair(line, &name, &value);
    if (!name || !value || std::strcmp(name, "name") != 0 || std::strcmp(value, "value") != 0)
        return -1;
    return 0;
}
