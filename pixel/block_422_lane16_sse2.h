// The 4:2:2 lane-form block for 16-bit pixels (32 pixels, doubled chroma terms, dither bytes
// 0..31), shared by pixel_rgb565_t and pixel_rgb555_t; Pack is their pack step.
#pragma once

#include "pixel/simd_lanes_sse2.h"

namespace pixel_simd {
// Internal linkage: files compiled for other instruction sets include these too, and their
// copies must never stand in for these.
namespace {

template <class Pack, bool Aligned>
inline void block_422_lane16(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst,
                             const lane_coeffs& k, __m128i pat0, __m128i pat1) {
    const __m128i y0 = _mm_adds_epu8(load16<Aligned>(y), pat0);
    const __m128i y1 = _mm_adds_epu8(load16<Aligned>(y + 16), pat1);
    const __m128i u = load16<Aligned>(c1);
    const __m128i v = load16<Aligned>(c2);
    // Chroma terms once per chroma sample; each serves the even and the odd pixel of its pair.
    const chroma_terms t0 = lane_doubled_terms(centred(widen_lo(u)), centred(widen_lo(v)), k);
    const chroma_terms t1 = lane_doubled_terms(centred(widen_hi(u)), centred(widen_hi(v)), k);
    uint8_t* out = static_cast<uint8_t*>(dst);
    store16_pairs<Aligned>(out, Pack::pack(sum_channels(luma_term(even_bytes(y0), k), t0)),
                           Pack::pack(sum_channels(luma_term(odd_bytes(y0), k), t0)));
    store16_pairs<Aligned>(out + 32, Pack::pack(sum_channels(luma_term(even_bytes(y1), k), t1)),
                           Pack::pack(sum_channels(luma_term(odd_bytes(y1), k), t1)));
}

}  // namespace
}  // namespace pixel_simd
