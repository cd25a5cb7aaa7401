// The pointer and keys reaching a movie: a button's states, actions and
// sounds through each transition, clips that act as buttons, the mouse and key
// events of clips and listeners, and what Key and _xmouse report.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "movie_test_support.h"
#include "sound/sound_mixer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetVariable = 0x1C;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint16_t kRollOverSound = 201, kPressSound = 202;

Actions TraceText(std::string_view text) { return std::move(Actions().PushString(text).Trace()); }

// `name`.`member` = function () { trace(text) }
Actions HandlerOf(std::string_view name, std::string_view member, std::string_view text) {
  Actions a;
  a.PushString(name).Raw(kGetVariable).PushString(member).DefineFunction("", {}, TraceText(text)).Raw(kSetMember);
  return a;
}

// Adds a listener to Mouse or Key whose `method` runs `body`.
Actions ListenerOf(std::string_view broadcaster, std::string_view method, const Actions& body) {
  Actions a;
  a.PushInt(0).Raw(kInitObject).StoreRegister(1).Pop();
  a.PushRegister(1).PushString(method).DefineFunction("", {}, body).Raw(kSetMember);
  a.PushRegister(1).PushInt(1).PushString(broadcaster).Raw(kGetVariable).PushString("addListener");
  a.Raw(kCallMethod).Pop();
  return a;
}

Actions TraceKeyCall(std::string_view method) {
  Actions a;
  a.PushInt(0).PushString("Key").Raw(kGetVariable).PushString(method).Raw(kCallMethod).Trace();
  return a;
}

Bytes DefineRawSound(std::uint16_t id) {
  Bytes body = {static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>(id >> 8), 0x3E, 4, 0, 0, 0};
  for (int i = 0; i < 8; ++i) body.push_back(static_cast<std::uint8_t>(i + 1));
  return body;
}

// A 200 x 100 movie: a button at (10, 10), 50 x 50, red up, green over, blue
// down, its hit area the red square, with an action tracing each transition
// and sounds on roll over and press; a clip "clip" at (100, 10) with an
// onPress handler set by script; a Mouse listener.
Bytes InputMovie() {
  MovieBuilder movie(200, 100, 24, 6);
  const std::uint16_t red = movie.DefineShape(FilledRectangle(50, 50, {255, 0, 0}));
  const std::uint16_t green = movie.DefineShape(FilledRectangle(50, 50, {0, 255, 0}));
  const std::uint16_t blue = movie.DefineShape(FilledRectangle(50, 50, {0, 0, 255}));
  const std::uint16_t button = movie.DefineButton2(
      {ButtonRecordSpec{0x09, red, 1, {}}, ButtonRecordSpec{0x02, green, 2, {}}, ButtonRecordSpec{0x04, blue, 3, {}}},
      {{0x0001, TraceText("over")},
       {0x0002, TraceText("out")},
       {0x0004, TraceText("press")},
       {0x0008, TraceText("release")},
       {0x0010, TraceText("dragOut")},
       {0x0020, TraceText("dragOver")},
       {0x0040, TraceText("releaseOutside")},
       {static_cast<std::uint16_t>('k' << 9), TraceText("key k")}});
  movie.Tag(14, DefineRawSound(kRollOverSound));
  movie.Tag(14, DefineRawSound(kPressSound));
  movie.Tag(17, {static_cast<std::uint8_t>(button & 0xFF), static_cast<std::uint8_t>(button >> 8), 0, 0,
                 kRollOverSound & 0xFF, kRollOverSound >> 8, 0, kPressSound & 0xFF, kPressSound >> 8, 0, 0, 0});
  SpriteBuilder sprite;
  sprite.Place(green, 1).ShowFrame();
  const std::uint16_t clip = movie.DefineSprite(sprite);
  movie.Place(button, 1, Transform::Translate(10, 10), std::nullopt, "button");
  movie.Place(clip, 2, Transform::Translate(100, 10), std::nullopt, "clip");
  movie.DoAction(HandlerOf("clip", "onPress", "clip press"));
  movie.DoAction(ListenerOf("Mouse", "onMouseDown", TraceText("mouse down")));
  movie.DoAction(ListenerOf("Key", "onKeyDown", TraceKeyCall("getCode")));
  movie.ShowFrame();
  return movie.Build();
}

// Steps: "m X Y" moves the pointer, "d" / "u" the button down / up, "k C A"
// a key down with code C and character A.
struct InputCase {
  std::string name;
  std::vector<std::string> steps;
  std::vector<std::string> traces;
  std::uint32_t buttonColor;  // at the button's middle afterwards
};

