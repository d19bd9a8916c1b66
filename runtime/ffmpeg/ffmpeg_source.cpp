// Video files and network streams through the FFmpeg libraries: the best video stream is decoded,
// every picture written once into a frame slot and given its own time, so variable frame rates
// pace as they were made.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstring>

#include "runtime/ffmpeg/picture_writer.h"
#include "runtime/ffmpeg_module.h"
#include "runtime/frame_slot.h"

namespace {
// How long an open may take, and how long a read may wait for data, before the item ends.
constexpr uint64_t kOpenTimeoutUs = 5000000;
constexpr uint64_t kStallUs = 5000000;
constexpr uint64_t kProbeTimeoutUs = 10000000;
// While a read waits, the control socket is served this often.
constexpr uint64_t kServeEveryUs = 20000;
// A jump in the timestamps larger than this is a break in the stream, not a long frame.
constexpr uint64_t kLargestStepUs = 10000000;
constexpr int kHighestRate = 1000;
constexpr AVRational kMicroseconds = {1, 1000000};
// Decoding errors in a row, with no picture between them, after which the item ends.
constexpr int kErrorsInRow = 100;

uint64_t real_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

std::string av_text(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Protocols that deliver as the far end sends: they are paced by their arrival.
bool live_protocol(const std::string& name) {
    for (const char* p :
         {"rtsp://", "rtsps://", "rtp://", "udp://", "srt://", "rtmp://", "rtmps://", "tcp://"})
        if (name.rfind(p, 0) == 0) return true;
    return false;
}

class ffmpeg_source : public media_source {
  public:
    ffmpeg_source(const ffmpeg_host* host, const item_description& spec)
        : host_(host),
          name_(spec.name),
          loop_(spec.loop),
          start_us_(spec.start_us),
          writer_width_(spec.scale_width),
          writer_height_(spec.scale_height),
          writer_(host, spec.field_flags, spec.scale_width, spec.scale_height) {
        format_.field_flags = spec.field_flags;
        format_.frame_limit = spec.frames;
        format_.timestamped = true;
    }

    ~ffmpeg_source() override {
        closing_ = true;  // a close may wait on the network: never serve requests from there
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&decoder_);
        avformat_close_input(&input_);
    }

    open_outcome open(std::string* error) {
        input_ = avformat_alloc_context();
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (!input_ || !packet_ || !frame_) {
            *error = "out of memory";
            return open_outcome::broken;
        }
        input_->interrupt_callback = AVIOInterruptCB{&ffmpeg_source::interrupt, this};
        deadline_us_ = real_us() + kOpenTimeoutUs;
        int r = avformat_open_input(&input_, name_.c_str(), nullptr, nullptr);
        if (r < 0) return failed_open("cannot open", r, error);
        // Finding the streams may read a while into a slow network stream.
        deadline_us_ = real_us() + kProbeTimeoutUs;
        r = avformat_find_stream_info(input_, nullptr);
        if (r < 0) return failed_open("no stream information", r, error);
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(input_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream_ == AVERROR_DECODER_NOT_FOUND) {
            *error = "no decoder for its video";
            return open_outcome::broken;
        }
        if (stream_ < 0) {
            *error = "no video stream";
            return open_outcome::broken;
        }
        // Audio, subtitles and other video streams are not read at all.
        for (unsigned i = 0; i < input_->nb_streams; ++i)
            if (static_cast<int>(i) != stream_) input_->streams[i]->discard = AVDISCARD_ALL;
        AVStream* st = input_->streams[stream_];
        time_base_ = st->time_base;
        if (open_decoder(codec, st->codecpar, error) != 0) return open_outcome::broken;

        const AVCodecParameters* par = st->codecpar;
        if (par->width <= 0 || par->height <= 0) {
            *error = "its video has no picture size";
            return open_outcome::broken;
        }
        const picture_plan plan = picture_plan_for(static_cast<AVPixelFormat>(par->format),
                                                   par->color_space, par->color_range);
        format_.colour = plan.colour;
        writer_.set_colour(plan.colour);
        const uint32_t w = spec_width(par->width), h = spec_height(par->height);
        if (host_->layout_compute(w, h, plan.h_factor, plan.v_factor, 64, &format_.layout, error) !=
            0)
            return open_outcome::broken;
        const AVRational rate = av_guess_frame_rate(input_, st, nullptr);
        // Container time bases (90 kHz and the like) are no frame rate.
        if (rate.num > 0 && rate.den > 0 && rate.num / rate.den <= kHighestRate) {
            format_.rate_num = static_cast<uint32_t>(rate.num);
            format_.rate_den = static_cast<uint32_t>(rate.den);
        }
        step_us_ = static_cast<uint64_t>(1000000) * format_.rate_den / format_.rate_num;
        // A stream that has no end and cannot be wound back is live, wherever it comes from.
        const bool seekable = input_->pb && (input_->pb->seekable & AVIO_SEEKABLE_NORMAL);
        live_ = live_protocol(name_) || (!seekable && input_->duration == AV_NOPTS_VALUE);
        // A live stream comes at its own pace; showing it as it arrives keeps it from falling
        // behind.
        format_.paced = !live_;
        if (start_us_ && seek_to_start() != 0) {
            *error = "cannot start at " + std::to_string(start_us_ / 1e6) + " s (not seekable)";
            return open_outcome::broken;
        }
        return open_outcome::opened;
    }

    fill_status fill(vexa_frame_slot* slot, uint64_t /*index*/) override {
        for (;;) {
            if (host_->abandoned()) return fill_status::pending;
            int r = avcodec_receive_frame(decoder_, frame_);
            if (r == 0) {
                errors_in_row_ = 0;
                fill_status s = deliver(slot);
                av_frame_unref(frame_);
                if (s == fill_status::pending) continue;  // before the start: not shown
                return s;
            }
            if (r == AVERROR_EOF) {
                if (loop_ && pass_frames_ > 0 && rewind() == 0) continue;
                if (delivered_ == 0)
                    std::fprintf(stderr, "video: %s: no picture to show%s\n", name_.c_str(),
                                 start_us_ ? " from the start given" : "");
                return fill_status::end;
            }
            // Threaded decoders tell of damaged data here, a picture later; the decoder goes on
            // with the next picture, unless nothing but errors come.
            if (r != AVERROR(EAGAIN)) {
                note_damage();
                if (++errors_in_row_ < kErrorsInRow) continue;
                std::fprintf(stderr, "video: %s: decoding failed: %s\n", name_.c_str(),
                             av_text(r).c_str());
                return fill_status::failed;
            }
            fill_status s = feed_decoder();
            if (s != fill_status::frame) return s;
        }
    }

  private:
    uint32_t spec_width(int w) const {
        return writer_width_ ? writer_width_ : static_cast<uint32_t>(w);
    }
    uint32_t spec_height(int h) const {
        return writer_height_ ? writer_height_ : static_cast<uint32_t>(h);
    }

    open_outcome failed_open(const char* what, int code, std::string* error) {
        if (host_->abandoned()) return open_outcome::not_yet;
        if (code == AVERROR_EXIT)
            *error = std::string(what) + ": no answer in " +
                     std::to_string(kOpenTimeoutUs / 1000000) + " s";
        else if (code == AVERROR_INVALIDDATA)
            *error = "no video that can be read (invalid or incomplete data)";
        else
            *error = std::string(what) + ": " + av_text(code);
        return open_outcome::broken;
    }

    int open_decoder(const AVCodec* codec, const AVCodecParameters* par, std::string* error) {
        decoder_ = avcodec_alloc_context3(codec);
        if (!decoder_ || avcodec_parameters_to_context(decoder_, par) < 0) {
            *error = "cannot set up the decoder";
            return -1;
        }
        decoder_->pkt_timebase = time_base_;
        decoder_->thread_count = 0;  // as many as the machine has: decoding is the big cost
        // The decoder's threads must leave shutdown signals to the driver's thread, whose waits
        // they cut short.
        sigset_t block, old;
        sigemptyset(&block);
        for (int s : {SIGTERM, SIGINT, SIGQUIT}) sigaddset(&block, s);
        pthread_sigmask(SIG_BLOCK, &block, &old);
        const int r = avcodec_open2(decoder_, codec, nullptr);
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        if (r < 0) {
            *error = "cannot open the " + std::string(codec->name) + " decoder: " + av_text(r);
            return -1;
        }
        return 0;
    }

    // Reads until one packet of the video stream went to the decoder (frame), or the input ends
    // (the decoder is told to drain: frame too), breaks or stalls.
    fill_status feed_decoder() {
        if (draining_) return fill_status::end;
        for (;;) {
            deadline_us_ = real_us() + kStallUs;
            int r = av_read_frame(input_, packet_);
            if (r == AVERROR_EOF || (r < 0 && input_->pb && avio_feof(input_->pb) && !live_)) {
                draining_ = true;
                avcodec_send_packet(decoder_, nullptr);
                return fill_status::frame;
            }
            if (r < 0) {
                if (host_->abandoned()) return fill_status::pending;
                if (r == AVERROR_EXIT)
                    std::fprintf(stderr, "video: %s: stalled: no data for %llu s\n", name_.c_str(),
                                 static_cast<unsigned long long>(kStallUs / 1000000));
                else
                    std::fprintf(stderr, "video: %s: read failed: %s\n", name_.c_str(),
                                 av_text(r).c_str());
                return fill_status::failed;
            }
            if (packet_->stream_index != stream_) {
                av_packet_unref(packet_);
                continue;
            }
            r = avcodec_send_packet(decoder_, packet_);
            av_packet_unref(packet_);
            if (r < 0 && r != AVERROR(EAGAIN)) note_damage();
            return fill_status::frame;
        }
    }

    // Gives the decoded picture its time and writes it into the slot; pending for a picture
    // before the start, which is not shown.
    fill_status deliver(vexa_frame_slot* slot) {
        if (frame_->decode_error_flags || (frame_->flags & AV_FRAME_FLAG_CORRUPT)) note_damage();
        int64_t pts = frame_->best_effort_timestamp;
        int64_t pts_us = pts == AV_NOPTS_VALUE ? -1 : av_rescale_q(pts, time_base_, kMicroseconds);
        if (start_us_ && pts_us >= 0 && pts_us < start_target_us_) return fill_status::pending;
        uint64_t time = delivered_ == 0 ? 0 : last_time_us_ + step_us_;
        if (pts_us >= 0) {
            if (!pass_started_) {
                pass_started_ = true;
                pass_first_us_ = pts_us;
            }
            const int64_t offset = pts_us - pass_first_us_;
            // A timestamp that runs back, or leaps, is a break: the picture follows its
            // predecessor at the usual step.
            if (offset >= 0) {
                const uint64_t t = pass_base_us_ + static_cast<uint64_t>(offset);
                if (delivered_ == 0 || (t > last_time_us_ && t - last_time_us_ <= kLargestStepUs))
                    time = t;
            }
        }
        std::string error;
        if (writer_.write(frame_, slot, &error) != 0) {
            std::fprintf(stderr, "video: %s: frame %llu: %s\n", name_.c_str(),
                         static_cast<unsigned long long>(delivered_ + 1), error.c_str());
            return fill_status::failed;
        }
        if (delivered_ > 0 && time > last_time_us_) step_us_ = time - last_time_us_;
        slot->time_us = time;
        last_time_us_ = time;
        ++delivered_;
        ++pass_frames_;
        return fill_status::frame;
    }

    void note_damage() {
        if (damage_told_) return;
        damage_told_ = true;
        std::fprintf(stderr, "video: %s: damaged data near frame %llu; playing on\n", name_.c_str(),
                     static_cast<unsigned long long>(delivered_ + 1));
    }

    int seek_to_start() {
        const int64_t origin = input_->start_time == AV_NOPTS_VALUE ? 0 : input_->start_time;
        const int64_t target = origin + static_cast<int64_t>(start_us_);
        start_target_us_ = av_rescale_q(target, AV_TIME_BASE_Q, kMicroseconds);
        // Stream timestamps count from the stream's own start.
        const AVStream* st = input_->streams[stream_];
        if (st->start_time != AV_NOPTS_VALUE)
            start_target_us_ = av_rescale_q(st->start_time, time_base_, kMicroseconds) +
                               static_cast<int64_t>(start_us_);
        deadline_us_ = real_us() + kStallUs;
        if (avformat_seek_file(input_, -1, INT64_MIN, target, target, 0) < 0) return -1;
        avcodec_flush_buffers(decoder_);
        return 0;
    }

    // The next pass of a loop: back to the start, its first picture one step after the last one.
    int rewind() {
        deadline_us_ = real_us() + kStallUs;
        int r;
        if (start_us_) {
            r = seek_to_start();
        } else {
            const AVStream* st = input_->streams[stream_];
            const int64_t first = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
            r = av_seek_frame(input_, stream_, first, AVSEEK_FLAG_BACKWARD);
            if (r >= 0) avcodec_flush_buffers(decoder_);
        }
        if (r < 0) {
            std::fprintf(stderr, "video: %s: cannot loop (the input cannot be rewound)\n",
                         name_.c_str());
            return -1;
        }
        draining_ = false;
        pass_started_ = false;
        pass_base_us_ = last_time_us_ + step_us_;
        pass_frames_ = 0;
        return 0;
    }

    static int interrupt(void* opaque) {
        auto* self = static_cast<ffmpeg_source*>(opaque);
        if (self->closing_) return 1;
        const uint64_t now = real_us();
        if (now >= self->next_serve_us_) {
            self->next_serve_us_ = now + kServeEveryUs;
            self->host_->serve_requests();
        }
        return self->host_->abandoned() || now >= self->deadline_us_;
    }

    const ffmpeg_host* host_;
    std::string name_;
    bool loop_;
    uint64_t start_us_;
    uint32_t writer_width_ = 0, writer_height_ = 0;
    picture_writer writer_;

    AVFormatContext* input_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    AVRational time_base_{1, 1};
    bool live_ = false;
    bool draining_ = false;
    bool closing_ = false;
    bool damage_told_ = false;
    int errors_in_row_ = 0;
    uint64_t deadline_us_ = 0, next_serve_us_ = 0;

    // Timeline: a pass is one play from the start; loops add passes end to end.
    int64_t start_target_us_ = 0;
    bool pass_started_ = false;
    int64_t pass_first_us_ = 0;
    uint64_t pass_base_us_ = 0;
    uint64_t last_time_us_ = 0;
    uint64_t step_us_ = 33333;
    uint64_t delivered_ = 0, pass_frames_ = 0;
};
}  // namespace

extern "C" __attribute__((visibility("default"))) media_source* vexa_ffmpeg_source_open(
    const ffmpeg_host* host, const item_description& spec, open_outcome* outcome,
    std::string* error) {
    av_log_set_level(AV_LOG_QUIET);  // failures are told in one line of our own
    auto* source = new ffmpeg_source(host, spec);
    *outcome = source->open(error);
    if (*outcome == open_outcome::opened) return source;
    delete source;
    return nullptr;
}
