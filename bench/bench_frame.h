// Source planes and a 64-byte aligned destination for one benchmark frame.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>

#include "pixel/frame_converters.h"

struct bench_size {
    int width, height;
};
constexpr bench_size kSizes[] = {{1920, 1080}, {1280, 720}};

class aligned_buffer {
  public:
    explicit aligned_buffer(size_t bytes) : size_(bytes) {
        data_ = static_cast<uint8_t*>(std::aligned_alloc(64, (bytes + 63) / 64 * 64));
        std::memset(data_, 0, bytes);
    }
    ~aligned_buffer() { std::free(data_); }
    aligned_buffer(const aligned_buffer&) = delete;
    aligned_buffer& operator=(const aligned_buffer&) = delete;
    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    uint8_t* data_;
    size_t size_;
};

// Full-resolution planes with random video-range samples; subsampled layouts use a prefix of
// the chroma planes with their own strides.
struct bench_planes {
    int width, height;
    aligned_buffer y, u, v;
    bench_planes(int w, int h)
        : width(w), height(h), y(size_t(w) * h), u(size_t(w) * h), v(size_t(w) * h) {
        std::mt19937 rng(1);
        for (const aligned_buffer* p : {&y, &u, &v}) {
            for (size_t i = 0; i < p->size(); ++i) p->data()[i] = 16 + rng() % 220;
        }
    }
};

// The frame converters and the four chroma layouts, by the names the benchmarks print.
struct bench_format {
    const char* name;
    frame_converter convert;
    size_t pixel_size;
};
constexpr bench_format kFormats[] = {
    {"rgb565", frame_yuv_to_rgb565, 2}, {"bgr565", frame_yuv_to_bgr565, 2},
    {"rgb555", frame_yuv_to_rgb555, 2}, {"bgr555", frame_yuv_to_bgr555, 2},
    {"rgb888", frame_yuv_to_rgb888, 4}, {"bgr888", frame_yuv_to_bgr888, 4},
    {"rgb24", frame_yuv_to_rgb24, 3},   {"bgr24", frame_yuv_to_bgr24, 3}};

struct bench_layout {
    const char* name;
    int h, v;
};
constexpr bench_layout kLayouts[] = {{"444", 1, 1}, {"422", 2, 1}, {"420", 2, 2}, {"411", 4, 1}};
