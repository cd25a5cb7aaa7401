// The Stage object as scripts see it: the scale mode and alignment they set
// decide where the movie is drawn, and under noScale the stage is the window.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetVariable = 0x1C;
constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;

// Stage[name] = value.
Actions& SetStage(Actions& a, std::string_view name, std::string_view value) {
  return a.PushString("Stage").Raw(kGetVariable).PushString(name).PushString(value).Raw(kSetMember);
}

// trace(Stage[name]).
Actions& TraceStage(Actions& a, std::string_view name) {
  return a.PushString("Stage").Raw(kGetVariable).PushString(name).Raw(kGetMember).Trace();
}

struct LayoutCase {
  const char* name;
  const char* scaleMode;
  const char* align;
  int redX, redY;    // a pixel the 10 x 10 red movie covers in the 40 x 20 window
  int clearX, clearY;  // one it leaves (none when clearX < 0)
};

class StageLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(StageLayout, ScriptsPlaceTheMovieInItsWindow) {
  const LayoutCase& c = GetParam();
  MovieBuilder movie(10, 10);
  movie.SetBackground({0, 0, 255});
  const std::uint16_t square = movie.DefineShape(FilledRectangle(10, 10, {255, 0, 0}));
  Actions script;
  SetStage(script, "scaleMode", c.scaleMode);
  SetStage(script, "align", c.align);
  movie.Place(square, 1).DoAction(script).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(40, 20);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(c.redX, c.redY), kRed) << c.name;
  if (c.clearX >= 0) {
    EXPECT_NE(canvas.At(c.clearX, c.clearY), kRed) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    ScaleAndAlign, StageLayout,
    ::testing::Values(LayoutCase{"ShowAllCentres", "showAll", "", 20, 10, 5, 10},
                      LayoutCase{"ShowAllLeft", "showAll", "l", 5, 10, 35, 10},
                      LayoutCase{"ShowAllRight", "SHOWALL", "R", 35, 10, 5, 10},
                      LayoutCase{"NoScaleTopLeft", "noScale", "TL", 5, 5, 15, 15},
                      LayoutCase{"NoScaleBottomRight", "noscale", "rb", 35, 15, 25, 5},
                      LayoutCase{"ExactFitFillsWhateverTheAlignment", "exactFit", "TL", 35, 15, -1, 0},
                      LayoutCase{"UnknownModeKeepsTheHosts", "stretch", "", 20, 10, 5, 10}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(StageLayoutReadBack, ScriptsReadTheModeAlignmentAndSize) {
  MovieBuilder movie(10, 10);
  Actions first;
  TraceStage(first, "scaleMode");
  SetStage(first, "align", "rBxT");
  TraceStage(first, "align");
  SetStage(first, "scaleMode", "NOSCALE");
  TraceStage(first, "scaleMode");
  // A listener that reports the stage's size on each resize.
  first.PushString("listener").PushInt(0).PushString("Object").Raw(0x40).SetVariable();
  first.PushString("listener").Raw(kGetVariable).PushString("onResize");
  Actions report;
  TraceStage(report, "width");
  TraceStage(report, "height");
  first.DefineFunction("", {}, report).Raw(kSetMember);
  first.PushString("listener").Raw(kGetVariable).PushInt(1).PushString("Stage").Raw(kGetVariable);
  first.PushString("addListener").Raw(0x52).Pop();
  TraceStage(first, "width");
  movie.DoAction(first).ShowFrame(3);
  MoviePlayer player;
  std::vector<std::string> traced;
  player.SetTraceSink([&traced](std::string_view line) { traced.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  Canvas small(30, 20), large(50, 40);
  player.Render(small.View(), ScaleMode::ShowAll);
  player.Advance();
  player.Render(large.View(), ScaleMode::ShowAll);
  player.Advance();
  EXPECT_EQ(traced, (std::vector<std::string>{"showAll", "TBR", "noScale", "10", "50", "40"}));
  EXPECT_EQ(ParseStageAlignment("tl"), (StageAlignment{true, false, true, false}));
  EXPECT_EQ(StageAlignmentLetters(StageAlignment{false, true, false, true}), "BR");
}

}  // namespace
}  // namespace swf::testing
