// A small Display-properties host: it makes the TV-out page as the extension does, shows it in a
// real property sheet with the simulated display driver behind it (a board with its TV output
// on), lets the clip run, saves a screenshot and prints what the driver was sent.
//   display_properties.exe [screenshot.png]
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "panel_under_test.h"
#include "display_host.h"
#include "simulated_system.h"

int main(int argc, char** argv) {
  const std::string screenshot = argc > 1 ? argv[1] : "tvout_page.png";
  InitCommonControls();
  const HMODULE module = LoadLibraryA(kPanelUnderTestDll);
  const auto entry =
      module != nullptr
          ? reinterpret_cast<PanelUnderTestEntry>(GetProcAddress(module, kPanelUnderTestEntry))
          : nullptr;
  if (entry == nullptr) {
    std::printf("cannot load %s\n", kPanelUnderTestDll);
    return 1;
  }
  const PanelUnderTest& panel = *entry();
  tvsim::SimulatedSystem system;
  system.board.tv_state_flags = 0x2;
  system.board.video.tv_standard = 0x0008;
  tvsim::install(module, system);

  void* page = panel.create_page("DISPLAY", "Quarro Vantrel", FALSE);
  const HWND sheet = open_display_properties(panel.create_sheet_page(page));
  if (sheet == nullptr) {
    std::printf("the property sheet could not be shown (is an X server there?)\n");
    return 1;
  }
  SetWindowPos(sheet, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  pump_messages(2000);  // the clip plays its 95 frames at 15 per second
  const bool saved = save_png(capture_window(sheet), screenshot);
  std::printf("the TV-out page in its property sheet: %s%s\n", screenshot.c_str(),
              saved ? "" : " (could not be written)");

  std::printf("what the display driver received while the page opened:\n");
  for (const tvsim::Call& call : tvsim::calls_to("ExtEscape")) {
    // The driver command's code, or the video-parameters command (1 get, 2 set).
    const std::size_t at = call.code == 3077 ? 20 : 0;
    DWORD word = 0;
    if (call.input.size() >= at + 4) std::memcpy(&word, call.input.data() + at, 4);
    std::printf("  escape %5d  %s 0x%04lX\n", static_cast<int>(call.code),
                call.code == 3077 ? "video parameters" : "command         ",
                static_cast<unsigned long>(word));
  }
  DestroyWindow(sheet);
  pump_messages(100);
  panel.destroy_page(page);
  tvsim::uninstall();
  return saved ? 0 : 1;
}
