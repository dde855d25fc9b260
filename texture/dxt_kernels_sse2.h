// The block encoder's stages that each path computes its own way, here on SSE2: sixteen byte
// lanes measure all pixels against one palette entry at a time. dxt_kernels_portable.h gives
// the same results in plain C++.
#pragma once

#include <cstdint>

#include "simd_sse2.h"

namespace qelt::dxt::sse2 {

// The 16 alpha values of a block, measured against 8-entry palettes.
class AlphaValues {
 public:
  explicit AlphaValues(Vec alpha) : alpha_(alpha) {}

  int low() const { return min_byte(alpha_); }
  int high() const { return max_byte(alpha_); }
  // Extremes of the values strictly between 0 and 255: the least value other than 0 (255 when
  // none) and the greatest other than 255 (0 when none).
  int inner_low() const { return min_byte(bits_or(alpha_, equal_i8(alpha_, zero()))); }
  int inner_high() const { return max_byte(bits_andnot(equal_i8(alpha_, splat_i8(-1)), alpha_)); }

  // Sum over the pixels of the squared distance to the nearest entry.
  uint32_t error(const uint8_t palette[8]) const {
    Vec best = splat_i8(-1);
    for (int k = 0; k < 8; ++k) best = min_u8(best, distance(palette[k]));
    const Vec lo = interleave_low_i8(best, zero()), hi = interleave_high_i8(best, zero());
    Vec v = add_i32(madd_i16(lo, lo), madd_i16(hi, hi));
    v = add_i32(v, shuffle_i32<0x4e>(v));
    v = add_i32(v, shuffle_i32<0xb1>(v));
    return static_cast<uint32_t>(low_i32(v));
  }

  // Each pixel's nearest entry, the lowest index among equally near ones.
  void nearest(const uint8_t palette[8], uint8_t index[16]) const {
    Vec dist[8], best = splat_i8(-1);
    for (int k = 0; k < 8; ++k) {
      dist[k] = distance(palette[k]);
      best = min_u8(best, dist[k]);
    }
    // Scanning down lets the lowest index win.
    Vec idx = zero();
    for (int k = 7; k >= 0; --k) {
      const Vec hit = equal_i8(dist[k], best);
      idx = bits_or(bits_and(hit, splat_i8(static_cast<char>(k))), bits_andnot(hit, idx));
    }
    store(index, idx);
  }

 private:
  Vec distance(uint8_t entry) const {
    const Vec e = splat_i8(static_cast<char>(entry));
    return bits_or(subtract_saturated_u8(alpha_, e), subtract_saturated_u8(e, alpha_));
  }

  static int min_byte(Vec v) {
    v = min_u8(v, shift_bytes_right<8>(v));
    v = min_u8(v, shift_bytes_right<4>(v));
    v = min_u8(v, shift_bytes_right<2>(v));
    v = min_u8(v, shift_bytes_right<1>(v));
    return low_i32(v) & 0xff;
  }

  static int max_byte(Vec v) {
    v = max_u8(v, shift_bytes_right<8>(v));
    v = max_u8(v, shift_bytes_right<4>(v));
    v = max_u8(v, shift_bytes_right<2>(v));
    v = max_u8(v, shift_bytes_right<1>(v));
    return low_i32(v) & 0xff;
  }

  Vec alpha_;
};

// Counts and channel sums of the active pixels at positions 1 to 3 (positions are 0 to 3), into
// n[1..3] and s[1..3]. `plane` holds each channel's bytes, zero for inactive pixels, and `active`
// 0xff bytes for active ones.
inline void sums_at_positions(const Vec (&plane)[3], Vec active, const uint8_t pos[16], int n[4],
                              int s[4][3]) {
  const Vec p = load(pos);
  const Vec ones = bits_and(active, splat_i8(1));
  for (int k = 1; k <= 3; ++k) {
    const Vec m = equal_i8(p, splat_i8(static_cast<char>(k)));
    // Each byte sum fits in 32 bits, so four of them share one reduction.
    const Vec r = sad_u8(bits_and(m, plane[0]), zero());
    const Vec g = sad_u8(bits_and(m, plane[1]), zero());
    const Vec b = sad_u8(bits_and(m, plane[2]), zero());
    const Vec c = sad_u8(bits_and(m, ones), zero());
    const Vec rg = add_i32(r, shift_left_i64(g, 32));
    const Vec bc = add_i32(b, shift_left_i64(c, 32));
    alignas(16) int sums[4];
    store_aligned(sums, add_i32(interleave_low_i64(rg, bc), interleave_high_i64(rg, bc)));
    n[k] = sums[3];
    for (int ch = 0; ch < 3; ++ch) s[k][ch] = sums[ch];
  }
}

}  // namespace qelt::dxt::sse2
