// Quality and speed of the block encoder against stb_dxt and libsquish on real images.
//
// Usage: dxtbench [--csv] [--decoder=own|squish|both] [--half=tuning|check|both]
//                 [--only=ENCODER,...] [--runs=N] [--per-image] FILE_OR_DIR...
// Every result is decoded by one decoder for all encoders (by default both the exact-rounding
// one below and libsquish's truncating one, each in its own table), so the encoders are
// compared on equal terms. Each image is encoded once per encoder and format; timing is single
// threaded, best of several runs. The images fall into a tuning half and a check half
// (half_of); the encoder is tuned on the first and judged on the second.
#include <squish.h>
#include <stb/stb_dxt.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dxt_encoder.h"

namespace {

using qelt::dxt::Format;

enum Half { kTuning, kCheck };
const char* const kHalfNames[] = {"tuning", "check"};

// A fixed split that no tuning can move: FNV-1a (32-bit) of the file name without its
// directory; even goes to the tuning half, odd to the check half.
Half half_of(const std::string& path) {
  uint32_t h = 2166136261u;
  for (const unsigned char c : std::filesystem::path(path).filename().string()) h = (h ^ c) * 16777619u;
  return (h & 1) ? kCheck : kTuning;
}

struct Image {
  std::string name;
  Half half = kTuning;
  int w = 0, h = 0;
  std::vector<unsigned char> rgba;  // as loaded
  std::vector<unsigned char> bgra;  // same pixels in the encoder's order
  bool has_alpha = false;
  double pixels() const { return double(w) * h; }
};

bool load(const std::string& path, Image& img) {
  int w, h, n;
  unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!data) return false;
  img.name = path;
  img.half = half_of(path);
  img.w = w & ~3;
  img.h = h & ~3;
  if (img.w == 0 || img.h == 0) {
    stbi_image_free(data);
    return false;
  }
  img.rgba.resize(static_cast<size_t>(img.w) * img.h * 4);
  for (int y = 0; y < img.h; ++y)
    std::memcpy(&img.rgba[static_cast<size_t>(y) * img.w * 4], data + static_cast<size_t>(y) * w * 4,
                static_cast<size_t>(img.w) * 4);
  stbi_image_free(data);
  img.bgra = img.rgba;
  for (size_t i = 0; i < img.bgra.size(); i += 4) {
    std::swap(img.bgra[i], img.bgra[i + 2]);
    if (img.rgba[i + 3] != 255) img.has_alpha = true;
  }
  return true;
}

unsigned bytes_per_block(Format f) { return qelt::dxt::block_bytes(f); }

// Copies block (bx, by) of an RGBA image into 16 contiguous pixels.
void gather(const Image& img, int bx, int by, unsigned char out[64]) {
  for (int y = 0; y < 4; ++y)
    std::memcpy(out + 16 * y, &img.rgba[(static_cast<size_t>(by * 4 + y) * img.w + bx * 4) * 4], 16);
}

void explicit_alpha(const unsigned char rgba[64], unsigned char* out) {
  for (int i = 0; i < 16; i += 2) {
    const int lo = (rgba[4 * i + 3] * 15 + 127) / 255, hi = (rgba[4 * i + 7] * 15 + 127) / 255;
    out[i / 2] = static_cast<unsigned char>(lo | (hi << 4));
  }
}

using EncodeFn = std::function<void(Format, const Image&, unsigned char*)>;

void encode_qelt(Format f, const Image& img, unsigned char* out) {
  qelt::dxt::encode_image(f, img.bgra.data(), img.w * 4, 4, img.w, img.h, out,
                          (img.w / 4) * static_cast<int>(bytes_per_block(f)));
}

// The portable path, as processors without SSE2 run it.
void encode_qelt_portable(Format f, const Image& img, unsigned char* out) {
  const qelt::dxt::Path chosen = qelt::dxt::active_path();
  qelt::dxt::use_path(qelt::dxt::Path::kPortable);
  encode_qelt(f, img, out);
  qelt::dxt::use_path(chosen);
}

EncodeFn stb_encoder(int mode) {
  return [mode](Format f, const Image& img, unsigned char* out) {
    unsigned char block[64];
    for (int by = 0; by < img.h / 4; ++by) {
      for (int bx = 0; bx < img.w / 4; ++bx) {
        gather(img, bx, by, block);
        switch (f) {
          case Format::kDxt1:
            stb_compress_dxt_block(out, block, 0, mode);
            out += 8;
            break;
          case Format::kDxt3:  // stb_dxt has no DXT3: explicit alpha plus its colour block
            explicit_alpha(block, out);
            stb_compress_dxt_block(out + 8, block, 0, mode);
            out += 16;
            break;
          case Format::kDxt5:
            stb_compress_dxt_block(out, block, 1, mode);
            out += 16;
            break;
        }
      }
    }
  };
}

