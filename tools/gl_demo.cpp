// A small OpenGL client linked against opengl32.dll. Started from a folder that holds the proxy as
// opengl32.dll beside the stand-in vendor driver qelticd.dll, it makes calls from each family and
// prints what reached the driver through the proxy.
#include <windows.h>
#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "standin_log.h"

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

}  // namespace

int main() {
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
  show("glGetString(GL_VENDOR)",
       [] { return format(" = \"%s\"", reinterpret_cast<const char*>(glGetString(GL_VENDOR))); },
       [](const StandInCall& c) { return format("0x%X", unsigned(c.args[0])); });
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
  return 0;
}
