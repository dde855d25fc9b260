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
using Block = std::vector<uint8_t>;  // 16 pixels, bytes B, G, R, A

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
    using Pixels = qelt::dxt::path::LoadedPixels;                                            \
    static auto vec(const uint8_t* bytes) { return qelt::dxt::path::load(bytes); }           \
    static auto make(const Alpha& a) { return qelt::dxt::path::AlphaValues(vec(a.data())); } \
    static Pixels read(const Block& b, bool punch_through) {                                 \
      Pixels px;                                                                             \
      qelt::dxt::path::read_pixels(px, b.data(), punch_through);                             \
      return px;                                                                             \
    }                                                                                        \
    template <typename V>                                                                    \
    static std::vector<uint8_t> bytes(V v) {                                                 \
      std::vector<uint8_t> out(16);                                                          \
      qelt::dxt::path::store(out.data(), v);                                                 \
      return out;                                                                            \
    }                                                                                        \
    template <int D, bool Black, typename... A>                                              \
    static uint32_t best(A&&... a) {                                                         \
      return qelt::dxt::path::best_entry_scores<D, Black>(a...);                             \
    }                                                                                        \
    template <typename... A>                                                                 \
    static void sums(A&&... a) {                                                             \
      qelt::dxt::path::sums_at_positions(a...);                                              \
    }                                                                                        \
    template <typename... A>                                                                 \
    static void products(A&&... a) {                                                         \
      qelt::dxt::path::channel_products(a...);                                               \
    }                                                                                        \
    template <typename... A>                                                                 \
    static void project(A&&... a) {                                                          \
      qelt::dxt::path::project(a...);                                                        \
    }                                                                                        \
    template <typename... A>                                                                 \
    static void order(A&&... a) {                                                            \
      qelt::dxt::path::order_by_projection(a...);                                            \
    }                                                                                        \
    template <typename... A>                                                                 \
    static uint32_t indices(A&&... a) {                                                      \
      return qelt::dxt::path::index_bits(a...);                                              \
    }                                                                                        \
    template <int D, int Sel, typename... A>                                                 \
    static void pair_errors(A&&... a) {                                                      \
      qelt::dxt::path::code_pair_errors<D, Sel>(a...);                                       \
    }                                                                                        \
    template <typename... A>                                                                 \
    static int used(A&&... a) {                                                              \
      return qelt::dxt::path::positions_used(a...);                                          \
    }                                                                                        \
    template <typename... A>                                                                 \
    static int same_colour(A&&... a) {                                                       \
      return qelt::dxt::path::same_colour_as(a...);                                          \
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

// Colour blocks: black, white, one colour, two colours, ramps, then random ones; alpha is
// opaque, transparent, half and half at the 128 threshold, or random.
std::vector<Block> colour_blocks() {
  std::vector<Block> blocks;
  uint32_t s = 5;
  for (int b = 0; b < 120; ++b) {
    Block px(64);
    const int kind = b % 6;
    for (int i = 0; i < 16; ++i) {
      for (int c = 0; c < 3; ++c) {
        const int random = int(lcg(s) % 256);
        const int v[6] = {0, 255, 40 * c + 7, i % 2 ? 250 : 3, 17 * i * (c + 1) % 256, random};
        px[4 * i + c] = uint8_t(v[kind]);
      }
      const int alpha[4] = {255, 0, i % 2 ? 128 : 127, int(lcg(s) % 256)};
      px[4 * i + 3] = uint8_t(alpha[(b / 6) % 4]);
    }
    blocks.push_back(px);
  }
  return blocks;
}

bool active(const Block& b, int i, bool punch_through) {
  return !punch_through || b[4 * i + 3] >= 128;
}
int chan(const Block& b, int i, int ch) { return b[4 * i + 2 - ch]; }

// Every kernel runs on each block with and without punch-through.
template <typename F>
void for_each_block(F&& f) {
  for (const Block& b : colour_blocks())
    for (bool punch_through : {false, true}) f(b, punch_through);
}

template <typename K>
void check_read_pixels() {
  for_each_block([](const Block& b, bool punch_through) {
    const auto px = K::read(b, punch_through);
    int count = 0, total[3] = {};
    uint32_t sq = 0;
    for (int i = 0; i < 16; ++i) {
      const bool on = active(b, i, punch_through);
      EXPECT_EQ(K::bytes(px.active)[i], on ? 0xff : 0);
      for (int ch = 0; ch < 3; ++ch) {
        const int v = on ? chan(b, i, ch) : 0;
        EXPECT_EQ(K::bytes(px.plane[ch])[i], v);
        total[ch] += v;
        sq += uint32_t(v * v);
      }
      count += on;
    }
    EXPECT_EQ(px.count, count);
    EXPECT_EQ(px.sq, sq);
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(px.total[ch], total[ch]);
  });
}

TEST(DxtKernels, ReadPixelsKeepsActivePixelsAndTheirSums) {
  check_read_pixels<Portable>();
#if defined(__SSE2__)
  check_read_pixels<Sse2>();
#endif
}

// Palette entries 0..3 per channel, sums of two readings: equal, extreme, odd and random ones.
std::vector<std::vector<int>> entry_sets() {
  std::vector<std::vector<int>> sets = {std::vector<int>(12, 0),
                                        std::vector<int>(12, 510),
                                        {0, 170, 340, 510, 510, 340, 170, 0, 1, 3, 5, 7},
                                        {510, 509, 1, 0, 510, 509, 1, 0, 510, 509, 1, 0}};
  uint32_t s = 13;
  for (int e = 0; e < 20; ++e) {
    std::vector<int> v(12);
    for (int& x : v) x = int(lcg(s) % 511);
    sets.push_back(v);
  }
  return sets;
}

// The lowest key 4 (|s|^2 + odd channels of s - 4 p.s) + k over the entries, black's being D+1.
template <typename K, int D, bool Black>
void check_best_entries(const Block& b, bool punch_through, const std::vector<int>& e) {
  const auto px = K::read(b, punch_through);
  int r[4], g[4], bl[4];
  for (int k = 0; k < 4; ++k) r[k] = e[k], g[k] = e[4 + k], bl[k] = e[8 + k];
  uint8_t pos[16];
  const uint32_t got = K::template best<D, Black>(px, r, g, bl, pos);
  uint32_t want = 0;
  for (int i = 0; i < 16; ++i) {
    if (!active(b, i, punch_through)) {
      EXPECT_EQ(pos[i], 0);
      continue;
    }
    int64_t best = Black ? D + 1 : INT64_MAX;
    for (int k = 0; k <= D; ++k) {
      const int s[3] = {r[k], g[k], bl[k]};
      int64_t score = 0;
      for (int ch = 0; ch < 3; ++ch)
        score += s[ch] * s[ch] + (s[ch] & 1) - 4 * chan(b, i, ch) * s[ch];
      best = std::min(best, 4 * score + k);
    }
    EXPECT_EQ(pos[i], best & 3);
    want += uint32_t(best >> 2);
  }
  EXPECT_EQ(got, want);
}

template <typename K>
void check_best_entry_scores() {
  for_each_block([](const Block& b, bool punch_through) {
    for (const auto& e : entry_sets()) {
      check_best_entries<K, 3, false>(b, punch_through, e);
      check_best_entries<K, 2, false>(b, punch_through, e);
      check_best_entries<K, 2, true>(b, punch_through, e);
    }
  });
}

TEST(DxtKernels, BestEntriesHaveTheLowestKeys) {
  check_best_entry_scores<Portable>();
#if defined(__SSE2__)
  check_best_entry_scores<Sse2>();
#endif
}

// Axes with components of up to 15 bits, either sign.
std::vector<std::vector<int>> axes() {
  std::vector<std::vector<int>> v = {
      {0, 0, 0},  {1, 1, 1},        {32767, 32767, 32767}, {-32768, -32768, -32768},
      {5, -3, 0}, {255, 256, -256}, {-1, -255, 257}};
  uint32_t s = 17;
  for (int a = 0; a < 10; ++a)
    v.push_back({int(lcg(s) % 65536) - 32768, int(lcg(s) % 65536) - 32768, int(lcg(s) % 32)});
  return v;
}

// Projections, their extremes (the first pixel on ties) and the order by descending projection
// (the last pixel on ties) over the active pixels.
template <typename K>
void check_projection(const Block& b, bool punch_through, const int (&v)[3]) {
  const auto px = K::read(b, punch_through);
  qelt::dxt::Projection pr;
  K::project(px, v, pr);
  int want_proj[16];
  std::vector<std::pair<int, int>> order;
  for (int i = 0; i < 16; ++i) {
    want_proj[i] = 0;
    for (int ch = 0; ch < 3; ++ch) want_proj[i] += v[ch] * chan(b, i, ch);
    if (!active(b, i, punch_through)) continue;
    EXPECT_EQ(pr.proj[i], want_proj[i]);
    order.emplace_back(want_proj[i], i);
  }
  if (order.empty()) return;
  std::sort(order.begin(), order.end());
  const auto low = std::min_element(order.begin(), order.end(),
                                    [](auto x, auto y) { return x.first < y.first; });
  const auto high = std::max_element(order.begin(), order.end(),
                                     [](auto x, auto y) { return x.first < y.first; });
  EXPECT_EQ(pr.low, low->first);
  EXPECT_EQ(pr.high, high->first);
  EXPECT_EQ(pr.lo, low->second);
  EXPECT_EQ(pr.hi,
            std::lower_bound(order.begin(), order.end(), std::make_pair(pr.high, 0))->second);
  uint8_t pixel[16];
  K::order(px, pr, pixel);
  for (size_t t = 0; t < order.size(); ++t) EXPECT_EQ(pixel[t], order[order.size() - 1 - t].second);
}

template <typename K>
void check_axis_kernels() {
  for_each_block([](const Block& b, bool punch_through) {
    int prod[3][3];
    K::products(K::read(b, punch_through), prod);
    for (int a = 0; a < 3; ++a)
      for (int c = a; c < 3; ++c) {
        int want = 0;
        for (int i = 0; i < 16; ++i)
          if (active(b, i, punch_through)) want += chan(b, i, a) * chan(b, i, c);
        EXPECT_EQ(prod[a][c], want);
      }
    for (const auto& axis : axes())
      check_projection<K>(b, punch_through, {axis[0], axis[1], axis[2]});
  });
}

TEST(DxtKernels, ProductsProjectionsAndOrderMatchDirectComputation) {
  check_axis_kernels<Portable>();
#if defined(__SSE2__)
  check_axis_kernels<Sse2>();
#endif
}

// Positions 0..3 at random, on every colour block.
template <typename K>
void check_position_sums() {
  uint32_t s = 3;
  int b = 0;
  for_each_block([&](const Block& blk, bool punch_through) {
    uint8_t pos[16];
    for (auto& p : pos) p = uint8_t(b % 7 == 0 ? 3 : lcg(s) % 4);
    ++b;
    int want_n[4] = {}, want_s[4][3] = {};
    for (int i = 0; i < 16; ++i) {
      if (!active(blk, i, punch_through)) continue;
      ++want_n[pos[i]];
      for (int ch = 0; ch < 3; ++ch) want_s[pos[i]][ch] += chan(blk, i, ch);
    }
    int n[4], sum[4][3];
    K::sums(K::read(blk, punch_through), pos, n, sum);
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(n[k], want_n[k]) << "block " << b << " position " << k;
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(sum[k][ch], want_s[k][ch]) << "block " << b;
    }
  });
}

