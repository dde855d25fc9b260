// The settings store against Wine's registry: what Save writes, what Load makes of the texts it
// finds, and that removing or resetting bindings leaves nothing behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "configuration_data.h"

namespace {

struct StoredValue {
  DWORD type;
  std::string data;
};

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    key_path_ = "Software\\QeltTvTest-" + std::to_string(GetCurrentProcessId()) + "\\" +
                test->name() + "\\Panel";
    parent_ = key_path_.substr(0, key_path_.find('\\', sizeof "Software"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, parent_.c_str());
  }

  void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, parent_.c_str()); }

  void put(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, key_path_.c_str(), &key), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }

  void put_text(const char* name, const std::string& text) {
    put(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

  std::optional<StoredValue> stored(const char* name) const {
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, key_path_.c_str(), &key) != ERROR_SUCCESS) return {};
    char buffer[1024];
    DWORD type = 0;
    DWORD size = sizeof buffer;
    const LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return {};
    return StoredValue{type, std::string(buffer, size)};
  }

  bool key_exists() const {
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, key_path_.c_str(), &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  std::string key_path_;
  std::string parent_;
};

TEST_F(SettingsStore, MissingKeyLoadsEveryDefault) {
  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(key_path_);
  int lock = 7;
  float gamma = 0.0f;
  store.BindInteger("Lock Gamma", &lock, 1, 0)->BindFloat("Red", &gamma, 1.3f, 0);
  store.Load();
  EXPECT_EQ(lock, 1);
  EXPECT_EQ(gamma, 1.3f);
  EXPECT_FALSE(key_exists());
}

TEST_F(SettingsStore, SavedNumbersAreTextThatLoadsBackExactly) {
  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(key_path_);
  float gamma = 1.3f;
  int offset = -5;
  store.BindFloat("Red", &gamma, 1.0f, 0)->BindInteger("Offset", &offset, 0, 0);
  store.Save();

  const auto red = stored("Red");
  ASSERT_TRUE(red);
  EXPECT_EQ(red->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(red->data, std::string("1.300000", sizeof "1.300000"));
  const auto written_offset = stored("Offset");
  ASSERT_TRUE(written_offset);
  EXPECT_EQ(written_offset->data, std::string("-5", sizeof "-5"));

  gamma = 0.0f;
  offset = 0;
  store.Load();
  EXPECT_EQ(gamma, 1.3f);
  EXPECT_EQ(offset, -5);
}

TEST_F(SettingsStore, TextsThatAreNotCleanNumbersLoadTheirLeadingNumberOrZero) {
  put_text("Mixed", "12abc");
  put_text("Letters", "abc");
  put_text("LetterFloat", "gamma");
  put_text("Spaced", "  -7 apples");
  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(key_path_);
  int mixed = 1, letters = 1, spaced = 1;
  float letter_float = 1.0f;
  store.BindInteger("Mixed", &mixed, 99, 0)
      ->BindInteger("Letters", &letters, 99, 0)
      ->BindFloat("LetterFloat", &letter_float, 2.0f, 0)
      ->BindInteger("Spaced", &spaced, 99, 0);
  store.Load();
  EXPECT_EQ(mixed, 12);
  EXPECT_EQ(letters, 0);
  EXPECT_EQ(letter_float, 0.0f);
  EXPECT_EQ(spaced, -7);
}

TEST_F(SettingsStore, ValuesThatAreNotUsableTextLoadTheDefault) {
  const DWORD number = 42;
  put("Dword", REG_DWORD, &number, sizeof number);
  put("Binary", REG_BINARY, "17", 3);
  put_text("Long", std::string(255, '3'));
  put_text("Longest", std::string(254, '4'));
  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(key_path_);
  int dword = 0, binary = 0;
  float longest = 0.0f, too_long = 0.0f;
  store.BindInteger("Dword", &dword, 5, 0)
      ->BindInteger("Binary", &binary, 6, 0)
      ->BindFloat("Long", &too_long, 1.5f, 0)
      ->BindFloat("Longest", &longest, 1.5f, 0);
  store.Load();
  EXPECT_EQ(dword, 5);
  EXPECT_EQ(binary, 6);
  EXPECT_EQ(too_long, 1.5f);
  EXPECT_NE(longest, 1.5f);  // 254 characters still fit the buffer
}

TEST_F(SettingsStore, RemoveWhenDefaultDeletesAnUnchangedValue) {
  put_text("Lock Gamma", "0");
  put_text("Last API", "3");
  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(key_path_);
  int lock = 1;
  int last_api = 0;
  store.BindInteger("Lock Gamma", &lock, 1, 1)->BindInteger("Last API", &last_api, 0, 0);
  store.Save();
  EXPECT_FALSE(stored("Lock Gamma"));
  const auto written = stored("Last API");
  ASSERT_TRUE(written);
  EXPECT_EQ(written->data, std::string("0", 2));

  lock = 0;
  store.Save();
  ASSERT_TRUE(stored("Lock Gamma"));
  EXPECT_EQ(stored("Lock Gamma")->data, std::string("0", 2));
}

TEST_F(SettingsStore, ResetLeavesNoTraceOfTheOldChain) {
  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(key_path_);
  int old_value = 11;
  float old_gamma = 2.5f;
  store.BindInteger("Old", &old_value, 0, 0)->BindFloat("OldGamma", &old_gamma, 1.0f, 0);
  store.Reset();
  int fresh = 4;
  store.BindInteger("Fresh", &fresh, 0, 0);
  store.Save();
  EXPECT_FALSE(stored("Old"));
  EXPECT_FALSE(stored("OldGamma"));
  ASSERT_TRUE(stored("Fresh"));

  put_text("Old", "99");
  store.Load();
  EXPECT_EQ(old_value, 11);
  EXPECT_EQ(fresh, 4);
}

TEST_F(SettingsStore, EmptyStoreNeitherReadsNorWrites) {
  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(key_path_);
  store.Save();
  store.Load();
  EXPECT_FALSE(key_exists());

  int value = 3;
  store.BindInteger("Value", &value, 0, 0);
  store.Reset();
  store.Save();
  EXPECT_FALSE(key_exists());
}

// A display whose driver key was not found has an empty key path: its store must not read or
// write values at the root of HKEY_LOCAL_MACHINE, and keeps its defaults.
TEST_F(SettingsStore, EmptyKeyPathReadsDefaultsAndWritesNothingAtTheRoot) {
  const std::string name = "QeltTvTestRoot-" + std::to_string(GetCurrentProcessId());
  HKEY root;
  ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, nullptr, &root), ERROR_SUCCESS);
  RegSetValueExA(root, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("2.5"), 4);

  CConfigurationData store(HKEY_LOCAL_MACHINE);
  store.SetKeyPath("");
  float gamma = 0.0f;
  store.BindFloat(name, &gamma, 1.3f, 0);
  store.Load();
  EXPECT_EQ(gamma, 1.3f);
  gamma = 0.5f;
  store.Save();

  char text[16] = {};
  DWORD size = sizeof text;
  EXPECT_EQ(RegQueryValueExA(root, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                             &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, "2.5") << "the value at the root was written";
  RegDeleteValueA(root, name.c_str());
  RegCloseKey(root);
}

}  // namespace
