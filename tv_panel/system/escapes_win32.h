// The escapes the panel sends to the display driver, one ExtEscape each on
// a device context that stays the caller's to release.
#ifndef QELTVBTV_ESCAPES_WIN32_H
#define QELTVBTV_ESCAPES_WIN32_H

#include "escape_records.h"

#include <windows.h>

#include <optional>

// The screen's device context for the escapes of one operation, released when it ends.
class CScreenDC {
 public:
  CScreenDC() : m_dc(GetDC(nullptr)) {}
  ~CScreenDC() { ReleaseDC(nullptr, m_dc); }
  CScreenDC(const CScreenDC&) = delete;
  CScreenDC& operator=(const CScreenDC&) = delete;
  operator HDC() const { return m_dc; }

 private:
  HDC m_dc;
};

namespace escape {

struct DesktopSize {
  DWORD width;
  DWORD height;
};

bool IdentifyAdapter(HDC dc);
std::optional<DWORD> QueryAdapterNode(HDC dc);
// Components are gamma × 100; one of 0 or less is sent as defaultHundredths.
void LoadGammaRamp(HDC dc, int red, int green, int blue, int defaultHundredths);
TvEncoderStatus QueryTvEncoder(HDC dc);
void SetTvStandard(HDC dc, DWORD standard);
void TvOutputOn(HDC dc);
void TvOutputOff(HDC dc);
void StoreDesktopSize(HDC dc, DWORD width, DWORD height);
DesktopSize QueryDesktopSize(HDC dc);
bool QueryMonitorInUse(HDC dc);
void RouteToMonitorAndTv(HDC dc);
void RouteToTvOnly(HDC dc);
void NotifySettingsOpened(HDC dc);
void NotifySettingsApplied(HDC dc);
VideoParametersRecord GetVideoParameters(HDC dc);
// Sends a record made by one of the Make...Set functions.
void SetVideoParameters(HDC dc, const VideoParametersRecord& record);

}  // namespace escape

#endif
