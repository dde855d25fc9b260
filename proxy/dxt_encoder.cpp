#include "dxt_encoder.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <type_traits>

namespace qelt::dxt {
namespace {

// Error estimates model the exact-rounding decoder: 565 endpoints expand by bit replication
// and entry k of the d+1 palette entries along c0..c1 is ((d-k)*c0 + k*c1 + d/2) / d.
// Decoders that truncate instead differ by at most one step on interpolated entries.
constexpr int lerp(int e0, int e1, int k, int d) { return ((d - k) * e0 + k * e1 + d / 2) / d; }

// Search effort, tuned on photographs and game textures. A refinement step pays only where the
// fit is kRefineAbove worse than the spread across the axis, which no endpoints remove, and a
// second one only beyond kRefineAgainAbove; the extreme pixels are worth trying as endpoints
// only for nearly straight ramps, whose spread along the axis is kRampAlong times that across
// it; three-colour fits of easy blocks without dark pixels almost never win.
constexpr uint32_t kRefineAbove = 80;
constexpr uint32_t kRefineAgainAbove = 1500;
constexpr int kRampAlong = 16;
constexpr uint32_t kThreeAbove = 1000;
// Pixels with no channel above this count as black for the three-colour mode.
constexpr int kDarkLevel = 12;

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

constexpr Tables kTables = make_tables();

inline int chan_sel(int ch) { return ch == 1 ? 1 : 0; }

inline __m128i select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

inline uint32_t horizontal_sum(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

// The pixels a colour block must represent. Inactive pixels (punch-through transparent ones)
// contribute no error and take no part in fitting. Channel index 0 is red, 1 green, 2 blue.
struct Pixels {
  const unsigned char* bgra;
  int count;
  int total[3];      // channel sums over active pixels
  uint32_t sq;       // sum of squared channel values over active pixels
  __m128i br[4];     // 16-bit lanes (b, r) for pixels 4j..4j+3
  __m128i g0[4];     // 16-bit lanes (g, 0)
  __m128i keep[4];   // 32-bit all-ones lanes for active pixels
  __m128i plane[3];  // one byte per pixel for each channel, zero where inactive
  __m128i active;    // 0xff bytes for active pixels

  int chan(int i, int ch) const { return bgra[4 * i + 2 - ch]; }
};

inline int sum_bytes(__m128i v) {
  const __m128i s = _mm_sad_epu8(v, _mm_setzero_si128());
  return _mm_cvtsi128_si32(_mm_add_epi32(s, _mm_unpackhi_epi64(s, s)));
}

inline __m128i pack_bytes(const __m128i (&lanes)[4]) {
  return _mm_packus_epi16(_mm_packs_epi32(lanes[0], lanes[1]), _mm_packs_epi32(lanes[2], lanes[3]));
}

void load_pixels(Pixels& px, const unsigned char bgra[64], bool punch_through) {
  px.bgra = bgra;
  const __m128i low8 = _mm_set1_epi32(0xff);
  __m128i r[4], b[4];
  for (int j = 0; j < 4; ++j) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * j));
    px.br[j] = _mm_and_si128(x, _mm_set1_epi32(0x00ff00ff));
    px.g0[j] = _mm_and_si128(_mm_srli_epi32(x, 8), low8);
    px.keep[j] = punch_through ? _mm_srai_epi32(x, 31) : _mm_set1_epi32(-1);
    r[j] = _mm_srli_epi32(px.br[j], 16);
    b[j] = _mm_and_si128(x, low8);
  }
  px.active = _mm_packs_epi16(_mm_packs_epi32(px.keep[0], px.keep[1]),
                              _mm_packs_epi32(px.keep[2], px.keep[3]));
  px.plane[0] = _mm_and_si128(pack_bytes(r), px.active);
  px.plane[1] = _mm_and_si128(pack_bytes(px.g0), px.active);
  px.plane[2] = _mm_and_si128(pack_bytes(b), px.active);
  px.count = sum_bytes(_mm_and_si128(px.active, _mm_set1_epi8(1)));
  for (int ch = 0; ch < 3; ++ch) px.total[ch] = sum_bytes(px.plane[ch]);
  __m128i sq = _mm_setzero_si128();
  for (int j = 0; j < 4; ++j) {
    const __m128i d =
        _mm_add_epi32(_mm_madd_epi16(px.br[j], px.br[j]), _mm_madd_epi16(px.g0[j], px.g0[j]));
    sq = _mm_add_epi32(sq, _mm_and_si128(d, px.keep[j]));
  }
  px.sq = horizontal_sum(sq);
}

struct Ends {
  uint8_t q[2][3];  // channel codes of c0 and c1

  bool operator==(const Ends& o) const { return std::memcmp(q, o.q, sizeof q) == 0; }
};

// A candidate encoding. `pos` holds each pixel's palette position: 0..D along c0..c1, or
// D+1 for the black entry of three-colour blocks.
struct Fit {
  uint32_t err;
  Ends ends;
  alignas(16) uint8_t pos[16];
};

inline int pair16(int lo, int hi) {
  return static_cast<int>((static_cast<uint32_t>(hi) << 16) | (static_cast<uint32_t>(lo) & 0xffff));
}

// Calls f(0) .. f(N-1) with compile-time indices; the hot loops are short and must unroll.
template <int N, typename F>
inline void unroll(F&& f) {
  if constexpr (N > 0) {
    unroll<N - 1>(f);
    f(std::integral_constant<int, N - 1>{});
  }
}

