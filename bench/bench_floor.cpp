// The memory-bus floor: the plainest fast writes of as many bytes as one output frame.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_frame.h"
#include "floor_fill.h"

namespace {

void stream_write(benchmark::State& state, size_t bytes) {
    aligned_buffer dst(bytes);
    for (auto _ : state) {
        floor_fill(dst.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

int register_all() {
    for (bench_size s : kSizes) {
        for (int bpp : {16, 24, 32}) {
            const size_t bytes = size_t(s.width) * s.height * bpp / 8;
            benchmark::RegisterBenchmark(("floor/" + std::to_string(bpp) + "bpp/" +
                                          std::to_string(s.width) + "x" + std::to_string(s.height))
                                             .c_str(),
                                         [=](benchmark::State& st) { stream_write(st, bytes); })
                ->Unit(benchmark::kMillisecond);
        }
    }
    return 0;
}

const int registered = register_all();

}  // namespace
