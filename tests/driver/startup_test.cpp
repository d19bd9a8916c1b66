// Start-up and shutdown of the real binary: failures, usage, ready, signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver_test_support.h"
#include "vexa_version.h"

namespace {

using driver_test::read_file;
using driver_test::RunOptions;
using driver_test::RunResult;
using driver_test::wait_for;

const char kUsage[] =
    "vexa_out_fbdev [options]\n"
    "Linux framebuffer output driver for Orvane 4.x\n"
    "\n"
    " --file <path of rendermgr config file>\n";

// Only the test build takes --fault.
bool asks_for_faults(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--fault") != args.end();
}

bool alive(pid_t pid) {
    std::istringstream stat(read_file("/proc/" + std::to_string(pid) + "/stat"));
    std::string pid_field, comm, state;
    stat >> pid_field >> comm >> state;
    return !state.empty() && state != "Z";
}

// A field of /proc/<pid>/status, such as "SigPnd" or "VmLck".
std::string status_field(pid_t pid, const std::string& name) {
    std::istringstream status(read_file("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) return line.substr(name.size() + 1);
    }
    return "";
}

bool signal_pending(pid_t pid, int signal_number) {
    const unsigned long long bit = 1ull << (signal_number - 1);
    return (std::stoull(status_field(pid, "SigPnd"), nullptr, 16) & bit) != 0 ||
           (std::stoull(status_field(pid, "ShdPnd"), nullptr, 16) & bit) != 0;
}

// Scheduling policy from /proc/<pid>/stat (field 41): 1 is SCHED_FIFO.
int scheduling_policy(pid_t pid) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 41 && rest >> field; ++i) {
    }
    return std::stoi(field);
}

// A service manager's notification socket whose queue is full, so that the driver's "ready"
// notification blocks until drain() is called: the driver then sits between installing its
// signal handlers and entering the display loop.
class FullNotifySocket {
  public:
    explicit FullNotifySocket(const std::string& path) : path_(path) {
        receiver_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        bind(receiver_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        // A sender's own buffer may fill before the receiver's queue does: use fresh senders until
        // even the first datagram of one is refused.
        for (bool full = false; !full;) {
            const int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
            int sent = 0;
            while (sendto(sender, "x", 1, 0, reinterpret_cast<sockaddr*>(&address),
                          sizeof address) == 1) {
                ++sent;
            }
            full = sent == 0;
            close(sender);
        }
    }
    ~FullNotifySocket() {
        close(receiver_);
        unlink(path_.c_str());
    }
    void drain() {
        char byte[64];
        while (recv(receiver_, byte, sizeof byte, 0) >= 0) {
        }
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    int receiver_ = -1;
};

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.write("render.conf", "realtime process=0\nlock memory=0\n");
        meta = dir.file("meta");
    }

    std::vector<std::string> args(std::vector<std::string> extra) const {
        std::vector<std::string> all{"--file",   dir.file("render.conf"), "--meta",
                                     meta,       "--virtual-fb",          "64x48x16",
                                     "--unpaced"};
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    }

    bool ready() const {
        return read_file(meta + "/status").find("\nready=1\n") != std::string::npos;
    }

    // Stops the driver with one SIGTERM once it is ready (or gives up when it exits first).
    RunOptions stopped_when_ready(std::vector<std::string> extra) {
        RunOptions options;
        options.test_build = asks_for_faults(extra);
        options.args = args(std::move(extra));
        options.during = [this](pid_t pid, const auto&) {
            was_ready = false;
            if (wait_for([&] { return ready() || !alive(pid); })) {
                was_ready = ready();
                kill(pid, SIGTERM);
            }
        };
        return options;
    }

    driver_test::TempDir dir;
    std::string meta;
    bool was_ready = false;  // seen ready while it ran (the status file says stopped afterwards)
};

TEST_F(StartupTest, FailuresBeforeTheLoop) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after the defaults, or instead of them (replace)
        bool replace;
        const char* message;
        bool usage;
        bool meta_made;  // the metadata directory exists afterwards
    };
    const std::string file = dir.file("render.conf");
    dir.write("plain", "x");
    const std::string long_sock = "/tmp/" + std::string(103, 's');
    const Case cases[] = {
        {"bare word", {"x"}, false, "Non-switch argument 'x'\n", false, false},
        {"unknown switch", {"--bogus"}, false, "Unknown switch 'bogus'\n", true, false},
        {"h", {"-h"}, false, "", true, false},
        {"help", {"--help"}, false, "", true, false},
        {"value missing", {"--sock"}, false, "--sock needs a value\n", true, false},
        {"no file",
         {"--meta", meta},
         true,
         "File to play not specified. Use --file parameter\n",
         true,
         false},
        {"empty file name",
         {"--file", "", "--meta", "META"},
         true,
         "Failed to obtain derived params\n",
         false,
         false},
        {"cnb domain", {"--fault", "cnb"}, false, "Failed to join CNB domain\n", false, true},
        {"metadata directory under a file",
         {"--file", file, "--meta", dir.file("plain") + "/meta"},
         true,
         "Library failed to derive metadata dir\n",
         false,
         false},
        {"socket path too long",
         {"--sock", long_sock},
         false,
         "Library failed to make socket path or accept a path\n",
         false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        driver_test::TempDir fresh;
        meta = fresh.file("meta");
        std::vector<std::string> case_args = c.args;
        for (std::string& a : case_args) {
            if (a == "META") a = meta;
        }
        RunOptions options;
        options.args = c.replace ? case_args : args(case_args);
        options.test_build = asks_for_faults(case_args);
        const RunResult result = run_driver(options);
        EXPECT_EQ(1, result.exit_status);
        EXPECT_NE(std::string::npos, result.err.find(c.message)) << result.err;
        EXPECT_EQ(c.usage, result.err.find(kUsage) != std::string::npos) << result.err;
        if (!c.meta_made) {
            EXPECT_NE(0, access(meta.c_str(), F_OK)) << "nothing set up";
        }
        EXPECT_EQ(std::string::npos, result.err.find("Media item is")) << result.err;
    }
}

