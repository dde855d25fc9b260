// The build fingerprint and the dispatch hooks, against the recognised build's layout laid out in
// memory: every failed check leaves one message and no write; the recognised build gets its four
// slots hooked and keeps its own entries in the copies. (Hooked calls through both tables are shown
// end to end against the stand-in driver.)
#include "dispatch_hooks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "recognised_driver.h"

namespace qelt {
namespace {

using testing::RecognisedDriver;
using Strings = std::vector<std::string>;

TEST(DispatchHooks, EachFailedCheckLeavesOneMessageAndNoWrite) {
  using H = RecognisedDriver;
  struct Case {
    const char* what;
    void (*spoil)(H&);
    const char* message;
  } const cases[] = {
      {"moved export", [](H& h) {
         h.fake_.place_symbol(h.driver_, "wglSwapBuffers",
                              reinterpret_cast<void*>(h.reference_ + 0xC4A0 + 1));
       }, "DLL Function Check failed.\n"},
      {"missing export", [](H& h) { h.fake_.remove_symbol(h.driver_, "DrvSetContext"); },
       "DLL Function Check failed.\n"},
      {"another date", [](H& h) { *h.at(kVersionTagOffset + 10) = '7'; },
       "DLL Date Check failed.\n"},
      {"tag not ended", [](H& h) { *h.at(kVersionTagOffset + 18) = ' '; },
       "DLL Date Check failed.\n"},
      {"table 1 count", [](H& h) { h.words(1)[0] = kTableEntryCount + 1; },
       "DLL Function Count Check failed.\n"},
      {"fault under the guard", [](H& h) { h.fake_.guard_faults = true; },
       "DLL Check failed. Exception Caught.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecognisedDriver driver;
    c.spoil(driver);
    auto before = driver.snapshot();
    driver.install();
    EXPECT_EQ(driver.fake_.messages, Strings{c.message});
    EXPECT_TRUE(driver.snapshot() == before) << "the driver's memory was written";
    EXPECT_TRUE(driver.fake_.pinned.empty());
  }
}

TEST(DispatchHooks, RecognisedBuildIsHookedAndItsOwnEntriesKept) {
  RecognisedDriver d;
  std::vector<DispatchWord> original[kDispatchTables];
  for (unsigned t = 0; t < kDispatchTables; ++t)
    original[t].assign(d.words(t), d.words(t) + kDispatchWords);
  d.install();
  EXPECT_TRUE(d.fake_.messages.empty());
  EXPECT_EQ(d.words(0)[kGetStringWord], reinterpret_cast<DispatchWord>(&qelt_get_string_hook0));
  EXPECT_EQ(d.words(1)[kGetStringWord], reinterpret_cast<DispatchWord>(&qelt_get_string_hook1));
  EXPECT_EQ(d.words(0)[kTexImage2DWord], reinterpret_cast<DispatchWord>(&qelt_tex_image_2d_hook0));
  EXPECT_EQ(d.words(1)[kTexImage2DWord], reinterpret_cast<DispatchWord>(&qelt_tex_image_2d_hook1));
  EXPECT_EQ(d.fake_.pinned, std::vector<Module>{d.self_}) << "hooks point into the proxy";

  // A second instance finds the hooks in place and leaves tables and copies alone.
  auto hooked = d.snapshot();
  d.install();
  EXPECT_TRUE(d.fake_.messages.empty());
  EXPECT_TRUE(d.snapshot() == hooked);
  for (unsigned t = 0; t < kDispatchTables; ++t)
    for (unsigned w = 0; w < kDispatchWords; ++w)
      ASSERT_EQ(dispatch_copy_word(t, w), original[t][w]) << "copy " << t << " word " << w;
}

}  // namespace
}  // namespace qelt
