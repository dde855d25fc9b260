#include "discovery_rules.h"

#include <cstdio>
#include <cstring>

const char kNtDriverKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\vantrel\\Device0";
const char kUnknownNodeDriverKeyPath[] = "SOFTWARE\\Qelt Interactive\\Vantrel";

namespace {

// The longest driver key the walk expects: the class key of Display\nnnn.
constexpr char kLongestDriverKey[] = "System\\CurrentControlSet\\Services\\Class\\Display\\XXXX";

}  // namespace

bool VirtualScreenCoversScreen(int virtualWidth, int virtualHeight, int screenWidth,
                               int screenHeight) {
  return virtualWidth >= screenWidth && virtualHeight >= screenHeight;
}

std::size_t DisplayCount(std::size_t boardMonitors) {
  return boardMonitors == 0 ? 1 : boardMonitors;
}

DWORD ConfigManagerControlCode(DWORD service) { return 0x80000000u | service; }

DWORD ConfigManagerResult(bool callSucceeded, DWORD returnedBytes, DWORD serviceResult) {
  return callSucceeded && returnedBytes == sizeof serviceResult ? serviceResult
                                                                : kConfigManagerFailure;
}

bool KeyWalkBufferLargeEnough(DWORD length) { return length >= sizeof kLongestDriverKey; }

std::string ConfigManagerEnumKey(DWORD deviceNode) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned>(deviceNode));
  return std::string("Config Manager\\Enum\\") + digits;
}

std::string HardwareEnumKey(const std::string& hardwareKey) { return "Enum\\" + hardwareKey; }

std::string DriverClassKeyPath(const std::string& driverValue) {
  return "System\\CurrentControlSet\\Services\\Class\\" + driverValue;
}

bool CopyKeyPath(const std::string& path, char* buffer, DWORD length) {
  if (path.size() >= length) {
    return false;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return true;
}
