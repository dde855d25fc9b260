// A small Display-properties host: it creates the registered panel extension by its CLSID, as
// the shell does, puts the simulated display driver (a board with its TV output on) behind the
// panel COM loaded, shows the page the extension adds in a real property sheet, lets the clip
// run, saves a screenshot and prints what the driver was sent.
//   display_properties.exe [screenshot.png]
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "display_host.h"
#include "simulated_system.h"

namespace {

// {6513270E-269E-4D37-B2A7-4DE452E6B438}, the panel's class.
const CLSID kPanelClsid = {0x6513270E, 0x269E, 0x4D37,
                           {0xB2, 0xA7, 0x4D, 0xE4, 0x52, 0xE6, 0xB4, 0x38}};

BOOL CALLBACK keep_page(HPROPSHEETPAGE page, LPARAM parameter) {
  *reinterpret_cast<HPROPSHEETPAGE*>(parameter) = page;
  return TRUE;
}

void print_escapes() {
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
}

// Hands the extension the display (none named: the whole screen), adds its page to a sheet
// captioned as the Display properties and saves its picture.
bool show_page(IShellPropSheetExt* extension, const std::string& screenshot) {
  IShellExtInit* init = nullptr;
  if (SUCCEEDED(extension->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)))) {
    init->Initialize(nullptr, nullptr, nullptr);
    init->Release();
  }
  HPROPSHEETPAGE page = nullptr;
  extension->AddPages(&keep_page, reinterpret_cast<LPARAM>(&page));
  if (page == nullptr) {
    std::printf("the extension added no page\n");
    return false;
  }
  const HWND sheet = open_display_properties(page);
  if (sheet == nullptr) {
    std::printf("the property sheet could not be shown (is an X server there?)\n");
    return false;
  }
  SetWindowPos(sheet, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  pump_messages(2000);  // the clip plays its 95 frames at 15 per second
  const bool saved = save_png(capture_window(sheet), screenshot);
  std::printf("the TV-out page in its property sheet: %s%s\n", screenshot.c_str(),
              saved ? "" : " (could not be written)");
  print_escapes();
  DestroyWindow(sheet);
  pump_messages(100);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string screenshot = argc > 1 ? argv[1] : "tvout_page.png";
  InitCommonControls();
  CoInitialize(nullptr);
  IShellPropSheetExt* extension = nullptr;
  const HRESULT made = CoCreateInstance(kPanelClsid, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellPropSheetExt,
                                        reinterpret_cast<void**>(&extension));
  const HMODULE panel = GetModuleHandleA("qeltvbtv.dll");
  if (FAILED(made) || panel == nullptr) {
    std::printf("the panel is not registered (regsvr32 qeltvbtv.dll): 0x%08lX\n",
                static_cast<unsigned long>(made));
    CoUninitialize();
    return 1;
  }
  std::printf("created the panel's extension by its CLSID from qeltvbtv.dll\n");
  tvsim::SimulatedSystem system;
  system.board.tv_state_flags = 0x2;
  system.board.video.tv_standard = 0x0008;
  tvsim::install(panel, system);

  const bool shown = show_page(extension, screenshot);
  extension->Release();
  tvsim::uninstall();
  CoUninitialize();
  return shown ? 0 : 1;
}