// Decoded values of one channel's palette entries 0..D.
template <int D>
inline void channel_entries(int sel, int q0, int q1, int v[4]) {
  const Tables& t = kTables;
  v[0] = t.expand[sel][q0];
  v[D] = t.expand[sel][q1];
  if constexpr (D == 3) {
    v[1] = t.one_third[sel][q0][q1];
    v[2] = t.one_third[sel][q1][q0];
  } else {
    v[1] = lerp(v[0], v[2], 1, 2);
    v[3] = 0;
  }
}

// Squared RGB error of the best palette entry per active pixel; fills pos. Ties go to the
// lower position so the result does not depend on evaluation order.
// Each entry's score |c|^2 - 2 p.c differs from the distance by the pixel's own |p|^2, so it
// ranks entries alike. Scaled by 4 with the position in the low bits it stays an integer below
// 2^24, exact in a float, and one float minimum then yields both the distance and the position.
template <int D, bool Black>
uint32_t evaluate(const Pixels& px, const Ends& e, uint8_t pos[16]) {
  int r[4], g[4], b[4];
  channel_entries<D>(0, e.q[0][0], e.q[1][0], r);
  channel_entries<D>(1, e.q[0][1], e.q[1][1], g);
  channel_entries<D>(0, e.q[0][2], e.q[1][2], b);
  // One lane per entry, in the pixels' (b, r) and (g, 0) layout.
  const __m128i br4 = _mm_setr_epi32(pair16(b[0], r[0]), pair16(b[1], r[1]), pair16(b[2], r[2]),
                                     pair16(b[3], r[3]));
  const __m128i g4 = _mm_setr_epi32(g[0], g[1], g[2], g[3]);
  const __m128i sq4 = _mm_add_epi32(_mm_madd_epi16(br4, br4), _mm_madd_epi16(g4, g4));
  const __m128i bias4 = _mm_add_epi32(_mm_slli_epi32(sq4, 2), _mm_setr_epi32(0, 1, 2, 3));
  const __m128i mbr4 = _mm_mullo_epi16(br4, _mm_set1_epi16(-8));
  const __m128i mg4 = _mm_mullo_epi16(g4, _mm_set1_epi16(-8));
  __m128i mbr[D + 1], mg[D + 1], bias[D + 1];
  unroll<D + 1>([&](auto k) {
    constexpr int kSplat = k * 0x55;
    mbr[k] = _mm_shuffle_epi32(mbr4, kSplat);
    mg[k] = _mm_shuffle_epi32(mg4, kSplat);
    bias[k] = _mm_shuffle_epi32(bias4, kSplat);
  });
  __m128i total = _mm_setzero_si128();
  __m128i idx[4];
  unroll<4>([&](auto j) {
    __m128 best = _mm_set1_ps(float(D + 1));
    unroll<D + 1>([&](auto k) {
      const __m128i dot =
          _mm_add_epi32(_mm_madd_epi16(px.br[j], mbr[k]), _mm_madd_epi16(px.g0[j], mg[k]));
      const __m128 key = _mm_cvtepi32_ps(_mm_add_epi32(dot, bias[k]));
      best = k == 0 && !Black ? key : _mm_min_ps(best, key);
    });
    const __m128i bk = _mm_and_si128(_mm_cvttps_epi32(best), px.keep[j]);
    total = _mm_add_epi32(total, _mm_srai_epi32(bk, 2));
    idx[j] = _mm_and_si128(bk, _mm_set1_epi32(3));
  });
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pos), pack_bytes(idx));
  return px.sq + horizontal_sum(total);
}

inline int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Per-position pixel counts and channel sums: with positions fixed, all an error needs.
struct Sums {
  int n[4];
  int s[4][3];
};

// Position 3 is the last interpolated entry of four-colour blocks and the black entry of
// three-colour ones. Inactive pixels have zero planes and are masked out of the counts.
Sums position_sums(const Pixels& px, const uint8_t pos[16]) {
  Sums sm;
  const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(pos));
  const __m128i ones = _mm_and_si128(px.active, _mm_set1_epi8(1));
  sm.n[0] = px.count;
  for (int ch = 0; ch < 3; ++ch) sm.s[0][ch] = px.total[ch];
  unroll<3>([&](auto i) {
    constexpr int k = i + 1;
    const __m128i m = _mm_cmpeq_epi8(p, _mm_set1_epi8(k));
    // Each byte sum fits in 32 bits, so four of them share one reduction.
    const __m128i r = _mm_sad_epu8(_mm_and_si128(m, px.plane[0]), _mm_setzero_si128());
    const __m128i g = _mm_sad_epu8(_mm_and_si128(m, px.plane[1]), _mm_setzero_si128());
    const __m128i b = _mm_sad_epu8(_mm_and_si128(m, px.plane[2]), _mm_setzero_si128());
    const __m128i c = _mm_sad_epu8(_mm_and_si128(m, ones), _mm_setzero_si128());
    const __m128i rg = _mm_add_epi32(r, _mm_slli_epi64(g, 32));
    const __m128i bc = _mm_add_epi32(b, _mm_slli_epi64(c, 32));
    alignas(16) int sums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums),
                    _mm_add_epi32(_mm_unpacklo_epi64(rg, bc), _mm_unpackhi_epi64(rg, bc)));
    sm.n[k] = sums[3];
    sm.n[0] -= sums[3];
    for (int ch = 0; ch < 3; ++ch) {
      sm.s[k][ch] = sums[ch];
      sm.s[0][ch] -= sums[ch];
    }
  });
  return sm;
}

