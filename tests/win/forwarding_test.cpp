// Calls made through the proxy's exports reach the same-named function of the driver with every
// argument intact, return its result, and return straight to the caller.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "scenario.h"
#include "standin_log.h"

namespace {

class Forwarding : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!in_scenario()) GTEST_SKIP() << "runs inside a scenario folder";
    proxy_ = LoadLibraryA("opengl32.dll");
    ASSERT_NE(proxy_, nullptr);
    HMODULE driver = GetModuleHandleA("qelticd.dll");
    ASSERT_NE(driver, nullptr);
    count_ = reinterpret_cast<StandInCallCount>(GetProcAddress(driver, "standin_call_count"));
    at_ = reinterpret_cast<StandInCallAt>(GetProcAddress(driver, "standin_call_at"));
    clear_ = reinterpret_cast<StandInClear>(GetProcAddress(driver, "standin_clear"));
    ASSERT_TRUE(count_ && at_ && clear_);
    clear_();
  }

  template <typename Function>
  Function get(const char* name) {
    auto address = GetProcAddress(proxy_, name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Function>(address);
  }

  // The one call the driver saw since the last check.
  const StandInCall& only_call(const char* name) {
    EXPECT_EQ(count_(), 1u);
    const StandInCall* call = at_(count_() - 1);
    EXPECT_STREQ(call->name, name);
    clear_();
    last_ = *call;
    return last_;
  }

  static float as_float(std::uint64_t bits) {
    float value;
    std::uint32_t low = static_cast<std::uint32_t>(bits);
    std::memcpy(&value, &low, sizeof value);
    return value;
  }
  static double as_double(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  // The call returned into this program, not into the proxy.
  static bool returns_here(const void* address) {
    auto base = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    auto at = static_cast<const unsigned char*>(address);
    return at >= base && at < base + nt->OptionalHeader.SizeOfImage;
  }

  HMODULE proxy_ = nullptr;
  StandInCallCount count_ = nullptr;
  StandInCallAt at_ = nullptr;
  StandInClear clear_ = nullptr;
  StandInCall last_{};
};

TEST(ProxyForwarding, RunsInAScenarioFolder) {
  ScenarioRun run = run_in_scenario(
      "forwarding", {{"qeltogl.dll", "opengl32.dll"}, {"standin_icd.dll", "qelticd.dll"}},
      "Forwarding.*");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_NE(run.output.find("[  PASSED  ] 6 tests"), std::string::npos) << run.output;
}

TEST_F(Forwarding, FloatAndDoubleArguments) {
  get<decltype(&glClearColor)>("glClearColor")(0.25f, 0.5f, -0.75f, 1.0f);
  const StandInCall& clear = only_call("glClearColor");
  EXPECT_EQ(as_float(clear.xmm[0]), 0.25f);
  EXPECT_EQ(as_float(clear.xmm[1]), 0.5f);
  EXPECT_EQ(as_float(clear.xmm[2]), -0.75f);
  EXPECT_EQ(as_float(clear.xmm[3]), 1.0f);
  EXPECT_TRUE(returns_here(clear.return_address));

  get<decltype(&glRotated)>("glRotated")(90.0, 1e-300, 1.0, -2.5);
  const StandInCall& rotate = only_call("glRotated");
  EXPECT_EQ(as_double(rotate.xmm[0]), 90.0);
  EXPECT_EQ(as_double(rotate.xmm[1]), 1e-300);
  EXPECT_EQ(as_double(rotate.xmm[2]), 1.0);
  EXPECT_EQ(as_double(rotate.xmm[3]), -2.5);
}

TEST_F(Forwarding, ManyArgumentsIncludingStackArguments) {
  unsigned char pixels[16] = {};
  get<decltype(&glTexImage2D)>("glTexImage2D")(GL_TEXTURE_2D, 3, GL_RGBA8, 640, 480, 0, GL_RGBA,
                                               GL_UNSIGNED_BYTE, pixels);
  const StandInCall& upload = only_call("glTexImage2D");
  const std::uint64_t expected[] = {GL_TEXTURE_2D, 3, GL_RGBA8, 640, 480, 0, GL_RGBA,
                                    GL_UNSIGNED_BYTE, reinterpret_cast<std::uint64_t>(pixels)};
  for (unsigned i = 0; i < 9; ++i) EXPECT_EQ(static_cast<std::uint32_t>(upload.args[i]),
                                             static_cast<std::uint32_t>(expected[i])) << i;
  EXPECT_EQ(upload.args[8], expected[8]);
  EXPECT_TRUE(returns_here(upload.return_address));

  get<decltype(&glCopyTexSubImage2D)>("glCopyTexSubImage2D")(GL_TEXTURE_2D, 1, 2, 3, -4, 5, 6, 7);
  const StandInCall& copy = only_call("glCopyTexSubImage2D");
  const int copy_args[] = {GL_TEXTURE_2D, 1, 2, 3, -4, 5, 6, 7};
  for (unsigned i = 0; i < 8; ++i) EXPECT_EQ(static_cast<int>(copy.args[i]), copy_args[i]) << i;

  // Doubles in registers and on the stack, mixed with integers and a pointer.
  GLdouble points[4] = {};
  get<decltype(&glMap2d)>("glMap2d")(GL_MAP2_VERTEX_3, 0.5, 1.5, 3, 4, 2.5, 3.5, 12, 2, points);
  const StandInCall& map = only_call("glMap2d");
  EXPECT_EQ(static_cast<GLenum>(map.args[0]), static_cast<GLenum>(GL_MAP2_VERTEX_3));
  EXPECT_EQ(as_double(map.xmm[1]), 0.5);
  EXPECT_EQ(as_double(map.xmm[2]), 1.5);
  EXPECT_EQ(static_cast<int>(map.args[3]), 3);
  EXPECT_EQ(static_cast<int>(map.args[4]), 4);
  EXPECT_EQ(as_double(map.args[5]), 2.5);
  EXPECT_EQ(as_double(map.args[6]), 3.5);
  EXPECT_EQ(static_cast<int>(map.args[7]), 12);
  EXPECT_EQ(static_cast<int>(map.args[8]), 2);
  EXPECT_EQ(map.args[9], reinterpret_cast<std::uint64_t>(points));
}

TEST_F(Forwarding, ResultsComeBackUnchanged) {
  auto get_string = get<decltype(&glGetString)>("glGetString");
  EXPECT_STREQ(reinterpret_cast<const char*>(get_string(GL_VENDOR)), "Stand-in Vendor");
  only_call("glGetString");

  GLboolean enabled = get<decltype(&glIsEnabled)>("glIsEnabled")(GL_BLEND);
  const StandInCall& is_enabled = only_call("glIsEnabled");
  EXPECT_EQ(enabled, static_cast<GLboolean>(kStandInResult + is_enabled.ordinal));

  using CreateContext = HGLRC(WINAPI*)(HDC);
  HGLRC context = get<CreateContext>("wglCreateContext")(reinterpret_cast<HDC>(0x1234));
  const StandInCall& create = only_call("wglCreateContext");
  EXPECT_EQ(create.args[0], 0x1234u);
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(context), kStandInResult + create.ordinal);
}

