// The upload body: which calls are compressed and how, which go on to the driver's glTexImage2D,
// what reaches glCompressedTexImage2DARB, and that concurrent uploads each get their own blocks.
#include "texture_upload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "counting_allocator.h"
#include "dispatch_hooks.h"
#include "dispatch_tables.h"
#include "dxt_encoder.h"
#include "entry_table.h"

namespace qelt {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr GLenum kTexture2D = 0x0DE1;
constexpr GLenum kLuminance = 0x1909;
constexpr GLenum kFloat = 0x1406;
constexpr GLint kRgba8 = 0x8058;

struct Upload {  // what glCompressedTexImage2DARB received
  GLenum target, internal_format;
  GLint level, border;
  GLsizei width, height, size;
  Bytes blocks;
};
struct Passed {  // what the driver's glTexImage2D received
  unsigned table;
  GLenum target, format, type;
  GLint level, internal_format, border;
  GLsizei width, height;
  const GLvoid* pixels;
};

// One record per thread: the main thread uses slot 0, the stress test's threads the others. Only a
// plain index is thread-local (objects with destructors there are fragile under 32-bit Wine).
constexpr int kSlots = 5;
std::vector<Upload> g_uploads[kSlots];
std::vector<Passed> g_passed[kSlots];
thread_local int t_slot = 0;
std::vector<Upload>& uploads() { return g_uploads[t_slot]; }
std::vector<Passed>& passed() { return g_passed[t_slot]; }
int g_lookups = 0;
bool g_answer_null = false;
// Set for a driver whose upload entry comes back into glTexImage2D once.
TextureUploader* g_reentered = nullptr;

template <unsigned Table>
void QELT_GLAPI driver_tex_image(GLenum target, GLint level, GLint internal_format, GLsizei width,
                                 GLsizei height, GLint border, GLenum format, GLenum type,
                                 const GLvoid* pixels);

void QELT_GLAPI compressed_entry(GLenum target, GLint level, GLenum internal_format, GLsizei width,
                                 GLsizei height, GLint border, GLsizei size, const GLvoid* data) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  uploads().push_back(
      {target, internal_format, level, border, width, height, size, Bytes(bytes, bytes + size)});
  if (TextureUploader* uploader = g_reentered) {
    g_reentered = nullptr;
    static const unsigned char pixels[4 * 4 * 4] = {};
    uploader->upload(&driver_tex_image<1>, target, level, kGlCompressedRgbaDxt5, 4, 4, 0, kGlRgba,
                     kGlUnsignedByte, pixels);
  }
}

void* QELT_GLAPI lookup(const char* name) {
  ++g_lookups;
  EXPECT_STREQ(name, "glCompressedTexImage2DARB");
  return g_answer_null ? nullptr : reinterpret_cast<void*>(&compressed_entry);
}

// The driver's pixel unpacking state, as its glGetIntegerv answers.
struct Unpack {
  GLint row_length = 0, skip_rows = 0, skip_pixels = 0, alignment = 4;
};
Unpack g_unpack;

void QELT_GLAPI get_integer(GLenum name, GLint* value) {
  switch (name) {
    case 0x0CF2:
      *value = g_unpack.row_length;
      break;
    case 0x0CF3:
      *value = g_unpack.skip_rows;
      break;
    case 0x0CF4:
      *value = g_unpack.skip_pixels;
      break;
    case 0x0CF5:
      *value = g_unpack.alignment;
      break;
    default:
      ADD_FAILURE() << "asked for " << name;
  }
}

template <unsigned Table>
void QELT_GLAPI driver_tex_image(GLenum target, GLint level, GLint internal_format, GLsizei width,
                                 GLsizei height, GLint border, GLenum format, GLenum type,
                                 const GLvoid* pixels) {
  passed().push_back(
      {Table, target, format, type, level, internal_format, border, width, height, pixels});
}

class TextureUpload : public ::testing::Test {
 protected:
  void SetUp() override {
    uploads().clear();
    passed().clear();
    g_lookups = 0;
    g_answer_null = false;
    g_reentered = nullptr;
    g_unpack = Unpack{};
  }
  void upload(GLint internal_format, GLenum format, GLsizei width, GLsizei height,
              const void* pixels, GLenum type = kGlUnsignedByte) {
    uploader_.upload(&driver_tex_image<0>, kTexture2D, 2, internal_format, width, height, 0, format,
                     type, pixels);
  }
  TextureUploader uploader_{&lookup, &get_integer};
};

