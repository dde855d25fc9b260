#include "saved_settings_loader.h"

#include "board_check.h"
#include "vantrel_tvout_page.h"

void LoadSavedSettings() {
  CVantrelTVOutPage page;
  if (!IsBoardPresent()) return;
  page.EnumerateDisplays();
  page.ApplySavedGamma();
  // The page's destructor applies the saved gamma once more.
}
