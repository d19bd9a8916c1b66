// Runs the real driver and vexa_ctl as child processes, in a scratch directory of their own,
// and makes clips with the system's encoder.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "y4m.h"

// A scratch directory, removed with everything in it when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// One driver process: configuration file, metadata directory and log in its own scratch dir.
class Driver {
  public:
    // Writes `config` as the configuration file and starts the driver (this binary) with it and
    // `switches`. `meta`: another metadata directory than the driver's own.
    Driver(const std::string& config, const std::vector<std::string>& switches,
           const std::string& binary = VEXA_DRIVER_BINARY, const std::string& meta = "");
    ~Driver();  // kills the process if it still runs

    // Waits until the log holds `text` (true) or `seconds` pass (false).
    bool wait_for_log(const std::string& text, double seconds = 10) const;
    // Number of times `text` occurs in the log so far.
    int log_count(const std::string& text) const;
    std::string log() const;
    // Polls `vexa_ctl status` until its reply holds `text`; true when it did.
    bool wait_for_status(const std::string& text, double seconds = 10) const;
    // Waits until the item has played to its end and the device is closed again: from then until
    // autostart starts it anew, the snapshot shows the item's last frame.
    bool wait_for_item_end(double seconds = 10) const;
    // Runs vexa_ctl with these words against this driver's socket; its standard output.
    std::string ctl(const std::vector<std::string>& words) const;
    std::string status() const { return ctl({"status"}); }
    // SIGTERM (or another signal) and the exit status; -1 when it did not exit in time.
    int stop(int signal_number = 15, double seconds = 10);
    const ScratchDir& dir() const { return dir_; }
    std::string meta() const { return meta_; }
    std::string snapshot() const { return dir_.file("screen.png"); }

  private:
    ScratchDir dir_;
    std::string meta_;
    pid_t pid_ = -1;
};

// Runs a program to its end (at most `seconds`); its standard output.
std::string run_program(const std::vector<std::string>& args, double seconds = 30);

// Runs a program to its end with standard error to err_path; its exit status, 128 + signal when
// killed, -1 when it did not end in time (it is then killed).
int run_to_end(const std::vector<std::string>& args, const std::string& err_path,
               double seconds = 20);

// The whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

// A clip made by the encoder: source is an input filter such as "testsrc2" or "smptebars",
// size "WxH", pix_fmt "yuv420p" and the like. Made once per process and cached.
std::string make_clip(const std::string& source, const std::string& size,
                      const std::string& pix_fmt, int frames);
// The clip encoded into a video file: args[0] is the file's extension, the rest the encoder's
// output arguments. Made once per process and cached; "" when the encoder failed.
std::string encode_clip(const std::string& clip, const std::vector<std::string>& args);
// True when the encoder is there; the tests that need clips skip without it.
bool have_encoder();

struct RgbImage {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> pixels;  // R, G, B a pixel
};
bool read_png(const std::string& path, RgbImage* image);
// A clip read back, failing the current test when it cannot be.
Y4mClip load_clip(const std::string& path);
