#include "escape_records.h"

#include <algorithm>
#include <cmath>

namespace escape {

const GUID kVideoParametersGuid = {
    0x02C62062, 0x1097, 0x11D1, {0x92, 0x0F, 0x00, 0xA0, 0x24, 0xDF, 0x15, 0x6E}};

namespace {

// Names the driver uses when no encoder is fitted; compared byte for byte.
bool NamesAnEncoder(const std::string& name) { return !name.empty() && name != "None"; }

RoutingRecord MakeRouting(std::uint32_t state, std::uint32_t mode) {
  RoutingRecord record{};
  record.code = kDisplayRouting;
  record.state = state;
  record.mode = mode;
  return record;
}

float GammaExponent(std::int32_t hundredths) {
  return 100.0f / static_cast<float>(static_cast<std::uint32_t>(hundredths));
}

std::uint8_t RampLevel(float x, float exponent) {
  const double level =
      std::floor(0.5 + 255.0 * std::pow(static_cast<double>(x), static_cast<double>(exponent)));
  return static_cast<std::uint8_t>(level);
}

VideoParametersRecord MakeVideoParameters(std::uint32_t command, std::uint32_t flags) {
  VideoParametersRecord record{};
  record.guid = kVideoParametersGuid;
  record.command = command;
  record.flags = flags;
  return record;
}

}  // namespace

IdentificationRequest MakeIdentificationRequest() {
  IdentificationRequest request{};
  request.selector = kIdentificationSelector;
  return request;
}

bool IsBoardIdentified(int result, const IdentificationAnswer& answer) {
  return result != 0 && answer.identification == kBoardIdentificationWord;
}

CommandRecord MakeCommand(std::uint32_t code) { return CommandRecord{code}; }

CommandArgumentRecord MakeCommandWithArgument(std::uint32_t code, std::uint32_t argument) {
  return CommandArgumentRecord{code, argument};
}

std::optional<std::uint32_t> ReadAdapterNode(int result, const AdapterNodeAnswer& answer) {
  if (result <= 0) {
    return std::nullopt;
  }
  return answer.node;
}

DesktopSizeRecord MakeDesktopSizeStore(std::uint32_t width, std::uint32_t height) {
  return DesktopSizeRecord{kDesktopSizeStore, width, height};
}

TvEncoderStatus ReadTvEncoderAnswer(int result, const TvEncoderAnswer& answer) {
  const char* const end = answer.name + sizeof answer.name;
  return TvEncoderStatus{result, answer.presence, answer.stateFlags,
                         std::string(answer.name, std::find(answer.name, end, '\0'))};
}

bool IsTvEncoderPresent(const TvEncoderStatus& status) {
  return status.result == kTvEncoderPresentResult && NamesAnEncoder(status.name);
}

bool IsTvOutputActive(const TvEncoderStatus& status) {
  return NamesAnEncoder(status.name) && status.presence != 0 &&
         (status.stateFlags & kTvOutputOnState) != 0;
}

// Starts from "monitor in use": a driver that leaves the answer untouched does not read as
// "monitor off".
RoutingRecord MakeRoutingQuery() { return MakeRouting(kRoutingMonitorInUse, kRoutingQueryMode); }

RoutingRecord MakeRoutingMonitorAndTv() { return MakeRouting(0, kRoutingMonitorAndTvMode); }

RoutingRecord MakeRoutingTvOnly() { return MakeRouting(0, kRoutingTvOnlyMode); }

bool IsMonitorInUse(const RoutingRecord& answeredQuery) {
  return answeredQuery.state == kRoutingMonitorInUse;
}

std::int32_t GammaHundredths(float gamma) {
  const double scaled = static_cast<double>(gamma) * 100.0;
  if (!std::isfinite(scaled) || scaled <= -2147483649.0 || scaled >= 2147483648.0) {
    return 0;
  }
  return static_cast<std::int32_t>(scaled);
}

GammaRampRecord MakeGammaRampRecord(std::int32_t red, std::int32_t green, std::int32_t blue,
                                    std::int32_t defaultHundredths) {
  const std::int32_t fallback =
      defaultHundredths > 0 ? defaultHundredths : kIdentityGammaHundredths;
  const auto usable = [fallback](std::int32_t hundredths) {
    return hundredths > 0 ? hundredths : fallback;
  };

  GammaRampRecord record{};
  record.code = kGammaRampLoad;
  record.red = usable(red);
  record.green = usable(green);
  record.blue = usable(blue);

  const float redExponent = GammaExponent(record.red);
  const float greenExponent = GammaExponent(record.green);
  const float blueExponent = GammaExponent(record.blue);
  for (int i = 0; i < 256; ++i) {
    const float x = static_cast<float>(i) * 0.003921569f;
    GammaRampEntry& entry = record.entries[i];
    entry.blue = RampLevel(x, blueExponent);
    entry.green = RampLevel(x, greenExponent);
    entry.red = RampLevel(x, redExponent);
  }
  return record;
}

VideoParametersRecord MakeVideoParametersGet() {
  return MakeVideoParameters(kVideoParametersGet, 0);
}

VideoParametersRecord MakeFlickerFilterSet(std::uint32_t flickerFilter) {
  VideoParametersRecord record = MakeVideoParameters(kVideoParametersSet, kVideoFlickerFilter);
  record.flickerFilter = flickerFilter;
  return record;
}

VideoParametersRecord MakeOverscanSet(std::uint32_t overscan) {
  VideoParametersRecord record = MakeVideoParameters(kVideoParametersSet, kVideoOverscan);
  record.overscanX = overscan;
  record.overscanY = overscan;
  return record;
}

VideoParametersRecord MakePositionSet(std::uint32_t x, std::uint32_t y) {
  VideoParametersRecord record = MakeVideoParameters(kVideoParametersSet, kVideoPosition);
  record.positionX = x;
  record.positionY = y;
  return record;
}

VideoParametersRecord MakeBrightnessSet(std::uint32_t brightness) {
  VideoParametersRecord record = MakeVideoParameters(kVideoParametersSet, kVideoBrightness);
  record.brightness = brightness;
  return record;
}

VideoParametersRecord MakeContrastSet(std::uint32_t contrast) {
  VideoParametersRecord record = MakeVideoParameters(kVideoParametersSet, kVideoContrast);
  record.contrast = contrast;
  return record;
}

}  // namespace escape