EncodeFn squish_encoder(int fit) {
  return [fit](Format f, const Image& img, unsigned char* out) {
    const int kind = f == Format::kDxt1 ? squish::kDxt1 : f == Format::kDxt3 ? squish::kDxt3 : squish::kDxt5;
    unsigned char block[64];
    for (int by = 0; by < img.h / 4; ++by) {
      for (int bx = 0; bx < img.w / 4; ++bx) {
        gather(img, bx, by, block);
        // DXT1 is benchmarked as colour only; opaque input keeps squish out of its
        // transparent mode.
        if (f == Format::kDxt1)
          for (int i = 0; i < 16; ++i) block[4 * i + 3] = 255;
        squish::Compress(block, out, kind | fit);
        out += bytes_per_block(f);
      }
    }
  };
}

// Exact-rounding decoder, the same interpretation the encoder optimises for.
void decode_own(Format f, const unsigned char* blk, unsigned char rgba[64]) {
  const unsigned char* c = f == Format::kDxt1 ? blk : blk + 8;
  const int c0 = c[0] | (c[1] << 8), c1 = c[2] | (c[3] << 8);
  int pal[4][4];
  for (int e = 0; e < 2; ++e) {
    const int v = e ? c1 : c0;
    const int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    pal[e][0] = (r << 3) | (r >> 2);
    pal[e][1] = (g << 2) | (g >> 4);
    pal[e][2] = (b << 3) | (b >> 2);
    pal[e][3] = 255;
  }
  const bool four = f != Format::kDxt1 || c0 > c1;
  for (int ch = 0; ch < 3; ++ch) {
    if (four) {
      pal[2][ch] = (2 * pal[0][ch] + pal[1][ch] + 1) / 3;
      pal[3][ch] = (pal[0][ch] + 2 * pal[1][ch] + 1) / 3;
    } else {
      pal[2][ch] = (pal[0][ch] + pal[1][ch] + 1) / 2;
      pal[3][ch] = 0;
    }
  }
  pal[2][3] = 255;
  pal[3][3] = four ? 255 : 0;
  const uint32_t bits = c[4] | (c[5] << 8) | (c[6] << 16) | (static_cast<uint32_t>(c[7]) << 24);
  for (int i = 0; i < 16; ++i)
    for (int ch = 0; ch < 4; ++ch) rgba[4 * i + ch] = static_cast<unsigned char>(pal[(bits >> (2 * i)) & 3][ch]);
  if (f == Format::kDxt3) {
    for (int i = 0; i < 16; ++i) rgba[4 * i + 3] = static_cast<unsigned char>(((blk[i / 2] >> (4 * (i & 1))) & 15) * 17);
  } else if (f == Format::kDxt5) {
    const int a0 = blk[0], a1 = blk[1];
    int v[8] = {a0, a1};
    if (a0 > a1) {
      for (int j = 1; j <= 6; ++j) v[j + 1] = ((7 - j) * a0 + j * a1 + 3) / 7;
    } else {
      for (int j = 1; j <= 4; ++j) v[j + 1] = ((5 - j) * a0 + j * a1 + 2) / 5;
      v[6] = 0;
      v[7] = 255;
    }
    uint64_t abits = 0;
    for (int b = 0; b < 6; ++b) abits |= static_cast<uint64_t>(blk[2 + b]) << (8 * b);
    for (int i = 0; i < 16; ++i) rgba[4 * i + 3] = static_cast<unsigned char>(v[(abits >> (3 * i)) & 7]);
  }
}

void decode_squish(Format f, const unsigned char* blk, unsigned char rgba[64]) {
  const int kind = f == Format::kDxt1 ? squish::kDxt1 : f == Format::kDxt3 ? squish::kDxt3 : squish::kDxt5;
  squish::Decompress(rgba, blk, kind);
}

using DecodeFn = void (*)(Format, const unsigned char*, unsigned char*);

struct Decoder {
  const char* option;
  const char* title;
  DecodeFn decode;
};
// Boards of the era decode either way; a lead that holds under only one is fitted to its rounding.
const Decoder kDecoders[] = {{"own", "exact rounding", decode_own}, {"squish", "libsquish (truncating)", decode_squish}};

struct Quality {
  double psnr;
  double alpha_rmse;
};

