// The real binary from the outside: control requests at each stage, live changes, signals,
// autostart and a pipe whose writer dies.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/emulated_command.h"
#include "e2e_harness.h"
#include "reference.h"

namespace {

const char kSettings[] = "realtime process=0\nlock memory=0\n";

std::string config(const std::string& item, bool autostart) {
    return "item=" + item + "\nautostart item=" + (autostart ? "1" : "0") + "\n" + kSettings;
}

// Waits for `count` occurrences of `text` in the driver's log.
bool wait_for_count(const Driver& d, const std::string& text, int count, double seconds = 10) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (d.log_count(text) >= count) return true;
        usleep(10000);
    }
    return false;
}

void expect_snapshot_shows(const Driver& d, const Y4mClip& clip, unsigned frame, Quantisation q) {
    RgbImage shown;
    ASSERT_TRUE(read_png(d.snapshot(), &shown)) << d.log();
    Comparison c = compare_with_reference(
        clip, frame, {shown.width, shown.height, shown.pixels.data()}, q, Field::both);
    EXPECT_GT(c.compared, 0u);
    EXPECT_EQ(c.outside, 0u) << describe(c);
}

TEST(Lifecycle, StatusBeforeFirstFrameWhilePlayingAndAfterFailedOpen) {
    Driver d(config("pattern:bars,64x48", false), {"--virtual-fb", "64x48x16"});
    ASSERT_TRUE(d.wait_for_status("\"ready\":1")) << d.log();
    std::string before = d.status();
    EXPECT_NE(before.find("\"*active\":\"0"), std::string::npos) << before;
    EXPECT_NE(before.find("\"*last error\":\"\",\"*last notes\":\"\""), std::string::npos)
        << before;
    EXPECT_NE(before.find("\"*using device\":\": \",\"*using fbcon\":\"\",\"*pixel level\":\""),
              std::string::npos)
        << before;

    EXPECT_EQ(d.ctl({"start"}), "{\"ok\":true}\n");
    ASSERT_TRUE(d.wait_for_status("\"*active\":\"1,bpp=16,argbw=0:5:6:5,argbp=0:11:5:0,"))
        << d.status() << d.log();
    std::string playing = d.status();
    EXPECT_NE(playing.find(",res=64x48"), std::string::npos) << playing;
    EXPECT_NE(playing.find("\"*using device\":\"/dev/fb0: "), std::string::npos) << playing;
    EXPECT_EQ(playing.find("\"frames\":0,"), std::string::npos) << playing;

    EXPECT_EQ(d.ctl({"set", "device", "/dev/fb3"}), "{\"ok\":true}\n");
    ASSERT_TRUE(d.wait_for_status(
        "\"*last error\":\"Unable to open framebuffer, No such file or directory\""))
        << d.status() << d.log();
    std::string failed = d.status();
    EXPECT_NE(failed.find("\"*active\":\"0"), std::string::npos) << failed;
    EXPECT_NE(failed.find("\"*using fbcon\":\"\","), std::string::npos) << failed;
    EXPECT_EQ(d.stop(), 1);
}

TEST(Lifecycle, PixelLevelIsLoggedOnceAndReported) {
    // VEXA_CPU=c holds every processor to the scalar code, so the level is known here.
    setenv("VEXA_CPU", "c", 1);
    Driver d(config("pattern:bars,64x48", true), {"--virtual-fb", "64x48x16"});
    unsetenv("VEXA_CPU");
    ASSERT_TRUE(d.wait_for_status("\"*active\":\"1,")) << d.status() << d.log();
    EXPECT_NE(d.status().find("\"*pixel level\":\"c\""), std::string::npos) << d.status();
    EXPECT_EQ(1, d.log_count("Pixel converters: ")) << d.log();
    EXPECT_EQ(1, d.log_count("Pixel converters: c\n")) << d.log();
    EXPECT_EQ(d.stop(), 1);
}

