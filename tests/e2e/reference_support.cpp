#include <algorithm>
#include <cmath>
#include <cstdio>

#include "reference.h"

namespace {

// BT.601 from its definition: Kr = 0.299, Kb = 0.114; luma 16..235, chroma 16..240.
constexpr double kKr = 0.299, kKb = 0.114, kKg = 1 - kKr - kKb;
constexpr double kLuma = 255.0 / 219.0, kChroma = 255.0 / 224.0;
constexpr double kRedFromV = kChroma * 2 * (1 - kKr);
constexpr double kBlueFromU = kChroma * 2 * (1 - kKb);
constexpr double kGreenFromU = -kChroma * 2 * (1 - kKb) * kKb / kKg;
constexpr double kGreenFromV = -kChroma * 2 * (1 - kKr) * kKr / kKg;

// What the driver's fixed point may lose against the exact matrix, in 8-bit steps:
// - luma: the gain 298/256 is applied as (298 >> 2) x 2 / 128 = 1.15625 instead of 1.16438;
// - chroma: gains are truncated to 1/64 (red, blue) and 1/128 (green) steps, and the blue gain
//   is held at 2.0 instead of 2.0172 so that no legal sample leaves a 16-bit lane;
// - half a step for float rounding at the boundaries.
constexpr double kLumaLoss = kLuma - 148.0 / 128.0;
constexpr double kRedLoss = 1.0 / 64 + 0.001;
constexpr double kBlueLoss = 1.0 / 64 + (kBlueFromU - 2.0);
constexpr double kGreenLoss = 1.0 / 128 + 0.001;
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

void to_rgb(const Samples& s, double rgb[3]) {
    double y = kLuma * (s.y - 16), u = s.u - 128, v = s.v - 128;
    rgb[0] = y + kRedFromV * v;
    rgb[1] = y + kGreenFromU * u + kGreenFromV * v;
    rgb[2] = y + kBlueFromU * u;
}

}  // namespace

void reference_rgb(const Y4mClip& clip, unsigned frame, unsigned x, unsigned line, Field field,
                   double rgb[3]) {
    to_rgb(samples(clip, frame, x, line, clip.height, field), rgb);
}

Comparison compare_with_reference(const Y4mClip& clip, unsigned frame, const RgbView& picture,
                                  Quantisation quant, Field field, unsigned drawn_width) {
    Comparison out;
    unsigned width = std::min(clip.width, picture.width);
    unsigned height = std::min(clip.height, picture.height);
    if (drawn_width) width = std::min(width, drawn_width);
    const double step = std::ldexp(1.0, 8 - static_cast<int>(quant.bits));
    const int top = (1 << quant.bits) - 1;
    for (unsigned line = 0; line < height; ++line) {
        for (unsigned x = 0; x < width; ++x) {
            Samples s = samples(clip, frame, x, line, height, field);
            double exact[3];
            to_rgb(s, exact);
            double luma = kLumaLoss * std::abs(s.y - 16);
            double cu = std::abs(s.u - 128), cv = std::abs(s.v - 128);
            double loss[3] = {luma + kRedLoss * cv, luma + kGreenLoss * (cu + cv),
                              luma + kBlueLoss * cu};
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
