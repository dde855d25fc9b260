// The headline path in a real loader: against the stand-in presenting the recognised build, the
// driver's own glGetString and glTexImage2D dispatch reaches the proxy through both tables, which
// identifies itself and compresses S3TC uploads; against a spoiled fingerprint the proxy says why
// once and stays a plain forwarder.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "debug_channel.h"
#include "icd_interface.h"
#include "import_table.h"
#include "scenario.h"
#include "standin_log.h"

namespace {

using Strings = std::vector<std::string>;

// Runs InScenario.<child_test> beside the stand-in, which lays out `variant` of the fingerprint.
void expect_child_passes(const std::string& folder, const char* variant, const char* message,
                         const std::string& child_test) {
  SetEnvironmentVariableA("QELT_STANDIN_VARIANT", variant);
  SetEnvironmentVariableA("QELT_EXPECTED_MESSAGE", message);
  ScenarioRun run =
      run_in_scenario(folder, {{"qeltogl.dll", "opengl32.dll"}, {"standin_icd.dll", "qelticd.dll"}},
                      "InScenario." + child_test);
  SetEnvironmentVariableA("QELT_STANDIN_VARIANT", nullptr);
  SetEnvironmentVariableA("QELT_EXPECTED_MESSAGE", nullptr);
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
}

// The driver's log and table counters, as a child test reads them.
struct Driver {
  Driver() {
    HMODULE module = GetModuleHandleA("qelticd.dll");
    count = reinterpret_cast<StandInCallCount>(GetProcAddress(module, "standin_call_count"));
    at = reinterpret_cast<StandInCallAt>(GetProcAddress(module, "standin_call_at"));
    clear = reinterpret_cast<StandInClear>(GetProcAddress(module, "standin_clear"));
    table_calls =
        reinterpret_cast<StandInTableCalls>(GetProcAddress(module, "standin_table_calls"));
  }
  std::vector<const StandInCall*> calls() {
    std::vector<const StandInCall*> all;
    for (unsigned i = 0; i < count(); ++i) all.push_back(at(i));
    return all;
  }
  StandInCallCount count;
  StandInCallAt at;
  StandInClear clear;
  StandInTableCalls table_calls;
};

template <typename F>
F* proxy_function(const char* name) {
  return reinterpret_cast<F*>(GetProcAddress(GetModuleHandleA("opengl32.dll"), name));
}

std::string string_of(GLenum name) {
  auto text = proxy_function<decltype(glGetString)>("glGetString")(name);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "(null)";
}

void tex_image(GLint internal_format, GLsizei width, GLsizei height, GLenum format, GLenum type,
               const void* pixels) {
  proxy_function<decltype(glTexImage2D)>("glTexImage2D")(GL_TEXTURE_2D, 1, internal_format, width,
                                                         height, 0, format, type, pixels);
}

// The proxy's own calls of the C runtime's allocators, counted while patched in.
int g_allocations = 0;
void* counting_malloc(std::size_t size) {
  ++g_allocations;
  return std::malloc(size);
}
void* counting_calloc(std::size_t count, std::size_t size) {
  ++g_allocations;
  return std::calloc(count, size);
}
void* counting_realloc(void* block, std::size_t size) {
  ++g_allocations;
  return std::realloc(block, size);
}
const ImportReplacement kCountingAllocators[] = {
    {"malloc", reinterpret_cast<void*>(&counting_malloc)},
    {"calloc", reinterpret_cast<void*>(&counting_calloc)},
    {"realloc", reinterpret_cast<void*>(&counting_realloc)},
};

#define SKIP_OUTSIDE_SCENARIO() \
  if (!in_scenario()) GTEST_SKIP() << "runs inside a scenario folder"

TEST(HookedPath, RecognisedBuild) {
  expect_child_passes("recognised_build", "", "", "HookedPathEndToEnd");
}

TEST(InScenario, HookedPathEndToEnd) {
  SKIP_OUTSIDE_SCENARIO();
  DebugChannel channel;
  ASSERT_NE(LoadLibraryA("opengl32.dll"), nullptr);
  EXPECT_EQ(DebugChannel::lines(), Strings{});
  Driver driver;

  // Strings: table 0 normally, table 1 while a display list is being recorded.
  EXPECT_EQ(string_of(GL_VENDOR), "Stand-in Vendor and Ostrel");
  proxy_function<decltype(glNewList)>("glNewList")(1, GL_COMPILE);
  EXPECT_EQ(string_of(GL_RENDERER), "Stand-in Renderer/Parlox Build 0106");
  proxy_function<decltype(glEndList)>("glEndList")();
  EXPECT_EQ(driver.table_calls(0), 1u);
  EXPECT_EQ(driver.table_calls(1), 1u);

  // Uploads: each eligible one arrives as blocks of the right size; the rest reach the driver's
  // own glTexImage2D through the table the call came in on.
  std::vector<unsigned char> pixels(16 * 16 * 4, 0x5A);
  struct Case {
    GLint internal_format;
    GLenum format, type;
    GLsizei size;
    GLenum sent_format;  // 0: not compressed
    GLsizei image_size;
  } const cases[] = {
      {0x83F0, GL_RGB, GL_UNSIGNED_BYTE, 16, 0x83F0, 128},
      {0x83F1, GL_RGBA, GL_UNSIGNED_BYTE, 16, 0x83F1, 128},
      {0x83F2, 0x80E0 /* BGR */, GL_UNSIGNED_BYTE, 16, 0x83F2, 256},
      {0x83F3, 0x80E1 /* BGRA */, GL_UNSIGNED_BYTE, 16, 0x83F3, 256},
      {0x83A0, GL_RGBA, GL_UNSIGNED_BYTE, 1, 0x83F0, 8},
      {0x83A2, GL_RGBA, GL_UNSIGNED_BYTE, 2, 0x83F2, 16},
      {0x83F0, GL_RGB, GL_UNSIGNED_BYTE, 2, 0, 0},  // 6-byte rows under the default alignment
      {0x83A3, GL_RGBA, GL_FLOAT, 16, 0, 0},
      {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 16, 0, 0},
  };
  unsigned lookups = 0;  // of the upload entry: once, at the first eligible upload
  for (const Case& c : cases) {
    SCOPED_TRACE(c.internal_format);
    driver.clear();
    unsigned own_calls = driver.table_calls(0);
    tex_image(c.internal_format, c.size, c.size, c.format, c.type, pixels.data());
    std::vector<const StandInCall*> calls;
    for (const StandInCall* call : driver.calls()) {
      if (std::string(call->name) == "wglGetProcAddress")
        ++lookups;
      else if (std::string(call->name) == "glGetIntegerv")
        continue;  // the unpacking state, asked for each upload that could be compressed
      else
        calls.push_back(call);
    }
    ASSERT_EQ(calls.size(), c.sent_format ? 2u : 1u);
    EXPECT_STREQ(calls[0]->name, "glTexImage2D");
    EXPECT_EQ(driver.table_calls(0), own_calls + (c.sent_format ? 0 : 1));
    if (!c.sent_format) continue;
    EXPECT_STREQ(calls[1]->name, "glCompressedTexImage2DARB");
    auto sent = arguments_of<CompressedTexImage2D>(*calls[1]);
    EXPECT_EQ(std::get<2>(sent), c.sent_format);
    EXPECT_EQ(std::get<3>(sent), c.size);
    EXPECT_EQ(std::get<6>(sent), c.image_size);
    EXPECT_EQ(calls[1]->data_size, unsigned(c.image_size));
  }

  EXPECT_EQ(lookups, 1u);

  // A smaller upload after a larger one reuses the surfaces the larger one made.
  std::vector<unsigned char> large(256 * 256 * 4, 0x3C);
  tex_image(0x83F3, 256, 256, GL_RGBA, GL_UNSIGNED_BYTE, large.data());
  driver.clear();
  g_allocations = 0;
  auto counting = patch_imports(GetModuleHandleA("opengl32.dll"), kCountingAllocators, 3);
  ASSERT_FALSE(counting.empty());
  tex_image(0x83F3, 128, 128, GL_RGBA, GL_UNSIGNED_BYTE, large.data());
  restore_imports(counting);
  EXPECT_EQ(g_allocations, 0);
  const StandInCall* last = driver.at(driver.count() - 1);
  ASSERT_STREQ(last->name, "glCompressedTexImage2DARB");
  EXPECT_EQ(std::get<6>(arguments_of<CompressedTexImage2D>(*last)), 128 * 128);

  // Inside a display list the same request comes in on table 1 and goes on through copy 1.
  proxy_function<decltype(glNewList)>("glNewList")(2, GL_COMPILE);
  tex_image(GL_RGBA8, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  proxy_function<decltype(glEndList)>("glEndList")();
  EXPECT_EQ(driver.table_calls(1), 2u);
}

TEST(HookedPath, EachSpoiledFingerprintLeavesAPlainForwarder) {
  struct Case {
    const char* variant;
    const char* message;
  } const cases[] = {
      {"moved-export", "DLL Function Check failed.\n"},
      {"other-date", "DLL Date Check failed.\n"},
      {"tag-not-ended", "DLL Date Check failed.\n"},
      {"count", "DLL Function Count Check failed.\n"},
      {"unreadable-tag", "DLL Check failed. Exception Caught.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    expect_child_passes(std::string("spoiled_") + c.variant, c.variant, c.message,
                        "PlainForwarder");
  }
}

TEST(InScenario, PlainForwarder) {
  SKIP_OUTSIDE_SCENARIO();
  char expected[64] = "";
  GetEnvironmentVariableA("QELT_EXPECTED_MESSAGE", expected, sizeof expected);
  DebugChannel channel;
  ASSERT_NE(LoadLibraryA("opengl32.dll"), nullptr);
  EXPECT_EQ(DebugChannel::lines(), Strings{expected});
  Driver driver;
  EXPECT_EQ(string_of(GL_VENDOR), "Stand-in Vendor");
  std::vector<unsigned char> pixels(8 * 8 * 4, 0x11);
  driver.clear();
  tex_image(0x83F3, 8, 8, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  ASSERT_EQ(driver.count(), 1u);
  EXPECT_STREQ(driver.calls()[0]->name, "glTexImage2D");
  EXPECT_EQ(driver.table_calls(0), 2u);
}

}  // namespace
