#include "panel_fixture.h"

#include <cstring>

void PanelTest::start(const tvsim::SimulatedSystem& system) {
  stop();
  module_ = LoadLibraryA(kPanelUnderTestDll);
  ASSERT_NE(module_, nullptr) << kPanelUnderTestDll;
  const auto entry =
      reinterpret_cast<PanelUnderTestEntry>(GetProcAddress(module_, kPanelUnderTestEntry));
  ASSERT_NE(entry, nullptr);
  panel_ = entry();
  tvsim::install(module_, system);
}

void PanelTest::TearDown() { stop(); }

void PanelTest::stop() {
  if (module_ == nullptr) return;
  tvsim::uninstall();
  FreeLibrary(module_);
  module_ = nullptr;
  panel_ = nullptr;
}

DWORD record_word(const std::vector<std::uint8_t>& record, std::size_t offset) {
  DWORD value = 0;
  if (offset + sizeof value <= record.size()) std::memcpy(&value, &record[offset], sizeof value);
  return value;
}

std::string registry_text(HKEY root, const std::string& key, const char* value) {
  HKEY handle;
  if (RegOpenKeyA(root, key.c_str(), &handle) != ERROR_SUCCESS) return "(none)";
  char text[MAX_PATH] = {};
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  const LONG status =
      RegQueryValueExA(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS && type == REG_SZ ? text : "(none)";
}
