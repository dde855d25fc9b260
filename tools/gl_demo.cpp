// A small OpenGL client linked against opengl32.dll. Started from a folder that holds the proxy as
// opengl32.dll beside the stand-in vendor driver qelticd.dll, it makes calls from each family and
// prints what reached the driver through the proxy. Then it uploads each image named on its command
// line through glTexImage2D asking for DXT1, DXT3 and DXT5, and writes what the driver received as
// a .dds file and a decoded .png under out\, with size, PSNR and upload time.
#include <windows.h>
#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "dxt_files.h"
#include "standin_log.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>

namespace {

StandInCallCount call_count;
StandInCallAt call_at;

float as_float(std::uint64_t bits) {
  float value;
  std::uint32_t low = static_cast<std::uint32_t>(bits);
  std::memcpy(&value, &low, sizeof value);
  return value;
}

double as_double(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Makes one call and prints the driver's view of it, formatted by `describe`.
void show(const char* what, const std::function<std::string()>& call,
          const std::function<std::string(const StandInCall&)>& describe) {
  unsigned before = call_count();
  std::string result = call();
  if (call_count() == before) {
    std::printf("%-52s -> did not reach the driver\n", what);
    return;
  }
  const StandInCall& seen = *call_at(call_count() - 1);
  std::printf("%-52s -> driver got %s(%s)%s\n", what, seen.name, describe(seen).c_str(),
              result.c_str());
}

std::string format(const char* pattern, ...) {
  char text[256];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(text, sizeof text, pattern, args);
  va_end(args);
  return text;
}

std::string base_name(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  return name.substr(0, name.find_last_of('.'));
}

// Uploads one image three times through glTexImage2D and reports what the driver got each time.
void compress_through_the_driver(const char* path) {
  int width = 0, height = 0, channels = 0;
  unsigned char* rgba = stbi_load(path, &width, &height, &channels, 4);
  if (rgba == nullptr) {
    std::printf("%s: cannot read (%s)\n", path, stbi_failure_reason());
    return;
  }
  std::printf("\n%s: %d x %d, %d channels\n", path, width, height, channels);
  struct Format {
    GLint internal_format;
    DxtKind kind;
    const char* name;
  } const formats[] = {
      {channels == 4 ? 0x83F1 : 0x83F0, DxtKind::kDxt1, "dxt1"},
      {0x83F2, DxtKind::kDxt3, "dxt3"},
      {0x83F3, DxtKind::kDxt5, "dxt5"},
  };
  LARGE_INTEGER frequency, start, stop;
  QueryPerformanceFrequency(&frequency);
  for (const Format& f : formats) {
    unsigned before = call_count();
    QueryPerformanceCounter(&start);
    glTexImage2D(GL_TEXTURE_2D, 0, f.internal_format, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba);
    QueryPerformanceCounter(&stop);
    const StandInCall* upload = nullptr;
    for (unsigned i = before; i < call_count(); ++i)
      if (std::strcmp(call_at(i)->name, "glCompressedTexImage2DARB") == 0) upload = call_at(i);
    if (upload == nullptr || upload->data == nullptr) {
      std::printf("  %s: the driver received no compressed image\n", f.name);
      continue;
    }
    std::string out = "out\\" + base_name(path) + "-" + f.name;
    write_dds(out + ".dds", f.kind, upload->data, upload->data_size, width, height);
    std::vector<unsigned char> decoded =
        decode_dxt(f.kind, upload->data, width, height, f.internal_format == 0x83F0);
    stbi_write_png((out + ".png").c_str(), width, height, 4, decoded.data(), width * 4);
    double psnr = 0, alpha_rmse = 0;
    compare_to_source(rgba, decoded.data(), std::size_t(width) * height, psnr, alpha_rmse);
    double ms = 1000.0 * double(stop.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("  %s (0x%X): %8u bytes, colour PSNR %6.2f dB, alpha RMSE %5.2f, upload %7.2f ms"
                " -> %s.dds/.png\n",
                f.name, unsigned(f.internal_format), upload->data_size, psnr, alpha_rmse, ms,
                out.c_str());
  }
  stbi_image_free(rgba);
}

}  // namespace

int main(int argc, char** argv) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(GetModuleHandleA("opengl32.dll"), path, MAX_PATH);
  std::printf("opengl32.dll loaded from %s\n", path);
  HMODULE driver = GetModuleHandleA("qelticd.dll");
  if (driver == nullptr) {
    std::printf("the proxy did not load the stand-in driver qelticd.dll\n");
    return 1;
  }
  GetModuleFileNameA(driver, path, MAX_PATH);
  std::printf("underlying driver:     %s\n\n", path);
  call_count = reinterpret_cast<StandInCallCount>(GetProcAddress(driver, "standin_call_count"));
  call_at = reinterpret_cast<StandInCallAt>(GetProcAddress(driver, "standin_call_at"));

  show("glClearColor(0.1f, 0.2f, 0.3f, 1.0f)",
       [] { glClearColor(0.1f, 0.2f, 0.3f, 1.0f); return std::string(); },
       [](const StandInCall& c) {
         return format("%g, %g, %g, %g", as_float(c.xmm[0]), as_float(c.xmm[1]),
                       as_float(c.xmm[2]), as_float(c.xmm[3]));
       });
  show("glViewport(0, 0, 640, 480)",
       [] { glViewport(0, 0, 640, 480); return std::string(); },
       [](const StandInCall& c) {
         return format("%d, %d, %d, %d", int(c.args[0]), int(c.args[1]), int(c.args[2]),
                       int(c.args[3]));
       });
  show("glRotated(45.0, 0.0, 0.0, 1.0)",
       [] { glRotated(45.0, 0.0, 0.0, 1.0); return std::string(); },
       [](const StandInCall& c) {
         return format("%g, %g, %g, %g", as_double(c.xmm[0]), as_double(c.xmm[1]),
                       as_double(c.xmm[2]), as_double(c.xmm[3]));
       });
  static unsigned char pixels[64 * 64 * 4];
  show("glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, ...)",
       [] {
         glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
         return std::string();
       },
       [](const StandInCall& c) {
         return format("0x%X, %d, 0x%X, %d, %d, %d, 0x%X, 0x%X, %s", unsigned(c.args[0]),
                       int(c.args[1]), unsigned(c.args[2]), int(c.args[3]), int(c.args[4]),
                       int(c.args[5]), unsigned(c.args[6]), unsigned(c.args[7]),
                       c.args[8] == reinterpret_cast<std::uintptr_t>(pixels) ? "pixels" : "?");
       });
  // The GL strings as an application sees them: the proxy hooks the stand-in's own glGetString.
  const struct {
    GLenum name;
    const char* label;
  } strings[] = {{GL_VENDOR, "glGetString(GL_VENDOR)"},
                 {GL_RENDERER, "glGetString(GL_RENDERER)"},
                 {GL_VERSION, "glGetString(GL_VERSION)"},
                 {GL_EXTENSIONS, "glGetString(GL_EXTENSIONS)"}};
  for (const auto& string : strings) {
    GLenum name = string.name;
    show(string.label,
         [name] { return format(" = \"%s\"", reinterpret_cast<const char*>(glGetString(name))); },
         [](const StandInCall& c) { return format("0x%X", unsigned(c.args[0])); });
  }
  show("wglGetProcAddress(\"glCompressedTexImage2DARB\")",
       [] {
         return format(" = %s", wglGetProcAddress("glCompressedTexImage2DARB") ? "an address"
                                                                                 : "null");
       },
       [](const StandInCall& c) {
         return format("\"%s\"", reinterpret_cast<const char*>(c.args[0]));
       });
  using ValidateVersion = BOOL(WINAPI*)(ULONG);
  auto validate = reinterpret_cast<ValidateVersion>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("opengl32.dll"), "DrvValidateVersion")));
  show("DrvValidateVersion(1)",
       [validate] { return format(" = 0x%X", unsigned(validate(1))); },
       [](const StandInCall& c) { return format("%u", unsigned(c.args[0])); });

  std::printf("\n%u calls reached the driver\n", call_count());

  if (argc > 1) {
    std::printf("\nS3TC uploads through glTexImage2D, compressed on the way by the proxy:\n");
    CreateDirectoryA("out", nullptr);
    for (int i = 1; i < argc; ++i) compress_through_the_driver(argv[i]);
  }
  return 0;
}
