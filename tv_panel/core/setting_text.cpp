#include "setting_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <clocale>
#include <cstdlib>
#include <limits>

namespace {

// Room for any int in "%d" and any double in "%f" (at most 309 digits, sign and six decimals).
template <typename Value>
std::string Printed(const char* format, Value value) {
  char text[328];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decimal point of the process's current locale, which printf and strtod follow. The panel
// runs inside the shell's process, where any module may change the locale; the stored texts keep
// the "C" form whatever it is, so that a saved 1.3 never reads back as 1.
std::string LocaleDecimalPoint() {
  const char* point = std::localeconv()->decimal_point;
  return point != nullptr && *point != '\0' ? point : ".";
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::string PrintedInCForm(double value) {
  std::string text = Printed("%f", value);
  const std::string point = LocaleDecimalPoint();
  if (point != ".") {
    ReplaceAll(text, point, ".");
  }
  return text;
}

}  // namespace

std::string FormatIntegerSetting(std::int32_t value) {
  return Printed("%d", static_cast<int>(value));
}

std::string FormatFloatSetting(float value) { return PrintedInCForm(static_cast<double>(value)); }

std::string FormatDoubleSetting(double value) { return PrintedInCForm(value); }

std::int32_t ParseIntegerSetting(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size() && IsCSpace(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
               : static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max());
  std::int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = std::min(limit, magnitude * 10 + (text[at] - '0'));
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

double ParseDoubleSetting(const std::string& text) {
  std::string local = text;
  const std::string point = LocaleDecimalPoint();
  if (point != ".") {
    // Read as the "C" locale would: its point is '.', and the locale's own point ends the number.
    local.erase(std::min(local.find(point), local.size()));
    ReplaceAll(local, ".", point);
  }
  return std::strtod(local.c_str(), nullptr);
}

float ParseFloatSetting(const std::string& text) {
  const double value = ParseDoubleSetting(text);
  if (std::isnan(value)) {
    return std::numeric_limits<float>::quiet_NaN();
  }
  if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    const float infinity = std::numeric_limits<float>::infinity();
    return value > 0 ? infinity : -infinity;
  }
  return static_cast<float>(value);
}

std::string CurrentSettingText(const SettingBinding& binding) {
  switch (binding.type) {
    case kSettingInteger:
      return FormatIntegerSetting(*binding.integerVariable);
    case kSettingText:
      return *binding.textVariable;
    case kSettingFloat:
      return FormatFloatSetting(*binding.floatVariable);
    case kSettingDouble:
      return FormatDoubleSetting(*binding.doubleVariable);
    default:
      return std::string();
  }
}

std::string DefaultSettingText(const SettingBinding& binding) {
  switch (binding.type) {
    case kSettingInteger:
      return FormatIntegerSetting(binding.defaultInteger);
    case kSettingText:
      return binding.defaultText;
    case kSettingFloat:
      return FormatFloatSetting(binding.defaultFloat);
    case kSettingDouble:
      return FormatDoubleSetting(binding.defaultDouble);
    default:
      return std::string();
  }
}

void AssignSettingText(const SettingBinding& binding, const std::string& text) {
  switch (binding.type) {
    case kSettingInteger:
      *binding.integerVariable = ParseIntegerSetting(text);
      break;
    case kSettingText:
      *binding.textVariable = text;
      break;
    case kSettingFloat:
      *binding.floatVariable = ParseFloatSetting(text);
      break;
    case kSettingDouble:
      *binding.doubleVariable = ParseDoubleSetting(text);
      break;
    default:
      break;
  }
}

std::optional<std::string> StoredRegistryText(long queryStatus, DWORD valueType, const char* buffer,
                                              DWORD returnedBytes, std::size_t bufferSize) {
  if (queryStatus != ERROR_SUCCESS || valueType != REG_SZ) {
    return std::nullopt;
  }
  const char* const end = buffer + std::min<std::size_t>(returnedBytes, bufferSize);
  return std::string(buffer, std::find(buffer, end, '\0'));
}
