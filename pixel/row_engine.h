// The walk shared by every vector row converter: full blocks (aligned or not), as many at a time
// as the widest vector holds, then the tail through a padded copy, then the dither advance. A
// converter supplies the block step as a traits class:
//   using pixel; block; factor; chroma_aligned; advance_before_tail;
//   static dither_pattern* pattern();  (nullptr: no dither)
//   template <class V> static lane_coeffs<V> coeffs(const yuv_to_rgb_fp_coefficients&);
//   template <bool Aligned, class V> static void convert_block(y, c1, c2, uint8_t* dst, coeffs,
//                                                              pat0, pat1);
// where a vector V of ops<V>::halves halves converts that many consecutive blocks.
#pragma once

#include <cstdint>
#include <cstring>

#include "pixel/dither.h"
#include "pixel/simd_lanes.h"

namespace pixel_simd {
namespace {

inline bool aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

// Blocks first .. n-1 in steps of V's halves, as far as whole steps go; returns the next block.
template <class Tr, class V, bool A>
unsigned convert_blocks(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                        unsigned first, unsigned n, const yuv_to_rgb_fp_coefficients& k,
                        const dither_pattern* pattern) {
    using O = ops<V>;
    constexpr unsigned B = Tr::block, C = Tr::block / Tr::factor, H = O::halves;
    constexpr size_t D = Tr::block * sizeof(typename Tr::pixel);
    if (first + H > n) return first;
    const lane_coeffs<V> cv = Tr::template coeffs<V>(k);
    const V pat0 = pattern ? O::lanes(pattern->bytes) : O::zero();
    const V pat1 = pattern ? O::lanes(pattern->bytes + 16) : O::zero();
    unsigned b = first;
    for (; b + H <= n; b += H) {
        Tr::template convert_block<A, V>(y + b * B, c1 + b * C, c2 + b * C, dst + b * D, cv, pat0,
                                         pat1);
    }
    return b;
}

template <class Tr, class Wide>
void convert_row(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, typename Tr::pixel* dst,
                 unsigned width, const yuv_to_rgb_fp_coefficients& k) {
    using pixel = typename Tr::pixel;
    using N = typename ops<Wide>::narrow;
    constexpr unsigned B = Tr::block;
    constexpr unsigned F = Tr::factor;
    static_assert(B >= 16 && B * sizeof(pixel) <= 64, "tail temporary is one block, 64 bytes");

    const unsigned n = width / B;
    const unsigned r = width % B;
    dither_pattern* pattern = Tr::pattern();
    uint8_t* out = reinterpret_cast<uint8_t*>(dst);

    const bool aligned =
        aligned16(y) && aligned16(dst) && (!Tr::chroma_aligned || (aligned16(c1) && aligned16(c2)));
    if (aligned) {
        const unsigned done = convert_blocks<Tr, Wide, true>(y, c1, c2, out, 0, n, k, pattern);
        convert_blocks<Tr, N, true>(y, c1, c2, out, done, n, k, pattern);
    } else {
        const unsigned done = convert_blocks<Tr, Wide, false>(y, c1, c2, out, 0, n, k, pattern);
        convert_blocks<Tr, N, false>(y, c1, c2, out, done, n, k, pattern);
    }

    if (pattern && Tr::advance_before_tail) advance_dither(pattern);
    if (r > 0) {
        // The planes may end right after this row: convert one whole block from a zero-padded
        // copy of the remaining samples, as a call of width B would, and keep r pixels.
        alignas(16) uint8_t ty[B] = {};
        alignas(16) uint8_t tc1[B] = {};
        alignas(16) uint8_t tc2[B] = {};
        alignas(16) uint8_t tmp[B * sizeof(pixel)];
        const unsigned c0 = n * (B / F);
        const unsigned chroma = (width + F - 1) / F - c0;
        std::memcpy(ty, y + n * B, r);
        std::memcpy(tc1, c1 + c0, chroma);
        std::memcpy(tc2, c2 + c0, chroma);
        const N pat0 = pattern ? ops<N>::lanes(pattern->bytes) : ops<N>::zero();
        const N pat1 = pattern ? ops<N>::lanes(pattern->bytes + 16) : ops<N>::zero();
        Tr::template convert_block<false, N>(ty, tc1, tc2, tmp, Tr::template coeffs<N>(k), pat0,
                                             pat1);
        if (pattern) advance_dither(pattern);
        std::memcpy(out + n * B * sizeof(pixel), tmp, r * sizeof(pixel));
    }
    if (pattern && !Tr::advance_before_tail) advance_dither(pattern);
}

}  // namespace
}  // namespace pixel_simd