TEST(Lifecycle, LiveItemChangePlaysTheNewItem) {
    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    std::string bars = make_clip("smptebars", "160x120", "yuv420p", 3);
    ASSERT_FALSE(bars.empty());
    Driver d(config("pattern:moving,160x120", true), {"--virtual-fb", "160x120x32", "--unpaced"});
    ASSERT_TRUE(d.wait_for_status("\"*active\":\"1,")) << d.log();
    EXPECT_EQ(d.ctl({"set", "item", bars}), "{\"ok\":true}\n");
    ASSERT_TRUE(d.wait_for_status("\"item\":\"" + bars + "\"")) << d.status();
    ASSERT_TRUE(d.wait_for_item_end()) << d.status() << d.log();
    EXPECT_EQ(d.stop(), 1);
    expect_snapshot_shows(d, load_clip(bars), 2, kExact8);
}

TEST(Lifecycle, LiveDeviceChangeMovesToTheSecondDevice) {
    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    std::string clip = make_clip("testsrc2", "160x120", "yuv422p", 3);
    ASSERT_FALSE(clip.empty());
    Driver d(config("pattern:moving,160x120", true), {"--virtual-fb", "160x120x16", "--virtual-fb",
                                                      "160x120x32,bgr,id=second", "--unpaced"});
    ASSERT_TRUE(d.wait_for_status("\"*using device\":\"/dev/fb0: ")) << d.log();
    EXPECT_EQ(d.ctl({"set", "device", "/dev/fb1"}), "{\"ok\":true}\n");
    ASSERT_TRUE(d.wait_for_status("\"*using device\":\"/dev/fb1: second\"")) << d.status();
    EXPECT_NE(d.status().find("\"*active\":\"1,bpp=32,argbw=0:8:8:8,argbp=0:0:8:16,"),
              std::string::npos)
        << d.status();
    // A clip on the second device, to see its blue-first pixels.
    d.ctl({"set", "item", clip});
    ASSERT_TRUE(d.wait_for_item_end()) << d.status() << d.log();
    EXPECT_EQ(d.stop(), 1);
    expect_snapshot_shows(d, load_clip(clip), 2, kExact8);
}

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The device's own call log, written by the emulation inside the driver as each call happens,
// shows from outside what the teardown gave back and in which order.
// A terminal hang-up is an orderly stop as well.
TEST(Lifecycle, SigtermOrHangupDuringPlayGivesEverythingBackInOrder) {
    const struct {
        const char* spec;
        bool direct_colour;
        std::vector<std::string> teardown;  // the last lines of the device's call log
    } cases[] = {
        {"64x48x16,direct,fbcon",
         true,
         {"console text", "ioctl FBIOPUTCMAP restores-original", "unmap 6144 zeroed",
          "ioctl FBIOPUT_VSCREENINFO 64x48x16 as-opened", "close"}},
        // True colour: no colour map call at all.
        {"64x48x32,fbcon",
         false,
         {"console text", "unmap 12288 zeroed", "ioctl FBIOPUT_VSCREENINFO 64x48x32 as-opened",
          "close"}},
    };
    for (const int signal_number : {SIGTERM, SIGHUP})
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.spec) + " signal " + std::to_string(signal_number));
            ScratchDir logs;
            std::string calls = logs.file("fb0.log");
            Driver d(config("pattern:moving,64x48", true),
                     {"--virtual-fb", std::string(c.spec) + ",log=" + calls});
            ASSERT_TRUE(d.wait_for_status("\"*active\":\"1,")) << d.log();
            EXPECT_NE(d.status().find("Taking fbcon. "), std::string::npos) << d.status();
            int resets = d.log_count("Reset media item");
            EXPECT_EQ(d.stop(signal_number), 1) << d.log();
            // The loop's end of cycle and the teardown each reset the item.
            EXPECT_EQ(d.log_count("Reset media item"), resets + 2) << d.log();

            std::vector<std::string> lines = read_lines(calls);
            std::string all;
            for (const std::string& line : lines) all += line + "\n";
            ASSERT_GE(lines.size(), c.teardown.size()) << all;
            std::vector<std::string> tail(lines.end() - c.teardown.size(), lines.end());
            EXPECT_EQ(tail, c.teardown) << all;
            EXPECT_EQ(std::count(lines.begin(), lines.end(), "console graphics"), 1) << all;
            bool colour_map_calls = all.find("CMAP") != std::string::npos;
            EXPECT_EQ(colour_map_calls, c.direct_colour) << all;
            EXPECT_NE(read_file(d.dir().file("meta/status")).find("ready=0\n"), std::string::npos);
            EXPECT_NE(access(d.dir().file("meta/control.sock").c_str(), F_OK), 0);
        }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A slow item: the driver spends nearly all its time waiting, not inside the allocator, where a
