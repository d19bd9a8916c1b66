// Tear-free output on the real binary: live vsync changes over the control socket, seen in the
// status and in the emulated device's call log.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

long count(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
}

// Waits until the call log holds `line` at least `times` times.
bool wait_for_calls(const std::string& path, const std::string& line, long times) {
    for (int i = 0; i < 1000; ++i) {
        if (count(read_lines(path), line) >= times) return true;
        usleep(10000);
    }
    return false;
}

TEST(TearFree, LiveChangesWaitThenFlipAndCloseShowsPageZeroAgain) {
    ScratchDir logs;
    const std::string calls = logs.file("fb0.log");
    Driver d("item=pattern:moving,64x48\nautostart item=1\nrealtime process=0\nlock memory=0\n",
             {"--virtual-fb", "64x48x16,vyres=96,log=" + calls});
    ASSERT_TRUE(d.wait_for_status("\"*active\":\"1,")) << d.log();
    EXPECT_EQ(d.status().find(",vsync="), std::string::npos) << "nothing asked for, nothing shown";

    EXPECT_EQ(d.ctl({"set", "vsync", "1"}), "{\"ok\":true}\n");
    ASSERT_TRUE(d.wait_for_status(",vsync=1,vwaits=")) << d.status();
    ASSERT_TRUE(wait_for_calls(calls, "ioctl FBIO_WAITFORVSYNC", 2));
    EXPECT_EQ(d.ctl({"set", "vsync", "2"}), "{\"ok\":true}\n");
    ASSERT_TRUE(d.wait_for_status(",vsync=2,")) << d.status();
    ASSERT_TRUE(d.wait_for_log("Drawing mode change, reopening the framebuffer")) << d.log();
    ASSERT_TRUE(wait_for_calls(calls, "ioctl FBIOPAN_DISPLAY 0", 2));  // flips both ways
    const int resets = d.log_count("Reset media item");
    EXPECT_EQ(d.stop(SIGTERM), 1) << d.log();

    const std::vector<std::string> lines = read_lines(calls);
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    EXPECT_EQ(count(lines, "open /dev/fb0"), 2) << "opened, then reopened to flip\n" << all;
    EXPECT_GE(count(lines, "ioctl FBIOPAN_DISPLAY 48"), 2) << all;
    EXPECT_GE(count(lines, "ioctl FBIOPAN_DISPLAY 0"), 2) << all;
    // One reset at the loop's end and one at teardown: no setting restarted the item.
    EXPECT_EQ(d.log_count("Reset media item"), resets + 2) << d.log();
    EXPECT_EQ(resets, 1) << "the configuration's item line only\n" << d.log();
    // Both pages cleared; page 0 shown again if page 1 was; the mode as found written back.
    const auto unmap = std::find(lines.rbegin(), lines.rend(), "unmap 12288 zeroed");
    ASSERT_NE(unmap, lines.rend()) << all;
    std::vector<std::string> after(unmap.base(), lines.end());
    if (!after.empty() && after[0] == "ioctl FBIOPAN_DISPLAY 0") after.erase(after.begin());
    EXPECT_EQ(after,
              (std::vector<std::string>{"ioctl FBIOPUT_VSCREENINFO 64x48x16 as-opened", "close"}))
        << all;
}

}  // namespace
