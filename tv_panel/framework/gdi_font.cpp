#include "gdi_font.h"

BOOL CFont::CreateFontIndirect(const LOGFONTA& description) {
  DeleteObject();
  m_font = ::CreateFontIndirectA(&description);
  return m_font != nullptr;
}

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight,
                       BYTE italic, BYTE underline, BYTE strikeOut, BYTE charSet,
                       BYTE outputPrecision, BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily,
                       const char* faceName) {
  DeleteObject();
  m_font =
      ::CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                    charSet, outputPrecision, clipPrecision, quality, pitchAndFamily, faceName);
  return m_font != nullptr;
}

void CFont::DeleteObject() {
  if (m_font != nullptr) {
    ::DeleteObject(m_font);
    m_font = nullptr;
  }
}
