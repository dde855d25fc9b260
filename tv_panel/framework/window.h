// A window object that takes over an existing window by subclassing it and routes its messages
// to virtual handlers; whatever a handler leaves alone goes on to the window's own procedure.
// Controls colour themselves: the colour messages a parent receives are offered to the child
// window's object first.
#ifndef QELTVBTV_WINDOW_H
#define QELTVBTV_WINDOW_H

#include <windows.h>

class CWindow {
 public:
  CWindow() = default;
  virtual ~CWindow();
  CWindow(const CWindow&) = delete;
  CWindow& operator=(const CWindow&) = delete;

  // The object of a window it has subclassed, or null.
  static CWindow* FromHandle(HWND window);

  // Takes over window: its messages reach this object from now on. FALSE when the window does
  // not exist or already belongs to an object.
  BOOL SubclassWindow(HWND window);
  // Gives the window its own procedure back; returns it, or null when none was held.
  HWND UnsubclassWindow();

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
  }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
  void ModifyStyle(DWORD remove, DWORD add) const;
  void EnableDlgItem(int id, BOOL enable) const { ::EnableWindow(GetDlgItem(id), enable); }
  UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
  void CheckDlgButton(int id, UINT check) const { ::CheckDlgButton(m_hWnd, id, check); }

 protected:
  // Routes one message to the handlers below; the default for every message is Default().
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The window's own procedure for the message being handled.
  LRESULT Default();

  // WM_COMMAND: TRUE when handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // WM_NOTIFY: TRUE when handled, with the answer in result.
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual void OnHScroll(UINT code, UINT position, HWND scrollBar);
  virtual BOOL OnHelpInfo(HELPINFO* info);
  virtual void OnContextMenu(HWND window, POINT point);
  // A colour message the parent received for this window: a brush answers it, null leaves it
  // to the parent.
  virtual HBRUSH CtlColor(HDC dc, UINT type);
  virtual void OnPaint();
  virtual void OnLButtonDown(UINT flags, POINT point);
  virtual void OnMouseMove(UINT flags, POINT point);
  virtual BOOL OnSetCursor(HWND window, UINT hitTest, UINT message);

  HWND m_hWnd = nullptr;

 private:
  struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  WNDPROC m_ownProcedure = nullptr;
  Message m_current = {};
};

#endif
