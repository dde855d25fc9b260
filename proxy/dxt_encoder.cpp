#include "dxt_encoder.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qelt::dxt {
namespace {

// Error estimates model the exact-rounding decoder: 565 endpoints expand by bit replication
// and entry k of the d+1 palette entries along c0..c1 is ((d-k)*c0 + k*c1 + d/2) / d.
// Decoders that truncate instead differ by at most one step on interpolated entries.
constexpr int lerp(int e0, int e1, int k, int d) { return ((d - k) * e0 + k * e1 + d / 2) / d; }

// Search effort, tuned on photographs and game textures. Rounds beyond these limits gain under
// 0.01 dB; blocks whose squared error is at most kPolishAbove gain too little from polishing to
// pay for it, and three-colour fits of easy blocks without dark pixels almost never win.
constexpr int kMaxRefine = 6;
constexpr int kMaxPolish = 4;
constexpr uint32_t kPolishAbove = 160;
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
  uint8_t nearest_code[2][256];  // code whose expansion is closest to x
  PairFit third[2][256];         // pair whose 1/3 point is closest to x (four-colour)
  PairFit half[2][256];          // pair whose midpoint is closest to x (three-colour)
};

// Among pairs that reach the same value, the one with the narrowest spread wins, so decoders
// that round interpolation differently still land close.
void build_pair_fits(PairFit out[256], const uint8_t* ex, int codes, int d) {
  int spread[256];
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

Tables make_tables() {
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
  }
  return t;
}

const Tables& tables() {
  static const Tables t = make_tables();
  return t;
}

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

// Squared RGB error of the best palette entry per active pixel; fills pos. Ties go to the
// lower position so the result does not depend on evaluation order.
template <int D, bool Black>
uint32_t evaluate(const Pixels& px, const Ends& e, uint8_t pos[16]) {
  constexpr int kEntries = D + 1 + Black;
  const Tables& t = tables();
  __m128i pbr[kEntries], pg[kEntries];
  for (int k = 0; k <= D; ++k) {
    int v[3];
    for (int ch = 0; ch < 3; ++ch) {
      const uint8_t* ex = t.expand[chan_sel(ch)];
      v[ch] = lerp(ex[e.q[0][ch]], ex[e.q[1][ch]], k, D);
    }
    pbr[k] = _mm_set1_epi32(v[2] | (v[0] << 16));
    pg[k] = _mm_set1_epi32(v[1]);
  }
  if (Black) pbr[D + 1] = pg[D + 1] = _mm_setzero_si128();
  __m128i total = _mm_setzero_si128();
  __m128i idx[4];
  for (int j = 0; j < 4; ++j) {
    __m128i best = _mm_setzero_si128(), bi = _mm_setzero_si128();
    for (int k = 0; k < kEntries; ++k) {
      const __m128i dbr = _mm_sub_epi16(px.br[j], pbr[k]);
      const __m128i dg = _mm_sub_epi16(px.g0[j], pg[k]);
      const __m128i d = _mm_add_epi32(_mm_madd_epi16(dbr, dbr), _mm_madd_epi16(dg, dg));
      if (k == 0) {
        best = d;
        continue;
      }
      const __m128i lt = _mm_cmplt_epi32(d, best);
      best = select(lt, d, best);
      bi = select(lt, _mm_set1_epi32(k), bi);
    }
    total = _mm_add_epi32(total, _mm_and_si128(best, px.keep[j]));
    idx[j] = _mm_and_si128(bi, px.keep[j]);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pos), pack_bytes(idx));
  return horizontal_sum(total);
}

