// What the screen shows of a window, for the page's screenshot in the tests and the demo.
#pragma once

#include <windows.h>

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

Picture capture_window(HWND window);
bool save_png(const Picture& picture, const std::string& path);