Quality measure(Format f, const Image& img, const unsigned char* blocks, DecodeFn decode) {
  double se = 0, ae = 0;
  unsigned char dec[64];
  const unsigned char* blk = blocks;
  for (int by = 0; by < img.h / 4; ++by) {
    for (int bx = 0; bx < img.w / 4; ++bx) {
      decode(f, blk, dec);
      blk += bytes_per_block(f);
      for (int y = 0; y < 4; ++y) {
        const unsigned char* src = &img.rgba[(static_cast<size_t>(by * 4 + y) * img.w + bx * 4) * 4];
        for (int x = 0; x < 4; ++x) {
          for (int ch = 0; ch < 3; ++ch) {
            const double d = double(src[4 * x + ch]) - dec[16 * y + 4 * x + ch];
            se += d * d;
          }
          const double da = double(src[4 * x + 3]) - dec[16 * y + 4 * x + 3];
          ae += da * da;
        }
      }
    }
  }
  const double mse = se / (3 * img.pixels());
  return {mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 100.0, std::sqrt(ae / img.pixels())};
}

// Means over the images of one half: PSNR over all of them, alpha RMSE over those with alpha.
struct QualitySum {
  double psnr_sum = 0, alpha_sum = 0;
  int images = 0, alpha_images = 0;
  double psnr() const { return psnr_sum / images; }
  double alpha() const { return alpha_images ? alpha_sum / alpha_images : 0; }
};

struct SpeedSum {
  double seconds = 0, pixels = 0;
  double mpix() const { return pixels / seconds / 1e6; }
};

constexpr int kFormats = 3;
const Format kFormatList[kFormats] = {Format::kDxt1, Format::kDxt3, Format::kDxt5};
const char* const kFormatNames[kFormats] = {"DXT1", "DXT3", "DXT5"};
constexpr int kDecoderCount = 2;

struct Encoder {
  Encoder(std::string n, EncodeFn fn) : name(std::move(n)), encode(std::move(fn)) {}
  std::string name;
  EncodeFn encode;
  bool selected = true;
  QualitySum quality[kDecoderCount][2][kFormats];  // [decoder][half][format]
  SpeedSum speed[2][kFormats];                     // [half][format]
};

// The yardsticks: quality against libsquish's cluster fit, speed against stb_dxt HQ.
const char* const kQualityReference = "squish-cluster";
const char* const kSpeedReference = "stb-hq";
const char* const kOwnEncoders[] = {"qelt", "qelt-portable"};

double best_time(const EncodeFn& enc, Format f, const Image& img, unsigned char* out, int max_runs) {
  double best = 1e30, spent = 0;
  for (int run = 0; run < max_runs && (run == 0 || spent < 0.5); ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    enc(f, img, out);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    best = std::min(best, s);
    spent += s;
  }
  return best;
}

void collect(const std::string& arg, std::vector<std::string>& files) {
  namespace fs = std::filesystem;
  if (fs::is_directory(arg)) {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(arg)) {
      const std::string ext = e.path().extension().string();
      if (e.is_regular_file() && (ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".tga"))
        found.push_back(e.path().string());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  } else {
    files.push_back(arg);
  }
}

struct Options {
  bool csv = false, per_image = false;
  bool decoders[kDecoderCount] = {true, true};
  bool halves[2] = {true, true};
  std::vector<std::string> only;
  int runs = 5;
  std::vector<std::string> files;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--csv") {
      o.csv = true;
    } else if (a == "--per-image") {
      o.per_image = true;
    } else if (a.rfind("--decoder=", 0) == 0) {
      const std::string v = a.substr(10);
      if (v != "own" && v != "squish" && v != "both") return false;
      o.decoders[0] = v != "squish";
      o.decoders[1] = v != "own";
    } else if (a.rfind("--half=", 0) == 0) {
      const std::string v = a.substr(7);
      if (v != "tuning" && v != "check" && v != "both") return false;
      o.halves[kTuning] = v != "check";
      o.halves[kCheck] = v != "tuning";
    } else if (a.rfind("--only=", 0) == 0) {
      std::stringstream list(a.substr(7));
      for (std::string name; std::getline(list, name, ',');) o.only.push_back(name);
    } else if (a.rfind("--runs=", 0) == 0) {
      o.runs = std::max(1, std::atoi(a.c_str() + 7));
    } else if (a.rfind("--", 0) == 0) {
      return false;
    } else {
      collect(a, o.files);
    }
  }
  return !o.files.empty();
}

