// The saver movie's commands, raised by fscommand in test movies' frame
// actions, as the player's trace, the registry and the saver's end show them.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/saver_run.h"

namespace tpl::e2e {
namespace {

constexpr DWORD kSettleMs = 400;

// The trace lines of the host's calls and the movie's commands, from the first
// line that starts with `from` on; empty when there is none.
std::vector<std::string> CallsFrom(const std::vector<std::string>& calls, const std::string& from) {
  const auto first =
      std::find_if(calls.begin(), calls.end(), [&](const std::string& line) { return line.starts_with(from); });
  return std::vector<std::string>(first, calls.end());
}

std::vector<std::string> FirstLines(std::vector<std::string> lines, std::size_t count) {
  if (lines.size() > count) lines.resize(count);
  return lines;
}

std::optional<std::string> MovieValue(const std::string& name) {
  const std::optional<testing::RawRegistryValue> value =
      testing::GetRawRegistryValue(HKEY_CURRENT_USER, kMovieValuesKey, name);
  if (!value || value->type != REG_SZ) return std::nullopt;
  std::string text(value->bytes.begin(), value->bytes.end());
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

using SaverQuitCommand = SaverTest;

TEST_F(SaverQuitCommand, EndsTheSaverEvenWithAPasswordStored) {
  const DEVMODEA before = CurrentDisplayMode();
  StoreLegacyPassword("PW");
  LaunchSaver(CommandMovie({{"quit", ""}}));
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  EXPECT_FALSE(TraceOf({"FSCommand quit|"}).empty());
  ExpectSystemRestored(before);
}

TEST_F(SaverQuitCommand, DoesNothingWithTheMovieQuitFlag0) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"quit", ""}, {"marker", ""}}), ConfigurationLines({{27, "0"}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand marker|"));
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverQuitCommand, NamesThatDifferInCaseOrBlanksDoNothing) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"Quit", ""},
                                       {"QUIT", ""},
                                       {"quit ", ""},
                                       {" quit", ""},
                                       {"Restart", ""},
                                       {"restart ", ""},
                                       {"Mousequit", "0"},
                                       {"marker", ""}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand marker|"));
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  EXPECT_TRUE(TraceOf({"Stop"}).empty());
  EXPECT_FALSE(CursorShowing());
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

using SaverMovieSwitch = SaverTest;

TEST_F(SaverMovieSwitch, RestartLoadsTheSaverMovieAgain) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"restart", ""}})));
  ASSERT_TRUE(WaitUntil([&] { return TraceOf({"Play"}).size() >= 2; }));
  const std::vector<std::string> expected{
      "FSCommand restart|", "Stop", "LoadMovie 0 " + Package().SaverMoviePath(), "Loaded 2", "Scale=exactfit", "Play"};
  EXPECT_EQ(FirstLines(
                CallsFrom(TraceOf({"FSCommand", "Stop", "LoadMovie", "Loaded", "Scale=", "Play"}), "FSCommand restart"),
                expected.size()),
            expected);
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverMovieSwitch, LoadSwfPlaysAnotherMovieAndRestartReturnsToTheSaverMovie) {
  const std::string other = ScratchFile("other.swf");
  const swf::testing::Bytes otherMovie = CommandMovie({{"restart", ""}});
  testing::WriteFileBytes(other, std::string(otherMovie.begin(), otherMovie.end()));
  ASSERT_TRUE(StartSaver(CommandMovie({{"loadswf", other}})));
  ASSERT_TRUE(WaitUntil([&] { return TraceOf({"Play"}).size() >= 3; }));
  const std::vector<std::string> expected{"FSCommand loadswf|" + other,
                                          "Stop",
                                          "LoadMovie 0 " + other,
                                          "Loaded 2",
                                          "Scale=exactfit",
                                          "Play",
                                          "FSCommand restart|",
                                          "Stop",
                                          "LoadMovie 0 " + Package().SaverMoviePath(),
                                          "Loaded 2",
                                          "Scale=exactfit",
                                          "Play"};
  EXPECT_EQ(FirstLines(
                CallsFrom(TraceOf({"FSCommand", "Stop", "LoadMovie", "Loaded", "Scale=", "Play"}), "FSCommand loadswf"),
                expected.size()),
            expected);
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverMovieSwitch, LoadSwfOfAMissingFileOrAFolderDoesNothing) {
  ASSERT_TRUE(StartSaver(
      CommandMovie({{"loadswf", ScratchFile("missing.swf")}, {"loadswf", ScratchFile("")}, {"marker", ""}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand marker|"));
  EXPECT_TRUE(TraceOf({"Stop"}).empty());
  EXPECT_EQ(TraceOf({"LoadMovie"}).size(), 1u);
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverMovieSwitch, ScaleModeTakesOnlySmallNamesAndRestartKeepsIt) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"scalemode", "ShowAll"}, {"scalemode", "noscale"}, {"restart", ""}})));
  ASSERT_TRUE(WaitUntil([&] { return TraceOf({"Play"}).size() >= 2; }));
  const std::vector<std::string> expected{"FSCommand scalemode|ShowAll",
                                          "Scale=exactfit",
                                          "FSCommand scalemode|noscale",
                                          "Scale=NoScale",
                                          "FSCommand restart|",
                                          "Stop",
                                          "Scale=NoScale",
                                          "Play"};
  EXPECT_EQ(
      FirstLines(CallsFrom(TraceOf({"FSCommand", "Stop", "Scale=", "Play"}), "FSCommand scalemode"), expected.size()),
      expected);
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

