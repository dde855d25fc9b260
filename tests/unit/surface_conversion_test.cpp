// The surface conversion service: whole images through memory surfaces into S3TC blocks, the
// calls it makes on the surfaces, and what it refuses.
#include "surface_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace qelt {
namespace {

using Bytes = std::vector<unsigned char>;

int expand(int value, int bits) {
  return bits == 5 ? (value << 3) | (value >> 2) : (value << 2) | (value >> 4);
}

// Decodes one colour block into 16 B,G,R,A pixels; DXT1 blocks may use the three-colour mode.
void decode_colour(const unsigned char* block, bool dxt1, unsigned char out[16][4]) {
  const int c0 = block[0] | block[1] << 8;
  const int c1 = block[2] | block[3] << 8;
  int palette[4][4];
  for (int e = 0; e < 2; ++e) {
    const int c = e == 0 ? c0 : c1;
    palette[e][0] = expand(c & 31, 5);
    palette[e][1] = expand(c >> 5 & 63, 6);
    palette[e][2] = expand(c >> 11 & 31, 5);
    palette[e][3] = 255;
  }
  const bool four = !dxt1 || c0 > c1;
  for (int ch = 0; ch < 3; ++ch) {
    palette[2][ch] =
        four ? (2 * palette[0][ch] + palette[1][ch]) / 3 : (palette[0][ch] + palette[1][ch]) / 2;
    palette[3][ch] = four ? (palette[0][ch] + 2 * palette[1][ch]) / 3 : 0;
  }
  palette[2][3] = 255;
  palette[3][3] = four ? 255 : 0;
  for (int i = 0; i < 16; ++i) {
    const int index = block[4 + i / 4] >> 2 * (i % 4) & 3;
    for (int ch = 0; ch < 4; ++ch) out[i][ch] = static_cast<unsigned char>(palette[index][ch]);
  }
}

void decode_alpha(const unsigned char* block, bool explicit_alpha, unsigned char out[16][4]) {
  if (explicit_alpha) {
    for (int i = 0; i < 16; ++i) out[i][3] = (block[i / 2] >> 4 * (i % 2) & 15) * 17;
    return;
  }
  const int a0 = block[0];
  const int a1 = block[1];
  int values[8] = {a0, a1};
  for (int j = 1; j < 7; ++j) values[j + 1] = ((7 - j) * a0 + j * a1) / 7;
  if (a0 <= a1) {
    for (int j = 1; j < 5; ++j) values[j + 1] = ((5 - j) * a0 + j * a1) / 5;
    values[6] = 0;
    values[7] = 255;
  }
  std::uint64_t bits = 0;
  for (int k = 0; k < 6; ++k) bits |= static_cast<std::uint64_t>(block[2 + k]) << 8 * k;
  for (int i = 0; i < 16; ++i) out[i][3] = static_cast<unsigned char>(values[bits >> 3 * i & 7]);
}

// The whole stored image, every 4x4 block, as B,G,R,A rows of `columns` pixels.
struct Decoded {
  int columns = 0;
  Bytes pixels;
  const unsigned char* at(int x, int y) const { return &pixels[(y * columns + x) * 4]; }
};

Decoded decode(D3DFORMAT format, const unsigned char* blocks, int pitch, int width, int height) {
  const int across = (width + 3) / 4;
  const int down = (height + 3) / 4;
  Decoded image;
  image.columns = across * 4;
  image.pixels.resize(static_cast<std::size_t>(across) * 4 * down * 4 * 4);
  const int block_bytes = format == D3DFMT_DXT1 ? 8 : 16;
  for (int by = 0; by < down; ++by) {
    for (int bx = 0; bx < across; ++bx) {
      const unsigned char* block = blocks + by * pitch + bx * block_bytes;
      unsigned char texels[16][4];
      decode_colour(block + block_bytes - 8, format == D3DFMT_DXT1, texels);
      if (format != D3DFMT_DXT1) decode_alpha(block, format == D3DFMT_DXT3, texels);
      for (int i = 0; i < 16; ++i) {
        std::memcpy(&image.pixels[((by * 4 + i / 4) * image.columns + bx * 4 + i % 4) * 4],
                    texels[i], 4);
      }
    }
  }
  return image;
}

// A smooth picture with some detail: what textures mostly are.
Bytes picture_bgra(int width, int height) {
  Bytes pixels(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &pixels[(y * width + x) * 4];
      p[0] = static_cast<unsigned char>(40 + 3 * x + (x * y) % 7);
      p[1] = static_cast<unsigned char>(200 - 2 * y);
      p[2] = static_cast<unsigned char>(60 + x + y);
      p[3] = static_cast<unsigned char>(255 - 3 * (x + y));
    }
  }
  return pixels;
}

