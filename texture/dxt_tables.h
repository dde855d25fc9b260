// The encoder's lookup tables of 565 codes, built at compile time and shared by both paths of
// the block encoder.
#pragma once

#include <cstdint>

namespace qelt::dxt {

// 565 endpoints expand by bit replication. Entry k of the d+1 palette entries along c0..c1 is
// ((d-k)*c0 + k*c1 + d/2) / d for decoders that round, and one step lower on some interpolated
// entries for decoders that truncate; every choice of the encoder weighs both kinds.
constexpr int lerp(int e0, int e1, int k, int d) { return ((d - k) * e0 + k * e1 + d / 2) / d; }

struct PairFit {
  uint8_t c0, c1;  // channel codes
  uint32_t err;    // squared distance from the wanted value, summed over both kinds of decoder
};

// Index 0 of each table pair is for 5-bit channels (red, blue), index 1 for 6-bit green.
struct Tables {
  uint8_t expand[2][64];
  uint16_t twice_expand[2][64];  // the same, doubled: an endpoint as both decoders' readings summed
  uint8_t floor_code[2][256];    // largest code whose expansion is <= x
  uint8_t nearest_code[2][256];  // code whose expansion is closest to x, the lower on ties
  PairFit third[2][256];         // pair whose 1/3 point best reaches x (four-colour)
  PairFit half[2][256];          // pair whose midpoint best reaches x (three-colour)
  // The entry one third of the way from code a to code b as a rounding and a truncating decoder
  // read it, summed: twice their mean, so that codes and indices suit both kinds rather than
  // fitting one kind's rounding.
  uint16_t third_both[2][64][64];
};

// Decoders differ on interpolated entries: some round the exact value, others truncate it, one
// step lower where the value lies two thirds (or, for midpoints, half) of a step above an integer.
// A pair is scored by its squared distance under both kinds, so a flat colour lands as close as
// it can on either; among equal scores the narrowest spread wins, as it keeps the two kinds
// closest on neighbouring entries too.
constexpr void build_pair_fits(PairFit out[256], const uint8_t* ex, int codes, int d) {
  // For each rounded value v: the narrowest pair where both kinds give v (agree) and where
  // truncation gives v - 1 (split).
  int spread[2][256] = {};
  bool have[2][256] = {};
  PairFit best[2][256] = {};
  for (int a = 0; a < codes; ++a) {
    for (int b = 0; b < codes; ++b) {
      const int v = lerp(ex[a], ex[b], 1, d);
      const int kind = ((d - 1) * ex[a] + ex[b]) / d == v ? 0 : 1;
      const int s = ex[a] > ex[b] ? ex[a] - ex[b] : ex[b] - ex[a];
      if (!have[kind][v] || s < spread[kind][v]) {
        have[kind][v] = true;
        spread[kind][v] = s;
        best[kind][v] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), 0};
      }
    }
  }
  // Values by distance r from x: none at r > 0 scores below r^2 + (r-1)^2, so the walk outwards
  // stops once that exceeds the best score. Ties go to the narrower spread, then the lower value
  // and kind, whatever the order of the walk.
  for (int x = 0; x < 256; ++x) {
    int score = 1 << 30, pick_kind = 0, pick_v = 0;
    for (int r = 0; r < 256 && (r == 0 ? 0 : r * r + (r - 1) * (r - 1)) <= score; ++r) {
      for (int side = 0; side < 2; ++side) {
        const int v = side ? x + r : x - r;
        if (v < 0 || v > 255 || (side && r == 0)) continue;
        for (int kind = 0; kind < 2; ++kind) {
          if (!have[kind][v]) continue;
          const int e = (x - v) * (x - v) + (x - v + kind) * (x - v + kind);
          const int old = spread[pick_kind][pick_v], now = spread[kind][v];
          if (e < score ||
              (e == score &&
               (now < old || (now == old && (v < pick_v || (v == pick_v && kind < pick_kind)))))) {
            score = e;
            pick_kind = kind;
            pick_v = v;
          }
        }
      }
    }
    out[x] = {best[pick_kind][pick_v].c0, best[pick_kind][pick_v].c1, static_cast<uint32_t>(score)};
  }
}

constexpr Tables make_tables() {
  Tables t{};
  for (int sel = 0; sel < 2; ++sel) {
    const int bits = sel ? 6 : 5;
    const int codes = 1 << bits;
    for (int c = 0; c < codes; ++c) {
      t.expand[sel][c] = static_cast<uint8_t>((c << (8 - bits)) | (c >> (2 * bits - 8)));
      t.twice_expand[sel][c] = static_cast<uint16_t>(2 * t.expand[sel][c]);
    }
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
      for (int b = 0; b < codes; ++b) {
        const int ea = t.expand[sel][a], eb = t.expand[sel][b];
        t.third_both[sel][a][b] = static_cast<uint16_t>(lerp(ea, eb, 1, 3) + (2 * ea + eb) / 3);
      }
  }
  return t;
}

inline constexpr Tables kTables = make_tables();

// One channel's palette entries 0..D, each as the sum of a rounding and a truncating decoder's
// reading (twice their mean). The readings differ by one exactly where that sum is odd.
template <int D>
inline void channel_entries(int sel, int q0, int q1, int sum[4]) {
  const Tables& t = kTables;
  const int e0 = t.expand[sel][q0], e1 = t.expand[sel][q1];
  sum[0] = 2 * e0;
  sum[D] = 2 * e1;
  if constexpr (D == 3) {
    sum[1] = t.third_both[sel][q0][q1];
    sum[2] = t.third_both[sel][q1][q0];
  } else {
    sum[1] = e0 + e1;
    sum[3] = 0;
  }
}

}  // namespace qelt::dxt
