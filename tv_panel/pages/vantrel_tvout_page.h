// The TV-out page: TV output on or off, the monitor while the TV is on, the signal type, four
// picture adjustments on one slider and the picture's centering, each sent to the display driver
// as soon as it is operated; the panel values and per-display gamma saved on Apply or OK.
#ifndef QELTVBTV_VANTREL_TVOUT_PAGE_H
#define QELTVBTV_VANTREL_TVOUT_PAGE_H

#include <memory>
#include <string>

#include "configuration_data.h"
#include "display_discovery.h"
#include "escape_records.h"
#include "gdi_font.h"
#include "hyperlink_label.h"
#include "page_animation.h"
#include "picture_static.h"
#include "qelt_prop_page.h"

class CVantrelTVOutPage : public CQeltPropPage {
 public:
  CVantrelTVOutPage();
  ~CVantrelTVOutPage() override;

  // The display the shell named, kept as the page's own copies.
  void SetDisplay(const std::string& deviceName, const std::string& title, BOOL deviceFromShell);

  void LoadPanelSettings() override;
  // Finds the board's displays and makes their gamma stores; from then on the destructor puts
  // their saved gamma back.
  void EnumerateDisplays();
  // Loads every display's gamma groups from the registry and its desktop group into its driver.
  void ApplySavedGamma();
  // Saves the panel values and every gamma group, and tells the driver.
  void SaveSettings();

  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL OnApply() override;
  BOOL OnKillActive() override;

  const BoardDisplays& GetDisplays() const { return m_displays; }
  CHyperlinkLabel& GetLink() { return m_link; }
  CPageAnimation& GetAnimation() { return m_animation; }

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnHScroll(UINT code, UINT position, HWND scrollBar) override;
  BOOL OnHelpInfo(HELPINFO* info) override;
  void OnContextMenu(HWND window, POINT point) override;

 private:
  void EnableTvControls(BOOL enable);
  void OnTvOutputToggle();
  void OnDisplayRoutingChange();
  void OnSignalTypeChange();
  void OnAdjustItemChange();
  void OnSliderChange();
  void MovePicture(int deltaX, int deltaY);
  void StartAnimation();
  void ChangeDesktopSize(DWORD width, DWORD height);
  std::string HelpFile() const;

  CFont m_marlettFont;
  std::string m_displayDevice;
  std::string m_displayTitle;
  BOOL m_deviceFromShell = FALSE;
  // The board monitors, and the gamma stores and values once the displays are known.
  BoardDisplays m_displays;
  bool m_displaysKnown = false;
  CConfigurationData m_panelSettings;
  int m_lockGamma = 1;
  int m_lastApi = 0;
  escape::VideoParametersRecord m_video = {};
  int m_positionX = 0;
  int m_positionY = 0;
  std::unique_ptr<CPictureStatic> m_headerBitmap;
  CHyperlinkLabel m_link;
  CPageAnimation m_animation;
};

#endif