double psnr(double squared_error, int samples) {
  return squared_error == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * samples / squared_error);
}

IDirect3DSurface8* com(MemorySurface* surface) { return &surface->com; }

HRESULT convert(MemorySurface* destination, MemorySurface* source) {
  return LoadSurfaceFromSurface(com(destination), nullptr, nullptr, com(source), nullptr, nullptr,
                                D3DX_DEFAULT, 0);
}

class ConversionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (MemorySurface* surface : surfaces_) {
      EXPECT_EQ(surface->locks, 0u) << "unbalanced lock";
      surface->com.table->Release(com(surface));
    }
  }
  MemorySurface* make(D3DFORMAT format, INT width, INT height, void* memory = nullptr) {
    MemorySurface* surface = create_memory_surface(format, width, height, memory);
    EXPECT_NE(surface, nullptr);
    surfaces_.push_back(surface);
    return surface;
  }

 private:
  std::vector<MemorySurface*> surfaces_;
};

// ---------------------------------------------------------------------------------------------
// Whole images

TEST_F(ConversionTest, DecodedBlocksMatchTheSourceImageAndPadWithItsEdges) {
  const struct {
    D3DFORMAT format;
    GLenum gl_format;  // how the source is filled; BGRA is borrowed in place
    int width, height;
  } cases[] = {
      {D3DFMT_DXT1, kGlRgb, 32, 32},   {D3DFMT_DXT3, kGlRgba, 32, 32},
      {D3DFMT_DXT5, kGlRgba, 32, 32},  {D3DFMT_DXT5, kGlBgraExt, 64, 16},
      {D3DFMT_DXT5, kGlRgb, 16, 16},   {D3DFMT_DXT3, kGlRgb, 8, 8},
      {D3DFMT_DXT1, kGlRgb, 6, 10},    {D3DFMT_DXT5, kGlRgba, 7, 5},
      {D3DFMT_DXT1, kGlBgraExt, 1, 1}, {D3DFMT_DXT3, kGlRgba, 2, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.format << " from " << c.gl_format << " " << c.width << "x" << c.height);
    Bytes bgra = picture_bgra(c.width, c.height);
    Bytes gl_pixels;
    for (std::size_t i = 0; i < bgra.size(); i += 4) {
      const unsigned char* p = &bgra[i];
      if (c.gl_format == kGlRgba) gl_pixels.insert(gl_pixels.end(), {p[2], p[1], p[0], p[3]});
      if (c.gl_format == kGlRgb) gl_pixels.insert(gl_pixels.end(), {p[2], p[1], p[0]});
    }
    const bool has_alpha = c.gl_format != kGlRgb;
    const D3DFORMAT source_format = has_alpha ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8;
    MemorySurface* blocks = make(c.format, c.width, c.height);
    MemorySurface* source = c.gl_format == kGlBgraExt
                                ? make(source_format, c.width, c.height, bgra.data())
                                : make(source_format, c.width, c.height);
    if (c.gl_format != kGlBgraExt) {
      ASSERT_EQ(source->methods().LoadGLPixels(source, c.gl_format, gl_pixels.data()), S_OK);
    }
    std::memset(blocks->bits, 0xCD, blocks->own_capacity);
    ASSERT_EQ(convert(blocks, source), S_OK);

    D3DLOCKED_RECT locked{};
    ASSERT_EQ(blocks->com.table->LockRect(com(blocks), &locked, nullptr, 0), S_OK);
    const Decoded image = decode(c.format, static_cast<unsigned char*>(locked.pBits), locked.Pitch,
                                 c.width, c.height);
    ASSERT_EQ(blocks->com.table->UnlockRect(com(blocks)), S_OK);

    double squared = 0;
    int worst_alpha = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const unsigned char* want = &bgra[(y * c.width + x) * 4];
        const unsigned char* got = image.at(x, y);
        for (int ch = 0; ch < 3; ++ch) squared += (want[ch] - got[ch]) * (want[ch] - got[ch]);
        const int alpha = has_alpha && c.format != D3DFMT_DXT1 ? want[3] : 255;
        worst_alpha = std::max(worst_alpha, std::abs(alpha - got[3]));
      }
    }
    EXPECT_GE(psnr(squared, c.width * c.height * 3), 32.0);
    EXPECT_LE(worst_alpha, c.format == D3DFMT_DXT3 ? 8 : c.format == D3DFMT_DXT5 ? 4 : 0);

    // Outside the image, whole blocks repeat the last column and row.
    for (int y = 0; y < (c.height + 3) / 4 * 4; ++y) {
      for (int x = y < c.height ? c.width : 0; x < image.columns; ++x) {
        const unsigned char* edge = image.at(std::min(x, c.width - 1), std::min(y, c.height - 1));
        for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(image.at(x, y)[ch], edge[ch], 24);
      }
    }
  }
}

