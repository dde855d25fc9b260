#include "vantrel_tvout_page.h"

#include <commctrl.h>

#include <cstring>

#include "escapes_win32.h"
#include "module_state.h"
#include "picture_adjustments.h"
#include "resource_ids.h"

namespace {

const char kPanelKeyPath[] = "Software\\Qelt Interactive\\Vantrel\\Control Panel";
const char kLinkText[] = "www.qelt-interactive.example";
const char kLinkUrl[] = "http://www.qelt-interactive.example/";
constexpr UINT kLastFrame = 94;

// The controls that only make sense while the TV output is on.
const int kTvControls[] = {
    IDC_SETTINGS_GROUP, IDC_SIGNAL_TYPE, IDC_SIGNAL_LABEL, IDC_ADJUST_ITEM,     IDC_ADJUST_LABEL,
    IDC_ADJUST_SLIDER,  IDC_SLIDER_MIN,  IDC_SLIDER_MAX,   IDC_CENTERING_GROUP, IDC_MOVE_LEFT,
    IDC_MOVE_RIGHT,     IDC_MOVE_UP,     IDC_MOVE_DOWN};
const int kArrowButtons[] = {IDC_MOVE_LEFT, IDC_MOVE_RIGHT, IDC_MOVE_UP, IDC_MOVE_DOWN};

// Control id and help context pairs, ended by 0, 0; the slider's labels share its help.
const DWORD kHelpIds[] = {IDC_PICTURE,
                          0x20475,
                          IDC_SIGNAL_TYPE,
                          0x20456,
                          IDC_ENABLE_TV,
                          0x2044F,
                          IDC_NO_MONITOR,
                          0x20451,
                          IDC_ADJUST_ITEM,
                          0x20483,
                          IDC_ADJUST_SLIDER,
                          0x20467,
                          IDC_SLIDER_MAX,
                          0x20467,
                          IDC_SLIDER_MIN,
                          0x20467,
                          IDC_MOVE_UP,
                          0x203F7,
                          IDC_MOVE_DOWN,
                          0x203F9,
                          IDC_MOVE_LEFT,
                          0x203EA,
                          IDC_MOVE_RIGHT,
                          0x203EC,
                          0,
                          0};

// The TV standard each signal-type list position sends.
const DWORD kSignalTypes[] = {escape::kTvStandardNtsc, escape::kTvStandardPal};

bool TvOutputActive() { return escape::IsTvOutputActive(escape::QueryTvEncoder(CScreenDC())); }

}  // namespace

CVantrelTVOutPage::CVantrelTVOutPage()
    : CQeltPropPage(IDD_TVOUT_PAGE),
      m_panelSettings(HKEY_LOCAL_MACHINE),
      m_link(kLinkText, kLinkUrl, TRUE, TRUE, TRUE) {
  LoadPanelSettings();
}

CVantrelTVOutPage::~CVantrelTVOutPage() {
  // The gamma saved in the registry goes back into every display's driver; a destructor must not
  // let an exception out.
  if (m_displaysKnown) {
    try {
      ApplySavedGamma();
    } catch (...) {
    }
  }
}

void CVantrelTVOutPage::SetDisplay(const std::string& deviceName, const std::string& title,
                                   BOOL deviceFromShell) {
  m_displayDevice = deviceName;
  m_displayTitle = title;
  m_deviceFromShell = deviceFromShell;
}

void CVantrelTVOutPage::LoadPanelSettings() {
  m_lockGamma = 1;
  m_lastApi = 0;
  m_panelSettings.SetKeyPath(kPanelKeyPath);
  m_panelSettings.BindInteger("Lock Gamma", &m_lockGamma, m_lockGamma, 0)
      ->BindInteger("Last API", &m_lastApi, m_lastApi, 0);
  m_panelSettings.Load();
  m_displaysKnown = false;
  m_headerBitmap = std::make_unique<CPictureStatic>(IDB_TV_PICTURE);
  m_marlettFont.CreateFont(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, "Marlett");
}

void CVantrelTVOutPage::EnumerateDisplays() {
  EnumerateBoardDisplays(m_displays, m_deviceFromShell);
  m_displaysKnown = true;
}

