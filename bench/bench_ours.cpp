// Our row converters (one whole frame, line by line) and frame converters.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_frame.h"
#include "pixel/frame_converters.h"
#include "pixel/row_converters.h"

namespace {

template <typename T>
using row_fn = void (*)(unsigned char*, unsigned char*, unsigned char*, T*, unsigned int,
                        yuv_to_rgb_fp_coefficients);
template <typename T>
using prep_fn = void (*)(yuv_to_rgb_coefficients, yuv_to_rgb_fp_coefficients*);

template <typename T>
void row_frame(benchmark::State& state, row_fn<T> row, prep_fn<T> prep, int factor,
               bench_size size) {
    bench_planes planes(size.width, size.height);
    aligned_buffer dst(size_t(size.width) * size.height * sizeof(T));
    const int cstride = (size.width + factor - 1) / factor;
    yuv_to_rgb_fp_coefficients k;
    prep(standard_yuv_coefficients, &k);
    for (auto _ : state) {
        for (int line = 0; line < size.height; ++line) {
            row(planes.y.data() + size_t(line) * size.width,
                planes.u.data() + size_t(line) * cstride, planes.v.data() + size_t(line) * cstride,
                reinterpret_cast<T*>(dst.data()) + size_t(line) * size.width, size.width, k);
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

int register_all() {
    for (bench_size s : kSizes) {
        const std::string d = "/" + dims(s);
        auto reg_row = [&](const char* name, auto row, auto prep, int f) {
            benchmark::RegisterBenchmark(
                ("row/" + std::string(name) + d).c_str(),
                [=](benchmark::State& st) { row_frame(st, row, prep, f, s); })
                ->Unit(benchmark::kMillisecond);
        };
        using p565 = pixel_rgb565_t;
        using p555 = pixel_rgb555_t;
        using p888 = pixel_rgb888_t;
        reg_row("yuv444_rgb565", row_fn<p565>(pixel_yuv444_to_rgb<p565>),
                prep_fn<p565>(pixel_yuv_prep_coeff_444<p565>), 1);
        reg_row("yuv422_rgb565", row_fn<p565>(pixel_yuv422_to_rgb<p565>),
                prep_fn<p565>(pixel_yuv_prep_coeff_422<p565>), 2);
        reg_row("yuv411_rgb565", row_fn<p565>(pixel_yuv411_to_rgb<p565>),
                prep_fn<p565>(pixel_yuv_prep_coeff_411<p565>), 4);
        reg_row("yuv422_rgb555", row_fn<p555>(pixel_yuv422_to_rgb<p555>),
                prep_fn<p555>(pixel_yuv_prep_coeff_422<p555>), 2);
        reg_row("yuv444_rgb888", row_fn<p888>(pixel_yuv444_to_rgb<p888>),
                prep_fn<p888>(pixel_yuv_prep_coeff_444<p888>), 1);
        reg_row("yuv422_rgb888", row_fn<p888>(pixel_yuv422_to_rgb<p888>),
                prep_fn<p888>(pixel_yuv_prep_coeff_422<p888>), 2);
        reg_row("yuv411_rgb888", row_fn<p888>(pixel_yuv411_to_rgb<p888>),
                prep_fn<p888>(pixel_yuv_prep_coeff_411<p888>), 4);

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
