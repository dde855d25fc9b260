// Decisions of display discovery that need no system: the virtual-screen
// check, the display count, the configuration-manager request's code and
// result, and the registry paths of the driver-key walk.
#ifndef QELTVBTV_DISCOVERY_RULES_H
#define QELTVBTV_DISCOVERY_RULES_H

#include "win_compat.h"

#include <cstddef>
#include <string>

// The configuration manager's answer for every failure on our side.
constexpr DWORD kConfigManagerFailure = 19;
constexpr DWORD kGetDevNodeKeyService = 0x3D;
constexpr DWORD kDevNodeSoftwareKey = 1;

extern const char kNtDriverKeyPath[];
extern const char kUnknownNodeDriverKeyPath[];

// Multi-monitor support is trusted only when the virtual screen is at
// least as large as the primary screen in both directions.
bool VirtualScreenCoversScreen(int virtualWidth, int virtualHeight, int screenWidth,
                               int screenHeight);

// Every per-display array has room for at least one display.
std::size_t DisplayCount(std::size_t boardMonitors);

DWORD ConfigManagerControlCode(DWORD service);
// The service's result counts only when the call worked and returned all
// four bytes of it.
DWORD ConfigManagerResult(bool callSucceeded, DWORD returnedBytes, DWORD serviceResult);

// The walk needs room for the longest driver key it expects.
bool KeyWalkBufferLargeEnough(DWORD length);
// "Config Manager\Enum\" and the node in lower-case hexadecimal.
std::string ConfigManagerEnumKey(DWORD deviceNode);
std::string HardwareEnumKey(const std::string& hardwareKey);
std::string DriverClassKeyPath(const std::string& driverValue);
// Copies path with its terminator; a path that does not fit is refused and
// the buffer left untouched.
bool CopyKeyPath(const std::string& path, char* buffer, DWORD length);

#endif
