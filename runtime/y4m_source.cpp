#include "runtime/y4m_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runtime/frame_slot.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/y4m_header.h"

namespace {
// How long the connect phase waits for a header to begin, and for it to go on once begun.
constexpr uint64_t kHeaderStartWaitUs = 1000000;
constexpr uint64_t kHeaderStallUs = 5000000;
constexpr int kPollSliceMs = 100;
constexpr uint64_t kMonoChroma = 3;  // content key: the slot's chroma planes hold 128
// Frame data is read in pieces of at most this many bytes, one piece per call of fill: between
// them the display loop sees a shutdown request and serves the control socket, however large the
// frame (a 16384x16384 frame is hundreds of megabytes, seconds of reading from a slow disk).
constexpr uint64_t kReadPiece = 2u << 20;

// Deadlines use the real clock: a test clock may stand still.
uint64_t real_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

std::string printable_prefix(const std::string& text) {
    std::string out;
    for (unsigned char c : text.substr(0, 40)) out += (c >= 0x20 && c < 0x7f) ? char(c) : '?';
    return out;
}

class y4m_source : public media_source {
  public:
    y4m_source(int fd, const item_description& spec, const y4m_format& f,
               const frame_layout& layout)
        : fd_(fd), path_(spec.name), f_(f), frame_bytes_(y4m_frame_bytes(f)) {
        format_.layout = layout;
        format_.field_flags = spec.field_flags;
        format_.rate_num = spec.fps_given ? spec.fps_num : f.rate_num ? f.rate_num : 30;
        format_.rate_den = spec.fps_given ? spec.fps_den : f.rate_num ? f.rate_den : 1;
        format_.frame_limit = spec.frames;
        format_.colour.full_range = f.full_range;
    }
    ~y4m_source() override { ::close(fd_); }

    int wait_fd() const override { return fd_; }

