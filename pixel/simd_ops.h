// The primitive operations of the row converters, one specialisation of ops<V> per vector type,
// each in its instruction set's own header (simd_ops_sse2.h, simd_ops_avx2.h, simd_ops_neon.h).
// Every specialisation offers the same names: the block steps are written once over V.
//   narrow: the 16-byte vector of the same instruction set, for the blocks a wide step leaves;
//   halves: 16-byte halves in V, each converting one block.
#pragma once

namespace pixel_simd {
// Internal linkage: files compiled for other instruction sets include these too, and their
// copies must never stand in for these.
namespace {

template <class V>
struct ops;

}  // namespace
}  // namespace pixel_simd
