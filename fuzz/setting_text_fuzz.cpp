// The settings' text forms against whatever the registry could return: a query's status, value
// type, buffer and byte count, then the text read as each number type.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "fuzz_input.h"
#include "setting_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const long status = input.pick(4) == 0 ? 2 : 0;  // ERROR_FILE_NOT_FOUND now and then
  const DWORD type = input.pick(3) == 0 ? static_cast<DWORD>(input.pick(12)) : 1;  // REG_SZ
  const DWORD returned = input.take<DWORD>() % (2 * kSettingReadBufferSize);
  const float number = input.take<float>();
  // The buffer is exactly the store's size: reading one byte beyond it is an ASan finding.
  const std::vector<std::uint8_t> bytes = input.bytes(kSettingReadBufferSize);
  std::vector<char> buffer(kSettingReadBufferSize);
  std::copy(bytes.begin(), bytes.end(), buffer.begin());

  const std::optional<std::string> text =
      StoredRegistryText(status, type, buffer.data(), returned, buffer.size());
  FUZZ_CHECK(text.has_value() == (status == 0 && type == 1));
  if (text) {
    FUZZ_CHECK(text->size() <= std::min<std::size_t>(returned, buffer.size()));
    FUZZ_CHECK(text->find('\0') == std::string::npos);
    // Integers read as the C library reads decimal text, saturating out of range.
    const long long wide = std::strtoll(text->c_str(), nullptr, 10);
    const long long clamped =
        std::min<long long>(std::max<long long>(wide, INT32_MIN), INT32_MAX);
    FUZZ_CHECK(ParseIntegerSetting(*text) == clamped);
    const float as_float = ParseFloatSetting(*text);
    const double as_double = ParseDoubleSetting(*text);
    FUZZ_CHECK(std::isnan(as_double) == std::isnan(as_float));
    if (std::fabs(as_double) > std::numeric_limits<float>::max()) {
      FUZZ_CHECK(std::isinf(as_float) && std::signbit(as_float) == std::signbit(as_double));
    }
  }

  // What is written reads back: integers exactly, floats within "%f"'s six decimals.
  const std::int32_t integer = static_cast<std::int32_t>(returned) ^ static_cast<std::int32_t>(
                                                                       input.take<std::uint32_t>());
  FUZZ_CHECK(ParseIntegerSetting(FormatIntegerSetting(integer)) == integer);
  if (std::isfinite(number)) {
    const float back = ParseFloatSetting(FormatFloatSetting(number));
    const double tolerance = 5e-7 + std::fabs(number) * 1e-7;
    FUZZ_CHECK(std::fabs(static_cast<double>(back) - number) <= tolerance);
  }
  return 0;
}
