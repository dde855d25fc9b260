#include "window.h"

namespace {

// The window property that leads from a window to the object that subclassed it.
const char kObjectProperty[] = "QeltWindowObject";

// Mouse positions are signed 16-bit coordinates (negative on monitors left of the primary one).
POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

CWindow::~CWindow() { UnsubclassWindow(); }

CWindow* CWindow::FromHandle(HWND window) {
  return window != nullptr ? static_cast<CWindow*>(GetPropA(window, kObjectProperty)) : nullptr;
}

BOOL CWindow::SubclassWindow(HWND window) {
  if (m_hWnd != nullptr || !IsWindow(window) || FromHandle(window) != nullptr ||
      !SetPropA(window, kObjectProperty, this)) {
    return FALSE;
  }
  m_hWnd = window;
  m_ownProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindow::Procedure)));
  if (m_ownProcedure == nullptr) {
    RemovePropA(window, kObjectProperty);
    m_hWnd = nullptr;
    return FALSE;
  }
  return TRUE;
}

HWND CWindow::UnsubclassWindow() {
  const HWND window = m_hWnd;
  if (window == nullptr) {
    return nullptr;
  }
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_ownProcedure));
  RemovePropA(window, kObjectProperty);
  m_hWnd = nullptr;
  m_ownProcedure = nullptr;
  return window;
}

void CWindow::ModifyStyle(DWORD remove, DWORD add) const {
  SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>((GetStyle() & ~remove) | add));
}

LRESULT CALLBACK CWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWindow* object = FromHandle(window);
  if (object == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  try {
    return object->Dispatch(message, wParam, lParam);
  } catch (...) {
    // No exception crosses into the system: this one message fails.
    return 0;
  }
}

LRESULT CWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  // Messages nest (a handler's SendMessage comes back here): each keeps its own.
  struct Current {
    Message& slot;
    Message saved;
    ~Current() { slot = saved; }
  } current{m_current, m_current};
  m_current = Message{message, wParam, lParam};
  if (message != WM_NCDESTROY) {
    return WindowProc(message, wParam, lParam);
  }
  // The window's last message: the object lets go of it first.
  const WNDPROC own = m_ownProcedure;
  const HWND window = UnsubclassWindow();
  return CallWindowProcA(own, window, message, wParam, lParam);
}

LRESULT CWindow::Default() {
  return CallWindowProcA(m_ownProcedure, m_hWnd, m_current.message, m_current.wParam,
                         m_current.lParam);
}

LRESULT CWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) {
        return 0;
      }
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(wParam, lParam, &result)) {
        return result;
      }
      break;
    }
    case WM_HSCROLL:
      OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_HELP:
      return OnHelpInfo(reinterpret_cast<HELPINFO*>(lParam));
    case WM_CONTEXTMENU:
      OnContextMenu(reinterpret_cast<HWND>(wParam), PointOf(lParam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: {
      CWindow* child = FromHandle(reinterpret_cast<HWND>(lParam));
      if (child != nullptr && child != this) {
        if (const HBRUSH brush = child->CtlColor(reinterpret_cast<HDC>(wParam), message)) {
          return reinterpret_cast<LRESULT>(brush);
        }
      }
      break;
    }
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam));
      return 0;
    case WM_SETCURSOR:
      return OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
    default:
      break;
  }
  return Default();
}

BOOL CWindow::OnCommand(WPARAM, LPARAM) { return FALSE; }
BOOL CWindow::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }
void CWindow::OnHScroll(UINT, UINT, HWND) { Default(); }
BOOL CWindow::OnHelpInfo(HELPINFO*) { return static_cast<BOOL>(Default()); }
void CWindow::OnContextMenu(HWND, POINT) { Default(); }
HBRUSH CWindow::CtlColor(HDC, UINT) { return nullptr; }
void CWindow::OnPaint() { Default(); }
void CWindow::OnLButtonDown(UINT, POINT) { Default(); }
void CWindow::OnMouseMove(UINT, POINT) { Default(); }
BOOL CWindow::OnSetCursor(HWND, UINT, UINT) { return static_cast<BOOL>(Default()); }
