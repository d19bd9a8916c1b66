// Peer: swscale, same-size planar YUV to rgb565le / bgr0.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <string>

#include "bench_frame.h"

namespace {

void convert(benchmark::State& state, AVPixelFormat from, int hfactor, int vfactor,
             AVPixelFormat to, size_t pixel_size, bench_size s) {
    bench_planes planes(s.width, s.height);
    aligned_buffer dst(size_t(s.width) * s.height * pixel_size);
    SwsContext* ctx = sws_getContext(s.width, s.height, from, s.width, s.height, to, SWS_BILINEAR,
                                     nullptr, nullptr, nullptr);
    if (!ctx) {
        state.SkipWithError("sws_getContext failed");
        return;
    }
    const int cstride = (s.width + hfactor - 1) / hfactor;
    const uint8_t* const src[3] = {planes.y.data(), planes.u.data(), planes.v.data()};
    const int src_stride[3] = {s.width, cstride, cstride};
    uint8_t* const out[1] = {dst.data()};
    const int out_stride[1] = {int(s.width * pixel_size)};
    (void)vfactor;
    for (auto _ : state) {
        sws_scale(ctx, src, src_stride, 0, s.height, out, out_stride);
        benchmark::ClobberMemory();
    }
    sws_freeContext(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * dst.size());
}

int register_all() {
    const struct {
        const char* name;
        AVPixelFormat from;
        int h, v;
    } inputs[] = {{"yuv420p", AV_PIX_FMT_YUV420P, 2, 2},
                  {"yuv422p", AV_PIX_FMT_YUV422P, 2, 1},
                  {"yuv444p", AV_PIX_FMT_YUV444P, 1, 1},
                  {"yuv411p", AV_PIX_FMT_YUV411P, 4, 1}};
    const struct {
        const char* name;
        AVPixelFormat to;
        size_t size;
    } outputs[] = {{"rgb565le", AV_PIX_FMT_RGB565LE, 2}, {"bgr0", AV_PIX_FMT_BGR0, 4}};
    for (bench_size s : kSizes) {
        for (const auto& i : inputs) {
            for (const auto& o : outputs) {
                const AVPixelFormat from = i.from, to = o.to;
                const int h = i.h, v = i.v;
                const size_t px = o.size;
                benchmark::RegisterBenchmark(
                    ("swscale/" + std::string(i.name) + "->" + o.name + "/" +
                     std::to_string(s.width) + "x" + std::to_string(s.height))
                        .c_str(),
                    [=](benchmark::State& st) { convert(st, from, h, v, to, px, s); })
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    return 0;
}

const int registered = register_all();

}  // namespace
