// The block encoder's per-path kernels against direct computations, on random and edge blocks.
// The SSE2 kernels are checked where the compiler targets SSE2; the portable ones everywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "dxt_kernels_portable.h"
#if defined(__SSE2__)
#include "dxt_kernels_sse2.h"
#endif

namespace {

using Alpha = std::vector<uint8_t>;  // 16 values

uint32_t lcg(uint32_t& s) {
  s = s * 1664525u + 1013904223u;
  return s >> 8;
}

// Blocks that reach the edges of the range, repeat values, or hold one value, then random ones.
std::vector<Alpha> alpha_blocks() {
  std::vector<Alpha> blocks = {
      Alpha(16, 0),
      Alpha(16, 255),
      Alpha(16, 77),
      {0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255},
      {0, 0, 0, 1, 254, 255, 255, 255, 128, 128, 127, 129, 0, 255, 3, 252},
      {9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
      {200, 10, 200, 10, 90, 90, 90, 255, 0, 50, 51, 52, 53, 54, 55, 56},
  };
  uint32_t s = 7;
  for (int b = 0; b < 200; ++b) {
    Alpha a(16);
    const int low = int(lcg(s) % 256), span = int(lcg(s) % 256);
    for (auto& v : a)
      v = uint8_t(b % 3 == 0 ? lcg(s) % 256 : (low + int(lcg(s)) % (span + 1)) % 256);
    blocks.push_back(a);
  }
  return blocks;
}

// The palette a decoder builds from two endpoints.
void palette(int a0, int a1, uint8_t v[8]) {
  v[0] = uint8_t(a0);
  v[1] = uint8_t(a1);
  for (int j = 1; j <= 6; ++j) v[j + 1] = uint8_t(((7 - j) * a0 + j * a1 + 3) / 7);
  if (a0 <= a1) {
    for (int j = 1; j <= 4; ++j) v[j + 1] = uint8_t(((5 - j) * a0 + j * a1 + 2) / 5);
    v[6] = 0;
    v[7] = 255;
  }
}

std::vector<std::pair<int, int>> endpoint_pairs() {
  std::vector<std::pair<int, int>> pairs = {{0, 0},     {255, 255}, {255, 0}, {0, 255}, {1, 0},
                                            {128, 127}, {127, 128}, {40, 40}, {200, 3}};
  uint32_t s = 11;
  for (int i = 0; i < 60; ++i) pairs.emplace_back(int(lcg(s) % 256), int(lcg(s) % 256));
  return pairs;
}

int distance(int a, int b) { return a > b ? a - b : b - a; }

// Each path's kernels behind one interface.
#define PATH_KERNELS(Name, path)                                                             \
  struct Name {                                                                              \
    static auto vec(const uint8_t* bytes) { return qelt::dxt::path::load(bytes); }           \
    static auto make(const Alpha& a) { return qelt::dxt::path::AlphaValues(vec(a.data())); } \
    template <typename... A>                                                                 \
    static void sums(A&&... a) {                                                             \
      qelt::dxt::path::sums_at_positions(a...);                                              \
    }                                                                                        \
  }
PATH_KERNELS(Portable, portable);
#if defined(__SSE2__)
PATH_KERNELS(Sse2, sse2);
#endif

template <typename K>
void check_alpha_kernel() {
  for (const Alpha& a : alpha_blocks()) {
    const auto values = K::make(a);
    int low = 255, high = 0, inner_low = 255, inner_high = 0;
    for (int v : a) {
      low = std::min(low, v), high = std::max(high, v);
      if (v != 0) inner_low = std::min(inner_low, v);
      if (v != 255) inner_high = std::max(inner_high, v);
    }
    EXPECT_EQ(values.low(), low);
    EXPECT_EQ(values.high(), high);
    EXPECT_EQ(values.inner_low(), inner_low);
    EXPECT_EQ(values.inner_high(), inner_high);
    for (const auto& [a0, a1] : endpoint_pairs()) {
      uint8_t pal[8];
      palette(a0, a1, pal);
      uint32_t err = 0;
      uint8_t want[16];
      for (int i = 0; i < 16; ++i) {
        int best = 0;
        for (int k = 1; k < 8; ++k)
          if (distance(a[i], pal[k]) < distance(a[i], pal[best])) best = k;
        want[i] = uint8_t(best);
        err += uint32_t(distance(a[i], pal[best]) * distance(a[i], pal[best]));
      }
      uint8_t got[16];
      values.nearest(pal, got);
      EXPECT_EQ(values.error(pal), err) << a0 << "," << a1;
      EXPECT_EQ(std::memcmp(got, want, 16), 0) << a0 << "," << a1;
    }
  }
}

TEST(DxtKernels, AlphaExtremesErrorsAndNearestEntriesMatchDirectCounts) {
  check_alpha_kernel<Portable>();
#if defined(__SSE2__)
  check_alpha_kernel<Sse2>();
#endif
}

// Blocks of positions 0..3 with some pixels inactive: none, all, or a random share.
template <typename K>
void check_position_sums() {
  uint32_t s = 3;
  for (int b = 0; b < 300; ++b) {
    uint8_t pos[16], active[16], plane[3][16];
    for (int i = 0; i < 16; ++i) {
      pos[i] = uint8_t(b % 7 == 0 ? 3 : lcg(s) % 4);
      active[i] = b % 5 == 0 || lcg(s) % 4 != 0 ? 0xff : 0;
      if (b % 11 == 0) active[i] = 0;
      for (auto& p : plane) p[i] = active[i] ? uint8_t(b % 3 == 0 ? 255 : lcg(s) % 256) : 0;
    }
    int want_n[4] = {}, want_s[4][3] = {};
    for (int i = 0; i < 16; ++i) {
      if (!active[i]) continue;
      ++want_n[pos[i]];
      for (int ch = 0; ch < 3; ++ch) want_s[pos[i]][ch] += plane[ch][i];
    }
    const decltype(K::vec(pos)) planes[3] = {K::vec(plane[0]), K::vec(plane[1]), K::vec(plane[2])};
    int n[4], sum[4][3];
    K::sums(planes, K::vec(active), pos, n, sum);
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(n[k], want_n[k]) << "block " << b << " position " << k;
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(sum[k][ch], want_s[k][ch]) << "block " << b;
    }
  }
}

TEST(DxtKernels, PositionSumsCountActivePixelsOnly) {
  check_position_sums<Portable>();
#if defined(__SSE2__)
  check_position_sums<Sse2>();
#endif
}

}  // namespace
