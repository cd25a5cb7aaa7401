// Display objects as scripts see them: a placed video, points converted
// through turned and scaled clips in the platform's whole twips, the hit test
// of a clip that setMask masks or that a curve bounds, and a text field that
// sizes itself to its text.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kTypeOf = 0x44;
constexpr std::uint16_t kDefineVideoStream = 60;

Actions& SetNumber(Actions& a, std::string_view object, std::string_view member, double value) {
  return PushDottedPath(a, object).PushString(member).PushDouble(value).Raw(kSetMember);
}

// object.method(args...), the arguments pushed by `pushReversed`; the result is dropped.
Actions& Call(Actions& a, std::string_view object, std::string_view method,
              const std::function<void(Actions&)>& pushReversed, int count) {
  pushReversed(a);
  a.PushInt(count);
  return PushDottedPath(a, object).PushString(method).Raw(kCallMethod).Pop();
}

std::vector<std::string> TracesOfMovie(MovieBuilder& movie, const Actions& script) {
  movie.DoAction(script).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  return lines;
}

// Video ---------------------------------------------------------------------

// A DefineVideoStream body after its id: frames, width, height, flags (deblocking
// in bits 1-3, smoothing in bit 0), codec.
Bytes VideoStream(std::uint8_t flags) { return Bytes{10, 0, 160, 0, 120, 0, flags, 2}; }

TEST(PlacedVideo, IsADisplayObjectScriptsReachByItsName) {
  MovieBuilder movie(200, 200, 24, 8);
  const std::uint16_t video = movie.DefineRaw(kDefineVideoStream, VideoStream(0x05));
  movie.Place(video, 1, Transform::Translate(12, 34), std::nullopt, "screen");
  Actions a;
  TraceDottedPath(a, "screen");
  TraceDottedPath(a, "screen._name");
  TraceDottedPath(a, "screen._x");
  PushDottedPath(a, "screen").Raw(kTypeOf).Trace();
  PushDottedPath(a, "screen").PushString("attachVideo").Raw(kGetMember).Raw(kTypeOf).Trace();
  SetNumber(a, "screen", "_x", 50);
  TraceDottedPath(a, "screen._x");
  EXPECT_EQ(TracesOfMovie(movie, a), (std::vector<std::string>{"_level0.screen", "screen", "12", "object", "undefined", "50"}));
}

TEST(PlacedVideo, OneWithoutANameStaysOutOfReach) {
  MovieBuilder movie(200, 200, 24, 8);
  const std::uint16_t video = movie.DefineRaw(kDefineVideoStream, VideoStream(0));
  movie.Place(video, 1);
  Actions a;
  TraceDottedPath(a, "instance1");
  EXPECT_EQ(TracesOfMovie(movie, a), (std::vector<std::string>{"undefined"}));
}

// Point conversion ------------------------------------------------------------

// o = {x: x, y: y}
Actions& MakePoint(Actions& a, double x, double y) {
  return a.PushString("o").PushString("x").PushDouble(x).PushString("y").PushDouble(y).PushInt(2).Raw(kInitObject)
      .SetVariable();
}

Actions& Convert(Actions& a, std::string_view clip, std::string_view method) {
  Call(a, clip, method, [](Actions& b) { PushDottedPath(b, "o"); }, 1);
  TraceDottedPath(a, "o.x");
  return TraceDottedPath(a, "o.y");
}

// The platform keeps each matrix's move in whole twips, and a turn a script
// gives in 16.16 fixed point: a clip turned and scaled by its placement,
// holding another, inside a root a script moved and turned.
TEST(PointConversion, KeepsWholeTwipsThroughTurnedClipsAndARootAScriptTurned) {
  MovieBuilder movie(400, 400, 24, 8);
  ShapeBuilder square = FilledRectangle(10, 10, {255, 0, 0});
  SpriteBuilder inner;
  inner.Place(movie.DefineShape(square), 1).ShowFrame();
  SpriteBuilder outer;
  outer.Place(movie.DefineSprite(inner), 1, Transform::Translate(200, 200), std::nullopt, "c").ShowFrame();
  Transform turned;
  turned.scaleX = turned.scaleY = 14849 / 65536.0;
  turned.rotateSkew0 = 6924 / 65536.0;
  turned.rotateSkew1 = -6924 / 65536.0;
  turned.translateX = turned.translateY = 200;
  movie.Place(movie.DefineSprite(outer), 1, turned, std::nullopt, "c");
  Actions a;
  MakePoint(a, 10, 10);
  Convert(a, "c.c", "localToGlobal");
  Convert(a, "c", "globalToLocal");
  SetNumber(a, "_root", "_x", -10);
  SetNumber(a, "_root", "_rotation", 5);
  MakePoint(a, -10, -10);
  Convert(a, "c.c", "localToGlobal");
  Convert(a, "c", "globalToLocal");
  EXPECT_EQ(TracesOfMovie(movie, a),
            (std::vector<std::string>{"225.4", "269.75", "210", "209.95", "189.2", "281.6", "190.2", "190.2"}));
}

// Hit tests -------------------------------------------------------------------

Actions& TraceHit(Actions& a, std::string_view clip, double x, double y) {
  a.PushBool(true).PushDouble(y).PushDouble(x).PushInt(3);
  return PushDottedPath(a, clip).PushString("hitTest").Raw(kCallMethod).Trace();
}

