#include "panel_under_test.h"

#include <prsht.h>

#include "vantrel_tvout_page.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE Module() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

CVantrelTVOutPage& Page(void* page) { return *static_cast<CVantrelTVOutPage*>(page); }

INT_PTR CALLBACK PageDialog(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* description = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
    Page(reinterpret_cast<void*>(description->lParam)).AttachToDialog(window, Module(), Module());
  }
  return FALSE;
}

HPROPSHEETPAGE CreateSheetPage(void* page) {
  PROPSHEETPAGEA description = {};
  description.dwSize = PROPSHEETPAGEA_V2_SIZE;
  description.hInstance = Module();
  description.pszTemplate = MAKEINTRESOURCEA(Page(page).GetTemplateId());
  description.pfnDlgProc = PageDialog;
  description.lParam = reinterpret_cast<LPARAM>(page);
  return CreatePropertySheetPageA(&description);
}

const PanelUnderTest kPanel = {
    &BindMultiMonitorFunctions,
    [] { return BoundMultiMonitorFunctions(); },
    &ConfigManagerRequest,
    &KeyWalk,
    [](HDC dc) { return CDisplayDriver(dc).Identify(); },
    [](HDC dc) { return CDisplayDriver(dc).GetDriverKeyPath(); },
    [](BOOL device_from_shell) {
      BoardDisplays displays;
      EnumerateBoardDisplays(displays, device_from_shell);
      return EnumeratedDisplays{displays.monitors, displays.Count(), displays.gammaStores.size(),
                                displays.gammaValues};
    },
    &escape::IdentifyAdapter,
    &escape::QueryAdapterNode,
    &escape::LoadGammaRamp,
    &escape::QueryTvEncoder,
    &escape::SetTvStandard,
    &escape::TvOutputOn,
    &escape::TvOutputOff,
    &escape::StoreDesktopSize,
    &escape::QueryDesktopSize,
    &escape::QueryMonitorInUse,
    &escape::RouteToMonitorAndTv,
    &escape::RouteToTvOnly,
    &escape::NotifySettingsOpened,
    &escape::NotifySettingsApplied,
    &escape::GetVideoParameters,
    &escape::SetVideoParameters,

    [](const char* device, const char* title, BOOL device_from_shell) -> void* {
      auto* page = new CVantrelTVOutPage;
      page->SetDisplay(device, title, device_from_shell);
      return page;
    },
    [](void* page) { delete &Page(page); },
    &CreateSheetPage,
    [](void* page) { return Page(page).GetSafeHwnd(); },
    [](void* page) { return Page(page).GetLink().GetSafeHwnd(); },
    [](void* page) { return Page(page).GetLink().GetLinkState(); },
    [](void* page) { return Page(page).GetAnimation().IsPlaying(); },
    [](void* page) { return Page(page).GetAnimation().IsAtEnd(); },
};

}  // namespace

extern "C" __declspec(dllexport) const PanelUnderTest* panel_under_test() { return &kPanel; }