// Squared errors of one channel for four code pairs given their entries, (v0, v1) per pair in
// `near` and (v2, v3) in `far`, less the constant sum of squared values. Entries and their
// weights n*v - 2s fit in 16 bits, so one multiply-add covers two positions.
inline __m128i pair_errors(const Sums& sm, int ch, __m128i near, __m128i far) {
  const __m128i wa = _mm_sub_epi16(_mm_mullo_epi16(near, _mm_set1_epi32(pair16(sm.n[0], sm.n[1]))),
                                   _mm_set1_epi32(pair16(2 * sm.s[0][ch], 2 * sm.s[1][ch])));
  const __m128i wb = _mm_sub_epi16(_mm_mullo_epi16(far, _mm_set1_epi32(pair16(sm.n[2], sm.n[3]))),
                                   _mm_set1_epi32(pair16(2 * sm.s[2][ch], 2 * sm.s[3][ch])));
  return _mm_add_epi32(_mm_madd_epi16(near, wa), _mm_madd_epi16(far, wb));
}

// Least-squares endpoints for fixed positions, rounded to codes. With positions fixed the error
// separates by channel, so when Exact each channel takes whichever of the code pairs around
// its targets minimises the exact error of the rounded palette; otherwise the nearest codes.
template <int D, bool Exact>
Ends solve_endpoints(const Pixels& px, const uint8_t pos[16]) {
  const Sums sm = position_sums(px, pos);
  const int(&n)[4] = sm.n;
  const int(&s)[4][3] = sm.s;
  int a11 = 0, a12 = 0, a22 = 0, fitted = 0;
  unroll<D + 1>([&](auto k) {
    a11 += n[k] * (D - k) * (D - k);
    a12 += n[k] * (D - k) * k;
    a22 += n[k] * k * k;
    fitted += n[k];
  });
  const int det = a11 * a22 - a12 * a12;
  // Targets only pick which codes to try, so a 24-bit reciprocal is precise enough.
  const int64_t inv = det > 0 ? (1 << 24) / det : 0;
  const Tables& t = kTables;
  Ends out;
  for (int ch = 0; ch < 3; ++ch) {
    int x = 0, y = 0, sum = 0;
    unroll<D + 1>([&](auto k) {
      x += (D - k) * s[k][ch];
      y += k * s[k][ch];
      sum += s[k][ch];
    });
    int a, b;
    if (det == 0) {
      a = b = fitted ? (sum + fitted / 2) / fitted : 0;
    } else {
      a = clamp255(static_cast<int>((D * (int64_t(a22) * x - int64_t(a12) * y) * inv) >> 24));
      b = clamp255(static_cast<int>((D * (int64_t(a11) * y - int64_t(a12) * x) * inv) >> 24));
    }
    const int sel = chan_sel(ch);
    const int top = sel ? 63 : 31;
    if (!Exact) {
      out.q[0][ch] = t.nearest_code[sel][a];
      out.q[1][ch] = t.nearest_code[sel][b];
      continue;
    }
    const uint8_t* ex = t.expand[sel];
    const int fa = t.floor_code[sel][a], fb = t.floor_code[sel][b];
    // Codes c and c+1 around each target; at the top of the range that is top-1 and top.
    const int qa = fa < top ? fa : top - 1, qb = fb < top ? fb : top - 1;
    int v1[4], v2[4];
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 2; ++j) {
        if constexpr (D == 3) {
          v1[2 * i + j] = t.one_third[sel][qa + i][qb + j];
          v2[2 * i + j] = t.one_third[sel][qb + j][qa + i];
        } else {
          v1[2 * i + j] = lerp(ex[qa + i], ex[qb + j], 1, 2);
          v2[2 * i + j] = ex[qb + j];
        }
      }
    }
    const int a0 = ex[qa], a1 = ex[qa + 1];
    const int last0 = D == 3 ? ex[qb] : 0, last1 = D == 3 ? ex[qb + 1] : 0;
    const __m128i near = _mm_setr_epi16(a0, v1[0], a0, v1[1], a1, v1[2], a1, v1[3]);
    const __m128i far = _mm_setr_epi16(v2[0], last0, v2[1], last1, v2[2], last0, v2[3], last1);
    // As in evaluate: errors times 4 plus the pair number stay exact in a float, and the
    // minimum picks the first of equal pairs.
    __m128 key = _mm_cvtepi32_ps(_mm_add_epi32(_mm_slli_epi32(pair_errors(sm, ch, near, far), 2),
                                               _mm_setr_epi32(0, 1, 2, 3)));
    key = _mm_min_ps(key, _mm_shuffle_ps(key, key, _MM_SHUFFLE(1, 0, 3, 2)));
    key = _mm_min_ps(key, _mm_shuffle_ps(key, key, _MM_SHUFFLE(2, 3, 0, 1)));
    const int pick = _mm_cvttss_si32(key) & 3;
    out.q[0][ch] = static_cast<uint8_t>(qa + (pick >> 1));
    out.q[1][ch] = static_cast<uint8_t>(qb + (pick & 1));
  }
  return out;
}

