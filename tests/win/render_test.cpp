// The hooked path against a real OpenGL implementation: a program with the proxy as its
// opengl32.dll and the pass-through driver behind it draws with Wine's OpenGL (Mesa). Every
// eligible upload must reach Mesa as exactly the blocks the project's encoder makes, be stored
// and drawn; with a build the proxy does not recognise, the same scene renders uncompressed by it.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "dxt_encoder.h"
#include "dxt_files.h"
#include "gl_scene.h"
#include "passthrough_log.h"
#include "scenario.h"

namespace {

constexpr GLenum kBgr = 0x80E0, kBgra = 0x80E1;
constexpr GLenum kTextureInternalFormat = 0x1003;
constexpr GLenum kTextureMaxLevel = 0x813D;

struct Case {
  GLint requested;  // the internal format the upload asks for
  GLenum format;
  GLsizei size;
  GLint stored;     // the internal format Mesa reports
  bool eligible;    // the proxy compresses it when it recognises the driver
  int levels = 1;   // a mipmap chain from `size` down
  GLenum list = 0;  // recorded in a display list: GL_COMPILE_AND_EXECUTE, or GL_COMPILE and called
};

std::vector<Case> cases() {
  const GLint s3tc[][2] = {{0x83F0, 0x83F0}, {0x83F1, 0x83F1}, {0x83F2, 0x83F2}, {0x83F3, 0x83F3},
                           {0x83A0, 0x83F0}, {0x83A1, 0x83F0}, {0x83A2, 0x83F2}, {0x83A3, 0x83F2}};
  const GLenum formats[] = {GL_RGBA, GL_RGB, kBgra, kBgr};
  std::vector<Case> all;
  for (const auto& [requested, stored] : s3tc)
    for (GLenum format : formats) all.push_back({requested, format, 6, stored, true});
  const GLsizei sizes[] = {1, 2, 256};
  for (unsigned i = 0; i < 12; ++i)
    all.push_back({s3tc[i % 4][0], formats[i / 3], sizes[i % 3], s3tc[i % 4][1], true});
  all.push_back({0x83F3, GL_RGBA, 256, 0x83F3, true, 9});
  all.push_back({0x83F1, kBgra, 64, 0x83F1, true, 1, GL_COMPILE_AND_EXECUTE});
  all.push_back({0x83A2, GL_RGB, 64, 0x83F2, true, 1, GL_COMPILE});
  all.push_back({GL_RGBA8, GL_RGBA, 64, GL_RGBA8, false});
  all.push_back({0x83A1, GL_LUMINANCE, 64, 0x83F0, false});  // Mesa compresses it itself
  return all;
}

int bytes_per_pixel(GLenum format) {
  return format == GL_LUMINANCE ? 1 : format == GL_RGB || format == kBgr ? 3 : 4;
}

// A picture with smooth and sharp changes in every channel, alpha on both sides of 128.
std::vector<unsigned char> picture(GLsizei size, GLenum format, unsigned seed) {
  const unsigned bytes = bytes_per_pixel(format), n = unsigned(size);
  const bool bgr = format == kBgr || format == kBgra;
  std::vector<unsigned char> pixels(std::size_t(n) * n * bytes);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const unsigned p = unsigned(i / bytes), x = p % n, y = p / n, c = unsigned(i % bytes);
    const unsigned noise = (p * 2654435761u + seed * 40503u) >> 24;
    const unsigned rgba[4] = {x * 255 / n, ((x + y) * 255 / (2 * n) + seed * 17) & 255,
                              (x + y) % 8 < 4 ? noise : 255 - noise,
                              (x / 2 + y) % 5 ? 200 + y % 50 : 40};
    pixels[i] = static_cast<unsigned char>(rgba[bgr && c < 3 ? 2 - c : c]);
  }
  return pixels;
}

// DXT3 and DXT5 by their internal formats, DXT1 for the rest (the two enumerations share an order).
qelt::dxt::Format block_format(GLint stored) {
  return stored == 0x83F2 ? qelt::dxt::Format::kDxt3
         : stored == 0x83F3 ? qelt::dxt::Format::kDxt5
                            : qelt::dxt::Format::kDxt1;
}

// The blocks the project's encoder makes of those pixels, in the byte order its surfaces hold.
std::vector<unsigned char> encoded(const Case& c, const std::vector<unsigned char>& pixels,
                                   GLsizei size) {
  const int bytes = bytes_per_pixel(c.format);
  std::vector<unsigned char> bgr(pixels);
  if (c.format == GL_RGBA || c.format == GL_RGB)
    for (std::size_t i = 0; i < bgr.size(); i += bytes) std::swap(bgr[i], bgr[i + 2]);
  const qelt::dxt::Format block = block_format(c.stored);
  const int across = (size + 3) / 4;
  const int row = across * int(qelt::dxt::block_bytes(block));
  std::vector<unsigned char> blocks(std::size_t(row) * ((size + 3) / 4));
  qelt::dxt::encode_image(block, bgr.data(), size * bytes, bytes, size, size, blocks.data(), row,
                          c.stored == 0x83F1);
  return blocks;
}

void expect_no_gl_error(const char* after) {
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "after " << after;
}