const Encoder* find(const std::vector<Encoder>& encoders, const std::string& name) {
  for (const Encoder& e : encoders)
    if (e.name == name && e.selected) return &e;
  return nullptr;
}

void print_corpus(const std::vector<Image>& images, const Options& o) {
  for (int half = 0; half < 2; ++half) {
    if (!o.halves[half]) continue;
    int count = 0, alpha = 0;
    double pixels = 0;
    for (const Image& img : images) {
      if (img.half != half) continue;
      ++count;
      alpha += img.has_alpha;
      pixels += img.pixels();
    }
    std::printf("%-6s half: %3d images, %6.2f Mpix, %2d with alpha\n", kHalfNames[half], count, pixels / 1e6, alpha);
  }
  std::printf("The check half is the one that judges.\n");
}

// One decoder's figures: per half, mean PSNR, alpha RMSE and speed for every encoder, then our
// two paths against the references.
void print_table(const std::vector<Encoder>& encoders, int d, const Options& o) {
  std::printf("\n== decoder: %s ==\n%-5s %-15s", kDecoders[d].title, "", "");
  for (int half = 0; half < 2; ++half)
    if (o.halves[half]) std::printf(" | %-33s", kHalfNames[half]);
  std::printf("\n%-5s %-15s", "fmt", "encoder");
  for (int half = 0; half < 2; ++half)
    if (o.halves[half]) std::printf(" | %10s %11s %10s", "PSNR dB", "alpha RMSE", "Mpix/s");
  std::printf("\n");
  for (int fi = 0; fi < kFormats; ++fi) {
    for (const Encoder& e : encoders) {
      if (!e.selected) continue;
      std::printf("%-5s %-15s", kFormatNames[fi], e.name.c_str());
      for (int half = 0; half < 2; ++half) {
        if (!o.halves[half]) continue;
        const QualitySum& q = e.quality[d][half][fi];
        char alpha[32] = "-";
        if (fi) std::snprintf(alpha, sizeof alpha, "%.4f", q.alpha());
        std::printf(" | %10.3f %11s %10.2f", q.psnr(), alpha, e.speed[half][fi].mpix());
      }
      std::printf("\n");
    }
  }

  const Encoder* quality_ref = find(encoders, kQualityReference);
  const Encoder* speed_ref = find(encoders, kSpeedReference);
  std::printf("\n%-5s %-15s", "", "");
  for (int half = 0; half < 2; ++half)
    if (o.halves[half]) std::printf(" | %-33s", kHalfNames[half]);
  std::printf("\n%-5s %-15s", "fmt", "encoder");
  for (int half = 0; half < 2; ++half)
    if (o.halves[half]) std::printf(" | %10s %11s %10s", "dPSNR dB", "alpha x", "speed x");
  std::printf("\n%-21s", "");
  for (int half = 0; half < 2; ++half)
    if (o.halves[half]) std::printf(" | %10s %11s %10s", "vs cluster", "vs cluster", "vs stb-hq");
  std::printf("\n");
  for (int fi = 0; fi < kFormats; ++fi) {
    for (const char* name : kOwnEncoders) {
      const Encoder* e = find(encoders, name);
      if (!e) continue;
      std::printf("%-5s %-15s", kFormatNames[fi], name);
      for (int half = 0; half < 2; ++half) {
        if (!o.halves[half]) continue;
        char dpsnr[32] = "-", alpha[32] = "-", speed[32] = "-";
        if (quality_ref) {
          const QualitySum &q = e->quality[d][half][fi], &r = quality_ref->quality[d][half][fi];
          std::snprintf(dpsnr, sizeof dpsnr, "%+.3f", q.psnr() - r.psnr());
          if (fi && r.alpha() > 0) std::snprintf(alpha, sizeof alpha, "%.3f", q.alpha() / r.alpha());
        }
        if (speed_ref)
          std::snprintf(speed, sizeof speed, "%.2f", e->speed[half][fi].mpix() / speed_ref->speed[half][fi].mpix());
        std::printf(" | %10s %11s %10s", dpsnr, alpha, speed);
      }
      std::printf("\n");
    }
  }
}