void CVantrelTVOutPage::ApplySavedGamma() {
  static const char* const kGroupKeys[] = {"", "\\Vorla", "\\D3D"};
  static const float kGroupDefaults[] = {1.0f, 1.3f, 1.3f};
  static const char* const kValueNames[] = {"KQX77_RGAMMA", "KQX77_GGAMMA", "KQX77_BGAMMA"};
  const std::size_t count = m_displays.Count();
  for (std::size_t d = 0; d < count; ++d) {
    const bool screen = m_displays.monitors.empty();
    const HDC dc = screen ? GetDC(nullptr) : CreateMonitorDC(m_displays.monitors[d]);
    const CDisplayDriver driver(dc);
    const std::string driverKey = driver.GetDriverKeyPath();
    for (std::size_t k = 0; k < 3; ++k) {
      CConfigurationData& store = m_displays.gammaStores[3 * d + k];
      store.Reset();
      // Without a driver key the display keeps the defaults: an empty path reads and writes
      // nothing, where "\Vorla" alone would name a key at the root.
      store.SetKeyPath(driverKey.empty() ? std::string() : driverKey + kGroupKeys[k]);
      float* values = &m_displays.gammaValues[9 * d + 3 * k];
      CConfigurationData* node = &store;
      for (std::size_t j = 0; j < 3; ++j) {
        node = node->BindFloat(kValueNames[j], &values[j], kGroupDefaults[k], 0);
      }
      store.Load();
    }
    const float* desktop = &m_displays.gammaValues[9 * d];
    driver.SetGammaRamp(escape::GammaHundredths(desktop[0]), escape::GammaHundredths(desktop[1]),
                        escape::GammaHundredths(desktop[2]));
    if (screen) {
      ReleaseDC(nullptr, dc);
    } else if (dc != nullptr) {
      DeleteDC(dc);
    }
  }
}

void CVantrelTVOutPage::SaveSettings() {
  m_panelSettings.Save();
  escape::NotifySettingsApplied(CScreenDC());
  for (CConfigurationData& store : m_displays.gammaStores) {
    store.Save();
  }
}

void CVantrelTVOutPage::DoDataExchange(CDataExchange* exchange) {
  CQeltPropPage::DoDataExchange(exchange);
  DDX_Control(exchange, IDC_LINK, m_link);
  DDX_Control(exchange, IDC_ANIMATION, m_animation);
}

BOOL CVantrelTVOutPage::OnInitDialog() {
  CQeltPropPage::OnInitDialog();
  bool tvActive;
  bool monitorInUse;
  {
    CScreenDC dc;
    tvActive = escape::IsTvOutputActive(escape::QueryTvEncoder(dc));
    monitorInUse = escape::QueryMonitorInUse(dc);
  }
  // The arrows' digits are triangles in this font.
  for (int id : kArrowButtons) {
    SendDlgItemMessage(id, WM_SETFONT, reinterpret_cast<WPARAM>(m_marlettFont.GetSafeHandle()),
                       TRUE);
  }
  for (UINT text : {IDS_SCREEN_FIT, IDS_FLICKER_FILTER, IDS_COLOUR, IDS_BRIGHTNESS}) {
    SendDlgItemMessage(IDC_ADJUST_ITEM, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(LoadResourceString(text).c_str()));
  }
  SendDlgItemMessage(IDC_ADJUST_ITEM, CB_SETCURSEL, adjust::kScreenFit);
  OnAdjustItemChange();
  for (UINT text : {IDS_NTSC, IDS_PAL}) {
    SendDlgItemMessage(IDC_SIGNAL_TYPE, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(LoadResourceString(text).c_str()));
  }
  CheckDlgButton(IDC_ENABLE_TV, tvActive ? BST_CHECKED : BST_UNCHECKED);
  EnableTvControls(tvActive);
  CheckDlgButton(IDC_NO_MONITOR, monitorInUse ? BST_UNCHECKED : BST_CHECKED);
  escape::NotifySettingsOpened(CScreenDC());

  m_video = escape::GetVideoParameters(CScreenDC());
  m_positionX = static_cast<int>(m_video.positionX);
  m_positionY = static_cast<int>(m_video.positionY);
  SendDlgItemMessage(IDC_ADJUST_SLIDER, TBM_SETPOS, TRUE,
                     adjust::PositionFromDriver(adjust::kScreenFit, m_video));
  const int signal = (m_video.tvStandard & escape::kTvStandardPal)    ? 1
                     : (m_video.tvStandard & escape::kTvStandardNtsc) ? 0
                                                                      : -1;
  SendDlgItemMessage(IDC_SIGNAL_TYPE, CB_SETCURSEL, static_cast<WPARAM>(signal));

  m_headerBitmap->SubclassWindow(GetDlgItem(IDC_PICTURE));
  m_link.ShowLinkText();
  EnumerateDisplays();
  ApplySavedGamma();
  StartAnimation();
  return TRUE;
}

