#include "simulated_system.h"

#include <prsht.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "import_table.h"

namespace tvsim {
namespace {

constexpr int kIdentificationEscape = 4051;
constexpr int kDriverCommandEscape = 32769;
constexpr int kVideoParametersEscape = 3077;
constexpr DWORD kGetDevNodeKeyControl = 0x8000003D;

constexpr std::uint8_t kVideoParametersGuid[16] = {0x62, 0x20, 0xC6, 0x02, 0x97, 0x10, 0xD1, 0x11,
                                                   0x92, 0x0F, 0x00, 0xA0, 0x24, 0xDF, 0x15, 0x6E};

// Handles no real object has, so that every use of them is recognised.
constexpr std::uintptr_t kScreenDc = 0x5C000100;
constexpr std::uintptr_t kMonitorDcBase = 0x5C000110;
constexpr std::uintptr_t kMonitorBase = 0x5C000210;
constexpr std::uintptr_t kConfigManagerHandle = 0x5C000300;
constexpr std::uintptr_t kDynKeyBase = 0x5C000400;

// The argument block of Get_DevNode_Key as the caller lays it out in memory.
struct DevNodeKeyArguments {
  DWORD device_node;
  const char* sub_key;
  char* buffer;
  DWORD buffer_length;
  DWORD flags;
};

struct State {
  SimulatedSystem system;
  std::vector<Call> log;
  std::vector<std::string> open_dyn_keys;  // indexed by handle - kDynKeyBase
  std::vector<PatchedImport> patches;
};

State& state() {
  static State instance;
  return instance;
}

Call& record(const char* function, const void* handle) {
  Call call;
  call.function = function;
  call.handle = handle;
  state().log.push_back(std::move(call));
  return state().log.back();
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

DWORD word_at(const std::uint8_t* record, std::size_t offset) {
  DWORD word;
  std::memcpy(&word, record + offset, sizeof word);
  return word;
}

void put_word(void* record, std::size_t offset, DWORD word) {
  std::memcpy(static_cast<std::uint8_t*>(record) + offset, &word, sizeof word);
}

// The monitor whose driver answers on dc, or -1 for a context the simulation did not hand out.
int monitor_of(HDC dc) {
  const auto value = reinterpret_cast<std::uintptr_t>(dc);
  const auto& monitors = state().system.monitors;
  if (value == kScreenDc) return monitors.empty() ? -1 : 0;
  if (value >= kMonitorDcBase && value < kMonitorDcBase + monitors.size()) {
    return static_cast<int>(value - kMonitorDcBase);
  }
  return -1;
}

int driver_command(HDC dc, const std::uint8_t* input, int input_size, void* output,
                   int output_size) {
  BoardModel& board = state().system.board;
  if (input_size < 4) return 0;
  const DWORD command = word_at(input, 0);
  switch (command) {
    case 0x0003:
      if (input_size != 4 || output_size != 12) return 0;
      put_word(output, 0, board.adapter_node);
      return board.adapter_node_result;
    case 0x0004:
      if (input_size != 12) return 0;
      board.desktop_width = word_at(input, 4);
      board.desktop_height = word_at(input, 8);
      return 1;
    case 0x0005:
      if (input_size != 4 || output_size != 12) return 0;
      put_word(output, 4, board.desktop_width);
      put_word(output, 8, board.desktop_height);
      return 1;
    case 0x0201: {
      if (input_size != 1040) return 0;
      GammaRamp ramp;
      ramp.red = static_cast<std::int32_t>(word_at(input, 4));
      ramp.green = static_cast<std::int32_t>(word_at(input, 8));
      ramp.blue = static_cast<std::int32_t>(word_at(input, 12));
      for (std::size_t i = 0; i < 256; ++i) {
        ramp.blue_levels[i] = input[16 + 4 * i];
        ramp.green_levels[i] = input[16 + 4 * i + 1];
        ramp.red_levels[i] = input[16 + 4 * i + 2];
      }
      board.gamma_ramps[dc] = ramp;
      return 1;
    }
    case 0x0300: {
      if (input_size != 8 || output_size != 80) return 0;
      put_word(output, 32, board.tv_encoder_presence);
      put_word(output, 40, board.tv_state_flags);
      char* name = static_cast<char*>(output) + 68;
      std::memset(name, 0, 12);
      std::memcpy(name, board.tv_encoder_name.data(),
                  std::min<std::size_t>(12, board.tv_encoder_name.size()));
      return board.tv_encoder_result;
    }
    case 0x0360:
      if (input_size != 8) return 0;
      board.video.tv_standard = word_at(input, 4);
      return 1;
    case 0x0380:
      if (input_size != 8) return 0;
      ++board.settings_applied;
      return 1;
    case 0x0381:
      if (input_size != 8) return 0;
      ++board.settings_opened;
      return 1;
    case 0x03B0:
      if (input_size != 12) return 0;
      switch (word_at(input, 8)) {
        case 0:
          // The query is answered over the caller's record.
          put_word(const_cast<std::uint8_t*>(input), 4, board.routing_state);
          return 1;
        case 1:
          board.routing_state = 4;
          return 1;
        case 2:
          board.routing_state = 5;
          return 1;
        default:
          return 0;
      }
    case 0x0500:
      if (input_size != 8) return 0;
      board.tv_state_flags &= ~DWORD{0x2};
      return 1;
    case 0x0501:
      if (input_size != 8) return 0;
      if (board.tv_output_starts) board.tv_state_flags |= 0x2;
      return 1;
    default:
      return 0;
  }
}

int video_parameters(const std::uint8_t* input, int input_size, int output_size) {
  if (input_size != 356 || output_size != 0 ||
      std::memcmp(input, kVideoParametersGuid, sizeof kVideoParametersGuid) != 0) {
    return 0;
  }
  VideoParameters& video = state().system.board.video;
  auto* record = const_cast<std::uint8_t*>(input);
  const DWORD command = word_at(input, 20);
  if (command == 1) {
    put_word(record, 32, video.tv_standard);
    put_word(record, 44, video.flicker_filter);
    put_word(record, 48, video.overscan_x);
    put_word(record, 52, video.overscan_y);
    put_word(record, 56, video.max_unscaled_width);
    put_word(record, 60, video.max_unscaled_height);
    put_word(record, 64, video.position_x);
    put_word(record, 68, video.position_y);
    put_word(record, 72, video.brightness);
    put_word(record, 76, video.contrast);
    return 1;
  }
  if (command != 2) return 0;
  const DWORD flags = word_at(input, 24);
  if (flags & 0x04) video.flicker_filter = word_at(input, 44);
  if (flags & 0x08) {
    video.overscan_x = word_at(input, 48);
    video.overscan_y = word_at(input, 52);
  }
  if (flags & 0x20) {
    video.position_x = word_at(input, 64);
    video.position_y = word_at(input, 68);
  }
  if (flags & 0x40) video.brightness = word_at(input, 72);
  if (flags & 0x80) video.contrast = word_at(input, 76);
  return 1;
}

int WINAPI sim_ExtEscape(HDC dc, int escape, int input_size, LPCSTR input, int output_size,
                         LPSTR output) {
  Call& call = record("ExtEscape", dc);
  call.code = escape;
  if (input != nullptr && input_size > 0) call.input.assign(input, input + input_size);
  call.args = {static_cast<std::uintptr_t>(output_size)};

  const int monitor = monitor_of(dc);
  if (monitor < 0) return ExtEscape(dc, escape, input_size, input, output_size, output);
  if (!state().system.monitors[static_cast<std::size_t>(monitor)].board || input == nullptr) {
    return 0;
  }
  const auto* in = reinterpret_cast<const std::uint8_t*>(input);
  switch (escape) {
    case kIdentificationEscape: {
      if (input_size != 44 || output_size != 44 || output == nullptr || word_at(in, 4) != 2) {
        return 0;
      }
      put_word(output, 8, state().system.board.identification_word);
      return state().system.board.identification_result;
    }
    case kDriverCommandEscape:
      if (output_size > 0 && output == nullptr) return 0;
      return driver_command(dc, in, input_size, output, output_size);
    case kVideoParametersEscape:
      return video_parameters(in, input_size, output_size);
    default:
      return 0;
  }
}

HDC WINAPI sim_GetDC(HWND window) {
  record("GetDC", window);
  return window == nullptr ? screen_dc() : GetDC(window);
}

int WINAPI sim_ReleaseDC(HWND window, HDC dc) {
  record("ReleaseDC", dc).args = {reinterpret_cast<std::uintptr_t>(window)};
  return monitor_of(dc) >= 0 ? 1 : ReleaseDC(window, dc);
}

int WINAPI sim_GetSystemMetrics(int index) {
  record("GetSystemMetrics", nullptr).code = index;
  const SimulatedSystem& system = state().system;
  switch (index) {
    case SM_CXSCREEN:
      return system.screen_width;
    case SM_CYSCREEN:
      return system.screen_height;
    case SM_CXVIRTUALSCREEN:
      return system.virtual_width;
    case SM_CYVIRTUALSCREEN:
      return system.virtual_height;
    default:
      return GetSystemMetrics(index);
  }
}

HMONITOR WINAPI sim_MonitorFromWindow(HWND window, DWORD flags) {
  record("MonitorFromWindow", window).args = {flags};
  return monitor_handle(0);
}

HMONITOR WINAPI sim_MonitorFromRect(LPCRECT rect, DWORD flags) {
  record("MonitorFromRect", rect).args = {flags};
  return monitor_handle(0);
}

HMONITOR WINAPI sim_MonitorFromPoint(POINT point, DWORD flags) {
  record("MonitorFromPoint", nullptr).args = {static_cast<std::uintptr_t>(point.x),
                                              static_cast<std::uintptr_t>(point.y), flags};
  return monitor_handle(0);
}

BOOL WINAPI sim_EnumDisplayMonitors(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data) {
  record("EnumDisplayMonitors", dc).args = {reinterpret_cast<std::uintptr_t>(clip)};
  const std::vector<MonitorModel> monitors = state().system.monitors;
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    RECT area = monitors[i].area;
    // Every callback gets the caller's own context, as the real system hands it.
    if (!callback(monitor_handle(i), dc, &area, data)) break;
  }
  return TRUE;
}

BOOL WINAPI sim_GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
  record("GetMonitorInfoA", monitor);
  const auto index = reinterpret_cast<std::uintptr_t>(monitor) - kMonitorBase;
  if (index >= state().system.monitors.size() || info == nullptr) return FALSE;
  info->rcMonitor = state().system.monitors[index].area;
  info->rcWork = info->rcMonitor;
  info->dwFlags = index == 0 ? MONITORINFOF_PRIMARY : 0;
  if (info->cbSize >= sizeof(MONITORINFOEXA)) {
    std::snprintf(reinterpret_cast<MONITORINFOEXA*>(info)->szDevice, CCHDEVICENAME,
                  "\\\\.\\DISPLAY%u", static_cast<unsigned>(index + 1));
  }
  return TRUE;
}

int WINAPI sim_GetDeviceCaps(HDC dc, int index) {
  record("GetDeviceCaps", dc).code = index;
  if (monitor_of(dc) < 0) return GetDeviceCaps(dc, index);
  switch (index) {
    case HORZRES:
      return state().system.screen_width;
    case VERTRES:
      return state().system.screen_height;
    default:
      return 0;
  }
}

// Mode changes, links opened and help requests are logged, never carried out.
LONG WINAPI sim_ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
  Call& call = record("ChangeDisplaySettingsA", nullptr);
  call.code = mode != nullptr ? mode->dmSize : 0;
  if (mode != nullptr) call.args = {mode->dmFields, mode->dmPelsWidth, mode->dmPelsHeight, flags};
  return DISP_CHANGE_SUCCESSFUL;
}

