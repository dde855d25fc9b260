// The settings' text forms against whatever the registry could return: a query's status, value
// type, buffer and byte count, then the text read as each number type.
#include <algorithm>
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
  const double wide_number = input.take<double>();
  // The store's buffer may be any size up to its own; the query's byte count may claim more. The
  // bytes the query returned sit at the end of an allocation of exactly that many bytes, so a
  // read past the returned count is an ASan finding.
  const std::size_t buffer_size = 1 + input.pick(kSettingReadBufferSize);
  const std::size_t readable = std::min<std::size_t>(returned, buffer_size);
  const std::vector<std::uint8_t> bytes = input.bytes(readable);
  std::vector<char> buffer(readable);
  std::copy(bytes.begin(), bytes.end(), buffer.begin());
  const std::optional<std::string> text =
      StoredRegistryText(status, type, buffer.data(), returned, buffer_size);
  FUZZ_CHECK(text.has_value() == (status == 0 && type == 1));
  if (text) {
    // The returned bytes up to the first NUL, never beyond the buffer.
    const std::string expected(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
    FUZZ_CHECK(*text == expected);
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
  if (std::isfinite(wide_number)) {
    const double back = ParseDoubleSetting(FormatDoubleSetting(wide_number));
    FUZZ_CHECK(std::fabs(back - wide_number) <= 5e-7 + std::fabs(wide_number) * 1e-15);
  }
  return 0;
}
