// Calls made through the proxy's exports reach the same-named function of the driver with every
// argument intact, return its result, and return straight to the caller.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <type_traits>

#include "call_counting_pops.h"
#include "icd_interface.h"
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

  // The arguments of the one call the driver saw, read as the parameters of F.
  template <typename F>
  typename ArgumentWords<F>::Values arguments(const char* name) {
    return arguments_of<F>(only_call(name));
  }

  // The call returned into this program, not into the proxy.
  static bool returns_here(const void* address) {
    auto base = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    auto at = static_cast<const unsigned char*>(address);
    return at >= base && at < base + nt->OptionalHeader.SizeOfImage;
  }

  // Distinct values for F's arguments: small integers, fractions, and addresses inside a zeroed
  // buffer (never dereferenced by a forwarding stub, printable if a check fails). The proxy's own
  // lookups read their argument as a name, so they are given one the driver must answer.
  template <typename F>
  static typename ArgumentWords<F>::Values distinct_arguments(bool stub) {
    typename ArgumentWords<F>::Values values;
    std::size_t index = 0;
    std::apply([&index](auto&... value) { (assign_distinct(value, index++), ...); }, values);
    if constexpr (std::is_same_v<typename ArgumentWords<F>::Values, std::tuple<LPCSTR>>)
      if (!stub) std::get<0>(values) = "glNoSuchFunction";
    return values;
  }
  template <typename T>
  static void assign_distinct(T& value, std::size_t index) {
    static const char zeros[64] = {};
    if constexpr (std::is_floating_point_v<T>)
      value = static_cast<T>(index + 1) + static_cast<T>(0.25);
    else if constexpr (std::is_pointer_v<T>)
      value = reinterpret_cast<T>(const_cast<char*>(zeros + index));
    else
      value = static_cast<T>(index + 2);
  }

  template <typename F>
  void check_export(const char* name, bool stub) {
    SCOPED_TRACE(name);
    auto values = distinct_arguments<F>(stub);
    FARPROC address = GetProcAddress(proxy_, name);
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(call_counting_pops<F>(address, values), ArgumentWords<F>::kCalleePops);
    const StandInCall& call = only_call(name);
    EXPECT_EQ(arguments_of<F>(call), values);
    if (stub) {  // the proxy's own lookups call the driver themselves
      EXPECT_TRUE(returns_here(call.return_address));
    }
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
  EXPECT_EQ(arguments_of<decltype(glClearColor)>(clear), std::make_tuple(0.25f, 0.5f, -0.75f, 1.0f));
  EXPECT_TRUE(returns_here(clear.return_address));

  get<decltype(&glRotated)>("glRotated")(90.0, 1e-300, 1.0, -2.5);
  EXPECT_EQ(arguments<decltype(glRotated)>("glRotated"), std::make_tuple(90.0, 1e-300, 1.0, -2.5));
}

TEST_F(Forwarding, ManyArgumentsIncludingStackArguments) {
  unsigned char pixels[16] = {};
  get<decltype(&glTexImage2D)>("glTexImage2D")(GL_TEXTURE_2D, 3, GL_RGBA8, 640, 480, 0, GL_RGBA,
                                               GL_UNSIGNED_BYTE, pixels);
  const StandInCall& upload = only_call("glTexImage2D");
  EXPECT_EQ(arguments_of<decltype(glTexImage2D)>(upload),
            std::make_tuple(GLenum{GL_TEXTURE_2D}, 3, GLint{GL_RGBA8}, 640, 480, 0, GLenum{GL_RGBA},
                            GLenum{GL_UNSIGNED_BYTE}, static_cast<const void*>(pixels)));
  EXPECT_TRUE(returns_here(upload.return_address));

  get<decltype(&glCopyTexSubImage2D)>("glCopyTexSubImage2D")(GL_TEXTURE_2D, 1, 2, 3, -4, 5, 6, 7);
  EXPECT_EQ(arguments<decltype(glCopyTexSubImage2D)>("glCopyTexSubImage2D"),
            std::make_tuple(GLenum{GL_TEXTURE_2D}, 1, 2, 3, -4, 5, 6, 7));

  // Doubles in registers and on the stack, mixed with integers and a pointer.
  GLdouble points[4] = {};
  get<decltype(&glMap2d)>("glMap2d")(GL_MAP2_VERTEX_3, 0.5, 1.5, 3, 4, 2.5, 3.5, 12, 2, points);
  EXPECT_EQ(arguments<decltype(glMap2d)>("glMap2d"),
            std::make_tuple(GLenum{GL_MAP2_VERTEX_3}, 0.5, 1.5, 3, 4, 2.5, 3.5, 12, 2,
                            static_cast<const GLdouble*>(points)));
}

