#include "hyperlink_label.h"

#include <shellapi.h>

#include <cstring>

#include "module_state.h"

CHyperlinkLabel::CHyperlinkLabel(const std::string& displayText, const std::string& url,
                                 BOOL contextMenu, BOOL hoverTracking, BOOL handCursor)
    : m_displayText(displayText),
      m_url(url),
      m_handCursor(LoadCursorA(GetCurrentResourceHandle(), MAKEINTRESOURCEA(kHandCursorId))),
      m_arrowCursor(LoadCursorA(nullptr, IDC_ARROW)),
      m_contextMenu(contextMenu),
      m_hoverTracking(hoverTracking),
      m_handCursorEnabled(handCursor) {}

BOOL CHyperlinkLabel::ShowLinkText() {
  SetWindowTextA(m_hWnd, m_displayText.c_str());
  UpdateWindow(m_hWnd);
  return TRUE;
}

HBRUSH CHyperlinkLabel::CtlColor(HDC dc, UINT) {
  // Clicks reach a static only with SS_NOTIFY.
  const DWORD style = GetStyle();
  if ((style & SS_NOTIFY) == 0) {
    ModifyStyle(0, SS_NOTIFY);
  }
  // Bitmap, icon and other kinds of statics keep their parent's colouring.
  if ((style & 0xFF) > SS_RIGHT) {
    return nullptr;
  }
  if (m_underlineFont.GetSafeHandle() == nullptr) {
    HGDIOBJ current = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
    LOGFONTA description = {};
    GetObjectA(current != nullptr ? current : GetStockObject(SYSTEM_FONT), sizeof description,
               &description);
    description.lfUnderline = TRUE;
    m_underlineFont.CreateFontIndirect(description);
  }
  SelectObject(dc, m_underlineFont.GetSafeHandle());
  const COLORREF colours[] = {m_normalColour, m_visitedColour, m_hoverColour};
  SetTextColor(dc, colours[m_linkState]);
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

BOOL CHyperlinkLabel::OnSetCursor(HWND, UINT, UINT) {
  SetCursor(m_handCursorEnabled && m_handCursor != nullptr ? m_handCursor : m_arrowCursor);
  return TRUE;
}

void CHyperlinkLabel::OnMouseMove(UINT, POINT point) {
  if (!m_hoverTracking) {
    return;
  }
  RECT client;
  GetClientRect(m_hWnd, &client);
  const bool inside = PtInRect(&client, point) != FALSE;
  if (inside && m_linkState != kHovered) {
    // Captured, the label learns when the pointer leaves it.
    SetCapture(m_hWnd);
    EnterHover();
  } else if (!inside) {
    if (m_linkState == kHovered) {
      LeaveHover();
    }
    // Also after a click made the label visited while hovered: a capture kept would send every
    // later click on the page to the label.
    if (GetCapture() == m_hWnd) {
      ReleaseCapture();
    }
  }
  Default();
}

void CHyperlinkLabel::OnLButtonDown(UINT, POINT) {
  // Opened once the click has been handled.
  PostMessageA(m_hWnd, WM_COMMAND, kOpenLinkCommand, 0);
  Default();
}

BOOL CHyperlinkLabel::OnCommand(WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case kOpenLinkCommand:
      OpenLink();
      return TRUE;
    case kCopyLinkCommand:
      CopyLink();
      return TRUE;
    default:
      return FALSE;
  }
}

void CHyperlinkLabel::OnContextMenu(HWND, POINT point) {
  if (!m_contextMenu) {
    return;
  }
  if (m_linkState == kHovered) {
    LeaveHover();
  }
  if (GetCapture() == m_hWnd) {
    ReleaseCapture();
  }
  if (point.x == -1 && point.y == -1) {
    // From the keyboard: just inside the label's top-left corner.
    point = POINT{0, 0};
    ClientToScreen(m_hWnd, &point);
    point.x += 5;
    point.y += 5;
  }
  const HMENU menu = LoadMenuA(GetCurrentResourceHandle(), MAKEINTRESOURCEA(kLinkMenuId));
  if (menu == nullptr) {
    return;
  }
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, point.x, point.y, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
}

void CHyperlinkLabel::OpenLink() {
  const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  ShellExecuteA(GetParent(), "open", m_url.c_str(), nullptr, nullptr, SW_SHOW);
  SetCursor(previous);
  // Visited whether or not the address could be opened.
  m_linkState = kVisited;
  InvalidateRect(m_hWnd, nullptr, TRUE);
  UpdateWindow(m_hWnd);
}

void CHyperlinkLabel::CopyLink() {
  if (!OpenClipboard(m_hWnd)) {
    return;
  }
  EmptyClipboard();
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, m_url.size() + 1);
  if (void* text = block != nullptr ? GlobalLock(block) : nullptr) {
    std::memcpy(text, m_url.c_str(), m_url.size() + 1);
    GlobalUnlock(block);
    // The clipboard owns the block once it accepts it.
    if (SetClipboardData(CF_TEXT, block) == nullptr) {
      GlobalFree(block);
    }
  } else if (block != nullptr) {
    GlobalFree(block);
  }
  CloseClipboard();
}

void CHyperlinkLabel::EnterHover() {
  m_savedState = m_linkState;
  m_linkState = kHovered;
  InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CHyperlinkLabel::LeaveHover() {
  m_linkState = m_savedState;
  InvalidateRect(m_hWnd, nullptr, TRUE);
}
