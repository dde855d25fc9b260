// Registry settings store: a chain of bindings (value name, variable,
// default) under one key path, loaded into and saved from the variables
// as REG_SZ text.
#ifndef QELTVBTV_CONFIGURATION_DATA_H
#define QELTVBTV_CONFIGURATION_DATA_H

#include "setting_text.h"

#include <windows.h>

#include <memory>
#include <string>

class CConfigurationData {
 public:
  explicit CConfigurationData(HKEY rootKey);
  CConfigurationData(const std::string& keyPath, HKEY rootKey);
  ~CConfigurationData();

  CConfigurationData(const CConfigurationData&) = delete;
  CConfigurationData& operator=(const CConfigurationData&) = delete;

  void SetKeyPath(const std::string& keyPath);
  // Each returns the new terminal node; the next binding goes there.
  CConfigurationData* BindInteger(const std::string& valueName, int* variable, int defaultValue,
                                  int removeWhenDefault);
  CConfigurationData* BindFloat(const std::string& valueName, float* variable, float defaultValue,
                                int removeWhenDefault);
  void Load();
  void Save();
  void Reset();

 private:
  CConfigurationData* Bind(const std::string& valueName, int removeWhenDefault);
  std::string ReadText() const;
  void WriteText(const std::string& text) const;
  void DeleteValue() const;

  std::unique_ptr<CConfigurationData> m_next;
  SettingBinding m_binding;
  int m_removeWhenDefault;
  std::string m_valueName;
  std::string m_keyPath;
  HKEY m_rootKey;
  int m_empty;
};

#endif
