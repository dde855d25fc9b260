// Finding the board's displays and each display driver's registry key.
#ifndef QELTVBTV_DISPLAY_DISCOVERY_H
#define QELTVBTV_DISPLAY_DISCOVERY_H

#include "configuration_data.h"

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

// USER32's multi-monitor functions, bound at run time because older
// systems lack them: all six are set, or all six are null.
struct MultiMonitorFunctions {
  decltype(&::GetSystemMetrics) getSystemMetrics;
  decltype(&::MonitorFromWindow) monitorFromWindow;
  decltype(&::MonitorFromRect) monitorFromRect;
  decltype(&::MonitorFromPoint) monitorFromPoint;
  decltype(&::EnumDisplayMonitors) enumDisplayMonitors;
  decltype(&::GetMonitorInfoA) getMonitorInfoA;
};

// Binds the functions on the first call and answers from then on whether
// multi-monitor support is available (1) or not (0).
int BindMultiMonitorFunctions();
const MultiMonitorFunctions& BoundMultiMonitorFunctions();
// A device context for one monitor's display device, for the caller to delete; null when the
// monitor functions are not bound or the monitor is unknown.
HDC CreateMonitorDC(HMONITOR monitor);

// Arguments of the configuration manager's Get_DevNode_Key, in call order.
struct DevNodeKeyArguments {
  DWORD deviceNode;
  const char* subKey;
  char* buffer;
  DWORD bufferLength;
  DWORD flags;
};

// Calls a service of the configuration manager device; 0 is success and
// every failure on our side gives 19.
DWORD ConfigManagerRequest(DWORD service, const void* arguments);
// Finds the driver's software key of a device node through the registry;
// 0 with the path in buffer, or 19.
DWORD KeyWalk(DWORD deviceNode, char* buffer, DWORD length);

// One display's device context, which the caller creates and releases.
class CDisplayDriver {
 public:
  explicit CDisplayDriver(HDC dc);

  int Identify() const;
  std::string GetDriverKeyPath() const;
  // Loads the ramp for gamma red/100, green/100, blue/100.
  void SetGammaRamp(int red, int green, int blue) const;

 private:
  HDC m_dc;
};

// The board's displays as a page knows them, and the per-display gamma
// stores (3 per display) and gamma values (9 per display).
struct BoardDisplays {
  std::vector<HMONITOR> monitors;
  std::deque<CConfigurationData> gammaStores;
  std::vector<float> gammaValues;

  std::size_t Count() const;
};

void EnumerateBoardDisplays(BoardDisplays& displays, BOOL deviceFromShell);

#endif
