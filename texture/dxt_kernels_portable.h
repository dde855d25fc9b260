// The block encoder's stages that each path computes its own way, here in plain C++ on scalar
// values, with exactly the results of dxt_kernels_sse2.h.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "dxt_common.h"
#include "dxt_tables.h"
#include "simd_portable.h"

namespace qelt::dxt::portable {
// Internal to the file that includes it, so that the encoder's calls inline.
namespace {

// A block's pixels in the layouts these kernels read. Inactive pixels count nowhere.
struct LoadedPixels {
  int count;
  int total[3];  // channel sums over active pixels; channel 0 is red, 1 green, 2 blue
  uint32_t sq;   // sum of squared channel values over active pixels
  Vec plane[3];  // one byte per pixel for each channel, zero where inactive
  Vec active;    // 0xff bytes for active pixels
  // Each pixel's red, green, blue and 1 in 16-bit fields from the low end, zero where inactive:
  // one addition sums all four over a pixel, without carries between fields for 16 pixels.
  uint64_t fields[16];
  // Each channel's values times -16 as floats, zero where inactive.
  float scaled[3][16];
};

// Pixels with punch_through are active where their alpha is at least 128, else all are. Each
// quantity takes its own pass over the 16 pixels, on 32-bit values, which compilers turn into
// vector code where the target has it. Pixels are read little-endian, as x86 stores them.
inline void read_pixels(LoadedPixels& px, const unsigned char bgra[64], bool punch_through) {
  uint32_t p[16], keep[16], r[16], g[16], b[16];
  std::memcpy(p, bgra, 64);
  for (int i = 0; i < 16; ++i) keep[i] = punch_through ? 0u - (p[i] >> 31) : ~0u;
  for (int i = 0; i < 16; ++i) r[i] = (p[i] >> 16) & 255 & keep[i];
  for (int i = 0; i < 16; ++i) g[i] = (p[i] >> 8) & 255 & keep[i];
  for (int i = 0; i < 16; ++i) b[i] = p[i] & 255 & keep[i];
  for (int i = 0; i < 16; ++i) {
    px.active.b[i] = static_cast<uint8_t>(keep[i]);
    px.plane[0].b[i] = static_cast<uint8_t>(r[i]);
    px.plane[1].b[i] = static_cast<uint8_t>(g[i]);
    px.plane[2].b[i] = static_cast<uint8_t>(b[i]);
  }
  uint32_t count = 0, total[3] = {}, sq = 0;
  for (int i = 0; i < 16; ++i) {
    count += keep[i] & 1;
    total[0] += r[i], total[1] += g[i], total[2] += b[i];
    sq += r[i] * r[i] + g[i] * g[i] + b[i] * b[i];
  }
  for (int i = 0; i < 16; ++i)
    px.fields[i] = uint64_t(r[i] | g[i] << 16) | uint64_t(b[i] | (keep[i] & 1) << 16) << 32;
  for (int i = 0; i < 16; ++i) px.scaled[0][i] = float(-16 * static_cast<int>(r[i]));
  for (int i = 0; i < 16; ++i) px.scaled[1][i] = float(-16 * static_cast<int>(g[i]));
  for (int i = 0; i < 16; ++i) px.scaled[2][i] = float(-16 * static_cast<int>(b[i]));
  px.count = static_cast<int>(count);
  for (int ch = 0; ch < 3; ++ch) px.total[ch] = static_cast<int>(total[ch]);
  px.sq = sq;
}

// Each active pixel's best palette entry. Entry k = 0..D has channel values s_k = (r, g, b)[k],
// each the sum of two decoders' readings; with Black, entry D+1 is black. A pixel p takes the
// entry of lowest key 4 (|s_k|^2 + number of odd channels of s_k - 4 p.s_k) + k, black's key
// being D+1. Writes the positions (0 for inactive pixels) and returns the sum of the scores
// key >> 2, modulo 2^32. Keys, their terms and partial sums are whole numbers below 2^24 in
// magnitude, exact in floats on any floating-point unit, and unique by their low bits.
template <int D, bool Black>
uint32_t best_entry_scores(const LoadedPixels& px, const int (&r)[4], const int (&g)[4],
                           const int (&b)[4], uint8_t pos[16]) {
  // Every one of the four entries, whichever D, so that each pass has a fixed length.
  float bias[4], fr[4], fg[4], fb[4];
  for (int k = 0; k < 4; ++k) fr[k] = float(r[k]), fg[k] = float(g[k]), fb[k] = float(b[k]);
  for (int k = 0; k < 4; ++k) {
    const float odd = float((r[k] & 1) + (g[k] & 1) + (b[k] & 1));
    bias[k] = 4 * (fr[k] * fr[k] + fg[k] * fg[k] + fb[k] * fb[k] + odd) + float(k);
  }
  uint32_t total = 0;
  for (int i = 0; i < 16; ++i) {
    float best = float(D + 1);
    for (int k = 0; k <= D; ++k) {
      const float key =
          bias[k] + px.scaled[0][i] * fr[k] + px.scaled[1][i] * fg[k] + px.scaled[2][i] * fb[k];
      best = (k == 0 && !Black) || key < best ? key : best;
    }
    const int keep = -(px.active.b[i] & 1);
    const int key = int(best);
    total += static_cast<uint32_t>((key >> 2) & keep);
    pos[i] = static_cast<uint8_t>(key & 3 & keep);
  }
  return total;
}

// Sums over the active pixels of the products of their channel values, prod[a][b] for a <= b.
inline void channel_products(const LoadedPixels& px, int (&prod)[3][3]) {
  int rr = 0, rg = 0, rb = 0, gg = 0, gb = 0, bb = 0;
  for (int i = 0; i < 16; ++i) {
    const int r = px.plane[0].b[i], g = px.plane[1].b[i], b = px.plane[2].b[i];
    rr += r * r, rg += r * g, rb += r * b;
    gg += g * g, gb += g * b, bb += b * b;
  }
  prod[0][0] = rr, prod[0][1] = rg, prod[0][2] = rb;
  prod[1][1] = gg, prod[1][2] = gb, prod[2][2] = bb;
}

// Each pixel's projection on v, whose components have at most 15 bits, and the extremes among
// the active pixels; scanning upwards with strict comparisons keeps the first on ties.
// With v = 256 h + l, l in 0..255, and the scaled channels q = -16 p, a projection is
// -(16 q.h + q.l / 16), whose two dot products are whole numbers below 2^22 in magnitude, exact
// in floats.
inline void project(const LoadedPixels& px, const int (&v)[3], Projection& out) {
  float h[3], l[3];
  for (int ch = 0; ch < 3; ++ch) h[ch] = float(v[ch] >> 8), l[ch] = float(v[ch] & 255);
  const float(&q)[3][16] = px.scaled;
  for (int i = 0; i < 16; ++i) {
    const float high_part = q[0][i] * h[0] + q[1][i] * h[1] + q[2][i] * h[2];
    const float low_part = q[0][i] * l[0] + q[1][i] * l[1] + q[2][i] * l[2];
    out.proj[i] = -(int(high_part) * 16 + (int(low_part) >> 4));
  }
  int low = 0x7fffffff, high = -0x7fffffff - 1, lo = 0, hi = 0;
  for (int i = 0; i < 16; ++i) {
    const int proj = out.proj[i];
    if (!px.active.b[i]) continue;
    if (proj < low) low = proj, lo = i;
    if (proj > high) high = proj, hi = i;
  }
  out.low = low, out.high = high, out.lo = lo, out.hi = hi;
}

// Positions 0..D from slicing the projections into D+1 equal steps, position 0 at the high end:
// position k starts where 2D (high - proj) exceeds (2k - 1) (high - low). Inactive pixels take
// position 0.
template <int D>
void slice_projections(const LoadedPixels& px, const Projection& pr, uint8_t pos[16]) {
  const int range = pr.high - pr.low;
  for (int i = 0; i < 16; ++i) {
    const int scaled = 2 * D * (pr.high - pr.proj[i]);
    int p = 0;
    for (int k = 1; k <= D; ++k) p += scaled > (2 * k - 1) * range;
    pos[i] = static_cast<uint8_t>(p & px.active.b[i]);
  }
}

// The active pixels by descending projection, the last of equal ones first: an insertion sort
// of keys that hold the pixel number in their low bits.
inline void order_by_projection(const LoadedPixels& px, const Projection& pr, uint8_t pixel[16]) {
  int key[16];
  int n = 0;
  for (int i = 0; i < 16; ++i) {
    if (!px.active.b[i]) continue;
    const int k = pr.proj[i] * 16 + i;
    int t = n++;
    for (; t > 0 && key[t - 1] < k; --t) key[t] = key[t - 1];
    key[t] = k;
  }
  for (int t = 0; t < n; ++t) pixel[t] = static_cast<uint8_t>(key[t] & 15);
}

// The 16 alpha values of a block, measured against 8-entry palettes. The values are kept sorted,
// with running sums and, for each level between the least and the greatest value, how many
// values lie at or below it, so that a palette's error takes one look-up per gap between its
// entries instead of a distance per pixel and entry. Blocks of one value, the common case, build
// no level table at all.
class AlphaValues {
 public:
  explicit AlphaValues(Vec alpha) {
    std::memcpy(pixel_, alpha.b, 16);
    uint8_t low = 255, high = 0;
    for (int i = 0; i < 16; ++i) low = std::min(low, pixel_[i]);
    for (int i = 0; i < 16; ++i) high = std::max(high, pixel_[i]);
    if (low == high)
      std::memset(sorted_, low, 16);
    else
      sort_and_count();
    sum_[0] = 0;
    squares_ = 0;
    for (int i = 0; i < 16; ++i) {
      sum_[i + 1] = sum_[i] + sorted_[i];
      squares_ += pixel_[i] * pixel_[i];
    }
  }