// signal handler calling into the emulated device (which allocates, unlike the kernel's) would
// wait for ever.
const char kSlowItem[] = "pattern:moving,64x48,fps=2";
const char kDirectDevice[] = "64x48x16,direct,fbcon";

// The last `count` lines of the device's call log.
std::vector<std::string> last_calls(const std::string& path, size_t count) {
    std::vector<std::string> lines = read_lines(path);
    if (lines.size() > count) lines.erase(lines.begin(), lines.end() - count);
    return lines;
}

const std::vector<std::string> kGivenBack = {"console text", "ioctl FBIOPUTCMAP restores-original",
                                             "ioctl FBIOPUT_VSCREENINFO 64x48x16 as-opened"};

// Deaths that run no teardown: a handler gives back the console, the colour map and the mode
// (the screen keeps its last picture), marks the status stopped and removes the socket, and the
// signal then ends the process as it would have.
TEST(Lifecycle, FatalOrUnhandledSignalGivesBackConsoleColourMapAndMode) {
    for (const int signal_number : {SIGUSR1, SIGUSR2, SIGALRM, SIGABRT, SIGILL, SIGSEGV, SIGBUS}) {
        SCOPED_TRACE(signal_number);
        ScratchDir logs;
        const std::string calls = logs.file("fb0.log");
        Driver d(config(kSlowItem, true),
                 {"--virtual-fb", std::string(kDirectDevice) + ",log=" + calls});
        ASSERT_TRUE(d.wait_for_status("\"*active\":\"1,")) << d.log();
        const int status = d.stop(signal_number);
        // The sanitizer reports these itself, after the handler, and exits on its own terms.
        if (!kSanitized || (signal_number != SIGSEGV && signal_number != SIGBUS)) {
            EXPECT_EQ(status, 128 + signal_number) << d.log();
        }
        EXPECT_EQ(last_calls(calls, 3), kGivenBack) << d.log();
        const std::string state = read_file(d.meta() + "/status");
        EXPECT_NE(
            state.find("text=Stopped by signal " + std::to_string(signal_number) + "\nready=0\n"),
            std::string::npos)
            << state;
        EXPECT_NE(access((d.meta() + "/control.sock").c_str(), F_OK), 0);
        EXPECT_NE(access((d.meta() + "/taken").c_str(), F_OK), 0);
    }
}

