#include "setting_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr long kMoreData = 234;
constexpr DWORD kRegDword = 4;

TEST(SettingText, NumbersAreWrittenWithPrintfForms) {
  EXPECT_EQ("-5", FormatIntegerSetting(-5));
  EXPECT_EQ("1", FormatIntegerSetting(1));
  EXPECT_EQ("-2147483648", FormatIntegerSetting(std::numeric_limits<std::int32_t>::min()));
  EXPECT_EQ("1.300000", FormatFloatSetting(1.3f));
  EXPECT_EQ("1.000000", FormatFloatSetting(1.0f));
  EXPECT_EQ("0.000000", FormatFloatSetting(1e-7f));
  EXPECT_EQ("2.500000", FormatDoubleSetting(2.5));
  EXPECT_EQ(std::string("340282346638528859811704183484516925440.000000"),
            FormatFloatSetting(std::numeric_limits<float>::max()));
}

TEST(SettingText, IntegersParseAsAtoiDoes) {
  EXPECT_EQ(12, ParseIntegerSetting("12abc"));
  EXPECT_EQ(0, ParseIntegerSetting("abc"));
  EXPECT_EQ(0, ParseIntegerSetting(""));
  EXPECT_EQ(-5, ParseIntegerSetting("-5"));
  EXPECT_EQ(7, ParseIntegerSetting(" \t\n\v\f\r+7"));
  EXPECT_EQ(0, ParseIntegerSetting("- 5"));
  EXPECT_EQ(0, ParseIntegerSetting("+-5"));
  EXPECT_EQ(3, ParseIntegerSetting("3.9"));
}

TEST(SettingText, IntegersOutOfRangeSaturate) {
  EXPECT_EQ(2147483647, ParseIntegerSetting("2147483647"));
  EXPECT_EQ(2147483647, ParseIntegerSetting("2147483648"));
  EXPECT_EQ(std::numeric_limits<std::int32_t>::min(), ParseIntegerSetting("-2147483648"));
  EXPECT_EQ(std::numeric_limits<std::int32_t>::min(),
            ParseIntegerSetting("-99999999999999999999999"));
}

// The shell's process may run in any locale: the texts keep the "C" form in both directions.
TEST(SettingText, NumbersKeepTheCFormInALocaleWithADecimalComma) {
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  bool comma = false;
  for (const char* name : {"German_Germany.1252", "German", "de_DE.UTF-8", "de_DE"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      comma = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
      break;
    }
  }
  if (!comma) {
    std::setlocale(LC_NUMERIC, before.c_str());
    GTEST_SKIP() << "no locale with a decimal comma here";
  }
  EXPECT_EQ("1.300000", FormatFloatSetting(1.3f));
  EXPECT_EQ(1.3f, ParseFloatSetting("1.300000"));
  EXPECT_EQ(1.0f, ParseFloatSetting("1,300000"));
  std::setlocale(LC_NUMERIC, before.c_str());
}

TEST(SettingText, NumbersParseAsAtofDoes) {
  EXPECT_EQ(1.3f, ParseFloatSetting("1.300000"));
  EXPECT_EQ(1.3f, ParseFloatSetting(FormatFloatSetting(1.3f)));
  EXPECT_EQ(2.5f, ParseFloatSetting("  2.5volts"));
  EXPECT_EQ(0.0f, ParseFloatSetting("gamma"));
  EXPECT_EQ(-0.25, ParseDoubleSetting("-0.25"));
  EXPECT_EQ(1e3, ParseDoubleSetting("1e3"));
}

TEST(SettingText, SinglePrecisionOverflowBecomesInfinity) {
  EXPECT_EQ(std::numeric_limits<float>::infinity(), ParseFloatSetting("1e39"));
  EXPECT_EQ(-std::numeric_limits<float>::infinity(), ParseFloatSetting("-1e300"));
  EXPECT_EQ(std::numeric_limits<float>::max(),
            ParseFloatSetting(FormatFloatSetting(std::numeric_limits<float>::max())));
  EXPECT_TRUE(std::isnan(ParseFloatSetting("nan")));
}