  int low() const { return sorted_[0]; }
  int high() const { return sorted_[15]; }
  // Extremes of the values strictly between 0 and 255: the least value other than 0 (255 when
  // none) and the greatest other than 255 (0 when none).
  int inner_low() const {
    const int zeros = at_most(0);
    return zeros < 16 ? sorted_[zeros] : 255;
  }
  int inner_high() const {
    const int below = at_most(254);
    return below > 0 ? sorted_[below - 1] : 0;
  }

  // Sum over the pixels of the squared distance to the nearest entry. With the entries in
  // ascending order q0..q7, the pixels up to the midpoint (q[k-1] + q[k]) / 2 lie nearer q[k-1]
  // than q[k], so cuts at the midpoints split the sorted values into runs, one per entry. A run
  // of n values summing to s adds n q^2 - 2 q s to their sum of squares.
  uint32_t error(const uint8_t palette[8]) const {
    int q[8];
    ascending(palette, q);
    int err = squares_, start = 0;
    for (int k = 0; k < 8; ++k) {
      const int end = k < 7 ? at_most((q[k] + q[k + 1]) >> 1) : 16;
      err += (end - start) * q[k] * q[k] - 2 * q[k] * (sum_[end] - sum_[start]);
      start = end;
    }
    return static_cast<uint32_t>(err);
  }

