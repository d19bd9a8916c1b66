// Frame converters: which source lines each output line takes, frames that must leave the
// framebuffer alone, line length stepping, and the two channel orders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "pixel/dither.h"
#include "pixel/dither_draws.h"
#include "pixel/frame_converters.h"
#include "pixel/row_converters.h"

namespace {

constexpr uint32_t kWidth = 16;
constexpr uint16_t kStride = 32;

// Planes whose every line is a colour of its own, so that an output line names its sources.
struct line_coded_frame {
    frame_image_shortcuts layout{};
    std::vector<uint8_t> y, u, v;
    explicit line_coded_frame(uint32_t lines) : y(lines * kStride), u(y.size()), v(y.size()) {
        layout.y_stride = layout.u_stride = layout.v_stride = kStride;
        for (uint32_t l = 0; l < lines; ++l) {
            std::memset(&y[l * kStride], 20 + 20 * l, kStride);
            std::memset(&u[l * kStride], 60 + 15 * l, kStride);
            std::memset(&v[l * kStride], 200 - 15 * l, kStride);
        }
    }
    // The 4:4:4 32-bit line for luma line yl and chroma line cl.
    std::vector<uint32_t> expected(uint32_t yl, uint32_t cl) {
        yuv_to_rgb_fp_coefficients k;
        pixel_yuv_prep_coeff_444<pixel_rgb888_t>(standard_yuv_coefficients, &k);
        std::vector<uint32_t> out(kWidth);
        pixel_yuv444_to_rgb<pixel_rgb888_t>(&y[yl * kStride], &u[cl * kStride], &v[cl * kStride],
                                            reinterpret_cast<pixel_rgb888_t*>(out.data()), kWidth,
                                            k);
        return out;
    }
};

TEST(Frame, LineSelection) {
    struct row {
        uint32_t height;
        uint8_t vfactor;
        uint8_t flags;
        std::vector<uint32_t> luma, chroma;
    };
    const uint8_t even = FRAME_FIELD_SINGLE, odd = FRAME_FIELD_SINGLE | FRAME_FIELD_ODD;
    const row table[] = {
        {4, 2, 0, {0, 1, 2, 3}, {0, 0, 1, 1}},
        {5, 2, 0, {0, 1, 2, 3, 4}, {0, 0, 1, 1, 1}},  // last chroma line held at L - 1
        {6, 1, even, {0, 2, 2, 4, 4, 4}, {0, 2, 2, 4, 4, 4}},
        {6, 1, odd, {1, 1, 3, 3, 5, 5}, {1, 1, 3, 3, 5, 5}},
        {8, 2, even, {0, 2, 2, 4, 4, 6, 6, 6}, {0, 0, 2, 2, 2, 2, 2, 2}},
        {8, 2, odd, {1, 1, 3, 3, 5, 5, 7, 7}, {1, 1, 1, 1, 3, 3, 3, 3}},
        {6, 1, 0xF3, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}},  // other bits are ignored
    };
    for (const row& r : table) {
        line_coded_frame f(r.height);
        f.layout.field_flags = r.flags;
        std::vector<uint32_t> fb(r.height * kWidth, 0xDEADBEEF);
        frame_yuv_to_rgb888(reinterpret_cast<uint8_t*>(fb.data()), &f.layout, kWidth, r.height, 1,
                            r.vfactor, f.y.data(), f.u.data(), f.v.data(), kWidth * 4);
        for (uint32_t i = 0; i < r.height; ++i) {
            const std::vector<uint32_t> want = f.expected(r.luma[i], r.chroma[i]);
            EXPECT_EQ(0, std::memcmp(want.data(), &fb[i * kWidth], kWidth * 4))
                << "height " << r.height << " v " << int(r.vfactor) << " flags " << int(r.flags)
                << " line " << i << ": want luma " << r.luma[i] << " chroma " << r.chroma[i];
        }
    }
}

TEST(Frame, FramesLeftUndrawn) {
    const struct {
        uint32_t height;
        uint8_t hfactor, vfactor;
    } table[] = {
        {8, 3, 1},  // unsupported horizontal factor
        {8, 1, 0},  // vertical factor 0: rejected the same way
        {0, 1, 1}, {3, 2, 2}, {1, 4, 1}, {5, 1, 3},
    };
    const frame_converter all[] = {frame_yuv_to_rgb565, frame_yuv_to_bgr565, frame_yuv_to_rgb555,
                                   frame_yuv_to_bgr555, frame_yuv_to_rgb888, frame_yuv_to_bgr888,
                                   frame_yuv_to_rgb24,  frame_yuv_to_bgr24};
    line_coded_frame f(8);
    for (frame_converter conv : all) {
        for (const auto& t : table) {
            std::vector<uint8_t> fb(8 * kWidth * 4, 0x5A);
            conv(fb.data(), &f.layout, kWidth, t.height, t.hfactor, t.vfactor, f.y.data(),
                 f.u.data(), f.v.data(), kWidth * 4);
            EXPECT_EQ(std::vector<uint8_t>(fb.size(), 0x5A), fb)
                << "height " << t.height << " h " << int(t.hfactor) << " v " << int(t.vfactor);
        }
    }
}

