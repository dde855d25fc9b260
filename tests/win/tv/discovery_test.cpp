// Display discovery against the simulated system: which monitors are the board's, the
// once-only binding of the monitor functions, and the driver key of both platform families.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "panel_fixture.h"

namespace {

using tvsim::Call;
using tvsim::SimulatedSystem;

const char* const kMonitorFunctions[] = {"GetSystemMetrics",    "MonitorFromWindow",
                                         "MonitorFromRect",     "MonitorFromPoint",
                                         "EnumDisplayMonitors", "GetMonitorInfoA"};

SimulatedSystem with_monitors(std::vector<bool> boards) {
  SimulatedSystem system;
  system.monitors.clear();
  LONG left = 0;
  for (bool board : boards) {
    system.monitors.push_back({board, RECT{left, 0, left + 640, 480}});
    left += 640;
  }
  system.virtual_width = left;
  return system;
}

bool all_null(const MultiMonitorFunctions& functions) {
  return !functions.getSystemMetrics && !functions.monitorFromWindow &&
         !functions.monitorFromRect && !functions.monitorFromPoint &&
         !functions.enumDisplayMonitors && !functions.getMonitorInfoA;
}

bool any_monitor_function_called() {
  return std::any_of(tvsim::log().begin(), tvsim::log().end(), [](const Call& call) {
    return std::find_if(std::begin(kMonitorFunctions), std::end(kMonitorFunctions),
                        [&](const char* name) { return call.function == name; }) !=
           std::end(kMonitorFunctions);
  });
}

bool registry_touched() {
  return std::any_of(tvsim::log().begin(), tvsim::log().end(),
                     [](const Call& call) { return call.function.rfind("Reg", 0) == 0; });
}

using Discovery = PanelTest;

TEST_F(Discovery, OneBoardMonitorIsListedAndEnumeratedOnTheScreenContext) {
  start(with_monitors({true}));
  const EnumeratedDisplays displays = panel().enumerate_board_displays(FALSE);
  EXPECT_EQ(displays.monitors, std::vector<HMONITOR>{tvsim::monitor_handle(0)});
  EXPECT_EQ(displays.count, 1u);
  EXPECT_EQ(displays.gamma_stores, 3u);
  EXPECT_EQ(displays.gamma_values, std::vector<float>(9, 0.0f));

  const auto enumerations = tvsim::calls_to("EnumDisplayMonitors");
  ASSERT_EQ(enumerations.size(), 1u);
  EXPECT_EQ(enumerations[0].handle, tvsim::screen_dc());
  EXPECT_EQ(enumerations[0].args[0], 0u);  // no clipping rectangle
  const auto released = tvsim::calls_to("ReleaseDC");
  ASSERT_EQ(released.size(), 1u);
  EXPECT_EQ(released[0].handle, tvsim::screen_dc());

  const auto escapes = tvsim::calls_to("ExtEscape");
  ASSERT_EQ(escapes.size(), 1u);
  EXPECT_EQ(escapes[0].handle, tvsim::monitor_dc(0));
  EXPECT_EQ(escapes[0].code, 4051);
  EXPECT_EQ(escapes[0].input.size(), 44u);
  EXPECT_EQ(record_word(escapes[0].input, 4), 2u);
  EXPECT_EQ(escapes[0].args[0], 44u);
}

TEST_F(Discovery, OnlyTheSecondOfTwoMonitorsIsTheBoards) {
  start(with_monitors({false, true}));
  const EnumeratedDisplays displays = panel().enumerate_board_displays(FALSE);
  EXPECT_EQ(displays.monitors, std::vector<HMONITOR>{tvsim::monitor_handle(1)});
  EXPECT_EQ(displays.count, 1u);
  EXPECT_EQ(displays.gamma_stores, 3u);
  EXPECT_EQ(displays.gamma_values.size(), 9u);
  EXPECT_EQ(tvsim::calls_to("ExtEscape").size(), 2u);
}

TEST_F(Discovery, TwoBoardMonitorsSizeTheArraysForTwo) {
  start(with_monitors({true, true}));
  const EnumeratedDisplays displays = panel().enumerate_board_displays(FALSE);
  EXPECT_EQ(displays.monitors,
            (std::vector<HMONITOR>{tvsim::monitor_handle(0), tvsim::monitor_handle(1)}));
  EXPECT_EQ(displays.count, 2u);
  EXPECT_EQ(displays.gamma_stores, 6u);
  EXPECT_EQ(displays.gamma_values, std::vector<float>(18, 0.0f));
}

TEST_F(Discovery, AnotherIdentificationAnswerIsNoBoard) {
  SimulatedSystem system = with_monitors({true, true});
  system.board.identification_word = 0x7E52;
  start(system);
  EnumeratedDisplays displays = panel().enumerate_board_displays(FALSE);
  EXPECT_TRUE(displays.monitors.empty());
  EXPECT_EQ(displays.count, 1u);
  EXPECT_EQ(displays.gamma_stores, 3u);
  EXPECT_EQ(displays.gamma_values.size(), 9u);

  system.board.identification_word = 0x7E51;
  system.board.identification_result = 0;
  start(system);
  EXPECT_TRUE(panel().enumerate_board_displays(FALSE).monitors.empty());
  EXPECT_EQ(panel().identify(tvsim::monitor_dc(0)), 0);
}

TEST_F(Discovery, DisplayNamedByTheShellIsNotEnumerated) {
  start(with_monitors({true, true}));
  const EnumeratedDisplays displays = panel().enumerate_board_displays(TRUE);
  EXPECT_TRUE(displays.monitors.empty());
  EXPECT_EQ(displays.count, 1u);
  EXPECT_TRUE(tvsim::calls_to("EnumDisplayMonitors").empty());
  EXPECT_TRUE(tvsim::calls_to("ExtEscape").empty());
}

using MultiMonitorBinding = PanelTest;

TEST_F(MultiMonitorBinding, ResolvesTheSixFromUser32AndChecksTheVirtualScreen) {
  start(with_monitors({true, true}));
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 1);
  std::vector<std::string> asked;
  for (const Call& call : tvsim::calls_to("GetProcAddress")) {
    EXPECT_EQ(call.handle, GetModuleHandleA("user32.dll"));
    asked.push_back(call.text);
  }
  EXPECT_EQ(asked,
            std::vector<std::string>(std::begin(kMonitorFunctions), std::end(kMonitorFunctions)));
  std::vector<std::intptr_t> metrics;
  for (const Call& call : tvsim::calls_to("GetSystemMetrics")) metrics.push_back(call.code);
  std::sort(metrics.begin(), metrics.end());
  EXPECT_EQ(metrics, (std::vector<std::intptr_t>{SM_CXSCREEN, SM_CYSCREEN, SM_CXVIRTUALSCREEN,
                                                 SM_CYVIRTUALSCREEN}));

