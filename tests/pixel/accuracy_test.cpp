// Colour accuracy of every frame converter against a double-precision BT.601 limited-range
// reference, over a grid of YUV colours, in 8-bit units.
//
// Measured largest errors (red, green, blue), the same in every chroma layout:
//   24/32-bit:  2.51, 2.71, 2.88 (fixed-point gains and truncation, never rounding)
//   16-bit:  8.86, 8.74, 6.89 with this run's dither; up to 13.4 once the pattern has run for
//            a while (5-bit truncation, up to 8 levels of luma dither, 5-to-8-bit expansion)
//   15-bit generic (4:4:4, 4:1:1): 6.89, 7.77, 6.89
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixel/dither.h"
#include "pixel/dither_draws.h"
#include "pixel/frame_converters.h"
#include "runtime/yuv_coefficients.h"

namespace {

struct rgb {
    double r, g, b;
};

rgb bt601_limited(int y, int u, int v) {
    const double ys = (y - 16) * 255.0 / 219.0;
    const double cb = (u - 128) * 255.0 / 224.0, cr = (v - 128) * 255.0 / 224.0;
    const double kr = 0.299, kb = 0.114, kg = 1 - kr - kb;
    auto clamp = [](double x) { return std::clamp(x, 0.0, 255.0); };
    return {clamp(ys + 2 * (1 - kr) * cr),
            clamp(ys - 2 * (1 - kb) * kb / kg * cb - 2 * (1 - kr) * kr / kg * cr),
            clamp(ys + 2 * (1 - kb) * cb)};
}

struct format {
    const char* name;
    frame_converter convert;
    unsigned size, bits, red_shift, green_shift, blue_shift;
    double bound;
};

double expand(uint32_t field, unsigned bits) {
    return bits == 8 ? field : (field << 3 | field >> 2);
}

TEST(Accuracy, EveryConverterAgainstDoubleReference) {
    const format formats[] = {
        {"rgb565", frame_yuv_to_rgb565, 2, 5, 11, 6, 0, 16},
        {"bgr565", frame_yuv_to_bgr565, 2, 5, 0, 6, 11, 16},
        {"rgb555", frame_yuv_to_rgb555, 2, 5, 10, 5, 0, 16},
        {"bgr555", frame_yuv_to_bgr555, 2, 5, 0, 5, 10, 16},
        {"rgb888", frame_yuv_to_rgb888, 4, 8, 16, 8, 0, 3},
        {"bgr888", frame_yuv_to_bgr888, 4, 8, 0, 8, 16, 3},
        {"rgb24", frame_yuv_to_rgb24, 3, 8, 16, 8, 0, 3},
        {"bgr24", frame_yuv_to_bgr24, 3, 8, 0, 8, 16, 3},
    };
    // Colour grid; each colour fills a group of four pixels, so all layouts see it whole.
    std::vector<int> ys, cs;
    for (int y = 16; y <= 235; y += 73 / 3) ys.push_back(y);
    for (int c = 16; c <= 240; c += 28) cs.push_back(c);
    std::vector<int> gy, gu, gv;
    for (int y : ys)
        for (int u : cs)
            for (int v : cs) gy.push_back(y), gu.push_back(u), gv.push_back(v);
    const uint32_t groups = gy.size(), width = 4 * groups, height = 2;

    for (const format& f : formats) {
        for (uint8_t h : {1, 2, 4}) {
            std::vector<uint8_t> y(width * height), u(width * height), v(width * height);
            for (uint32_t line = 0; line < height; ++line) {
                for (uint32_t x = 0; x < width; ++x) y[line * width + x] = gy[x / 4];
                for (uint32_t s = 0; s < width / h; ++s) {
                    u[line * width + s] = gu[s * h / 4];
                    v[line * width + s] = gv[s * h / 4];
                }
            }
            frame_image_shortcuts layout{};
            layout.y_stride = layout.u_stride = layout.v_stride = width;
            std::vector<uint8_t> fb(width * height * f.size);
            // The same dither for every run (the 16-bit errors depend on it).
            for (dither_pattern* p :
                 {&dither_pattern_yuv444_rgb565, &dither_pattern_yuv422_rgb565,
                  &dither_pattern_yuv411_rgb565, &dither_pattern_yuv422_rgb555}) {
                *p = dither_pattern{};
            }
            dither_state = 0x83783AF7u;
            dither_draw_seed(1);
            f.convert(fb.data(), &layout, width, height, h, 1, y.data(), u.data(), v.data(),
                      width * f.size);
            double worst[3] = {0, 0, 0};
            const uint32_t mask = (1u << f.bits) - 1;
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t p = 0;
                std::memcpy(&p, &fb[x * f.size], f.size);
                const rgb want = bt601_limited(gy[x / 4], gu[x / 4], gv[x / 4]);
                const double got[3] = {expand((p >> f.red_shift) & mask, f.bits),
                                       expand((p >> f.green_shift) & mask, f.bits),
                                       expand((p >> f.blue_shift) & mask, f.bits)};
                const double ref[3] = {want.r, want.g, want.b};
                for (int ch = 0; ch < 3; ++ch) {
                    worst[ch] = std::max(worst[ch], std::fabs(got[ch] - ref[ch]));
                }
            }
            std::printf("%s 4:%d: largest error r %.2f g %.2f b %.2f\n", f.name,
                        h == 1   ? 44
                        : h == 2 ? 22
                                 : 11,
                        worst[0], worst[1], worst[2]);
            for (double w : worst) EXPECT_LE(w, f.bound) << f.name << " factor " << int(h);
        }
    }
}