// A test image: `channels` bytes per pixel, varied enough to give every block several colours.
Bytes image(int width, int height, int channels, unsigned seed) {
  Bytes pixels(std::size_t(width) * height * channels);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<unsigned char>((i * 37 + seed * 101 + (i / channels) * 13) & 0xFF);
  return pixels;
}

TEST_F(TextureUpload, RoutesEachCallByItsFormats) {
  struct Case {
    GLint internal_format;
    GLenum format, type;
    GLsizei width, height;
    bool compressed;
    GLint sent_format;  // internal format the driver receives
    GLsizei size;       // compressed image size
  } const cases[] = {
      {kGlRgbS3tc, kGlRgba, kGlUnsignedByte, 4, 4, true, kGlCompressedRgbDxt1, 8},
      {kGlRgb4S3tc, kGlRgb, kGlUnsignedByte, 8, 4, true, kGlCompressedRgbDxt1, 16},
      {kGlRgbaS3tc, kGlBgraExt, kGlUnsignedByte, 4, 4, true, kGlCompressedRgbaDxt3, 16},
      {kGlRgba4S3tc, kGlRgba, kFloat, 4, 4, false, kGlCompressedRgbaDxt3, 0},
      {kGlCompressedRgbaDxt1, kGlRgba, kGlUnsignedByte, 4, 4, true, kGlCompressedRgbaDxt1, 8},
      {kGlCompressedRgbaDxt3, kGlBgrExt, kGlUnsignedByte, 4, 8, true, kGlCompressedRgbaDxt3, 32},
      {kGlCompressedRgbaDxt5, kGlRgba, kGlUnsignedByte, 256, 256, true, kGlCompressedRgbaDxt5,
       65536},
      {kGlCompressedRgbDxt1, kGlRgba, kGlUnsignedByte, 1, 1, true, kGlCompressedRgbDxt1, 8},
      {kGlCompressedRgbaDxt5, kGlRgba, kGlUnsignedByte, 2, 2, true, kGlCompressedRgbaDxt5, 16},
      {kGlCompressedRgbaDxt5, kGlRgba, kGlUnsignedByte, 6, 5, true, kGlCompressedRgbaDxt5, 64},
      {kRgba8, kGlRgba, kGlUnsignedByte, 4, 4, false, kRgba8, 0},
      {kGlCompressedRgbDxt1, kLuminance, kGlUnsignedByte, 4, 4, false, kGlCompressedRgbDxt1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.internal_format << " " << c.format);
    SetUp();
    Bytes pixels = image(c.width, c.height, 4, 1);
    upload(c.internal_format, c.format, c.width, c.height, pixels.data(), c.type);
    if (c.compressed) {
      ASSERT_EQ(uploads().size(), 1u);
      EXPECT_TRUE(passed().empty());
      const Upload& sent = uploads()[0];
      EXPECT_EQ(sent.target, kTexture2D);
      EXPECT_EQ(sent.level, 2);
      EXPECT_EQ(sent.internal_format, GLenum(c.sent_format));
      EXPECT_EQ(sent.width, c.width);
      EXPECT_EQ(sent.height, c.height);
      EXPECT_EQ(sent.size, c.size);
    } else {
      EXPECT_TRUE(uploads().empty());
      ASSERT_EQ(passed().size(), 1u);
      const Passed& sent = passed()[0];
      EXPECT_EQ(sent.internal_format, c.sent_format);
      EXPECT_EQ(sent.format, c.format);
      EXPECT_EQ(sent.type, c.type);
      EXPECT_EQ(sent.width, c.width);
      EXPECT_EQ(sent.pixels, pixels.data());
    }
  }
}

