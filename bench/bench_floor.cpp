// The memory-bus floor: streaming-store writes of as many bytes as one output frame.
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <string>

#include "bench_frame.h"

namespace {

void stream_write(benchmark::State& state, size_t bytes) {
    aligned_buffer dst(bytes);
    const __m128i value = _mm_set1_epi16(0x1234);
    for (auto _ : state) {
        __m128i* p = reinterpret_cast<__m128i*>(dst.data());
        for (size_t i = 0; i < bytes / 16; ++i) _mm_stream_si128(p + i, value);
        _mm_sfence();
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