// SIGKILL runs nothing: the record of what was taken stays in the metadata directory, vexa_ctl
// says the driver is gone, and --restore, or the next start on the directory, gives it back.
TEST(Lifecycle, KilledOutrightIsPutBackByRestoreOrTheNextStart) {
    ScratchDir logs;
    const std::string calls = logs.file("fb0.log");
    const std::string device = std::string(kDirectDevice) + ",log=" + calls;
    Driver killed(config(kSlowItem, true), {"--virtual-fb", device});
    ASSERT_TRUE(killed.wait_for_status("\"*active\":\"1,")) << killed.log();
    EXPECT_EQ(killed.stop(SIGKILL), 128 + SIGKILL);
    const std::string meta = killed.meta();
    EXPECT_EQ(access((meta + "/taken").c_str(), F_OK), 0);

    const std::string ctl_err = logs.file("ctl.err");
    EXPECT_EQ(run_to_end(test_common::emulated_command(
                             {VEXA_CTL_BINARY, "--sock", meta + "/control.sock", "status"}),
                         ctl_err),
              1);
    EXPECT_NE(read_file(ctl_err).find("is not running"), std::string::npos) << read_file(ctl_err);

    const std::vector<std::string> restore = test_common::emulated_command(
        {VEXA_DRIVER_BINARY, "--restore", "--file", killed.dir().file("fb.conf"), "--meta", meta,
         "--virtual-fb", device});
    const std::string restore_err = logs.file("restore.err");
    EXPECT_EQ(run_to_end(restore, restore_err), 0) << read_file(restore_err);
    EXPECT_NE(read_file(restore_err).find("left taken: console, /dev/fb0 mode, colour map"),
              std::string::npos)
        << read_file(restore_err);
    // In the order of an orderly stop; the device is opened by its path for it.
    const std::vector<std::string> expected = {"console text", "open /dev/fb0", kGivenBack[1],
                                               kGivenBack[2], "close"};
    EXPECT_EQ(last_calls(calls, 5), expected);
    EXPECT_NE(access((meta + "/taken").c_str(), F_OK), 0);
    EXPECT_NE(access((meta + "/control.sock").c_str(), F_OK), 0);
    EXPECT_NE(read_file(meta + "/status").find("ready=0\n"), std::string::npos);
    // Once more: nothing is left, and that is no failure.
    EXPECT_EQ(run_to_end(restore, restore_err), 0);
    EXPECT_NE(read_file(restore_err).find("Nothing left taken"), std::string::npos);

    // Killed again; this time the next start puts things back before it plays.
    Driver again(config(kSlowItem, true), {"--virtual-fb", device}, VEXA_DRIVER_BINARY, meta);
    ASSERT_TRUE(again.wait_for_status("\"*active\":\"1,")) << again.log();
    EXPECT_EQ(again.stop(SIGKILL), 128 + SIGKILL);
    Driver next(config(kSlowItem, true), {"--virtual-fb", device}, VEXA_DRIVER_BINARY, meta);
    ASSERT_TRUE(next.wait_for_status("\"*active\":\"1,")) << next.log();
    EXPECT_NE(next.log().find("left taken: console, /dev/fb0 mode, colour map"), std::string::npos)
        << next.log();
    // A running driver's things are its own to give back.
    EXPECT_EQ(run_to_end(restore, restore_err), 1);
    EXPECT_NE(read_file(restore_err).find("in use by another instance"), std::string::npos)
        << read_file(restore_err);
    EXPECT_EQ(next.stop(), 1);
}

TEST(Lifecycle, AutostartReplaysTheItem) {
    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    std::string clip = make_clip("testsrc2", "96x64", "yuv420p", 3);
    ASSERT_FALSE(clip.empty());
    Driver d(config(clip, true), {"--virtual-fb", "96x64x16", "--unpaced"});
    // Each play opens the device once; the second open comes from autostart alone.
    ASSERT_TRUE(wait_for_count(d, "Using framebuffer: /dev/fb0", 2, 8)) << d.log();
    EXPECT_EQ(d.stop(), 1);
}

// Writes `bytes` into the FIFO once the driver has opened it, then closes it.
void feed_fifo(const std::string& fifo, const std::string& bytes) {
    int fd = -1;
    for (int i = 0; i < 1000 && fd < 0; ++i) {
        fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) usleep(10000);  // ENXIO: no reader yet
    }
    if (fd < 0) return;
    fcntl(fd, F_SETFL, 0);
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
    }
    close(fd);
}

TEST(Lifecycle, FifoWriterDyingMidFrameIsRecoveredOnTheNextCycle) {
    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    std::string clip = make_clip("testsrc2", "96x64", "yuv420p", 3);
    ASSERT_FALSE(clip.empty());
    std::ifstream in(clip, std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ScratchDir scratch;
    std::string fifo = scratch.file("feed.y4m");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    Driver d(config(fifo, true), {"--virtual-fb", "96x64x16", "--unpaced"});
    // The first writer dies half way through its second frame.
    size_t frame_bytes = 6 + 96 * 64 * 3 / 2;
    size_t header = whole.find('\n') + 1;
    std::thread first(feed_fifo, fifo, whole.substr(0, header + frame_bytes + frame_bytes / 2));
    first.join();
    ASSERT_TRUE(d.wait_for_item_end()) << d.status() << d.log();
    EXPECT_EQ(d.log_count("cut short"), 1) << d.log();
    // The next cycle reads a whole clip from a new writer.
    std::thread second(feed_fifo, fifo, whole);
    second.join();
    ASSERT_TRUE(wait_for_count(d, "Using framebuffer: /dev/fb0", 2)) << d.log();
    ASSERT_TRUE(d.wait_for_item_end()) << d.status() << d.log();
    EXPECT_EQ(d.stop(), 1);
    expect_snapshot_shows(d, load_clip(clip), 2, kDithered5);
}

}  // namespace