TEST_F(Forwarding, DriverInterfaceAndExtensionLookup) {
  using ValidateVersion = BOOL(WINAPI*)(ULONG);
  BOOL valid = get<ValidateVersion>("DrvValidateVersion")(2);
  EXPECT_EQ(only_call("DrvValidateVersion").args[0], 2u);
  EXPECT_NE(valid, 0);

  using SetContext = void*(WINAPI*)(HDC, std::uintptr_t, void*);
  get<SetContext>("DrvSetContext")(reinterpret_cast<HDC>(0x10), 0x20, reinterpret_cast<void*>(0x30));
  const StandInCall& set = only_call("DrvSetContext");
  EXPECT_EQ(set.args[0], 0x10u);
  EXPECT_EQ(set.args[1], 0x20u);
  EXPECT_EQ(set.args[2], 0x30u);

  using GetProc = PROC(WINAPI*)(LPCSTR);
  PROC compressed = get<GetProc>("wglGetProcAddress")("glCompressedTexImage2DARB");
  only_call("wglGetProcAddress");
  ASSERT_NE(compressed, nullptr);
  using Compressed = void(APIENTRY*)(GLenum, GLint, GLenum, GLsizei, GLsizei, GLint, GLsizei,
                                     const void*);
  reinterpret_cast<Compressed>(compressed)(GL_TEXTURE_2D, 0, 0x83F1, 4, 4, 0, 8, nullptr);
  EXPECT_EQ(only_call("glCompressedTexImage2DARB").args[6], 8u);
  EXPECT_EQ(get<GetProc>("wglGetProcAddress")("glNoSuchFunction"), nullptr);
  only_call("wglGetProcAddress");

  using Outlines = BOOL(WINAPI*)(HDC, DWORD, DWORD, DWORD, FLOAT, FLOAT, int, void*);
  get<Outlines>("wglUseFontOutlinesA")(nullptr, 32, 96, 1000, 0.125f, 0.5f, 1, nullptr);
  const StandInCall& outlines = only_call("wglUseFontOutlinesA");
  EXPECT_EQ(outlines.args[3], 1000u);
  EXPECT_EQ(as_float(outlines.args[4]), 0.125f);
  EXPECT_EQ(as_float(outlines.args[5]), 0.5f);
  EXPECT_EQ(static_cast<int>(outlines.args[6]), 1);
}

