// A property page that takes over a dialog the property sheet created from its template, and
// answers the sheet's notifications with the page's virtual operations. Data exchange binds
// control ids to control objects.
#ifndef QELTVBTV_PROPERTY_PAGE_H
#define QELTVBTV_PROPERTY_PAGE_H

#include "window.h"

class CPropertyPage;

// One data exchange: from the controls (saving) or to them.
struct CDataExchange {
  CPropertyPage* m_page;
  BOOL m_bSaveAndValidate;
};

// Binds the dialog's control `id` to `control` the first time; later exchanges keep the binding.
void DDX_Control(CDataExchange* exchange, int id, CWindow& control);

class CPropertyPage : public CWindow {
 public:
  explicit CPropertyPage(UINT templateId) : m_templateId(templateId) {}

  UINT GetTemplateId() const { return m_templateId; }

  // Runs the data exchange; FALSE when it failed.
  BOOL UpdateData(BOOL saveAndValidate);

  // The dialog's initialisation: data to the controls; TRUE lets the sheet set the focus.
  virtual BOOL OnInitDialog();
  // The page becomes the current one: data to the controls, except the first time (the
  // initialisation just did it). FALSE refuses.
  virtual BOOL OnSetActive();
  // The page is left: data from the controls. FALSE keeps the user on the page.
  virtual BOOL OnKillActive();
  virtual void OnOK();
  virtual void OnCancel();
  // Apply or OK: FALSE keeps the sheet open on this page.
  virtual BOOL OnApply();

 protected:
  virtual void DoDataExchange(CDataExchange* exchange);
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  UINT m_templateId;
  bool m_firstSetActive = true;
};

#endif
