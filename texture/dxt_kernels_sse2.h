// The block encoder's stages that each path computes its own way, here on SSE2: sixteen byte
// lanes measure all pixels against one palette entry at a time. dxt_kernels_portable.h gives
// the same results in plain C++.
#pragma once

#include <cstdint>

#include "dxt_common.h"
#include "dxt_tables.h"
#include "simd_sse2.h"

namespace qelt::dxt::sse2 {
// Internal to the file that includes it, so that the encoder's calls inline.
namespace {

// A 32-bit lane of two 16-bit halves.
inline int pair16(int lo, int hi) {
  return static_cast<int>((static_cast<uint32_t>(hi) << 16) | (static_cast<uint32_t>(lo) & 0xffff));
}

// A block's pixels in the layouts these kernels read. Inactive pixels count nowhere.
struct LoadedPixels {
  int count;
  int total[3];  // channel sums over active pixels; channel 0 is red, 1 green, 2 blue
  uint32_t sq;   // sum of squared channel values over active pixels
  Vec plane[3];  // one byte per pixel for each channel, zero where inactive
  Vec active;    // 0xff bytes for active pixels
  Vec br[4];     // 16-bit lanes (b, r) for pixels 4j..4j+3
  Vec g0[4];     // 16-bit lanes (g, 0)
  Vec keep[4];   // 32-bit all-ones lanes for active pixels
};

// Pixels with punch_through are active where their alpha is at least 128, else all are.
inline void read_pixels(LoadedPixels& px, const unsigned char bgra[64], bool punch_through) {
  const Vec low8 = splat_i32(0xff);
  Vec r[4], b[4];
  for (int j = 0; j < 4; ++j) {
    const Vec x = load(bgra + 16 * j);
    px.br[j] = bits_and(x, splat_i32(0x00ff00ff));
    px.g0[j] = bits_and(shift_right_u32(x, 8), low8);
    px.keep[j] = punch_through ? shift_right_i32(x, 31) : splat_i32(-1);
    r[j] = shift_right_u32(px.br[j], 16);
    b[j] = bits_and(x, low8);
  }
  px.active = pack_i16_to_i8(pack_i32_to_i16(px.keep[0], px.keep[1]),
                             pack_i32_to_i16(px.keep[2], px.keep[3]));
  px.plane[0] = bits_and(pack_bytes(r), px.active);
  px.plane[1] = bits_and(pack_bytes(px.g0), px.active);
  px.plane[2] = bits_and(pack_bytes(b), px.active);
  px.count = sum_bytes(bits_and(px.active, splat_i8(1)));
  for (int ch = 0; ch < 3; ++ch) px.total[ch] = sum_bytes(px.plane[ch]);
  Vec sq = zero();
  for (int j = 0; j < 4; ++j) {
    const Vec d = add_i32(madd_i16(px.br[j], px.br[j]), madd_i16(px.g0[j], px.g0[j]));
    sq = add_i32(sq, bits_and(d, px.keep[j]));
  }
  px.sq = horizontal_sum(sq);
}

// Each active pixel's best palette entry. Entry k = 0..D has channel values s_k = (r, g, b)[k],
// each the sum of two decoders' readings; with Black, entry D+1 is black. A pixel p takes the
// entry of lowest key 4 (|s_k|^2 + number of odd channels of s_k - 4 p.s_k) + k, black's key
// being D+1. Writes the positions (0 for inactive pixels) and returns the sum of the scores
// key >> 2, modulo 2^32. As |s_k - 2p|^2 >= 0, keys lie above -16 |p|^2 and so |key| < 2^22,
// exact in a float, and one float minimum per entry keeps both the score and the position.
template <int D, bool Black>
uint32_t best_entry_scores(const LoadedPixels& px, const int (&r)[4], const int (&g)[4],
                           const int (&b)[4], uint8_t pos[16]) {
  // One lane per entry, in the pixels' (b, r) and (g, 0) layout.
  const Vec br4 =
      make_i32(pair16(b[0], r[0]), pair16(b[1], r[1]), pair16(b[2], r[2]), pair16(b[3], r[3]));
  const Vec g4 = make_i32(g[0], g[1], g[2], g[3]);
  const Vec split4 =
      make_i32((r[0] & 1) + (g[0] & 1) + (b[0] & 1), (r[1] & 1) + (g[1] & 1) + (b[1] & 1),
               (r[2] & 1) + (g[2] & 1) + (b[2] & 1), (r[3] & 1) + (g[3] & 1) + (b[3] & 1));
  const Vec sq4 = add_i32(add_i32(madd_i16(br4, br4), madd_i16(g4, g4)), split4);
  const Vec bias4 = add_i32(shift_left_i32(sq4, 2), make_i32(0, 1, 2, 3));
  const Vec mbr4 = multiply_low_i16(br4, splat_i16(-16));
  const Vec mg4 = multiply_low_i16(g4, splat_i16(-16));
  Vec mbr[D + 1], mg[D + 1], bias[D + 1];
  unroll<D + 1>([&](auto k) {
    constexpr int kSplat = k * 0x55;
    mbr[k] = shuffle_i32<kSplat>(mbr4);
    mg[k] = shuffle_i32<kSplat>(mg4);
    bias[k] = shuffle_i32<kSplat>(bias4);
  });
  Vec total = zero();
  Vec idx[4];
  unroll<4>([&](auto j) {
    VecF best = splat_f32(float(D + 1));
    unroll<D + 1>([&](auto k) {
      const Vec dot = add_i32(madd_i16(px.br[j], mbr[k]), madd_i16(px.g0[j], mg[k]));
      const VecF key = to_f32(add_i32(dot, bias[k]));
      best = k == 0 && !Black ? key : min_f32(best, key);
    });
    const Vec bk = bits_and(truncate_to_i32(best), px.keep[j]);
    total = add_i32(total, shift_right_i32(bk, 2));
    idx[j] = bits_and(bk, splat_i32(3));
  });
  store(pos, pack_bytes(idx));
  return horizontal_sum(total);
}

// Sums over the active pixels of the products of their channel values, prod[a][b] for a <= b.
inline void channel_products(const LoadedPixels& px, int (&prod)[3][3]) {
  Vec w[3][2];
  for (int ch = 0; ch < 3; ++ch) {
    w[ch][0] = interleave_low_i8(px.plane[ch], zero());
    w[ch][1] = interleave_high_i8(px.plane[ch], zero());
  }
  for (int a = 0; a < 3; ++a)
    for (int b = a; b < 3; ++b)
      prod[a][b] = static_cast<int>(
          horizontal_sum(add_i32(madd_i16(w[a][0], w[b][0]), madd_i16(w[a][1], w[b][1]))));
}

// Each pixel's projection on v, whose components have at most 15 bits, and the extremes. The
// projections stay below 2^25, leaving room for the pixel number in the low bits of a key; it
// breaks ties towards the first pixel at both ends.
inline void project(const LoadedPixels& px, const int (&v)[3], Projection& out) {
  const Vec vbr = splat_i32(pair16(v[2], v[0]));
  const Vec vg = splat_i32(v[1] & 0xffff);
  Vec kmin = splat_i32(0x7fffffff), kmax = splat_i32(-0x7fffffff - 1);
  for (int j = 0; j < 4; ++j) {
    const Vec proj = add_i32(madd_i16(px.br[j], vbr), madd_i16(px.g0[j], vg));
    store_aligned(out.proj + 4 * j, proj);
    const Vec key = shift_left_i32(proj, 4);
    const Vec i = make_i32(4 * j, 4 * j + 1, 4 * j + 2, 4 * j + 3);
    kmin = min32(kmin, select(px.keep[j], bits_or(key, i), kmin));
    kmax = max32(kmax, select(px.keep[j], bits_or(key, bits_xor(i, splat_i32(15))), kmax));
  }
  kmin = min32(kmin, shuffle_i32<0x4e>(kmin));
  kmin = min32(kmin, shuffle_i32<0xb1>(kmin));
  kmax = max32(kmax, shuffle_i32<0x4e>(kmax));
  kmax = max32(kmax, shuffle_i32<0xb1>(kmax));
  const int first = low_i32(kmin), last = low_i32(kmax);
  out.low = first >> 4;
  out.high = last >> 4;
  out.lo = first & 15;
  out.hi = 15 - (last & 15);
}

// Positions 0..D from slicing the projections into D+1 equal steps, position 0 at the high end:
// position k starts where 2D (high - proj) exceeds (2k - 1) (high - low), which fits in 32 bits
// as projections stay below 2^25. Inactive pixels take position 0.
template <int D>
void slice_projections(const LoadedPixels& px, const Projection& pr, uint8_t pos[16]) {
  const int range = pr.high - pr.low;
  Vec idx[4];
  for (int j = 0; j < 4; ++j) {
    const Vec d = sub_i32(splat_i32(pr.high), load_aligned(pr.proj + 4 * j));
    const Vec scaled =
        D == 3 ? add_i32(shift_left_i32(d, 2), shift_left_i32(d, 1)) : shift_left_i32(d, 2);
    Vec p = zero();
    for (int k = 1; k <= D; ++k)
      p = sub_i32(p, greater_i32(scaled, splat_i32((2 * k - 1) * range)));
    idx[j] = bits_and(p, px.keep[j]);
  }
  store(pos, pack_bytes(idx));
}

// The active pixels by descending projection, the last of equal ones first. A pixel's rank is
// the number of active keys above its own; keys are unique, as the pixel number fills their low
// bits.
inline void order_by_projection(const LoadedPixels& px, const Projection& pr, uint8_t pixel[16]) {
  alignas(16) int key[16];
  Vec keys[4];
  for (int j = 0; j < 4; ++j) {
    const Vec i = make_i32(4 * j, 4 * j + 1, 4 * j + 2, 4 * j + 3);
    keys[j] = select(px.keep[j], bits_or(shift_left_i32(load_aligned(pr.proj + 4 * j), 4), i),
                     splat_i32(-0x7fffffff - 1));
    store_aligned(key + 4 * j, keys[j]);
  }
  Vec rank[4] = {zero(), zero(), zero(), zero()};
  for (int i = 0; i < 16; ++i) {
    const Vec k = splat_i32(key[i]);
    for (int j = 0; j < 4; ++j) rank[j] = sub_i32(rank[j], greater_i32(k, keys[j]));
  }
  alignas(16) int r[16];
  for (int j = 0; j < 4; ++j) store_aligned(r + 4 * j, rank[j]);
  const int mask = mask_of_i8(px.active);
  for (int i = 0; i < 16; ++i)
    if ((mask >> i) & 1) pixel[r[i]] = static_cast<uint8_t>(i);
}

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
    return horizontal_sum(add_i32(madd_i16(lo, lo), madd_i16(hi, hi)));
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

// The errors of the code pairs (qa + i, qb + j) of one channel for positions with counts n and
// channel sums s, into err[2i + j], as pick_code_pair in the encoder scores them: side by side,
// pair (qa + i, qb + j) in 32-bit lane 2i + j, two entries at a time in 16-bit halves, which hold
// them as v <= 510 and -16320 <= n v - 4 s <= 8160.
template <int D, int Sel>
inline void code_pair_errors(const int (&n)[4], const int (&s)[4], int qa, int qb, int (&err)[4]) {
  const Tables& t = kTables;
  // Neighbouring codes sit side by side in the tables, so each load brings both choices of one
  // code; the interleaves spread them over the lanes.
  const Vec ea = load_low_i32(&t.twice_expand[Sel][qa]);
  const Vec eb = load_low_i32(&t.twice_expand[Sel][qb]);
  const Vec first = interleave_low_i16(ea, ea), last = interleave_low_i32(eb, eb);
  Vec e01, e23;  // the entries at positions 0 and 1, 2 and 3
  if constexpr (D == 3) {
    const Vec near_first = interleave_low_i32(load_low_i32(&t.third_both[Sel][qa][qb]),
                                              load_low_i32(&t.third_both[Sel][qa + 1][qb]));
    const Vec near_last = interleave_low_i16(load_low_i32(&t.third_both[Sel][qb][qa]),
                                             load_low_i32(&t.third_both[Sel][qb + 1][qa]));
    e01 = interleave_low_i16(first, near_first);
    e23 = interleave_low_i16(near_last, last);
  } else {
    e01 = interleave_low_i16(first, shift_right_u16(add_i16(first, last), 1));
    e23 = interleave_low_i16(last, zero());
  }
  auto score = [&](Vec e, int k0, int k1) {
    const int n1 = k1 <= D ? n[k1] : 0, s1 = k1 <= D ? s[k1] : 0;
    const Vec weight = splat_i32(pair16(n[k0], n1));
    const Vec w = add_i16(multiply_low_i16(e, weight), splat_i32(pair16(-4 * s[k0], -4 * s1)));
    return add_i32(madd_i16(e, w), madd_i16(bits_and(e, splat_i16(1)), weight));
  };
  store(err, add_i32(score(e01, 0, 1), score(e23, 2, 3)));
}

// Counts and channel sums of the active pixels at positions 1 to 3 (positions are 0 to 3), into
// n[1..3] and s[1..3].
inline void sums_at_positions(const LoadedPixels& px, const uint8_t pos[16], int n[4],
                              int s[4][3]) {
  const Vec(&plane)[3] = px.plane;
  const Vec p = load(pos);
  const Vec ones = bits_and(px.active, splat_i8(1));
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

// The positions 0 to 3 that some active pixel takes, as bits 0 to 3: `active` has 0xff bytes
// for the active pixels and 0 for the others, and positions are 0 to 3.
inline int positions_used(const uint8_t pos[16], Vec active) {
  const Vec p = load(pos);
  int used = 0;
  for (int k = 0; k < 4; ++k)
    if (mask_of_i8(bits_and(equal_i8(p, splat_i8(static_cast<char>(k))), active))) used |= 1 << k;
  return used;
}

// The 2-bit indices of a colour block, pixel i's at bits 2i: code[pos[i]] for the pixels with
// 0xff bytes in `active`, 3 for the others. Positions are 0 to 3, 16-byte aligned.
inline uint32_t index_bits(const uint8_t pos[16], const int (&code)[4], Vec active) {
  const Vec p = load_aligned(pos);
  // Every pixel covered, all at one position, as in flat blocks.
  if (mask_of_i8(bits_and(equal_i8(p, splat_i8(static_cast<char>(pos[0]))), active)) == 0xffff)
    return static_cast<uint32_t>(code[pos[0]]) * 0x55555555u;
  Vec idx = bits_andnot(active, splat_i8(3));
  for (int k = 0; k < 4; ++k) {
    const Vec hit = bits_and(equal_i8(p, splat_i8(static_cast<char>(k))), active);
    idx = bits_or(idx, bits_and(hit, splat_i8(static_cast<char>(code[k]))));
  }
  const uint32_t low = static_cast<uint32_t>(mask_of_i8(shift_left_i64(idx, 7)));
  const uint32_t high = static_cast<uint32_t>(mask_of_i8(shift_left_i64(idx, 6)));
  return spread_bits(low) | (spread_bits(high) << 1);
}

// The 16 alpha values, one byte each.
inline Vec alpha_bytes(const unsigned char bgra[64]) {
  Vec a[4];
  for (int j = 0; j < 4; ++j) a[j] = shift_right_u32(load(bgra + 16 * j), 24);
  return pack_bytes(a);
}

// The 4-bit alpha levels of an explicit alpha block, pixel pairs sharing a byte with the first in
// the low nibble. Each is the nearest of 16 levels, (15a + 127) / 255, where
// x / 255 = (x + 1 + (x >> 8)) >> 8 for the x that occur.
inline void explicit_alpha(const unsigned char bgra[64], unsigned char out[8]) {
  const Vec a = alpha_bytes(bgra);
  Vec q[2];
  for (int h = 0; h < 2; ++h) {
    const Vec w = h ? interleave_high_i8(a, zero()) : interleave_low_i8(a, zero());
    const Vec x = add_i16(multiply_low_i16(w, splat_i16(15)), splat_i16(127));
    q[h] = shift_right_u16(add_i16(add_i16(x, splat_i16(1)), shift_right_u16(x, 8)), 8);
  }
  const Vec levels = pack_i16_to_u8(q[0], q[1]);
  const Vec pairs = bits_or(bits_and(levels, splat_i16(0x0f)),
                            bits_and(shift_right_u16(levels, 4), splat_i16(0xf0)));
  store_low_half(out, pack_i16_to_u8(pairs, pairs));
}

// The pixels, as a 16-bit mask, whose colour is that of pixel i.
inline int same_colour_as(const unsigned char bgra[64], int i) {
  uint32_t colour;
  std::memcpy(&colour, bgra + 4 * i, 4);
  const Vec ref = splat_i32(static_cast<int>(colour & 0xffffff));
  int same = 0;
  for (int j = 0; j < 4; ++j) {
    const Vec x = bits_and(load(bgra + 16 * j), splat_i32(0xffffff));
    same |= mask_of_i32(equal_i32(x, ref)) << (4 * j);
  }
  return same;
}

}  // namespace
}  // namespace qelt::dxt::sse2
