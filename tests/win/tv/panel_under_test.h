// The panel's system code as the test DLL exports it. The tests call into the DLL so that the
// calls are made from its code, whose imports the simulated system replaces, exactly as they
// will be from the panel DLL.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "display_discovery.h"
#include "escapes_win32.h"

struct EnumeratedDisplays {
  std::vector<HMONITOR> monitors;
  std::size_t count;
  std::size_t gamma_stores;
  std::vector<float> gamma_values;
};

struct PanelUnderTest {
  int (*bind_multi_monitor_functions)();
  MultiMonitorFunctions (*bound_multi_monitor_functions)();
  DWORD (*config_manager_request)(DWORD service, const void* arguments);
  DWORD (*key_walk)(DWORD device_node, char* buffer, DWORD length);
  int (*identify)(HDC dc);
  std::string (*driver_key_path)(HDC dc);
  EnumeratedDisplays (*enumerate_board_displays)(BOOL device_from_shell);

  decltype(&escape::IdentifyAdapter) identify_adapter;
  decltype(&escape::QueryAdapterNode) query_adapter_node;
  decltype(&escape::LoadGammaRamp) load_gamma_ramp;
  decltype(&escape::QueryTvEncoder) query_tv_encoder;
  decltype(&escape::SetTvStandard) set_tv_standard;
  decltype(&escape::TvOutputOn) tv_output_on;
  decltype(&escape::TvOutputOff) tv_output_off;
  decltype(&escape::StoreDesktopSize) store_desktop_size;
  decltype(&escape::QueryDesktopSize) query_desktop_size;
  decltype(&escape::QueryMonitorInUse) query_monitor_in_use;
  decltype(&escape::RouteToMonitorAndTv) route_to_monitor_and_tv;
  decltype(&escape::RouteToTvOnly) route_to_tv_only;
  decltype(&escape::NotifySettingsOpened) notify_settings_opened;
  decltype(&escape::NotifySettingsApplied) notify_settings_applied;
  decltype(&escape::GetVideoParameters) get_video_parameters;
  decltype(&escape::SetVideoParameters) set_video_parameters;

  // The TV-out page as the extension offers it: made with the shell's display values, and a
  // platform page built from a description with this module's template and a dialog procedure
  // that hands the window to the page object.
  void* (*create_page)(const char* device, const char* title, BOOL device_from_shell);
  void (*destroy_page)(void* page);
  HPROPSHEETPAGE (*create_sheet_page)(void* page);
  HWND (*page_window)(void* page);
  HWND (*link_window)(void* page);
  int (*link_state)(void* page);
  BOOL (*animation_playing)(void* page);
  BOOL (*animation_at_end)(void* page);
};

using PanelUnderTestEntry = const PanelUnderTest* (*)();
constexpr char kPanelUnderTestDll[] = "tv_panel_under_test.dll";
constexpr char kPanelUnderTestEntry[] = "panel_under_test";
