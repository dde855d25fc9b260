#include "picture_adjustments.h"

namespace adjust {

SliderRange RangeOf(int item) {
  switch (item) {
    case kScreenFit:
      return {0, 2};
    case kFlickerFilter:
      return {0, 3};
    default:
      return {0, 7};
  }
}

int PositionFromDriver(int item, const escape::VideoParametersRecord& current) {
  // Unsigned divisions, as the driver's words are unsigned.
  switch (item) {
    case kScreenFit:
      return 2 - static_cast<int>(current.overscanX / 250);
    case kFlickerFilter:
      return 4 - static_cast<int>(current.flickerFilter / 250);
    case kColour:
      return 7 - static_cast<int>(current.contrast / 14);
    default:
      return 7 - static_cast<int>(current.brightness / 14);
  }
}

std::uint32_t DriverValue(int item, int position) {
  switch (item) {
    case kScreenFit:
      return static_cast<std::uint32_t>(500 - 250 * position);
    case kFlickerFilter:
      // The last position is "off": 250 is never sent.
      return position == 3 ? 0 : static_cast<std::uint32_t>(1000 - 250 * position);
    default:
      return static_cast<std::uint32_t>(98 - 14 * position);
  }
}

escape::VideoParametersRecord SetRecord(int item, int position) {
  const std::uint32_t value = DriverValue(item, position);
  switch (item) {
    case kScreenFit:
      return escape::MakeOverscanSet(value);
    case kFlickerFilter:
      return escape::MakeFlickerFilterSet(value);
    case kColour:
      return escape::MakeContrastSet(value);
    default:
      return escape::MakeBrightnessSet(value);
  }
}

int MovedPosition(int position, int delta) {
  // In 64 bits: the position comes from the driver and may lie anywhere in the int range.
  const long long moved = static_cast<long long>(position) + delta;
  if (delta > 0 && moved >= 100) {
    return 100;
  }
  if (delta < 0 && moved <= 0) {
    return 0;
  }
  return static_cast<int>(moved);
}

}  // namespace adjust
