#include "board_check.h"

#include <windows.h>

#include "display_discovery.h"
#include "vantrel_tvout_page.h"

int IsBoardPresent() {
  CVantrelTVOutPage page;
  page.EnumerateDisplays();
  if (!page.GetDisplays().monitors.empty()) return 1;
  // Without a board monitor (or without multi-monitor support) the whole screen's driver answers.
  const HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  const int found = CDisplayDriver(dc).Identify();
  if (dc != nullptr) DeleteDC(dc);
  return found;
}