TEST(DxtKernels, PositionSumsCountActivePixelsOnly) {
  check_position_sums<Portable>();
#if defined(__SSE2__)
  check_position_sums<Sse2>();
#endif
}

// Pixels halfway between the palettes of two of the four code pairs, as either kind of decoder
// reads them, and with D = 2 black ones at position 3: each pair's score is twice its squared
// error under both kinds summed, less four times the pixels' squares, black pixels left out.
template <typename K, int D, int Sel>
void check_code_pairs() {
  const int bits = Sel ? 6 : 5;
  auto expand = [bits](int c) { return (c << (8 - bits)) | (c >> (2 * bits - 8)); };
  auto read = [&](int qa, int qb, int p, int k, bool round) {
    const int e0 = expand(qa + p / 2), e1 = expand(qb + p % 2);
    return ((D - k) * e0 + k * e1 + (round ? D / 2 : 0)) / D;
  };
  uint32_t s = 19;
  for (int c = 0; c < 2000; ++c) {
    const int qa = int(lcg(s) % ((1 << bits) - 1)), qb = int(lcg(s) % ((1 << bits) - 1));
    const int p0 = int(lcg(s) % 4), p1 = int(lcg(s) % 4);
    int pos[16], value[16], n[4] = {}, sum[4] = {};
    for (int i = 0; i < 16; ++i) {
      pos[i] = int(lcg(s) % 4);
      const bool round = lcg(s) % 2;
      value[i] = pos[i] > D
                     ? int(lcg(s) % 40)
                     : (read(qa, qb, p0, pos[i], round) + read(qa, qb, p1, pos[i], round) + 1) / 2;
      ++n[pos[i]], sum[pos[i]] += value[i];
    }
    int err[4];
    K::template pair_errors<D, Sel>(n, sum, qa, qb, err);
    for (int p = 0; p < 4; ++p) {
      int want = 0;
      for (int i = 0; i < 16; ++i) {
        if (pos[i] > D) continue;
        for (bool round : {true, false}) {
          const int d = value[i] - read(qa, qb, p, pos[i], round);
          want += 2 * d * d;
        }
        want -= 4 * value[i] * value[i];
      }
      EXPECT_EQ(err[p], want) << "case " << c << " pair " << p;
    }
  }
}

