#include "qelt_prop_page.h"

#include "module_state.h"

BOOL CQeltPropPage::AttachToDialog(HWND window, HINSTANCE instance, HINSTANCE resources) {
  SetModuleHandles(instance, resources);
  const BOOL attached = SubclassWindow(window);
  if (attached) {
    // Called from the sheet's dialog procedure: no exception may reach the dialog manager.
    try {
      OnInitDialog();
    } catch (...) {
    }
  }
  return attached;
}

void CQeltPropPage::SetModuleHandles(HINSTANCE instance, HINSTANCE resources) {
  m_instance = instance;
  m_resources = resources;
  SetCurrentResourceHandle(resources);
}

BOOL CQeltPropPage::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  return TRUE;
}

BOOL CQeltPropPage::OnApply() {
  OnOK();
  return TRUE;
}
