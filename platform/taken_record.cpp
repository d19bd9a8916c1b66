#include "platform/taken_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/device_seam.h"

namespace platform {
namespace {

constexpr uint32_t kMagic = 0x6b617476;  // "vtak"

TakenState g_state;
char g_path[4096];

bool anything_taken(const TakenState& s) { return s.console_taken || s.mode_saved || s.map_saved; }

// Through a temporary and a rename: a process killed while writing leaves the old record whole.
void write_record() {
    if (!g_path[0]) return;
    if (!anything_taken(g_state)) {
        unlink(g_path);
        return;
    }
    char temp[sizeof g_path + 8];
    std::snprintf(temp, sizeof temp, "%s.tmp", g_path);
    const int fd = ::open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    const bool written =
        ::write(fd, &g_state, sizeof g_state) == static_cast<ssize_t>(sizeof g_state);
    if (::close(fd) != 0 || !written || rename(temp, g_path) != 0) unlink(temp);
}

void stamp() {
    g_state.magic = kMagic;
    g_state.size = sizeof g_state;
    g_state.owner_pid = getpid();
}

}  // namespace

void taken_set_record_path(const char* path) {
    g_path[0] = '\0';
    if (path && std::strlen(path) < sizeof g_path) std::strcpy(g_path, path);
}

void taken_note_console(bool taken) {
    stamp();
    g_state.console_taken = taken;
    write_record();
}

void taken_note_device(const char* path, int fd, const fb_var_screeninfo& mode) {
    stamp();
    std::snprintf(g_state.device, sizeof g_state.device, "%s", path);
    g_state.device_fd = fd;
    g_state.mode = mode;
    g_state.mode_saved = 1;
    g_state.map_saved = 0;
    write_record();
}

void taken_note_colour_map(const fb_cmap& map) {
    stamp();
    g_state.map_saved = 0;
    if (map.start == 0 && map.len > 0 && map.len <= kTakenMapEntries && map.red && map.green &&
        map.blue) {
        g_state.map_length = map.len;
        std::memcpy(g_state.red, map.red, map.len * sizeof(uint16_t));
        std::memcpy(g_state.green, map.green, map.len * sizeof(uint16_t));
        std::memcpy(g_state.blue, map.blue, map.len * sizeof(uint16_t));
        g_state.map_saved = 1;
    }
    write_record();
}

void taken_note_device_closed() {
    g_state.mode_saved = 0;
    g_state.map_saved = 0;
    g_state.device_fd = -1;
    g_state.device[0] = '\0';
    write_record();
}

const TakenState& taken_state() { return g_state; }

const char* taken_record_path() { return g_path; }

int taken_give_back(const TakenState& state, bool open_fd) {
    DeviceSeam& s = seam();
    int result = 0;
    if (state.console_taken && s.set_console_graphics(false) != 0) result = -1;
    if (!state.mode_saved && !state.map_saved) return result;
    int fd = open_fd ? state.device_fd : -1;
    const bool opened_here = fd < 0;
    if (opened_here) fd = state.device[0] ? s.open(state.device, O_RDWR) : -1;
    if (fd < 0) return -1;
    if (state.map_saved) {
        // fb_cmap wants writable arrays; static ones, as a signal handler cannot allocate.
        static uint16_t red[kTakenMapEntries], green[kTakenMapEntries], blue[kTakenMapEntries];
        std::memcpy(red, state.red, sizeof red);
        std::memcpy(green, state.green, sizeof green);
        std::memcpy(blue, state.blue, sizeof blue);
        fb_cmap map{};
        map.start = 0;
        map.len = state.map_length;
        map.red = red;
        map.green = green;
        map.blue = blue;
        if (s.ioctl(fd, FBIOPUTCMAP, &map) != 0) result = -1;
    }
    if (state.mode_saved) {
        fb_var_screeninfo mode = state.mode;
        if (s.ioctl(fd, FBIOPUT_VSCREENINFO, &mode) != 0) result = -1;
    }
    if (opened_here) s.close(fd);
    return result;
}

int taken_read_record(const char* path, TakenState* out) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return -1;
    TakenState record;
    const ssize_t n = ::read(fd, &record, sizeof record);
    ::close(fd);
    if (n != static_cast<ssize_t>(sizeof record) || record.magic != kMagic ||
        record.size != sizeof record || record.map_length > kTakenMapEntries)
        return -1;
    record.device[sizeof record.device - 1] = '\0';
    record.device_fd = -1;
    *out = record;
    return 0;
}

}  // namespace platform
