// The row converters' primitive operations on a 32-byte vector: each 16-byte half holds one block,
// the low half the first of two consecutive blocks, the high half the second. Every operation the
// block steps use works within a half, so two blocks take the instructions of one.
#pragma once

#include <immintrin.h>

#include "pixel/simd_ops_sse2.h"

namespace pixel_simd {
namespace {

template <>
struct ops<__m256i> {
    using V = __m256i;
    using narrow = __m128i;
    static constexpr unsigned halves = 2;

    static V zero() { return _mm256_setzero_si256(); }
    static V set16(int16_t x) { return _mm256_set1_epi16(x); }
    static V lanes(const void* field) {
        return _mm256_broadcastsi128_si256(_mm_load_si128(static_cast<const __m128i*>(field)));
    }

    static V adds_u8(V a, V b) { return _mm256_adds_epu8(a, b); }
    static V add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V adds16(V a, V b) { return _mm256_adds_epi16(a, b); }
    static V max16(V a, V b) { return _mm256_max_epi16(a, b); }
    static V and_(V a, V b) { return _mm256_and_si256(a, b); }
    static V or_(V a, V b) { return _mm256_or_si256(a, b); }
    template <int N>
    static V srli16(V a) {
        return _mm256_srli_epi16(a, N);
    }
    template <int N>
    static V slli16(V a) {
        return _mm256_slli_epi16(a, N);
    }
    static V min16(V a, V b) { return _mm256_min_epi16(a, b); }
    template <int N>
    static V srai16(V a) {
        return _mm256_srai_epi16(a, N);
    }
    static V add32(V a, V b) { return _mm256_add_epi32(a, b); }
    static V sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
    static V mullo32(V a, V b) { return _mm256_mullo_epi32(a, b); }
    static V set32(int32_t x) { return _mm256_set1_epi32(x); }
    template <int N>
    static V srai32(V a) {
        return _mm256_srai_epi32(a, N);
    }
    static V packs32(V a, V b) { return _mm256_packs_epi32(a, b); }
    static V unpacklo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
    static V unpackhi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
    static V unpacklo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
    static V unpacklo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
    static V unpackhi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }

    static V halves_of(__m128i lo, __m128i hi) {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
    template <bool Aligned>
    static V load16(const uint8_t* p, size_t step) {
        if (step == 16) return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
        return halves_of(ops<__m128i>::load16<Aligned>(p, 0),
                         ops<__m128i>::load16<Aligned>(p + step, 0));
    }
    static V load8(const uint8_t* p, size_t step) {
        return halves_of(ops<__m128i>::load8(p, 0), ops<__m128i>::load8(p + step, 0));
    }
    static V load8_wide(const uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static V load4(const uint8_t* p, size_t step) {
        return halves_of(ops<__m128i>::load4(p, 0), ops<__m128i>::load4(p + step, 0));
    }
    static V load2(const uint8_t* p, size_t step) {
        return halves_of(ops<__m128i>::load2(p, 0), ops<__m128i>::load2(p + step, 0));
    }
    // As ops<__m128i>::pack_rgb24, sixteen pixels at a time with byte shuffles; `pixels` a
    // multiple of 16.
    static void pack_rgb24(const uint32_t* wide, uint8_t* out, unsigned pixels) {
        const __m128i keep3 = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        for (unsigned i = 0; i < pixels; i += 16, out += 48) {
            const __m128i* in = reinterpret_cast<const __m128i*>(wide + i);
            const __m128i a = _mm_shuffle_epi8(_mm_load_si128(in), keep3);
            const __m128i b = _mm_shuffle_epi8(_mm_load_si128(in + 1), keep3);
            const __m128i c = _mm_shuffle_epi8(_mm_load_si128(in + 2), keep3);
            const __m128i d = _mm_shuffle_epi8(_mm_load_si128(in + 3), keep3);
            __m128i* o = reinterpret_cast<__m128i*>(out);
            _mm_storeu_si128(o, _mm_or_si128(a, _mm_slli_si128(b, 12)));
            _mm_storeu_si128(o + 1, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
            _mm_storeu_si128(o + 2, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
        }
    }
    // The low halves of a and b as 32 contiguous bytes at p, their high halves at p + step: two
    // whole-vector stores instead of four half ones. Streaming ones need 32-byte alignment, which
    // the aligned path does not promise; without it they go out in 16-byte halves.
    template <bool Aligned>
    static void store32_pairs(uint8_t* p, size_t step, V a, V b) {
        const V first = _mm256_permute2x128_si256(a, b, 0x20);
        const V second = _mm256_permute2x128_si256(a, b, 0x31);
        if constexpr (Aligned) {
            if (((reinterpret_cast<uintptr_t>(p) | step) & 31) == 0) {
                _mm256_stream_si256(reinterpret_cast<V*>(p), first);
                _mm256_stream_si256(reinterpret_cast<V*>(p + step), second);
            } else {
                store16<true>(p, 16, first);
                store16<true>(p + step, 16, second);
            }
        } else {
            _mm256_storeu_si256(reinterpret_cast<V*>(p), first);
            _mm256_storeu_si256(reinterpret_cast<V*>(p + step), second);
        }
    }
    // Each half to its own block. Streaming stores of 16 bytes: the aligned path promises 16-byte
    // alignment only.
    template <bool Aligned>
    static void store16(uint8_t* p, size_t step, V v) {
        ops<__m128i>::store16<Aligned>(p, 0, _mm256_castsi256_si128(v));
        ops<__m128i>::store16<Aligned>(p + step, 0, _mm256_extracti128_si256(v, 1));
    }
};

}  // namespace
}  // namespace pixel_simd
