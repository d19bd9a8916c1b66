// Video items in the real binary: a loop plays on without a seam, a network item that never
// answers leaves the driver answering and stopping at once, and without the FFmpeg module the
// binary still starts and plays everything else.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "common/emulated_command.h"
#include "common/http_server.h"
#include "e2e_harness.h"

namespace {

std::string config(const std::string& item) {
    return "item=" + item + "\nautostart item=1\nrealtime process=0\nlock memory=0\n";
}

uint64_t frames_shown(const Driver& d) {
    const std::string s = d.status();
    const size_t at = s.find("\"frames\":");
    return at == std::string::npos ? 0 : std::strtoull(s.c_str() + at + 9, nullptr, 10);
}

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string video_clip(int frames) {
    const std::string y4m = make_clip("testsrc2", "96x64", "yuv420p", frames);
    return y4m.empty() ? "" : encode_clip(y4m, {".mkv", "-c:v", "ffv1"});
}

// Three passes of a five-frame clip at its own 25 fps: the frame count rises through the loop
// points while the device stays open and the item is never reset.
TEST(VideoItem, LoopPlaysOnWithoutASeam) {
    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string clip = video_clip(5);
    ASSERT_FALSE(clip.empty());
    ScratchDir logs;
    const std::string calls = logs.file("fb0.log");
    Driver d(config(clip + ",loop"), {"--virtual-fb", "96x64x16,log=" + calls});
    ASSERT_TRUE(d.wait_for_status("\"*active\":\"1,")) << d.log();
    const int resets = d.log_count("Reset media item");
    for (int i = 0; i < 500 && frames_shown(d) < 15; ++i) usleep(10000);
    EXPECT_GE(frames_shown(d), 15u) << d.status();
    EXPECT_EQ(resets, d.log_count("Reset media item")) << d.log();
    EXPECT_EQ(1, d.log_count("Using framebuffer: /dev/fb0")) << d.log();
    const std::vector<std::string> before_stop = read_lines(calls);
    EXPECT_EQ(0, std::count(before_stop.begin(), before_stop.end(), "close"));
    EXPECT_EQ(d.stop(), 1);
    EXPECT_EQ(0, d.log_count("video:")) << d.log();
}

// The open waits for an answer that never comes: status requests are answered at once all the
// while, and SIGTERM ends the driver within a second.
TEST(VideoItem, UnansweredUrlLeavesTheDriverAnsweringAndStopping) {
    test_common::LocalHttpServer server(test_common::LocalHttpServer::mode::hang);
    Driver d(config(server.url("camera.ts")), {"--virtual-fb", "96x64x16"});
    ASSERT_TRUE(d.wait_for_status("\"status\":\"connecting\"")) << d.log();
    for (int i = 0; i < 100 && server.requests() == 0; ++i) usleep(10000);
    ASSERT_EQ(1, server.requests());
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_NE(std::string::npos, d.status().find("\"ready\":1"));
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
                  1.0);
    }
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(d.stop(SIGTERM, 1.0), 1) << d.log();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 1.0);
    EXPECT_EQ(0, d.log_count("video:")) << d.log();  // stopped, not failed
}

// A reset asked for while a live read waits for data, inside the video source: it is answered at
// once, and the source and frame buffers are freed only after the read has let go (the sanitizer
// build would see anything freed under it).
TEST(VideoItem, ResetWhileALiveReadWaits) {
    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string url = "udp://127.0.0.1:" + std::to_string(test_common::refused_port());
    Driver d(config(url), {"--virtual-fb", "64x48x16"});
    ASSERT_TRUE(d.wait_for_status("\"status\":\"connecting\"")) << d.log();
    const pid_t sender = fork();
    ASSERT_GE(sender, 0);
    if (sender == 0) {
        execl("/usr/bin/ffmpeg", "ffmpeg", "-nostdin", "-v", "quiet", "-re", "-f", "lavfi", "-i",
              "testsrc2=size=64x48:rate=25", "-t", "1.5", "-c:v", "mpeg2video", "-f", "mpegts",
              (url + "?pkt_size=1316").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    waitpid(sender, nullptr, 0);
    ASSERT_GT(frames_shown(d), 0u) << d.status() << d.log();
    usleep(500000);  // the next read waits for data that will not come
    const int resets = d.log_count("Reset media item");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ("{\"ok\":true}\n", d.ctl({"reset"}));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 1.0);
    EXPECT_GT(d.log_count("Reset media item"), resets) << d.log();
    EXPECT_NE(std::string::npos, d.status().find("\"ready\":1"));
    EXPECT_EQ(d.stop(SIGTERM, 2.0), 1) << d.log();
    EXPECT_EQ(0, d.log_count("stalled")) << d.log();
}

// The binary needs none of the FFmpeg libraries to start: they come with the module.
TEST(VideoItem, BinaryRunsWithoutTheModule) {
    // The loader lists what the binary needs (as ldd does), through the emulator in a cross-build.
    std::vector<std::string> list = {"/usr/bin/env", "LD_TRACE_LOADED_OBJECTS=1"};
    for (const std::string& w : test_common::emulated_command({VEXA_DRIVER_BINARY}))
        list.push_back(w);
    const std::string needed = run_program(list);
    ASSERT_NE(std::string::npos, needed.find("libc.so")) << needed;
    for (const char* lib : {"libavformat", "libavcodec", "libavutil", "libswscale"})
        EXPECT_EQ(std::string::npos, needed.find(lib)) << needed;

    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    // A copy of the binary with no module beside it.
    ScratchDir alone;
    const std::string binary = alone.file("vexa_out_fbdev");
    {
        std::ifstream in(VEXA_DRIVER_BINARY, std::ios::binary);
        std::ofstream out(binary, std::ios::binary);
        out << in.rdbuf();
    }
    ASSERT_EQ(0, chmod(binary.c_str(), 0755));
    const std::string y4m = make_clip("testsrc2", "96x64", "yuv420p", 3);
    ASSERT_FALSE(y4m.empty());
    {
        Driver d(config(y4m), {"--virtual-fb", "96x64x16", "--unpaced"}, binary);
        EXPECT_TRUE(d.wait_for_item_end()) << d.log();
        EXPECT_EQ(d.stop(), 1);
    }
    const std::string clip = video_clip(3);
    ASSERT_FALSE(clip.empty());
    Driver d(config(clip), {"--virtual-fb", "96x64x16"}, binary);
    EXPECT_TRUE(d.wait_for_log("video: " + clip + ": video files need the FFmpeg module"))
        << d.log();
    EXPECT_EQ(d.stop(), 1);
}

}  // namespace
