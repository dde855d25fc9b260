// The proxy in a real loader: which file it binds under which name, its messages, and the
// references it leaves. Each case runs in a fresh process inside its own application folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "debug_channel.h"
#include "scenario.h"

namespace {

using Strings = std::vector<std::string>;

void expect_child_passes(const std::string& folder,
                         const std::vector<std::pair<std::string, std::string>>& files,
                         const std::string& child_test) {
  ScenarioRun run = run_in_scenario(folder, files, "InScenario." + child_test);
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
}

// Counts the references a module holds by releasing them one at a time.
int release_all(const char* name) {
  int count = 0;
  while (HMODULE module = GetModuleHandleA(name)) {
    FreeLibrary(module);
    ++count;
  }
  return count;
}

#define SKIP_OUTSIDE_SCENARIO() \
  if (!in_scenario()) GTEST_SKIP() << "runs inside a scenario folder"

TEST(ProxyLoad, AsOpenGL32BesideVendorDriver) {
  expect_child_passes("opengl32_beside_qelticd",
                      {{"qeltogl.dll", "opengl32.dll"}, {"standin_icd.dll", "qelticd.dll"}},
                      "AsOpenGL32BesideVendorDriver");
}

TEST(InScenario, AsOpenGL32BesideVendorDriver) {
  SKIP_OUTSIDE_SCENARIO();
  DebugChannel channel;
  HMODULE proxy = LoadLibraryA("opengl32.dll");
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(DebugChannel::lines(), Strings{});
  ASSERT_NE(GetModuleHandleA("qelticd.dll"), nullptr);

  // Ours plus the proxy's own extra reference; its detach then drops one of the driver's two.
  EXPECT_EQ(release_all("opengl32.dll"), 2);
  EXPECT_EQ(release_all("qelticd.dll"), 1);
}

TEST(ProxyLoad, VendorDriverOnlyUnderTheProxyName) {
  expect_child_passes("opengl32_beside_qeltogl",
                      {{"qeltogl.dll", "opengl32.dll"}, {"standin_icd.dll", "qeltogl.dll"}},
                      "VendorDriverOnlyUnderTheProxyName");
}

TEST(InScenario, VendorDriverOnlyUnderTheProxyName) {
  SKIP_OUTSIDE_SCENARIO();
  DebugChannel channel;
  ASSERT_NE(LoadLibraryA("opengl32.dll"), nullptr);
  EXPECT_EQ(DebugChannel::lines(), Strings{});
  HMODULE driver = GetModuleHandleA("qeltogl.dll");
  ASSERT_NE(driver, nullptr);
  EXPECT_NE(GetProcAddress(driver, "standin_call_count"), nullptr);
  EXPECT_EQ(release_all("qeltogl.dll"), 2);
}

TEST(ProxyLoad, AsQeltoglWithoutVendorDriver) {
  expect_child_passes("qeltogl_alone", {{"qeltogl.dll", "qeltogl.dll"}},
                      "AsQeltoglWithoutVendorDriver");
}

TEST(InScenario, AsQeltoglWithoutVendorDriver) {
  SKIP_OUTSIDE_SCENARIO();
  DebugChannel channel;
  EXPECT_EQ(LoadLibraryA("qeltogl.dll"), nullptr);
  EXPECT_EQ(DebugChannel::lines(),
            (Strings{"hThis == hImported -> qeltogl.dll\n", "qelticd/qeltogl not found.\n"}));
  EXPECT_EQ(GetModuleHandleA("qeltogl.dll"), nullptr);
}

TEST(ProxyLoad, MissingEntryPointRefusesSilently) {
  expect_child_passes("missing_entry_point",
                      {{"qeltogl.dll", "opengl32.dll"}, {"standin_icd_noproc.dll", "qelticd.dll"}},
                      "MissingEntryPointRefusesSilently");
}

TEST(InScenario, MissingEntryPointRefusesSilently) {
  SKIP_OUTSIDE_SCENARIO();
  DebugChannel channel;
  EXPECT_EQ(LoadLibraryA("opengl32.dll"), nullptr);
  EXPECT_EQ(DebugChannel::lines(), Strings{});
  // The detach that follows the refused attach released the driver it had loaded.
  EXPECT_EQ(GetModuleHandleA("qelticd.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("opengl32.dll"), nullptr);
}

}  // namespace
