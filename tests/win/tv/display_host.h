// The Display properties as far as the tests and the demo need them: a real property sheet for
// the pages an extension made, its messages, and what the screen shows of it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <string>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;  // rows from the top

  // How many different colours the area (in the picture's coordinates) holds.
  std::size_t colours_in(const RECT& area) const;
};

// A modeless sheet captioned as the Display properties, showing page; null when it cannot be
// made (no display).
HWND open_display_properties(HPROPSHEETPAGE page);
// Runs the thread's pending messages, then more of them for `milliseconds`.
void pump_messages(DWORD milliseconds = 0);

Picture capture_window(HWND window);
bool save_png(const Picture& picture, const std::string& path);