// Alpha in the source decides DXT1 transparency; a source without alpha never turns transparent.
TEST_F(ConversionTest, Dxt1TransparencyFollowsSourceAlpha) {
  Bytes bgra(4 * 4 * 4);
  for (int i = 0; i < 16; ++i) {
    bgra[i * 4 + 0] = 30;
    bgra[i * 4 + 1] = 140;
    bgra[i * 4 + 2] = 220;
    bgra[i * 4 + 3] = i % 2 ? 0 : 255;
  }
  MemorySurface* with_alpha = make(D3DFMT_A8R8G8B8, 4, 4, bgra.data());
  MemorySurface* without_alpha = make(D3DFMT_R8G8B8, 4, 4);
  ASSERT_EQ(without_alpha->methods().LoadGLPixels(without_alpha, kGlBgraExt, bgra.data()), S_OK);
  MemorySurface* cutout = make(D3DFMT_DXT1, 4, 4);
  MemorySurface* opaque = make(D3DFMT_DXT1, 4, 4);

  ASSERT_EQ(convert(cutout, with_alpha), S_OK);
  ASSERT_EQ(convert(opaque, without_alpha), S_OK);

  const Decoded holes = decode(D3DFMT_DXT1, cutout->bits, 8, 4, 4);
  const Decoded solid = decode(D3DFMT_DXT1, opaque->bits, 8, 4, 4);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(holes.at(i % 4, i / 4)[3], i % 2 ? 0 : 255) << i;
    EXPECT_EQ(solid.at(i % 4, i / 4)[3], 255) << i;
    EXPECT_NEAR(solid.at(i % 4, i / 4)[2], 220, 8) << i;
  }
}

// ---------------------------------------------------------------------------------------------
// Calls made on the surfaces

// Forwards every call to a memory surface and writes it to a shared log.
struct RecordingSurface {
  IDirect3DSurface8 com;
  MemorySurface* inner;
  const char* name;
  std::vector<std::string>* log;
  HRESULT lock_answer;
};

RecordingSurface* recorder(IDirect3DSurface8* self) {
  return reinterpret_cast<RecordingSurface*>(self);
}

void note(IDirect3DSurface8* self, const std::string& call) {
  recorder(self)->log->push_back(std::string(recorder(self)->name) + "." + call);
}

IDirect3DSurface8* inner(IDirect3DSurface8* self) { return &recorder(self)->inner->com; }

HRESULT QELT_STDCALL get_desc(IDirect3DSurface8* self, D3DSURFACE_DESC* desc) {
  note(self, "GetDesc");
  return inner(self)->table->GetDesc(inner(self), desc);
}

HRESULT QELT_STDCALL lock_rect(IDirect3DSurface8* self, D3DLOCKED_RECT* locked, const RECT* rect,
                               DWORD flags) {
  note(self, "LockRect " + std::to_string(flags));
  if (recorder(self)->lock_answer != S_OK) return recorder(self)->lock_answer;
  return inner(self)->table->LockRect(inner(self), locked, rect, flags);
}

HRESULT QELT_STDCALL unlock_rect(IDirect3DSurface8* self) {
  note(self, "UnlockRect");
  return inner(self)->table->UnlockRect(inner(self));
}

// The service needs no other method; a call through a null slot would crash the test.
const IDirect3DSurface8Table kRecordingTable = {nullptr,   nullptr,    nullptr,     nullptr,
                                                nullptr,   nullptr,    nullptr,     nullptr,
                                                &get_desc, &lock_rect, &unlock_rect};