std::vector<InputCase> InputCases() {
  return {
      {"RollOverAndOut", {"m 30 30", "m 5 5"}, {"over", "out"}, kRed},
      {"OverShowsTheOverState", {"m 30 30"}, {"over"}, kGreen},
      {"ClickInside", {"m 30 30", "d", "u"}, {"over", "mouse down", "press", "release"}, kGreen},
      {"PressedShowsTheDownState", {"m 30 30", "d"}, {"over", "mouse down", "press"}, kBlue},
      {"DragOutAndBackIn", {"m 30 30", "d", "m 150 90", "m 30 30", "u"},
       {"over", "mouse down", "press", "dragOut", "dragOver", "release"}, kGreen},
      {"ReleaseOutside", {"m 30 30", "d", "m 150 90", "u"},
       {"over", "mouse down", "press", "dragOut", "releaseOutside"}, kRed},
      {"OutsideTheHitAreaNothingHappens", {"m 5 5", "d", "u"}, {"mouse down"}, kRed},
      {"AClipWithOnPressActsAsAButton", {"m 120 30", "d"}, {"mouse down", "clip press"}, kRed},
      {"KeysReachListenersThenButtons", {"k 75 107"}, {"75", "key k"}, kRed},
  };
}

class MovieInput : public ::testing::TestWithParam<InputCase> {};

TEST_P(MovieInput, RunsTheHandlersAndShowsTheState) {
  const InputCase& c = GetParam();
  MoviePlayer player;
  std::vector<std::string> traced;
  player.SetTraceSink([&traced](std::string_view line) { traced.emplace_back(line); });
  LoadOrFail(player, InputMovie());
  for (const std::string& step : c.steps) {
    std::istringstream in(step);
    std::string kind;
    in >> kind;
    if (kind == "m") {
      double x = 0, y = 0;
      in >> x >> y;
      player.PointerMove(x, y, 200, 100, ScaleMode::ShowAll);
    } else if (kind == "k") {
      int code = 0, ascii = 0;
      in >> code >> ascii;
      player.KeyChange(true, code, ascii);
    } else {
      player.PointerButton(kind == "d");
    }
  }
  EXPECT_EQ(traced, c.traces);
  Canvas canvas(200, 100);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(35, 35), c.buttonColor);
}

INSTANTIATE_TEST_SUITE_P(Pointer, MovieInput, ::testing::ValuesIn(InputCases()),
                         [](const auto& tested) { return tested.param.name; });

TEST(MovieInputEffects, ButtonSoundsPlayOnTheirTransitions) {
  MoviePlayer player;
  LoadOrFail(player, InputMovie());
  player.PointerMove(30, 30, 200, 100, ScaleMode::ShowAll);
  EXPECT_TRUE(player.Sound().IsPlaying(kRollOverSound));
  EXPECT_FALSE(player.Sound().IsPlaying(kPressSound));
  player.PointerButton(true);
  EXPECT_TRUE(player.Sound().IsPlaying(kPressSound));
  EXPECT_TRUE(player.PointerOnButton());
  player.PointerMove(5, 95, 200, 100, ScaleMode::ShowAll);
  player.PointerButton(false);
  EXPECT_FALSE(player.PointerOnButton());
}

TEST(MovieInputEffects, PointerPositionFollowsTheScaleAndClipSpace) {
  MovieBuilder movie(200, 100);
  SpriteBuilder empty;
  empty.ShowFrame();
  const std::uint16_t clip = movie.DefineSprite(empty);
  movie.Place(clip, 1, Transform::Translate(50, 20), std::nullopt, "clip").ShowFrame();
  Actions report;
  for (const char* path : {"_xmouse", "_ymouse"}) report.PushString(path).Raw(kGetVariable).Trace();
  report.PushString("clip").Raw(kGetVariable).PushString("_xmouse").Raw(kGetMember).Trace();
  movie.DoAction(report).ShowFrame();
  MoviePlayer player;
  std::vector<std::string> traced;
  player.SetTraceSink([&traced](std::string_view line) { traced.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  // A 400 x 200 surface shows the movie at twice its size.
  player.PointerMove(300, 100, 400, 200, ScaleMode::ShowAll);
  player.Advance();
  EXPECT_EQ(traced, (std::vector<std::string>{"150", "50", "100"}));
}

}  // namespace
}  // namespace swf::testing