  const MultiMonitorFunctions bound = panel().bound_multi_monitor_functions();
  EXPECT_TRUE(bound.getSystemMetrics && bound.monitorFromWindow && bound.monitorFromRect &&
              bound.monitorFromPoint && bound.enumDisplayMonitors && bound.getMonitorInfoA);
}

TEST_F(MultiMonitorBinding, NoMonitorFunctionsLeavesAllSixNullAndUncalled) {
  SimulatedSystem system = with_monitors({false, true});
  system.missing_user32.assign(std::begin(kMonitorFunctions), std::end(kMonitorFunctions));
  start(system);
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 0);
  EXPECT_TRUE(all_null(panel().bound_multi_monitor_functions()));

  const EnumeratedDisplays displays = panel().enumerate_board_displays(FALSE);
  EXPECT_TRUE(displays.monitors.empty());
  EXPECT_EQ(displays.count, 1u);
  EXPECT_EQ(displays.gamma_stores, 3u);
  EXPECT_FALSE(any_monitor_function_called());
  EXPECT_TRUE(tvsim::calls_to("GetDC").empty());
}

TEST_F(MultiMonitorBinding, OneMissingFunctionNullsTheFiveFound) {
  SimulatedSystem system = with_monitors({true});
  system.missing_user32 = {"GetMonitorInfoA"};
  start(system);
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 0);
  EXPECT_TRUE(all_null(panel().bound_multi_monitor_functions()));
  EXPECT_EQ(panel().enumerate_board_displays(FALSE).count, 1u);
  EXPECT_FALSE(any_monitor_function_called());
}

TEST_F(MultiMonitorBinding, VirtualScreenSmallerThanTheScreenDisablesSupport) {
  SimulatedSystem narrow = with_monitors({true});
  narrow.virtual_width = narrow.screen_width - 1;
  start(narrow);
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 0);
  EXPECT_TRUE(all_null(panel().bound_multi_monitor_functions()));
  EXPECT_TRUE(panel().enumerate_board_displays(FALSE).monitors.empty());
  EXPECT_TRUE(tvsim::calls_to("EnumDisplayMonitors").empty());

  SimulatedSystem low = with_monitors({true});
  low.virtual_height = low.screen_height - 1;
  start(low);
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 0);
}

TEST_F(MultiMonitorBinding, FirstAnswerIsKept) {
  start(with_monitors({true}));
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 1);
  tvsim::model().missing_user32 = {"MonitorFromRect"};
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 1);
  EXPECT_EQ(tvsim::calls_to("GetProcAddress").size(), 6u);

  SimulatedSystem narrow = with_monitors({true});
  narrow.virtual_width = 1;
  start(narrow);
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 0);
  tvsim::model().virtual_width = 640;
  EXPECT_EQ(panel().bind_multi_monitor_functions(), 0);
  EXPECT_EQ(tvsim::calls_to("GetProcAddress").size(), 6u);
}

