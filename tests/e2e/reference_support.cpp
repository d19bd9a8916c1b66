#include <algorithm>
#include <cmath>
#include <cstdio>

#include "reference.h"

namespace {

// The matrix from its definition: luma weights Kr and Kb; limited range puts luma in 16..235 and
// chroma in 16..240, full range both in 0..255.
struct Gains {
    double black, luma, red_from_v, blue_from_u, green_from_u, green_from_v;
    // What the driver's fixed point may lose against the exact matrix, in 8-bit steps:
    // - luma: the gain is applied as (gain >> 2) x 2 / 128 (1.15625 instead of 1.16438 in limited
    //   range, exact in full range);
    // - chroma: gains are truncated to 1/64 (red, blue) and 1/128 (green) steps, and the blue
    //   gain is held at 2.0 (instead of 2.0172 for BT.601, 2.1124 for BT.709 in limited range) so
    //   that no chroma sample leaves a 16-bit lane;
    // - half a step for float rounding at the boundaries.
    double luma_loss, red_loss, blue_loss, green_loss;
};

Gains gains_of(const Colour& c) {
    const double kg = 1 - c.kr - c.kb;
    const double chroma = c.full_range ? 1.0 : 255.0 / 224.0;
    Gains g;
    g.black = c.full_range ? 0 : 16;
    g.luma = c.full_range ? 1.0 : 255.0 / 219.0;
    g.red_from_v = chroma * 2 * (1 - c.kr);
    g.blue_from_u = chroma * 2 * (1 - c.kb);
    g.green_from_u = -chroma * 2 * (1 - c.kb) * c.kb / kg;
    g.green_from_v = -chroma * 2 * (1 - c.kr) * c.kr / kg;
    g.luma_loss = std::abs(g.luma - ((c.full_range ? 256 : 298) >> 2) * 2 / 128.0);
    g.red_loss = 1.0 / 64 + 0.001;
    g.blue_loss = 1.0 / 64 + std::max(0.0, g.blue_from_u - 2.0);
    g.green_loss = 1.0 / 128 + 0.001;
    return g;
}

constexpr double kMargin = 0.5;

struct Lines {
    unsigned luma, chroma;
};

// The frame converters' choice of source lines for output line i.
Lines source_lines(const Y4mClip& clip, unsigned i, unsigned height, Field field) {
    unsigned v = clip.v_factor;
    unsigned count = height / v;  // chroma lines the driver counts on
    unsigned c = i / v;
    if (field == Field::both) return {i, std::min(c, count - 1)};
    Lines l = field == Field::odd ? Lines{i | 1u, c | 1u} : Lines{(i + 1) & ~1u, (c + 1) & ~1u};
    if (l.luma >= height) l.luma = height - 2;
    if (l.chroma >= count) l.chroma = count - 2;
    return l;
}

struct Samples {
    int y, u, v;
};

// height: the lines drawn, which the driver's line choice counts on.
Samples samples(const Y4mClip& clip, unsigned frame, unsigned x, unsigned line, unsigned height,
                Field field) {
    Lines l = source_lines(clip, line, height, field);
    size_t c = size_t{l.chroma} * clip.chroma_width + x / clip.h_factor;
    return {clip.y(frame)[size_t{l.luma} * clip.width + x], clip.u(frame)[c], clip.v(frame)[c]};
}

void to_rgb(const Samples& s, const Gains& g, double rgb[3]) {
    double y = g.luma * (s.y - g.black), u = s.u - 128, v = s.v - 128;
    rgb[0] = y + g.red_from_v * v;
    rgb[1] = y + g.green_from_u * u + g.green_from_v * v;
    rgb[2] = y + g.blue_from_u * u;
}

}  // namespace

void reference_rgb(const Y4mClip& clip, unsigned frame, unsigned x, unsigned line, Field field,
                   double rgb[3], const Colour& colour) {
    to_rgb(samples(clip, frame, x, line, clip.height, field), gains_of(colour), rgb);
}

Comparison compare_with_reference(const Y4mClip& clip, unsigned frame, const RgbView& picture,
                                  Quantisation quant, Field field, unsigned drawn_width,
                                  const Colour& colour) {
    Comparison out;
    const Gains g = gains_of(colour);
    unsigned width = std::min(clip.width, picture.width);
    unsigned height = std::min(clip.height, picture.height);
    if (drawn_width) width = std::min(width, drawn_width);
    const double step = std::ldexp(1.0, 8 - static_cast<int>(quant.bits));
    const int top = (1 << quant.bits) - 1;
    for (unsigned line = 0; line < height; ++line) {
        for (unsigned x = 0; x < width; ++x) {
            Samples s = samples(clip, frame, x, line, height, field);
            double exact[3];
            to_rgb(s, g, exact);
            double luma = g.luma_loss * std::abs(s.y - g.black);
            double cu = std::abs(s.u - 128), cv = std::abs(s.v - 128);
            double loss[3] = {luma + g.red_loss * cv, luma + g.green_loss * (cu + cv),
                              luma + g.blue_loss * cu};
            const uint8_t* shown = picture.pixels + (size_t{line} * picture.width + x) * 3;
            for (int ch = 0; ch < 3; ++ch) {
                double e = loss[ch] + kMargin;
                int lo = static_cast<int>(std::floor(std::clamp(exact[ch] - e, 0.0, 255.0) / step));
                int hi = static_cast<int>(
                    std::floor(std::clamp(exact[ch] + quant.dither + e, 0.0, 255.0) / step));
                lo = std::min(lo, top);
                hi = std::min(hi, top);
                int got = shown[ch] >> (8 - quant.bits);
                double error = std::abs(shown[ch] - std::clamp(exact[ch], 0.0, 255.0));
                out.max_error[ch] = std::max(out.max_error[ch], error);
                if (got < lo || got > hi) {
                    if (out.outside++ == 0) {
                        char text[200];
                        std::snprintf(text, sizeof text,
                                      "pixel (%u,%u) channel %c: shown %d, exact %.2f, allowed "
                                      "%d..%d of %u bits (Y %d U %d V %d)",
                                      x, line, "RGB"[ch], shown[ch], exact[ch], lo, hi, quant.bits,
                                      s.y, s.u, s.v);
                        out.first = text;
                    }
                }
            }
            ++out.compared;
        }
    }
    return out;
}

std::string describe(const Comparison& c) {
    char text[160];
    std::snprintf(text, sizeof text, "max error R %.1f G %.1f B %.1f over %lu pixels, %lu outside",
                  c.max_error[0], c.max_error[1], c.max_error[2], c.compared, c.outside);
    return std::string(text) + (c.outside ? "; first: " + c.first : "");
}