unsigned occurrences(const std::string& text, const std::string& part) {
  unsigned found = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

void expect_child_passes(const char* folder, const char* variant) {
  SetEnvironmentVariableA("QELT_STANDIN_VARIANT", variant);
  ScenarioRun run = run_in_scenario(
      folder, {{"qeltogl.dll", "opengl32.dll"}, {"passthrough_icd.dll", "qelticd.dll"}},
      "InScenario.DrawsWithMesa");
  SetEnvironmentVariableA("QELT_STANDIN_VARIANT", nullptr);
  ASSERT_FALSE(run.exit_code != 0 && run.output.empty())
      << "the render program did not start: the pass-through driver found no OpenGL of Wine's";
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
}

TEST(Rendering, RecognisedBuild) { expect_child_passes("render_recognised", ""); }
TEST(Rendering, BuildOfAnotherDate) { expect_child_passes("render_other_date", "other-date"); }

TEST(InScenario, DrawsWithMesa) {
  if (!in_scenario()) GTEST_SKIP() << "runs inside a scenario folder";
  char variant[32] = "";
  GetEnvironmentVariableA("QELT_STANDIN_VARIANT", variant, sizeof variant);
  const bool recognised = variant[0] == '\0';
  HMODULE driver = GetModuleHandleA("qelticd.dll");
  ASSERT_NE(driver, nullptr);
  auto upload_count = reinterpret_cast<PassThroughUploadCount>(
      reinterpret_cast<void*>(GetProcAddress(driver, "passthrough_upload_count")));
  auto upload_at = reinterpret_cast<PassThroughUploadAt>(
      reinterpret_cast<void*>(GetProcAddress(driver, "passthrough_upload_at")));
  ASSERT_TRUE(upload_count != nullptr && upload_at != nullptr)
      << "qelticd.dll is not the pass-through driver";

  GlScene scene(256, 256);
  ASSERT_EQ(scene.failure(), "")
      << "cannot draw with OpenGL under Wine here; Mesa's libGL and software renderer for this "
         "Wine come from scripts/bootstrap.sh and scripts/setup_wine32.sh";

  const struct {
    GLenum name;
    const char* identification;
  } strings[] = {{GL_VENDOR, " and Ostrel"},
                 {GL_RENDERER, "/Parlox Build 0106"},
                 {GL_VERSION, " Parlox"},
                 // set apart by spaces, although Wine ends Mesa's list with an unspaced name
                 {GL_EXTENSIONS, " GL_EXT_paletted_texture GL_EXT_shared_texture_palette "}};
  for (const auto& s : strings) {
    SCOPED_TRACE(s.identification);
    auto text = reinterpret_cast<const char*>(glGetString(s.name));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(occurrences(text, s.identification), recognised ? 1u : 0u) << text;
  }
  expect_no_gl_error("glGetString");

  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  unsigned seed = 0;
  for (const Case& c : cases()) {
    SCOPED_TRACE(testing::Message() << std::hex << "internal format 0x" << c.requested
                                    << ", format 0x" << c.format << ", list mode 0x" << c.list
                                    << std::dec << ", " << c.size << " pixels");
    GLuint texture = 0, list = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    expect_no_gl_error("glBindTexture");
    if (c.list != 0) {
      list = glGenLists(1);
      glNewList(list, c.list);
      expect_no_gl_error("glNewList");
    }
    const unsigned uploads = upload_count();
    std::vector<std::vector<unsigned char>> levels;
    for (int level = 0; level < c.levels; ++level) {
      GLsizei size = std::max(c.size >> level, 1);
      levels.push_back(picture(size, c.format, ++seed));
      glTexImage2D(GL_TEXTURE_2D, level, c.requested, size, size, 0, c.format, GL_UNSIGNED_BYTE,
                   levels.back().data());
      expect_no_gl_error("glTexImage2D");
    }
    if (c.list != 0) {
      glEndList();
      if (c.list == GL_COMPILE) glCallList(list);
      expect_no_gl_error("glEndList and glCallList");
    }
    glTexParameteri(GL_TEXTURE_2D, kTextureMaxLevel, c.levels - 1);
    expect_no_gl_error("glTexParameteri");

    const bool by_proxy = recognised && c.eligible;
    EXPECT_EQ(upload_count() - uploads, by_proxy ? unsigned(c.levels) : 0u);
    std::vector<unsigned char> blocks;
    for (int level = c.levels - 1; level >= 0; --level) {
      SCOPED_TRACE(level);
      GLsizei size = std::max(c.size >> level, 1);
      GLint stored = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, level, kTextureInternalFormat, &stored);
      EXPECT_EQ(stored, c.stored);
      blocks = scene.compressed_level(level);
      expect_no_gl_error("reading the level back");
      if (!by_proxy) continue;
      std::vector<unsigned char> expected = encoded(c, levels[level], size);
      EXPECT_EQ(blocks, expected);
      const PassThroughUpload* sent = upload_at(uploads + level);
      ASSERT_NE(sent, nullptr);
      EXPECT_EQ(sent->internal_format, GLenum(c.stored));
      EXPECT_EQ(sent->image_size, GLsizei(expected.size()));
    }
    EXPECT_EQ(blocks.empty(), c.stored == GL_RGBA8);

    scene.draw(texture, 0, 0, c.size, c.size);
    std::vector<unsigned char> frame = scene.read(0, 0, c.size, c.size);
    expect_no_gl_error("drawing");
    std::vector<unsigned char> decoded =
        blocks.empty() ? levels[0]
                       : decode_dxt(DxtKind(block_format(c.stored)), blocks.data(), c.size,
                                    c.size, c.stored == 0x83F0);
    ASSERT_EQ(frame.size(), decoded.size());
    std::size_t off = 0;
    for (std::size_t i = 0; i < frame.size(); ++i) off += std::abs(frame[i] - decoded[i]) > 1;
    EXPECT_EQ(off, 0u) << "of " << frame.size() << " channel values differ by more than 1";
    glDeleteTextures(1, &texture);
    if (list != 0) glDeleteLists(list, 1);
    expect_no_gl_error("deleting");
  }
}

}  // namespace
