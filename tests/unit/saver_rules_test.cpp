#include "saver/saver_rules.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tpl::saver {
namespace {

// ---------------------------------------------------------------------------
// Stored settings over the configuration

struct MergeCase {
  const char* label;
  StoredSettings stored;
  SaverSettings expected;
};

const SaverSettings kConfigured{"1", "1", "exactfit", "65536", "65536"};

class StoredSettingsMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(StoredSettingsMerge, TakesOnlyAcceptedTexts) {
  SaverSettings settings = kConfigured;
  MergeStoredSettings(settings, GetParam().stored);
  EXPECT_EQ(settings.mouseQuit, GetParam().expected.mouseQuit);
  EXPECT_EQ(settings.keybQuit, GetParam().expected.keybQuit);
  EXPECT_EQ(settings.scaleMode, GetParam().expected.scaleMode);
  EXPECT_EQ(settings.targetWidth, GetParam().expected.targetWidth);
  EXPECT_EQ(settings.targetHeight, GetParam().expected.targetHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredSettingsMerge,
    ::testing::Values(
        MergeCase{"nothing_stored", {}, kConfigured},
        MergeCase{"all_accepted", {"0", "0", "noscale", "800"}, {"0", "0", "noscale", "800", "600"}},
        MergeCase{"width_1024_brings_768", {"", "", "showall", "1024"}, {"1", "1", "showall", "1024", "768"}},
        MergeCase{"stored_65536_is_no_change", {"", "", "", "65536"}, {"1", "1", "exactfit", "65536", "65536"}},
        MergeCase{"capital_scale_mode_ignored", {"", "", "ShowAll", ""}, kConfigured},
        MergeCase{"other_width_ignored", {"", "", "", "640"}, kConfigured},
        MergeCase{"mouse_quit_other_than_0_or_1_ignored", {"2", "yes", "", ""}, kConfigured},
        MergeCase{"trailing_blank_ignored", {"0 ", "0 ", "noscale ", "800 "}, kConfigured}),
    [](const auto& tested) { return std::string(tested.param.label); });

TEST(StoredMonitorMode, AnyNonEmptyTextWinsButOnlyAllMirrors) {
  EXPECT_EQ(MonitorModeAfterStore("primary", ""), "primary");
  EXPECT_EQ(MonitorModeAfterStore("primary", "All"), "All");
  EXPECT_EQ(MonitorModeAfterStore("primary", "all"), "all");
  EXPECT_TRUE(MirroringOn("all"));
  EXPECT_FALSE(MirroringOn("All"));
  EXPECT_FALSE(MirroringOn("primary"));
  EXPECT_FALSE(MirroringOn("all "));
}

// ---------------------------------------------------------------------------
// Display mode

struct DisplayModeCase {
  const char* label;
  const char* targetWidth;
  const char* targetHeight;
  DisplayMode current;
  std::optional<DisplayMode> saved;
  std::optional<DisplayMode> change;
};

class DisplayModeChoice : public ::testing::TestWithParam<DisplayModeCase> {};

TEST_P(DisplayModeChoice, LowersOnlyAndRecordsWhatTheExitRestores) {
  const DisplayModeCase& tested = GetParam();
  const std::optional<DisplayMode> saved = SavedModeFor(tested.targetWidth, tested.current);
  EXPECT_EQ(saved, tested.saved);
  EXPECT_EQ(ModeChangeFor(tested.targetWidth, tested.targetHeight, saved), tested.change);
}

constexpr DisplayMode k1024At75{1024, 768, 75};

INSTANTIATE_TEST_SUITE_P(
    Targets, DisplayModeChoice,
    ::testing::Values(
        DisplayModeCase{"no_change_requested", "65536", "65536", k1024At75, std::nullopt, std::nullopt},
        DisplayModeCase{"800_on_1024_keeps_the_frequency", "800", "600", k1024At75, k1024At75,
                        DisplayMode{800, 600, 75}},
        DisplayModeCase{"same_size_recorded_but_not_set", "1024", "768", k1024At75, k1024At75, std::nullopt},
        DisplayModeCase{"height_65536_is_not_smaller", "1024", "65536", DisplayMode{1920, 1080, 60},
                        DisplayMode{1920, 1080, 60}, std::nullopt},
        DisplayModeCase{"narrower_but_as_high_is_no_change", "800", "768", k1024At75, k1024At75, std::nullopt},
        DisplayModeCase{"larger_is_never_set", "1024", "768", DisplayMode{800, 600, 60}, DisplayMode{800, 600, 60},
                        std::nullopt},
        DisplayModeCase{"unchecked_height_may_be_any_text", "1024", "tall", k1024At75, k1024At75, std::nullopt}),
    [](const auto& tested) { return std::string(tested.param.label); });

TEST(DisplayModeChoice, TextThatIsNoNumberFailsAfterTheModeWasRecorded) {
  const std::optional<DisplayMode> saved = SavedModeFor("wide", k1024At75);
  EXPECT_EQ(saved, k1024At75);
  EXPECT_THROW(static_cast<void>(ModeChangeFor("wide", "600", saved)), std::invalid_argument);
  EXPECT_THROW(static_cast<void>(ModeChangeFor("800", "6OO", saved)), std::invalid_argument);
}

TEST(IntegerText, NamesTheTextItCouldNotRead) {
  EXPECT_EQ(IntegerOrThrow("238"), 238);
  try {
    static_cast<void>(IntegerOrThrow("x1"));
    FAIL() << "no error";
  } catch (const std::invalid_argument& error) {
    EXPECT_EQ(std::string(error.what()), "'x1' is not a valid integer value");
  }
}

// ---------------------------------------------------------------------------
// Placement and mirroring

struct PlacementCase {
  const char* label;
  Size primaryScreen;
  Rect desktop;
  std::vector<Monitor> monitors;
  SaverPlacement expected;
};

class SaverPlacementPlan : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(SaverPlacementPlan, CoversTheScreensAsTheMonitorsLie) {
  const PlacementCase& tested = GetParam();
  const SaverPlacement placement = PlanPlacement(tested.primaryScreen, tested.desktop, tested.monitors);
  EXPECT_EQ(placement.window, tested.expected.window);
  EXPECT_EQ(placement.player, tested.expected.player);
  EXPECT_EQ(placement.offscreen, tested.expected.offscreen);
  EXPECT_EQ(placement.mirrors, tested.expected.mirrors);
}

Monitor At(int left, int top, int width, int height, bool primary = false) {
  return Monitor{Rect{left, top, width, height}, primary};
}

INSTANTIATE_TEST_SUITE_P(
    Monitors, SaverPlacementPlan,
    ::testing::Values(
        PlacementCase{"one_monitor_covers_the_primary_screen",
                      {1024, 768},
                      {0, 0, 1024, 768},
                      {At(0, 0, 1024, 768, true)},
                      {{0, 0, 1024, 768}, {0, 0, 1024, 768}, {}, {}}},
        PlacementCase{"no_monitor_reported_is_one_screen",
                      {800, 600},
                      {0, 0, 800, 600},
                      {},
                      {{0, 0, 800, 600}, {0, 0, 800, 600}, {}, {}}},
        PlacementCase{"secondary_on_the_left",
                      {1024, 768},
                      {-1280, 0, 2304, 1024},
                      {At(0, 0, 1024, 768, true), At(-1280, 0, 1280, 1024)},
                      {{-1280, 0, 2304, 1024}, {1280, 0, 1024, 768}, {1024, 768}, {{0, 0, 1280, 1024}}}},
        PlacementCase{"secondary_listed_first_and_above",
                      {1920, 1080},
                      {0, -1080, 1920, 2160},
                      {At(0, -1080, 1920, 1080), At(0, 0, 1920, 1080, true)},
                      {{0, -1080, 1920, 2160}, {0, 1080, 1920, 1080}, {1920, 1080}, {{0, 0, 1920, 1080}}}},
        PlacementCase{"six_monitors_mirror_to_the_first_four_others",
                      {800, 600},
                      {0, 0, 4800, 600},
                      {At(0, 0, 800, 600, true), At(800, 0, 800, 600), At(1600, 0, 800, 600), At(2400, 0, 800, 600),
                       At(3200, 0, 800, 600), At(4000, 0, 800, 600)},
                      {{0, 0, 4800, 600},
                       {0, 0, 800, 600},
                       {800, 600},
                       {{800, 0, 800, 600}, {1600, 0, 800, 600}, {2400, 0, 800, 600}, {3200, 0, 800, 600}}}}),
    [](const auto& tested) { return std::string(tested.param.label); });

TEST(MirrorCadence, CopiesOnTheSecondTickThenEveryFourth) {
  MirrorCadence cadence;
  std::vector<int> copies;
  for (int tick = 1; tick <= 14; ++tick) {
    if (cadence.Tick()) copies.push_back(tick);
  }
  EXPECT_EQ(copies, (std::vector<int>{2, 6, 10, 14}));
}

TEST(MirrorCadence, KeepsItsRhythmOverManyTicks) {
  MirrorCadence cadence;
  int copies = 0;
  for (int tick = 1; tick <= 4002; ++tick) copies += cadence.Tick() ? 1 : 0;
  EXPECT_EQ(copies, 1001);
}

// ---------------------------------------------------------------------------
// Mouse

struct SlackCase {
  Point now;
  bool beyond;
};

class MouseSlack : public ::testing::TestWithParam<SlackCase> {};

TEST_P(MouseSlack, CountsOnlyMoreThanFivePixels) {
  EXPECT_EQ(MovedBeyondSlack(Point{100, 200}, GetParam().now), GetParam().beyond);
}

INSTANTIATE_TEST_SUITE_P(Moves, MouseSlack,
                         ::testing::Values(SlackCase{{100, 200}, false}, SlackCase{{105, 205}, false},
                                           SlackCase{{95, 195}, false}, SlackCase{{106, 200}, true},
                                           SlackCase{{100, 194}, true}, SlackCase{{94, 205}, true},
                                           SlackCase{{105, 206}, true}));

struct MouseCase {
  const char* label;
  MouseMessage message;
  bool moved;
  const char* mouseQuit;
  bool promptVisible;
  bool passwordStored;
  InputAction expected;
};

class MouseDecision : public ::testing::TestWithParam<MouseCase> {};

TEST_P(MouseDecision, FollowsTheFlagsAndThePrompt) {
  const MouseCase& tested = GetParam();
  const InputState state{tested.mouseQuit, "1", tested.promptVisible, tested.passwordStored};
  EXPECT_EQ(DecideMouseMessage(tested.message, tested.moved, state), tested.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MouseDecision,
    ::testing::Values(
        MouseCase{"small_move_passes", MouseMessage::Move, false, "1", false, false, InputAction::PassOn},
        MouseCase{"far_move_quits", MouseMessage::Move, true, "1", false, false, InputAction::Quit},
        MouseCase{"far_move_with_password_opens", MouseMessage::Move, true, "1", false, true, InputAction::OpenPrompt},
        MouseCase{"left_button_quits", MouseMessage::LeftButtonDown, false, "1", false, false, InputAction::Quit},
        MouseCase{"middle_button_quits", MouseMessage::MiddleButtonDown, false, "1", false, false, InputAction::Quit},
        MouseCase{"wheel_quits", MouseMessage::Wheel, false, "1", false, false, InputAction::Quit},
        MouseCase{"right_button_quits", MouseMessage::RightButtonDown, false, "1", false, false, InputAction::Quit},
        MouseCase{"flag_other_than_0_still_quits", MouseMessage::Wheel, false, "yes", false, false, InputAction::Quit},
        MouseCase{"flag_0_move_passes", MouseMessage::Move, true, "0", false, false, InputAction::PassOn},
        MouseCase{"flag_0_click_passes", MouseMessage::LeftButtonDown, false, "0", false, false, InputAction::PassOn},
        MouseCase{"flag_0_right_button_swallowed", MouseMessage::RightButtonDown, false, "0", false, false,
                  InputAction::Swallow},
        MouseCase{"open_prompt_click_passes", MouseMessage::LeftButtonDown, false, "1", true, true,
                  InputAction::PassOn},
        MouseCase{"open_prompt_right_button_swallowed", MouseMessage::RightButtonDown, false, "1", true, true,
                  InputAction::Swallow},
        MouseCase{"other_message_passes", MouseMessage::Other, true, "1", false, false, InputAction::PassOn}),
    [](const auto& tested) { return std::string(tested.param.label); });

// ---------------------------------------------------------------------------
// Keys

struct KeyCase {
  const char* label;
  int hookCode;
  unsigned key;
  bool released;
  const char* keybQuit;
  bool promptVisible;
  bool passwordStored;
  bool boxEmpty;
  KeyAction expected;
};

class KeyDecision : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyDecision, FollowsTheFlagsAndThePrompt) {
  const KeyCase& tested = GetParam();
  const InputState state{"1", tested.keybQuit, tested.promptVisible, tested.passwordStored};
  EXPECT_EQ(DecideKey(tested.hookCode, tested.key, tested.released, tested.boxEmpty, state), tested.expected);
}

constexpr unsigned kA = 'A';

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyDecision,
    ::testing::Values(
        KeyCase{"other_hook_code_ignored", 3, kA, false, "1", false, false, true, KeyAction::Ignore},
        KeyCase{"letter_quits", 0, kA, false, "1", false, false, true, KeyAction::Quit},
        KeyCase{"letter_release_quits_too", 0, kA, true, "1", false, false, true, KeyAction::Quit},
        KeyCase{"escape_release_ignored", 0, kEscapeKey, true, "1", false, false, true, KeyAction::Ignore},
        KeyCase{"letter_with_password_opens", 0, kA, false, "1", false, true, true, KeyAction::OpenPrompt},
        KeyCase{"flag_0_letter_goes_to_the_movie", 0, kA, false, "0", false, false, true, KeyAction::Ignore},
        KeyCase{"flag_0_alt_released_again", 0, 18, false, "0", false, false, true, KeyAction::ReleaseAgain},
        KeyCase{"flag_0_ctrl_released_again", 0, 17, false, "0", false, false, true, KeyAction::ReleaseAgain},
        KeyCase{"flag_0_f4_released_again", 0, 115, false, "0", false, false, true, KeyAction::ReleaseAgain},
        KeyCase{"flag_0_tab_released_again", 0, 9, false, "0", false, false, true, KeyAction::ReleaseAgain},
        KeyCase{"flag_0_release_of_alt_not_answered", 0, 18, true, "0", false, false, true, KeyAction::Ignore},
        KeyCase{"flag_0_windows_keys_released_again", 0, 92, false, "0", false, false, true, KeyAction::ReleaseAgain},
        KeyCase{"flag_0_apps_key_released_again", 0, 93, false, "0", false, false, true, KeyAction::ReleaseAgain},
        KeyCase{"flag_0_escape_quits", 0, kEscapeKey, false, "0", false, false, true, KeyAction::Quit},
        KeyCase{"flag_0_escape_opens", 0, kEscapeKey, false, "0", false, true, true, KeyAction::OpenPrompt},
        KeyCase{"flag_other_than_0_quits", 0, kA, false, "no", false, false, true, KeyAction::Quit},
        KeyCase{"prompt_enter_checks", 0, kEnterKey, false, "1", true, true, false, KeyAction::CheckPassword},
        KeyCase{"prompt_enter_release_checks_too", 0, kEnterKey, true, "1", true, true, true, KeyAction::CheckPassword},
        KeyCase{"prompt_escape_empties", 0, kEscapeKey, false, "1", true, true, false, KeyAction::EmptyPassword},
        KeyCase{"prompt_escape_in_empty_box_hides", 0, kEscapeKey, false, "1", true, true, true, KeyAction::HidePrompt},
        KeyCase{"prompt_letter_goes_to_the_box", 0, kA, false, "1", true, true, true, KeyAction::Ignore},
        KeyCase{"prompt_alt_with_flag_0_not_released", 0, 18, false, "0", true, true, true, KeyAction::Ignore}),
    [](const auto& tested) { return std::string(tested.param.label); });

TEST(PasswordPrompt, SitsCentredOnThePrimaryScreen) {
  EXPECT_EQ(PromptPosition(Size{1024, 768}, Size{177, 113}).x, 423);
  EXPECT_EQ(PromptPosition(Size{1024, 768}, Size{177, 113}).y, 327);
  EXPECT_EQ(PromptPosition(Size{800, 600}, Size{177, 113}).x, 311);
  EXPECT_EQ(PromptPosition(Size{800, 600}, Size{177, 113}).y, 243);
}

// ---------------------------------------------------------------------------
// Movie commands

struct CommandCase {
  const wchar_t* command;
  SaverCommand expected;
};

class SaverCommandName : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SaverCommandName, MatchesExactly) { EXPECT_EQ(ClassifySaverCommand(GetParam().command), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Names, SaverCommandName,
    ::testing::Values(CommandCase{L"quit", SaverCommand::Quit}, CommandCase{L"restart", SaverCommand::Restart},
                      CommandCase{L"loadswf", SaverCommand::LoadSwf},
                      CommandCase{L"mousequit", SaverCommand::MouseQuit},
                      CommandCase{L"keybquit", SaverCommand::KeybQuit},
                      CommandCase{L"scalemode", SaverCommand::ScaleMode},
                      CommandCase{L"setvalue", SaverCommand::SetValue},
                      CommandCase{L"getvalue", SaverCommand::GetValue}, CommandCase{L"Quit", SaverCommand::None},
                      CommandCase{L"quit ", SaverCommand::None}, CommandCase{L" quit", SaverCommand::None},
                      CommandCase{L"", SaverCommand::None}, CommandCase{L"getsaversetting", SaverCommand::None}));

TEST(SaverCommandArguments, FlagsAndScaleModes) {
  EXPECT_EQ(QuitFlagFromArgument(L"0"), "0");
  EXPECT_EQ(QuitFlagFromArgument(L"1"), "1");
  EXPECT_EQ(QuitFlagFromArgument(L""), "1");
  EXPECT_EQ(QuitFlagFromArgument(L"0 "), "1");
  EXPECT_EQ(ScaleModeAfterCommand(L"showall", "exactfit"), "ShowAll");
  EXPECT_EQ(ScaleModeAfterCommand(L"exactfit", "noscale"), "ExactFit");
  EXPECT_EQ(ScaleModeAfterCommand(L"noscale", "exactfit"), "NoScale");
  EXPECT_EQ(ScaleModeAfterCommand(L"ShowAll", "exactfit"), "exactfit");
  EXPECT_EQ(ScaleModeAfterCommand(L"", "NoScale"), "NoScale");
}

}  // namespace
}  // namespace tpl::saver
