// The build fingerprint and the dispatch hooks, against the recognised build's layout laid out in
// memory: every failed check leaves one message and no write; the recognised build gets its four
// slots hooked and keeps its own entries in the copies. (Hooked calls through both tables are shown
// end to end against the stand-in driver.)
#include "dispatch_hooks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "entry_table.h"
#include "fake_platform.h"

namespace qelt {
namespace {

using testing::FakePlatform;
using Strings = std::vector<std::string>;

template <unsigned Table>
const GLubyte* QELT_GLAPI driver_get_string(GLenum) {
  return reinterpret_cast<const GLubyte*>(Table == 0 ? "Vendor of table 0" : "Vendor of table 1");
}

template <unsigned Table>
void QELT_GLAPI driver_tex_image(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                                 const GLvoid*) {}

// The recognised build's fingerprint and tables laid out in memory, behind a recording platform.
struct RecognisedDriver {
  static constexpr std::size_t kImageBytes =
      kTableOffsets[1] + kDispatchWords * sizeof(DispatchWord);

  RecognisedDriver() : image_(kImageBytes / sizeof(DispatchWord) + 1) {
    reference_ = reinterpret_cast<std::uintptr_t>(image_.data());
    state_.own = self_;
    state_.underlying = driver_;
    table_[slot::glNewList] = reinterpret_cast<void*>(reference_ + kReferenceFromNewList);
    for (const ExportOffset* row = kExportOffsets; row->name != nullptr; ++row)
      fake_.place_symbol(driver_, row->name, reinterpret_cast<void*>(reference_ + row->offset));
    std::memcpy(at(kVersionTagOffset), kVersionTag, sizeof kVersionTag);
    for (unsigned t = 0; t < kDispatchTables; ++t)
      for (unsigned w = 1; w < kDispatchWords; ++w) words(t)[w] = 0x1000 * (t + 1) + w;
    for (unsigned t = 0; t < kDispatchTables; ++t) words(t)[0] = kTableEntryCount;
    words(0)[kGetStringWord] = reinterpret_cast<DispatchWord>(&driver_get_string<0>);
    words(1)[kGetStringWord] = reinterpret_cast<DispatchWord>(&driver_get_string<1>);
    words(0)[kTexImage2DWord] = reinterpret_cast<DispatchWord>(&driver_tex_image<0>);
    words(1)[kTexImage2DWord] = reinterpret_cast<DispatchWord>(&driver_tex_image<1>);
  }

  unsigned char* at(std::uintptr_t offset) {
    return reinterpret_cast<unsigned char*>(reference_ + offset);
  }
  DispatchWord* words(unsigned table) {
    return reinterpret_cast<DispatchWord*>(at(kTableOffsets[table]));
  }
  std::vector<DispatchWord> snapshot() const { return image_; }
  void install() { install_dispatch_hooks(fake_.platform(), state_, table_); }

  FakePlatform fake_;
  Module self_ = fake_.add_module({"qeltogl_at_another_name.dll"});
  Module driver_ = fake_.add_module({"qelticd.dll"});
  LoaderState state_;
  void* table_[kEntryCount] = {};
  std::vector<DispatchWord> image_;
  std::uintptr_t reference_ = 0;
};

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
