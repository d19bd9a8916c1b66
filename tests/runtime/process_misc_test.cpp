#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "runtime/comm_packet.h"
#include "runtime/extra_switches.h"
#include "runtime/fault_points.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/switch_values.h"
#include "test_build/fault_switch.h"

namespace {
TEST(ProcessStatus, TextsBeginWithAComma) {
    for (const std::string& text : {cpu_status(), cpu_status(), mem_status(), shm_status()}) {
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(',', text[0]) << text;
        EXPECT_EQ(std::string::npos, text.find('?')) << text;
    }
    EXPECT_EQ(0u, cpu_status().rfind(",cpu=", 0));
}

TEST(ReplyPacket, PairsKeepTheirOrder) {
    comm_socket_v4_packet packet;
    comm_socket_v4_packet_write_nv_pair(&packet, "*active", "0");
    comm_socket_v4_packet_write_nv_pairf(&packet, "*using device", "%s: %s", "/dev/fb0",
                                         "VESA VGA");
    comm_socket_v4_packet_write_nv_pairf(&packet, "*long", "%s", std::string(5000, 'x').c_str());
    ASSERT_EQ(3u, packet.pairs.size());
    EXPECT_EQ("*active", packet.pairs[0].first);
    EXPECT_EQ("/dev/fb0: VESA VGA", packet.pairs[1].second);
    EXPECT_EQ(5000u, packet.pairs[2].second.size());
}

// The result of handling the first of `args` (after the program name) as a switch; every value it
// takes must be consumed. The switches keep pointers into `words`.
int handle_first(const std::vector<std::string>& args, std::deque<std::string>* words) {
    static char prog[] = "driver";
    const size_t first = words->size();
    words->insert(words->end(), args.begin(), args.end());
    std::vector<char*> argv{prog};
    for (size_t i = first; i < words->size(); ++i) argv.push_back((*words)[i].data());
    argv.push_back(nullptr);
    EXPECT_EQ(0, vexa_init_argv(static_cast<int>(argv.size()) - 1, argv.data()));
    char* arg = vexa_next_arg();
    EXPECT_TRUE(vexa_argv_is_switch(&arg));
    const int result = vexa_argv_std_handle_switch(arg);
    EXPECT_EQ(nullptr, vexa_next_arg()) << args[0];
    return result;
}

TEST(Arguments, StandardSwitches) {
    char* empty_argv[] = {nullptr};
    EXPECT_NE(0, vexa_init_argv(0, empty_argv));

    struct Case {
        std::vector<std::string> args;  // after the program name
        int result;                     // of handling the first switch
    } cases[] = {
        {{"--file", "/etc/tv.conf"}, 1},
        {{"--file"}, -1},
        {{"--meta", "/tmp/m"}, 1},
        {{"--meta"}, -1},
        {{"--sock", "/tmp/s"}, 1},
        {{"--sock"}, -1},
        {{"--log"}, 1},
        {{"--unpaced"}, 1},
        {{"--snapshot", "a.png"}, 1},
        {{"--snapshot"}, -1},
        {{"--virtual-fb", "nonsense"}, -1},
        {{"--virtual-fb"}, -1},
        {{"--help"}, 0},
        {{"-file", "x"}, 1},
        {{"---h"}, 0},
        {{"--fault"}, 0},  // only the test build has it
    };
    std::deque<std::string> words;
    for (const auto& c : cases) EXPECT_EQ(c.result, handle_first(c.args, &words)) << c.args[0];
    EXPECT_STREQ("/tmp/m", vexa_meta_switch);
    EXPECT_STREQ("/tmp/s", vexa_sock_switch);
    EXPECT_STREQ("a.png", vexa_snapshot_path);
    EXPECT_TRUE(vexa_unpaced && vexa_stderr_to_log);

    char word[] = "h";
    char* arg = word;
    EXPECT_EQ(0, vexa_argv_is_switch(&arg));
    vexa_file = nullptr;
    vexa_meta_switch = vexa_sock_switch = vexa_snapshot_path = nullptr;
    vexa_unpaced = vexa_stderr_to_log = false;
}

TEST(Arguments, TestBuildFaultSwitch) {
    vexa_fault_switch_install();
    std::deque<std::string> words;
    EXPECT_EQ(1, handle_first({"--fault", "selftest"}, &words));
    EXPECT_EQ(-1, handle_first({"--fault"}, &words));
    EXPECT_EQ(0, handle_first({"--bogus"}, &words));
    EXPECT_EQ(1, handle_first({"--log"}, &words)) << "the standard switches stay";
    vexa_stderr_to_log = false;
    vexa_argv_set_extra_switches(nullptr);
    EXPECT_TRUE(vexa_fault("selftest"));
    EXPECT_NE(0, vexa_self_test());
    vexa_fault_clear();
    EXPECT_EQ(0, vexa_self_test());
}

TEST(ProcessScan, FindsThisProgram) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    // Sibling test processes run this same program (ctest -j), so this one can be anywhere in the
    // scan: note every match, not the first few.
    std::vector<procfs_path_in_use_info> info(4096);
    const int found = procfs_path_in_use(self, info.data(), info.size(), 0);
    ASSERT_GE(found, 1);
    ASSERT_LE(static_cast<size_t>(found), info.size());
    bool seen = false;
    for (int i = 0; i < found; ++i) seen = seen || info[i].pid == getpid();
    EXPECT_TRUE(seen);
    // The cap stops the count whatever else runs.
    EXPECT_EQ(1, procfs_path_in_use(self, nullptr, 0, 1));
    EXPECT_EQ(0, procfs_path_in_use("/nonexistent/X", nullptr, 0, 40));
}

TEST(SystemSettings, OffFlagsAskForNothingAndFaultsFail) {
    vexa_run_as_realtime = vexa_do_mlock = false;
    EXPECT_EQ(0, vexa_set_to_realtime());
    EXPECT_EQ(0, vexa_set_to_mlock());
    vexa_run_as_realtime = vexa_do_mlock = true;
    vexa_fault_add("realtime");
    vexa_fault_add("mlock");
    EXPECT_NE(0, vexa_set_to_realtime());
    EXPECT_NE(0, vexa_set_to_mlock());
    vexa_fault_clear();
    vexa_run_as_realtime = vexa_do_mlock = false;
}
}  // namespace