// Asking for the version is no run: status 0, the version on standard output, nothing set up.
TEST_F(StartupTest, VersionOnly) {
    RunOptions options;
    options.args = args({"--version"});
    const RunResult result = run_driver(options);
    EXPECT_EQ(0, result.exit_status);
    EXPECT_EQ("vexa_out_fbdev " VEXA_VERSION "\n", result.out);
    EXPECT_EQ("", result.err);
    EXPECT_NE(0, access(meta.c_str(), F_OK));
}

TEST_F(StartupTest, BrokenMetadataDirectory) {
    struct Case {
        const char* entry;  // made a directory before the run
        std::vector<std::string> extra;
        const char* message;
    };
    const Case cases[] = {
        {"lock", {}, "No meta object\n"},
        {"metadata", {}, "No metadata object\n"},
        {"log", {"--log"}, "Failed to redirect stderr\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        driver_test::TempDir fresh;
        meta = fresh.file("meta");
        ASSERT_EQ(0, mkdir(meta.c_str(), 0700));
        ASSERT_EQ(0, mkdir((meta + "/" + c.entry).c_str(), 0700));
        RunOptions options;
        options.args = args(c.extra);
        const RunResult result = run_driver(options);
        EXPECT_EQ(1, result.exit_status);
        EXPECT_NE(std::string::npos, result.err.find(c.message)) << result.err;
        EXPECT_EQ(std::string::npos, result.err.find("Media item is")) << result.err;
    }
}

TEST_F(StartupTest, CacheFailureStopsAfterTheConfiguration) {
    const RunResult result = run_driver(stopped_when_ready({"--fault", "cache"}));
    EXPECT_EQ(1, result.exit_status);
    EXPECT_NE(std::string::npos, result.err.find("Media item is")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("Cannot create cache\n")) << result.err;
    EXPECT_FALSE(was_ready);
    EXPECT_EQ(std::string::npos, result.err.find("Reset media item")) << "no teardown";
}

TEST_F(StartupTest, FailuresThatGoOn) {
    const std::pair<const char*, const char*> cases[] = {
        {"selftest", "Self-test failed [VEXA]\n"},
        {"realtime", "Failed to follow realtime setting\n"},
        {"mlock", "Failed to lock all pages into memory\n"},
    };
    // The fault only shows when the setting asks for it.
    dir.write("render.conf", "realtime process=1\nlock memory=1\n");
    for (const auto& [fault, message] : cases) {
        SCOPED_TRACE(fault);
        driver_test::TempDir fresh;
        meta = fresh.file("meta");
        const RunResult result = run_driver(stopped_when_ready({"--fault", fault}));
        EXPECT_EQ(1, result.exit_status);
        EXPECT_NE(std::string::npos, result.err.find(message)) << result.err;
        EXPECT_TRUE(was_ready);
        EXPECT_FALSE(ready()) << "the status file still claims a driver that has gone";
        EXPECT_NE(std::string::npos, result.err.find("Reset media item\n")) << result.err;
    }
}

// The shipped binary has none of the test build's scaffolding: --fault is an unknown switch and
// a "script:" item is a name that cannot be opened, like any other.
TEST_F(StartupTest, ShippedBinaryHasNoTestScaffolding) {
    for (const bool test_build : {false, true}) {
        SCOPED_TRACE(test_build ? "test build" : "shipped");
        RunOptions help;
        help.args = {"--help"};
        help.test_build = test_build;
        EXPECT_EQ(test_build, run_driver(help).err.find(" --fault <name>") != std::string::npos);
    }

    RunOptions fault;
    fault.args = args({"--fault", "cnb"});
    RunResult result = run_driver(fault);
    EXPECT_EQ(1, result.exit_status);
    EXPECT_NE(std::string::npos, result.err.find("Unknown switch 'fault'\n")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(kUsage)) << result.err;

    dir.write("render.conf", "item=script:\nautostart item=1\nrealtime process=0\nlock memory=0\n");
    const std::string refused = "y4m: script:: cannot open: No such file or directory\n";
    RunOptions script;
    script.args = args({});
    script.during = [&](pid_t pid, const auto& err) {
        wait_for([&] { return err().find(refused) != std::string::npos; });
        kill(pid, SIGTERM);
    };
    result = run_driver(script);
    EXPECT_EQ(1, result.exit_status);
    EXPECT_NE(std::string::npos, result.err.find(refused)) << result.err;
}

TEST_F(StartupTest, UnreadableConfigurationReachesReadyWithDefaults) {
    bool realtime = false;
    bool locked = false;
    RunOptions options;
    options.args = args({});
    options.args[1] = dir.file("absent.conf");
    options.during = [&](pid_t pid, const auto&) {
        ASSERT_TRUE(wait_for([&] { return ready(); }));
        realtime = scheduling_policy(pid) == 1;
        locked = std::stoi(status_field(pid, "VmLck")) > 0;
        kill(pid, SIGTERM);
    };
    const RunResult result = run_driver(options);
    EXPECT_EQ(1, result.exit_status);
    EXPECT_NE(std::string::npos,
              result.err.find("Failed to load Render Manager configuration, using default\n"));
    EXPECT_NE(std::string::npos, result.err.find("Media item is \n   Meta: ")) << result.err;
    // Requested: either in force or reported as failed (as a normal user, or under ASan).
    EXPECT_TRUE(realtime ||
                result.err.find("Failed to follow realtime setting\n") != std::string::npos)
        << result.err;
    EXPECT_TRUE(locked ||
                result.err.find("Failed to lock all pages into memory\n") != std::string::npos)
        << result.err;
}

TEST_F(StartupTest, ConfigurationTurnsRealtimeOff) {
    const RunResult result = run_driver(stopped_when_ready({}));
    EXPECT_EQ(1, result.exit_status);
    EXPECT_EQ(std::string::npos, result.err.find("Failed to follow realtime setting"));
    EXPECT_EQ(std::string::npos, result.err.find("Failed to lock all pages"));
    EXPECT_EQ(std::string::npos, result.err.find("Failed to load Render Manager configuration"));
}

TEST_F(StartupTest, SignalsWhileReady) {
    struct Case {
        int signals;
        int exit_status;
        int terminating_signal;
    };
    // The handlers are in place while the ready notification blocks; the loop has not begun.
    const Case cases[] = {{1, 1, 0}, {9, 1, 0}, {10, -1, SIGABRT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signals);
        driver_test::TempDir fresh;
        meta = fresh.file("meta");
        FullNotifySocket notify(fresh.file("notify"));
        RunOptions options;
        options.args = args({});
        options.notify_socket = notify.path();
        options.during = [&](pid_t pid, const auto&) {
            ASSERT_TRUE(wait_for([&] { return ready(); }));
            const int kinds[] = {SIGTERM, SIGINT, SIGQUIT};
            for (int i = 0; i < c.signals; ++i) {
                const int sig = kinds[i % 3];
                kill(pid, sig);
                // One at a time: a second one of the same kind would merge with a pending one.
                wait_for([&] { return !alive(pid) || !signal_pending(pid, sig); });
            }
            notify.drain();
        };
        const RunResult result = run_driver(options);
        EXPECT_EQ(c.exit_status, result.exit_status);
        EXPECT_EQ(c.terminating_signal, result.signal);
        const size_t first_reset = result.err.find("Reset media item\n");
        if (c.terminating_signal == 0) {
            // Torn down at once: the display loop (which would reset too) never ran.
            EXPECT_NE(std::string::npos, first_reset) << result.err;
            EXPECT_EQ(std::string::npos, result.err.find("Reset media item\n", first_reset + 1))
                << result.err;
        } else {
            EXPECT_EQ(std::string::npos, first_reset) << result.err;
        }
    }
}

TEST_F(StartupTest, SecondInstanceOnTheSameMetadataDirectoryTouchesNothing) {
    // The first driver has unlocked the meta record's locks after its configuration; a second
    // one given another socket must still be refused, and leave the first's files alone.
    RunResult second;
    std::string metadata_before, metadata_after;
    bool first_ready_after = false;
    RunOptions options = stopped_when_ready({});
    const auto stop_first = options.during;
    options.during = [&](pid_t pid, const auto& err) {
        ASSERT_TRUE(wait_for([&] { return ready(); }));
        metadata_before = read_file(meta + "/metadata");
        RunOptions other;
        other.args = args({"--sock", dir.file("other.sock")});
        second = run_driver(other);
        metadata_after = read_file(meta + "/metadata");
        first_ready_after = ready();
        stop_first(pid, err);
    };
    const RunResult first = run_driver(options);
    EXPECT_EQ(1, first.exit_status);
    EXPECT_EQ(1, second.exit_status);
    EXPECT_NE(std::string::npos, second.err.find("is in use by another instance (pid "))
        << second.err;
    EXPECT_EQ(std::string::npos, second.err.find("Ready")) << second.err;
    EXPECT_EQ(metadata_before, metadata_after);
    EXPECT_TRUE(first_ready_after);
    EXPECT_NE(0, access(dir.file("other.sock").c_str(), F_OK));
}

}  // namespace
