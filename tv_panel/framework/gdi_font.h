// A GDI font owned by an object: deleted with it.
#ifndef QELTVBTV_GDI_FONT_H
#define QELTVBTV_GDI_FONT_H

#include <windows.h>

class CFont {
 public:
  CFont() = default;
  ~CFont() { DeleteObject(); }
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  BOOL CreateFontIndirect(const LOGFONTA& description);
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                  BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outputPrecision,
                  BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily, const char* faceName);
  void DeleteObject();

  HFONT GetSafeHandle() const { return m_font; }

 private:
  HFONT m_font = nullptr;
};

#endif
