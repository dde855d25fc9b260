// The slider's arithmetic for the four adjustments, and the centering clamps.
#include "picture_adjustments.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace adjust;

TEST(PictureAdjustments, PositionsAndDriverValuesRunOppositeWays) {
  struct Case {
    int item;
    std::uint32_t driver;  // the driver's current value of the item's field
    int position;          // where the slider shows it (before the slider clamps)
    int sentPosition;      // a position the user picks
    std::uint32_t sent;    // and the value that sends
  } const cases[] = {
      {kScreenFit, 250, 1, 1, 250},     {kScreenFit, 0, 2, 0, 500},
      {kFlickerFilter, 750, 1, 2, 500}, {kFlickerFilter, 250, 3, 3, 0},
      {kFlickerFilter, 0, 4, 0, 1000},  {kColour, 42, 4, 7, 0},
      {kBrightness, 98, 0, 1, 84},
  };
  for (const Case& c : cases) {
    escape::VideoParametersRecord current = escape::MakeVideoParametersGet();
    current.overscanX = current.flickerFilter = current.contrast = current.brightness = c.driver;
    EXPECT_EQ(PositionFromDriver(c.item, current), c.position) << "item " << c.item;
    EXPECT_EQ(DriverValue(c.item, c.sentPosition), c.sent) << "item " << c.item;
  }
  EXPECT_EQ(RangeOf(kScreenFit).maximum, 2);
  EXPECT_EQ(RangeOf(kFlickerFilter).maximum, 3);
  EXPECT_EQ(RangeOf(kBrightness).maximum, 7);
}

TEST(PictureAdjustments, SetRecordsCarryTheItemsFlagAndFields) {
  const auto fit = SetRecord(kScreenFit, 1);
  EXPECT_EQ(fit.flags, escape::kVideoOverscan);
  EXPECT_EQ(fit.overscanX, 250u);
  EXPECT_EQ(fit.overscanY, 250u);
  EXPECT_EQ(fit.command, escape::kVideoParametersSet);
  EXPECT_EQ(SetRecord(kFlickerFilter, 3).flags, escape::kVideoFlickerFilter);
  EXPECT_EQ(SetRecord(kColour, 0).contrast, 98u);
  EXPECT_EQ(SetRecord(kColour, 0).flags, escape::kVideoContrast);
  EXPECT_EQ(SetRecord(kBrightness, 7).flags, escape::kVideoBrightness);
}

TEST(PictureAdjustments, CenteringClampsInTheMovingDirection) {
  int x = 70;
  for (int click = 0; click < 8; ++click) x = MovedPosition(x, kCenteringStep);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(MovedPosition(98, kCenteringStep), 100);
  EXPECT_EQ(MovedPosition(2, -kCenteringStep), 0);
  EXPECT_EQ(MovedPosition(50, -kCenteringStep), 46);
  // The driver's position may be any word: no overflow at the ends of the int range.
  EXPECT_EQ(MovedPosition(INT_MAX - 1, kCenteringStep), 100);
  EXPECT_EQ(MovedPosition(INT_MIN + 1, -kCenteringStep), 0);
}

}  // namespace