HINSTANCE WINAPI sim_ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                   LPCSTR directory, INT show) {
  Call& call = record("ShellExecuteA", owner);
  call.text = std::string(verb != nullptr ? verb : "") + " " + (file != nullptr ? file : "");
  call.args = {reinterpret_cast<std::uintptr_t>(parameters),
               reinterpret_cast<std::uintptr_t>(directory), static_cast<std::uintptr_t>(show)};
  return reinterpret_cast<HINSTANCE>(42);
}

BOOL WINAPI sim_WinHelpA(HWND window, LPCSTR file, UINT command, ULONG_PTR data) {
  Call& call = record("WinHelpA", window);
  call.code = command;
  if (file != nullptr) call.text = file;
  call.args = {data};
  return TRUE;
}

// A context for "\\.\DISPLAYn" is answered by monitor n's driver; any other goes to the system.
HDC WINAPI sim_CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode) {
  Call& call = record("CreateDCA", nullptr);
  if (driver != nullptr) call.text = driver;
  unsigned number = 0;
  if (driver != nullptr && std::sscanf(driver, "\\\\.\\DISPLAY%u", &number) == 1 && number >= 1 &&
      number <= state().system.monitors.size()) {
    return monitor_dc(number - 1);
  }
  // "DISPLAY" alone is the whole screen, answered by the first monitor's driver.
  if (driver != nullptr && device == nullptr && lstrcmpiA(driver, "DISPLAY") == 0) {
    return screen_dc();
  }
  return CreateDCA(driver, device, port, mode);
}