void CVantrelTVOutPage::StartAnimation() {
  m_animation.SetLastFrame(kLastFrame);
  // Over the television's screen in the picture. The clip is a child of the page, so its place
  // is in the page's coordinates.
  RECT place = {12, 11, 12 + 114, 11 + 83};
  MapWindowPoints(GetDlgItem(IDC_PICTURE), m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  MoveWindow(m_animation.GetSafeHwnd(), place.left, place.top, place.right - place.left,
             place.bottom - place.top, TRUE);
  m_animation.Open(IDR_TV_CLIP);
  m_animation.Play(0, 0xFFFF, 1);
}

void CVantrelTVOutPage::OnOK() {
  SaveSettings();
  CQeltPropPage::OnOK();
}

BOOL CVantrelTVOutPage::OnApply() {
  SaveSettings();
  return TRUE;
}

BOOL CVantrelTVOutPage::OnKillActive() {
  m_animation.Seek(static_cast<UINT>(-1));
  m_animation.Stop();
  return CQeltPropPage::OnKillActive();
}

void CVantrelTVOutPage::EnableTvControls(BOOL enable) {
  EnableDlgItem(IDC_NO_MONITOR, TRUE);
  for (int id : kTvControls) {
    EnableDlgItem(id, enable);
  }
}

void CVantrelTVOutPage::ChangeDesktopSize(DWORD width, DWORD height) {
  // The record as the oldest systems define it; its size field says which layout it is.
  union {
    DEVMODEA mode;
    BYTE bytes[156];
  } record = {};
  static_assert(sizeof(DEVMODEA) <= 156, "display mode record");
  record.mode.dmSize = 156;
  record.mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  record.mode.dmPelsWidth = width;
  record.mode.dmPelsHeight = height;
  ChangeDisplaySettingsA(&record.mode, CDS_UPDATEREGISTRY);
}

void CVantrelTVOutPage::OnTvOutputToggle() {
  if (IsDlgButtonChecked(IDC_ENABLE_TV)) {
    CScreenDC dc;
    m_video = escape::GetVideoParameters(dc);
    escape::StoreDesktopSize(dc, static_cast<DWORD>(GetDeviceCaps(dc, HORZRES)),
                             static_cast<DWORD>(GetDeviceCaps(dc, VERTRES)));
    ChangeDesktopSize(m_video.maxUnscaledWidth, m_video.maxUnscaledHeight);
    // A driver reporting neither standard is left on the one it has.
    if (m_video.tvStandard & escape::kTvStandardPal) {
      escape::SetTvStandard(dc, escape::kTvStandardPal);
    } else if (m_video.tvStandard & escape::kTvStandardNtsc) {
      escape::SetTvStandard(dc, escape::kTvStandardNtsc);
    }
    escape::TvOutputOn(dc);
  } else {
    CScreenDC dc;
    escape::TvOutputOff(dc);
    const escape::DesktopSize size = escape::QueryDesktopSize(dc);
    ChangeDesktopSize(size.width, size.height);
  }
  if (TvOutputActive()) {
    EnableTvControls(TRUE);
    OnDisplayRoutingChange();
    return;
  }
  // The TV did not come on: the monitor stays in use, the box keeps what the user chose.
  EnableTvControls(FALSE);
  CheckDlgButton(IDC_ENABLE_TV, BST_UNCHECKED);
  const UINT noMonitor = IsDlgButtonChecked(IDC_NO_MONITOR);
  CheckDlgButton(IDC_NO_MONITOR, BST_UNCHECKED);
  OnDisplayRoutingChange();
  CheckDlgButton(IDC_NO_MONITOR, noMonitor);
}

void CVantrelTVOutPage::OnDisplayRoutingChange() {
  if (IsDlgButtonChecked(IDC_NO_MONITOR)) {
    if (TvOutputActive()) {
      escape::RouteToTvOnly(CScreenDC());
    }
  } else {
    escape::RouteToMonitorAndTv(CScreenDC());
  }
}

void CVantrelTVOutPage::OnSignalTypeChange() {
  const auto selected = static_cast<int>(SendDlgItemMessage(IDC_SIGNAL_TYPE, CB_GETCURSEL));
  if (selected >= 0 && selected < static_cast<int>(sizeof kSignalTypes / sizeof kSignalTypes[0])) {
    escape::SetTvStandard(CScreenDC(), kSignalTypes[selected]);
  }
}

void CVantrelTVOutPage::OnAdjustItemChange() {
  const auto item = static_cast<int>(SendDlgItemMessage(IDC_ADJUST_ITEM, CB_GETCURSEL));
  if (item < 0 || item >= adjust::kItemCount) {
    return;
  }
  m_video = escape::GetVideoParameters(CScreenDC());
  const adjust::SliderRange range = adjust::RangeOf(item);
  SendDlgItemMessage(IDC_ADJUST_SLIDER, TBM_SETRANGE, TRUE, MAKELONG(range.minimum, range.maximum));
  SendDlgItemMessage(IDC_ADJUST_SLIDER, TBM_SETPOS, TRUE,
                     adjust::PositionFromDriver(item, m_video));
}

void CVantrelTVOutPage::OnSliderChange() {
  const auto item = static_cast<int>(SendDlgItemMessage(IDC_ADJUST_ITEM, CB_GETCURSEL));
  if (item < 0 || item >= adjust::kItemCount) {
    return;
  }
  const auto position = static_cast<int>(SendDlgItemMessage(IDC_ADJUST_SLIDER, TBM_GETPOS));
  escape::SetVideoParameters(CScreenDC(), adjust::SetRecord(item, position));
}

void CVantrelTVOutPage::MovePicture(int deltaX, int deltaY) {
  if (deltaX != 0) {
    m_positionX = adjust::MovedPosition(m_positionX, deltaX);
  }
  if (deltaY != 0) {
    m_positionY = adjust::MovedPosition(m_positionY, deltaY);
  }
  m_video = escape::MakePositionSet(static_cast<std::uint32_t>(m_positionX),
                                    static_cast<std::uint32_t>(m_positionY));
  escape::SetVideoParameters(CScreenDC(), m_video);
}

BOOL CVantrelTVOutPage::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  switch (id) {
    case IDC_PICTURE:
      if (code == STN_CLICKED) {
        m_animation.Play(0, 0xFFFF, 1);
        return TRUE;
      }
      break;
    case IDC_SIGNAL_TYPE:
      if (code == CBN_SELCHANGE) {
        OnSignalTypeChange();
        return TRUE;
      }
      break;
    case IDC_ADJUST_ITEM:
      if (code == CBN_SELCHANGE) {
        OnAdjustItemChange();
        return TRUE;
      }
      break;
    case IDC_ENABLE_TV:
      if (code == BN_CLICKED) {
        OnTvOutputToggle();
        return TRUE;
      }
      break;
    case IDC_NO_MONITOR:
      if (code == BN_CLICKED) {
        OnDisplayRoutingChange();
        return TRUE;
      }
      break;
    case IDC_MOVE_RIGHT:
    case IDC_MOVE_LEFT:
    case IDC_MOVE_UP:
    case IDC_MOVE_DOWN:
      if (code == BN_CLICKED) {
        const int step = adjust::kCenteringStep;
        MovePicture(id == IDC_MOVE_RIGHT  ? step
                    : id == IDC_MOVE_LEFT ? -step
                                          : 0,
                    id == IDC_MOVE_DOWN ? step
                    : id == IDC_MOVE_UP ? -step
                                        : 0);
        return TRUE;
      }
      break;
    case IDC_ANIMATION:
      // Tracked, then handled as any other command.
      if (code == ACN_START) {
        m_animation.Started();
      } else if (code == ACN_STOP) {
        m_animation.Stopped();
      }
      break;
    default:
      break;
  }
  return CQeltPropPage::OnCommand(wParam, lParam);
}

