// The generic 15-bit conversion over the vector type: the same signed 32-bit arithmetic as the
// scalar reference (products and sums keep their low 32 bits, an arithmetic shift by 8), eight
// pixels a half; the pixels after the last whole group take the reference's pixel function.
#pragma once

#include "pixel/generic_pixel.h"
#include "pixel/row_engine.h"

namespace pixel_simd {
namespace {

template <class V>
struct generic_coeffs {
    V offset, gain, low, high, green1, green2;
};

template <class V>
generic_coeffs<V> generic_form(const yuv_to_rgb_fp_coefficients& k) {
    using O = ops<V>;
    return {O::set32(static_cast<int32_t>(k.generic_luma_offset)),
            O::set32(static_cast<int32_t>(k.generic_luma_gain)),
            O::set32(k.generic_gains[0]),
            O::set32(k.generic_gains[1]),
            O::set32(k.generic_gains[2]),
            O::set32(k.generic_gains[3])};
}

// Eight pixels a half: y, c1, c2 hold the luma and the centred chroma of each pixel in 16-bit
// lanes; returns the eight packed pixels.
template <class V>
V generic_pixels(V y, V c1, V c2, const generic_coeffs<V>& k) {
    using O = ops<V>;
    const V zero = O::zero();
    // To 32 bits: luma is unsigned, chroma signed.
    const V c1s = O::template srai16<15>(c1), c2s = O::template srai16<15>(c2);
    const V y32[2] = {O::unpacklo16(y, zero), O::unpackhi16(y, zero)};
    const V c1_32[2] = {O::unpacklo16(c1, c1s), O::unpackhi16(c1, c1s)};
    const V c2_32[2] = {O::unpacklo16(c2, c2s), O::unpackhi16(c2, c2s)};
    V low[2], high[2], green[2];
    for (int i = 0; i < 2; ++i) {
        const V luma = O::mullo32(O::sub32(y32[i], k.offset), k.gain);
        low[i] = O::template srai32<8>(O::add32(luma, O::mullo32(k.low, c1_32[i])));
        high[i] = O::template srai32<8>(O::add32(luma, O::mullo32(k.high, c2_32[i])));
        green[i] = O::template srai32<8>(O::add32(O::add32(luma, O::mullo32(k.green1, c1_32[i])),
                                                  O::mullo32(k.green2, c2_32[i])));
    }
    // Signed saturation to 16 bits keeps every value's side of 0..255, so the clamp is exact.
    const V top = O::set16(255);
    auto clamp = [&](V a, V b) { return O::min16(O::max16(O::packs32(a, b), zero), top); };
    const V l = clamp(low[0], low[1]), h = clamp(high[0], high[1]), g = clamp(green[0], green[1]);
    const V five = O::set16(0xF8);
    return O::or_(
        O::or_(O::set16(static_cast<int16_t>(0x8000)), O::template slli16<7>(O::and_(h, five))),
        O::or_(O::template slli16<2>(O::and_(g, five)), O::template srli16<3>(l)));
}

// Factor 1 or 4: each pixel's own chroma sample, or one per group of four.
template <unsigned Factor, class V, bool A>
unsigned generic_groups(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, uint8_t* dst,
                        unsigned first, unsigned end, const yuv_to_rgb_fp_coefficients& k) {
    using O = ops<V>;
    constexpr unsigned step = 8 * O::halves;
    if (first + step > end) return first;
    const generic_coeffs<V> cv = generic_form<V>(k);
    const V zero = O::zero();
    unsigned x = first;
    for (; x + step <= end; x += step) {
        const V luma = O::unpacklo8(O::load8(y + x, 8), zero);
        V u, v;
        if constexpr (Factor == 1) {
            u = O::unpacklo8(O::load8(c1 + x, 8), zero);
            v = O::unpacklo8(O::load8(c2 + x, 8), zero);
        } else {
            // Two samples a half, each repeated for its four pixels.
            const V u2 = O::unpacklo8(O::load2(c1 + x / 4, 2), zero);
            const V v2 = O::unpacklo8(O::load2(c2 + x / 4, 2), zero);
            u = O::unpacklo32(O::unpacklo16(u2, u2), O::unpacklo16(u2, u2));
            v = O::unpacklo32(O::unpacklo16(v2, v2), O::unpacklo16(v2, v2));
        }
        O::template store16<A>(dst + 2 * x, 16, generic_pixels(luma, centred(u), centred(v), cv));
    }
    return x;
}

// 4:4:4 writes every pixel; 4:1:1 whole groups of four only, leaving the last width mod 4.
template <unsigned Factor, class Wide>
void generic_row(const uint8_t* y, const uint8_t* c1, const uint8_t* c2, void* dst, unsigned width,
                 const yuv_to_rgb_fp_coefficients& k) {
    using N = typename ops<Wide>::narrow;
    uint8_t* out = static_cast<uint8_t*>(dst);
    const unsigned end = Factor == 4 ? width / 4 * 4 : width;
    unsigned x;
    if (aligned16(out)) {
        x = generic_groups<Factor, Wide, true>(y, c1, c2, out, 0, end, k);
        x = generic_groups<Factor, N, true>(y, c1, c2, out, x, end, k);
    } else {
        x = generic_groups<Factor, Wide, false>(y, c1, c2, out, 0, end, k);
        x = generic_groups<Factor, N, false>(y, c1, c2, out, x, end, k);
    }
    for (; x < end; ++x) {
        const uint16_t p = generic_pixel(y[x], c1[x / Factor], c2[x / Factor], k);
        std::memcpy(out + 2 * x, &p, 2);
    }
}

}  // namespace
}  // namespace pixel_simd