BOOL WINAPI sim_DeleteDC(HDC dc) {
  record("DeleteDC", dc);
  return monitor_of(dc) >= 0 ? TRUE : DeleteDC(dc);
}

FARPROC WINAPI sim_GetProcAddress(HMODULE module, LPCSTR name) {
  const bool by_name = reinterpret_cast<std::uintptr_t>(name) > 0xFFFF;
  Call& call = record("GetProcAddress", module);
  if (by_name) call.text = name;
  if (!by_name || module != GetModuleHandleA("user32.dll")) return GetProcAddress(module, name);

  static const std::pair<const char*, FARPROC> kMonitorFunctions[] = {
      {"GetSystemMetrics", reinterpret_cast<FARPROC>(&sim_GetSystemMetrics)},
      {"MonitorFromWindow", reinterpret_cast<FARPROC>(&sim_MonitorFromWindow)},
      {"MonitorFromRect", reinterpret_cast<FARPROC>(&sim_MonitorFromRect)},
      {"MonitorFromPoint", reinterpret_cast<FARPROC>(&sim_MonitorFromPoint)},
      {"EnumDisplayMonitors", reinterpret_cast<FARPROC>(&sim_EnumDisplayMonitors)},
      {"GetMonitorInfoA", reinterpret_cast<FARPROC>(&sim_GetMonitorInfoA)},
  };
  for (const auto& [function, replacement] : kMonitorFunctions) {
    if (std::strcmp(name, function) != 0) continue;
    const auto& missing = state().system.missing_user32;
    if (std::find(missing.begin(), missing.end(), function) != missing.end()) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    return replacement;
  }
  return GetProcAddress(module, name);
}

