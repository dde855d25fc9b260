#include "escapes_win32.h"

namespace escape {

namespace {

template <typename Input>
int Send(HDC dc, int code, const Input& input) {
  return ExtEscape(dc, code, sizeof input, reinterpret_cast<LPCSTR>(&input), 0, nullptr);
}

template <typename Input, typename Output>
int Send(HDC dc, int code, const Input& input, Output& output) {
  return ExtEscape(dc, code, sizeof input, reinterpret_cast<LPCSTR>(&input), sizeof output,
                   reinterpret_cast<LPSTR>(&output));
}

// Records answered in place: the driver writes over the input.
template <typename Record>
void SendForAnswerInPlace(HDC dc, int code, Record& record) {
  ExtEscape(dc, code, sizeof record, reinterpret_cast<LPCSTR>(&record), 0, nullptr);
}

void SendCommand(HDC dc, DWORD command) {
  Send(dc, kDriverCommandEscape, MakeCommandWithArgument(command, 0));
}

}  // namespace

bool IdentifyAdapter(HDC dc) {
  IdentificationAnswer answer{};
  const int result = Send(dc, kIdentificationEscape, MakeIdentificationRequest(), answer);
  return IsBoardIdentified(result, answer);
}

std::optional<DWORD> QueryAdapterNode(HDC dc) {
  AdapterNodeAnswer answer{};
  const int result = Send(dc, kDriverCommandEscape, MakeCommand(kAdapterNodeQuery), answer);
  return ReadAdapterNode(result, answer);
}

void LoadGammaRamp(HDC dc, int red, int green, int blue, int defaultHundredths) {
  Send(dc, kDriverCommandEscape, MakeGammaRampRecord(red, green, blue, defaultHundredths));
}

TvEncoderStatus QueryTvEncoder(HDC dc) {
  TvEncoderAnswer answer{};
  const int result =
      Send(dc, kDriverCommandEscape, MakeCommandWithArgument(kTvEncoderQuery, 0), answer);
  return ReadTvEncoderAnswer(result, answer);
}

void SetTvStandard(HDC dc, DWORD standard) {
  Send(dc, kDriverCommandEscape, MakeCommandWithArgument(kTvStandardSet, standard));
}

void TvOutputOn(HDC dc) { SendCommand(dc, kTvOutputOn); }

void TvOutputOff(HDC dc) { SendCommand(dc, kTvOutputOff); }

void StoreDesktopSize(HDC dc, DWORD width, DWORD height) {
  Send(dc, kDriverCommandEscape, MakeDesktopSizeStore(width, height));
}

DesktopSize QueryDesktopSize(HDC dc) {
  DesktopSizeAnswer answer{};
  Send(dc, kDriverCommandEscape, MakeCommand(kDesktopSizeQuery), answer);
  return DesktopSize{answer.width, answer.height};
}

bool QueryMonitorInUse(HDC dc) {
  RoutingRecord record = MakeRoutingQuery();
  SendForAnswerInPlace(dc, kDriverCommandEscape, record);
  return IsMonitorInUse(record);
}

void RouteToMonitorAndTv(HDC dc) { Send(dc, kDriverCommandEscape, MakeRoutingMonitorAndTv()); }

void RouteToTvOnly(HDC dc) { Send(dc, kDriverCommandEscape, MakeRoutingTvOnly()); }

void NotifySettingsOpened(HDC dc) { SendCommand(dc, kSettingsOpenedNotice); }

void NotifySettingsApplied(HDC dc) { SendCommand(dc, kSettingsAppliedNotice); }

VideoParametersRecord GetVideoParameters(HDC dc) {
  VideoParametersRecord record = MakeVideoParametersGet();
  SendForAnswerInPlace(dc, kVideoParametersEscape, record);
  return record;
}

void SetVideoParameters(HDC dc, const VideoParametersRecord& record) {
  Send(dc, kVideoParametersEscape, record);
}

}  // namespace escape