    fill_status fill(vexa_frame_slot* slot, uint64_t /*index*/) override {
        if (!in_data_) {
            fill_status s = read_frame_header();
            if (s != fill_status::frame) return s;
            if (frame_slot_prepare(slot, format_.layout, format_.field_flags,
                                   vexa_next_frame_id()) != 0)
                return fill_status::failed;
            if (f_.mono && slot->content_key != kMonoChroma) {
                const frame_layout& l = format_.layout;
                std::memset(frame_slot_plane(slot, 1), 128, l.c_bytes);
                std::memset(frame_slot_plane(slot, 2), 128, l.c_bytes);
                slot->content_key = kMonoChroma;
            }
            in_data_ = true;
            got_ = 0;
        }
        // The planes lie back to back from offset 0, as in the stream: read straight into the
        // shared buffer, a piece per call.
        for (uint64_t piece = 0; got_ < frame_bytes_;) {
            if (piece >= kReadPiece) return fill_status::pending;
            const uint64_t want = std::min(frame_bytes_ - got_, kReadPiece - piece);
            ssize_t n = ::read(fd_, slot->data + got_, want);
            if (n > 0) {
                got_ += static_cast<uint64_t>(n);
                piece += static_cast<uint64_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return fill_status::pending;
            if (n < 0) {
                std::fprintf(stderr, "y4m: %s: frame %llu: read failed: %s\n", path_.c_str(),
                             frame_number(), std::strerror(errno));
            } else {
                std::fprintf(stderr, "y4m: %s: frame %llu cut short (got %llu of %llu bytes)\n",
                             path_.c_str(), frame_number(), static_cast<unsigned long long>(got_),
                             static_cast<unsigned long long>(frame_bytes_));
            }
            return fill_status::failed;
        }
        in_data_ = false;
        header_.clear();
        ++frames_read_;
        return fill_status::frame;
    }

  private:
    unsigned long long frame_number() const { return frames_read_ + 1; }

    fill_status read_frame_header() {
        for (;;) {
            char c = 0;
            ssize_t n = ::read(fd_, &c, 1);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return fill_status::pending;
            if (n < 0) {
                std::fprintf(stderr, "y4m: %s: frame %llu: read failed: %s\n", path_.c_str(),
                             frame_number(), std::strerror(errno));
                return fill_status::failed;
            }
            if (n == 0) {
                if (header_.empty()) return fill_status::end;
                std::fprintf(stderr, "y4m: %s: frame %llu header cut short\n", path_.c_str(),
                             frame_number());
                return fill_status::failed;
            }
            if (c == '\n') break;
            header_ += c;
            if (header_.size() > kY4mMaxFrameHeader || (header_.size() == 5 && header_ != "FRAME"))
                break;
        }
        if (header_.size() > kY4mMaxFrameHeader || !y4m_frame_header_ok(header_)) {
            std::fprintf(stderr, "y4m: %s: frame %llu: bad frame header '%s'\n", path_.c_str(),
                         frame_number(), printable_prefix(header_).c_str());
            return fill_status::failed;
        }
        return fill_status::frame;
    }

    int fd_;
    std::string path_;
    y4m_format f_;
    uint64_t frame_bytes_;
    bool in_data_ = false;
    std::string header_;
    uint64_t got_ = 0;
    uint64_t frames_read_ = 0;
};

// Reads the header line. Returns opened / broken (reason in *error) / not_yet.
open_outcome read_stream_header(int fd, bool fifo, std::string* line, std::string* error) {
    uint64_t deadline = real_us() + kHeaderStartWaitUs;
    for (;;) {
        char c = 0;
        ssize_t n = ::read(fd, &c, 1);
        if (n == 1) {
            if (c == '\n') return open_outcome::opened;
            *line += c;
            if (line->size() > kY4mMaxHeader) {
                *error = "header line longer than " + std::to_string(kY4mMaxHeader) + " bytes";
                return open_outcome::broken;
            }
            // Garbage shows itself early: no need to wait for a newline that may never come.
            if (line->size() <= 9 &&
                std::string("YUV4MPEG2").compare(0, line->size(), *line) != 0) {
                *error = "not a YUV4MPEG2 stream (bad magic)";
                return open_outcome::broken;
            }
            deadline = real_us() + kHeaderStallUs;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            *error = std::string("read failed: ") + std::strerror(errno);
            return open_outcome::broken;
        }
        bool eof = n == 0;
        if (eof && !fifo) {
            *error = line->empty() ? "empty stream (no header)" : "header cut short";
            return open_outcome::broken;
        }
        // A FIFO reads as ended while no writer is there yet; poll tells a writer that came and
        // went (hang-up) from one that has not come.
        if (DIE4) return open_outcome::not_yet;
        uint64_t now = real_us();
        if (now >= deadline) {
            if (line->empty()) return open_outcome::not_yet;
            *error = "header cut short (writer stalled)";
            return open_outcome::broken;
        }
        uint64_t left_ms = (deadline - now + 999) / 1000;
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, left_ms < kPollSliceMs ? static_cast<int>(left_ms) : kPollSliceMs);
        if (r > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN)) {
            *error = line->empty() ? "writer closed before the header" : "header cut short";
            return open_outcome::broken;
        }
        vexa_control_wait(0);
    }
}
}  // namespace

std::unique_ptr<media_source> y4m_source_open(const item_description& spec, open_outcome* outcome,
                                              std::string* error) {
    *outcome = open_outcome::broken;
    int fd = ::open(spec.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = std::string("cannot open: ") + std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        *error = "not a stream (a directory)";
        ::close(fd);
        return nullptr;
    }
    std::string line;
    *outcome = read_stream_header(fd, S_ISFIFO(st.st_mode), &line, error);
    y4m_format f;
    frame_layout layout;
    if (*outcome == open_outcome::opened && y4m_parse_header(line, &f, error) != 0)
        *outcome = open_outcome::broken;
    // Rows back to back, planes contiguous: a frame is read as one run into its buffer.
    if (*outcome == open_outcome::opened &&
        frame_layout_compute(f.width, f.height, f.h_factor, f.v_factor, 1, &layout, error) != 0)
        *outcome = open_outcome::broken;
    if (*outcome != open_outcome::opened) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<y4m_source>(fd, spec, f, layout);
}