TEST(SettingText, BindingTextFollowsItsType) {
  std::int32_t integer = -5;
  float single = 1.3f;
  double precise = 0.5;
  std::string text = "abc";
  SettingBinding binding{};
  binding.integerVariable = &integer;
  binding.floatVariable = &single;
  binding.doubleVariable = &precise;
  binding.textVariable = &text;
  binding.defaultInteger = 1;
  binding.defaultFloat = 1.0f;
  binding.defaultDouble = 2.0;
  binding.defaultText = "def";

  binding.type = kSettingInteger;
  EXPECT_EQ("-5", CurrentSettingText(binding));
  EXPECT_EQ("1", DefaultSettingText(binding));
  binding.type = kSettingText;
  EXPECT_EQ("abc", CurrentSettingText(binding));
  EXPECT_EQ("def", DefaultSettingText(binding));
  binding.type = kSettingFloat;
  EXPECT_EQ("1.300000", CurrentSettingText(binding));
  EXPECT_EQ("1.000000", DefaultSettingText(binding));
  binding.type = kSettingDouble;
  EXPECT_EQ("0.500000", CurrentSettingText(binding));
  EXPECT_EQ("2.000000", DefaultSettingText(binding));
  binding.type = 5;
  EXPECT_EQ("", CurrentSettingText(binding));
  EXPECT_EQ("", DefaultSettingText(binding));
}

TEST(SettingText, AssigningTextSetsOnlyTheBoundVariable) {
  std::int32_t integer = 9;
  float single = 9.0f;
  double precise = 9.0;
  std::string text = "old";
  SettingBinding binding{};
  binding.integerVariable = &integer;
  binding.floatVariable = &single;
  binding.doubleVariable = &precise;
  binding.textVariable = &text;

  binding.type = kSettingInteger;
  AssignSettingText(binding, "12 monkeys");
  binding.type = kSettingFloat;
  AssignSettingText(binding, "1.300000");
  EXPECT_EQ(12, integer);
  EXPECT_EQ(1.3f, single);
  EXPECT_EQ(9.0, precise);
  EXPECT_EQ("old", text);

  binding.type = kSettingDouble;
  AssignSettingText(binding, "x");
  binding.type = kSettingText;
  AssignSettingText(binding, "new");
  EXPECT_EQ(0.0, precise);
  EXPECT_EQ("new", text);

  binding.type = 0;
  AssignSettingText(binding, "77");
  EXPECT_EQ(12, integer);
  EXPECT_EQ(1.3f, single);
  EXPECT_EQ(0.0, precise);
  EXPECT_EQ("new", text);
}

TEST(SettingText, OnlySuccessfulTextQueriesCount) {
  const char stored[] = "1.300000";
  EXPECT_EQ(
      std::optional<std::string>("1.300000"),
      StoredRegistryText(ERROR_SUCCESS, REG_SZ, stored, sizeof stored, kSettingReadBufferSize));
  EXPECT_FALSE(
      StoredRegistryText(ERROR_SUCCESS, kRegDword, stored, 4, kSettingReadBufferSize).has_value());
  EXPECT_FALSE(
      StoredRegistryText(kMoreData, REG_SZ, stored, 300, kSettingReadBufferSize).has_value());
  EXPECT_EQ(std::optional<std::string>(""),
            StoredRegistryText(ERROR_SUCCESS, REG_SZ, stored, 0, kSettingReadBufferSize));
}

TEST(SettingText, StoredTextEndsAtNulOrTheReturnedBytes) {
  char buffer[kSettingReadBufferSize];
  std::memset(buffer, '7', sizeof buffer);
  EXPECT_EQ(std::string(kSettingReadBufferSize, '7'),
            *StoredRegistryText(ERROR_SUCCESS, REG_SZ, buffer, sizeof buffer, sizeof buffer));
  EXPECT_EQ(std::string(3, '7'),
            *StoredRegistryText(ERROR_SUCCESS, REG_SZ, buffer, 3, sizeof buffer));
  EXPECT_EQ(std::string(kSettingReadBufferSize, '7'),
            *StoredRegistryText(ERROR_SUCCESS, REG_SZ, buffer, 1000, sizeof buffer));
  buffer[2] = '\0';
  EXPECT_EQ("77", *StoredRegistryText(ERROR_SUCCESS, REG_SZ, buffer, sizeof buffer, sizeof buffer));
}

}  // namespace