TEST(Frame, LineLengthLeavesTheGapAndNeverOverrunsALine) {
    line_coded_frame f(4);
    const struct {
        uint32_t line_length;  // bytes
        uint32_t drawn;        // pixels per line
    } table[] = {{kWidth * 4 + 36, kWidth}, {kWidth * 4, kWidth}, {10 * 4 + 2, 10}, {3, 0}};
    for (const auto& t : table) {
        std::vector<uint8_t> fb(4 * t.line_length + 64, 0x5A);
        frame_yuv_to_rgb888(fb.data(), &f.layout, kWidth, 4, 1, 1, f.y.data(), f.u.data(),
                            f.v.data(), t.line_length);
        for (size_t b = 0; b < fb.size(); ++b) {
            const size_t line = b / t.line_length, col = b % t.line_length;
            if (line < 4 && col < t.drawn * 4) {
                const std::vector<uint32_t> want = f.expected(line, line);
                ASSERT_EQ(reinterpret_cast<const uint8_t*>(want.data())[col], fb[b])
                    << "line length " << t.line_length << " byte " << b;
            } else {
                ASSERT_EQ(0x5A, fb[b]) << "line length " << t.line_length << " byte " << b;
            }
        }
    }
}

// Red-first and blue-first converters give the same colours, each in its own order.
TEST(Frame, ChannelOrdersAgree) {
    struct order {
        frame_converter red_first, blue_first;
        unsigned pixel_size, high_shift, field_bits;
        dither_pattern* patterns[3];
    };
    const order table[] = {
        {frame_yuv_to_rgb565,
         frame_yuv_to_bgr565,
         2,
         11,
         5,
         {&dither_pattern_yuv444_rgb565, &dither_pattern_yuv422_rgb565,
          &dither_pattern_yuv411_rgb565}},
        {frame_yuv_to_rgb555,
         frame_yuv_to_bgr555,
         2,
         10,
         5,
         {&dither_pattern_yuv422_rgb555, &dither_pattern_yuv422_rgb555,
          &dither_pattern_yuv422_rgb555}},
        {frame_yuv_to_rgb888, frame_yuv_to_bgr888, 4, 16, 8, {nullptr, nullptr, nullptr}},
        {frame_yuv_to_rgb24, frame_yuv_to_bgr24, 3, 16, 8, {nullptr, nullptr, nullptr}},
    };
    constexpr uint32_t w = 70, h = 6;
    std::mt19937 rng(3);
    std::vector<uint8_t> y(w * h), u(w * h), v(w * h);
    for (auto* p : {&y, &u, &v})
        for (uint8_t& s : *p) s = static_cast<uint8_t>(rng());
    frame_image_shortcuts layout{};
    layout.y_stride = layout.u_stride = layout.v_stride = w;
    for (const order& o : table) {
        int which = 0;
        for (uint8_t hf : {1, 2, 4}) {
            dither_pattern* p = o.patterns[which++];
            std::vector<uint8_t> a(w * h * o.pixel_size), b(a.size());
            // The same dither for both: same pattern, state and draw sequence.
            const dither_pattern saved = p ? *p : dither_pattern{};
            const uint32_t state = dither_state;
            dither_draw_seed(5);
            o.red_first(a.data(), &layout, w, h, hf, 1, y.data(), u.data(), v.data(),
                        w * o.pixel_size);
            if (p) *p = saved;
            dither_state = state;
            dither_draw_seed(5);
            o.blue_first(b.data(), &layout, w, h, hf, 1, y.data(), u.data(), v.data(),
                         w * o.pixel_size);
            const uint32_t mask = (1u << o.field_bits) - 1;
            for (size_t i = 0; i < w * h; ++i) {
                uint32_t pa = 0, pb = 0;
                std::memcpy(&pa, &a[i * o.pixel_size], o.pixel_size);
                std::memcpy(&pb, &b[i * o.pixel_size], o.pixel_size);
                const uint32_t low_high = mask | (mask << o.high_shift);
                const uint32_t swapped = (pb & ~low_high) | ((pb >> o.high_shift) & mask) |
                                         ((pb & mask) << o.high_shift);
                ASSERT_EQ(pa, swapped) << "h " << int(hf) << " pixel " << i;
            }
        }
    }
}

// Packed 24 bpp gives the 32-bit converters' channel values, three bytes a pixel, in both orders,
// every layout, odd widths (tails) and a line length with a gap after each line.
TEST(Frame, Packed24MatchesThirtyTwoBit) {
    constexpr uint32_t w = 37, h = 4, gap = 5;
    std::mt19937 rng(11);
    std::vector<uint8_t> y(w * h), u(w * h), v(w * h);
    for (auto* p : {&y, &u, &v})
        for (uint8_t& s : *p) s = static_cast<uint8_t>(rng());
    frame_image_shortcuts layout{};
    layout.y_stride = layout.u_stride = layout.v_stride = w;
    const std::pair<frame_converter, frame_converter> orders[] = {
        {frame_yuv_to_rgb888, frame_yuv_to_rgb24}, {frame_yuv_to_bgr888, frame_yuv_to_bgr24}};
    for (const auto& o : orders) {
        for (uint8_t hf : {1, 2, 4}) {
            std::vector<uint8_t> wide(w * h * 4), packed(h * (w * 3 + gap), 0x5A);
            o.first(wide.data(), &layout, w, h, hf, 2, y.data(), u.data(), v.data(), w * 4);
            o.second(packed.data(), &layout, w, h, hf, 2, y.data(), u.data(), v.data(),
                     w * 3 + gap);
            for (uint32_t line = 0; line < h; ++line) {
                for (uint32_t x = 0; x < w; ++x) {
                    const uint8_t* a = &wide[(line * w + x) * 4];
                    const uint8_t* b = &packed[line * (w * 3 + gap) + x * 3];
                    ASSERT_EQ(0, std::memcmp(a, b, 3))
                        << "h " << int(hf) << " line " << line << " pixel " << x;
                }
                for (uint32_t g = 0; g < gap; ++g) {
                    ASSERT_EQ(0x5A, packed[line * (w * 3 + gap) + w * 3 + g]);
                }
            }
        }
    }
}

}  // namespace
