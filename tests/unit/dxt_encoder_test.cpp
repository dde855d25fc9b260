#include "dxt_encoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using qelt::dxt::encode_block;
using qelt::dxt::encode_image;
using qelt::dxt::Format;
using qelt::dxt::Path;
using qelt::dxt::active_path;
using qelt::dxt::use_path;

using Block = std::array<unsigned char, 64>;  // 16 pixels, B,G,R,A

// Deterministic generator, so failures reproduce and the digest is stable.
struct Rng {
  uint32_t s;
  uint32_t next() {
    s = s * 1664525u + 1013904223u;
    return s >> 8;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

int expand(int v, int bits) { return bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4); }

// Independent decoder with exact rounding of interpolated entries, or with truncation as some
// decoders do.
void decode_colour(const unsigned char* c, bool dxt1, int rgba[16][4], bool truncate = false) {
  const int c0 = c[0] | (c[1] << 8), c1 = c[2] | (c[3] << 8);
  int pal[4][4];
  for (int e = 0; e < 2; ++e) {
    const int v = e ? c1 : c0;
    pal[e][0] = expand((v >> 11) & 31, 5);
    pal[e][1] = expand((v >> 5) & 63, 6);
    pal[e][2] = expand(v & 31, 5);
    pal[e][3] = 255;
  }
  const bool four = !dxt1 || c0 > c1;
  for (int ch = 0; ch < 3; ++ch) {
    const int up = truncate ? 0 : 1;
    pal[2][ch] = four ? (2 * pal[0][ch] + pal[1][ch] + up) / 3 : (pal[0][ch] + pal[1][ch] + up) / 2;
    pal[3][ch] = four ? (pal[0][ch] + 2 * pal[1][ch] + up) / 3 : 0;
  }
  pal[2][3] = 255;
  pal[3][3] = four ? 255 : 0;
  for (int i = 0; i < 16; ++i) {
    const int idx = (c[4 + i / 4] >> (2 * (i % 4))) & 3;
    for (int ch = 0; ch < 4; ++ch) rgba[i][ch] = pal[idx][ch];
  }
}

void decode_dxt5_alpha(const unsigned char* a, int out[16]) {
  const int a0 = a[0], a1 = a[1];
  int v[8] = {a0, a1};
  for (int j = 1; j <= 6; ++j) v[j + 1] = a0 > a1 ? ((7 - j) * a0 + j * a1 + 3) / 7 : 0;
  if (a0 <= a1) {
    for (int j = 1; j <= 4; ++j) v[j + 1] = ((5 - j) * a0 + j * a1 + 2) / 5;
    v[6] = 0;
    v[7] = 255;
  }
  uint64_t bits = 0;
  for (int b = 0; b < 6; ++b) bits |= static_cast<uint64_t>(a[2 + b]) << (8 * b);
  for (int i = 0; i < 16; ++i) out[i] = v[(bits >> (3 * i)) & 7];
}

int colour_error(const Block& px, const unsigned char* colour, bool dxt1, bool truncate = false) {
  int dec[16][4];
  decode_colour(colour, dxt1, dec, truncate);
  int err = 0;
  for (int i = 0; i < 16; ++i) {
    const int r = px[4 * i + 2] - dec[i][0], g = px[4 * i + 1] - dec[i][1],
              b = px[4 * i] - dec[i][2];
    err += r * r + g * g + b * b;
  }
  return err;
}

int encoded_colour_error(Format f, const Block& px) {
  unsigned char out[16];
  encode_block(f, px.data(), out);
  return colour_error(px, f == Format::kDxt1 ? out : out + 8, f == Format::kDxt1);
}

// Best error over all palettes built from the given candidate endpoints, in four-colour mode and
// (for DXT1) three-colour mode with black.
int best_over_endpoints(const Block& px, const std::vector<uint16_t>& cands, bool dxt1) {
  int best = 1 << 30;
  for (uint16_t a : cands) {
    for (uint16_t b : cands) {
      if (!dxt1 && a < b) continue;
      unsigned char blk[8] = {static_cast<unsigned char>(a), static_cast<unsigned char>(a >> 8),
                              static_cast<unsigned char>(b), static_cast<unsigned char>(b >> 8)};
      int dec[16][4];
      decode_colour(blk, dxt1, dec);
      int pal[4][3];
      for (int k = 0; k < 4; ++k) {
        blk[4] = static_cast<unsigned char>(k * 0x55);
        decode_colour(blk, dxt1, dec);
        for (int ch = 0; ch < 3; ++ch) pal[k][ch] = dec[0][ch];
      }
      int err = 0;
      for (int i = 0; i < 16 && err < best; ++i) {
        int e = 1 << 30;
        for (const auto& p : pal) {
          const int r = px[4 * i + 2] - p[0], g = px[4 * i + 1] - p[1], bl = px[4 * i] - p[2];
          e = std::min(e, r * r + g * g + bl * bl);
        }
        err += e;
      }
      best = std::min(best, err);
    }
  }
  return best;
}

uint16_t nearest565(int r, int g, int b) {
  auto q = [](int v, int bits) {
    const int top = (1 << bits) - 1;
    int best = 0;
    for (int c = 0; c <= top; ++c)
      if (std::abs(expand(c, bits) - v) < std::abs(expand(best, bits) - v)) best = c;
    return best;
  };
  return static_cast<uint16_t>((q(r, 5) << 11) | (q(g, 6) << 5) | q(b, 5));
}

Block solid_block(int r, int g, int b, int a = 255) {
  Block px;
  for (int i = 0; i < 16; ++i) {
    px[4 * i] = static_cast<unsigned char>(b);
    px[4 * i + 1] = static_cast<unsigned char>(g);
    px[4 * i + 2] = static_cast<unsigned char>(r);
    px[4 * i + 3] = static_cast<unsigned char>(a);
  }
  return px;
}

// Optimal squared error for one channel value reproduced by a single palette entry, summed over
// a rounding and a truncating decoder.
int best_channel_error(int v, int bits, bool three_colour) {
  const int codes = 1 << bits;
  int best = 1 << 30;
  for (int a = 0; a < codes; ++a) {
    for (int b = 0; b < codes; ++b) {
      const int ea = expand(a, bits), eb = expand(b, bits);
      const int sum = three_colour ? ea + eb : 2 * ea + eb, d = three_colour ? 2 : 3;
      const int rounded = (sum + d / 2) / d, truncated = sum / d;
      best = std::min({best, (rounded - v) * (rounded - v) + (truncated - v) * (truncated - v),
                       2 * (ea - v) * (ea - v)});
    }
  }
  return best;
}

TEST(DxtColour, SolidBlocksReachTheOptimumForBothDecoders) {
  Rng rng{7};
  for (int n = 0; n < 48; ++n) {
    const int r = n < 16 ? n * 17 : rng.below(256), g = n < 16 ? n * 17 : rng.below(256),
              b = n < 16 ? 255 - n * 17 : rng.below(256);
    const Block px = solid_block(r, g, b);
    const int four = 16 * (best_channel_error(r, 5, false) + best_channel_error(g, 6, false) +
                           best_channel_error(b, 5, false));
    const int three = 16 * (best_channel_error(r, 5, true) + best_channel_error(g, 6, true) +
                            best_channel_error(b, 5, true));
    for (Format f : {Format::kDxt3, Format::kDxt1}) {
      unsigned char out[16];
      encode_block(f, px.data(), out);
      const unsigned char* colour = f == Format::kDxt1 ? out : out + 8;
      const bool dxt1 = f == Format::kDxt1;
      EXPECT_EQ(colour_error(px, colour, dxt1) + colour_error(px, colour, dxt1, true),
                dxt1 ? std::min(four, three) : four)
          << r << "," << g << "," << b;
    }
    // With punch-through, transparent pixels of any colour take index 3 and the others reach the
    // three-colour optimum: one transparent pixel first (so that another pixel leads), a scattered
    // few, and all but the first and last.
    for (const int transparent : {0x0001, 0x8421, 0x7ffe}) {
      Block pt = px;
      int opaque = 16;
      for (int i = 0; i < 16; ++i)
        if (transparent >> i & 1) {
          pt[4 * i] ^= 0x5a;
          pt[4 * i + 3] = 0;
          --opaque;
        }
      unsigned char out[8];
      encode_block(Format::kDxt1, pt.data(), out, true);
      int err = 0;
      for (const bool truncate : {false, true}) {
        int dec[16][4];
        decode_colour(out, true, dec, truncate);
        for (int i = 0; i < 16; ++i) {
          const bool clear = transparent >> i & 1;
          EXPECT_EQ(dec[i][3], clear ? 0 : 255) << transparent << " " << i;
          for (int ch = 0; ch < 3 && !clear; ++ch)
            err += (px[4 * i + 2 - ch] - dec[i][ch]) * (px[4 * i + 2 - ch] - dec[i][ch]);
        }
      }
      EXPECT_EQ(err, opaque * three / 16) << r << "," << g << "," << b << " " << transparent;
    }
  }
}

TEST(DxtColour, TwoColourBlocksNearBruteForce) {
  Rng rng{11};
  long enc_total = 0, ref_total = 0;
  for (int n = 0; n < 40; ++n) {
    int c[2][3];
    for (auto& col : c)
      for (int& v : col) v = rng.below(256);
    Block px;
    for (int i = 0; i < 16; ++i) {
      const int* col = c[(i * 7 + n) % 3 == 0];
      px[4 * i] = static_cast<unsigned char>(col[2]);
      px[4 * i + 1] = static_cast<unsigned char>(col[1]);
      px[4 * i + 2] = static_cast<unsigned char>(col[0]);
      px[4 * i + 3] = 255;
    }
    // Candidate endpoints: codes near each colour and near the points that put one colour at a
    // third of the way to an extrapolated endpoint.
    std::vector<uint16_t> cands;
    for (int e = 0; e < 4; ++e) {
      int t[3];
      for (int ch = 0; ch < 3; ++ch) {
        const int a = c[e & 1][ch], b = c[(e & 1) ^ 1][ch];
        t[ch] = std::min(255, std::max(0, e < 2 ? a : a + (a - b) / 2));
      }
      const uint16_t base = nearest565(t[0], t[1], t[2]);
      for (int dr = -1; dr <= 1; ++dr)
        for (int dg = -1; dg <= 1; ++dg)
          for (int db = -1; db <= 1; ++db) {
            const int r = ((base >> 11) & 31) + dr, g = ((base >> 5) & 63) + dg,
                      b = (base & 31) + db;
            if (r >= 0 && r < 32 && g >= 0 && g < 64 && b >= 0 && b < 32)
              cands.push_back(static_cast<uint16_t>((r << 11) | (g << 5) | b));
          }
    }
    const int ref = best_over_endpoints(px, cands, false);
    const int enc = encoded_colour_error(Format::kDxt3, px);
    EXPECT_LE(enc, ref + ref / 4 + 48) << "block " << n;
    enc_total += enc;
    ref_total += ref;
  }
  // Over the set the encoder must match the search within 5%.
  EXPECT_LE(enc_total, ref_total + ref_total / 20);
}

// Photograph-like blocks: colours scattered along a segment with a little noise. The best pair
// lies near the segment's ends or a little inside, so a search there bounds what the encoder
// should reach.
TEST(DxtColour, NoisyRampsNearBruteForce) {
  Rng rng{17};
  long enc_total = 0, ref_total = 0;
  for (int n = 0; n < 40; ++n) {
    int end[2][3];
    for (auto& e : end)
      for (int& v : e) v = 16 + rng.below(224);
    Block px;
    for (int i = 0; i < 16; ++i) {
      const int t = rng.below(65);
      for (int ch = 0; ch < 3; ++ch) {
        const int v = (end[0][ch] * (64 - t) + end[1][ch] * t) / 64 + rng.below(9) - 4;
        px[4 * i + 2 - ch] = static_cast<unsigned char>(std::min(255, std::max(0, v)));
      }
      px[4 * i + 3] = 255;
    }
    // Around each end and points an eighth and a quarter of the way in.
    std::vector<uint16_t> cands;
    for (int e = 0; e < 6; ++e) {
      const int* a = end[e & 1];
      const int* b = end[(e & 1) ^ 1];
      const int in = e / 2;
      const uint16_t base = nearest565(a[0] + (b[0] - a[0]) * in / 8, a[1] + (b[1] - a[1]) * in / 8,
                                       a[2] + (b[2] - a[2]) * in / 8);
      for (int dr = -1; dr <= 1; ++dr)
        for (int dg = -1; dg <= 1; ++dg)
          for (int db = -1; db <= 1; ++db) {
            const int r = ((base >> 11) & 31) + dr, g = ((base >> 5) & 63) + dg,
                      b = (base & 31) + db;
            if (r >= 0 && r < 32 && g >= 0 && g < 64 && b >= 0 && b < 32)
              cands.push_back(static_cast<uint16_t>((r << 11) | (g << 5) | b));
          }
    }
    enc_total += encoded_colour_error(Format::kDxt5, px);
    ref_total += best_over_endpoints(px, cands, false);
  }
  EXPECT_LE(enc_total, ref_total + ref_total / 8);
}

// Naive encoding: bounding-box corners as endpoints, best index per pixel.
int bounding_box_error(const Block& px, bool dxt1) {
  int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  for (int i = 0; i < 16; ++i)
    for (int ch = 0; ch < 3; ++ch) {
      lo[ch] = std::min<int>(lo[ch], px[4 * i + 2 - ch]);
      hi[ch] = std::max<int>(hi[ch], px[4 * i + 2 - ch]);
    }
  return best_over_endpoints(px, {nearest565(hi[0], hi[1], hi[2]), nearest565(lo[0], lo[1], lo[2])},
                             dxt1);
}

TEST(DxtColour, GradientsAndNoiseBeatNaiveFit) {
  Rng rng{3};
  for (int n = 0; n < 300; ++n) {
    Block px;
    const bool noise = n % 2 == 1;
    const int base[3] = {rng.below(200), rng.below(200), rng.below(200)};
    const int step[3] = {rng.below(13) - 6, rng.below(13) - 6, rng.below(13) - 6};
    for (int i = 0; i < 16; ++i) {
      for (int ch = 0; ch < 3; ++ch) {
        const int v = noise ? rng.below(256) : base[ch] + step[ch] * (i % 4 + i / 4) + 20;
        px[4 * i + 2 - ch] = static_cast<unsigned char>(std::min(255, std::max(0, v)));
      }
      px[4 * i + 3] = 255;
    }
    for (const Format f : {Format::kDxt1, Format::kDxt5}) {
      const int enc = encoded_colour_error(f, px);
      EXPECT_LE(enc, bounding_box_error(px, f == Format::kDxt1)) << "block " << n;
      if (!noise) {
        EXPECT_LE(enc, 16 * 3 * 16) << "gradient " << n << " worse than 4 per channel";
      }
    }
  }
}

TEST(DxtColour, FourColourOrderAndDarkPixels) {
  Rng rng{5};
  for (int n = 0; n < 200; ++n) {
    Block px;
    for (int i = 0; i < 16; ++i) {
      const bool dark = rng.below(4) == 0;
      for (int ch = 0; ch < 3; ++ch)
        px[4 * i + ch] = static_cast<unsigned char>(dark ? rng.below(4) : 100 + rng.below(60));
      px[4 * i + 3] = 255;
    }
    unsigned char out[16];
    encode_block(Format::kDxt5, px.data(), out);
    const int c0 = out[8] | (out[9] << 8), c1 = out[10] | (out[11] << 8);
    // Some decoders honour the DXT1 mode switch in DXT3/5 too, so four-colour order is kept.
    EXPECT_TRUE(c0 > c1 ||
                (c0 == c1 && out[12] == 0 && out[13] == 0 && out[14] == 0 && out[15] == 0));
    encode_block(Format::kDxt1, px.data(), out);
    int dec[16][4];
    decode_colour(out, true, dec);
    for (int i = 0; i < 16; ++i)
      if (dec[i][3] == 0) {
        EXPECT_LE(px[4 * i] + px[4 * i + 1] + px[4 * i + 2], 3 * 12)
            << "black used for a bright pixel";
      }
  }
}

TEST(DxtAlpha, ExplicitAlphaIsNearestLevel) {
  Block px = solid_block(10, 20, 30);
  for (int base = 0; base < 256; base += 16) {
    for (int i = 0; i < 16; ++i) px[4 * i + 3] = static_cast<unsigned char>(base + i);
    unsigned char out[16];
    encode_block(Format::kDxt3, px.data(), out);
    for (int i = 0; i < 16; ++i) {
      const int a = base + i;
      const int got = ((out[i / 2] >> (4 * (i & 1))) & 15) * 17;
      int best = 255;
      for (int l = 0; l < 16; ++l) best = std::min(best, std::abs(l * 17 - a));
      EXPECT_EQ(std::abs(got - a), best) << "alpha " << a;
    }
  }
}

int dxt5_alpha_error(const Block& px, const unsigned char* a) {
  int dec[16];
  decode_dxt5_alpha(a, dec);
  int err = 0;
  for (int i = 0; i < 16; ++i) err += (px[4 * i + 3] - dec[i]) * (px[4 * i + 3] - dec[i]);
  return err;
}

TEST(DxtAlpha, InterpolatedAlphaNearBruteForce) {
  Rng rng{9};
  for (int n = 0; n < 12; ++n) {
    Block px = solid_block(1, 2, 3);
    const int lo = rng.below(200), span = 1 + rng.below(255 - lo);
    for (int i = 0; i < 16; ++i)
      px[4 * i + 3] = static_cast<unsigned char>(lo + rng.below(span + 1));
    if (n % 3 == 0) px[5 * 4 + 3] = 0, px[9 * 4 + 3] = 255;
    int best = 1 << 30;
    for (int a0 = 0; a0 < 256; ++a0)
      for (int a1 = 0; a1 < 256; ++a1) {
        unsigned char blk[8] = {static_cast<unsigned char>(a0), static_cast<unsigned char>(a1)};
        int v[16];
        decode_dxt5_alpha(blk, v);
        int pal[8];
        for (int k = 0; k < 8; ++k) {
          uint64_t bits = 0;
          for (int i = 0; i < 16; ++i) bits |= static_cast<uint64_t>(k) << (3 * i);
          for (int b = 0; b < 6; ++b) blk[2 + b] = static_cast<unsigned char>(bits >> (8 * b));
          decode_dxt5_alpha(blk, v);
          pal[k] = v[0];
        }
        int err = 0;
        for (int i = 0; i < 16 && err < best; ++i) {
          int e = 1 << 30;
          for (int p : pal) e = std::min(e, (px[4 * i + 3] - p) * (px[4 * i + 3] - p));
          err += e;
        }
        best = std::min(best, err);
      }
    unsigned char out[16];
    encode_block(Format::kDxt5, px.data(), out);
    EXPECT_LE(dxt5_alpha_error(px, out), best + best / 4 + 16) << "block " << n;
  }
}

TEST(DxtAlpha, SixValueModeForExtremesWithMidValues) {
  Block px = solid_block(50, 60, 70);
  const int alphas[16] = {0, 255, 100, 104, 108, 112, 0, 255, 100, 104, 108, 112, 0, 255, 116, 120};
  for (int i = 0; i < 16; ++i) px[4 * i + 3] = static_cast<unsigned char>(alphas[i]);
  unsigned char out[16];
  encode_block(Format::kDxt5, px.data(), out);
  EXPECT_LE(out[0], out[1]) << "expected the six-value mode";
  EXPECT_LE(dxt5_alpha_error(px, out), 16);
  // Constant alpha is exact.
  for (int a : {0, 77, 255}) {
    const Block c = solid_block(1, 2, 3, a);
    encode_block(Format::kDxt5, c.data(), out);
    EXPECT_EQ(dxt5_alpha_error(c, out), 0);
  }
}

TEST(DxtPunchThrough, TransparentPixelsUseIndexThree) {
  Rng rng{13};
  for (int n = 0; n < 100; ++n) {
    Block px;
    for (int i = 0; i < 16; ++i) {
      for (int ch = 0; ch < 3; ++ch)
        px[4 * i + ch] = static_cast<unsigned char>(rng.below(n % 2 ? 256 : 8));
      px[4 * i + 3] = static_cast<unsigned char>(n == 0 ? 0 : n == 1 ? 255 : rng.below(256));
    }
    unsigned char out[8];
    encode_block(Format::kDxt1, px.data(), out, true);
    int dec[16][4];
    decode_colour(out, true, dec);
    for (int i = 0; i < 16; ++i)
      EXPECT_EQ(dec[i][3], px[4 * i + 3] < 128 ? 0 : 255) << "block " << n << " pixel " << i;
  }
}

// Procedural RGBA test image: smooth ramps, hard edges, noise and an alpha ramp.
std::vector<unsigned char> make_image(int w, int h, uint32_t seed) {
  Rng rng{seed};
  std::vector<unsigned char> img(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &img[(static_cast<size_t>(y) * w + x) * 4];
      const bool edge = ((x / 7) + (y / 5)) % 3 == 0;
      p[0] = static_cast<unsigned char>((x * 255) / w);
      p[1] = static_cast<unsigned char>(edge ? 40 : (y * 255) / h);
      p[2] = static_cast<unsigned char>(std::min(255, x * y / 12 + rng.below(12)));
      p[3] = static_cast<unsigned char>(((x + y) * 255) / (w + h));
    }
  return img;
}

double decoded_psnr(const std::vector<unsigned char>& img, int w, int h,
                    const std::vector<unsigned char>& blocks, Format f) {
  const int bytes = f == Format::kDxt1 ? 8 : 16;
  double se = 0;
  for (int by = 0; by < h / 4; ++by)
    for (int bx = 0; bx < w / 4; ++bx) {
      int dec[16][4];
      decode_colour(&blocks[(by * (w / 4) + bx) * bytes + (bytes - 8)], f == Format::kDxt1, dec);
      for (int i = 0; i < 16; ++i)
        for (int ch = 0; ch < 3; ++ch) {
          const double d = img[((by * 4 + i / 4) * w + bx * 4 + i % 4) * 4 + 2 - ch] - dec[i][ch];
          se += d * d;
        }
    }
  return 10 * std::log10(255.0 * 255.0 * 3 * w * h / se);
}

TEST(DxtImage, RoundTripQuality) {
  const int w = 64, h = 48;
  const auto img = make_image(w, h, 21);
  for (const Format f : {Format::kDxt1, Format::kDxt3, Format::kDxt5}) {
    const int bytes = f == Format::kDxt1 ? 8 : 16;
    std::vector<unsigned char> out(static_cast<size_t>(w / 4) * (h / 4) * bytes);
    encode_image(f, img.data(), w * 4, 4, w, h, out.data(), (w / 4) * bytes);
    EXPECT_GT(decoded_psnr(img, w, h, out, f), 33.0);
  }
}

TEST(DxtImage, EdgeBlocksReplicateLastRowAndColumn) {
  for (const auto& size : {std::array<int, 2>{5, 3}, {1, 1}, {2, 2}, {7, 6}}) {
    const int w = size[0], h = size[1];
    const auto img = make_image(w, h, 4);
    // Three-byte source with padded rows, and a destination pitch with slack to stay untouched.
    const int pitch = w * 3 + 5;
    std::vector<unsigned char> rgb(static_cast<size_t>(pitch) * h, 0xcd);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) std::memcpy(&rgb[y * pitch + x * 3], &img[(y * w + x) * 4], 3);
    const int bw = (w + 3) / 4, bh = (h + 3) / 4, dst_pitch = bw * 16 + 8;
    for (const Format f : {Format::kDxt1, Format::kDxt5}) {
      const int bytes = f == Format::kDxt1 ? 8 : 16;
      std::vector<unsigned char> out(static_cast<size_t>(dst_pitch) * bh, 0xee);
      encode_image(f, rgb.data(), pitch, 3, w, h, out.data(), dst_pitch);
      for (int by = 0; by < bh; ++by) {
        for (int bx = 0; bx < bw; ++bx) {
          Block px;
          for (int i = 0; i < 16; ++i) {
            const int x = std::min(bx * 4 + i % 4, w - 1), y = std::min(by * 4 + i / 4, h - 1);
            std::memcpy(&px[4 * i], &img[(y * w + x) * 4], 3);
            px[4 * i + 3] = 255;
          }
          unsigned char want[16];
          encode_block(f, px.data(), want);
          EXPECT_EQ(std::memcmp(want, &out[by * dst_pitch + bx * bytes], bytes), 0)
              << w << "x" << h << " block " << bx << "," << by;
        }
        for (int k = bw * bytes; k < dst_pitch; ++k) EXPECT_EQ(out[by * dst_pitch + k], 0xee);
      }
    }
  }
}