// One alternation step: the best endpoints for the current positions, then the best
// positions for those endpoints, kept if the error falls.
template <int D, bool Black>
void refine(const Pixels& px, Fit& fit) {
  Fit cand;
  cand.ends = solve_endpoints<D, true>(px, fit.pos);
  if (cand.ends == fit.ends) return;
  cand.err = evaluate<D, Black>(px, cand.ends, cand.pos);
  if (cand.err < fit.err) fit = cand;
}

// Read from the exponent of the exact conversion to double.
inline int bit_length(uint32_t v) {
  const double d = v;
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return v ? static_cast<int>(bits >> 52) - 1022 : 0;
}

inline __m128i min32(__m128i a, __m128i b) { return select(_mm_cmpgt_epi32(a, b), b, a); }
inline __m128i max32(__m128i a, __m128i b) { return select(_mm_cmpgt_epi32(a, b), a, b); }

inline int sum_products(__m128i a_lo, __m128i a_hi, __m128i b_lo, __m128i b_hi) {
  return static_cast<int>(
      horizontal_sum(_mm_add_epi32(_mm_madd_epi16(a_lo, b_lo), _mm_madd_epi16(a_hi, b_hi))));
}

// The principal axis of the active colours, from the covariance, and the pixels' projections
// on it.
struct Axis {
  __m128i proj[4];    // projection of each pixel on the axis
  int low, high;      // extreme projections of active pixels
  int lo, hi;         // pixels that reach them (the first one on ties)
  uint32_t off_axis;  // squared distance of the pixels from the axis through their mean
  uint32_t along;     // and along it
};

Axis principal_axis(const Pixels& px) {
  const __m128i zero = _mm_setzero_si128();
  __m128i w[3][2];
  for (int ch = 0; ch < 3; ++ch) {
    w[ch][0] = _mm_unpacklo_epi8(px.plane[ch], zero);
    w[ch][1] = _mm_unpackhi_epi8(px.plane[ch], zero);
  }
  int cov[3][3];
  uint32_t peak = 0;
  int top = 0;
  for (int a = 0; a < 3; ++a) {
    for (int b = a; b < 3; ++b) {
      const int ss = sum_products(w[a][0], w[a][1], w[b][0], w[b][1]);
      cov[a][b] = cov[b][a] = px.count * ss - px.total[a] * px.total[b];
      const uint32_t m = static_cast<uint32_t>(cov[a][b] < 0 ? -cov[a][b] : cov[a][b]);
      if (m > peak) peak = m;
    }
    if (cov[a][a] > cov[top][top]) top = a;
  }
  // Scale so that products with a 15-bit vector stay inside 32 bits.
  const int shift = bit_length(peak) - 14;
  if (shift > 0)
    for (auto& row : cov)
      for (int& c : row) c >>= shift;
  // The row of the widest channel, sharpened by one power step; more steps change nothing
  // measurable, as blocks that need them are nearly round anyway.
  int v[3] = {cov[top][0], cov[top][1], cov[top][2]};
  int nv[3];
  uint32_t m = 0;
  for (int a = 0; a < 3; ++a) {
    nv[a] = cov[a][0] * v[0] + cov[a][1] * v[1] + cov[a][2] * v[2];
    m |= static_cast<uint32_t>(nv[a] < 0 ? -nv[a] : nv[a]);
  }
  if (m != 0) {
    const int norm = bit_length(m) - 15;
    for (int a = 0; a < 3; ++a) v[a] = norm > 0 ? nv[a] >> norm : nv[a] * (1 << -norm);
  }
  const __m128i vbr = _mm_set1_epi32(pair16(v[2], v[0]));
  const __m128i vg = _mm_set1_epi32(v[1] & 0xffff);
  // Projections stay below 2^25, leaving room for the pixel number in the low bits; it breaks
  // ties towards the first pixel at both ends.
  Axis axis;
  __m128i kmin = _mm_set1_epi32(0x7fffffff), kmax = _mm_set1_epi32(-0x7fffffff - 1);
  for (int j = 0; j < 4; ++j) {
    const __m128i proj = _mm_add_epi32(_mm_madd_epi16(px.br[j], vbr), _mm_madd_epi16(px.g0[j], vg));
    axis.proj[j] = proj;
    const __m128i key = _mm_slli_epi32(proj, 4);
    const __m128i i = _mm_setr_epi32(4 * j, 4 * j + 1, 4 * j + 2, 4 * j + 3);
    kmin = min32(kmin, select(px.keep[j], _mm_or_si128(key, i), kmin));
    kmax = max32(kmax,
                 select(px.keep[j], _mm_or_si128(key, _mm_xor_si128(i, _mm_set1_epi32(15))), kmax));
  }
  kmin = min32(kmin, _mm_shuffle_epi32(kmin, _MM_SHUFFLE(1, 0, 3, 2)));
  kmin = min32(kmin, _mm_shuffle_epi32(kmin, _MM_SHUFFLE(2, 3, 0, 1)));
  kmax = max32(kmax, _mm_shuffle_epi32(kmax, _MM_SHUFFLE(1, 0, 3, 2)));
  kmax = max32(kmax, _mm_shuffle_epi32(kmax, _MM_SHUFFLE(2, 3, 0, 1)));
  const int first = _mm_cvtsi128_si32(kmin), last = _mm_cvtsi128_si32(kmax);
  axis.low = first >> 4;
  axis.high = last >> 4;
  axis.lo = first & 15;
  axis.hi = 15 - (last & 15);
  // No choice of endpoints removes the spread across the axis. The covariance is count^2 times
  // the true one: its trace less the Rayleigh quotient along v, divided by count, is the
  // squared distance from the axis summed over the pixels.
  int64_t vv = 0, vcv = 0;
  for (int a = 0; a < 3; ++a) {
    vv += int64_t(v[a]) * v[a];
    vcv += int64_t(v[a]) *
           (int64_t(cov[a][0]) * v[0] + int64_t(cov[a][1]) * v[1] + int64_t(cov[a][2]) * v[2]);
  }
  const int64_t trace = int64_t(cov[0][0]) + cov[1][1] + cov[2][2];
  const int64_t along = vv > 0 ? vcv / vv : 0;
  const int64_t across = trace > along ? trace - along : 0;
  axis.off_axis = static_cast<uint32_t>((shift > 0 ? across << shift : across) / px.count);
  axis.along = static_cast<uint32_t>((shift > 0 ? along << shift : along) / px.count);
  return axis;
}

