// The encoder's lookup tables of 565 codes, built at compile time and shared by both paths of
// the block encoder.
#pragma once

#include <cstdint>

namespace qelt::dxt {

// Error estimates model the exact-rounding decoder: 565 endpoints expand by bit replication
// and entry k of the d+1 palette entries along c0..c1 is ((d-k)*c0 + k*c1 + d/2) / d.
// Decoders that truncate instead differ by at most one step on interpolated entries.
constexpr int lerp(int e0, int e1, int k, int d) { return ((d - k) * e0 + k * e1 + d / 2) / d; }

struct PairFit {
  uint8_t c0, c1;  // channel codes
  uint8_t err;     // distance from the wanted value to the reached one
};

// Index 0 of each table pair is for 5-bit channels (red, blue), index 1 for 6-bit green.
struct Tables {
  uint8_t expand[2][64];
  uint8_t floor_code[2][256];    // largest code whose expansion is <= x
  uint8_t nearest_code[2][256];  // code whose expansion is closest to x, the lower on ties
  PairFit third[2][256];         // pair whose 1/3 point is closest to x (four-colour)
  PairFit half[2][256];          // pair whose midpoint is closest to x (three-colour)
  uint8_t one_third[2][64][64];  // entry one third of the way from code a to code b
};

// Among pairs that reach the same value, the one with the narrowest spread wins, so decoders
// that round interpolation differently still land close.
constexpr void build_pair_fits(PairFit out[256], const uint8_t* ex, int codes, int d) {
  int spread[256] = {};
  bool have[256] = {};
  PairFit exact[256] = {};
  for (int a = 0; a < codes; ++a) {
    for (int b = 0; b < codes; ++b) {
      const int v = lerp(ex[a], ex[b], 1, d);
      const int s = ex[a] > ex[b] ? ex[a] - ex[b] : ex[b] - ex[a];
      if (!have[v] || s < spread[v]) {
        have[v] = true;
        spread[v] = s;
        exact[v] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), 0};
      }
    }
  }
  for (int x = 0; x < 256; ++x) {
    for (int r = 0;; ++r) {
      const int lo = x - r, hi = x + r;
      const bool use_lo = lo >= 0 && have[lo];
      const bool use_hi = hi < 256 && have[hi];
      if (!use_lo && !use_hi) continue;
      const int v = use_lo && (!use_hi || spread[lo] <= spread[hi]) ? lo : hi;
      out[x] = {exact[v].c0, exact[v].c1, static_cast<uint8_t>(r)};
      break;
    }
  }
}

constexpr Tables make_tables() {
  Tables t{};
  for (int sel = 0; sel < 2; ++sel) {
    const int bits = sel ? 6 : 5;
    const int codes = 1 << bits;
    for (int c = 0; c < codes; ++c)
      t.expand[sel][c] = static_cast<uint8_t>((c << (8 - bits)) | (c >> (2 * bits - 8)));
    for (int x = 0; x < 256; ++x) {
      int f = 0;
      while (f + 1 < codes && t.expand[sel][f + 1] <= x) ++f;
      t.floor_code[sel][x] = static_cast<uint8_t>(f);
      const bool up = f + 1 < codes && t.expand[sel][f + 1] - x < x - t.expand[sel][f];
      t.nearest_code[sel][x] = static_cast<uint8_t>(up ? f + 1 : f);
    }
    build_pair_fits(t.third[sel], t.expand[sel], codes, 3);
    build_pair_fits(t.half[sel], t.expand[sel], codes, 2);
    for (int a = 0; a < codes; ++a)
      for (int b = 0; b < codes; ++b)
        t.one_third[sel][a][b] =
            static_cast<uint8_t>(lerp(t.expand[sel][a], t.expand[sel][b], 1, 3));
  }
  return t;
}

inline constexpr Tables kTables = make_tables();

}  // namespace qelt::dxt
