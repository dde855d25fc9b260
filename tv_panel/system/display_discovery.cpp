#include "display_discovery.h"

#include "escapes_win32.h"
#include "setting_text.h"

#include <cstdio>
#include <cstring>

namespace {

// The configuration manager's answer for every failure on our side.
constexpr DWORD kConfigManagerFailure = 19;
constexpr DWORD kGetDevNodeKeyService = 0x3D;
constexpr DWORD kDevNodeSoftwareKey = 1;

const char kNtDriverKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\vantrel\\Device0";
const char kUnknownNodeDriverKeyPath[] = "SOFTWARE\\Qelt Interactive\\Vantrel";
// The longest driver key the walk expects: the class key of Display\nnnn.
constexpr char kLongestDriverKey[] = "System\\CurrentControlSet\\Services\\Class\\Display\\XXXX";

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

// The system hands every callback the caller's own screen context, which reaches only the
// primary display's driver: each monitor is asked through a context made for its device.
BOOL CALLBACK CollectBoardMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM monitors) {
  try {
    const HDC dc = CreateMonitorDC(monitor);
    const bool board = dc != nullptr && CDisplayDriver(dc).Identify();
    if (dc != nullptr) {
      DeleteDC(dc);
    }
    if (board) {
      reinterpret_cast<std::vector<HMONITOR>*>(monitors)->push_back(monitor);
    }
  } catch (...) {
    // No exception crosses into the system: this monitor is left out.
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
      // Multi-monitor support is trusted only when the virtual screen covers the primary one.
      GetSystemMetrics(SM_CXVIRTUALSCREEN) >= GetSystemMetrics(SM_CXSCREEN) &&
      GetSystemMetrics(SM_CYVIRTUALSCREEN) >= GetSystemMetrics(SM_CYSCREEN)) {
    return 1;
  }
  g_multiMonitor = MultiMonitorFunctions{};
  return 0;
}

HDC CreateMonitorDC(HMONITOR monitor) {
  MONITORINFOEXA info = {};
  info.cbSize = sizeof info;
  static_assert(sizeof(MONITORINFOEXA) == 72, "extended monitor information");
  if (g_multiMonitor.getMonitorInfoA == nullptr ||
      !g_multiMonitor.getMonitorInfoA(monitor, &info)) {
    return nullptr;
  }
  return CreateDCA(info.szDevice, nullptr, nullptr, nullptr);
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
      DeviceIoControl(device, 0x80000000u | service, &arguments, sizeof arguments, &serviceResult,
                      sizeof serviceResult, &returned, nullptr);
  CloseHandle(device);
  // The service's result counts only when the call worked and returned all four bytes of it.
  return succeeded && returned == sizeof serviceResult ? serviceResult : kConfigManagerFailure;
}

DWORD KeyWalk(DWORD deviceNode, char* buffer, DWORD length) {
  if (length < sizeof kLongestDriverKey) {
    return kConfigManagerFailure;
  }
  char enumKey[40];
  std::snprintf(enumKey, sizeof enumKey, "Config Manager\\Enum\\%x",
                static_cast<unsigned>(deviceNode));
  HKEY key;
  if (RegOpenKeyExA(HKEY_DYN_DATA, enumKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return kConfigManagerFailure;
  }
  char hardwareKeyBuffer[251];
  std::string hardwareKey;
  if (!ReadKeyText(key, "HardWareKey", hardwareKeyBuffer, sizeof hardwareKeyBuffer, hardwareKey)) {
    return kConfigManagerFailure;
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("Enum\\" + hardwareKey).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return kConfigManagerFailure;
  }
  char driverBuffer[256];
  std::string driver;
  if (!ReadKeyText(key, "Driver", driverBuffer, sizeof driverBuffer, driver)) {
    return kConfigManagerFailure;
  }
  // A path that does not fit is refused, the buffer left untouched.
  const std::string path = "System\\CurrentControlSet\\Services\\Class\\" + driver;
  if (path.size() >= length) {
    return kConfigManagerFailure;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return 0;
}

CDisplayDriver::CDisplayDriver(HDC dc) : m_dc(dc) {}

int CDisplayDriver::Identify() const { return escape::IdentifyAdapter(m_dc) ? 1 : 0; }

void CDisplayDriver::SetGammaRamp(int red, int green, int blue) const {
  escape::LoadGammaRamp(m_dc, red, green, blue, escape::kIdentityGammaHundredths);
}

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

// Every per-display array has room for at least one display.
std::size_t BoardDisplays::Count() const { return monitors.empty() ? 1 : monitors.size(); }

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