// 0xff bytes for active pixels with no channel above kDarkLevel.
__m128i dark_pixels(const Pixels& px) {
  const __m128i peak = _mm_max_epu8(_mm_max_epu8(px.plane[0], px.plane[1]), px.plane[2]);
  const __m128i dark =
      _mm_cmpeq_epi8(_mm_subs_epu8(peak, _mm_set1_epi8(kDarkLevel)), _mm_setzero_si128());
  return _mm_and_si128(dark, px.active);
}

// Whole-block flat candidate: every fitted pixel on the palette entry that best reaches their
// mean. Smooth blocks often do better this way than with any spread of the endpoints.
template <int D, bool Black>
void try_flat(const Pixels& px, Fit& fit) {
  const Tables& t = kTables;
  int n = px.count, sum[3] = {px.total[0], px.total[1], px.total[2]};
  if (Black) {
    // Near-black pixels are left to the black entry.
    const __m128i dark = dark_pixels(px);
    n -= sum_bytes(_mm_and_si128(dark, _mm_set1_epi8(1)));
    for (int ch = 0; ch < 3; ++ch) sum[ch] -= sum_bytes(_mm_and_si128(dark, px.plane[ch]));
    if (n == 0) return;
  }
  Fit cand;
  for (int ch = 0; ch < 3; ++ch) {
    const PairFit& pf = (D == 3 ? t.third : t.half)[chan_sel(ch)][(sum[ch] + n / 2) / n];
    cand.ends.q[0][ch] = pf.c0;
    cand.ends.q[1][ch] = pf.c1;
  }
  cand.err = evaluate<D, Black>(px, cand.ends, cand.pos);
  if (cand.err < fit.err) fit = cand;
}

// Blocks made of two groups of pixels often fit best with a group on an interpolated entry,
// where the rounding reaches colours the endpoints cannot. Alternation starting from the
// endpoints never gets there, so every pair of positions is tried for the two groups.
template <int D, bool Black>
void try_two_groups(const Pixels& px, Fit& fit) {
  const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(fit.pos));
  int used = 0;
  for (int k = 0; k <= D; ++k)
    if (_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(p, _mm_set1_epi8(static_cast<char>(k))), px.active)))
      used |= 1 << k;
  if (used != (1 | (1 << D))) return;
  const __m128i upper = _mm_cmpeq_epi8(p, _mm_set1_epi8(static_cast<char>(D)));
  for (int a = 0; a < D; ++a) {
    for (int b = a + 1; b <= D; ++b) {
      if (a == 0 && b == D) continue;
      Fit cand;
      const __m128i remapped =
          select(upper, _mm_set1_epi8(static_cast<char>(b)), _mm_set1_epi8(static_cast<char>(a)));
      _mm_store_si128(reinterpret_cast<__m128i*>(cand.pos), _mm_and_si128(remapped, px.active));
      cand.ends = solve_endpoints<D, true>(px, cand.pos);
      cand.err = evaluate<D, Black>(px, cand.ends, cand.pos);
      refine<D, Black>(px, cand);
      if (cand.err < fit.err) fit = cand;
    }
  }
}

// Positions from slicing the projections into D+1 equal steps (position 0 at the high end),
// then the endpoints that fit them best.
template <int D, bool Black>
Fit axis_fit(const Pixels& px, const Axis& axis) {
  const int range = axis.high - axis.low;
  __m128i idx[4];
  for (int j = 0; j < 4; ++j) {
    // Position k starts where 2D * (high - proj) exceeds (2k - 1) * range; projections stay
    // below 2^25, so this fits in 32 bits.
    const __m128i d = _mm_sub_epi32(_mm_set1_epi32(axis.high), axis.proj[j]);
    const __m128i scaled =
        D == 3 ? _mm_add_epi32(_mm_slli_epi32(d, 2), _mm_slli_epi32(d, 1)) : _mm_slli_epi32(d, 2);
    __m128i p = _mm_setzero_si128();
    for (int k = 1; k <= D; ++k)
      p = _mm_sub_epi32(p, _mm_cmpgt_epi32(scaled, _mm_set1_epi32((2 * k - 1) * range)));
    idx[j] = _mm_and_si128(p, px.keep[j]);
  }
  Fit fit;
  _mm_store_si128(reinterpret_cast<__m128i*>(fit.pos), pack_bytes(idx));
  fit.ends = solve_endpoints<D, false>(px, fit.pos);
  fit.err = evaluate<D, Black>(px, fit.ends, fit.pos);
  return fit;
}