// A hardware key in Wine's registry under HKLM\Enum, holding a "Driver" value, removed again
// at the end of the test.
class DriverKeyTest : public PanelTest {
 protected:
  void SetUp() override {
    root_ = "QELTTVTEST_" + std::to_string(GetCurrentProcessId());
    hardware_key_ = root_ + "\\DISPLAY";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("Enum\\" + root_).c_str());
  }

  void TearDown() override {
    PanelTest::TearDown();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("Enum\\" + root_).c_str());
  }

  void put_driver(DWORD type, const std::string& data) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, ("Enum\\" + hardware_key_).c_str(), &key),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Driver", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
  }

  // A Windows 9x system whose configuration manager is absent, so that the walk is the way.
  SimulatedSystem nine_x(DWORD hardware_key_type = REG_SZ) const {
    SimulatedSystem system;
    system.platform = VER_PLATFORM_WIN32_WINDOWS;
    system.dyn_data["Config Manager\\Enum\\1a2b"]["HardWareKey"] = {
        hardware_key_type, std::string(hardware_key_.c_str(), hardware_key_.size() + 1)};
    return system;
  }

  std::string root_;
  std::string hardware_key_;
};

constexpr char kDisplay1Key[] = "System\\CurrentControlSet\\Services\\Class\\Display\\0001";

using DriverKeyPath = DriverKeyTest;

TEST_F(DriverKeyPath, NtNamesTheServiceKeyWithoutAskingTheDriver) {
  start(SimulatedSystem{});
  EXPECT_EQ(panel().driver_key_path(tvsim::screen_dc()),
            "SYSTEM\\CurrentControlSet\\Services\\vantrel\\Device0");
  const auto versions = tvsim::calls_to("GetVersionExA");
  ASSERT_EQ(versions.size(), 1u);
  EXPECT_EQ(versions[0].code, 148);
  EXPECT_TRUE(tvsim::calls_to("ExtEscape").empty());
  EXPECT_TRUE(tvsim::calls_to("CreateFileA").empty());
}

TEST_F(DriverKeyPath, NineXWithoutAnAdapterNodeNamesTheProductKey) {
  SimulatedSystem system = nine_x();
  for (int result : {0, -1}) {
    system.board.adapter_node_result = result;
    start(system);
    EXPECT_EQ(panel().driver_key_path(tvsim::screen_dc()), "SOFTWARE\\Qelt Interactive\\Vantrel");
    EXPECT_TRUE(tvsim::calls_to("CreateFileA").empty());
  }
}

TEST_F(DriverKeyPath, NineXAsksTheConfigurationManagerFirst) {
  SimulatedSystem system = nine_x();
  system.config_manager.present = true;
  start(system);
  EXPECT_EQ(panel().driver_key_path(tvsim::screen_dc()), system.config_manager.software_key);

  const auto node_query = tvsim::calls_to("ExtEscape");
  ASSERT_EQ(node_query.size(), 1u);
  EXPECT_EQ(node_query[0].code, 32769);
  EXPECT_EQ(node_query[0].input, (std::vector<std::uint8_t>{3, 0, 0, 0}));
  EXPECT_EQ(node_query[0].args[0], 12u);

  const auto opened = tvsim::calls_to("CreateFileA");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].text, "\\\\.\\CONFIGMG");
  EXPECT_EQ(opened[0].args, (std::vector<std::uintptr_t>{GENERIC_READ | GENERIC_WRITE,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                                                         OPEN_EXISTING, 0, 0}));
  const auto requests = tvsim::calls_to("DeviceIoControl");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(static_cast<DWORD>(requests[0].code), 0x8000003Du);
  // Input size, output size, device node, sub-key, buffer length, flags.
  EXPECT_EQ(requests[0].args, (std::vector<std::uintptr_t>{sizeof(void*), 4, 0x1A2B, 0, 255, 1}));
  const auto closed = tvsim::calls_to("CloseHandle");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].handle, requests[0].handle);
  EXPECT_FALSE(registry_touched());
}

TEST_F(DriverKeyPath, NineXWalksTheRegistryWhenTheManagerFails) {
  ASSERT_NO_FATAL_FAILURE(put_driver(REG_SZ, std::string("Display\\0001", 13)));
  SimulatedSystem system = nine_x();
  system.config_manager.present = true;
  system.config_manager.result = 0x25;
  start(system);
  EXPECT_EQ(panel().driver_key_path(tvsim::screen_dc()), kDisplay1Key);
}

