#include "animate_control.h"

#include "module_state.h"

BOOL CAnimateCtrl::Open(UINT id) {
  // The control loads the clip from the instance its creator gave it; the resources may live
  // elsewhere, so the message names them.
  return static_cast<BOOL>(::SendMessageA(m_hWnd, ACM_OPENA,
                                          reinterpret_cast<WPARAM>(GetCurrentResourceHandle()),
                                          reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(id))));
}
