// The saver's system-wide changes and their undoing, in this process: the
// running flags, and the unhandled-exception filter that puts them back
// should the saver crash before it could end in order.

#include "saver/saver_system.h"

#include "common/shockwave_flash.h"
#include "saver/mirror_copy.h"
#include "support/import_patch.h"
#include "ui/graphics.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

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

// Records each ChangeDisplaySettingsA call instead of changing the display:
// the flags the saver passes are visible only at this call (under Xvfb no mode
// changes anyway).
struct DisplayChangeCall {
  DWORD fields, width, height, frequency, flags;
};
std::vector<DisplayChangeCall> g_displayChanges;

LONG WINAPI RecordDisplayChange(DEVMODEA* mode, DWORD flags) {
  g_displayChanges.push_back(mode == nullptr ? DisplayChangeCall{0, 0, 0, 0, flags}
                                             : DisplayChangeCall{mode->dmFields, mode->dmPelsWidth, mode->dmPelsHeight,
                                                                 mode->dmDisplayFrequency, flags});
  return DISP_CHANGE_SUCCESSFUL;
}

enum class ChangePath { Lower, OrderlyRestore, CrashFilterRestore };

struct DisplayChangeCase {
  const char* label;
  ChangePath path;
  DWORD flags;
};

class DisplayChangeFlagsTest : public SaverSystemChanges, public ::testing::WithParamInterface<DisplayChangeCase> {};

// Lowering is a temporary full-screen change; the restore,
// by the orderly exit or by the crash filter, a dynamic change with flags 0.
TEST_P(DisplayChangeFlagsTest, EachChangeGetsItsFlags) {
  const DisplayChangeCase& tested = GetParam();
  g_displayChanges.clear();
  const testing::ImportPatch recorder("user32.dll", "ChangeDisplaySettingsA",
                                      reinterpret_cast<const void*>(&RecordDisplayChange));
  ASSERT_TRUE(recorder.Installed()) << "ChangeDisplaySettingsA not found in the import table";
  switch (tested.path) {
    case ChangePath::Lower: SetDisplayMode(640, 480, 60, DisplayChange::Lower); break;
    case ChangePath::OrderlyRestore: SetDisplayMode(640, 480, 60, DisplayChange::Restore); break;
    case ChangePath::CrashFilterRestore:
      GuardSystemChanges({DisplayMode{640, 480, 60}, false});
      RestoreSystemChanges();
      break;
  }
  ASSERT_EQ(g_displayChanges.size(), 1u);
  const DisplayChangeCall& call = g_displayChanges.front();
  EXPECT_EQ(call.flags, tested.flags);
  EXPECT_EQ(call.fields, static_cast<DWORD>(DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY));
  EXPECT_EQ(call.width, 640u);
  EXPECT_EQ(call.height, 480u);
  EXPECT_EQ(call.frequency, 60u);
}

INSTANTIATE_TEST_SUITE_P(Paths, DisplayChangeFlagsTest,
                         ::testing::Values(DisplayChangeCase{"lower", ChangePath::Lower, CDS_FULLSCREEN},
                                           DisplayChangeCase{"orderly_restore", ChangePath::OrderlyRestore, 0},
                                           DisplayChangeCase{"crash_filter_restore", ChangePath::CrashFilterRestore,
                                                             0}),
                         [](const auto& tested) { return std::string(tested.param.label); });

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

// A player that cannot paint its picture (PaintTo throws, as
// it does for a control that is not there) is no error: the capture reports
// false, throws nothing, and leaves the last picture as it was.
TEST(MirrorCapture, APlayerThatCannotPaintSkipsTheCopySilently) {
  TShockwaveFlash player;
  ASSERT_THROW(player.PaintTo(nullptr, 0, 0), std::exception);
  ui::Surface picture(64, 48);
  PaintHalves(picture);
  bool captured = true;
  EXPECT_NO_THROW(captured = CapturePlayerPicture(player, picture));
  EXPECT_FALSE(captured);
  ::GdiFlush();
  EXPECT_EQ(picture.Pixels()[0] & 0xFFFFFFu, 0x00FF00u);
  EXPECT_EQ(picture.Pixels()[10 * 64 + 5] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(picture.Pixels()[10 * 64 + 60] & 0xFFFFFFu, 0x0000FFu);
}


// The saver's window is put on top again only when that would change what
// shows: it is not topmost, or a visible window lies above it.
struct OnTopCase {
  const char* name;
  bool topmost;
  bool windowAbove;
  bool aboveVisible;
  bool uncovered;
};

class TopmostCheck : public ::testing::TestWithParam<OnTopCase> {};

HWND MakePopup(bool topmost, bool visible) {
  return ::CreateWindowExA(topmost ? WS_EX_TOPMOST : 0, "STATIC", "", WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 40,
                           30, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

TEST_P(TopmostCheck, SaysWhetherPuttingTheWindowOnTopWouldChangeAnything) {
  const OnTopCase& c = GetParam();
  const HWND saver = MakePopup(c.topmost, true);
  ASSERT_NE(saver, nullptr);
  // A topmost window made later lies above every earlier one.
  const HWND above = c.windowAbove ? MakePopup(true, c.aboveVisible) : nullptr;
  EXPECT_EQ(TopmostAndUncovered(saver), c.uncovered);
  if (above != nullptr) ::DestroyWindow(above);
  ::DestroyWindow(saver);
}

INSTANTIATE_TEST_SUITE_P(Cases, TopmostCheck,
                         ::testing::Values(OnTopCase{"TopmostAlone", true, false, false, true},
                                           OnTopCase{"NotTopmost", false, false, false, false},
                                           OnTopCase{"VisibleWindowAbove", true, true, true, false},
                                           OnTopCase{"HiddenWindowAbove", true, true, false, true}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tpl::saver