template <typename K>
void check_code_pairs_all() {
  check_code_pairs<K, 3, 0>();
  check_code_pairs<K, 3, 1>();
  check_code_pairs<K, 2, 0>();
  check_code_pairs<K, 2, 1>();
}

TEST(DxtKernels, CodePairScoresFollowTheErrorUnderBothDecoders) {
  check_code_pairs_all<Portable>();
#if defined(__SSE2__)
  check_code_pairs_all<Sse2>();
#endif
}

// Each pixel's two bits name its position's code where it is active and 3 where it is not, and
// only active pixels mark their positions used; the table holds positions and active pixels as
// strings of digits and 0/1 flags.
template <typename K>
void check_index_bits() {
  struct Case {
    const char* pos;
    const char* active;
    int code[4];
  };
  const Case cases[] = {
      {"2222222222222222", "1111111111111111", {0, 2, 1, 3}},
      {"0000000000000000", "1111111111111111", {0, 0, 0, 0}},
      {"1111111111111111", "0111111111111111", {0, 2, 3, 1}},
      {"3333333333333333", "0000000000000000", {0, 2, 1, 3}},
      {"0123012301230123", "1111111111111111", {0, 2, 3, 1}},
      {"3210321032103210", "1100110011001100", {0, 2, 1, 3}},
      {"0011223300112233", "1010101010101010", {1, 3, 0, 2}},
      {"0000000000000003", "1111111111111110", {0, 2, 1, 3}},
  };
  for (const Case& c : cases) {
    alignas(16) uint8_t pos[16];
    uint8_t active[16];
    for (int i = 0; i < 16; ++i) {
      pos[i] = uint8_t(c.pos[i] - '0');
      active[i] = c.active[i] == '1' ? 0xff : 0;
    }
    const uint32_t bits = K::indices(pos, c.code, K::vec(active));
    int used = 0;
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(int(bits >> (2 * i)) & 3, active[i] ? c.code[pos[i]] : 3) << c.pos << " " << i;
      if (active[i]) used |= 1 << pos[i];
    }
    EXPECT_EQ(K::used(pos, K::vec(active)), used) << c.pos << " " << c.active;
  }
}