TEST_F(DriverKeyPath, NineXWithBothLookupsFailingIsEmpty) {
  SimulatedSystem system = nine_x();
  system.dyn_data.clear();
  start(system);
  EXPECT_EQ(panel().driver_key_path(tvsim::screen_dc()), "");
}

using ConfigManagerRequest = DriverKeyTest;

TEST_F(ConfigManagerRequest, EveryLocalFailureIs19) {
  SimulatedSystem system = nine_x();
  char buffer[256] = {};
  const DevNodeKeyArguments arguments = {0x1A2B, nullptr, buffer, 255, 1};
  start(system);
  EXPECT_EQ(panel().config_manager_request(0x3D, &arguments), 19u);
  EXPECT_TRUE(tvsim::calls_to("DeviceIoControl").empty());

  tvsim::model().config_manager.present = true;
  tvsim::model().config_manager.result = 0x25;
  EXPECT_EQ(panel().config_manager_request(0x3D, &arguments), 0x25u);
  tvsim::model().config_manager.bytes_returned = 3;
  EXPECT_EQ(panel().config_manager_request(0x3D, &arguments), 19u);
  tvsim::model().config_manager.bytes_returned = 4;
  tvsim::model().config_manager.io_control_result = FALSE;
  EXPECT_EQ(panel().config_manager_request(0x3D, &arguments), 19u);
  EXPECT_EQ(tvsim::calls_to("CloseHandle").size(), 3u);
}

using KeyWalk = DriverKeyTest;

TEST_F(KeyWalk, FollowsTheHardwareKeyToTheDriversClassKey) {
  ASSERT_NO_FATAL_FAILURE(put_driver(REG_SZ, std::string("Display\\0001", 13)));
  start(nine_x());
  char buffer[53];
  ASSERT_EQ(panel().key_walk(0x1A2B, buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, kDisplay1Key);

  std::vector<std::string> steps;
  for (const Call& call : tvsim::log()) steps.push_back(call.function + " " + call.text);
  EXPECT_EQ(steps, (std::vector<std::string>{"RegOpenKeyExA Config Manager\\Enum\\1a2b",
                                             "RegQueryValueExA HardWareKey", "RegCloseKey ",
                                             "RegOpenKeyExA Enum\\" + hardware_key_,
                                             "RegQueryValueExA Driver", "RegCloseKey "}));
  EXPECT_EQ(tvsim::log()[0].handle, HKEY_DYN_DATA);
  EXPECT_EQ(tvsim::log()[0].args[1], static_cast<std::uintptr_t>(KEY_READ));
  EXPECT_EQ(tvsim::log()[3].handle, HKEY_LOCAL_MACHINE);
}

TEST_F(KeyWalk, BufferOf52IsRefusedWithoutTouchingTheRegistry) {
  ASSERT_NO_FATAL_FAILURE(put_driver(REG_SZ, std::string("Display\\0001", 13)));
  start(nine_x());
  char buffer[64];
  EXPECT_EQ(panel().key_walk(0x1A2B, buffer, 52), 19u);
  EXPECT_TRUE(tvsim::log().empty());
}

TEST_F(KeyWalk, ValuesOfAnotherTypeThanTextAre19) {
  ASSERT_NO_FATAL_FAILURE(put_driver(REG_SZ, std::string("Display\\0001", 13)));
  start(nine_x(REG_BINARY));
  char buffer[256];
  EXPECT_EQ(panel().key_walk(0x1A2B, buffer, 255), 19u);
  EXPECT_EQ(tvsim::calls_to("RegOpenKeyExA").size(), 1u);  // the walk stops before HKLM

  const DWORD driver = 1;
  ASSERT_NO_FATAL_FAILURE(
      put_driver(REG_DWORD, std::string(reinterpret_cast<const char*>(&driver), sizeof driver)));
  start(nine_x());
  EXPECT_EQ(panel().key_walk(0x1A2B, buffer, 255), 19u);
}

TEST_F(KeyWalk, MissingKeysAre19) {
  start(nine_x());
  char buffer[256];
  EXPECT_EQ(panel().key_walk(0x1A2C, buffer, 255), 19u);
  EXPECT_EQ(panel().key_walk(0x1A2B, buffer, 255), 19u);  // no HKLM\Enum key yet
}

TEST_F(KeyWalk, PathLongerThanTheBufferIsRefusedUntouched) {
  ASSERT_NO_FATAL_FAILURE(put_driver(REG_SZ, std::string("Display\\00001", 14)));
  start(nine_x());
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(panel().key_walk(0x1A2B, buffer, 53), 19u);
  EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](char c) { return c == 'x'; }));
  EXPECT_EQ(panel().key_walk(0x1A2B, buffer, 54), 0u);
  EXPECT_STREQ(buffer, "System\\CurrentControlSet\\Services\\Class\\Display\\00001");
}

}  // namespace