TEST_F(TextureUpload, UnsafeCallsGoToTheDriverUnchanged) {
  Bytes pixels = image(4, 4, 4, 2);
  struct Case {
    const char* what;
    GLsizei width, height;
    const void* pixels;
  } const cases[] = {
      {"no pixels", 4, 4, nullptr},
      {"no width", 0, 4, pixels.data()},
      {"negative height", 4, -1, pixels.data()},
      {"byte count beyond 32 bits", 65536, 65536, pixels.data()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    upload(kGlRgbaS3tc, kGlRgba, c.width, c.height, c.pixels);
    EXPECT_TRUE(uploads().empty());
    ASSERT_EQ(passed().size(), 1u);
    EXPECT_EQ(passed()[0].internal_format, kGlCompressedRgbaDxt3);
    EXPECT_EQ(passed()[0].height, c.height);
  }

  SetUp();
  {
    CountingAllocator refusing;
    refusing.refuse_from = 1;
    TextureUploader starved(&lookup, &get_integer);
    starved.upload(&driver_tex_image<0>, kTexture2D, 0, kGlCompressedRgbaDxt5, 64, 64, 0, kGlRgba,
                   kGlUnsignedByte, image(64, 64, 4, 3).data());
  }
  EXPECT_TRUE(uploads().empty());
  EXPECT_EQ(passed().size(), 1u) << "a failed allocation";
}

// The surfaces read rows one after another; any other layout only the driver can read.
TEST_F(TextureUpload, RowsNotTightlyPackedGoToTheDriver) {
  struct Case {
    const char* what;
    Unpack unpack;
    GLenum format;
    GLsizei width;
    bool compressed;
  } const cases[] = {
      {"RGB rows of 6 bytes, aligned to 4", {0, 0, 0, 4}, kGlRgb, 2, false},
      {"RGB rows of 6 bytes, aligned to 1", {0, 0, 0, 1}, kGlRgb, 2, true},
      {"BGR rows of 12 bytes, aligned to 8", {0, 0, 0, 8}, kGlBgrExt, 4, false},
      {"RGBA rows of 12 bytes, aligned to 4", {0, 0, 0, 4}, kGlRgba, 3, true},
      {"rows longer than the image", {8, 0, 0, 4}, kGlRgba, 4, false},
      {"row length equal to the width", {4, 0, 0, 4}, kGlRgba, 4, true},
      {"skipped rows", {0, 1, 0, 4}, kGlRgba, 4, false},
      {"skipped pixels", {0, 0, 1, 4}, kGlBgraExt, 4, false},
  };
  Bytes pixels = image(8, 8, 4, 9);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    g_unpack = c.unpack;
    upload(kGlCompressedRgbaDxt5, c.format, c.width, 2, pixels.data());
    EXPECT_EQ(uploads().size(), c.compressed ? 1u : 0u);
    EXPECT_EQ(passed().size(), c.compressed ? 0u : 1u);
  }
}

TEST_F(TextureUpload, UploadEntryIsLookedUpOncePerProcessEvenWhenAbsent) {
  Bytes pixels = image(8, 8, 3, 4);
  for (bool absent : {false, true}) {
    SCOPED_TRACE(absent ? "absent" : "present");
    SetUp();
    g_answer_null = absent;
    TextureUploader uploader(&lookup, &get_integer);
    for (int i = 0; i < 3; ++i)
      uploader.upload(&driver_tex_image<0>, kTexture2D, 0, kGlCompressedRgbDxt1, 8, 8, 0, kGlRgb,
                      kGlUnsignedByte, pixels.data());
    EXPECT_EQ(g_lookups, 1);
    EXPECT_EQ(uploads().size(), absent ? 0u : 3u);
    EXPECT_EQ(passed().size(), absent ? 3u : 0u);
  }
}

// In three-colour DXT1 blocks index 3 is transparent (RGBA reading) or black (RGB reading).
bool uses_index_3_of_three_colours(const Bytes& blocks) {
  for (std::size_t at = 0; at + 8 <= blocks.size(); at += 8) {
    unsigned c0 = blocks[at] | blocks[at + 1] << 8, c1 = blocks[at + 2] | blocks[at + 3] << 8;
    if (c0 > c1) continue;
    for (int i = 0; i < 16; ++i)
      if (((blocks[at + 4 + i / 4] >> (2 * (i % 4))) & 3) == 3) return true;
  }
  return false;
}

TEST_F(TextureUpload, Dxt1FollowsTheReadingTheApplicationAskedFor) {
  // RGBA DXT1 of opaque dark pixels: none may turn transparent.
  Bytes dark(16 * 16 * 3);
  for (std::size_t i = 0; i < dark.size(); ++i) dark[i] = static_cast<unsigned char>((i * 7) % 24);
  upload(kGlCompressedRgbaDxt1, kGlRgb, 16, 16, dark.data());
  // RGB DXT1 of bright pixels whose alpha is 0: their colours stay, none turns black.
  Bytes bright = image(16, 16, 4, 5);
  for (std::size_t i = 0; i < bright.size(); i += 4) {
    bright[i] |= 0x80;
    bright[i + 3] = 0;
  }
  upload(kGlCompressedRgbDxt1, kGlRgba, 16, 16, bright.data());
  ASSERT_EQ(uploads().size(), 2u);
  EXPECT_FALSE(uses_index_3_of_three_colours(uploads()[0].blocks));
  EXPECT_FALSE(uses_index_3_of_three_colours(uploads()[1].blocks));
}