inline int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Least-squares endpoints for fixed positions, then per channel the code pair around them
// that minimises the exact error of the rounded palette. With positions fixed the error
// separates by channel, so each channel is settled on its own.
template <int D>
Ends solve_endpoints(const Pixels& px, const uint8_t pos[16]) {
  // Position 3 is the last interpolated entry of four-colour blocks and the black entry of
  // three-colour ones; either way only positions 0..D take part in the fit.
  int n[4], s[4][3];
  const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(pos));
  const __m128i one = _mm_set1_epi8(1);
  n[0] = px.count;
  for (int ch = 0; ch < 3; ++ch) s[0][ch] = px.total[ch];
  for (int k = 1; k <= 3; ++k) {
    const __m128i m = _mm_and_si128(_mm_cmpeq_epi8(p, _mm_set1_epi8(static_cast<char>(k))), px.active);
    n[k] = sum_bytes(_mm_and_si128(m, one));
    n[0] -= n[k];
    for (int ch = 0; ch < 3; ++ch) {
      s[k][ch] = sum_bytes(_mm_and_si128(m, px.plane[ch]));
      s[0][ch] -= s[k][ch];
    }
  }
  int a11 = 0, a12 = 0, a22 = 0, fitted = 0;
  for (int k = 0; k <= D; ++k) {
    a11 += n[k] * (D - k) * (D - k);
    a12 += n[k] * (D - k) * k;
    a22 += n[k] * k * k;
    fitted += n[k];
  }
  const int det = a11 * a22 - a12 * a12;
  // Targets only pick which codes to try, so a 24-bit reciprocal is precise enough.
  const int64_t inv = det > 0 ? (1 << 24) / det : 0;
  const Tables& t = tables();
  Ends out;
  for (int ch = 0; ch < 3; ++ch) {
    int x = 0, y = 0, sum = 0;
    for (int k = 0; k <= D; ++k) {
      x += (D - k) * s[k][ch];
      y += k * s[k][ch];
      sum += s[k][ch];
    }
    int a, b;
    if (det == 0) {
      a = b = fitted ? (sum + fitted / 2) / fitted : 0;
    } else {
      a = clamp255(static_cast<int>((D * (int64_t(a22) * x - int64_t(a12) * y) * inv) >> 24));
      b = clamp255(static_cast<int>((D * (int64_t(a11) * y - int64_t(a12) * x) * inv) >> 24));
    }
    const int sel = chan_sel(ch);
    const int top = sel ? 63 : 31;
    const uint8_t* ex = t.expand[sel];
    const int fa = t.floor_code[sel][a], fb = t.floor_code[sel][b];
    int best = 0x7fffffff;
    for (int qa = fa; qa <= fa + 1 && qa <= top; ++qa) {
      for (int qb = fb; qb <= fb + 1 && qb <= top; ++qb) {
        int err = 0;
        for (int k = 0; k <= D; ++k) {
          const int v = lerp(ex[qa], ex[qb], k, D);
          err += v * (n[k] * v - 2 * s[k][ch]);
        }
        if (err < best) {
          best = err;
          out.q[0][ch] = static_cast<uint8_t>(qa);
          out.q[1][ch] = static_cast<uint8_t>(qb);
        }
      }
    }
  }
  return out;
}

// Alternates between best positions for the endpoints and best endpoints for the positions
// until the error stops falling.
template <int D, bool Black>
void refine(const Pixels& px, Fit& fit) {
  Ends tried = fit.ends;
  for (int round = 0; round < kMaxRefine; ++round) {
    Fit cand;
    cand.ends = solve_endpoints<D>(px, fit.pos);
    if (cand.ends == tried) break;
    tried = cand.ends;
    cand.err = evaluate<D, Black>(px, cand.ends, cand.pos);
    if (cand.err >= fit.err) break;
    fit = cand;
  }
}

// Moves single endpoint channels by one code while that helps. Alternation settles in
// local minima that such a step, which changes the positions, often escapes.
template <int D, bool Black>
void polish(const Pixels& px, Fit& fit) {
  for (int round = 0; round < kMaxPolish; ++round) {
    bool moved = false;
    for (int e = 0; e < 2; ++e) {
      for (int ch = 0; ch < 3; ++ch) {
        const int top = chan_sel(ch) ? 63 : 31;
        for (int step = -1; step <= 1; step += 2) {
          const int code = fit.ends.q[e][ch] + step;
          if (code < 0 || code > top) continue;
          Fit cand;
          cand.ends = fit.ends;
          cand.ends.q[e][ch] = static_cast<uint8_t>(code);
          cand.err = evaluate<D, Black>(px, cand.ends, cand.pos);
          if (cand.err < fit.err) {
            fit = cand;
            moved = true;
          }
        }
      }
    }
    if (!moved) break;
    refine<D, Black>(px, fit);
  }
}