// Blocks of one colour each, a third of them colours that 565 codes hold exactly, with alpha
// opaque, transparent, mixed 0/255 (punch-through leaves one colour among the opaque pixels) or
// random.
std::vector<unsigned char> make_flat_image(int w, int h, uint32_t seed) {
  Rng rng{seed};
  std::vector<unsigned char> img(static_cast<size_t>(w) * h * 4);
  for (int by = 0; by < h; by += 4)
    for (int bx = 0; bx < w; bx += 4) {
      const bool exact = rng.below(3) == 0;
      int c[3];
      for (int ch = 0; ch < 3; ++ch) {
        const int bits = ch == 1 ? 6 : 5, code = rng.below(1 << bits);
        c[ch] = exact ? (code << (8 - bits)) | (code >> (2 * bits - 8)) : rng.below(256);
      }
      const int alpha = rng.below(4);
      for (int y = by; y < by + 4; ++y)
        for (int x = bx; x < bx + 4; ++x) {
          unsigned char* p = &img[(static_cast<size_t>(y) * w + x) * 4];
          for (int ch = 0; ch < 3; ++ch) p[ch] = static_cast<unsigned char>(c[ch]);
          const int a = alpha == 0   ? 255
                        : alpha == 1 ? 0
                        : alpha == 2 ? 255 * rng.below(2)
                                     : rng.below(256);
          p[3] = static_cast<unsigned char>(a);
        }
    }
  return img;
}

