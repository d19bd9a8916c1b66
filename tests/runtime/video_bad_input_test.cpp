// Video items that cannot play, or break while playing: one clear line each, no crash, no hang;
// network items served from 127.0.0.1; nothing kept across many item changes.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "common/http_server.h"
#include "video_fixture.h"

namespace {
using namespace media_test;
using namespace video_test;
using test_common::LocalHttpServer;

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// An H.264 clip long enough to damage in the middle; moov first, so a cut copy still opens.
std::string h264_clip() {
    return make_video("bad_base.mp4", source_args("64x48", 40, 25),
                      "-c:v libx264 -g 10 -movflags +faststart");
}

class VideoBadInputTest : public VideoTest {
  protected:
    // Makes a broken copy of the base clip.
    std::string broken(const char* name, const std::string& bytes) {
        const std::string path = temp_dir + "/" + name;
        write_file(path, bytes);
        return path;
    }
};

TEST_F(VideoBadInputTest, BrokenFilesTellOneLine) {
    const std::string clip = h264_clip();
    ASSERT_FALSE(clip.empty());
    const std::string good = file_bytes(clip);
    std::string flipped = good;
    srand(7);
    for (int i = 0; i < 60; ++i)
        flipped[good.size() / 3 + rand() % (good.size() / 3)] ^= static_cast<char>(1 << (i % 8));
    const std::string no_index =
        file_bytes(make_video("bad_tail_index.mp4", source_args("64x48", 40, 25), "-c:v libx264"));
    struct bad_case {
        const char* name;
        std::string bytes;
        bool opens;        // else the connect fails
        const char* line;  // the one line told
    } const cases[] = {
        {"notes.mp4", "These are not the pictures you are looking for.\n", false,
         "no video that can be read"},
        {"index_cut.mp4", no_index.substr(0, no_index.size() / 2), false,
         "no video that can be read"},
        {"cut.mp4", good.substr(0, good.size() / 2), true, "damaged data near frame"},
        {"flipped.mp4", flipped, true, "damaged data near frame"},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = broken(c.name, c.bytes);
        stderr_capture err;
        const int connected = connect(path);
        size_t frames = 0;
        if (connected == 0) frames = play().size();
        const std::string text = err.text();
        EXPECT_EQ(c.opens ? 0 : 1, connected);
        EXPECT_EQ(1, line_count(text)) << text;
        EXPECT_NE(std::string::npos, text.find("video: " + path + ": " + c.line)) << text;
        EXPECT_EQ(c.opens, frames > 0);
        reset();
    }
}

TEST_F(VideoBadInputTest, HttpItemPlaysAsTheFileDoes) {
    const std::string clip = h264_clip();
    ASSERT_FALSE(clip.empty());
    LocalHttpServer server(LocalHttpServer::mode::serve, clip);
    const auto reference = decode_reference(clip, "yuv420p", 64, 48);
    stderr_capture err;
    ASSERT_EQ(0, connect(server.url("clip.mp4")));
    const std::vector<picture> shown = play();
    EXPECT_EQ("", err.text());
    ASSERT_EQ(reference.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_TRUE(shown[i].samples == reference[i]) << "picture " << i;
}

TEST_F(VideoBadInputTest, NetworkFailuresTellOneLineAndNeverHang) {
    const std::string clip = h264_clip();
    ASSERT_FALSE(clip.empty());
    {
        SCOPED_TRACE("refused");
        const std::string url =
            "http://127.0.0.1:" + std::to_string(test_common::refused_port()) + "/clip.mp4";
        stderr_capture err;
        EXPECT_EQ(1, connect(url));
        const std::string text = err.text();
        EXPECT_EQ(1, line_count(text)) << text;
        EXPECT_NE(std::string::npos, text.find("video: " + url + ": cannot open: ")) << text;
    }
    {
        SCOPED_TRACE("cut short");
        LocalHttpServer server(LocalHttpServer::mode::cut, clip);
        stderr_capture err;
        ASSERT_EQ(0, connect(server.url("clip.mp4")));
        EXPECT_GT(play().size(), 0u);
        const std::string text = err.text();
        EXPECT_EQ(1, line_count(text)) << text;
        reset();
    }
    {
        SCOPED_TRACE("no answer");
        LocalHttpServer server(LocalHttpServer::mode::hang);
        const auto t0 = std::chrono::steady_clock::now();
        stderr_capture err;
        EXPECT_EQ(1, connect(server.url("clip.mp4")));
        const std::string text = err.text();
        EXPECT_LT(seconds_since(t0), 7.0);
        EXPECT_EQ(1, line_count(text)) << text;
        EXPECT_NE(std::string::npos, text.find("no answer in 5 s")) << text;
    }
    {
        SCOPED_TRACE("shutdown while waiting for an answer");
        LocalHttpServer server(LocalHttpServer::mode::hang);
        std::thread shutdown([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            DIE4 = 1;
        });
        const auto t0 = std::chrono::steady_clock::now();
        stderr_capture err;
        EXPECT_EQ(1, connect(server.url("clip.mp4")));
        shutdown.join();
        EXPECT_LT(seconds_since(t0), 1.0);
        EXPECT_EQ("", err.text());  // not the item's fault: nothing to tell
        DIE4 = 0;
    }
}

// A live stream over UDP from 127.0.0.1 plays as it arrives (no pacing of its own), and when the
// sender stops, the item ends after 5 s without data, with one line.
TEST_F(VideoBadInputTest, LiveStreamThatStopsEndsWithOneLine) {
    const int port = test_common::refused_port();  // free on 127.0.0.1
    const std::string url = "udp://127.0.0.1:" + std::to_string(port);
    const pid_t sender = fork();
    ASSERT_GE(sender, 0);
    if (sender == 0) {
        usleep(300000);  // the item opens first
        execlp("ffmpeg", "ffmpeg", "-nostdin", "-v", "quiet", "-re", "-f", "lavfi", "-i",
               "testsrc2=size=64x48:rate=25", "-t", "2", "-c:v", "mpeg2video", "-f", "mpegts",
               (url + "?pkt_size=1316").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    stderr_capture err;
    const auto t0 = std::chrono::steady_clock::now();
    const int connected = connect(url);
    size_t frames = 0;
    if (connected == 0) frames = play(1000).size();
    const std::string text = err.text();
    waitpid(sender, nullptr, 0);
    ASSERT_EQ(0, connected) << text;
    EXPECT_GT(frames, 10u);
    EXPECT_EQ(1, line_count(text)) << text;
    EXPECT_NE(std::string::npos, text.find("video: " + url + ": stalled: no data for 5 s")) << text;
    EXPECT_LT(seconds_since(t0), 20.0);  // 2 s of stream, 5 s of silence, probing: no hang
}

// Item changes must give back what each open took: descriptors exactly, memory within the
// allocator's slack. Sanitizer builds keep freed memory in quarantine, so only descriptors count
// there (their leak check covers the rest at exit).
TEST_F(VideoBadInputTest, HundredItemChangesKeepNothing) {
    const std::string clip = h264_clip();
    ASSERT_FALSE(clip.empty());
    auto change = [&](int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(0, connect(clip + (i % 2 ? ",loop" : "")));
            OutputBufferFrame* f = nullptr;
            for (int tries = 0; tries < 100 && !f; ++tries) f = take();
            ASSERT_NE(nullptr, f);
            f->discard_src_frame();
            reset();
        }
    };
    change(10);  // the libraries' one-time set-up
    const int fds = open_descriptors();
    const uint64_t rss = resident_kib();
    change(100);
    std::printf("  100 item changes: descriptors %d -> %d, resident %llu -> %llu KiB\n", fds,
                open_descriptors(), static_cast<unsigned long long>(rss),
                static_cast<unsigned long long>(resident_kib()));
    EXPECT_EQ(fds, open_descriptors());
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(resident_kib(), rss + 8 * 1024);
#endif
}

}  // namespace