inline int bit_length(uint32_t v) {
  int n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

inline int sum_products(__m128i a_lo, __m128i a_hi, __m128i b_lo, __m128i b_hi) {
  return static_cast<int>(horizontal_sum(_mm_add_epi32(_mm_madd_epi16(a_lo, b_lo), _mm_madd_epi16(a_hi, b_hi))));
}

// Pixels with the smallest and largest projection on the principal axis of the active
// colours, found by integer power iteration on the covariance.
void axis_extremes(const Pixels& px, int& lo, int& hi) {
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
  int v[3] = {cov[top][0], cov[top][1], cov[top][2]};
  for (int it = 0; it < 4; ++it) {
    int nv[3];
    uint32_t m = 0;
    for (int a = 0; a < 3; ++a) {
      nv[a] = cov[a][0] * v[0] + cov[a][1] * v[1] + cov[a][2] * v[2];
      const uint32_t mag = static_cast<uint32_t>(nv[a] < 0 ? -nv[a] : nv[a]);
      if (mag > m) m = mag;
    }
    if (m == 0) break;
    const int norm = bit_length(m) - 15;
    for (int a = 0; a < 3; ++a) v[a] = norm > 0 ? nv[a] >> norm : nv[a] * (1 << -norm);
  }
  // Two 16-bit lanes per word: blue low, red high (shifted as unsigned to keep the sign bits).
  const __m128i vbr = _mm_set1_epi32(static_cast<int>(
      (static_cast<uint32_t>(v[2]) & 0xffffu) | (static_cast<uint32_t>(v[0]) << 16)));
  const __m128i vg = _mm_set1_epi32(v[1] & 0xffff);
  alignas(16) int proj[16];
  for (int j = 0; j < 4; ++j)
    _mm_store_si128(reinterpret_cast<__m128i*>(proj + 4 * j),
                    _mm_add_epi32(_mm_madd_epi16(px.br[j], vbr), _mm_madd_epi16(px.g0[j], vg)));
  const int mask = _mm_movemask_epi8(px.active);
  int tmin = 0x7fffffff, tmax = -0x7fffffff - 1;
  lo = hi = 0;
  for (int i = 0; i < 16; ++i) {
    if (!((mask >> i) & 1)) continue;
    if (proj[i] < tmin) tmin = proj[i], lo = i;
    if (proj[i] > tmax) tmax = proj[i], hi = i;
  }
}

// Whole-block flat candidate: every fitted pixel on the palette entry that best reaches their
// mean. Smooth blocks often do better this way than with any spread of the endpoints.
// 0xff bytes for active pixels with no channel above kDarkLevel.
__m128i dark_pixels(const Pixels& px) {
  const __m128i peak = _mm_max_epu8(_mm_max_epu8(px.plane[0], px.plane[1]), px.plane[2]);
  const __m128i dark = _mm_cmpeq_epi8(_mm_subs_epu8(peak, _mm_set1_epi8(kDarkLevel)), _mm_setzero_si128());
  return _mm_and_si128(dark, px.active);
}

// Whole-block flat candidate: every fitted pixel on the palette entry that best reaches their
// mean. Smooth blocks often do better this way than with any spread of the endpoints.
template <int D, bool Black>
void try_flat(const Pixels& px, Fit& fit) {
  const Tables& t = tables();
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
    if (_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(p, _mm_set1_epi8(static_cast<char>(k))), px.active)))
      used |= 1 << k;
  if (used != (1 | (1 << D))) return;
  const __m128i upper = _mm_cmpeq_epi8(p, _mm_set1_epi8(static_cast<char>(D)));
  for (int a = 0; a < D; ++a) {
    for (int b = a + 1; b <= D; ++b) {
      if (a == 0 && b == D) continue;
      Fit cand;
      const __m128i remapped = select(upper, _mm_set1_epi8(static_cast<char>(b)), _mm_set1_epi8(static_cast<char>(a)));
      _mm_store_si128(reinterpret_cast<__m128i*>(cand.pos), _mm_and_si128(remapped, px.active));
      cand.ends = solve_endpoints<D>(px, cand.pos);
      cand.err = evaluate<D, Black>(px, cand.ends, cand.pos);
      refine<D, Black>(px, cand);
      if (cand.err < fit.err) fit = cand;
    }
  }
}

