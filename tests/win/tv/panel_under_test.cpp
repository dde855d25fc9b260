#include "panel_under_test.h"

namespace {

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
};

}  // namespace

extern "C" __declspec(dllexport) const PanelUnderTest* panel_under_test() { return &kPanel; }
