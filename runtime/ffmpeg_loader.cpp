// Loads the video-file module on first use and hands it what it needs of the runtime.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "runtime/ffmpeg_module.h"
#include "runtime/frame_slot.h"
#include "runtime/media_state.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace {
constexpr const char* kModuleName = "vexa_media_ffmpeg.so";

// The item the module is working for: a stop or another item abandons it.
std::string g_item;

void serve_requests() { vexa_control_wait(0); }

bool abandoned() {
    const media_state& m = media();
    return DIE4 != 0 || !m.started || m.started_item != g_item || m.close_pending;
}

const ffmpeg_host g_host = {frame_slot_prepare, frame_layout_compute, vexa_next_frame_id,
                            serve_requests, abandoned};

std::string executable_dir() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    char* slash = std::strrchr(path, '/');
    if (slash) *slash = '\0';
    return path;
}

// Beside the binary's lib directory (the build tree and an installed tree look alike), then the
// directory it was built to be installed in.
ffmpeg_open_function load(std::string* error) {
    static ffmpeg_open_function open_fn = nullptr;
    static std::string load_error;
    static bool tried = false;
    if (tried) {
        *error = load_error;
        return open_fn;
    }
    tried = true;
    const std::string candidates[] = {
        executable_dir() + "/../lib/vexa_out_fbdev/" + kModuleName,
        std::string(VEXA_MODULE_DIR) + "/" + kModuleName,
    };
    for (const std::string& path : candidates) {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            load_error = std::string("cannot load the FFmpeg module: ") + (why ? why : path);
            return nullptr;
        }
        open_fn = reinterpret_cast<ffmpeg_open_function>(dlsym(handle, VEXA_FFMPEG_OPEN_SYMBOL));
        if (!open_fn) load_error = "the FFmpeg module at " + path + " has no entry point";
        return open_fn;
    }
    load_error = "video files need the FFmpeg module (" + std::string(kModuleName) +
                 "), which is not installed";
    return nullptr;
}
}  // namespace

bool item_is_video_file(const item_description& spec) {
    if (spec.name.find("://") != std::string::npos) return true;
    // A .y4m name, or a file that begins like one, is the YUV4MPEG2 source's to read or refuse.
    const std::string suffix = ".y4m";
    if (spec.name.size() >= suffix.size() &&
        spec.name.compare(spec.name.size() - suffix.size(), suffix.size(), suffix) == 0)
        return false;
    struct stat st {};
    if (stat(spec.name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FILE* f = std::fopen(spec.name.c_str(), "rb");
    if (!f) return false;
    char magic[8] = {};
    const size_t got = std::fread(magic, 1, sizeof magic, f);
    std::fclose(f);
    // An empty file is told so by the YUV4MPEG2 source.
    return got > 0 && std::memcmp(magic, "YUV4MPEG", got) != 0;
}

const char* const kVideoUrlSchemes[] = {"http://", "https://", "rtsp://", "rtsps://",
                                        "rtmp://", "rtmps://", "rtp://",  "udp://",
                                        "srt://",  "tcp://",   nullptr};

std::unique_ptr<media_source> video_item_open(const item_description& spec, open_outcome* outcome) {
    *outcome = open_outcome::broken;
    if (spec.fps_given) {
        std::fprintf(stderr, "video: %s: fps= does not apply: a video keeps its own timing\n",
                     spec.name.c_str());
        return nullptr;
    }
    std::string error;
    ffmpeg_open_function open_fn = load(&error);
    std::unique_ptr<media_source> source;
    if (open_fn) {
        g_item = media().started_item;
        source.reset(open_fn(&g_host, spec, outcome, &error));
    }
    if (!source && *outcome == open_outcome::broken)
        std::fprintf(stderr, "video: %s: %s\n", spec.name.c_str(), error.c_str());
    return source;
}