using SaverFlagCommands = SaverTest;

TEST_F(SaverFlagCommands, MouseQuitTwiceNeedsTwoShowsAndLeavesTheMouseOut) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"mousequit", "1"}, {"mousequit", "1"}, {"mousequit", "0"}, {"marker", ""}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand marker|"));
  // Hidden three times, shown once: still hidden, but the mouse no longer ends the saver.
  EXPECT_FALSE(CursorShowing());
  MoveCursorTo(kStartCursor.x + 50, kStartCursor.y + 50);
  ClickButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverFlagCommands, MouseQuitOnHidesTheCursorAndTheMouseEndsIt) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"mousequit", "yes"}, {"marker", ""}}), ConfigurationLines({{25, "0"}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand marker|"));
  EXPECT_TRUE(WaitUntil([] { return !CursorShowing(); }));
  MoveCursorTo(kStartCursor.x + 50, kStartCursor.y);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(SaverFlagCommands, KeybQuit0LetsLettersThroughButNotEscape) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"keybquit", "0"}, {"marker", ""}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand marker|"));
  TypeKey('A');
  EXPECT_TRUE(StillRunningAfter(kSettleMs));
  TypeKey(VK_ESCAPE);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

struct SetValueCase {
  const char* label;
  std::string argument;
  std::string name;  // "" is the key's unnamed value
  std::string value;
};

void PrintTo(const SetValueCase& tested, std::ostream* out) { *out << tested.label; }

class SaverSetValue : public SaverTest, public ::testing::WithParamInterface<SetValueCase> {};

TEST_P(SaverSetValue, StoresUnderTheNameBeforeTheFirstColon) {
  ASSERT_TRUE(StartSaver(CommandMovie({{"setvalue", GetParam().argument}, {"marker", ""}})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand marker|"));
  EXPECT_EQ(MovieValue(GetParam().name), std::optional<std::string>(GetParam().value));
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Arguments, SaverSetValue,
                         ::testing::Values(SetValueCase{"no_colon", "plain", "", "plain"},
                                           SetValueCase{"one_colon", "score:42", "score", "42"},
                                           SetValueCase{"two_colons", "url:a:b", "url", "a:b"},
                                           SetValueCase{"leading_colon", ":first", "", "first"}),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(SaverFlagCommands, GetValueRepliesThroughFlashVarsToTheMovie) {
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, kMovieValuesKey, "score", REG_SZ, {'4', '2', 0});
  swf::testing::Actions ask;
  ask.SetVariable("echo", "echo").FsCommand("getvalue", "score").FsCommand("getvalue", "never");
  swf::testing::Actions echo;
  echo.FsCommandFromVariables("echo", "score").FsCommandFromVariables("echo", "never");
  ASSERT_TRUE(StartSaver(FramesMovie({ask, echo})));
  ASSERT_TRUE(WaitForTraceLine("FSCommand echo|", true));
  testing::PumpMessagesFor(100);
  const std::vector<std::string> expected{"FSCommand getvalue|score", "FlashVars=score=42", "FSCommand getvalue|never",
                                          "FlashVars=never=",         "FSCommand echo|42",  "FSCommand echo|"};
  EXPECT_EQ(FirstLines(CallsFrom(TraceOf({"FSCommand", "FlashVars="}), "FSCommand getvalue"), expected.size()),
            expected);
  TypeKey('A');
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tpl::e2e
