// Input and exit with real input: mouse moves against the five-pixel slack,
// buttons and the wheel, keys with and without the quit flags, the password
// prompt, the quit broadcast, and the loop flag.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/saver_run.h"
#include "password/legacy_password_codec.h"

namespace tpl::e2e {
namespace {

// Long enough for an input event to have been handled when nothing is to happen.
constexpr DWORD kSettleMs = 400;

bool KeyHeld(int virtualKey) { return (::GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

using SaverMouse = SaverTest;

TEST_F(SaverMouse, FivePixelsAddUpButOnlyTheSixthEndsIt) {
  const DEVMODEA before = CurrentDisplayMode();
  ASSERT_TRUE(StartSaver(QuietMovie()));
  MoveCursorTo(kStartCursor.x + 5, kStartCursor.y + 5);
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  MoveCursorTo(kStartCursor.x - 5, kStartCursor.y - 5);
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  MoveCursorTo(kStartCursor.x, kStartCursor.y + 6);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectSystemRestored(before);
}

TEST_F(SaverMouse, SixPixelsSidewaysEndIt) {
  ASSERT_TRUE(StartSaver(QuietMovie()));
  MoveCursorTo(kStartCursor.x - 6, kStartCursor.y);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

struct ButtonCase {
  const char* label;
  DWORD down;
  DWORD up;
};

void PrintTo(const ButtonCase& tested, std::ostream* out) { *out << tested.label; }

class SaverButtons : public SaverTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(SaverButtons, EndTheSaver) {
  const DEVMODEA before = CurrentDisplayMode();
  ASSERT_TRUE(StartSaver(QuietMovie()));
  if (GetParam().down == MOUSEEVENTF_WHEEL) {
    TurnWheel();
  } else {
    ClickButton(GetParam().down, GetParam().up);
  }
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectSystemRestored(before);
}

INSTANTIATE_TEST_SUITE_P(Mouse, SaverButtons,
                         ::testing::Values(ButtonCase{"left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
                                           ButtonCase{"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
                                           ButtonCase{"middle", MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP},
                                           ButtonCase{"wheel", MOUSEEVENTF_WHEEL, 0}),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(SaverMouse, WithTheMouseQuitFlag0NothingOfTheMouseEndsIt) {
  ASSERT_TRUE(StartSaver(QuietMovie(), ConfigurationLines({{25, "0"}})));
  EXPECT_TRUE(CursorShowing());
  MoveCursorTo(kStartCursor.x + 60, kStartCursor.y + 40);
  ClickButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  ClickButton(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  ClickButton(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP);
  TurnWheel();
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  TypeKey('Q');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

using SaverKeys = SaverTest;

TEST_F(SaverKeys, ALetterEndsIt) {
  const DEVMODEA before = CurrentDisplayMode();
  ASSERT_TRUE(StartSaver(QuietMovie()));
  PressKey('K');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ReleaseKey('K');
  ExpectSystemRestored(before);
}

TEST_F(SaverKeys, WithTheKeyboardQuitFlag0LettersGoOnAndEscapeEndsIt) {
  ASSERT_TRUE(StartSaver(QuietMovie(), ConfigurationLines({{26, "0"}})));
  TypeKey('L');
  TypeKey(VK_SPACE);
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  TypeKey(VK_ESCAPE);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverKeys, WithTheKeyboardQuitFlag0CombinationKeysAreReleasedAtOnce) {
  ASSERT_TRUE(StartSaver(QuietMovie(), ConfigurationLines({{26, "0"}})));
  const std::vector<WORD> released{VK_MENU, VK_CONTROL, VK_F4, VK_TAB, VK_LWIN, VK_RWIN, VK_APPS};
  for (WORD key : released) {
    PressKey(key);
    EXPECT_TRUE(WaitUntil([&] { return !KeyHeld(key); }, 3000)) << "key " << key << " stays held";
    ReleaseKey(key);
  }
  // Any other key stays down until the user lets it go.
  PressKey('M');
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  EXPECT_TRUE(KeyHeld('M'));
  ReleaseKey('M');
  TypeKey(VK_ESCAPE);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

using SaverPassword = SaverTest;

TEST_F(SaverPassword, AWrongPasswordTurnsTheBoxRedAndEmpty) {
  const DEVMODEA before = CurrentDisplayMode();
  StoreLegacyPassword("SECRET");
  ASSERT_TRUE(StartSaver(QuietMovie()));
  MoveCursorTo(kStartCursor.x + 20, kStartCursor.y);
  ASSERT_TRUE(WaitUntil([&] { return PromptVisible(); })) << "no prompt";
  EXPECT_TRUE(Run().Process().WaitForExit(0) == std::nullopt);
  TypeText("wrong");
  ASSERT_TRUE(WaitUntil([&] { return PasswordText().size() == 5; }));
  EXPECT_EQ(PasswordText(), "wrong");
  TypeKey(VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return PasswordText().empty(); }));
  EXPECT_TRUE(WaitUntil([&] { return PasswordBoxColour() == RGB(255, 0, 0); })) << std::hex << PasswordBoxColour();
  EXPECT_TRUE(PromptVisible());
  // The first change turns the box white again; the right password in small letters ends the saver.
  TypeText("s");
  EXPECT_TRUE(WaitUntil([&] { return PasswordBoxColour() == RGB(255, 255, 255); })) << std::hex << PasswordBoxColour();
  TypeText("ecret");
  TypeKey(VK_RETURN);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectSystemRestored(before);
}

TEST_F(SaverPassword, EscapeEmptiesThenHidesAndAKeyReopens) {
  StoreLegacyPassword("PW");
  ASSERT_TRUE(StartSaver(QuietMovie()));
  TypeKey('A');
  ASSERT_TRUE(WaitUntil([&] { return PromptVisible(); })) << "no prompt";
  TypeText("xy");
  ASSERT_TRUE(WaitUntil([&] { return PasswordText() == "xy"; }));
  TypeKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return PasswordText().empty(); }));
  EXPECT_TRUE(PromptVisible());
  TypeKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return !PromptVisible(); }));
  // The release of Escape does not reopen it.
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  EXPECT_FALSE(PromptVisible());
  TypeKey('B');
  EXPECT_TRUE(WaitUntil([&] { return PromptVisible(); })) << "not reopened";
  TypeText("pw");
  TypeKey(VK_RETURN);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverPassword, AMouseMoveReopensAHiddenPrompt) {
  StoreLegacyPassword("PW");
  ASSERT_TRUE(StartSaver(QuietMovie()));
  MoveCursorTo(kStartCursor.x + 10, kStartCursor.y);
  ASSERT_TRUE(WaitUntil([&] { return PromptVisible(); }));
  // Back within the slack first: hiding the panel makes the system send a move
  // of its own, which reopens the prompt at once while the cursor is still far.
  MoveCursorTo(kStartCursor.x + 2, kStartCursor.y);
  TypeKey(VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([&] { return !PromptVisible(); }));
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  EXPECT_FALSE(PromptVisible());
  MoveCursorTo(kStartCursor.x + 12, kStartCursor.y);
  EXPECT_TRUE(WaitUntil([&] { return PromptVisible(); }));
}

// Alt+F4 in the open prompt asks the window to close: the password still stands.
TEST_F(SaverPassword, AltF4InThePromptDoesNotEndIt) {
  StoreLegacyPassword("PW");
  ASSERT_TRUE(StartSaver(QuietMovie()));
  TypeKey('A');
  ASSERT_TRUE(WaitUntil([&] { return PromptVisible(); })) << "no prompt";
  PressKey(VK_MENU);
  TypeKey(VK_F4);
  ReleaseKey(VK_MENU);
  EXPECT_TRUE(StillRunningAfter(kSettleMs)) << "ended by Alt+F4 without the password";
  EXPECT_TRUE(PromptVisible());
  TypeText("pw");
  TypeKey(VK_RETURN);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

// The store keeps at most 128 characters, and before the
// dialog refused longer ones a longer password was stored cut. The prompt's box
// holds 128 characters too, so that password pasted whole still ends the saver.
struct PastedCase {
  const char* label;
  std::size_t length;
};

class SaverPastedPassword : public SaverTest, public ::testing::WithParamInterface<PastedCase> {};

TEST_P(SaverPastedPassword, IsCutAtTheStoresLengthAndEndsIt) {
  StoreLegacyPassword(std::string(kLegacyPasswordMaxLength, 'Q'));
  ASSERT_TRUE(StartSaver(QuietMovie()));
  TypeKey('A');
  ASSERT_TRUE(WaitUntil([&] { return PromptVisible(); })) << "no prompt";
  EXPECT_EQ(::SendMessageA(PasswordBox(), EM_GETLIMITTEXT, 0, 0), static_cast<LRESULT>(kLegacyPasswordMaxLength));
  ASSERT_TRUE(testing::PutTextOnClipboard(std::string(GetParam().length, 'q')));
  ::PostMessageA(PasswordBox(), WM_PASTE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return PasswordText().size() == kLegacyPasswordMaxLength; })) << PasswordText().size();
  TypeKey(VK_RETURN);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Lengths, SaverPastedPassword,
                         ::testing::Values(PastedCase{"exactly_128", 128}, PastedCase{"pasted_150", 150}),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(SaverPassword, TheQuitBroadcastEndsItWithoutAPrompt) {
  const DEVMODEA before = CurrentDisplayMode();
  StoreLegacyPassword("PW");
  ASSERT_TRUE(StartSaver(QuietMovie()));
  ::SendMessageCallbackA(HWND_BROADCAST, ::RegisterWindowMessageA("GlimmerforgeQuit"), 0, 0, nullptr, 0);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectSystemRestored(before);
}

using SaverLoop = SaverTest;

TEST_F(SaverLoop, AStoppedMovieIsPlayedAgainWithTheLoopFlag1) {
  ASSERT_TRUE(StartSaver(CommandMovie({}), ConfigurationLines({{14, "1"}})));
  ASSERT_TRUE(WaitForTraceLine("IsPlaying 0"));
  EXPECT_TRUE(WaitUntil([&] { return TraceOf({"Play"}).size() >= 2; }));
  const std::vector<std::string> lines = TraceOf({"IsPlaying 0", "Play"});
  const auto stopped = std::find(lines.begin(), lines.end(), "IsPlaying 0");
  ASSERT_NE(stopped, lines.end());
  ASSERT_NE(stopped + 1, lines.end());
  EXPECT_EQ(*(stopped + 1), "Play");
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverLoop, WithTheLoopFlag0AStoppedMovieStaysStopped) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"stopped", ""}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand stopped|"));
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  EXPECT_TRUE(TraceOf({"IsPlaying"}).empty());
  EXPECT_EQ(TraceOf({"Play"}).size(), 1u);
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tpl::e2e
