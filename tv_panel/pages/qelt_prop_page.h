// The panel's base page: it takes over a dialog the Display properties created from the page's
// template, with the module handles the extension recorded.
#ifndef QELTVBTV_QELT_PROP_PAGE_H
#define QELTVBTV_QELT_PROP_PAGE_H

#include "property_page.h"

class CQeltPropPage : public CPropertyPage {
 public:
  explicit CQeltPropPage(UINT templateId) : CPropertyPage(templateId) {}

  // Subclasses window and runs the page's initialisation; FALSE, without initialisation, when
  // the window cannot be taken over.
  virtual BOOL AttachToDialog(HWND window, HINSTANCE instance, HINSTANCE resources);
  // Loads the page's settings; the pages built on this one fill it in.
  virtual void LoadPanelSettings() {}
  // Keeps both handles and makes resources the module's current resource handle.
  virtual void SetModuleHandles(HINSTANCE instance, HINSTANCE resources);

  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}
  BOOL OnApply() override;

 protected:
  HINSTANCE m_instance = nullptr;
  HINSTANCE m_resources = nullptr;
};

#endif
