// The row converters' primitive operations on one NEON register: sixteen bytes, eight 16-bit
// lanes, as in simd_ops_sse2.h and with the same results lane for lane (saturation included).
// Values travel as bytes and are reinterpreted per operation, as the SSE2 integer type is untyped.
#pragma once

#include <arm_neon.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixel/simd_ops.h"

namespace pixel_simd {
namespace {

inline int16x8_t s16(uint8x16_t v) { return vreinterpretq_s16_u8(v); }
inline uint16x8_t u16(uint8x16_t v) { return vreinterpretq_u16_u8(v); }
inline int32x4_t s32(uint8x16_t v) { return vreinterpretq_s32_u8(v); }
inline uint32x4_t u32(uint8x16_t v) { return vreinterpretq_u32_u8(v); }
inline uint8x16_t bytes(int16x8_t v) { return vreinterpretq_u8_s16(v); }
inline uint8x16_t bytes(uint16x8_t v) { return vreinterpretq_u8_u16(v); }
inline uint8x16_t bytes(int32x4_t v) { return vreinterpretq_u8_s32(v); }
inline uint8x16_t bytes(uint32x4_t v) { return vreinterpretq_u8_u32(v); }

template <>
struct ops<uint8x16_t> {
    using V = uint8x16_t;
    using narrow = uint8x16_t;
    static constexpr unsigned halves = 1;

    static V zero() { return vdupq_n_u8(0); }
    static V set16(int16_t x) { return bytes(vdupq_n_s16(x)); }
    static V lanes(const void* field) { return vld1q_u8(static_cast<const uint8_t*>(field)); }

    static V adds_u8(V a, V b) { return vqaddq_u8(a, b); }
    static V add16(V a, V b) { return bytes(vaddq_s16(s16(a), s16(b))); }
    static V sub16(V a, V b) { return bytes(vsubq_s16(s16(a), s16(b))); }
    static V mullo16(V a, V b) { return bytes(vmulq_s16(s16(a), s16(b))); }
    static V adds16(V a, V b) { return bytes(vqaddq_s16(s16(a), s16(b))); }
    static V max16(V a, V b) { return bytes(vmaxq_s16(s16(a), s16(b))); }
    static V min16(V a, V b) { return bytes(vminq_s16(s16(a), s16(b))); }
    static V and_(V a, V b) { return vandq_u8(a, b); }
    static V or_(V a, V b) { return vorrq_u8(a, b); }
    template <int N>
    static V srli16(V a) {
        return bytes(vshrq_n_u16(u16(a), N));
    }
    template <int N>
    static V slli16(V a) {
        return bytes(vshlq_n_u16(u16(a), N));
    }
    template <int N>
    static V srai16(V a) {
        return bytes(vshrq_n_s16(s16(a), N));
    }
    static V add32(V a, V b) { return bytes(vaddq_s32(s32(a), s32(b))); }
    static V sub32(V a, V b) { return bytes(vsubq_s32(s32(a), s32(b))); }
    // The low 32 bits of each product, as the 32-bit reference keeps them.
    static V mullo32(V a, V b) { return bytes(vmulq_s32(s32(a), s32(b))); }
    static V set32(int32_t x) { return bytes(vdupq_n_s32(x)); }
    template <int N>
    static V srai32(V a) {
        return bytes(vshrq_n_s32(s32(a), N));
    }
    static V packs32(V a, V b) {
        return bytes(vcombine_s16(vqmovn_s32(s32(a)), vqmovn_s32(s32(b))));
    }
    static V unpacklo8(V a, V b) { return vzip1q_u8(a, b); }
    static V unpackhi8(V a, V b) { return vzip2q_u8(a, b); }
    static V unpacklo16(V a, V b) { return bytes(vzip1q_u16(u16(a), u16(b))); }
    static V unpackhi16(V a, V b) { return bytes(vzip2q_u16(u16(a), u16(b))); }
    static V unpacklo32(V a, V b) { return bytes(vzip1q_u32(u32(a), u32(b))); }
    static V unpackhi32(V a, V b) { return bytes(vzip2q_u32(u32(a), u32(b))); }

    // Loads of 16, 8, 4 or 2 bytes into the low end, the rest zero. The aligned and unaligned
    // forms are one instruction here.
    template <bool>
    static V load16(const uint8_t* p, size_t) {
        return vld1q_u8(p);
    }
    static V load8(const uint8_t* p, size_t) { return vcombine_u8(vld1_u8(p), vdup_n_u8(0)); }
    // Eight bytes as 16-bit lanes.
    static V load8_wide(const uint8_t* p) { return bytes(vmovl_u8(vld1_u8(p))); }
    static V load4(const uint8_t* p, size_t) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return bytes(vsetq_lane_u32(v, vdupq_n_u32(0), 0));
    }
    static V load2(const uint8_t* p, size_t) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return bytes(vsetq_lane_u16(v, vdupq_n_u16(0), 0));
    }
    // Plain stores on every path. A framebuffer is mapped write-combining (not cached) on arm64,
    // so the non-temporal pair store, only a hint about cache allocation, would buy nothing there,
    // and it has no intrinsic.
    template <bool>
    static void store16(uint8_t* p, size_t, V v) {
        vst1q_u8(p, v);
    }
    // The three low bytes of each 32-bit pixel, packed, sixteen pixels a step: the four bytes of
    // each pixel de-interleaved, three of them stored interleaved; `pixels` a multiple of 16.
    static void pack_rgb24(const uint32_t* wide, uint8_t* out, unsigned pixels) {
        for (unsigned i = 0; i < pixels; i += 16) {
            const uint8x16x4_t p = vld4q_u8(reinterpret_cast<const uint8_t*>(wide + i));
            vst3q_u8(out + 3 * i, uint8x16x3_t{{p.val[0], p.val[1], p.val[2]}});
        }
    }
};

}  // namespace
}  // namespace pixel_simd
