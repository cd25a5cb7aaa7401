// The saver's system-wide changes and their undoing, in this process: the
// running flags, and the unhandled-exception filter that puts them back
// should the saver crash before it could end in order.

#include "saver/saver_system.h"

#include "saver/mirror_copy.h"
#include "ui/graphics.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tpl::saver {
namespace {

bool RunningFlag() {
  BOOL running = FALSE;
  ::SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running != FALSE;
}

// The filter in force, left in force.
LPTOP_LEVEL_EXCEPTION_FILTER InstalledFilter() {
  const LPTOP_LEVEL_EXCEPTION_FILTER filter = ::SetUnhandledExceptionFilter(nullptr);
  ::SetUnhandledExceptionFilter(filter);
  return filter;
}

// Leaves the flag cleared and nothing to restore, whatever a test did.
class SaverSystemChanges : public ::testing::Test {
 protected:
  void TearDown() override {
    GuardSystemChanges({});
    SetScreenSaverRunningFlags(false);
  }
};

TEST_F(SaverSystemChanges, RunningFlagsGoOnAndOff) {
  SetScreenSaverRunningFlags(true);
  EXPECT_TRUE(RunningFlag());
  SetScreenSaverRunningFlags(false);
  EXPECT_FALSE(RunningFlag());
}

TEST_F(SaverSystemChanges, TheCrashFilterClearsTheFlagsAndLetsTheCrashGoOn) {
  SetScreenSaverRunningFlags(true);
  GuardSystemChanges({std::nullopt, true});
  const LPTOP_LEVEL_EXCEPTION_FILTER filter = InstalledFilter();
  ASSERT_NE(filter, nullptr) << "no filter installed";
  // Installed once: a later record does not stack another filter on it.
  GuardSystemChanges({std::nullopt, true});
  EXPECT_EQ(InstalledFilter(), filter);
  EXCEPTION_RECORD record{};
  record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
  CONTEXT context{};
  EXCEPTION_POINTERS crash{&record, &context};
  EXPECT_EQ(filter(&crash), EXCEPTION_CONTINUE_SEARCH);
  EXPECT_FALSE(RunningFlag());
}

TEST_F(SaverSystemChanges, NothingIsUndoneOnceTheOrderlyExitForgotTheChanges) {
  GuardSystemChanges({std::nullopt, true});
  GuardSystemChanges({});
  SetScreenSaverRunningFlags(true);
  RestoreSystemChanges();
  EXPECT_TRUE(RunningFlag()) << "restored what the record no longer holds";
}

TEST_F(SaverSystemChanges, TheCurrentModeIsWhatTheSystemReports) {
  const DisplayMode mode = CurrentDisplayMode();
  EXPECT_EQ(mode.width, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(mode.height, ::GetSystemMetrics(SM_CYSCREEN));
  DEVMODEA current{};
  current.dmSize = sizeof(current);
  ASSERT_TRUE(::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current));
  EXPECT_EQ(GetDisplayFrequency(), static_cast<std::int32_t>(current.dmDisplayFrequency));
}

// A picture whose left half is red and right half blue, with a green top row.
void PaintHalves(ui::Surface& picture) {
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      std::uint32_t& pixel = picture.Pixels()[y * picture.Width() + x];
      pixel = y == 0 ? 0x00FF00u : (x < picture.Width() / 2 ? 0xFF0000u : 0x0000FFu);
    }
  }
}

struct StretchCase {
  int pictureWidth, pictureHeight, targetWidth, targetHeight;
};

class MirrorCopy : public ::testing::TestWithParam<StretchCase> {};

TEST_P(MirrorCopy, FillsTheWholeTargetWithTheWholePicture) {
  const StretchCase& tested = GetParam();
  ui::Surface picture(tested.pictureWidth, tested.pictureHeight);
  PaintHalves(picture);
  ui::Surface target(tested.targetWidth, tested.targetHeight);
  StretchPictureOnto(picture, target);
  ::GdiFlush();
  const auto at = [&](int x, int y) { return target.Pixels()[y * target.Width() + x] & 0xFFFFFFu; };
  const int w = target.Width();
  const int h = target.Height();
  EXPECT_EQ(at(0, 0), 0x00FF00u);
  EXPECT_EQ(at(w - 1, 0), 0x00FF00u);
  EXPECT_EQ(at(0, h - 1), 0xFF0000u);
  EXPECT_EQ(at(w / 2 - 2, h / 2), 0xFF0000u);
  EXPECT_EQ(at(w / 2 + 2, h / 2), 0x0000FFu);
  EXPECT_EQ(at(w - 1, h - 1), 0x0000FFu);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MirrorCopy,
                         ::testing::Values(StretchCase{1024, 768, 1280, 1024}, StretchCase{1920, 1080, 800, 600},
                                           StretchCase{640, 480, 640, 480}, StretchCase{1280, 1024, 1024, 768}));

}  // namespace
}  // namespace tpl::saver