  // Each pixel's nearest entry, the lowest index among equally near ones.
  void nearest(const uint8_t palette[8], uint8_t index[16]) const {
    for (int i = 0; i < 16; ++i) {
      int best = 256, pick = 0;
      for (int k = 0; k < 8; ++k) {
        const int d = pixel_[i] > palette[k] ? pixel_[i] - palette[k] : palette[k] - pixel_[i];
        if (d < best) best = d, pick = k;
      }
      index[i] = static_cast<uint8_t>(pick);
    }
  }

 private:
  // Sorts the values, then fills the level table from the least value up.
  void sort_and_count() {
    std::memcpy(sorted_, pixel_, 16);
    std::sort(sorted_, sorted_ + 16);
    int level = sorted_[0];
    for (int i = 1; i < 16; ++i)
      for (; level < sorted_[i]; ++level) at_most_[level] = static_cast<uint8_t>(i);
  }

  // How many values are at most `level`.
  int at_most(int level) const {
    return level < low() ? 0 : level >= high() ? 16 : at_most_[level];
  }

  // The entries of a palette as the format lays it out, in ascending order: a1, the six
  // interpolated ones and a0 when a0 > a1; else 0, a0, the four interpolated ones, a1 and 255.
  static void ascending(const uint8_t p[8], int q[8]) {
    static const uint8_t kEight[8] = {1, 7, 6, 5, 4, 3, 2, 0};
    static const uint8_t kSix[8] = {6, 0, 2, 3, 4, 5, 1, 7};
    const uint8_t* order = p[0] > p[1] ? kEight : kSix;
    for (int k = 0; k < 8; ++k) q[k] = p[order[k]];
  }