uint64_t fnv1a(uint64_t h, const std::vector<unsigned char>& data) {
  for (unsigned char c : data) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// Any change to this value is a change of output bytes: it must match on every target
// (x86_64 and i386 Linux, Windows) and on both encoder paths, and only move on purpose.
TEST(DxtDeterminism, DigestOfProceduralImagesOnEachPath) {
  const Path chosen = active_path();
  for (Path path : {Path::kSse2, Path::kPortable}) {
    if (!use_path(path)) continue;  // no SSE2 on this processor
    uint64_t h = 14695981039346656037ull;
    // Procedural images, then (the 64 x 32 one) flat blocks.
    const int sizes[][2] = {{64, 64}, {37, 23}, {128, 16}, {64, 32}};
    uint32_t seed = 1;
    for (const auto& s : sizes) {
      const auto img =
          s[1] == 32 ? make_flat_image(s[0], s[1], seed++) : make_image(s[0], s[1], seed++);
      const int bw = (s[0] + 3) / 4, bh = (s[1] + 3) / 4;
      for (int mode = 0; mode < 4; ++mode) {
        const Format f = mode == 3 ? Format::kDxt1 : static_cast<Format>(mode);
        const int bytes = f == Format::kDxt1 ? 8 : 16;
        std::vector<unsigned char> out(static_cast<size_t>(bw) * bh * bytes);
        encode_image(f, img.data(), s[0] * 4, 4, s[0], s[1], out.data(), bw * bytes, mode == 3);
        h = fnv1a(h, out);
      }
    }
    EXPECT_EQ(h, 0x665ad3426c84b639ull) << (path == Path::kSse2 ? "SSE2: " : "portable: ")
                                        << std::hex << h;
  }
  use_path(chosen);
}

}  // namespace