template <int D, bool Black>
Fit fit_colors(const Pixels& px, int lo, int hi) {
  const Tables& t = tables();
  Fit fit;
  for (int ch = 0; ch < 3; ++ch) {
    fit.ends.q[0][ch] = t.nearest_code[chan_sel(ch)][px.chan(hi, ch)];
    fit.ends.q[1][ch] = t.nearest_code[chan_sel(ch)][px.chan(lo, ch)];
  }
  fit.err = evaluate<D, Black>(px, fit.ends, fit.pos);
  refine<D, Black>(px, fit);
  try_flat<D, Black>(px, fit);
  if (fit.err > kPolishAbove) polish<D, Black>(px, fit);
  if (fit.err > 0) try_two_groups<D, Black>(px, fit);
  return fit;
}

// One colour for every active pixel, using the precomputed best pair per channel value.
template <int D>
Fit fit_solid(const Pixels& px, int first) {
  const Tables& t = tables();
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
  const int mask = _mm_movemask_epi8(px.active);
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    uint32_t idx;
    if (!((mask >> i) & 1)) {
      idx = 3;
    } else if (!three_colour && c0 == c1) {
      idx = 0;
    } else {
      const int p = swap && fit.pos[i] <= d ? d - fit.pos[i] : fit.pos[i];
      idx = three_colour ? kThreeIndex[p] : kFourIndex[p];
    }
    bits |= idx << (2 * i);
  }
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
    const __m128i x = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * j)),
                                    _mm_set1_epi32(0xffffff));
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
    int lo, hi;
    axis_extremes(px, lo, hi);
    if (need_three) {
      best = fit_colors<2, false>(px, lo, hi);
      three = true;
    } else {
      best = fit_colors<3, false>(px, lo, hi);
      // Three-colour blocks rarely win unless black is useful or the block is hard anyway.
      if (allow_three && best.err > 0 &&
          (best.err > kThreeAbove || (!punch_through && _mm_movemask_epi8(dark_pixels(px)) != 0))) {
        const Fit f3 = punch_through ? fit_colors<2, false>(px, lo, hi) : fit_colors<2, true>(px, lo, hi);
        if (f3.err < best.err) best = f3, three = true;
      }
    }
  }
  write_color(out, best, three, px);
}

void encode_alpha_explicit(const unsigned char bgra[64], unsigned char* out) {
  for (int i = 0; i < 16; i += 2) {
    const int lo = (bgra[4 * i + 3] * 15 + 127) / 255;
    const int hi = (bgra[4 * i + 7] * 15 + 127) / 255;
    out[i / 2] = static_cast<unsigned char>(lo | (hi << 4));
  }
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

void encode_alpha_interpolated(const unsigned char bgra[64], unsigned char* out) {
  uint8_t a[16];
  int amin = 255, amax = 0, imin = 255, imax = 0;
  for (int i = 0; i < 16; ++i) {
    a[i] = bgra[4 * i + 3];
    if (a[i] < amin) amin = a[i];
    if (a[i] > amax) amax = a[i];
    if (a[i] != 0 && a[i] != 255) {
      if (a[i] < imin) imin = a[i];
      if (a[i] > imax) imax = a[i];
    }
  }
  AlphaFit fit{0, amin, amax};
  if (amin != amax) {
    const __m128i alpha = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    fit = descend_alpha(alpha, amax, amin, true);
    if (fit.err > 0) {
      // Six-value mode spends its endpoints on the values strictly between 0 and 255.
      const AlphaFit six = imin > imax ? AlphaFit{alpha_error(alpha, 0, 0), 0, 0}
                                       : descend_alpha(alpha, imin, imax, false);
      if (six.err < fit.err) fit = six;
    }
  }
  uint8_t v[8];
  alpha_palette(fit.a0, fit.a1, v);
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    int best = 0, bd = 256;
    for (int k = 0; k < 8; ++k) {
      const int d = a[i] > v[k] ? a[i] - v[k] : v[k] - a[i];
      if (d < bd) bd = d, best = k;
    }
    bits |= static_cast<uint64_t>(best) << (3 * i);
  }
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
      for (int y = 0; y < 4; ++y) {
        const int sy = by + y < height ? by + y : height - 1;
        const unsigned char* row = src + static_cast<std::ptrdiff_t>(sy) * src_pitch;
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