class RecordedConversion : public ConversionTest {
 protected:
  void SetUp() override {
    destination = {{&kRecordingTable}, make(D3DFMT_DXT5, 8, 8), "destination", &log, S_OK};
    source = {{&kRecordingTable}, make(D3DFMT_A8R8G8B8, 8, 8), "source", &log, S_OK};
  }
  HRESULT convert_recorded() {
    return LoadSurfaceFromSurface(&destination.com, nullptr, nullptr, &source.com, nullptr, nullptr,
                                  D3DX_DEFAULT, 0);
  }

  std::vector<std::string> log;
  RecordingSurface destination{};
  RecordingSurface source{};
};

TEST_F(RecordedConversion, DescribesLocksSourceThenDestinationAndUnlocksInReverse) {
  EXPECT_EQ(convert_recorded(), S_OK);
  EXPECT_EQ(log, (std::vector<std::string>{"destination.GetDesc", "source.GetDesc",
                                           "source.GetDesc", "source.LockRect 2064",
                                           "destination.GetDesc", "destination.LockRect 2048",
                                           "destination.UnlockRect", "source.UnlockRect"}));
}

TEST_F(RecordedConversion, RefusedLockIsReturnedWithEveryTakenLockGivenBack) {
  destination.lock_answer = D3DERR_INVALIDCALL;
  EXPECT_EQ(convert_recorded(), D3DERR_INVALIDCALL);
  EXPECT_EQ(log.back(), "source.UnlockRect");
  EXPECT_EQ(std::count(log.begin(), log.end(), "destination.UnlockRect"), 0);

  log.clear();
  destination.lock_answer = S_OK;
  source.lock_answer = static_cast<HRESULT>(0x88760868u);
  EXPECT_EQ(convert_recorded(), static_cast<HRESULT>(0x88760868u));
  EXPECT_EQ(log, (std::vector<std::string>{"destination.GetDesc", "source.GetDesc",
                                           "source.GetDesc", "source.LockRect 2064"}));
}

// ---------------------------------------------------------------------------------------------
// Refusals

TEST_F(ConversionTest, RefusesWhatItCannotConvertAndLeavesDestinationAlone) {
  MemorySurface* blocks = make(D3DFMT_DXT1, 8, 8);
  MemorySurface* pixels = make(D3DFMT_A8R8G8B8, 8, 8);
  MemorySurface* wrong_size = make(D3DFMT_A8R8G8B8, 8, 4);
  MemorySurface* premultiplied = make(D3DFMT_DXT2, 8, 8);
  MemorySurface* sixteen_bit = make(23 /* R5G6B5 */, 8, 8);
  std::memset(blocks->bits, 0xCD, 32);
  std::memset(premultiplied->bits, 0xCD, 64);
  const RECT rect = {0, 0, 4, 4};
  const PALETTEENTRY palette[1] = {};

  EXPECT_EQ(LoadSurfaceFromSurface(nullptr, nullptr, nullptr, com(pixels), nullptr, nullptr,
                                   D3DX_DEFAULT, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(LoadSurfaceFromSurface(com(blocks), nullptr, nullptr, nullptr, nullptr, nullptr,
                                   D3DX_DEFAULT, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(convert(blocks, wrong_size), D3DERR_INVALIDCALL);
  EXPECT_EQ(convert(premultiplied, pixels), D3DERR_INVALIDCALL);
  EXPECT_EQ(convert(blocks, sixteen_bit), D3DERR_INVALIDCALL);
  EXPECT_EQ(convert(pixels, blocks), D3DERR_INVALIDCALL);
  EXPECT_EQ(LoadSurfaceFromSurface(com(blocks), nullptr, &rect, com(pixels), nullptr, nullptr,
                                   D3DX_DEFAULT, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(LoadSurfaceFromSurface(com(blocks), nullptr, nullptr, com(pixels), nullptr, &rect,
                                   D3DX_DEFAULT, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(LoadSurfaceFromSurface(com(blocks), nullptr, nullptr, com(pixels), nullptr, nullptr,
                                   D3DX_DEFAULT, 0xFF000000),
            D3DERR_INVALIDCALL);

  EXPECT_EQ(Bytes(blocks->bits, blocks->bits + 32), Bytes(32, 0xCD));
  EXPECT_EQ(Bytes(premultiplied->bits, premultiplied->bits + 64), Bytes(64, 0xCD));

  // Palettes and the filter play no part for these formats.
  EXPECT_EQ(LoadSurfaceFromSurface(com(blocks), palette, nullptr, com(pixels), palette, nullptr,
                                   1 /* D3DX_FILTER_NONE */, 0),
            S_OK);
}

}  // namespace
}  // namespace qelt
