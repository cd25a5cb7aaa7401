// The notices shown when no player is installed, as a user meets them: the
// saver's black screen with its drifting message, ended by keys, buttons and
// mouse movement but not by the wheel or by input over the message, and the
// settings notice with its Close button. No player is registered here.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/configuration_lines.h"
#include "e2e/program_run.h"
#include "e2e/program_windows.h"
#include "e2e/saver_package.h"
#include "support/win_test_support.h"

namespace tpl::e2e {
namespace {

constexpr char kSaverNotice[] = "TfrmMainBlack";
constexpr char kSettingsNotice[] = "TfrmSettingsBlack";
constexpr char kPanelClass[] = "TPanel";

// The panel's design place and size, and its three-second drift.
constexpr int kPanelLeft = 116;
constexpr int kPanelTop = 111;
constexpr int kPanelWidth = 313;
constexpr int kPanelHeight = 97;
constexpr DWORD kTickMs = 3000;

// Long enough for input already sent to have been handled; only used where
// the program must go on running.
constexpr DWORD kSettleMs = 400;

// The cursor's place at the notice's start: clear of the panel.
constexpr POINT kStart{700, 600};

int ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

// The notice's unseeded sequence, worked out here on its own: seed from 0,
// seed := seed * 134775813 + 1, draw := (seed * range) div 2^32.
struct ExpectedDraws {
  std::uint32_t seed = 0;
  int Next(int range) {
    seed = seed * 134775813u + 1u;
    return range <= 0 ? 0 : static_cast<int>((std::uint64_t{seed} * static_cast<std::uint32_t>(range)) >> 32);
  }
};

class SaverNotice : public ::testing::Test {
 protected:
  void SetUp() override { MoveCursorTo(kStart.x, kStart.y); }

  // Starts the notice and waits until it covers the screen, which it does
  // after noting where the cursor started.
  void Start(POINT cursor = kStart) {
    MoveCursorTo(cursor.x, cursor.y);
    run_.emplace(package_.ProgramPath(), "/s");
    notice_ = WaitForVisibleWindow(run_->Process(), kSaverNotice);
    ASSERT_NE(notice_, nullptr) << "no saver notice";
    const ULONGLONG deadline = ::GetTickCount64() + kRunTimeoutMs;
    while (!CoversTheScreen() && ::GetTickCount64() < deadline) testing::PumpMessagesFor(20);
    ASSERT_TRUE(CoversTheScreen());
    const std::vector<HWND> panels = ChildrenOfClass(notice_, kPanelClass);
    ASSERT_EQ(panels.size(), 1u);
    panel_ = panels[0];
  }

  [[nodiscard]] bool CoversTheScreen() const {
    const RECT bounds = ScreenBoundsOf(notice_);
    return bounds.left == 0 && bounds.top == 0 && bounds.right == ScreenWidth() && bounds.bottom == ScreenHeight();
  }

  [[nodiscard]] POINT PanelPlace() const {
    const RECT bounds = ScreenBoundsOf(panel_);
    return POINT{bounds.left, bounds.top};
  }

  [[nodiscard]] std::optional<DWORD> Ends() { return run_->Finish(MessageBoxes::Leave); }
  [[nodiscard]] bool GoesOn() { return StillRunningAfter(run_->Process(), kSettleMs); }

  const SaverPackage package_{"MySaver"};
  std::optional<ProgramRun> run_;
  HWND notice_ = nullptr;
  HWND panel_ = nullptr;
};

TEST_F(SaverNotice, PanelDriftsAlongTheUnseededSequence) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const POINT design = PanelPlace();
  EXPECT_EQ(design.x, kPanelLeft);
  EXPECT_EQ(design.y, kPanelTop);
  const RECT bounds = ScreenBoundsOf(panel_);
  EXPECT_EQ(bounds.right - bounds.left, kPanelWidth);
  EXPECT_EQ(bounds.bottom - bounds.top, kPanelHeight);