TEST(DxtKernels, IndexBitsAndUsedPositionsFollowActivePixels) {
  check_index_bits<Portable>();
#if defined(__SSE2__)
  check_index_bits<Sse2>();
#endif
}

// Blocks drawn from colours that differ from the first in one channel each, with alpha varying
// throughout: the mask holds the pixels of pixel i's letter.
template <typename K>
void check_same_colour() {
  const uint8_t colours[4][3] = {{10, 20, 30}, {11, 20, 30}, {10, 21, 30}, {10, 20, 31}};
  const char* patterns[] = {"aaaaaaaaaaaaaaaa", "aaaaaaaaaaaaaaab", "baaaaaaaaaaaaaaa",
                            "abcdabcdabcdabcd", "aabbccddaabbccdd", "dcbaaaaaaaaaaaaa"};
  for (const char* pat : patterns) {
    Block blk(64);
    for (int j = 0; j < 16; ++j) {
      for (int c = 0; c < 3; ++c) blk[4 * j + c] = colours[pat[j] - 'a'][c];
      blk[4 * j + 3] = uint8_t(17 * j);
    }
    for (int i = 0; i < 16; ++i) {
      int want = 0;
      for (int j = 0; j < 16; ++j) want |= int(pat[j] == pat[i]) << j;
      EXPECT_EQ(K::same_colour(blk.data(), i), want) << pat << " " << i;
    }
  }
}

TEST(DxtKernels, SameColourMasksIgnoreAlpha) {
  check_same_colour<Portable>();
#if defined(__SSE2__)
  check_same_colour<Sse2>();
#endif
}

}  // namespace
