// Ours: every kernel table entry at every instruction-set level this processor runs (a whole
// frame, line by line, chroma lines shared as the layout says), and the frame converters as the
// driver calls them (the best level, or the one VEXA_CPU allows).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_frame.h"
#include "pixel/frame_converters.h"
#include "pixel/kernel_table.h"

namespace {

void level_frame(benchmark::State& state, const pixel_kernel& kernel, int vfactor, bench_size s) {
    bench_planes planes(s.width, s.height);
    aligned_buffer dst(size_t(s.width) * s.height * kernel.pixel_size);
    const size_t cstride = (s.width + kernel.factor - 1) / kernel.factor;
    yuv_to_rgb_fp_coefficients k;
    pixel_prepare_for(kernel, standard_yuv_coefficients, &k);
    for (auto _ : state) {
        for (int line = 0; line < s.height; ++line) {
            const size_t c = size_t(line / vfactor) * cstride;
            kernel.row(planes.y.data() + size_t(line) * s.width, planes.u.data() + c,
                       planes.v.data() + c, dst.data() + size_t(line) * s.width * kernel.pixel_size,
                       s.width, k);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * dst.size());
}

void frame(benchmark::State& state, frame_converter convert, size_t pixel_size, int hfactor,
           int vfactor, bench_size size) {
    bench_planes planes(size.width, size.height);
    aligned_buffer dst(size_t(size.width) * size.height * pixel_size);
    frame_image_shortcuts layout{};
    layout.y_stride = uint16_t(size.width);
    layout.u_stride = layout.v_stride = uint16_t((size.width + hfactor - 1) / hfactor);
    for (auto _ : state) {
        convert(dst.data(), &layout, size.width, size.height, uint8_t(hfactor), uint8_t(vfactor),
                planes.y.data(), planes.u.data(), planes.v.data(),
                uint32_t(size.width * pixel_size));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * dst.size());
}

std::string dims(bench_size s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

// Kept for the whole run: the benchmarks hold references into them.
struct level_tables {
    std::string name[8];
    pixel_kernel_table table[8];
    size_t count = 0;
};

level_tables& runnable_levels() {
    static level_tables levels = [] {
        level_tables l;
        l.name[0] = "c";
        l.table[0] = pixel_build_kernel_table(0);
        l.count = 1;
        size_t n = 0;
        const pixel_isa_level* ladder = pixel_isa_levels(&n);
        for (size_t i = 0; i < n && l.count < 8; ++i) {
            if (!ladder[i].available()) continue;
            l.name[l.count] = ladder[i].name;
            l.table[l.count] = pixel_build_kernel_table(i + 1);
            ++l.count;
        }
        return l;
    }();
    return levels;
}

int register_all() {
    const char* kinds[] = {"rgb565", "rgb555", "rgb888", "rgb24"};
    level_tables& levels = runnable_levels();
    for (bench_size s : kSizes) {
        const std::string d = "/" + dims(s);
        for (size_t l = 0; l < levels.count; ++l) {
            for (int p = 0; p < kPixelKinds; ++p) {
                for (const auto& lay : kLayouts) {
                    const int c = lay.h == 1 ? 0 : lay.h == 2 ? 1 : 2;
                    const pixel_kernel& kernel = levels.table[l].entry[p][c];
                    const int v = lay.v;
                    benchmark::RegisterBenchmark(
                        ("level/" + levels.name[l] + "/" + kinds[p] + "/" + lay.name + d).c_str(),
                        [&kernel, v, s](benchmark::State& st) { level_frame(st, kernel, v, s); })
                        ->Unit(benchmark::kMillisecond);
                }
            }
        }
        for (const auto& f : kFormats) {
            for (const auto& l : kLayouts) {
                const frame_converter conv = f.convert;
                const size_t px = f.pixel_size;
                const int h = l.h, v = l.v;
                benchmark::RegisterBenchmark(
                    ("frame/" + std::string(f.name) + "/" + l.name + d).c_str(),
                    [=](benchmark::State& st) { frame(st, conv, px, h, v, s); })
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    return 0;
}

const int registered = register_all();

}  // namespace