void print_csv(const std::vector<Encoder>& encoders, const Options& o) {
  std::printf("decoder,half,format,encoder,mean_rgb_psnr_db,mean_alpha_rmse,mpix_s,"
              "psnr_delta_vs_squish_cluster_db,alpha_rmse_ratio_vs_squish_cluster,speed_ratio_vs_stb_hq\n");
  const Encoder* quality_ref = find(encoders, kQualityReference);
  const Encoder* speed_ref = find(encoders, kSpeedReference);
  for (int d = 0; d < kDecoderCount; ++d) {
    if (!o.decoders[d]) continue;
    for (int half = 0; half < 2; ++half) {
      if (!o.halves[half]) continue;
      for (int fi = 0; fi < kFormats; ++fi) {
        for (const Encoder& e : encoders) {
          if (!e.selected) continue;
          const QualitySum& q = e.quality[d][half][fi];
          std::printf("%s,%s,%s,%s,%.4f,%.4f,%.3f,", kDecoders[d].option, kHalfNames[half], kFormatNames[fi],
                      e.name.c_str(), q.psnr(), fi ? q.alpha() : 0.0, e.speed[half][fi].mpix());
          if (quality_ref) {
            const QualitySum& r = quality_ref->quality[d][half][fi];
            std::printf("%.4f,%.4f,", q.psnr() - r.psnr(), fi && r.alpha() > 0 ? q.alpha() / r.alpha() : 1.0);
          } else {
            std::printf(",,");
          }
          if (speed_ref) std::printf("%.4f", e.speed[half][fi].mpix() / speed_ref->speed[half][fi].mpix());
          std::printf("\n");
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: %s [--csv] [--decoder=own|squish|both] [--half=tuning|check|both] [--only=ENCODER,...] "
                 "[--runs=N] [--per-image] FILE_OR_DIR...\n",
                 argv[0]);
    return 2;
  }

  std::vector<Encoder> encoders;
  encoders.emplace_back("qelt", encode_qelt);
  encoders.emplace_back("qelt-portable", encode_qelt_portable);
  encoders.emplace_back("stb", stb_encoder(STB_DXT_NORMAL));
  encoders.emplace_back("stb-hq", stb_encoder(STB_DXT_HIGHQUAL));
  encoders.emplace_back("squish-range", squish_encoder(squish::kColourRangeFit));
  encoders.emplace_back("squish-cluster", squish_encoder(squish::kColourClusterFit));
  if (!o.only.empty()) {
    for (Encoder& e : encoders) e.selected = std::find(o.only.begin(), o.only.end(), e.name) != o.only.end();
    for (const std::string& name : o.only) {
      if (!find(encoders, name)) {
        std::fprintf(stderr, "unknown encoder %s\n", name.c_str());
        return 2;
      }
    }
  }

  std::vector<Image> images;
  for (const auto& path : o.files) {
    if (!o.halves[half_of(path)]) continue;
    Image img;
    if (load(path, img)) images.push_back(std::move(img));
    else std::fprintf(stderr, "skipped %s\n", path.c_str());
  }
  if (images.empty()) return 1;

  std::vector<unsigned char> out;
  if (o.per_image && o.csv) std::printf("image,half,format,encoder,decoder,psnr,alpha_rmse,mpix_s\n");
  for (const Image& img : images) {
    for (int fi = 0; fi < kFormats; ++fi) {
      const Format f = kFormatList[fi];
      out.assign(static_cast<size_t>(img.w / 4) * (img.h / 4) * bytes_per_block(f), 0);
      for (Encoder& e : encoders) {
        if (!e.selected) continue;
        const double s = best_time(e.encode, f, img, out.data(), o.runs);
        e.speed[img.half][fi].seconds += s;
        e.speed[img.half][fi].pixels += img.pixels();
        for (int d = 0; d < kDecoderCount; ++d) {
          if (!o.decoders[d]) continue;
          const Quality q = measure(f, img, out.data(), kDecoders[d].decode);
          QualitySum& sum = e.quality[d][img.half][fi];
          sum.psnr_sum += q.psnr;
          ++sum.images;
          if (f != Format::kDxt1 && img.has_alpha) {
            sum.alpha_sum += q.alpha_rmse;
            ++sum.alpha_images;
          }
          if (o.per_image) {
            std::printf(o.csv ? "%s,%s,%s,%s,%s,%.4f,%.4f,%.2f\n" : "%-60s %-6s %-5s %-15s %-6s %8.3f dB %7.3f %8.2f Mpix/s\n",
                        img.name.c_str(), kHalfNames[img.half], kFormatNames[fi], e.name.c_str(), kDecoders[d].option,
                        q.psnr, q.alpha_rmse, img.pixels() / s / 1e6);
          }
        }
      }
    }
  }

  if (o.csv) {
    print_csv(encoders, o);
  } else {
    print_corpus(images, o);
    for (int d = 0; d < kDecoderCount; ++d)
      if (o.decoders[d]) print_table(encoders, d, o);
  }
  return 0;
}
