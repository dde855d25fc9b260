// The block encoder's stages that each path computes its own way, here in plain C++ on scalar
// values, with exactly the results of dxt_kernels_sse2.h.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "simd_portable.h"

namespace qelt::dxt::portable {

// The 16 alpha values of a block, measured against 8-entry palettes. The values are kept sorted,
// with running sums and, for each level, how many values lie at or below it, so that a palette's
// error takes one look-up per gap between its entries instead of a distance per pixel and entry.
class AlphaValues {
 public:
  explicit AlphaValues(Vec alpha) {
    std::memcpy(pixel_, alpha.b, 16);
    std::memcpy(sorted_, alpha.b, 16);
    std::sort(sorted_, sorted_ + 16);
    sum_[0] = 0;
    squares_ = 0;
    for (int i = 0; i < 16; ++i) {
      sum_[i + 1] = sum_[i] + sorted_[i];
      squares_ += sorted_[i] * sorted_[i];
    }
    int level = 0;
    for (int i = 0; i < 16; ++i)
      for (; level < sorted_[i]; ++level) at_most_[level] = static_cast<uint8_t>(i);
    for (; level < 256; ++level) at_most_[level] = 16;
  }

  int low() const { return sorted_[0]; }
  int high() const { return sorted_[15]; }
  // Extremes of the values strictly between 0 and 255: the least value other than 0 (255 when
  // none) and the greatest other than 255 (0 when none).
  int inner_low() const {
    const int zeros = at_most_[0];
    return zeros < 16 ? sorted_[zeros] : 255;
  }
  int inner_high() const {
    const int below = at_most_[254];
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
      const int end = k < 7 ? at_most_[(q[k] + q[k + 1]) >> 1] : 16;
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
  uint8_t at_most_[256];  // how many values are at most the index
};

// Counts and channel sums of the active pixels at positions 1 to 3 (positions are 0 to 3), into
// n[1..3] and s[1..3]. `plane` holds each channel's bytes, zero for inactive pixels, and `active`
// 0xff bytes for active ones. Each pixel adds to the sums of its own position.
inline void sums_at_positions(const Vec (&plane)[3], Vec active, const uint8_t pos[16], int n[4],
                              int s[4][3]) {
  int count[4] = {}, sum[4][3] = {};
  for (int i = 0; i < 16; ++i) {
    const int k = pos[i];
    count[k] += active.b[i] & 1;
    for (int ch = 0; ch < 3; ++ch) sum[k][ch] += plane[ch].b[i];
  }
  for (int k = 1; k <= 3; ++k) {
    n[k] = count[k];
    for (int ch = 0; ch < 3; ++ch) s[k][ch] = sum[k][ch];
  }
}

}  // namespace qelt::dxt::portable