TEST_F(Forwarding, ResultsComeBackUnchanged) {
  auto get_string = get<decltype(&glGetString)>("glGetString");
  // The stand-in is the recognised build, so its string comes back with the proxy's mark.
  EXPECT_STREQ(reinterpret_cast<const char*>(get_string(GL_VENDOR)), "Stand-in Vendor and Ostrel");
  only_call("glGetString");

  GLboolean enabled = get<decltype(&glIsEnabled)>("glIsEnabled")(GL_BLEND);
  const StandInCall& is_enabled = only_call("glIsEnabled");
  EXPECT_EQ(enabled, static_cast<GLboolean>(kStandInResult + is_enabled.ordinal));

  HGLRC context = get<decltype(&wglCreateContext)>("wglCreateContext")(reinterpret_cast<HDC>(0x1234));
  const StandInCall& create = only_call("wglCreateContext");
  EXPECT_EQ(arguments_of<decltype(wglCreateContext)>(create),
            std::make_tuple(reinterpret_cast<HDC>(0x1234)));
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(context), kStandInResult + create.ordinal);
}

TEST_F(Forwarding, DriverInterfaceAndExtensionLookup) {
  BOOL valid = get<decltype(&DrvValidateVersion)>("DrvValidateVersion")(2);
  EXPECT_EQ(arguments<decltype(DrvValidateVersion)>("DrvValidateVersion"), std::make_tuple(ULONG{2}));
  EXPECT_NE(valid, 0);

  auto set_proc_table = reinterpret_cast<void*>(0x30);
  get<decltype(&DrvSetContext)>("DrvSetContext")(reinterpret_cast<HDC>(0x10), 0x20, set_proc_table);
  EXPECT_EQ(arguments<decltype(DrvSetContext)>("DrvSetContext"),
            std::make_tuple(reinterpret_cast<HDC>(0x10), DriverContext{0x20}, set_proc_table));

  PROC compressed = get<decltype(&wglGetProcAddress)>("wglGetProcAddress")("glCompressedTexImage2DARB");
  only_call("wglGetProcAddress");
  ASSERT_NE(compressed, nullptr);
  reinterpret_cast<CompressedTexImage2D*>(compressed)(GL_TEXTURE_2D, 0, 0x83F1, 4, 4, 0, 8, nullptr);
  EXPECT_EQ(std::get<6>(arguments<CompressedTexImage2D>("glCompressedTexImage2DARB")), 8);
  EXPECT_EQ(get<decltype(&wglGetProcAddress)>("wglGetProcAddress")("glNoSuchFunction"), nullptr);
  only_call("wglGetProcAddress");

  get<decltype(&wglUseFontOutlinesA)>("wglUseFontOutlinesA")(nullptr, 32, 96, 1000, 0.125f, 0.5f, 1,
                                                              nullptr);
  EXPECT_EQ(arguments<decltype(wglUseFontOutlinesA)>("wglUseFontOutlinesA"),
            std::make_tuple(HDC{}, DWORD{32}, DWORD{96}, DWORD{1000}, 0.125f, 0.5f, 1,
                            LPGLYPHMETRICSFLOAT{}));
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
  EXPECT_STREQ(std::get<0>(arguments<decltype(wglGetProcAddress)>("wglGetProcAddress")),
               "glCompressedTexImage2DARB");
  EXPECT_EQ(drv_lookup("glCompressedTexImage2DARB"), expected);
  only_call("DrvGetProcAddress");
  EXPECT_EQ(wgl_lookup("WGLGETPROCADDRESS"), nullptr);
  only_call("wglGetProcAddress");
}

// Every export, called as its interface declares with a distinct value in each argument, reaches
// the driver's function of the same name with all of them and returns straight here, leaving the
// stack as its calling convention demands (32-bit: the callee pops exactly the arguments' bytes).
TEST_F(Forwarding, EveryExportReachesItsNamesake) {
  volatile std::uint64_t canary = 0xC0FFEE0DDBA11ULL;
#define QELT_DRV(name, slot, ordinal, stub) check_export<decltype(::name)>(#name, stub == 1);
#define QELT_GL QELT_DRV
#define QELT_WGL QELT_DRV
#include "entry_points.inc"
  EXPECT_EQ(canary, 0xC0FFEE0DDBA11ULL);
}

}  // namespace
