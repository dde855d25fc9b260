// The fingerprint-and-hook step against driver memory spoiled at random: moved or missing exports,
// changed tag bytes, other table counts, any byte of the image, a fault under the guard. The
// driver's memory is written only when every check passes, then exactly in its four hook slots;
// otherwise exactly one message says which check failed.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "recognised_driver.h"

namespace {

using namespace qelt;
using qelt::testing::RecognisedDriver;

// The message the step owes the laid-out driver, judged apart from the product: the first failed
// check in the order they run (exports outside the guard, then tag and counts under it), or none.
const char* expected_message(RecognisedDriver& d) {
  for (const ExportOffset* row = kExportOffsets; row->name != nullptr; ++row) {
    if (d.fake_.symbol(d.driver_, row->name) !=
        reinterpret_cast<void*>(d.reference_ + row->offset)) {
      return "DLL Function Check failed.\n";
    }
  }
  if (d.fake_.guard_faults) return "DLL Check failed. Exception Caught.\n";
  if (std::memcmp(d.at(kVersionTagOffset), kVersionTag, sizeof kVersionTag) != 0) {
    return "DLL Date Check failed.\n";
  }
  if (d.words(0)[0] != kTableEntryCount || d.words(1)[0] != kTableEntryCount) {
    return "DLL Function Count Check failed.\n";
  }
  return nullptr;
}

// One laid-out driver for the whole run, put back to the recognised build before each input: making
// its megabyte of tables anew for every input would leave little time for fuzzing.
RecognisedDriver& pristine_driver() {
  static RecognisedDriver driver;
  static const std::vector<DispatchWord> image = driver.snapshot();
  std::memcpy(driver.image_.data(), image.data(), image.size() * sizeof(DispatchWord));
  for (const ExportOffset* row = kExportOffsets; row->name != nullptr; ++row) {
    driver.fake_.place_symbol(driver.driver_, row->name,
                              reinterpret_cast<void*>(driver.reference_ + row->offset));
  }
  driver.fake_.guard_faults = false;
  driver.fake_.messages.clear();
  driver.fake_.pinned.clear();
  return driver;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  RecognisedDriver& d = pristine_driver();
  for (std::size_t spoils = input.pick(4); spoils > 0; --spoils) {
    const ExportOffset& row = kExportOffsets[input.pick(kExportOffsetRows)];
    switch (input.pick(6)) {
      case 0:
        *d.at(kVersionTagOffset + input.pick(sizeof kVersionTag + 4)) = input.take<std::uint8_t>();
        break;
      case 1:
        d.words(input.pick(kDispatchTables))[0] =
            input.pick(2) ? kTableEntryCount - 1 + input.pick(3) : input.take<DispatchWord>();
        break;
      case 2:
        d.fake_.place_symbol(d.driver_, row.name,
                             reinterpret_cast<void*>(d.reference_ + row.offset +
                                                     input.take<std::int8_t>()));
        break;
      case 3:
        d.fake_.place_symbol(d.driver_, row.name, nullptr);  // not exported
        break;
      case 4:
        d.fake_.guard_faults = true;
        break;
      default:
        reinterpret_cast<unsigned char*>(d.image_.data())[input.pick(RecognisedDriver::kImageBytes)] =
            input.take<std::uint8_t>();
        break;
    }
  }
  const char* const message = expected_message(d);
  // Kept between inputs too: a fresh megabyte per input costs more than the step under test.
  static std::vector<DispatchWord> before;
  before = d.image_;
  d.install();
  const std::vector<DispatchWord>& after = d.image_;

  if (message != nullptr) {
    FUZZ_CHECK(d.fake_.messages == std::vector<std::string>{message});
    FUZZ_CHECK(after == before);
    FUZZ_CHECK(d.fake_.pinned.empty());
    return 0;
  }
  FUZZ_CHECK(d.fake_.messages.empty());
  // Only the four slots changed, each to its hook.
  std::vector<DispatchWord>& hooked = before;
  const auto word_of = [&d](unsigned table, unsigned word) {
    return static_cast<std::size_t>(&d.words(table)[word] - d.image_.data());
  };
  hooked[word_of(0, kGetStringWord)] = reinterpret_cast<DispatchWord>(&qelt_get_string_hook0);
  hooked[word_of(1, kGetStringWord)] = reinterpret_cast<DispatchWord>(&qelt_get_string_hook1);
  hooked[word_of(0, kTexImage2DWord)] = reinterpret_cast<DispatchWord>(&qelt_tex_image_2d_hook0);
  hooked[word_of(1, kTexImage2DWord)] = reinterpret_cast<DispatchWord>(&qelt_tex_image_2d_hook1);
  FUZZ_CHECK(after == hooked);
  return 0;
}