// Endpoints at the two extreme pixels. Clean ramps do best from here: slicing them into
// positions splits their levels unevenly, and alternation does not recover.
template <int D, bool Black>
Fit extremes_fit(const Pixels& px, const Axis& axis) {
  const Tables& t = kTables;
  Fit fit;
  for (int ch = 0; ch < 3; ++ch) {
    fit.ends.q[0][ch] = t.nearest_code[chan_sel(ch)][px.chan(axis.hi, ch)];
    fit.ends.q[1][ch] = t.nearest_code[chan_sel(ch)][px.chan(axis.lo, ch)];
  }
  fit.err = evaluate<D, Black>(px, fit.ends, fit.pos);
  return fit;
}

template <int D, bool Black>
Fit fit_colors(const Pixels& px, const Axis& axis) {
  Fit fit = axis_fit<D, Black>(px, axis);
  if (int64_t(axis.off_axis) * kRampAlong <= axis.along) {
    const Fit ends = extremes_fit<D, Black>(px, axis);
    if (ends.err < fit.err) fit = ends;
  }
  for (const uint32_t above : {kRefineAbove, kRefineAgainAbove})
    if (fit.err > axis.off_axis + above) refine<D, Black>(px, fit);
  // A flat palette cannot beat a fit whose error is well below the block's own variance.
  int64_t spread = int64_t(px.sq) * px.count;
  for (int ch = 0; ch < 3; ++ch) spread -= int64_t(px.total[ch]) * px.total[ch];
  if (Black || int64_t(fit.err) * 2 * px.count >= spread) try_flat<D, Black>(px, fit);
  if (fit.err > 0) try_two_groups<D, Black>(px, fit);
  return fit;
}

// One colour for every active pixel, using the precomputed best pair per channel value.
template <int D>
Fit fit_solid(const Pixels& px, int first) {
  const Tables& t = kTables;
  Fit fit;
  uint32_t err = 0;
  for (int ch = 0; ch < 3; ++ch) {
    const PairFit& pf = (D == 3 ? t.third : t.half)[chan_sel(ch)][px.chan(first, ch)];
    fit.ends.q[0][ch] = pf.c0;
    fit.ends.q[1][ch] = pf.c1;
    err += pf.err * pf.err;
  }
  fit.err = err * static_cast<uint32_t>(px.count);
  std::memset(fit.pos, 1, sizeof fit.pos);
  return fit;
}

inline uint16_t pack565(const uint8_t q[3]) {
  return static_cast<uint16_t>((q[0] << 11) | (q[1] << 5) | q[2]);
}

// Spreads the 16 bits of v to the even bit positions of the result.
inline uint32_t spread_bits(uint32_t v) {
  v = (v | (v << 8)) & 0x00ff00ffu;
  v = (v | (v << 4)) & 0x0f0f0f0fu;
  v = (v | (v << 2)) & 0x33333333u;
  return (v | (v << 1)) & 0x55555555u;
}

void write_color(unsigned char* out, const Fit& fit, bool three_colour, const Pixels& px) {
  uint16_t c0 = pack565(fit.ends.q[0]), c1 = pack565(fit.ends.q[1]);
  const int d = three_colour ? 2 : 3;
  // The mode is implied by endpoint order, so swap endpoints (mirroring positions) as needed.
  const bool swap = three_colour ? c0 > c1 : c0 < c1;
  if (swap) {
    const uint16_t tmp = c0;
    c0 = c1;
    c1 = tmp;
  }
  static const uint8_t kFourIndex[4] = {0, 2, 3, 1};
  static const uint8_t kThreeIndex[4] = {0, 2, 1, 3};
  const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(fit.pos));
  __m128i idx = _mm_andnot_si128(px.active, _mm_set1_epi8(3));
  if (three_colour || c0 != c1) {
    for (int k = 0; k < 4; ++k) {
      const int q = swap && k <= d ? d - k : k;
      const int code = three_colour ? kThreeIndex[q] : kFourIndex[q];
      const __m128i hit =
          _mm_and_si128(_mm_cmpeq_epi8(p, _mm_set1_epi8(static_cast<char>(k))), px.active);
      idx = _mm_or_si128(idx, _mm_and_si128(hit, _mm_set1_epi8(static_cast<char>(code))));
    }
  }
  const uint32_t low = static_cast<uint32_t>(_mm_movemask_epi8(_mm_slli_epi64(idx, 7)));
  const uint32_t high = static_cast<uint32_t>(_mm_movemask_epi8(_mm_slli_epi64(idx, 6)));
  const uint32_t bits = spread_bits(low) | (spread_bits(high) << 1);
  out[0] = static_cast<unsigned char>(c0);
  out[1] = static_cast<unsigned char>(c0 >> 8);
  out[2] = static_cast<unsigned char>(c1);
  out[3] = static_cast<unsigned char>(c1 >> 8);
  for (int b = 0; b < 4; ++b) out[4 + b] = static_cast<unsigned char>(bits >> (8 * b));
}

