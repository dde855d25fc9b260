#include "property_page.h"

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

void DDX_Control(CDataExchange* exchange, int id, CWindow& control) {
  if (control.GetSafeHwnd() == nullptr) {
    control.SubclassWindow(exchange->m_page->GetDlgItem(id));
  }
}

BOOL CPropertyPage::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange{this, saveAndValidate};
  DoDataExchange(&exchange);
  return TRUE;
}

void CPropertyPage::DoDataExchange(CDataExchange*) {}

BOOL CPropertyPage::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

BOOL CPropertyPage::OnSetActive() {
  if (m_firstSetActive) {
    m_firstSetActive = false;
  } else {
    UpdateData(FALSE);
  }
  return TRUE;
}

BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

BOOL CPropertyPage::OnApply() {
  OnOK();
  return TRUE;
}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  switch (header->code) {
    case PSN_SETACTIVE:
      *result = OnSetActive() ? 0 : -1;
      break;
    case PSN_KILLACTIVE:
      *result = OnKillActive() ? FALSE : TRUE;
      break;
    case PSN_APPLY:
      *result = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
      break;
    case PSN_RESET:
      OnCancel();
      *result = 0;
      break;
    default:
      return CWindow::OnNotify(wParam, lParam, result);
  }
  // A dialog answers notifications through its message result as well.
  SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, *result);
  return TRUE;
}
