// Text forms of the panel's registry settings: every value is stored as
// REG_SZ text, numbers written with "%d" or "%f" and read back the way
// atoi and atof read them, always in the "C" locale's form.
#ifndef QELTVBTV_SETTING_TEXT_H
#define QELTVBTV_SETTING_TEXT_H

#include "win_compat.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

enum SettingType : std::int32_t {
  kSettingInteger = 1,
  kSettingText = 2,
  kSettingFloat = 3,
  kSettingDouble = 4,
};

// One binding of a settings store: the variable of the binding's type and
// its default. The variable belongs to the store's owner.
struct SettingBinding {
  std::int32_t type;
  std::string* textVariable;
  std::int32_t* integerVariable;
  float* floatVariable;
  double* doubleVariable;
  std::string defaultText;
  std::int32_t defaultInteger;
  float defaultFloat;
  double defaultDouble;
};

// Size of the buffer a stored value is read into; longer values do not count.
constexpr std::size_t kSettingReadBufferSize = 255;

std::string FormatIntegerSetting(std::int32_t value);
std::string FormatFloatSetting(float value);
std::string FormatDoubleSetting(double value);

// Leading white space, optional sign, decimal digits up to the first other
// character; no digits gives 0. Out-of-range numbers saturate.
std::int32_t ParseIntegerSetting(const std::string& text);
double ParseDoubleSetting(const std::string& text);
// Numbers beyond single precision's range become infinities of their sign.
float ParseFloatSetting(const std::string& text);

// Text of the binding's variable; empty for an unknown type.
std::string CurrentSettingText(const SettingBinding& binding);
// Text of the binding's default; empty for an unknown type.
std::string DefaultSettingText(const SettingBinding& binding);
// Sets the binding's variable from text; an unknown type sets nothing.
void AssignSettingText(const SettingBinding& binding, const std::string& text);

// The text a registry query yields: present only for a successful query of
// a REG_SZ value. The text ends at its first NUL or after the bytes the
// query returned, whichever comes first, and never beyond the buffer.
std::optional<std::string> StoredRegistryText(long queryStatus, DWORD valueType, const char* buffer,
                                              DWORD returnedBytes, std::size_t bufferSize);

#endif
