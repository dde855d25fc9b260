// The attach/detach entry and the search for the underlying driver, against recorded system calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry_table.h"
#include "fake_platform.h"
#include "loader.h"

namespace qelt {
namespace {

using testing::FakePlatform;
using Strings = std::vector<std::string>;

const std::string kSystemCandidate = "C:\\WINDOWS\\SYSTEM\\qeltogl.dll";
// A bound driver that is not the one recognised build leaves this one line and stays unhooked.
const std::string kNotTheRecognisedBuild = "DLL Function Check failed.\n";

class LoaderTest : public ::testing::Test {
 protected:
  bool attach(Module self) {
    return process_entry(fake.platform(), state, table, self, kProcessAttach);
  }
  bool detach() { return process_entry(fake.platform(), state, table, state.own, kProcessDetach); }

  void expect_bound_to(Module driver) {
    for (unsigned i = 0; i < kEntryCount; ++i) {
      ASSERT_EQ(table[i], fake.symbol(driver, kEntryNames[i])) << kEntryNames[i];
    }
  }

  FakePlatform fake;
  LoaderState state;
  void* table[kEntryCount] = {};
};

TEST_F(LoaderTest, AsSystemLibraryNameBindsVendorDriverAndKeepsBothLoaded) {
  Module proxy = fake.add_module({"opengl32.dll"});
  Module vendor = fake.add_module({"qelticd.dll"});

  ASSERT_TRUE(attach(proxy));

  EXPECT_EQ(fake.loads, (Strings{"qeltogl.dll", "opengl32.dll", "qelticd.dll", "qelticd.dll",
                                 "opengl32.dll"}));
  EXPECT_STREQ(state.own_name, "opengl32.dll");
  EXPECT_STREQ(state.candidate_name, "qelticd.dll");
  EXPECT_EQ(state.underlying, vendor);
  EXPECT_EQ(fake.references[vendor], 2);
  EXPECT_EQ(fake.references[proxy], 1);
  EXPECT_EQ(fake.messages, Strings{kNotTheRecognisedBuild});
  expect_bound_to(vendor);
}

TEST_F(LoaderTest, VendorOnlyUnderProxyNameIsProbedThenBound) {
  Module proxy = fake.add_module({"opengl32.dll"});
  Module vendor = fake.add_module({"qeltogl.dll"});

  ASSERT_TRUE(attach(proxy));

  EXPECT_EQ(fake.loads, (Strings{"qeltogl.dll", "opengl32.dll", "qelticd.dll", "qeltogl.dll",
                                 "qeltogl.dll", "opengl32.dll"}));
  EXPECT_EQ(fake.frees, (std::vector<Module>{vendor, proxy}));
  EXPECT_STREQ(state.own_name, "opengl32.dll");
  EXPECT_STREQ(state.candidate_name, "qeltogl.dll");
  EXPECT_EQ(fake.references[vendor], 2);
  EXPECT_EQ(fake.messages, Strings{kNotTheRecognisedBuild});
  expect_bound_to(vendor);
}

TEST_F(LoaderTest, NeverBindsToItselfAndFailsWhenOnlyItselfIsFound) {
  Module proxy = fake.add_module({"qeltogl.dll", kSystemCandidate});

  EXPECT_FALSE(attach(proxy));

  EXPECT_EQ(fake.messages, (Strings{"hThis == hImported -> qeltogl.dll\n",
                                    "hThis == hImported -> %SYSTEM_DIR%\\qeltogl.dll\n",
                                    "qelticd/qeltogl not found.\n"}));
  EXPECT_EQ(fake.loads, (Strings{"qeltogl.dll", "qelticd.dll", "qeltogl.dll", kSystemCandidate}));
  EXPECT_EQ(fake.references[proxy], 0);
  EXPECT_EQ(state.underlying, nullptr);
  EXPECT_EQ(state.candidate_name, nullptr);
  EXPECT_STREQ(state.own_name, "qeltogl.dll");
}

TEST_F(LoaderTest, SelfUnderVendorNameIsDroppedWithItsMessage) {
  Module proxy = fake.add_module({"qelticd.dll", "qeltogl.dll"});
  Module vendor = fake.add_module({kSystemCandidate});

  ASSERT_TRUE(attach(proxy));

  EXPECT_EQ(fake.messages, (Strings{"hThis == hImported -> qelticd.dll\n",
                                    "hThis == hImported -> qeltogl.dll\n", kNotTheRecognisedBuild}));
  EXPECT_EQ(state.candidate_name, kSystemCandidate);
  EXPECT_EQ(fake.references[vendor], 2);
  EXPECT_EQ(fake.references[proxy], 1);  // the one extra reference under its own name
  expect_bound_to(vendor);
}

TEST_F(LoaderTest, NoCandidateAtAllReportsNotFound) {
  Module proxy = fake.add_module({"opengl32.dll"});

  EXPECT_FALSE(attach(proxy));

  EXPECT_EQ(fake.messages, Strings{"qelticd/qeltogl not found.\n"});
  EXPECT_EQ(fake.references[proxy], 0);
}

TEST_F(LoaderTest, MissingEntryPointRefusesSilentlyAndDetachReleasesOnce) {
  Module proxy = fake.add_module({"opengl32.dll"});
  Module vendor = fake.add_module({"qelticd.dll"});
  fake.remove_symbol(vendor, "wglGetDefaultProcAddress");

  EXPECT_FALSE(attach(proxy));

  EXPECT_TRUE(fake.messages.empty());
  EXPECT_EQ(state.underlying, vendor);
  EXPECT_EQ(fake.references[vendor], 1);  // no extra references after a failed bind
  EXPECT_EQ(table[slot::DrvReleaseContext], fake.symbol(vendor, "DrvReleaseContext"));
  EXPECT_EQ(table[slot::wglGetDefaultProcAddress], nullptr);
  EXPECT_EQ(table[slot::wglGetProcAddress], nullptr);  // resolution stops at the first gap

  EXPECT_TRUE(detach());
  EXPECT_EQ(fake.frees.back(), vendor);
  EXPECT_EQ(fake.references[vendor], 0);
}

TEST_F(LoaderTest, EachSpecialEntryPointIsRequiredToo) {
  for (const char* name : {"DrvGetProcAddress", "DrvSetContext", "glGetString", "glTexImage2D",
                           "wglGetProcAddress", "DrvReleaseContext", "glViewport"}) {
    FakePlatform fresh;
    LoaderState fresh_state;
    void* fresh_table[kEntryCount] = {};
    Module proxy = fresh.add_module({"opengl32.dll"});
    Module vendor = fresh.add_module({"qelticd.dll"});
    fresh.remove_symbol(vendor, name);
    EXPECT_FALSE(process_entry(fresh.platform(), fresh_state, fresh_table, proxy, kProcessAttach))
        << name;
    EXPECT_TRUE(fresh.messages.empty()) << name;
  }
}

TEST_F(LoaderTest, SecondAttachReturnsAtOnce) {
  Module proxy = fake.add_module({"opengl32.dll"});
  fake.add_module({"qelticd.dll"});
  ASSERT_TRUE(attach(proxy));
  auto loads = fake.loads.size();

  EXPECT_TRUE(attach(proxy));
  EXPECT_EQ(fake.loads.size(), loads);
}

TEST_F(LoaderTest, DetachReleasesOneReferenceAndKeepsTheHandle) {
  Module proxy = fake.add_module({"opengl32.dll"});
  Module vendor = fake.add_module({"qelticd.dll"});
  ASSERT_TRUE(attach(proxy));

  EXPECT_TRUE(detach());
  EXPECT_EQ(fake.references[vendor], 1);
  EXPECT_EQ(fake.references[proxy], 1);
  EXPECT_EQ(state.underlying, vendor);
}

TEST_F(LoaderTest, ThreadNotificationsAndUnboundDetachDoNothing) {
  Module proxy = fake.add_module({"opengl32.dll"});
  fake.add_module({"qelticd.dll"});
  for (unsigned reason : {2u, 3u, 0u, 7u}) {
    EXPECT_TRUE(process_entry(fake.platform(), state, table, proxy, reason));
  }
  EXPECT_TRUE(fake.loads.empty());
  EXPECT_TRUE(fake.frees.empty());
  EXPECT_EQ(state.own, proxy);  // recorded on every call
}

// Only the system directory's file could be the driver; the proxy is not found under its names.
using SystemDirectoryTest = LoaderTest;

TEST_F(SystemDirectoryTest, LongestPathThatFitsIsTried) {
  std::string dir(511 - 12, 'd');  // 499 + "\qeltogl.dll" = 511 characters
  fake.system_dir = dir;
  Module driver = fake.add_module({dir + "\\qeltogl.dll"});

  ASSERT_TRUE(attach(reinterpret_cast<Module>(0x1)));
  EXPECT_EQ(state.underlying, driver);
  EXPECT_EQ(std::string(state.candidate_name), dir + "\\qeltogl.dll");
}

TEST_F(SystemDirectoryTest, PathOneCharacterTooLongIsSkipped) {
  fake.system_dir = std::string(500, 'd');
  EXPECT_FALSE(attach(reinterpret_cast<Module>(0x1)));
  EXPECT_EQ(fake.loads.back(), "qeltogl.dll");
  EXPECT_EQ(fake.messages, Strings{"qelticd/qeltogl not found.\n"});
}

TEST_F(SystemDirectoryTest, DirectoryLongerThanTheBufferIsSkipped) {
  fake.system_dir = std::string(600, 'd');
  EXPECT_FALSE(attach(reinterpret_cast<Module>(0x1)));
  EXPECT_EQ(fake.loads.back(), "qeltogl.dll");
}

TEST_F(SystemDirectoryTest, FailingDirectoryQueryIsSkipped) {
  fake.system_dir_fails = true;
  EXPECT_FALSE(attach(reinterpret_cast<Module>(0x1)));
  EXPECT_EQ(fake.loads.back(), "qeltogl.dll");
  EXPECT_EQ(fake.messages, Strings{"qelticd/qeltogl not found.\n"});
}

}  // namespace
}  // namespace qelt
