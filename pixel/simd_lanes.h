// The row converters' building blocks over a vector type V (ops<V>): signed 16-bit lanes with 7
// fraction bits, saturating adds, reduction by masks and shifts. Every operation works within a
// 16-byte half, so a wider V converts one block per half with the same arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/fp_coefficients.h"
#include "pixel/simd_ops.h"

namespace pixel_simd {
namespace {

// Coefficients as vector operands, set up once per call.
template <class V>
struct lane_coeffs {
    V low, high, green1, green2, offset, gain;
};

template <class V>
lane_coeffs<V> lane_form(const yuv_to_rgb_fp_coefficients& k) {
    using O = ops<V>;
    return {O::lanes(k.low_from_c1_lanes),   O::lanes(k.high_from_c2_lanes),
            O::lanes(k.green_from_c1_lanes), O::lanes(k.green_from_c2_lanes),
            O::lanes(k.luma_offset_lanes),   O::lanes(k.luma_gain_lanes)};
}

// The low 16 bits of c x k depend only on the low 16 bits of k, so a 16-bit multiply yields the
// bits of the 32-bit product, and a wrapping 16-bit add the bits of the 32-bit sum.
template <class V>
lane_coeffs<V> scalar_form(const yuv_to_rgb_fp_coefficients& k) {
    using O = ops<V>;
    return {O::set16(static_cast<int16_t>(k.scaled_coeffs[0])),
            O::set16(static_cast<int16_t>(k.scaled_coeffs[1])),
            O::set16(static_cast<int16_t>(k.scaled_coeffs[2])),
            O::set16(static_cast<int16_t>(k.scaled_coeffs[3])),
            O::lanes(k.luma_offset_lanes),
            O::lanes(k.luma_gain_lanes)};
}

template <class V>
V widen_lo(V bytes) {
    return ops<V>::unpacklo8(bytes, ops<V>::zero());
}
template <class V>
V widen_hi(V bytes) {
    return ops<V>::unpackhi8(bytes, ops<V>::zero());
}
// Bytes 0, 2, .. 14 or 1, 3, .. 15 as 16-bit lanes: a mask or a shift instead of a shuffle. With
// subsampled chroma the even and the odd pixels of a pair share one chroma term, so the terms need
// no duplication; the packed pixels are interleaved back once at the end.
template <class V>
V even_bytes(V bytes) {
    return ops<V>::and_(bytes, ops<V>::set16(0x00FF));
}
template <class V>
V odd_bytes(V bytes) {
    return ops<V>::template srli16<8>(bytes);
}
template <class V>
V centred(V samples) {
    return ops<V>::sub16(samples, ops<V>::set16(128));
}

// sat(2 x lo16((Y - offset) x gain)).
template <class V>
V luma_term(V y, const lane_coeffs<V>& k) {
    using O = ops<V>;
    const V p = O::mullo16(O::sub16(y, k.offset), k.gain);
    return O::adds16(p, p);
}

template <class V>
struct chroma_terms {
    V low, high, green;
};

template <class V>
chroma_terms<V> lane_doubled_terms(V c1, V c2, const lane_coeffs<V>& k) {
    using O = ops<V>;
    const V l = O::mullo16(c1, k.low);
    const V h = O::mullo16(c2, k.high);
    return {O::adds16(l, l), O::adds16(h, h),
            O::adds16(O::mullo16(c1, k.green1), O::mullo16(c2, k.green2))};
}
template <class V>
chroma_terms<V> lane_single_terms(V c1, V c2, const lane_coeffs<V>& k) {
    using O = ops<V>;
    return {O::mullo16(c1, k.low), O::mullo16(c2, k.high),
            O::adds16(O::mullo16(c1, k.green1), O::mullo16(c2, k.green2))};
}
// Green's sum is taken in 32 bits before its low half is kept: a wrapping add, not saturating.
template <class V>
chroma_terms<V> scalar_form_terms(V c1, V c2, const lane_coeffs<V>& k) {
    using O = ops<V>;
    return {O::mullo16(c1, k.low), O::mullo16(c2, k.high),
            O::add16(O::mullo16(c1, k.green1), O::mullo16(c2, k.green2))};
}

// Each lane twice (pixels sharing one chroma sample): lanes 0-3 or 4-7 of each half.
template <class V>
chroma_terms<V> dup2_lo(const chroma_terms<V>& t) {
    using O = ops<V>;
    return {O::unpacklo16(t.low, t.low), O::unpacklo16(t.high, t.high),
            O::unpacklo16(t.green, t.green)};
}
template <class V>
chroma_terms<V> dup2_hi(const chroma_terms<V>& t) {
    using O = ops<V>;
    return {O::unpackhi16(t.low, t.low), O::unpackhi16(t.high, t.high),
            O::unpackhi16(t.green, t.green)};
}
// Channel sums, negatives clamped to 0: each in 0..32767, so the lowest field of a pixel needs a
// shift but no mask.
template <class V>
struct channels {
    V high, green, low;
};
template <class V>
channels<V> sum_channels(V yt, const chroma_terms<V>& t) {
    using O = ops<V>;
    const V zero = O::zero();
    return {O::max16(O::adds16(t.high, yt), zero), O::max16(O::adds16(t.green, yt), zero),
            O::max16(O::adds16(t.low, yt), zero)};
}

struct pack_rgb565 {
    template <class V>
    static V pack(const channels<V>& c) {
        using O = ops<V>;
        const V m = O::set16(0x7C00);
        return O::or_(O::or_(O::template slli16<1>(O::and_(c.high, m)),
                             O::template srli16<4>(O::and_(c.green, m))),
                      O::template srli16<10>(c.low));
    }
};
struct pack_rgb555 {
    template <class V>
    static V pack(const channels<V>& c) {
        using O = ops<V>;
        const V m = O::set16(0x7C00);
        return O::or_(O::or_(O::and_(c.high, m), O::template srli16<5>(O::and_(c.green, m))),
                      O::template srli16<10>(c.low));
    }
};

// `a` then `b` as 32 contiguous bytes a half, each half's to its own block (`step` apart): a
// wider vector pairs its halves into whole-vector stores.
template <bool Aligned, class V>
void store16_twice(uint8_t* dst, size_t step, V a, V b) {
    using O = ops<V>;
    if constexpr (O::halves == 1) {
        O::template store16<Aligned>(dst, step, a);
        O::template store16<Aligned>(dst + 16, step, b);
    } else {
        O::template store32_pairs<Aligned>(dst, step, a, b);
    }
}

// The lower word of a 32-bit pixel: green above, the low channel below.
template <class V>
V green_low_888(const channels<V>& c) {
    using O = ops<V>;
    const V m = O::set16(0x7F80);
    return O::or_(O::template slli16<1>(O::and_(c.green, m)), O::template srli16<7>(c.low));
}
// Eight 32-bit pixels a half, in two stores: green-and-low word below, high word above. `step`:
// bytes from one half's destination to the next.
template <bool Aligned, class V>
void store_rgb888(uint8_t* dst, size_t step, const channels<V>& c) {
    using O = ops<V>;
    const V gl = green_low_888(c);
    const V h = O::template srli16<7>(c.high);
    store16_twice<Aligned>(dst, step, O::unpacklo16(gl, h), O::unpackhi16(gl, h));
}
// Sixteen 32-bit pixels a half from the even and the odd pixels' channels (eight lanes each).
template <bool Aligned, class V>
void store_rgb888_pairs(uint8_t* out, size_t step, const channels<V>& even,
                        const channels<V>& odd) {
    using O = ops<V>;
    const V ge = green_low_888(even), he = O::template srli16<7>(even.high);
    const V go = green_low_888(odd), ho = O::template srli16<7>(odd.high);
    const V e_lo = O::unpacklo16(ge, he), e_hi = O::unpackhi16(ge, he);
    const V o_lo = O::unpacklo16(go, ho), o_hi = O::unpackhi16(go, ho);
    store16_twice<Aligned>(out, step, O::unpacklo32(e_lo, o_lo), O::unpackhi32(e_lo, o_lo));
    store16_twice<Aligned>(out + 32, step, O::unpacklo32(e_hi, o_hi), O::unpackhi32(e_hi, o_hi));
}
// Sixteen 16-bit pixels a half from the packed even and odd pixels.
template <bool Aligned, class V>
void store16_pairs(uint8_t* dst, size_t step, V even, V odd) {
    using O = ops<V>;
    store16_twice<Aligned>(dst, step, O::unpacklo16(even, odd), O::unpackhi16(even, odd));
}

}  // namespace
}  // namespace pixel_simd