BOOL WINAPI sim_GetVersionExA(LPOSVERSIONINFOA info) {
  record("GetVersionExA", info).code = info != nullptr ? info->dwOSVersionInfoSize : 0;
  if (info == nullptr || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                          info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const bool nt = state().system.platform == VER_PLATFORM_WIN32_NT;
  info->dwPlatformId = state().system.platform;
  info->dwMajorVersion = nt ? 5 : 4;
  info->dwMinorVersion = nt ? 1 : 10;
  info->dwBuildNumber = nt ? 2600 : 2222;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return TRUE;
}

HANDLE WINAPI sim_CreateFileA(LPCSTR name, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE templ) {
  Call& call = record("CreateFileA", nullptr);
  call.text = name != nullptr ? name : "";
  call.args = {access,      share, reinterpret_cast<std::uintptr_t>(security),
               disposition, flags, reinterpret_cast<std::uintptr_t>(templ)};
  if (lower(call.text) != "\\\\.\\configmg") {
    return CreateFileA(name, access, share, security, disposition, flags, templ);
  }
  if (!state().system.config_manager.present) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(kConfigManagerHandle);
}

BOOL WINAPI sim_DeviceIoControl(HANDLE device, DWORD control, LPVOID input, DWORD input_size,
                                LPVOID output, DWORD output_size, LPDWORD returned,
                                LPOVERLAPPED overlapped) {
  Call& call = record("DeviceIoControl", device);
  call.code = control;
  if (input != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    call.input.assign(bytes, bytes + input_size);
  }
  call.args = {input_size, output_size};
  if (device != reinterpret_cast<HANDLE>(kConfigManagerHandle)) {
    return DeviceIoControl(device, control, input, input_size, output, output_size, returned,
                           overlapped);
  }
  const ConfigManagerModel& manager = state().system.config_manager;
  if (control != kGetDevNodeKeyControl || input_size != sizeof(void*) || input == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DevNodeKeyArguments* arguments;
  std::memcpy(&arguments, input, sizeof arguments);
  call.args.insert(call.args.end(),
                   {arguments->device_node, reinterpret_cast<std::uintptr_t>(arguments->sub_key),
                    arguments->buffer_length, arguments->flags});
  if (!manager.io_control_result) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  if (manager.result == 0 && arguments->buffer_length > 0) {
    const std::size_t length =
        std::min<std::size_t>(manager.software_key.size(), arguments->buffer_length - 1);
    std::memcpy(arguments->buffer, manager.software_key.data(), length);
    arguments->buffer[length] = '\0';
  }
  const DWORD answered = std::min<DWORD>({manager.bytes_returned, output_size, 4});
  if (output != nullptr) std::memcpy(output, &manager.result, answered);
  if (returned != nullptr) *returned = answered;
  return TRUE;
}

BOOL WINAPI sim_CloseHandle(HANDLE handle) {
  record("CloseHandle", handle);
  return handle == reinterpret_cast<HANDLE>(kConfigManagerHandle) ? TRUE : CloseHandle(handle);
}

const std::string* dyn_key_path(HKEY key) {
  const auto index = reinterpret_cast<std::uintptr_t>(key) - kDynKeyBase;
  const auto& open = state().open_dyn_keys;
  return index < open.size() ? &open[index] : nullptr;
}

const std::map<std::string, RegistryValue>* find_dyn_key(const std::string& path) {
  for (const auto& [key_path, values] : state().system.dyn_data) {
    if (lower(key_path) == lower(path)) return &values;
  }
  return nullptr;
}

LSTATUS WINAPI sim_RegOpenKeyExA(HKEY root, LPCSTR sub_key, DWORD options, REGSAM access,
                                 PHKEY result) {
  Call& call = record("RegOpenKeyExA", root);
  call.text = sub_key != nullptr ? sub_key : "";
  call.args = {options, access};
  if (root != HKEY_DYN_DATA) {
    const LSTATUS status = RegOpenKeyExA(root, sub_key, options, access, result);
    if (status == ERROR_SUCCESS) call.args.push_back(reinterpret_cast<std::uintptr_t>(*result));
    return status;
  }
  if (find_dyn_key(call.text) == nullptr) return ERROR_FILE_NOT_FOUND;
  state().open_dyn_keys.push_back(call.text);
  *result = reinterpret_cast<HKEY>(kDynKeyBase + state().open_dyn_keys.size() - 1);
  return ERROR_SUCCESS;
}

// Keys of the real registry, logged with the handle they give (args[0]) to check each is closed.
LSTATUS log_key(const char* function, LSTATUS status, HKEY root, LPCSTR sub_key, PHKEY result) {
  Call& call = record(function, root);
  call.text = sub_key != nullptr ? sub_key : "";
  if (status == ERROR_SUCCESS) call.args = {reinterpret_cast<std::uintptr_t>(*result)};
  return status;
}

LSTATUS WINAPI sim_RegOpenKeyA(HKEY root, LPCSTR sub_key, PHKEY result) {
  return log_key("RegOpenKeyA", RegOpenKeyA(root, sub_key, result), root, sub_key, result);
}

LSTATUS WINAPI sim_RegCreateKeyA(HKEY root, LPCSTR sub_key, PHKEY result) {
  return log_key("RegCreateKeyA", RegCreateKeyA(root, sub_key, result), root, sub_key, result);
}

// The platform pages the panel makes and destroys, logged with the handle (and, on creation,
// the description's size in code and its flags and lParam in args).
HPROPSHEETPAGE WINAPI sim_CreatePropertySheetPageA(LPCPROPSHEETPAGEA description) {
  const HPROPSHEETPAGE page = CreatePropertySheetPageA(description);
  Call& call = record("CreatePropertySheetPageA", page);
  if (description != nullptr) {
    call.code = static_cast<std::intptr_t>(description->dwSize);
    call.args = {description->dwFlags, static_cast<std::uintptr_t>(description->lParam)};
  }
  return page;
}

BOOL WINAPI sim_DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  record("DestroyPropertySheetPage", page);
  return DestroyPropertySheetPage(page);
}

LSTATUS WINAPI sim_RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                                    LPBYTE data, LPDWORD size) {
  record("RegQueryValueExA", key).text = name != nullptr ? name : "";
  const std::string* path = dyn_key_path(key);
  if (path == nullptr) return RegQueryValueExA(key, name, reserved, type, data, size);
  const auto* values = find_dyn_key(*path);
  const auto value = values->find(name != nullptr ? name : "");
  if (value == values->end()) return ERROR_FILE_NOT_FOUND;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  if (type != nullptr) *type = value->second.type;
  const auto stored = static_cast<DWORD>(value->second.data.size());
  if (data != nullptr && *size < stored) {
    *size = stored;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr) std::memcpy(data, value->second.data.data(), stored);
  if (size != nullptr) *size = stored;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI sim_RegCloseKey(HKEY key) {
  record("RegCloseKey", key);
  return dyn_key_path(key) != nullptr ? ERROR_SUCCESS : RegCloseKey(key);
}

const ImportReplacement kReplacements[] = {
    {"ExtEscape", reinterpret_cast<void*>(&sim_ExtEscape)},
    {"GetDC", reinterpret_cast<void*>(&sim_GetDC)},
    {"ReleaseDC", reinterpret_cast<void*>(&sim_ReleaseDC)},
    {"CreateDCA", reinterpret_cast<void*>(&sim_CreateDCA)},
    {"GetDeviceCaps", reinterpret_cast<void*>(&sim_GetDeviceCaps)},
    {"ChangeDisplaySettingsA", reinterpret_cast<void*>(&sim_ChangeDisplaySettingsA)},
    {"ShellExecuteA", reinterpret_cast<void*>(&sim_ShellExecuteA)},
    {"WinHelpA", reinterpret_cast<void*>(&sim_WinHelpA)},
    {"DeleteDC", reinterpret_cast<void*>(&sim_DeleteDC)},
    {"GetSystemMetrics", reinterpret_cast<void*>(&sim_GetSystemMetrics)},
    {"GetProcAddress", reinterpret_cast<void*>(&sim_GetProcAddress)},
    {"GetVersionExA", reinterpret_cast<void*>(&sim_GetVersionExA)},
    {"CreateFileA", reinterpret_cast<void*>(&sim_CreateFileA)},
    {"DeviceIoControl", reinterpret_cast<void*>(&sim_DeviceIoControl)},
    {"CloseHandle", reinterpret_cast<void*>(&sim_CloseHandle)},
    {"RegOpenKeyExA", reinterpret_cast<void*>(&sim_RegOpenKeyExA)},
    {"RegQueryValueExA", reinterpret_cast<void*>(&sim_RegQueryValueExA)},
    {"RegCloseKey", reinterpret_cast<void*>(&sim_RegCloseKey)},
    {"RegOpenKeyA", reinterpret_cast<void*>(&sim_RegOpenKeyA)},
    {"RegCreateKeyA", reinterpret_cast<void*>(&sim_RegCreateKeyA)},
    {"CreatePropertySheetPageA", reinterpret_cast<void*>(&sim_CreatePropertySheetPageA)},
    {"DestroyPropertySheetPage", reinterpret_cast<void*>(&sim_DestroyPropertySheetPage)},
};

}  // namespace

void install(HMODULE module, const SimulatedSystem& system) {
  uninstall();
  State& s = state();
  s.system = system;
  s.log.clear();
  s.open_dyn_keys.clear();
  s.patches = patch_imports(module, kReplacements, std::size(kReplacements));
}

void uninstall() {
  restore_imports(state().patches);
  state().patches.clear();
}

SimulatedSystem& model() { return state().system; }

const std::vector<Call>& log() { return state().log; }

std::vector<Call> calls_to(const std::string& function) {
  std::vector<Call> found;
  std::copy_if(state().log.begin(), state().log.end(), std::back_inserter(found),
               [&](const Call& call) { return call.function == function; });
  return found;
}

HDC screen_dc() { return reinterpret_cast<HDC>(kScreenDc); }

HDC monitor_dc(std::size_t index) { return reinterpret_cast<HDC>(kMonitorDcBase + index); }

HMONITOR monitor_handle(std::size_t index) {
  return reinterpret_cast<HMONITOR>(kMonitorBase + index);
}

}  // namespace tvsim
