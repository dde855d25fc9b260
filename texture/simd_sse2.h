// The block encoder's vector operations on SSE2 instructions: 128-bit values seen as 16 bytes,
// 8 16-bit, 4 32-bit or 2 64-bit lanes, and 4 floats. Included only by the SSE2 path's file,
// which alone is compiled for SSE2.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace qelt::dxt::sse2 {

using Vec = __m128i;
using VecF = __m128;

inline Vec zero() { return _mm_setzero_si128(); }
inline Vec splat_i8(char v) { return _mm_set1_epi8(v); }
inline Vec splat_i16(short v) { return _mm_set1_epi16(v); }
inline Vec splat_i32(int v) { return _mm_set1_epi32(v); }
inline Vec make_i32(int a, int b, int c, int d) { return _mm_setr_epi32(a, b, c, d); }
// Aligned means on a 16-byte boundary; store_low_half writes the low 8 bytes.
inline Vec load(const void* p) { return _mm_loadu_si128(static_cast<const Vec*>(p)); }
// Four bytes into the low lane, the rest zero.
inline Vec load_low_i32(const void* p) {
  int v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}
inline Vec load_aligned(const void* p) { return _mm_load_si128(static_cast<const Vec*>(p)); }
inline void store(void* p, Vec v) { _mm_storeu_si128(static_cast<Vec*>(p), v); }
inline void store_aligned(void* p, Vec v) { _mm_store_si128(static_cast<Vec*>(p), v); }
inline void store_low_half(void* p, Vec v) { _mm_storel_epi64(static_cast<Vec*>(p), v); }
inline int low_i32(Vec v) { return _mm_cvtsi128_si32(v); }

inline Vec bits_and(Vec a, Vec b) { return _mm_and_si128(a, b); }
inline Vec bits_or(Vec a, Vec b) { return _mm_or_si128(a, b); }
inline Vec bits_xor(Vec a, Vec b) { return _mm_xor_si128(a, b); }
inline Vec bits_andnot(Vec a, Vec b) { return _mm_andnot_si128(a, b); }

inline Vec add_i16(Vec a, Vec b) { return _mm_add_epi16(a, b); }
inline Vec add_i32(Vec a, Vec b) { return _mm_add_epi32(a, b); }
inline Vec sub_i32(Vec a, Vec b) { return _mm_sub_epi32(a, b); }
inline Vec multiply_low_i16(Vec a, Vec b) { return _mm_mullo_epi16(a, b); }
inline Vec madd_i16(Vec a, Vec b) { return _mm_madd_epi16(a, b); }
inline Vec sad_u8(Vec a, Vec b) { return _mm_sad_epu8(a, b); }
inline Vec min_u8(Vec a, Vec b) { return _mm_min_epu8(a, b); }
inline Vec max_u8(Vec a, Vec b) { return _mm_max_epu8(a, b); }
inline Vec subtract_saturated_u8(Vec a, Vec b) { return _mm_subs_epu8(a, b); }

inline Vec equal_i8(Vec a, Vec b) { return _mm_cmpeq_epi8(a, b); }
inline Vec equal_i32(Vec a, Vec b) { return _mm_cmpeq_epi32(a, b); }
inline Vec greater_i32(Vec a, Vec b) { return _mm_cmpgt_epi32(a, b); }
inline int mask_of_i8(Vec v) { return _mm_movemask_epi8(v); }
inline int mask_of_i32(Vec v) { return _mm_movemask_ps(_mm_castsi128_ps(v)); }

inline Vec shift_left_i32(Vec v, int n) { return _mm_slli_epi32(v, n); }
inline Vec shift_right_u32(Vec v, int n) { return _mm_srli_epi32(v, n); }
inline Vec shift_right_i32(Vec v, int n) { return _mm_srai_epi32(v, n); }
inline Vec shift_right_u16(Vec v, int n) { return _mm_srli_epi16(v, n); }
inline Vec shift_left_i64(Vec v, int n) { return _mm_slli_epi64(v, n); }
template <int N>
inline Vec shift_bytes_right(Vec v) {
  return _mm_srli_si128(v, N);
}
template <int Order>
inline Vec shuffle_i32(Vec v) {
  return _mm_shuffle_epi32(v, Order);
}

inline Vec pack_i32_to_i16(Vec a, Vec b) { return _mm_packs_epi32(a, b); }
inline Vec pack_i16_to_i8(Vec a, Vec b) { return _mm_packs_epi16(a, b); }
inline Vec pack_i16_to_u8(Vec a, Vec b) { return _mm_packus_epi16(a, b); }
inline Vec interleave_low_i8(Vec a, Vec b) { return _mm_unpacklo_epi8(a, b); }
inline Vec interleave_high_i8(Vec a, Vec b) { return _mm_unpackhi_epi8(a, b); }
inline Vec interleave_low_i16(Vec a, Vec b) { return _mm_unpacklo_epi16(a, b); }
inline Vec interleave_low_i32(Vec a, Vec b) { return _mm_unpacklo_epi32(a, b); }
inline Vec interleave_low_i64(Vec a, Vec b) { return _mm_unpacklo_epi64(a, b); }
inline Vec interleave_high_i64(Vec a, Vec b) { return _mm_unpackhi_epi64(a, b); }

inline VecF splat_f32(float v) { return _mm_set1_ps(v); }
inline VecF to_f32(Vec v) { return _mm_cvtepi32_ps(v); }
inline VecF min_f32(VecF a, VecF b) { return _mm_min_ps(a, b); }
inline Vec truncate_to_i32(VecF v) { return _mm_cvttps_epi32(v); }

// Composite operations; simd_portable.h computes select and sum_bytes directly, and its kernels
// need none of the others.
inline Vec select(Vec mask, Vec a, Vec b) {
  return bits_or(bits_and(mask, a), bits_andnot(mask, b));
}
inline Vec min32(Vec a, Vec b) { return select(greater_i32(a, b), b, a); }
inline Vec max32(Vec a, Vec b) { return select(greater_i32(a, b), a, b); }
inline uint32_t horizontal_sum(Vec v) {
  v = add_i32(v, shuffle_i32<0x4e>(v));
  v = add_i32(v, shuffle_i32<0xb1>(v));
  return static_cast<uint32_t>(low_i32(v));
}
inline int sum_bytes(Vec v) {
  const Vec s = sad_u8(v, zero());
  return low_i32(add_i32(s, interleave_high_i64(s, s)));
}
// The 32-bit lanes of four values, saturated to bytes.
inline Vec pack_bytes(const Vec (&quads)[4]) {
  return pack_i16_to_u8(pack_i32_to_i16(quads[0], quads[1]), pack_i32_to_i16(quads[2], quads[3]));
}

}  // namespace qelt::dxt::sse2
