#include "dxt_files.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The exact-rounding decode that the encoder's error estimates model: endpoints widened by bit
// replication, in-between values rounded to the nearest.
void colour_of(unsigned packed, int rgb[3]) {
  const unsigned red = (packed >> 11) & 31, green = (packed >> 5) & 63, blue = packed & 31;
  rgb[0] = int(red << 3 | red >> 2);
  rgb[1] = int(green << 2 | green >> 4);
  rgb[2] = int(blue << 3 | blue >> 2);
}

// The value k/d of the way from e0 to e1, rounded.
int between(int e0, int e1, int k, int d) { return ((d - k) * e0 + k * e1 + d / 2) / d; }

// The 16 colours of one colour block; `four` forces the four-colour reading (DXT3/DXT5), and
// `opaque` keeps index 3 of a three-colour block black instead of transparent.
void decode_colours(const unsigned char* block, bool four, bool opaque, unsigned char out[16][4]) {
  unsigned c0 = block[0] | block[1] << 8, c1 = block[2] | block[3] << 8;
  int palette[4][4] = {};
  colour_of(c0, palette[0]);
  colour_of(c1, palette[1]);
  for (int i = 0; i < 4; ++i) palette[i][3] = 255;
  for (int c = 0; c < 3; ++c) {
    if (four || c0 > c1) {
      palette[2][c] = between(palette[0][c], palette[1][c], 1, 3);
      palette[3][c] = between(palette[0][c], palette[1][c], 2, 3);
    } else {
      palette[2][c] = between(palette[0][c], palette[1][c], 1, 2);
      palette[3][c] = 0;
    }
  }
  if (!four && !opaque && c0 <= c1) palette[3][3] = 0;  // transparent black
  std::uint32_t indices = block[4] | block[5] << 8 | block[6] << 16 | std::uint32_t(block[7]) << 24;
  for (int p = 0; p < 16; ++p)
    for (int c = 0; c < 4; ++c) out[p][c] = static_cast<unsigned char>(palette[(indices >> (2 * p)) & 3][c]);
}

void decode_dxt5_alpha(const unsigned char* block, unsigned char out[16][4]) {
  int a[8] = {block[0], block[1]};
  for (int i = 2; i < 8; ++i)
    a[i] = a[0] > a[1] ? between(a[0], a[1], i - 1, 7)
                       : i < 6 ? between(a[0], a[1], i - 1, 5) : (i == 6 ? 0 : 255);
  std::uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= std::uint64_t(block[2 + i]) << (8 * i);
  for (int p = 0; p < 16; ++p) out[p][3] = static_cast<unsigned char>(a[(bits >> (3 * p)) & 7]);
}

}  // namespace

std::vector<unsigned char> decode_dxt(DxtKind kind, const unsigned char* blocks, int width,
                                      int height, bool opaque_dxt1) {
  std::vector<unsigned char> pixels(std::size_t(width) * height * 4);
  const int block_bytes = kind == DxtKind::kDxt1 ? 8 : 16;
  const int across = (width + 3) / 4;
  for (int by = 0; by < (height + 3) / 4; ++by) {
    for (int bx = 0; bx < across; ++bx) {
      const unsigned char* block = blocks + (std::size_t(by) * across + bx) * block_bytes;
      unsigned char texels[16][4];
      if (kind == DxtKind::kDxt1) {
        decode_colours(block, false, opaque_dxt1, texels);
      } else {
        decode_colours(block + 8, true, false, texels);
        if (kind == DxtKind::kDxt3) {
          for (int p = 0; p < 16; ++p) texels[p][3] = ((block[p / 2] >> (4 * (p % 2))) & 15) * 17;
        } else {
          decode_dxt5_alpha(block, texels);
        }
      }
      for (int p = 0; p < 16; ++p) {
        int x = bx * 4 + p % 4, y = by * 4 + p / 4;
        if (x < width && y < height) std::memcpy(&pixels[(std::size_t(y) * width + x) * 4], texels[p], 4);
      }
    }
  }
  return pixels;
}

bool write_dds(const std::string& path, DxtKind kind, const unsigned char* blocks, unsigned size,
               int width, int height) {
  std::uint32_t header[32] = {};
  std::memcpy(&header[0], "DDS ", 4);
  header[1] = 124;                                   // header size
  header[2] = 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000;    // caps, height, width, pixel format, linear size
  header[3] = static_cast<std::uint32_t>(height);
  header[4] = static_cast<std::uint32_t>(width);
  header[5] = size;                                  // bytes of the top level
  header[19] = 32;                                   // pixel format size
  header[20] = 0x4;                                  // described by a four-character code
  std::memcpy(&header[21], kind == DxtKind::kDxt1 ? "DXT1" : kind == DxtKind::kDxt3 ? "DXT3" : "DXT5", 4);
  header[27] = 0x1000;                               // a texture
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(header, sizeof header, 1, file) == 1 &&
                 std::fwrite(blocks, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

void compare_to_source(const unsigned char* source, const unsigned char* decoded, std::size_t pixels,
                       double& psnr, double& alpha_rmse) {
  double colour_error = 0, alpha_error = 0;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < pixels; ++i) {
    const unsigned char* s = source + 4 * i;
    const unsigned char* d = decoded + 4 * i;
    alpha_error += double(s[3] - d[3]) * (s[3] - d[3]);
    if (s[3] < 128) continue;
    ++shown;
    for (int c = 0; c < 3; ++c) colour_error += double(s[c] - d[c]) * (s[c] - d[c]);
  }
  double mse = shown ? colour_error / (3.0 * shown) : 0;
  psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
  alpha_rmse = std::sqrt(alpha_error / double(pixels));
}