  uint8_t pixel_[16];
  uint8_t sorted_[16];
  int sum_[17];  // sums of the least i values
  int squares_;
  uint8_t at_most_[256];  // how many values are at most the index, from low() to high() - 1
};

// The errors of the code pairs (qa + i, qb + j) of one channel for positions with counts n and
// channel sums s, into err[2i + j], as pick_code_pair in the encoder scores them: one pair at a
// time, on entries below 2^9 and sums below 2^24.
template <int D, int Sel>
inline void code_pair_errors(const int (&n)[4], const int (&s)[4], int qa, int qb, int (&err)[4]) {
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      int e[4];
      channel_entries<D>(Sel, qa + i, qb + j, e);
      int sum = 0;
      for (int k = 0; k <= D; ++k) sum += e[k] * (n[k] * e[k] - 4 * s[k]) + n[k] * (e[k] & 1);
      err[2 * i + j] = sum;
    }
  }
}

// Counts and channel sums of the active pixels at positions 1 to 3 (positions are 0 to 3), into
// n[1..3] and s[1..3]. Each pixel adds its fields, masked, to every sum: no sum waits on the
// last pixel's store, as adding to the sum of its own position would.
inline void sums_at_positions(const LoadedPixels& px, const uint8_t pos[16], int n[4],
                              int s[4][3]) {
  uint64_t sum[4] = {};
  for (int i = 0; i < 16; ++i)
    for (int k = 1; k <= 3; ++k) sum[k] += px.fields[i] & (0 - uint64_t(pos[i] == k));
  for (int k = 1; k <= 3; ++k) {
    for (int ch = 0; ch < 3; ++ch) s[k][ch] = int(sum[k] >> (16 * ch)) & 0xffff;
    n[k] = int(sum[k] >> 48);
  }
}

// The positions 0 to 3 that some active pixel takes, as bits 0 to 3: `active` has 0xff bytes
// for the active pixels and 0 for the others, and positions are 0 to 3.
inline int positions_used(const uint8_t pos[16], Vec active) {
  int used = 0;
  for (int i = 0; i < 16; ++i) used |= (1 << pos[i]) & -int(active.b[i] & 1);
  return used;
}

// The 2-bit indices of a colour block, pixel i's at bits 2i: code[pos[i]] for the pixels with
// 0xff bytes in `active`, 3 for the others. Positions are 0 to 3.
inline uint32_t index_bits(const uint8_t pos[16], const int (&code)[4], Vec active) {
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i)
    bits |= static_cast<uint32_t>(active.b[i] ? code[pos[i]] : 3) << (2 * i);
  return bits;
}

// The 16 alpha values, one byte each.
inline Vec alpha_bytes(const unsigned char bgra[64]) {
  Vec a;
  for (int i = 0; i < 16; ++i) a.b[i] = bgra[4 * i + 3];
  return a;
}

// The 4-bit alpha levels of an explicit alpha block, pixel pairs sharing a byte with the first in
// the low nibble. Each is the nearest of 16 levels, (15a + 127) / 255.
inline void explicit_alpha(const unsigned char bgra[64], unsigned char out[8]) {
  for (int j = 0; j < 8; ++j) {
    const int first = (15 * bgra[8 * j + 3] + 127) / 255,
              second = (15 * bgra[8 * j + 7] + 127) / 255;
    out[j] = static_cast<unsigned char>(first | second << 4);
  }
}

// The pixels, as a 16-bit mask, whose colour is that of pixel i. Read in the machine's byte order,
// little-endian on every x86 target as read_pixels assumes, a pixel's colour is the low 24 bits
// of its word.
inline int same_colour_as(const unsigned char bgra[64], int i) {
  uint32_t p[16];
  std::memcpy(p, bgra, 64);
  const uint32_t colour = p[i] & 0xffffff;
  int same = 0;
  for (int j = 0; j < 16; ++j) same |= int((p[j] & 0xffffff) == colour) << j;
  return same;
}

}  // namespace
}  // namespace qelt::dxt::portable