// Every colour signal an item may declare, through the 32-bit converters (8 bits a channel, no
// dither): the largest error against that signal's own double-precision matrix, over its legal
// samples. Measured largest errors (red, green, blue):
//   BT.601 limited 2.53 2.61 3.04
//   BT.709 limited 2.53 2.74 12.59 (blue held at 2.0 where the exact gain is 2.112: saturated
//                  blue loses up to 0.112 x 112 levels; what no wrap costs)
//   BT.601 full    1.16 1.18 1.46
//   BT.709 full    1.38 2.43 1.14
rgb exact_rgb(const colour_signal& s, int y, int u, int v) {
    const double kr = s.matrix == colour_matrix::bt709 ? 0.2126 : 0.299;
    const double kb = s.matrix == colour_matrix::bt709 ? 0.0722 : 0.114;
    const double kg = 1 - kr - kb;
    const double ys = s.full_range ? y : (y - 16) * 255.0 / 219.0;
    const double scale = s.full_range ? 1.0 : 255.0 / 224.0;
    const double cb = (u - 128) * scale, cr = (v - 128) * scale;
    auto clamp = [](double x) { return std::clamp(x, 0.0, 255.0); };
    return {clamp(ys + 2 * (1 - kr) * cr),
            clamp(ys - 2 * (1 - kb) * kb / kg * cb - 2 * (1 - kr) * kr / kg * cr),
            clamp(ys + 2 * (1 - kb) * cb)};
}

TEST(Accuracy, EveryColourSignalAgainstItsOwnMatrix) {
    struct signal_case {
        colour_signal signal;
        double bound[3];
    } const cases[] = {
        {{colour_matrix::bt601, false}, {3.5, 3.5, 3.5}},
        {{colour_matrix::bt709, false}, {3.5, 3.5, 13}},
        {{colour_matrix::bt601, true}, {2, 2, 2}},
        {{colour_matrix::bt709, true}, {2, 2.5, 2}},
    };
    for (const signal_case& c : cases) {
        yuv_coefficients_select(c.signal);
        const int lo = c.signal.full_range ? 0 : 16;
        std::vector<uint8_t> y, u, v;
        for (int ys = lo; ys <= (c.signal.full_range ? 255 : 235); ys += 17)
            for (int us = lo; us <= (c.signal.full_range ? 255 : 240); us += 16)
                for (int vs = lo; vs <= (c.signal.full_range ? 255 : 240); vs += 16)
                    y.push_back(ys), u.push_back(us), v.push_back(vs);
        const uint32_t width = y.size();
        frame_image_shortcuts layout{};
        layout.y_stride = layout.u_stride = layout.v_stride = width;
        // Both channel orders: the blue-first table is derived from the red-first one.
        for (bool blue_first : {false, true}) {
            std::vector<uint32_t> fb(width * 2);
            std::vector<uint8_t> y2 = y, u2 = u, v2 = v;
            for (auto* plane : {&y2, &u2, &v2})
                plane->insert(plane->end(), plane->begin(), plane->end());
            (blue_first ? frame_yuv_to_bgr888 : frame_yuv_to_rgb888)(
                reinterpret_cast<uint8_t*>(fb.data()), &layout, width, 2, 1, 1, y2.data(),
                u2.data(), v2.data(), width * 4);
            double worst[3] = {0, 0, 0};
            for (uint32_t x = 0; x < width; ++x) {
                const rgb want = exact_rgb(c.signal, y[x], u[x], v[x]);
                const uint32_t p = fb[x];
                const double red = (p >> (blue_first ? 0 : 16)) & 0xff;
                const double blue = (p >> (blue_first ? 16 : 0)) & 0xff;
                const double got[3] = {red, static_cast<double>((p >> 8) & 0xff), blue};
                const double ref[3] = {want.r, want.g, want.b};
                for (int ch = 0; ch < 3; ++ch)
                    worst[ch] = std::max(worst[ch], std::fabs(got[ch] - ref[ch]));
            }
            std::printf("%s%s: largest error r %.2f g %.2f b %.2f\n", colour_signal_name(c.signal),
                        blue_first ? " (blue first)" : "", worst[0], worst[1], worst[2]);
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_LE(worst[ch], c.bound[ch]) << colour_signal_name(c.signal) << " " << ch;
        }
    }
    yuv_coefficients_select(colour_signal{});
}

}  // namespace