BOOL CVantrelTVOutPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header->idFrom == IDC_ADJUST_SLIDER && header->code == static_cast<UINT>(-1)) {
    *result = 0;
    return TRUE;
  }
  return CQeltPropPage::OnNotify(wParam, lParam, result);
}

void CVantrelTVOutPage::OnHScroll(UINT code, UINT position, HWND scrollBar) {
  OnSliderChange();
  CQeltPropPage::OnHScroll(code, position, scrollBar);
}

std::string CVantrelTVOutPage::HelpFile() const {
  // The module's own name with the help file's extension.
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(m_instance, path, MAX_PATH);
  std::string file(path, length < MAX_PATH ? length : 0);
  const std::size_t dot = file.find_last_of('.');
  const std::size_t slash = file.find_last_of("\\/");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    file.erase(dot);
  }
  return file + ".HLP";
}

BOOL CVantrelTVOutPage::OnHelpInfo(HELPINFO* info) {
  if (info->iContextType == HELPINFO_WINDOW) {
    WinHelpA(static_cast<HWND>(info->hItemHandle), HelpFile().c_str(), HELP_WM_HELP,
             reinterpret_cast<ULONG_PTR>(kHelpIds));
  }
  return TRUE;
}

void CVantrelTVOutPage::OnContextMenu(HWND window, POINT) {
  // A request on the page itself has no control to explain.
  if (window != m_hWnd) {
    WinHelpA(window, HelpFile().c_str(), HELP_CONTEXTMENU, reinterpret_cast<ULONG_PTR>(kHelpIds));
  }
}
