#include "ui/layout_scaling.h"

#include <gtest/gtest.h>

namespace tpl::ui {
namespace {

struct ScaleCase {
  int value;
  int pixelsPerInch;
  int halvesAway;    // ScaleToDpi
  int halvesToEven;  // ScaleHalfToEven
};

// At 120 pixels per inch a value scales by 1.25, at 144 by 1.5: quarters and
// halves show the two roundings apart.
TEST(LayoutScaling, RoundsHalvesAwayFromZeroOrToEven) {
  const ScaleCase cases[] = {
      {400, 96, 400, 400}, {0, 120, 0, 0},    {2, 120, 3, 2},    {6, 120, 8, 8},       {1, 120, 1, 1},
      {3, 120, 4, 4},      {-2, 120, -3, -2}, {-6, 120, -8, -8}, {-8, 120, -10, -10},  {1, 144, 2, 2},
      {3, 144, 5, 4},      {-3, 144, -5, -4}, {5, 144, 8, 8},    {480, 120, 600, 600}, {304, 120, 380, 380},
      {7, 72, 5, 5},       {2, 72, 2, 2},     {6, 72, 5, 4},
  };
  for (const ScaleCase& c : cases) {
    EXPECT_EQ(ScaleToDpi(c.value, c.pixelsPerInch), c.halvesAway) << c.value << " at " << c.pixelsPerInch;
    EXPECT_EQ(ScaleHalfToEven(c.value, c.pixelsPerInch), c.halvesToEven) << c.value << " at " << c.pixelsPerInch;
  }
}

TEST(LayoutScaling, LargeValuesDoNotOverflow) {
  EXPECT_EQ(ScaleToDpi(100000000, 192), 200000000);
  EXPECT_EQ(ScaleHalfToEven(-100000000, 192), -200000000);
}

// The settings dialog's worked layout at 120 pixels per inch with nothing
// optional shown: y = s(16), height s(480) + y, Close at (s(304), s(416) + y).
TEST(LayoutScaling, SettingsDialogWorkedExampleAt120PixelsPerInch) {
  const int y = ScaleHalfToEven(16, 120);
  EXPECT_EQ(y, 20);
  EXPECT_EQ(ScaleHalfToEven(400 + 80, 120) + y, 620);
  EXPECT_EQ(ScaleHalfToEven(400 - 96, 120), 380);
  EXPECT_EQ(ScaleHalfToEven(400 + 16, 120) + y, 540);
}

TEST(LayoutScaling, FontHeightForPoints) {
  const struct {
    int points, pixelsPerInch, height;
  } cases[] = {{8, 96, -11}, {7, 96, -9}, {8, 120, -13}, {10, 96, -13}, {9, 96, -12}, {8, 144, -16}};
  for (const auto& c : cases) {
    EXPECT_EQ(FontHeightForPoints(c.points, c.pixelsPerInch), c.height) << c.points << "pt at " << c.pixelsPerInch;
  }
}

TEST(LayoutScaling, CentredStartTruncatesTowardZero) {
  EXPECT_EQ(CentredStart(1024, 406), 309);
  EXPECT_EQ(CentredStart(1024, 407), 308);
  EXPECT_EQ(CentredStart(100, 103), -1);  // -1.5 toward zero
  EXPECT_EQ(CentredStart(100, 100), 0);
}

}  // namespace
}  // namespace tpl::ui