TEST(ShapeHitTest, AClipThatSetMaskMasksIsHitOnlyWhereItsMaskIs) {
  MovieBuilder movie(200, 200, 24, 8);
  SpriteBuilder big;
  big.Place(movie.DefineShape(FilledRectangle(100, 100, {255, 0, 0})), 1).ShowFrame();
  SpriteBuilder small;
  small.Place(movie.DefineShape(FilledRectangle(50, 50, {0, 0, 255})), 1).ShowFrame();
  movie.Place(movie.DefineSprite(big), 1, {}, std::nullopt, "m");
  movie.Place(movie.DefineSprite(small), 2, {}, std::nullopt, "k");
  Actions a;
  Call(a, "m", "setMask", [](Actions& b) { PushDottedPath(b, "k"); }, 1);
  TraceHit(a, "m", 75, 75);
  TraceHit(a, "m", 25, 25);
  Call(a, "m", "setMask", [](Actions& b) { b.PushNull(); }, 1);
  TraceHit(a, "m", 75, 75);
  EXPECT_EQ(TracesOfMovie(movie, a), (std::vector<std::string>{"false", "true", "true"}));
}

struct CurveCase {
  std::string name;
  double x, y;
  bool inside;
};

class CurveHitTest : public ::testing::TestWithParam<CurveCase> {};

// A square whose right side bows in along a curve through (150, 100): the
// curve, not straight pieces along it, bounds the fill.
TEST_P(CurveHitTest, FollowsTheCurveItself) {
  const CurveCase& c = GetParam();
  MovieBuilder movie(300, 300, 24, 8);
  ShapeBuilder shape;
  shape.SetStyles(0, shape.AddSolidFill({255, 0, 0}), 0);
  shape.MoveTo(0, 0).LineTo(200, 0).CurveTo(100, 100, 200, 200).LineTo(0, 200).LineTo(0, 0);
  SpriteBuilder sprite;
  sprite.Place(movie.DefineShape(shape), 1).ShowFrame();
  movie.Place(movie.DefineSprite(sprite), 1, {}, std::nullopt, "s");
  Actions a;
  TraceHit(a, "s", c.x, c.y);
  EXPECT_EQ(TracesOfMovie(movie, a), (std::vector<std::string>{c.inside ? "true" : "false"}));
}

// Where the curve runs at y = 106.25 its x is 150.195...; a straight piece
// from t = 1/2 to t = 9/16 passes at 150.39.
INSTANTIATE_TEST_SUITE_P(Cases, CurveHitTest,
                         ::testing::Values(CurveCase{"inside_the_bow", 150.1, 106.25, true},
                                           CurveCase{"between_the_curve_and_its_chord", 150.3, 106.25, false},
                                           CurveCase{"at_the_turn", 149.9, 100, true},
                                           CurveCase{"beyond_the_turn", 150.1, 100, false}),
                         [](const auto& tested) { return tested.param.name; });

// clip.method(numbers...), the numbers given first to last.
Actions& Draw(Actions& a, std::string_view method, const std::vector<double>& numbers) {
  return Call(
      a, "d", method,
      [&numbers](Actions& b) {
        for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) b.PushDouble(*it);
      },
      static_cast<int>(numbers.size()));
}

struct DrawnFillCase {
  std::string name;
  bool endFill;
  double x, y;
  bool hit;
};

class DrawnFillHitTest : public ::testing::TestWithParam<DrawnFillCase> {};

// A triangle drawn with a 10-pixel line: (0, 0), (100, 0), (100, 100), and
// back to the start, which the fill closes by itself along its line style.
TEST_P(DrawnFillHitTest, TheFillClosesAlongALineOfItsStyle) {
  const DrawnFillCase& c = GetParam();
  MovieBuilder movie(300, 300, 24, 8);
  Actions a;
  Call(a, "_root", "createEmptyMovieClip", [](Actions& b) { b.PushInt(1).PushString("d"); }, 2);
  Draw(a, "lineStyle", {10, 0xFF0000});
  Draw(a, "beginFill", {0x0000FF});
  Draw(a, "lineTo", {100, 0});
  Draw(a, "lineTo", {100, 100});
  if (c.endFill) Draw(a, "endFill", {});
  TraceHit(a, "d", c.x, c.y);
  EXPECT_EQ(TracesOfMovie(movie, a), (std::vector<std::string>{c.hit ? "true" : "false"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, DrawnFillHitTest,
                         ::testing::Values(DrawnFillCase{"inside", true, 60, 30, true},
                                           DrawnFillCase{"on_the_closing_line", true, 30, 33, true},
                                           DrawnFillCase{"beyond_the_closing_line", true, 20, 60, false},
                                           DrawnFillCase{"beyond_an_open_fill", false, 20, 60, false},
                                           DrawnFillCase{"inside_an_open_fill", false, 60, 30, true}),
                         [](const auto& tested) { return tested.param.name; });

// Text fields -----------------------------------------------------------------

TEST(AutoSizedField, KeepsTheHeightOfItsTextSoAllOfItShowsAndNothingScrolls) {
  MovieBuilder movie(200, 200, 24, 8);
  EditTextFields fields;
  fields.multiline = fields.wordWrap = fields.autoSize = true;
  fields.fontHeight = 12;
  fields.text = "one\rtwo\rthree";
  movie.Place(movie.DefineEditText(fields), 1, {}, std::nullopt, "t");
  Actions a;
  a.PushString("before");
  PushDottedPath(a, "t._height");
  a.SetVariable();
  SetNumber(a, "t", "_height", 5);
  SetNumber(a, "t", "scroll", 2);
  TraceDottedPath(a, "t.scroll");
  TraceDottedPath(a, "t.maxscroll");
  PushDottedPath(a, "t._height");
  PushDottedPath(a, "before");
  a.Equals2().Trace();
  EXPECT_EQ(TracesOfMovie(movie, a), (std::vector<std::string>{"1", "1", "true"}));
}

}  // namespace
}  // namespace swf::testing
