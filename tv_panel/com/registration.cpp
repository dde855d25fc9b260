#include "registration.h"

#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "class_factory.h"

namespace {

std::string ClsidText(const CLSID& id) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0],
                id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
                id.Data4[7]);
  return text;
}

// The module's path in its short form, which has no blanks; the long form when there is none.
std::string ModulePath(HINSTANCE module) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  char shortPath[MAX_PATH] = {};
  const DWORD shortLength = GetShortPathNameA(path, shortPath, sizeof shortPath);
  return shortLength != 0 && shortLength < sizeof shortPath ? shortPath : path;
}

bool KeyExists(const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyA(HKEY_CLASSES_ROOT, key.c_str(), &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool SetDefaultValue(const std::string& key, const std::string& value) {
  return RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                      static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisterServer(HINSTANCE module) {
  const std::string clsid = ClsidText(CLSID_VantrelControlPanel);
  const std::string clsidKey = "CLSID\\" + clsid;
  const std::string progId = kVantrelProgId;
  const std::string path = ModulePath(module);
  if (path.empty()) return SELFREG_E_CLASS;
  // A name somebody already gave the ProgID or the class stays.
  for (const std::string& key : {progId, clsidKey}) {
    if (!KeyExists(key) && !SetDefaultValue(key, progId)) return SELFREG_E_CLASS;
  }
  const bool written = SetDefaultValue(progId + "\\CLSID", clsid) &&
                       SetDefaultValue(clsidKey + "\\ProgID", progId) &&
                       SetDefaultValue(clsidKey + "\\InProcServer32", path);
  return written ? S_OK : SELFREG_E_CLASS;
}
