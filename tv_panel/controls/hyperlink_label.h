// A static label that behaves as a web link: coloured and underlined by its state, a hand cursor,
// hover tracking, a click that opens the address, and a context menu to open or copy it.
#ifndef QELTVBTV_HYPERLINK_LABEL_H
#define QELTVBTV_HYPERLINK_LABEL_H

#include <string>

#include "gdi_font.h"
#include "static_control.h"

// Ids of the label's resources and commands.
constexpr UINT kLinkMenuId = 157;
constexpr UINT kHandCursorId = 158;
constexpr UINT kOpenLinkCommand = 32771;
constexpr UINT kCopyLinkCommand = 32772;

class CHyperlinkLabel : public CStatic {
 public:
  enum LinkState { kNotVisited = 0, kVisited = 1, kHovered = 2 };

  CHyperlinkLabel(const std::string& displayText, const std::string& url, BOOL contextMenu,
                  BOOL hoverTracking, BOOL handCursor);

  // Shows the display text at once.
  virtual BOOL ShowLinkText();

  int GetLinkState() const { return m_linkState; }
  const std::string& GetUrl() const { return m_url; }

 protected:
  HBRUSH CtlColor(HDC dc, UINT type) override;
  BOOL OnSetCursor(HWND window, UINT hitTest, UINT message) override;
  void OnMouseMove(UINT flags, POINT point) override;
  void OnLButtonDown(UINT flags, POINT point) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnContextMenu(HWND window, POINT point) override;

 private:
  void OpenLink();
  void CopyLink();
  void EnterHover();
  void LeaveHover();

  std::string m_displayText;
  std::string m_url;
  COLORREF m_normalColour = RGB(0, 0, 255);
  COLORREF m_visitedColour = RGB(128, 0, 128);
  COLORREF m_hoverColour = RGB(255, 0, 0);
  HCURSOR m_handCursor = nullptr;
  HCURSOR m_arrowCursor = nullptr;
  int m_linkState = kNotVisited;
  int m_savedState = kNotVisited;
  BOOL m_contextMenu;
  BOOL m_hoverTracking;
  BOOL m_handCursorEnabled;
  CFont m_underlineFont;
};

#endif
