// Quality and speed of the block encoder against stb_dxt and libsquish on real images.
//
// Usage: dxtbench [--csv] [--decoder=own|squish] [--per-image] FILE_OR_DIR...
// Every result is decoded by one decoder (by default the exact-rounding one below), so the
// encoders are compared on equal terms. Timing is single threaded, best of several runs.
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
#include <string>
#include <vector>

#include "dxt_encoder.h"

namespace {

using qelt::dxt::Format;

struct Image {
  std::string name;
  int w = 0, h = 0;
  std::vector<unsigned char> rgba;  // as loaded
  std::vector<unsigned char> bgra;  // same pixels in the encoder's order
  bool has_alpha = false;
};

bool load(const std::string& path, Image& img) {
  int w, h, n;
  unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!data) return false;
  img.name = path;
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

using Encoder = std::function<void(Format, const Image&, unsigned char*)>;

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

Encoder stb_encoder(int mode) {
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

Encoder squish_encoder(int fit) {
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

struct Quality {
  double psnr;
  double alpha_rmse;
};

Quality measure(Format f, const Image& img, const unsigned char* blocks, bool squish_decoder) {
  double se = 0, ae = 0;
  unsigned char dec[64];
  const unsigned char* blk = blocks;
  for (int by = 0; by < img.h / 4; ++by) {
    for (int bx = 0; bx < img.w / 4; ++bx) {
      (squish_decoder ? decode_squish : decode_own)(f, blk, dec);
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
  const double n = double(img.w) * img.h;
  const double mse = se / (3 * n);
  return {mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 100.0, std::sqrt(ae / n)};
}

struct Result {
  double psnr_sum = 0, alpha_sum = 0, seconds = 0, pixels = 0;
  int images = 0, alpha_images = 0;
  double psnr() const { return psnr_sum / images; }
  double alpha() const { return alpha_images ? alpha_sum / alpha_images : 0; }
  double mpix() const { return pixels / seconds / 1e6; }
};

double best_time(const Encoder& enc, Format f, const Image& img, unsigned char* out, int max_runs) {
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

}  // namespace

int main(int argc, char** argv) {
  bool csv = false, squish_decoder = false, per_image = false;
  int runs = 5;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--csv") csv = true;
    else if (a == "--decoder=squish") squish_decoder = true;
    else if (a == "--decoder=own") squish_decoder = false;
    else if (a == "--per-image") per_image = true;
    else if (a.rfind("--runs=", 0) == 0) runs = std::max(1, std::atoi(a.c_str() + 7));
    else collect(a, files);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s [--csv] [--decoder=own|squish] [--per-image] [--runs=N] FILE_OR_DIR...\n", argv[0]);
    return 2;
  }
  std::vector<Image> images;
  for (const auto& path : files) {
    Image img;
    if (load(path, img)) images.push_back(std::move(img));
    else std::fprintf(stderr, "skipped %s\n", path.c_str());
  }
  if (images.empty()) return 1;

  const std::vector<std::pair<std::string, Encoder>> encoders = {
      {"qelt", encode_qelt},
      {"qelt-portable", encode_qelt_portable},
      {"stb", stb_encoder(STB_DXT_NORMAL)},
      {"stb-hq", stb_encoder(STB_DXT_HIGHQUAL)},
      {"squish-range", squish_encoder(squish::kColourRangeFit)},
      {"squish-cluster", squish_encoder(squish::kColourClusterFit)},
  };
  const Format formats[] = {Format::kDxt1, Format::kDxt3, Format::kDxt5};
  const char* format_names[] = {"DXT1", "DXT3", "DXT5"};
  Result results[3][6];
  std::vector<unsigned char> out;
  if (per_image && csv) std::printf("image,format,encoder,psnr,alpha_rmse,mpix_s\n");
  for (const Image& img : images) {
    for (int fi = 0; fi < 3; ++fi) {
      const Format f = formats[fi];
      out.assign(static_cast<size_t>(img.w / 4) * (img.h / 4) * bytes_per_block(f), 0);
      for (size_t ei = 0; ei < encoders.size(); ++ei) {
        const double s = best_time(encoders[ei].second, f, img, out.data(), runs);
        const Quality q = measure(f, img, out.data(), squish_decoder);
        Result& r = results[fi][ei];
        r.psnr_sum += q.psnr;
        ++r.images;
        if (f != Format::kDxt1 && img.has_alpha) {
          r.alpha_sum += q.alpha_rmse;
          ++r.alpha_images;
        }
        r.seconds += s;
        r.pixels += double(img.w) * img.h;
        if (per_image) {
          std::printf(csv ? "%s,%s,%s,%.4f,%.4f,%.2f\n" : "%-60s %-5s %-15s %8.3f dB %7.3f %8.2f Mpix/s\n",
                      img.name.c_str(), format_names[fi], encoders[ei].first.c_str(), q.psnr, q.alpha_rmse,
                      double(img.w) * img.h / s / 1e6);
        }
      }
    }
  }

  int alpha_images = 0;
  double pixels = 0;
  for (const Image& img : images) {
    alpha_images += img.has_alpha;
    pixels += double(img.w) * img.h;
  }
  if (csv) {
    std::printf("format,encoder,mean_rgb_psnr_db,mean_alpha_rmse,mpix_s,qelt_psnr_delta_db,qelt_alpha_rmse_ratio,qelt_speed_ratio\n");
  } else {
    std::printf("%zu images, %.2f Mpix, %d with alpha; decoder: %s\n", images.size(), pixels / 1e6, alpha_images,
                squish_decoder ? "libsquish" : "exact rounding");
    std::printf("%-5s %-15s %10s %11s %9s | %11s %11s %11s\n", "fmt", "encoder", "PSNR dB", "alpha RMSE", "Mpix/s",
                "qelt dPSNR", "qelt alpha", "qelt speed");
  }
  for (int fi = 0; fi < 3; ++fi) {
    const Result& q = results[fi][0];
    for (size_t ei = 0; ei < encoders.size(); ++ei) {
      const Result& r = results[fi][ei];
      const double dpsnr = q.psnr() - r.psnr();
      const double aratio = r.alpha() > 0 ? q.alpha() / r.alpha() : 1.0;
      const double sratio = q.mpix() / r.mpix();
      if (csv) {
        std::printf("%s,%s,%.4f,%.4f,%.3f,%.4f,%.4f,%.4f\n", format_names[fi], encoders[ei].first.c_str(), r.psnr(),
                    fi ? r.alpha() : 0.0, r.mpix(), dpsnr, fi ? aratio : 1.0, sratio);
      } else {
        char alpha[32] = "-", ar[32] = "-";
        if (fi) {
          std::snprintf(alpha, sizeof alpha, "%.4f", r.alpha());
          std::snprintf(ar, sizeof ar, "x%.3f", aratio);
        }
        std::printf("%-5s %-15s %10.3f %11s %9.2f | %+10.3f %11s %10.2fx\n", format_names[fi],
                    encoders[ei].first.c_str(), r.psnr(), alpha, r.mpix(), dpsnr, ar, sratio);
      }
    }
  }
  return 0;
}
