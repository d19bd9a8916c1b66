// Peer: libyuv's planar YUV to RGB565 / ARGB conversions.
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <string>

#include "bench_frame.h"

namespace {

using i4xx_fn = int (*)(const uint8_t*, int, const uint8_t*, int, const uint8_t*, int, uint8_t*,
                        int, int, int);

void convert(benchmark::State& state, i4xx_fn fn, int hfactor, size_t pixel_size, bench_size s) {
    bench_planes planes(s.width, s.height);
    aligned_buffer dst(size_t(s.width) * s.height * pixel_size);
    const int cstride = (s.width + hfactor - 1) / hfactor;
    for (auto _ : state) {
        fn(planes.y.data(), s.width, planes.u.data(), cstride, planes.v.data(), cstride, dst.data(),
           int(s.width * pixel_size), s.width, s.height);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * dst.size());
}

int register_all() {
    const struct {
        const char* name;
        i4xx_fn fn;
        int h;
        size_t size;
    } peers[] = {{"I420ToRGB565", libyuv::I420ToRGB565, 2, 2},
                 {"I422ToRGB565", libyuv::I422ToRGB565, 2, 2},
                 {"I420ToARGB", libyuv::I420ToARGB, 2, 4},
                 {"I422ToARGB", libyuv::I422ToARGB, 2, 4},
                 {"I444ToARGB", libyuv::I444ToARGB, 1, 4}};
    for (bench_size s : kSizes) {
        for (const auto& p : peers) {
            const auto fn = p.fn;
            const int h = p.h;
            const size_t px = p.size;
            benchmark::RegisterBenchmark(("libyuv/" + std::string(p.name) + "/" +
                                          std::to_string(s.width) + "x" + std::to_string(s.height))
                                             .c_str(),
                                         [=](benchmark::State& st) { convert(st, fn, h, px, s); })
                ->Unit(benchmark::kMillisecond);
        }
    }
    return 0;
}

const int registered = register_all();

}  // namespace
