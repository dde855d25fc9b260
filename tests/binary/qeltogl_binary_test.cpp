// Static checks of the built proxy DLLs: the export table, the forwarding stubs byte by byte, the
// imports and the version resource. The 32-bit DLL is the product and cannot run here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <memory>
#include <ostream>
#include <string>

#include "pe_image.h"

namespace {

struct Build {
  const char* label;
  std::string path;
  std::uint16_t machine;
  unsigned word;
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.label; }

struct Slot {
  unsigned index;
  bool stub;  // false for the proxy's own procedure lookups
};

const std::map<std::string, Slot>& slots() {
  static const std::map<std::string, Slot> by_name = {
#define QELT_DRV(name, slot, ordinal, stub) {#name, {slot, stub == 1}},
#define QELT_GL QELT_DRV
#define QELT_WGL QELT_DRV
#include "entry_points.inc"
  };
  return by_name;
}

class ProxyBinary : public ::testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    // Per-preset runs may not have built the other architecture; make test builds both first.
    if (!std::filesystem::exists(GetParam().path))
      GTEST_SKIP() << GetParam().path << " is not built: cmake --build --preset "
                   << GetParam().label;
    image_ = std::make_unique<PeImage>(GetParam().path);
    ASSERT_EQ(image_->error(), "");
  }
  const PeImage& image() const { return *image_; }

  // Where the stub at `rva` jumps through, if it is exactly one `jmp [slot]`.
  bool jump_slot(std::uint32_t rva, std::uint32_t& slot_rva) const {
    const std::uint8_t* code = image().at(rva, 6);
    if (code == nullptr || code[0] != 0xFF || code[1] != 0x25) return false;
    std::int32_t operand;
    std::memcpy(&operand, code + 2, 4);
    slot_rva = image().is_64()
                   ? static_cast<std::uint32_t>(rva + 6 + operand)  // rip-relative
                   : static_cast<std::uint32_t>(static_cast<std::uint32_t>(operand) -
                                                image().image_base());  // absolute
    return true;
  }

 private:
  std::unique_ptr<PeImage> image_;
};

TEST_P(ProxyBinary, IsTheExpectedArchitecture) {
  EXPECT_EQ(image().machine(), GetParam().machine);
  EXPECT_EQ(image().is_64(), GetParam().word == 8);
}

TEST_P(ProxyBinary, ExportsEveryNameUndecoratedWithOrdinalsInByteOrder) {
  EXPECT_EQ(image().export_name(), "qeltogl.dll");
  EXPECT_EQ(image().ordinal_base(), 1u);
  const auto& exports = image().exports();
  ASSERT_EQ(exports.size(), 377u);

  std::vector<std::string> expected;
  for (const auto& entry : slots()) expected.push_back(entry.first);  // std::map: byte order
  for (unsigned i = 0; i < exports.size(); ++i) {
    EXPECT_EQ(exports[i].name, expected[i]);
    EXPECT_EQ(exports[i].ordinal, i + 1) << exports[i].name;
    EXPECT_EQ(exports[i].name.find_first_of("@_"), std::string::npos) << exports[i].name;
  }
}

TEST_P(ProxyBinary, EveryStubIsOneIndirectJumpThroughItsOwnSlot) {
  const unsigned word = GetParam().word;
  std::map<std::uint32_t, std::string> stubs;  // by address
  std::vector<std::string> own;
  std::uint32_t table = 0;
  bool have_table = false;
  for (const auto& e : image().exports()) {
    std::uint32_t slot_rva = 0;
    if (!slots().at(e.name).stub) {
      own.push_back(e.name);
      continue;
    }
    ASSERT_TRUE(jump_slot(e.rva, slot_rva)) << e.name << " does not start with jmp [slot]";
    unsigned slot = slots().at(e.name).index;
    if (!have_table) {
      table = slot_rva - word * slot;
      have_table = true;
    }
    EXPECT_EQ(slot_rva, table + word * slot) << e.name;
    stubs[e.rva] = e.name;

    const PeImage::Section* code = image().section_of(e.rva);
    ASSERT_NE(code, nullptr);
    EXPECT_TRUE(code->characteristics & 0x20000000u) << e.name << " is not in executable code";
  }

  // The table is writable data (filled at attach), 377 words long.
  const PeImage::Section* data = image().section_of(table);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data, image().section_of(table + word * 377 - 1));
  EXPECT_TRUE(data->characteristics & 0x80000000u) << "entry table in " << data->name;
  EXPECT_FALSE(data->characteristics & 0x20000000u) << "entry table in " << data->name;

  // The stubs follow each other with nothing in between: no stub holds more than its jump.
  EXPECT_EQ(stubs.size(), 375u);
  for (auto next = std::next(stubs.begin()); next != stubs.end(); ++next)
    EXPECT_EQ(next->first - std::prev(next)->first, 6u) << next->second;
  EXPECT_EQ(own, (std::vector<std::string>{"DrvGetProcAddress", "wglGetProcAddress"}));
}

TEST_P(ProxyBinary, ImportsOnlyFromSystemLibraries) {
  const std::vector<std::string> system = {"kernel32.dll", "msvcrt.dll", "user32.dll",
                                           "gdi32.dll", "advapi32.dll"};
  ASSERT_FALSE(image().imports().empty());
  for (std::string name : image().imports()) {
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    EXPECT_NE(std::find(system.begin(), system.end(), name), system.end()) << name;
  }
}

TEST_P(ProxyBinary, CarriesAVersionResource) {
  EXPECT_TRUE(image().has_version_naming(u"qeltogl.dll"));
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), ::tolower);
  return text;
}

// "library function" pairs from the list of functions the oldest supported systems export.
std::set<std::string> era_imports() {
  std::set<std::string> allowed;
  std::ifstream list(QELT_ERA_IMPORTS);
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string library, function;
    if (fields >> library >> function && library[0] != '#')
      allowed.insert(lower(library) + " " + function);
  }
  return allowed;
}

// The shipped 32-bit DLLs must load on Windows 98 SE, ME, 2000 and XP.
TEST(Win32Imports, EveryImportIsListedAsExportedByTheOldestSystems) {
  const std::set<std::string> allowed = era_imports();
  ASSERT_FALSE(allowed.empty()) << "cannot read " << QELT_ERA_IMPORTS;
  for (const char* dll : {"qeltogl.dll", "qeltvbtv.dll"}) {
    const std::string path = std::string(QELT_WIN32_DIR) + "/" + dll;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is not built";
    PeImage image(path);
    ASSERT_EQ(image.error(), "");
    ASSERT_FALSE(image.imported_functions().empty());
    for (const PeImage::Import& import : image.imported_functions())
      EXPECT_EQ(allowed.count(lower(import.library) + " " + import.function), 1u)
          << dll << " imports " << import.library << "!" << import.function
          << ", which is not in " << QELT_ERA_IMPORTS;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Builds, ProxyBinary,
    ::testing::Values(Build{"win32", QELT_WIN32_DIR "/qeltogl.dll", 0x14C, 4},
                      Build{"win64", QELT_WIN64_DIR "/qeltogl.dll", 0x8664, 8}),
    [](const ::testing::TestParamInfo<Build>& info) { return std::string(info.param.label); });

}  // namespace