// `allow_three` permits the three-colour mode (DXT1 only). Transparent pixels force it. Without
// punch-through its fourth entry decodes black and may serve dark pixels; with punch-through
// that entry means transparent and is kept for transparent pixels alone.
void encode_color(const unsigned char bgra[64], unsigned char* out, bool allow_three,
                  bool punch_through) {
  Pixels px;
  load_pixels(px, bgra, punch_through);
  if (px.count == 0) {
    std::memset(out, 0, 4);
    std::memset(out + 4, 0xff, 4);
    return;
  }
  const bool need_three = px.count < 16;
  const int mask = _mm_movemask_epi8(px.active);
  int first = 0;
  while (!((mask >> first) & 1)) ++first;
  uint32_t first_bgra;
  std::memcpy(&first_bgra, bgra + 4 * first, 4);
  const __m128i ref = _mm_set1_epi32(static_cast<int>(first_bgra & 0xffffff));
  int same = 0;
  for (int j = 0; j < 4; ++j) {
    const __m128i x = _mm_and_si128(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * j)), _mm_set1_epi32(0xffffff));
    same |= _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(x, ref))) << (4 * j);
  }
  const bool solid = (same & mask) == mask;

  Fit best;
  bool three = false;
  if (solid) {
    if (!need_three) best = fit_solid<3>(px, first);
    if (allow_three) {
      const Fit f3 = fit_solid<2>(px, first);
      if (need_three || f3.err < best.err) best = f3, three = true;
    }
  } else {
    const Axis axis = principal_axis(px);
    if (need_three) {
      best = fit_colors<2, false>(px, axis);
      three = true;
    } else {
      best = fit_colors<3, false>(px, axis);
      // Three-colour blocks rarely win unless black is useful or the block is hard anyway.
      if (allow_three && best.err > 0 &&
          (best.err > kThreeAbove || (!punch_through && _mm_movemask_epi8(dark_pixels(px)) != 0))) {
        const Fit f3 =
            punch_through ? fit_colors<2, false>(px, axis) : fit_colors<2, true>(px, axis);
        if (f3.err < best.err) best = f3, three = true;
      }
    }
  }
  write_color(out, best, three, px);
}

// The 16 alpha values, one byte each.
inline __m128i alpha_bytes(const unsigned char bgra[64]) {
  __m128i a[4];
  for (int j = 0; j < 4; ++j)
    a[j] = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * j)), 24);
  return pack_bytes(a);
}

