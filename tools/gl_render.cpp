// The demo's rendered picture: started from a folder that holds the proxy as opengl32.dll and the
// pass-through driver as qelticd.dll, it draws a tile of each image named on its command line as
// the source, then as DXT1, DXT3 and DXT5 compressed by the proxy on its way to Wine's OpenGL,
// reads the frame back, writes it as a PNG and prints each quad's PSNR against its source.
#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "dxt_files.h"
#include "gl_scene.h"
#include "passthrough_log.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>

namespace {

constexpr int kTile = 256;

struct Quad {
  const char* name;
  GLint internal_format;  // 0: the source, uncompressed
};

// The kTile x kTile middle of an image shrunk by a whole factor to about kTile on its shorter
// side (each pixel the mean of its box), as RGBA rows; a smaller image is repeated.
std::vector<unsigned char> tile_of(const unsigned char* rgba, int width, int height) {
  const int factor = std::max(1, std::min(width, height) / kTile);
  const int left = std::max(0, (width / factor - kTile) / 2);
  const int top = std::max(0, (height / factor - kTile) / 2);
  std::vector<unsigned char> tile(std::size_t(kTile) * kTile * 4);
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (int dy = 0; dy < factor; ++dy)
          for (int dx = 0; dx < factor; ++dx)
            sum += rgba[(std::size_t(((top + y) * factor + dy) % height) * width +
                         ((left + x) * factor + dx) % width) * 4 + c];
        tile[(std::size_t(y) * kTile + x) * 4 + c] =
            static_cast<unsigned char>((sum + factor * factor / 2) / (factor * factor));
      }
    }
  }
  return tile;
}

std::string base_name(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  return name.substr(0, name.find_last_of('.'));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: gl_render <frame.png> <image>...\n");
    return 2;
  }
  HMODULE driver = GetModuleHandleA("qelticd.dll");
  auto upload_count = driver == nullptr ? nullptr
                                        : reinterpret_cast<PassThroughUploadCount>(
                                              reinterpret_cast<void*>(GetProcAddress(
                                                  driver, "passthrough_upload_count")));
  if (upload_count == nullptr) {
    std::printf("the proxy did not load the pass-through driver qelticd.dll\n");
    return 1;
  }
  const int images = argc - 2;
  const Quad quads[] = {{"source", 0}, {"DXT1", 0x83F1}, {"DXT3", 0x83F2}, {"DXT5", 0x83F3}};
  const int columns = int(std::size(quads));
  GlScene scene(columns * kTile, images * kTile);
  if (!scene.failure().empty()) {
    std::printf("cannot draw: %s\n", scene.failure().c_str());
    return 1;
  }
  const GLubyte* renderer = glGetString(GL_RENDERER);
  std::printf("%s\n", renderer ? reinterpret_cast<const char*>(renderer) : "(no renderer name)");
  glClear(GL_COLOR_BUFFER_BIT);
  std::vector<std::vector<unsigned char>> sources;
  // Mesa compresses an S3TC request itself, so a quad the proxy left alone would still look
  // compressed: such a run must not pass for the proxy's.
  bool all_compressed = true;
  for (int row = 0; row < images; ++row) {
    int width = 0, height = 0, channels = 0;
    unsigned char* rgba = stbi_load(argv[2 + row], &width, &height, &channels, 4);
    if (rgba == nullptr) {
      std::printf("%s: cannot read (%s)\n", argv[2 + row], stbi_failure_reason());
      return 1;
    }
    sources.push_back(tile_of(rgba, width, height));
    stbi_image_free(rgba);
    for (int column = 0; column < columns; ++column) {
      const Quad& quad = quads[column];
      GLuint texture = 0;
      glGenTextures(1, &texture);
      glBindTexture(GL_TEXTURE_2D, texture);
      unsigned before = upload_count();
      glTexImage2D(GL_TEXTURE_2D, 0, quad.internal_format ? quad.internal_format : GL_RGBA8,
                   kTile, kTile, 0, GL_RGBA, GL_UNSIGNED_BYTE, sources.back().data());
      if (quad.internal_format != 0 && upload_count() != before + 1) {
        std::printf("%s: the proxy did not compress %s\n", argv[2 + row], quad.name);
        all_compressed = false;
      }
      scene.draw(texture, column * kTile, row * kTile, kTile, kTile);
    }
  }

  // Read back bottom row first, each tile's rows come in their own order: written as they
  // come, the first image is the picture's top row.
  std::vector<unsigned char> frame = scene.read(0, 0, columns * kTile, images * kTile);
  if (!stbi_write_png(argv[1], columns * kTile, images * kTile, 4, frame.data(),
                      columns * kTile * 4)) {
    std::printf("cannot write %s\n", argv[1]);
    return 1;
  }
  for (int row = 0; row < images; ++row) {
    std::printf("%s:", base_name(argv[2 + row]).c_str());
    for (int column = 1; column < columns; ++column) {
      std::vector<unsigned char> drawn = scene.read(column * kTile, row * kTile, kTile, kTile);
      double psnr = 0, alpha_rmse = 0;
      compare_to_source(sources[row].data(), drawn.data(), std::size_t(kTile) * kTile, psnr,
                        alpha_rmse);
      std::printf("  %s PSNR %5.2f dB", quads[column].name, psnr);
    }
    std::printf("\n");
  }
  return all_compressed && glGetError() == GL_NO_ERROR ? 0 : 1;
}
