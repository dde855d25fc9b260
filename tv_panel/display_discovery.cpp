#include "display_discovery.h"

#include "discovery_rules.h"
#include "escapes_win32.h"
#include "setting_text.h"

namespace {

bool g_multiMonitorBound = false;
MultiMonitorFunctions g_multiMonitor = {};

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

bool ResolveMultiMonitorFunctions() {
  const HMODULE user32 = GetModuleHandleA("USER32");
  return user32 != nullptr &&
         Resolve(user32, "GetSystemMetrics", g_multiMonitor.getSystemMetrics) &&
         Resolve(user32, "MonitorFromWindow", g_multiMonitor.monitorFromWindow) &&
         Resolve(user32, "MonitorFromRect", g_multiMonitor.monitorFromRect) &&
         Resolve(user32, "MonitorFromPoint", g_multiMonitor.monitorFromPoint) &&
         Resolve(user32, "EnumDisplayMonitors", g_multiMonitor.enumDisplayMonitors) &&
         Resolve(user32, "GetMonitorInfoA", g_multiMonitor.getMonitorInfoA);
}

BOOL CALLBACK CollectBoardMonitor(HMONITOR monitor, HDC dc, LPRECT, LPARAM monitors) {
  if (CDisplayDriver(dc).Identify()) {
    reinterpret_cast<std::vector<HMONITOR>*>(monitors)->push_back(monitor);
  }
  return TRUE;
}

// Reads a REG_SZ value of an open key into text, then closes the key.
bool ReadKeyText(HKEY key, const char* valueName, char* buffer, DWORD size, std::string& text) {
  DWORD type = 0;
  DWORD returned = size;
  const LONG status =
      RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &returned);
  RegCloseKey(key);
  const auto stored = StoredRegistryText(status, type, buffer, returned, size);
  if (!stored) {
    return false;
  }
  text = *stored;
  return true;
}

}  // namespace

int BindMultiMonitorFunctions() {
  if (g_multiMonitorBound) {
    return g_multiMonitor.getMonitorInfoA != nullptr ? 1 : 0;
  }
  g_multiMonitorBound = true;
  if (ResolveMultiMonitorFunctions() &&
      VirtualScreenCoversScreen(GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                GetSystemMetrics(SM_CYVIRTUALSCREEN), GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN))) {
    return 1;
  }
  g_multiMonitor = MultiMonitorFunctions{};
  return 0;
}

const MultiMonitorFunctions& BoundMultiMonitorFunctions() { return g_multiMonitor; }

DWORD ConfigManagerRequest(DWORD service, const void* arguments) {
  const HANDLE device =
      CreateFileA("\\\\.\\CONFIGMG", GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    return kConfigManagerFailure;
  }
  DWORD serviceResult = kConfigManagerFailure;
  DWORD returned = 0;
  // The input is the address of the argument block.
  const BOOL succeeded =
      DeviceIoControl(device, ConfigManagerControlCode(service), &arguments, sizeof arguments,
                      &serviceResult, sizeof serviceResult, &returned, nullptr);
  CloseHandle(device);
  return ConfigManagerResult(succeeded != FALSE, returned, serviceResult);
}

DWORD KeyWalk(DWORD deviceNode, char* buffer, DWORD length) {
  if (!KeyWalkBufferLargeEnough(length)) {
    return kConfigManagerFailure;
  }
  HKEY key;
  if (RegOpenKeyExA(HKEY_DYN_DATA, ConfigManagerEnumKey(deviceNode).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return kConfigManagerFailure;
  }
  char hardwareKeyBuffer[251];
  std::string hardwareKey;
  if (!ReadKeyText(key, "HardWareKey", hardwareKeyBuffer, sizeof hardwareKeyBuffer, hardwareKey)) {
    return kConfigManagerFailure;
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, HardwareEnumKey(hardwareKey).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return kConfigManagerFailure;
  }
  char driverBuffer[256];
  std::string driver;
  if (!ReadKeyText(key, "Driver", driverBuffer, sizeof driverBuffer, driver)) {
    return kConfigManagerFailure;
  }
  return CopyKeyPath(DriverClassKeyPath(driver), buffer, length) ? 0 : kConfigManagerFailure;
}

CDisplayDriver::CDisplayDriver(HDC dc) : m_dc(dc) {}

int CDisplayDriver::Identify() const { return escape::IdentifyAdapter(m_dc) ? 1 : 0; }

std::string CDisplayDriver::GetDriverKeyPath() const {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  static_assert(sizeof(OSVERSIONINFOA) == 148, "version record");
  GetVersionExA(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    return kNtDriverKeyPath;
  }
  const auto node = escape::QueryAdapterNode(m_dc);
  if (!node) {
    return kUnknownNodeDriverKeyPath;
  }
  // One byte more than the services are allowed to fill keeps the text terminated.
  char buffer[256] = {};
  const DevNodeKeyArguments arguments = {*node, nullptr, buffer, sizeof buffer - 1,
                                         kDevNodeSoftwareKey};
  if (ConfigManagerRequest(kGetDevNodeKeyService, &arguments) == 0 ||
      KeyWalk(*node, buffer, sizeof buffer - 1) == 0) {
    return buffer;
  }
  return std::string();
}

std::size_t BoardDisplays::Count() const { return DisplayCount(monitors.size()); }

void EnumerateBoardDisplays(BoardDisplays& displays, BOOL deviceFromShell) {
  displays.monitors.clear();
  if (BindMultiMonitorFunctions() && !deviceFromShell) {
    const HDC screen = GetDC(nullptr);
    BoundMultiMonitorFunctions().enumDisplayMonitors(screen, nullptr, CollectBoardMonitor,
                                                     reinterpret_cast<LPARAM>(&displays.monitors));
    ReleaseDC(nullptr, screen);
  }
  const std::size_t count = displays.Count();
  displays.gammaStores.clear();
  for (std::size_t store = 0; store < 3 * count; ++store) {
    displays.gammaStores.emplace_back(HKEY_LOCAL_MACHINE);
  }
  displays.gammaValues.assign(9 * count, 0.0f);
}
