#include "configuration_data.h"

#include <cstdio>
#include <vector>

namespace {

#ifndef NDEBUG
void TraceDeletion(const std::string& valueName) {
  static const char kFormat[] = "CConfigurationData::Save(): Deleting Value for %s\n";
  const int length = std::snprintf(nullptr, 0, kFormat, valueName.c_str());
  std::vector<char> line(static_cast<std::size_t>(length) + 1);
  std::snprintf(line.data(), line.size(), kFormat, valueName.c_str());
  OutputDebugStringA(line.data());
}
#endif

}  // namespace

CConfigurationData::CConfigurationData(HKEY rootKey) : CConfigurationData(std::string(), rootKey) {}

CConfigurationData::CConfigurationData(const std::string& keyPath, HKEY rootKey)
    : m_binding{}, m_removeWhenDefault(0), m_keyPath(keyPath), m_rootKey(rootKey), m_empty(1) {}

CConfigurationData::~CConfigurationData() = default;

void CConfigurationData::SetKeyPath(const std::string& keyPath) { m_keyPath = keyPath; }

CConfigurationData* CConfigurationData::BindInteger(const std::string& valueName, int* variable,
                                                    int defaultValue, int removeWhenDefault) {
  m_binding.type = kSettingInteger;
  m_binding.integerVariable = variable;
  m_binding.defaultInteger = defaultValue;
  return Bind(valueName, removeWhenDefault);
}

CConfigurationData* CConfigurationData::BindFloat(const std::string& valueName, float* variable,
                                                  float defaultValue, int removeWhenDefault) {
  m_binding.type = kSettingFloat;
  m_binding.floatVariable = variable;
  m_binding.defaultFloat = defaultValue;
  return Bind(valueName, removeWhenDefault);
}

CConfigurationData* CConfigurationData::Bind(const std::string& valueName, int removeWhenDefault) {
  m_empty = 0;
  m_removeWhenDefault = removeWhenDefault;
  m_valueName = valueName;
  m_next.reset(new CConfigurationData(m_keyPath, m_rootKey));
  return m_next.get();
}

void CConfigurationData::Load() {
  for (CConfigurationData* node = this; node->m_empty == 0 && node->m_next;
       node = node->m_next.get()) {
    AssignSettingText(node->m_binding, node->ReadText());
  }
}

void CConfigurationData::Save() {
  for (CConfigurationData* node = this; node && node->m_empty == 0; node = node->m_next.get()) {
    const std::string current = CurrentSettingText(node->m_binding);
    if (node->m_removeWhenDefault == 1 && current == DefaultSettingText(node->m_binding)) {
#ifndef NDEBUG
      TraceDeletion(node->m_valueName);
#endif
      node->DeleteValue();
    } else {
      node->WriteText(current);
    }
  }
}

void CConfigurationData::Reset() {
  m_empty = 1;
  m_next.reset();
}

// An empty key path would name the root key itself: such a store reads only its defaults and
// writes nothing (a display whose driver key was not found keeps the default gamma).
std::string CConfigurationData::ReadText() const {
  HKEY key;
  if (!m_keyPath.empty() && RegOpenKeyA(m_rootKey, m_keyPath.c_str(), &key) == ERROR_SUCCESS) {
    char buffer[kSettingReadBufferSize];
    DWORD type = 0;
    DWORD size = sizeof buffer;
    const LONG status = RegQueryValueExA(key, m_valueName.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (const auto text = StoredRegistryText(status, type, buffer, size, sizeof buffer)) {
      return *text;
    }
  }
  return DefaultSettingText(m_binding);
}

// Writes go to HKEY_LOCAL_MACHINE whatever the root, creating missing keys.
void CConfigurationData::WriteText(const std::string& text) const {
  HKEY key;
  if (!m_keyPath.empty() &&
      RegCreateKeyA(HKEY_LOCAL_MACHINE, m_keyPath.c_str(), &key) == ERROR_SUCCESS) {
    RegSetValueExA(key, m_valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
  }
}

void CConfigurationData::DeleteValue() const {
  HKEY key;
  if (!m_keyPath.empty() && RegOpenKeyA(m_rootKey, m_keyPath.c_str(), &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, m_valueName.c_str());
    RegCloseKey(key);
  }
}
