#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "video_fixture.h"

namespace video_test {
namespace {
const std::string& clip_dir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/vexa_video_clips_XXXXXX";
        std::string made = mkdtemp(pattern) ? pattern : "/tmp";
        // Removed when the test program ends.
        static std::string keep = made;
        std::atexit([] { std::system(("rm -rf '" + keep + "'").c_str()); });
        return made;
    }();
    return dir;
}

int run(const std::string& command) { return std::system((command + " </dev/null").c_str()); }
}  // namespace

std::string source_args(const std::string& size, int frames, int rate) {
    return "-f lavfi -i testsrc2=size=" + size + ":rate=" + std::to_string(rate) + " -frames:v " +
           std::to_string(frames);
}

bool have_encoder() { return run("ffmpeg -version >/dev/null 2>&1") == 0; }

std::string make_video(const std::string& name, const std::string& input,
                       const std::string& output) {
    static std::map<std::string, std::string> made;
    const std::string key = name + "|" + input + "|" + output;
    auto it = made.find(key);
    if (it != made.end()) return it->second;
    const std::string path = clip_dir() + "/" + name;
    const std::string cmd =
        "ffmpeg -nostdin -v error -y " + input + " " + output + " '" + path + "' 2>&1";
    std::string result = run(cmd) == 0 ? path : "";
    made[key] = result;
    return result;
}

std::vector<std::vector<uint8_t>> decode_reference(const std::string& clip,
                                                   const std::string& pix_fmt, uint32_t width,
                                                   uint32_t height) {
    std::vector<std::vector<uint8_t>> frames;
    const std::string raw = clip + "." + pix_fmt + ".raw";
    if (run("ffmpeg -nostdin -v error -y -i '" + clip + "' -f rawvideo -pix_fmt " + pix_fmt + " '" +
            raw + "'") != 0)
        return frames;
    std::ifstream in(raw, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    uint32_t cw = width, ch = height;
    if (pix_fmt == "yuv420p" || pix_fmt == "yuvj420p") cw = (width + 1) / 2, ch = (height + 1) / 2;
    if (pix_fmt == "yuv422p" || pix_fmt == "yuvj422p") cw = (width + 1) / 2;
    if (pix_fmt == "yuv411p") cw = (width + 3) / 4;
    const size_t size = size_t{width} * height + 2 * size_t{cw} * ch;
    for (size_t at = 0; at + size <= bytes.size(); at += size)
        frames.emplace_back(bytes.begin() + at, bytes.begin() + at + size);
    return frames;
}

uint64_t resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
    return 0;
}

int open_descriptors() {
    int count = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++count;
        closedir(d);
    }
    return count;
}

}  // namespace video_test
