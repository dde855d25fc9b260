// The four picture adjustments on the TV page's one slider, and the picture's centering. The
// driver's values run the opposite way to the slider: its "Min" end gives the largest value.
#ifndef QELTVBTV_PICTURE_ADJUSTMENTS_H
#define QELTVBTV_PICTURE_ADJUSTMENTS_H

#include "escape_records.h"

namespace adjust {

// In the order of the page's list.
enum Item { kScreenFit = 0, kFlickerFilter = 1, kColour = 2, kBrightness = 3, kItemCount = 4 };

struct SliderRange {
  int minimum;
  int maximum;
};

SliderRange RangeOf(int item);
// The slider position for the driver's current values; the slider clamps it to its range.
int PositionFromDriver(int item, const escape::VideoParametersRecord& current);
// The driver value a slider position stands for.
std::uint32_t DriverValue(int item, int position);
// The set record that sends position's value with the item's flag.
escape::VideoParametersRecord SetRecord(int item, int position);

// Each arrow click moves the picture by this much, kept within 0..100 in the moving direction.
constexpr int kCenteringStep = 4;
int MovedPosition(int position, int delta);

}  // namespace adjust

#endif
