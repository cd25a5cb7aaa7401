// The saver window's set-up as the player, the screen and the system see it:
// the order of the player calls, the stored settings that count, the window
// over the primary screen, the hidden cursor, the running flags, and an
// activation that an error cuts short.

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/saver_run.h"

namespace tpl::e2e {
namespace {

// The calls after the control's window exists, without its periodic questions.
std::vector<std::string> SetUpCalls(const std::vector<std::string>& trace) {
  std::vector<std::string> calls;
  bool active = false;
  for (const std::string& line : trace) {
    if (line == "InPlaceActivate") {
      active = true;
      continue;
    }
    if (active && !line.starts_with("IsPlaying") && !line.starts_with("get ")) calls.push_back(line);
  }
  return calls;
}

using SaverSetUp = SaverTest;

TEST_F(SaverSetUp, PlayerSeesScaleLoadMenuSizeThenPlay) {
  const DEVMODEA before = CurrentDisplayMode();
  ASSERT_TRUE(StartSaver(QuietMovie()));
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  const std::vector<std::string> expected{
      "SetObjectRects 0 0 105 105",
      "Scale=exactfit",
      "LoadMovie 0 " + Package().SaverMoviePath(),
      "Loaded 2",
      "Menu=false",
      "SetObjectRects 0 0 " + std::to_string(width) + " " + std::to_string(height),
      "Play",
  };
  EXPECT_EQ(SetUpCalls(Trace()), expected);

  RECT bounds{};
  ::GetWindowRect(SaverWindow(), &bounds);
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.top, 0);
  EXPECT_EQ(bounds.right, width);
  EXPECT_EQ(bounds.bottom, height);
  EXPECT_NE(::GetWindowLongPtrA(SaverWindow(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(testing::WindowText(SaverWindow()), "Screensaver");
  const HWND owner = ::GetWindow(SaverWindow(), GW_OWNER);
  ASSERT_NE(owner, nullptr);
  EXPECT_NE(::GetWindowLongPtrA(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0) << "a taskbar button";
  EXPECT_TRUE(ScreenSaverRunningFlag());
  EXPECT_FALSE(CursorShowing());

  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectSystemRestored(before);
}

struct MergeCase {
  const char* label;
  std::map<std::string, std::string> stored;
  std::map<int, std::string> configuration;
  std::string scaleLine;  // the player's first Scale put
  bool cursorHidden;
  bool clickEnds;
};

void PrintTo(const MergeCase& tested, std::ostream* out) { *out << tested.label; }

class StoredSettings : public SaverTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(StoredSettings, CountOnlyWithTheirAcceptedTexts) {
  const MergeCase& tested = GetParam();
  for (const auto& [name, value] : tested.stored) StoreSetting(name, value);
  const DEVMODEA before = CurrentDisplayMode();
  ASSERT_TRUE(StartSaver(QuietMovie(), ConfigurationLines(tested.configuration)));
  const std::vector<std::string> calls = SetUpCalls(Trace());
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.at(1), tested.scaleLine);
  EXPECT_EQ(CursorShowing(), !tested.cursorHidden);
  ClickButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  if (tested.clickEnds) {
    EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  } else {
    EXPECT_TRUE(StillRunningAfter(500));
    TypeKey(VK_ESCAPE);
    EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  }
  ExpectSystemRestored(before);
}

INSTANTIATE_TEST_SUITE_P(
    Merge, StoredSettings,
    ::testing::Values(
        MergeCase{"nothing_stored", {}, {}, "Scale=exactfit", true, true},
        MergeCase{"scale_mode_taken", {{"ScaleMode", "noscale"}}, {}, "Scale=noscale", true, true},
        MergeCase{"scale_mode_in_capitals_ignored", {{"ScaleMode", "ShowAll"}}, {}, "Scale=exactfit", true, true},
        MergeCase{"configured_scale_mode", {}, {{12, "showall"}}, "Scale=showall", true, true},
        MergeCase{"mouse_quit_0_taken", {{"MouseQuit", "0"}}, {}, "Scale=exactfit", false, false},
        MergeCase{"mouse_quit_other_ignored", {{"MouseQuit", "2"}}, {{25, "0"}}, "Scale=exactfit", false, false},
        MergeCase{"stored_1_over_configured_0", {{"MouseQuit", "1"}}, {{25, "0"}}, "Scale=exactfit", true, true},
        // Neither "0" nor "1": the mouse ends the saver, but only "1" hides the cursor.
        MergeCase{"configured_flag_neither_0_nor_1", {}, {{25, "yes"}}, "Scale=exactfit", false, true},
        MergeCase{"value_names_ignore_case", {{"scalemode", "noscale"}}, {}, "Scale=noscale", true, true},
        // A lower resolution cannot be set under Xvfb; the mode is recorded and put back all the same.
        MergeCase{"resolution_800_requested", {{"ResChange", "800"}}, {}, "Scale=exactfit", true, true},
        MergeCase{"resolution_other_width_ignored", {{"ResChange", "640"}}, {}, "Scale=exactfit", true, true}),
    [](const auto& tested) { return std::string(tested.param.label); });

struct BrokenActivationCase {
  const char* label;
  std::map<int, std::string> configuration;
  std::string message;
};

void PrintTo(const BrokenActivationCase& tested, std::ostream* out) { *out << tested.label; }

class BrokenActivation : public SaverTest, public ::testing::WithParamInterface<BrokenActivationCase> {};

TEST_P(BrokenActivation, ShowsTheErrorThenEndsInOrder) {
  const DEVMODEA before = CurrentDisplayMode();
  LaunchSaver(QuietMovie(), ConfigurationLines(GetParam().configuration));
  const HWND box = Run().WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no error message";
  EXPECT_EQ(StaticTextsOf(box), GetParam().message);
  // The saver stands aside so that the message can be seen and answered.
  EXPECT_TRUE(CursorShowing());
  AnswerMessageBox(box);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  EXPECT_TRUE(TraceOf({"LoadMovie", "Play"}).empty()) << "the set-up went on after the error";
  ExpectSystemRestored(before);
}

INSTANTIATE_TEST_SUITE_P(Errors, BrokenActivation,
                         ::testing::Values(BrokenActivationCase{"target_width_no_number",
                                                                {{28, "wide"}},
                                                                "'wide' is not a valid integer value"},
                                           BrokenActivationCase{"target_height_no_number",
                                                                {{28, "800"}, {29, "6OO"}},
                                                                "'6OO' is not a valid integer value"}),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(SaverSetUp, AFailingPlayerIsReportedAndTheSaverEndsInOrder) {
  // The player counts as present, but no control can be made: every player call fails.
  UnregisterPlayer();
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, "Software\\GlimmerforgeSavers", "CLSIDOVER", REG_SZ, {'1', 0});
  const DEVMODEA before = CurrentDisplayMode();
  LaunchSaver(QuietMovie());
  const std::optional<DWORD> exitCode = Run().Finish(MessageBoxes::Close);
  testing::DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\GlimmerforgeSavers", "CLSIDOVER");
  EXPECT_EQ(exitCode, std::optional<DWORD>(0));
  const std::vector<SeenWindow> boxes = Run().MessageBoxesSeen();
  ASSERT_FALSE(boxes.empty()) << "no error message";
  EXPECT_NE(boxes.back().text.find("scale mode"), std::string::npos) << boxes.back().text;
  ExpectSystemRestored(before);
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SaverSetUp, ASecondActivationSetsNothingUpAgain) {
  ASSERT_TRUE(StartSaver(QuietMovie(), ConfigurationLines({{25, "0"}})));
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PlainWindowProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SaverE2eOtherWindow";
  ::RegisterClassA(&windowClass);
  const HWND other = ::CreateWindowExA(WS_EX_TOPMOST, "SaverE2eOtherWindow", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                       50, nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(other, nullptr);
  ::SetForegroundWindow(other);
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == other; }));
  ::DestroyWindow(other);
  ::SetForegroundWindow(SaverWindow());
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == SaverWindow(); }));
  testing::PumpMessagesFor(200);
  EXPECT_EQ(TraceOf({"LoadMovie"}).size(), 1u);
  EXPECT_EQ(TraceOf({"Play"}).size(), 1u);
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverSetUp, ClosingTheWindowAnotherWayRestoresTooAndEndsOrderly) {
  const DEVMODEA before = CurrentDisplayMode();
  ASSERT_TRUE(StartSaver(QuietMovie()));
  ::PostMessageA(SaverWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectSystemRestored(before);
}

}  // namespace
}  // namespace tpl::e2e
