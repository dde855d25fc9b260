#include "display_host.h"

#include <prsht.h>

#include <algorithm>
#include <set>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

std::size_t Picture::colours_in(const RECT& area) const {
  std::set<unsigned> seen;
  for (long y = std::max(0L, long(area.top)); y < std::min(long(height), long(area.bottom)); ++y) {
    for (long x = std::max(0L, long(area.left)); x < std::min(long(width), long(area.right)); ++x) {
      const unsigned char* p = &rgb[3 * (std::size_t(y) * width + x)];
      seen.insert(unsigned(p[0]) << 16 | unsigned(p[1]) << 8 | p[2]);
    }
  }
  return seen.size();
}

HWND open_display_properties(HPROPSHEETPAGE page) {
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS;
  header.pszCaption = "Display Properties";
  header.nPages = 1;
  header.phpage = &page;
  return reinterpret_cast<HWND>(PropertySheetA(&header));
}

void pump_messages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (GetTickCount() - start >= milliseconds) return;
    Sleep(20);
  }
}

Picture capture_window(HWND window) {
  RECT place;
  GetWindowRect(window, &place);
  Picture picture;
  picture.width = place.right - place.left;
  picture.height = place.bottom - place.top;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ previous = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, picture.width, picture.height, screen, place.left, place.top, SRCCOPY);
  GdiFlush();
  const auto* bgra = static_cast<const unsigned char*>(bits);
  for (int i = 0; bgra != nullptr && i < picture.width * picture.height; ++i)
    picture.rgb.insert(picture.rgb.end(), {bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]});
  SelectObject(memory, previous);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

bool save_png(const Picture& picture, const std::string& path) {
  return !picture.rgb.empty() && stbi_write_png(path.c_str(), picture.width, picture.height, 3,
                                                picture.rgb.data(), picture.width * 3) != 0;
}
