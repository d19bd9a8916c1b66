// An independent double-precision picture of a clip (BT.601 or BT.709, limited or full range),
// and a comparison of what the driver showed with it, within the error that the driver's
// fixed-point arithmetic allows.
#pragma once

#include <cstdint>
#include <string>

#include "y4m.h"

// How the driver stores a channel.
struct Quantisation {
    unsigned bits;  // 5 (15/16 bpp) or 8 (32 bpp) significant bits per channel
    double dither;  // largest ordered dither added through luma, in 8-bit steps (0: none)
};
// 16 bpp and the 15 bpp 4:2:2 path: luma may gain up to 7 levels before the 1.156 luma gain.
constexpr Quantisation kDithered5{5, 7 * 148.0 / 128.0};
// The 15 bpp 4:4:4 and 4:1:1 path: plain 32-bit arithmetic, no dither.
constexpr Quantisation kGeneric5{5, 0};
constexpr Quantisation kExact8{8, 0};

enum class Field { both, even, odd };

// How the clip's samples encode colour: the matrix's luma weights and the range.
struct Colour {
    double kr, kb;
    bool full_range;
};
constexpr Colour kBt601{0.299, 0.114, false};
constexpr Colour kBt709{0.2126, 0.0722, false};
constexpr Colour kBt601Full{0.299, 0.114, true};
constexpr Colour kBt709Full{0.2126, 0.0722, true};

// The exact colour of output pixel (x, line), 0..255 per channel (R, G, B), unclamped, taking
// the luma and chroma samples that the driver takes: chroma sample x / h_factor, chroma line
// line / v_factor held at the last full chroma line, and in single-field display the line pairs
// of one field.
void reference_rgb(const Y4mClip& clip, unsigned frame, unsigned x, unsigned line, Field field,
                   double rgb[3], const Colour& colour = kBt601);

struct RgbView {
    unsigned width;
    unsigned height;
    const uint8_t* pixels;  // 3 bytes (R, G, B) a pixel, rows packed
};

struct Comparison {
    double max_error[3] = {0, 0, 0};  // largest |shown - exact| per channel, in 8-bit steps
    unsigned long compared = 0;       // pixels compared
    unsigned long outside = 0;        // channels outside what the arithmetic allows
    std::string first;                // the first of those, described
};

// Compares the picture's top-left corner (the frame, cut to the picture) with the reference. A
// channel value v shown with n significant bits passes when v >> (8 - n) lies between the
// truncations of exact - tolerance and exact + dither + tolerance.
Comparison compare_with_reference(const Y4mClip& clip, unsigned frame, const RgbView& picture,
                                  Quantisation quant, Field field, unsigned drawn_width = 0,
                                  const Colour& colour = kBt601);

std::string describe(const Comparison& c);
