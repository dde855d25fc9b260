// A simulated display driver and the bits of the system around it. It takes the place of the
// panel's Win32 imports (escapes, device contexts, the configuration manager, the version, the
// run-time-bound monitor functions and HKEY_DYN_DATA) in one module, answers from a model of
// the board and records every call in order. The registry keys it opens elsewhere and the
// platform pages it makes are passed on to the system and logged.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tvsim {

struct VideoParameters {
  DWORD tv_standard = 0x0001;
  DWORD flicker_filter = 750;
  DWORD overscan_x = 250;
  DWORD overscan_y = 250;
  DWORD max_unscaled_width = 800;
  DWORD max_unscaled_height = 600;
  DWORD position_x = 50;
  DWORD position_y = 50;
  DWORD brightness = 56;
  DWORD contrast = 42;
};

// A gamma-ramp load as the driver received it.
struct GammaRamp {
  std::int32_t red = 0;
  std::int32_t green = 0;
  std::int32_t blue = 0;
  std::array<std::uint8_t, 256> red_levels{};
  std::array<std::uint8_t, 256> green_levels{};
  std::array<std::uint8_t, 256> blue_levels{};
};

// The board's display driver. The escape results are what ExtEscape returns for a handled
// escape; 0 means the driver does not implement it.
struct BoardModel {
  int identification_result = 1;
  DWORD identification_word = 0x7E51;
  int adapter_node_result = 1;
  DWORD adapter_node = 0x1A2B;
  int tv_encoder_result = 0x3DF0;
  DWORD tv_encoder_presence = 1;
  // Up to 12 bytes are answered; a 12-byte name leaves no terminator.
  std::string tv_encoder_name = "QV-TV";
  DWORD tv_state_flags = 0;      // 0x2 while the TV output is on
  bool tv_output_starts = true;  // false: switching the output on leaves it off
  DWORD routing_state = 4;       // 4: monitor in use; routing to TV only makes it 5
  VideoParameters video;
  DWORD desktop_width = 640;
  DWORD desktop_height = 480;
  int settings_opened = 0;
  int settings_applied = 0;
  std::map<HDC, GammaRamp> gamma_ramps;  // the last ramp loaded on each device context
};

struct MonitorModel {
  bool board = true;  // its driver answers as the board; another driver answers no escape
  RECT area = {0, 0, 640, 480};
};

struct ConfigManagerModel {
  bool present = false;  // whether "\\.\CONFIGMG" opens
  BOOL io_control_result = TRUE;
  DWORD bytes_returned = 4;
  DWORD result = 0;  // the service's answer
  // What Get_DevNode_Key writes into the caller's buffer when it answers 0.
  std::string software_key = "System\\CurrentControlSet\\Services\\Class\\Display\\0003";
};

struct RegistryValue {
  DWORD type;
  std::string data;  // stored bytes; REG_SZ data includes its terminator if it has one
};

struct SimulatedSystem {
  DWORD platform = VER_PLATFORM_WIN32_NT;  // or VER_PLATFORM_WIN32_WINDOWS
  // The screen device context is answered by the first monitor's driver.
  std::vector<MonitorModel> monitors = {MonitorModel{}};
  std::vector<std::string> missing_user32;  // names GetProcAddress does not find in USER32
  int screen_width = 640;
  int screen_height = 480;
  int virtual_width = 640;
  int virtual_height = 480;
  BoardModel board;
  ConfigManagerModel config_manager;
  // Keys under HKEY_DYN_DATA by path, each with its values by name.
  std::map<std::string, std::map<std::string, RegistryValue>> dyn_data;
};

// One call that reached a replaced import.
struct Call {
  std::string function;
  const void* handle = nullptr;     // device context, key, file, module or window of the call
  std::intptr_t code = 0;           // escape, control code, metric index or structure size
  std::string text;                 // file, procedure, key path or value name
  std::vector<std::uint8_t> input;  // escape input record, or a device request's input buffer
  // The call's other arguments in order. For a request to the configuration manager:
  // input size, output size, then the device node, sub-key, buffer length and flags read
  // from the argument block. A key opened in the real registry ends with its handle.
  std::vector<std::uintptr_t> args;
};

// Replaces the imports of module and starts a fresh log and model. One module at a time.
void install(HMODULE module, const SimulatedSystem& system);
// Puts the module's imports back; the log and model stay readable.
void uninstall();
SimulatedSystem& model();
const std::vector<Call>& log();
std::vector<Call> calls_to(const std::string& function);

HDC screen_dc();
HDC monitor_dc(std::size_t index);
HMONITOR monitor_handle(std::size_t index);

}  // namespace tvsim
