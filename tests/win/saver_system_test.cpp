// The saver's system-wide changes and their undoing, in this process: the
// running flags, and the unhandled-exception filter that puts them back
// should the saver crash before it could end in order.

#include "saver/saver_system.h"

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

}  // namespace
}  // namespace tpl::saver