TEST_F(TextureUpload, MipmapChainAllocatesOnlyForItsFirstLevel) {
  CountingAllocator counter;
  TextureUploader uploader(&lookup, &get_integer);
  Bytes level0 = image(256, 256, 4, 6), level1 = image(128, 128, 4, 7);
  uploader.upload(&driver_tex_image<0>, kTexture2D, 0, kGlCompressedRgbaDxt5, 256, 256, 0, kGlRgba,
                  kGlUnsignedByte, level0.data());
  std::size_t after_first = counter.allocated.size();
  uploader.upload(&driver_tex_image<0>, kTexture2D, 1, kGlCompressedRgbaDxt5, 128, 128, 0, kGlRgba,
                  kGlUnsignedByte, level1.data());
  EXPECT_EQ(counter.allocated.size(), after_first);
  ASSERT_EQ(uploads().size(), 2u);
  EXPECT_EQ(uploads()[1].size, 16384);
}

// An upload entry that calls glTexImage2D while the surfaces are in use gets the driver's own
// glTexImage2D for that call, not a wait on the lock its own thread holds.
TEST_F(TextureUpload, CallReenteringFromTheUploadEntryGoesToTheDriver) {
  Bytes pixels = image(8, 8, 4, 7);
  g_reentered = &uploader_;
  upload(kGlCompressedRgbaDxt1, kGlRgba, 8, 8, pixels.data());
  ASSERT_EQ(uploads().size(), 1u);
  EXPECT_EQ(uploads()[0].width, 8);
  ASSERT_EQ(passed().size(), 1u);
  EXPECT_EQ(passed()[0].table, 1u);
  EXPECT_EQ(passed()[0].internal_format, kGlCompressedRgbaDxt5);
}

// Uploads from several threads, through the hooks of both tables as the driver's own dispatch
// calls them, share the process's surfaces; each must still get the blocks of its own image.
TEST_F(TextureUpload, ConcurrentUploadsThroughBothTablesEachSendTheirOwnBlocks) {
  DispatchWord tables[kDispatchTables][kDispatchWords] = {};
  tables[0][kTexImage2DWord] = reinterpret_cast<DispatchWord>(&driver_tex_image<0>);
  tables[1][kTexImage2DWord] = reinterpret_cast<DispatchWord>(&driver_tex_image<1>);
  fill_dispatch_copies(tables[0], tables[1]);
  qelt_entry_table[slot::wglGetProcAddress] = reinterpret_cast<void*>(&lookup);
  qelt_entry_table[slot::glGetIntegerv] = reinterpret_cast<void*>(&get_integer);

  constexpr int kThreads = 4, kUploads = 200;
  std::vector<int> mismatches(kThreads, 0), sent(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      t_slot = t + 1;
      for (int i = 0; i < kUploads; ++i) {
        int size = 4 << (i % 3);
        Bytes pixels = image(size, size, 4, unsigned(t * kUploads + i));
        GLint internal = i % 2 ? kGlCompressedRgbaDxt5 : kGlCompressedRgbaDxt1;
        uploads().clear();
        auto hook = (t + i) % 2 ? &qelt_tex_image_2d_hook1 : &qelt_tex_image_2d_hook0;
        hook(kTexture2D, 0, internal, size, size, 0, kGlBgraExt, kGlUnsignedByte, pixels.data());
        if (uploads().size() != 1) {
          ++mismatches[t];
          continue;
        }
        dxt::Format f = i % 2 ? dxt::Format::kDxt5 : dxt::Format::kDxt1;
        Bytes expected(uploads()[0].blocks.size());
        dxt::encode_image(f, pixels.data(), size * 4, 4, size, size, expected.data(),
                          (size / 4) * int(dxt::block_bytes(f)), f == dxt::Format::kDxt1);
        mismatches[t] += uploads()[0].blocks != expected;
        ++sent[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(sent[t], kUploads) << "thread " << t;
    EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    EXPECT_TRUE(g_passed[t + 1].empty()) << "thread " << t << " had an upload not compressed";
  }
}

}  // namespace
}  // namespace qelt
