#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "runtime/comm_packet.h"
#include "runtime/fault_injection.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/switch_values.h"

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

TEST(Arguments, StandardSwitches) {
    char prog[] = "driver";
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
        {{"--fault", "selftest"}, 1},
        {{"--fault"}, -1},
        {{"--virtual-fb", "nonsense"}, -1},
        {{"--virtual-fb"}, -1},
        {{"--help"}, 0},
        {{"-file", "x"}, 1},
        {{"---h"}, 0},
    };
    std::deque<std::string> words;  // the switches keep pointers into their arguments
    for (const auto& c : cases) {
        const size_t first = words.size();
        words.insert(words.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv{prog};
        for (size_t i = first; i < words.size(); ++i) argv.push_back(words[i].data());
        argv.push_back(nullptr);
        ASSERT_EQ(0, vexa_init_argv(static_cast<int>(argv.size()) - 1, argv.data()));
        char* arg = vexa_next_arg();
        ASSERT_TRUE(vexa_argv_is_switch(&arg));
        EXPECT_EQ(c.result, vexa_argv_std_handle_switch(arg)) << c.args[0];
        EXPECT_EQ(nullptr, vexa_next_arg()) << c.args[0];
    }
    EXPECT_STREQ("/tmp/m", vexa_meta_switch);
    EXPECT_STREQ("/tmp/s", vexa_sock_switch);
    EXPECT_STREQ("a.png", vexa_snapshot_path);
    EXPECT_TRUE(vexa_unpaced && vexa_stderr_to_log);
    EXPECT_TRUE(vexa_fault("selftest"));
    EXPECT_NE(0, vexa_self_test());
    vexa_fault_clear();
    EXPECT_EQ(0, vexa_self_test());

    char word[] = "h";
    char* arg = word;
    EXPECT_EQ(0, vexa_argv_is_switch(&arg));
    vexa_file = nullptr;
    vexa_meta_switch = vexa_sock_switch = vexa_snapshot_path = nullptr;
    vexa_unpaced = vexa_stderr_to_log = false;
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