TEST_F(Forwarding, OwnNamesAreAnsweredByTheProxy) {
  using GetProc = PROC(WINAPI*)(LPCSTR);
  auto wgl_lookup = get<GetProc>("wglGetProcAddress");
  auto drv_lookup = get<GetProc>("DrvGetProcAddress");
  auto own = [this](const char* name) { return GetProcAddress(proxy_, name); };
  EXPECT_EQ(wgl_lookup("wglGetProcAddress"), own("wglGetProcAddress"));
  EXPECT_EQ(wgl_lookup("DrvGetProcAddress"), own("DrvGetProcAddress"));
  EXPECT_EQ(wgl_lookup("DrvSetContext"), own("DrvSetContext"));
  EXPECT_EQ(drv_lookup("DrvSetContext"), own("DrvSetContext"));
  EXPECT_EQ(drv_lookup("wglGetProcAddress"), own("wglGetProcAddress"));
  EXPECT_EQ(count_(), 0u);

  // Anything else is the driver's own answer, exactly.
  auto driver_lookup = reinterpret_cast<GetProc>(
      GetProcAddress(GetModuleHandleA("qelticd.dll"), "wglGetProcAddress"));
  PROC expected = driver_lookup("glCompressedTexImage2DARB");
  ASSERT_NE(expected, nullptr);
  clear_();
  EXPECT_EQ(wgl_lookup("glCompressedTexImage2DARB"), expected);
  EXPECT_STREQ(reinterpret_cast<const char*>(only_call("wglGetProcAddress").args[0]),
               "glCompressedTexImage2DARB");
  EXPECT_EQ(drv_lookup("glCompressedTexImage2DARB"), expected);
  only_call("DrvGetProcAddress");
  EXPECT_EQ(wgl_lookup("WGLGETPROCADDRESS"), nullptr);
  only_call("wglGetProcAddress");
}

// Every export, called with twelve distinct words, reaches the function of its own name with
// all of them, and the caller's locals around the call survive.
TEST_F(Forwarding, EveryExportReachesItsNamesake) {
  using Any = std::uint64_t(WINAPI*)(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                     std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                     std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t);
  struct Export {
    const char* name;
    bool stub;
  };
  const Export exports[] = {
#define QELT_DRV(name, slot, ordinal, stub) {#name, stub == 1},
#define QELT_GL QELT_DRV
#define QELT_WGL QELT_DRV
#include "entry_points.inc"
  };
  volatile std::uint64_t canary = 0xC0FFEE0DDBA11ULL;
  for (const auto& [name, stub] : exports) {
    // The lookups read a name from their first word: give them one the driver must answer.
    std::uint64_t first = reinterpret_cast<std::uint64_t>("glNoSuchFunction");
    get<Any>(name)(first, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);
    const StandInCall& call = only_call(name);
    EXPECT_EQ(call.args[0], first) << name;
    if (!stub) continue;  // the proxy's own lookup calls the driver with the name alone
    for (unsigned i = 1; i < 12; ++i) EXPECT_EQ(call.args[i], i + 1) << name << " word " << i;
    EXPECT_TRUE(returns_here(call.return_address)) << name;
  }
  EXPECT_EQ(canary, 0xC0FFEE0DDBA11ULL);
}

}  // namespace
