// What the driver has taken from the system (the console, a device's mode and colour map), kept
// so that it can be given back on any way out: in memory for a fatal signal, and in a record file
// in the metadata directory for a death that runs no code at all (SIGKILL).
#pragma once

#include <linux/fb.h>

#include <cstdint>

namespace platform {

constexpr uint32_t kTakenMapEntries = 256;

// Plain data: written to the record file as it is, and read by a later process.
struct TakenState {
    uint32_t magic = 0;
    uint32_t size = 0;
    int32_t owner_pid = 0;
    int32_t console_taken = 0;  // the active virtual terminal was put in graphics mode
    int32_t mode_saved = 0;     // `mode` is the device's mode as first opened
    int32_t map_saved = 0;      // the colour map below is the device's as first opened
    int32_t device_fd = -1;     // this process's descriptor; meaningless in a record file
    char device[64] = {};
    fb_var_screeninfo mode{};
    uint32_t map_length = 0;
    uint16_t red[kTakenMapEntries] = {}, green[kTakenMapEntries] = {}, blue[kTakenMapEntries] = {};
};

// Where the record file lives; null or "" keeps the state in memory only. The path is copied; the
// file is first written at the next note.
void taken_set_record_path(const char* path);
// Notes of the console, device and colour map as they are taken and given back. Each rewrites the
// record file (and removes it when nothing is taken).
void taken_note_console(bool taken);
void taken_note_device(const char* path, int fd, const fb_var_screeninfo& mode);
void taken_note_colour_map(const fb_cmap& map);  // maps longer than 256 entries are not kept
void taken_note_device_closed();
const TakenState& taken_state();

// Gives back what `state` holds through the device seam: the console to text mode, then the
// colour map and the mode, on the open descriptor when `open_fd` is set, else on the device opened
// by its path. 0 when every step succeeded. With the kernel behind the seam this makes only
// async-signal-safe calls (open, ioctl, close), so a signal handler may call it.
int taken_give_back(const TakenState& state, bool open_fd);
// The record file's path as set (empty when none); safe in a signal handler.
const char* taken_record_path();
// Reads a record file. 0 when it holds a record; -1 when it is absent or not a record.
int taken_read_record(const char* path, TakenState* out);

}  // namespace platform
