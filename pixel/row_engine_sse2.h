// The walk shared by every SSE2 row converter: full blocks (aligned or not), then the tail through
// a padded copy, then the dither advance. A converter supplies the block step as a traits class:
//   using pixel; block; factor; chroma_aligned; advance_before_tail;
//   static dither_pattern* pattern();  (nullptr: no dither)
//   static pixel_simd::lane_coeffs coeffs(const yuv_to_rgb_fp_coefficients&);
//   template <bool Aligned> static void convert_block(y, c1, c2, pixel* dst, coeffs, pat0, pat1);
#pragma once

#include <cstdint>
#include <cstring>

#include "pixel/dither.h"
#include "pixel/simd_lanes_sse2.h"

namespace pixel_simd {
// Internal linkage: files compiled for other instruction sets include these too, and their
// copies must never stand in for these.
namespace {

inline bool aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

template <class Tr>
void convert_row(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, typename Tr::pixel* dst,
                 unsigned width, const yuv_to_rgb_fp_coefficients& k) {
    using pixel = typename Tr::pixel;
    constexpr unsigned B = Tr::block;
    constexpr unsigned F = Tr::factor;
    static_assert(B >= 16 && B * sizeof(pixel) <= 64, "tail temporary is one block, 64 bytes");

    const unsigned n = width / B;
    const unsigned r = width % B;
    const lane_coeffs cv = Tr::coeffs(k);
    dither_pattern* pattern = Tr::pattern();
    __m128i pat0 = _mm_setzero_si128(), pat1 = _mm_setzero_si128();
    if (pattern) {
        pat0 = load_lanes(pattern->bytes);
        pat1 = load_lanes(pattern->bytes + 16);
    }

    const bool aligned =
        aligned16(y) && aligned16(dst) && (!Tr::chroma_aligned || (aligned16(c1) && aligned16(c2)));
    if (aligned) {
        for (unsigned b = 0; b < n; ++b) {
            Tr::template convert_block<true>(y + b * B, c1 + b * (B / F), c2 + b * (B / F),
                                             dst + b * B, cv, pat0, pat1);
        }
    } else {
        for (unsigned b = 0; b < n; ++b) {
            Tr::template convert_block<false>(y + b * B, c1 + b * (B / F), c2 + b * (B / F),
                                              dst + b * B, cv, pat0, pat1);
        }
    }

    if (pattern && Tr::advance_before_tail) advance_dither(pattern);
    if (r > 0) {
        // The planes may end right after this row: convert one whole block from a zero-padded
        // copy of the remaining samples, as a call of width B would, and keep r pixels.
        alignas(16) uint8_t ty[B] = {};
        alignas(16) uint8_t tc1[B] = {};
        alignas(16) uint8_t tc2[B] = {};
        alignas(16) pixel tmp[B];
        const unsigned c0 = n * (B / F);
        const unsigned chroma = (width + F - 1) / F - c0;
        std::memcpy(ty, y + n * B, r);
        std::memcpy(tc1, c1 + c0, chroma);
        std::memcpy(tc2, c2 + c0, chroma);
        if (pattern) {
            pat0 = load_lanes(pattern->bytes);
            pat1 = load_lanes(pattern->bytes + 16);
        }
        Tr::template convert_block<false>(ty, tc1, tc2, tmp, cv, pat0, pat1);
        if (pattern) advance_dither(pattern);
        std::memcpy(dst + n * B, tmp, r * sizeof(pixel));
    }
    if (pattern && !Tr::advance_before_tail) advance_dither(pattern);
}

}  // namespace
}  // namespace pixel_simd
