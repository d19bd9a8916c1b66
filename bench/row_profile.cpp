// A plain driver for instruction-count profiles (valgrind --tool=callgrind), where a timed
// benchmark harness would only add noise: converts a few frames through one frame converter.
// Usage: row_profile FORMAT LAYOUT WIDTH HEIGHT FRAMES
//   FORMAT rgb565|bgr565|rgb555|bgr555|rgb888|bgr888, LAYOUT 444|422|420|411
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_frame.h"
#include "pixel/frame_converters.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: row_profile FORMAT LAYOUT WIDTH HEIGHT FRAMES\n");
        return 2;
    }
    const auto* f = std::end(kFormats);
    for (const auto& c : kFormats) {
        if (std::strcmp(argv[1], c.name) == 0) f = &c;
    }
    const auto* l = std::end(kLayouts);
    for (const auto& c : kLayouts) {
        if (std::strcmp(argv[2], c.name) == 0) l = &c;
    }
    const int width = std::atoi(argv[3]), height = std::atoi(argv[4]), frames = std::atoi(argv[5]);
    if (f == std::end(kFormats) || l == std::end(kLayouts) || width <= 0 || width > 65535 ||
        height <= 0 || frames <= 0) {
        std::fprintf(stderr, "row_profile: bad format, layout or size\n");
        return 2;
    }

    bench_planes planes(width, height);
    aligned_buffer dst(size_t(width) * height * f->pixel_size);
    frame_image_shortcuts layout{};
    layout.y_stride = uint16_t(width);
    layout.u_stride = layout.v_stride = uint16_t((width + l->h - 1) / l->h);
    for (int i = 0; i < frames; ++i) {
        f->convert(dst.data(), &layout, uint32_t(width), uint32_t(height), uint8_t(l->h),
                   uint8_t(l->v), planes.y.data(), planes.u.data(), planes.v.data(),
                   uint32_t(width * f->pixel_size));
    }
    unsigned sum = 0;
    for (size_t i = 0; i < dst.size(); i += 4096) sum += dst.data()[i];
    std::printf("%u\n", sum);
    return 0;
}
