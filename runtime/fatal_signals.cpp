#include "runtime/fatal_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/taken_record.h"

namespace {

// Fatal signals, then terminating signals that nothing in the program handles. SIGPIPE is ignored
// and SIGKILL cannot be caught; the driver's own stop signals (SIGINT, SIGTERM, SIGQUIT, SIGHUP)
// end in an orderly teardown instead.
constexpr int kSignals[] = {SIGSEGV,   SIGBUS,  SIGFPE,  SIGILL,  SIGABRT,  SIGTRAP,
                            SIGSYS,    SIGXCPU, SIGXFSZ, SIGUSR1, SIGUSR2,  SIGALRM,
                            SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction g_previous[kSignalCount];

// Prepared beforehand: the handler may neither allocate nor format much.
char g_status_path[4096];
char g_status_temp[4096 + 16];
char g_status_head[64];  // "status=0\ntext=Stopped by signal "
char g_status_tail[96];  // "\nready=0\nready text=Stopped\npid=N\n"
char g_socket_path[108];
volatile sig_atomic_t g_entered = 0;
char g_alt_stack[64 * 1024];

void write_text(int fd, const char* text) { (void)!write(fd, text, std::strlen(text)); }

void mark_status_stopped(int signal_number) {
    if (!g_status_path[0]) return;
    const int fd = open(g_status_temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    char number[4] = {static_cast<char>('0' + signal_number / 10 % 10),
                      static_cast<char>('0' + signal_number % 10), '\0', '\0'};
    write_text(fd, g_status_head);
    write_text(fd, signal_number < 10 ? number + 1 : number);
    write_text(fd, g_status_tail);
    close(fd);
    rename(g_status_temp, g_status_path);
}

int index_of(int signal_number) {
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == signal_number) return i;
    return -1;
}

void on_fatal_signal(int signal_number) {
    // A second fault inside the clean-up goes straight on to the signal's own end.
    if (!g_entered) {
        g_entered = 1;
        const platform::TakenState& taken = platform::taken_state();
        if (platform::taken_give_back(taken, true) == 0 && platform::taken_record_path()[0])
            unlink(platform::taken_record_path());
        mark_status_stopped(signal_number);
        if (g_socket_path[0]) unlink(g_socket_path);
    }
    // The previous disposition (the default, or a sanitizer's report) takes the signal once this
    // handler returns: it stays blocked until then.
    const int i = index_of(signal_number);
    if (i >= 0) sigaction(signal_number, &g_previous[i], nullptr);
    raise(signal_number);
}

}  // namespace

void vexa_install_fatal_signal_handlers() {
    // A stack overflow must still reach the handler.
    stack_t stack{};
    stack.ss_sp = g_alt_stack;
    stack.ss_size = sizeof g_alt_stack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = on_fatal_signal;
    action.sa_flags = SA_ONSTACK;
    sigfillset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction current {};
        if (sigaction(kSignals[i], nullptr, &current) != 0) continue;
        // A signal the parent chose to ignore stays ignored; a handler already there (a
        // sanitizer's) is kept to be called after ours; installing twice changes nothing.
        if (!(current.sa_flags & SA_SIGINFO) &&
            (current.sa_handler == SIG_IGN || current.sa_handler == on_fatal_signal))
            continue;
        g_previous[i] = current;
        sigaction(kSignals[i], &action, nullptr);
    }
}

void vexa_fatal_signal_paths(const char* metadir, const char* socket_path) {
    g_status_path[0] = '\0';
    g_socket_path[0] = '\0';
    if (metadir && std::strlen(metadir) + 16 < sizeof g_status_path) {
        std::snprintf(g_status_path, sizeof g_status_path, "%s/status", metadir);
        std::snprintf(g_status_temp, sizeof g_status_temp, "%s.tmp-fatal", g_status_path);
        std::snprintf(g_status_head, sizeof g_status_head, "status=0\ntext=Stopped by signal ");
        std::snprintf(g_status_tail, sizeof g_status_tail,
                      "\nready=0\nready text=Stopped\npid=%d\n", static_cast<int>(getpid()));
    }
    if (socket_path && std::strlen(socket_path) < sizeof g_socket_path)
        std::snprintf(g_socket_path, sizeof g_socket_path, "%s", socket_path);
}