void encode_alpha_explicit(const unsigned char bgra[64], unsigned char* out) {
  // Nearest of 16 levels, (15a + 127) / 255, where x / 255 = (x + 1 + (x >> 8)) >> 8 for the
  // x that occur.
  const __m128i a = alpha_bytes(bgra);
  __m128i q[2];
  for (int h = 0; h < 2; ++h) {
    const __m128i w =
        h ? _mm_unpackhi_epi8(a, _mm_setzero_si128()) : _mm_unpacklo_epi8(a, _mm_setzero_si128());
    const __m128i x = _mm_add_epi16(_mm_mullo_epi16(w, _mm_set1_epi16(15)), _mm_set1_epi16(127));
    q[h] =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
  }
  // Pixel pairs share a byte, the first in the low nibble.
  const __m128i levels = _mm_packus_epi16(q[0], q[1]);
  const __m128i pairs =
      _mm_or_si128(_mm_and_si128(levels, _mm_set1_epi16(0x0f)),
                   _mm_and_si128(_mm_srli_epi16(levels, 4), _mm_set1_epi16(0xf0)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(pairs, pairs));
}

// Palette of an interpolated alpha block; the mode follows from the endpoint order.
void alpha_palette(int a0, int a1, uint8_t v[8]) {
  v[0] = static_cast<uint8_t>(a0);
  v[1] = static_cast<uint8_t>(a1);
  if (a0 > a1) {
    for (int j = 1; j <= 6; ++j) v[j + 1] = static_cast<uint8_t>(lerp(a0, a1, j, 7));
  } else {
    for (int j = 1; j <= 4; ++j) v[j + 1] = static_cast<uint8_t>(lerp(a0, a1, j, 5));
    v[6] = 0;
    v[7] = 255;
  }
}

uint32_t alpha_error(__m128i alpha, int a0, int a1) {
  uint8_t v[8];
  alpha_palette(a0, a1, v);
  __m128i best = _mm_set1_epi8(-1);
  for (int k = 0; k < 8; ++k) {
    const __m128i p = _mm_set1_epi8(static_cast<char>(v[k]));
    const __m128i d = _mm_or_si128(_mm_subs_epu8(alpha, p), _mm_subs_epu8(p, alpha));
    best = _mm_min_epu8(best, d);
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_unpacklo_epi8(best, zero), hi = _mm_unpackhi_epi8(best, zero);
  return horizontal_sum(_mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
}

struct AlphaFit {
  uint32_t err;
  int a0, a1;
};

// Steps each endpoint by one while that lowers the error, keeping the mode (a0 > a1 for
// eight values, a0 <= a1 for six plus 0 and 255).
AlphaFit descend_alpha(__m128i alpha, int a0, int a1, bool eight) {
  AlphaFit fit{alpha_error(alpha, a0, a1), a0, a1};
  for (bool moved = true; moved;) {
    moved = false;
    static const int kSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto& st : kSteps) {
      const int n0 = fit.a0 + st[0], n1 = fit.a1 + st[1];
      if (n0 < 0 || n0 > 255 || n1 < 0 || n1 > 255 || (n0 > n1) != eight) continue;
      const uint32_t e = alpha_error(alpha, n0, n1);
      if (e < fit.err) {
        fit = {e, n0, n1};
        moved = true;
      }
    }
  }
  return fit;
}

inline int min_byte(__m128i v) {
  v = _mm_min_epu8(v, _mm_srli_si128(v, 8));
  v = _mm_min_epu8(v, _mm_srli_si128(v, 4));
  v = _mm_min_epu8(v, _mm_srli_si128(v, 2));
  v = _mm_min_epu8(v, _mm_srli_si128(v, 1));
  return _mm_cvtsi128_si32(v) & 0xff;
}

inline int max_byte(__m128i v) {
  v = _mm_max_epu8(v, _mm_srli_si128(v, 8));
  v = _mm_max_epu8(v, _mm_srli_si128(v, 4));
  v = _mm_max_epu8(v, _mm_srli_si128(v, 2));
  v = _mm_max_epu8(v, _mm_srli_si128(v, 1));
  return _mm_cvtsi128_si32(v) & 0xff;
}

void encode_alpha_interpolated(const unsigned char bgra[64], unsigned char* out) {
  const __m128i alpha = alpha_bytes(bgra);
  const int amin = min_byte(alpha), amax = max_byte(alpha);
  if (amin == amax) {
    out[0] = out[1] = static_cast<unsigned char>(amin);
    std::memset(out + 2, 0, 6);
    return;
  }
  // Extremes of the values strictly between 0 and 255 (imin > imax when there are none).
  const int imin = min_byte(_mm_or_si128(alpha, _mm_cmpeq_epi8(alpha, _mm_setzero_si128())));
  const int imax = max_byte(_mm_andnot_si128(_mm_cmpeq_epi8(alpha, _mm_set1_epi8(-1)), alpha));
  AlphaFit fit = descend_alpha(alpha, amax, amin, true);
  if (fit.err > 0) {
    // Six-value mode spends its endpoints on the values strictly between 0 and 255.
    const AlphaFit six = imin > imax ? AlphaFit{alpha_error(alpha, 0, 0), 0, 0}
                                     : descend_alpha(alpha, imin, imax, false);
    if (six.err < fit.err) fit = six;
  }
  uint8_t v[8];
  alpha_palette(fit.a0, fit.a1, v);
  // Nearest entry per pixel; scanning down lets the lowest index win ties.
  __m128i dist[8], best = _mm_set1_epi8(-1);
  for (int k = 0; k < 8; ++k) {
    const __m128i e = _mm_set1_epi8(static_cast<char>(v[k]));
    dist[k] = _mm_or_si128(_mm_subs_epu8(alpha, e), _mm_subs_epu8(e, alpha));
    best = _mm_min_epu8(best, dist[k]);
  }
  __m128i idx = _mm_setzero_si128();
  for (int k = 7; k >= 0; --k)
    idx = select(_mm_cmpeq_epi8(dist[k], best), _mm_set1_epi8(static_cast<char>(k)), idx);
  alignas(16) uint8_t chosen[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(chosen), idx);
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<uint64_t>(chosen[i]) << (3 * i);
  out[0] = static_cast<unsigned char>(fit.a0);
  out[1] = static_cast<unsigned char>(fit.a1);
  for (int b = 0; b < 6; ++b) out[2 + b] = static_cast<unsigned char>(bits >> (8 * b));
}

}  // namespace

unsigned block_bytes(Format f) { return f == Format::DXT1 ? 8u : 16u; }

void encode_block(Format f, const unsigned char bgra[64], unsigned char* out, bool punch_through) {
  switch (f) {
    case Format::DXT1:
      encode_color(bgra, out, true, punch_through);
      break;
    case Format::DXT3:
      encode_alpha_explicit(bgra, out);
      encode_color(bgra, out + 8, false, false);
      break;
    case Format::DXT5:
      encode_alpha_interpolated(bgra, out);
      encode_color(bgra, out + 8, false, false);
      break;
  }
}

void encode_image(Format f, const unsigned char* src, int src_pitch, int src_bytes_per_pixel,
                  int width, int height, unsigned char* dst, int dst_pitch, bool punch_through) {
  const unsigned bytes = block_bytes(f);
  unsigned char block[64];
  for (int by = 0; by < height; by += 4) {
    unsigned char* out = dst + static_cast<std::ptrdiff_t>(by / 4) * dst_pitch;
    for (int bx = 0; bx < width; bx += 4) {
      const bool whole = bx + 4 <= width && src_bytes_per_pixel == 4;
      for (int y = 0; y < 4; ++y) {
        const int sy = by + y < height ? by + y : height - 1;
        const unsigned char* row = src + static_cast<std::ptrdiff_t>(sy) * src_pitch;
        if (whole) {
          std::memcpy(block + 16 * y, row + 4 * bx, 16);
          continue;
        }
        for (int x = 0; x < 4; ++x) {
          const int sx = bx + x < width ? bx + x : width - 1;
          const unsigned char* p = row + sx * src_bytes_per_pixel;
          unsigned char* q = block + 4 * (4 * y + x);
          q[0] = p[0];
          q[1] = p[1];
          q[2] = p[2];
          q[3] = src_bytes_per_pixel == 4 ? p[3] : 255;
        }
      }
      encode_block(f, block, out, punch_through);
      out += bytes;
    }
  }
}

}  // namespace qelt::dxt