  ExpectedDraws draws;
  POINT previous = design;
  for (int tick = 1; tick <= 3; ++tick) {
    const int top = draws.Next(ScreenHeight() - kPanelHeight);
    const int left = draws.Next(ScreenWidth() - kPanelWidth);
    const ULONGLONG deadline = ::GetTickCount64() + 2 * kTickMs;
    while (PanelPlace().x == previous.x && PanelPlace().y == previous.y && ::GetTickCount64() < deadline) {
      testing::PumpMessagesFor(20);
    }
    const POINT now = PanelPlace();
    EXPECT_EQ(now.x, left) << "tick " << tick;
    EXPECT_EQ(now.y, top) << "tick " << tick;
    if (tick == 1) {
      EXPECT_EQ(now.y, 0) << "the first move goes to the top edge";
    }
    previous = now;
  }
  BroadcastQuit();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

struct MouseMoveCase {
  const char* label;
  POINT within;  // moved to first, relative to the start: must not end the notice
  POINT beyond;  // then this: ends it
};

const MouseMoveCase kMouseMoves[] = {
    {"right", {5, 5}, {6, 0}},
    {"down", {-5, 5}, {0, 6}},
    {"left", {-5, -5}, {-6, 0}},
    {"up", {5, -5}, {0, -6}},
};

void PrintTo(const MouseMoveCase& tested, std::ostream* out) { *out << tested.label; }

class SaverNoticeMouse : public SaverNotice, public ::testing::WithParamInterface<MouseMoveCase> {};

TEST_P(SaverNoticeMouse, FivePixelsStaySixEnd) {
  ASSERT_NO_FATAL_FAILURE(Start());
  MoveCursorTo(kStart.x + GetParam().within.x, kStart.y + GetParam().within.y);
  EXPECT_TRUE(GoesOn()) << "ended by a move of 5 pixels";
  MoveCursorTo(kStart.x + GetParam().beyond.x, kStart.y + GetParam().beyond.y);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Moves, SaverNoticeMouse, ::testing::ValuesIn(kMouseMoves),
                         [](const auto& tested) { return std::string(tested.param.label); });

struct KeyCase {
  const char* label;
  WORD key;
  bool down;
};

const KeyCase kKeys[] = {
    {"letter_pressed", 'A', true},   {"letter_released_only", 'A', false},
    {"shift_alone", VK_SHIFT, true}, {"control_released_only", VK_CONTROL, false},
    {"escape", VK_ESCAPE, true},
};

void PrintTo(const KeyCase& tested, std::ostream* out) { *out << tested.label; }

class SaverNoticeKey : public SaverNotice, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(SaverNoticeKey, AnyKeyEventEndsIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  SendKey(GetParam().key, GetParam().down);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  if (GetParam().down) SendKey(GetParam().key, false);  // leave no key down for later tests
}

INSTANTIATE_TEST_SUITE_P(Keys, SaverNoticeKey, ::testing::ValuesIn(kKeys),
                         [](const auto& tested) { return std::string(tested.param.label); });

struct ButtonCase {
  const char* label;
  DWORD down;
  DWORD up;
};

const ButtonCase kButtons[] = {
    {"left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
    {"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
    {"middle", MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP},
};

void PrintTo(const ButtonCase& tested, std::ostream* out) { *out << tested.label; }

class SaverNoticeButton : public SaverNotice, public ::testing::WithParamInterface<ButtonCase> {};

// The wheel first: it alone does not end the notice, the button then does.
TEST_P(SaverNoticeButton, WheelGoesOnButtonEnds) {
  ASSERT_NO_FATAL_FAILURE(Start());
  SendWheel(WHEEL_DELTA);
  SendWheel(-WHEEL_DELTA);
  EXPECT_TRUE(GoesOn()) << "ended by the wheel";
  SendMouseButton(GetParam().down, GetParam().up);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Buttons, SaverNoticeButton, ::testing::ValuesIn(kButtons),
                         [](const auto& tested) { return std::string(tested.param.label); });

// Input over the message goes to the panel's own window: neither a click on it
// nor a move that stays over it ends the notice. This runs before the first
// drift, while the panel is at its design place.
TEST_F(SaverNotice, InputOverThePanelGoesOn) {
  const POINT overPanel{kPanelLeft + kPanelWidth / 2, kPanelTop + kPanelHeight / 2};
  ASSERT_NO_FATAL_FAILURE(Start(overPanel));
  ClickLeftAt(overPanel.x, overPanel.y);
  EXPECT_TRUE(GoesOn()) << "ended by a click on the panel";
  MoveCursorTo(overPanel.x + 40, overPanel.y + 20);
  EXPECT_TRUE(GoesOn()) << "ended by a move over the panel";
  EXPECT_EQ(PanelPlace().x, kPanelLeft) << "the panel moved before the test was done";
  TypeKey(VK_SPACE);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

TEST_F(SaverNotice, QuitBroadcastEndsIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  BroadcastQuit();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

// ---------------------------------------------------------------------------
// The settings notice

constexpr char kCloseCaption[] = "Shut it";
constexpr char kSaverTitle[] = "Night Sky";

class SettingsNotice : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.emplace(package_.ProgramPath(), "/c");
    notice_ = WaitForVisibleWindow(run_->Process(), kSettingsNotice);
    ASSERT_NE(notice_, nullptr) << "no settings notice";
    const std::vector<HWND> buttons = ChildrenOfClass(notice_, "Button");
    ASSERT_EQ(buttons.size(), 1u);
    close_ = buttons[0];
    // Input reaches the notice once it is the active window and its activation is done (the caption comes last).
    ASSERT_TRUE(WaitForForeground(notice_));
    const ULONGLONG deadline = ::GetTickCount64() + kRunTimeoutMs;
    while (testing::WindowText(notice_) != kSaverTitle && ::GetTickCount64() < deadline) testing::PumpMessagesFor(20);
  }

  [[nodiscard]] std::optional<DWORD> Ends() { return run_->Finish(MessageBoxes::Leave); }

  const SaverPackage package_{"MySaver", kCompletePackage,
                              ConfigurationLines({{5, kCloseCaption}, {20, kSaverTitle}, {31, "No player here."}})};
  std::optional<ProgramRun> run_;
  HWND notice_ = nullptr;
  HWND close_ = nullptr;
};

TEST_F(SettingsNotice, ShowsTheConfiguredTexts) {
  EXPECT_EQ(testing::WindowText(notice_), kSaverTitle);
  EXPECT_EQ(testing::WindowText(close_), kCloseCaption);
  RECT client{};
  ::GetClientRect(notice_, &client);
  EXPECT_EQ(client.right, 331);
  EXPECT_EQ(client.bottom, 171);
  // The message and the address sit on a panel of their own.
  EXPECT_EQ(ChildrenOfClass(notice_, kPanelClass).size(), 1u);
  BroadcastQuit();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

TEST_F(SettingsNotice, CloseEndsIt) {
  const RECT button = ScreenBoundsOf(close_);
  ClickLeftAt((button.left + button.right) / 2, (button.top + button.bottom) / 2);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

TEST_F(SettingsNotice, EscapeDoesNothingTheCloseBoxEndsIt) {
  TypeKey(VK_ESCAPE);
  EXPECT_TRUE(StillRunningAfter(run_->Process(), kSettleMs)) << "ended by Escape";
  ::PostMessageA(notice_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

TEST_F(SettingsNotice, QuitBroadcastEndsIt) {
  BroadcastQuit();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

// The system's own version answer decides the notice's look: from major version
// 6 on its message and address are drawn plain in "Segoe UI", on version 5
// (Windows XP) bold in the design's font. The panel's pixels tell, as fonts
// cannot be read across processes: the same for versions 6 and 10, not for 5.
TEST(SettingsNoticeFonts, FollowTheWindowsVersionTheSystemReports) {
  const SaverPackage package{"MySaver", kCompletePackage,
                             ConfigurationLines({{20, kSaverTitle}, {31, "No player here."}})};
  const std::string appDefaults = "Software\\Wine\\AppDefaults\\MySaver.scr";
  const testing::RegistryValueBackup backup(HKEY_CURRENT_USER, appDefaults, "Version");
  std::map<std::string, std::vector<std::uint32_t>> panels;
  for (const std::string version : {"winxp", "vista", "win10"}) {
    SCOPED_TRACE(version);
    testing::SetRawRegistryValue(HKEY_CURRENT_USER, appDefaults, "Version", REG_SZ,
                                 std::vector<std::uint8_t>(version.begin(), version.end() + 1));
    ProgramRun run(package.ProgramPath(), "/c");
    const HWND notice = WaitForVisibleWindow(run.Process(), kSettingsNotice);
    ASSERT_NE(notice, nullptr) << "no settings notice";
    ASSERT_TRUE(WaitForForeground(notice));
    const ULONGLONG deadline = ::GetTickCount64() + kRunTimeoutMs;
    while (testing::WindowText(notice) != kSaverTitle && ::GetTickCount64() < deadline) testing::PumpMessagesFor(20);
    testing::PumpMessagesFor(300);  // the paint after the activation
    const std::vector<HWND> panel = ChildrenOfClass(notice, kPanelClass);
    ASSERT_EQ(panel.size(), 1u);
    panels[version] = ScreenPixelsOf(panel[0]);
    BroadcastQuit();
    EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
  }
  ASSERT_FALSE(panels["winxp"].empty());
  EXPECT_NE(panels["winxp"], panels["vista"]) << "version 5 got the newer systems' labels";
  EXPECT_EQ(panels["vista"], panels["win10"]) << "versions 6 and 10 drew the labels differently";
}

}  // namespace
}  // namespace tpl::e2e
