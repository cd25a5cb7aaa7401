#include "preview/preview_frames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tpl {
namespace {

TEST(ParsePreviewHandle, ReadsTheHandleOrNothing) {
  struct Case {
    std::string_view text;
    std::optional<std::int32_t> handle;
  };
  const Case cases[] = {
      {"123", 123},
      {"0", 0},
      {"$1F", 31},
      {"2147483647", 2147483647},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"123x", std::nullopt},
      {"4294967296", std::nullopt},
      {"12 ", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParsePreviewHandle(c.text), c.handle) << c.text;
}

TEST(IsVersion40, OnlyFourPointZero) {
  struct Case {
    unsigned major;
    unsigned minor;
    bool is40;
  };
  const Case cases[] = {{4, 0, true},   {4, 10, false}, {5, 0, false},  {6, 1, false},
                        {0, 40, false}, {40, 0, false}, {3, 10, false}, {10, 0, false}};
  for (const Case& c : cases) EXPECT_EQ(IsVersion40(c.major, c.minor), c.is40) << c.major << "." << c.minor;
}

TEST(PreviewScaleMode, OnlyExactNoscaleBecomesShowAll) {
  struct Case {
    std::string_view configured;
    std::string_view shown;
  };
  const Case cases[] = {{"noscale", "ShowAll"},   {"NoScale", "NoScale"},   {"showall", "showall"},
                        {"exactfit", "exactfit"}, {"noscale ", "noscale "}, {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(PreviewScaleMode(c.configured), c.shown) << c.configured;
}

TEST(IsOn, OnlyExactlyOne) {
  EXPECT_TRUE(IsOn("1"));
  for (std::string_view off : {"0", "", "01", "1 ", "true", "2"}) EXPECT_FALSE(IsOn(off)) << off;
}

// A scripted Windows side: the window's visibility per test of it, the
// player's answers, and a log of every step in order.
class ScriptedSteps : public PreviewSteps {
 public:
  std::vector<bool> visibleAnswers;  // consumed one per test; afterwards false
  bool exists = true;
  std::vector<bool> playingAnswers;  // consumed one per question; afterwards true
  std::string throwIn;               // the step that fails, when set
  std::string log;

  bool WindowExists() override { return Step("exists "), exists; }
  bool WindowVisible() override {
    Step("visible ");
    if (next_visible_ >= visibleAnswers.size()) return false;
    return visibleAnswers[next_visible_++];
  }
  void HandlePendingMessages() override { Step("messages "); }
  void Pause() override { Step("pause "); }
  void PaintPlayer() override { Step("paint "); }
  void CopyFrameToWindow() override { Step("copy "); }
  bool PlayerIsPlaying() override {
    Step("playing? ");
    if (next_playing_ >= playingAnswers.size()) return true;
    return playingAnswers[next_playing_++];
  }
  void PlayAgain() override { Step("play "); }

 private:
  void Step(std::string_view name) {
    log += name;
    if (!throwIn.empty() && name.substr(0, name.size() - 1) == throwIn) throw std::runtime_error("player failed");
  }
  std::size_t next_visible_ = 0;
  std::size_t next_playing_ = 0;
};

TEST(WaitForPreviewWindow, PausesBetweenTestsUntilTheWindowIsVisible) {
  ScriptedSteps steps;
  steps.visibleAnswers = {false, false, true};
  EXPECT_EQ(WaitForPreviewWindow(steps), PreviewWait::Visible);
  EXPECT_EQ(steps.log, "visible exists messages pause visible exists messages pause visible ");
}

TEST(WaitForPreviewWindow, VisibleAtOnceNeedsNoPause) {
  ScriptedSteps steps;
  steps.visibleAnswers = {true};
  EXPECT_EQ(WaitForPreviewWindow(steps), PreviewWait::Visible);
  EXPECT_EQ(steps.log, "visible ");
}

TEST(WaitForPreviewWindow, EndsWhenTheHandleIsNoWindow) {
  ScriptedSteps steps;
  steps.exists = false;
  EXPECT_EQ(WaitForPreviewWindow(steps), PreviewWait::NotAWindow);
  EXPECT_EQ(steps.log, "visible exists ");
}

TEST(RunPreviewFrames, OneFramePerPassUntilTheWindowIsHidden) {
  struct Case {
    std::string_view label;
    bool loopMovie;
    std::vector<bool> visible;
    std::vector<bool> playing;
    std::string_view log;
  };
  const Case cases[] = {
      {"hidden_at_once", true, {}, {}, "visible "},
      {"no_loop_never_asks_the_player",
       false,
       {true, true},
       {false, false},
       "visible messages paint copy pause visible messages paint copy pause visible "},
      {"loop_replays_a_stopped_movie",
       true,
       {true, true},
       {true, false},
       "visible messages paint copy playing? pause visible messages paint copy playing? play pause visible "},
  };
  for (const Case& c : cases) {
    ScriptedSteps steps;
    steps.visibleAnswers = c.visible;
    steps.playingAnswers = c.playing;
    EXPECT_EQ(RunPreviewFrames(steps, c.loopMovie), PreviewEnd::WindowHidden) << c.label;
    EXPECT_EQ(steps.log, c.log) << c.label;
  }
}

TEST(RunPreviewFrames, AnErrorOfAnyStepEndsTheLoopAtOnce) {
  struct Case {
    std::string_view failing;
    std::string_view log;
  };
  const Case cases[] = {
      {"visible", "visible "},
      {"messages", "visible messages "},
      {"paint", "visible messages paint "},
      {"copy", "visible messages paint copy "},
      {"playing?", "visible messages paint copy playing? "},
      {"play", "visible messages paint copy playing? play "},
      {"pause", "visible messages paint copy playing? play pause "},
  };
  for (const Case& c : cases) {
    ScriptedSteps steps;
    steps.visibleAnswers = {true, true, true};
    steps.playingAnswers = {false, false, false};
    steps.throwIn = std::string(c.failing);
    EXPECT_EQ(RunPreviewFrames(steps, true), PreviewEnd::Failed) << c.failing;
    EXPECT_EQ(steps.log, c.log) << c.failing;
  }
}

}  // namespace
}  // namespace tpl
