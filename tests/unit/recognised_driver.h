// The recognised build's fingerprint and dispatch tables laid out in process memory, behind a
// recording platform: what the fingerprint-and-hook step is run against by the tests and the fuzzer.
#pragma once

#include <cstring>
#include <vector>

#include "dispatch_hooks.h"
#include "entry_table.h"
#include "fake_platform.h"

namespace qelt::testing {

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

}  // namespace qelt::testing
