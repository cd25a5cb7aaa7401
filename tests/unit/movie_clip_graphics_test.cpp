// What scripts draw through clips and bitmaps: MovieClip.scrollRect,
// beginBitmapFill and BitmapData.draw of a clip, checked by drawn pixels and
// by what the scripts read back.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

constexpr std::uint8_t kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kNewMethod = 0x53;
constexpr Color kRedInk{255, 0, 0}, kBlueInk{0, 0, 255}, kGreenInk{0, 255, 0}, kPaper{255, 255, 255};

// Pushes one value onto the script's stack.
using Push = std::function<void(Actions&)>;

Push Num(double n) {
  return [n](Actions& a) { a.PushDouble(n); };
}
Push Undef() {
  return [](Actions& a) { a.PushUndefined(); };
}
// a.b.c: a variable, then its members.
Push Path(std::string path) {
  return [path](Actions& a) {
    std::size_t begin = 0;
    for (bool first = true;; first = false) {
      const std::size_t dot = path.find('.', begin);
      a.PushString(path.substr(begin, dot - begin));
      if (first) {
        a.GetVariable();
      } else {
        a.Raw(kGetMember);
      }
      if (dot == std::string::npos) break;
      begin = dot + 1;
    }
  };
}
void PushArgs(Actions& a, const std::vector<Push>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) (*it)(a);
  a.PushInt(static_cast<std::int32_t>(args.size()));
}
// new flash.<package>.<name>(args...)
Push New(std::string package, std::string name, std::vector<Push> args) {
  return [=](Actions& a) {
    PushArgs(a, args);
    Path("flash." + package)(a);
    a.PushString(name).Raw(kNewMethod);
  };
}
Push Rect(double x, double y, double w, double h) { return New("geom", "Rectangle", {Num(x), Num(y), Num(w), Num(h)}); }
// object.method(args...)
Push Call(std::string object, std::string method, std::vector<Push> args) {
  return [=](Actions& a) {
    PushArgs(a, args);
    Path(object)(a);
    a.PushString(method).Raw(kCallMethod);
  };
}
void Do(Actions& a, const Push& call) {
  call(a);
  a.Pop();
}
void Set(Actions& a, const std::string& object, const std::string& member, const Push& value) {
  Path(object)(a);
  a.PushString(member);
  value(a);
  a.Raw(kSetMember);
}
void SetVar(Actions& a, const std::string& name, const Push& value) {
  a.PushString(name);
  value(a);
  a.SetVariable();
}
void Trace(Actions& a, const Push& value) {
  value(a);
  a.Trace();
}

struct Probe {
  int x, y;
  Color expected;
};

bool Near(std::uint32_t pixel, Color c) {
  return std::abs(RedOf(pixel) - c.r) <= 8 && std::abs(GreenOf(pixel) - c.g) <= 8 && std::abs(BlueOf(pixel) - c.b) <= 8;
}

void ExpectProbes(const Canvas& canvas, const std::vector<Probe>& probes) {
  for (const Probe& p : probes) {
    const std::uint32_t pixel = canvas.At(p.x, p.y);
    EXPECT_TRUE(Near(pixel, p.expected)) << "at " << p.x << ", " << p.y << ": " << RedOf(pixel) << " "
                                         << GreenOf(pixel) << " " << BlueOf(pixel);
  }
}

// A clip "s" at (10, 10) whose content is red from x 0 to 50 and blue from
// 50 to 100, 100 high; the frame's script runs after it is placed, and
// `later` (when set) on the next frame.
Bytes HalvesMovie(const std::function<void(Actions&)>& script, const std::function<void(Actions&)>& later = {}) {
  MovieBuilder movie(120, 120, 24, 8);
  movie.SetBackground(kPaper);
  SpriteBuilder sprite;
  sprite.Place(movie.DefineShape(FilledRectangle(50, 100, kRedInk)), 1);
  sprite.Place(movie.DefineShape(FilledRectangle(50, 100, kBlueInk)), 2, Transform::Translate(50, 0));
  sprite.ShowFrame();
  movie.Place(movie.DefineSprite(sprite), 1, Transform::Translate(10, 10), std::nullopt, "s");
  Actions actions;
  script(actions);
  movie.DoAction(actions).ShowFrame();
  if (later) {
    Actions next;
    later(next);
    next.Stop();
    movie.DoAction(next).ShowFrame();
  }
  return movie.Build();
}

struct DrawCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::vector<Probe> probes;
  std::function<void(Actions&)> later;
};

std::vector<DrawCase> ScrollRectCases() {
  const auto scroll = [](double x, double y, double w, double h) {
    return [=](Actions& a) { Set(a, "s", "scrollRect", Rect(x, y, w, h)); };
  };
  return {
      {"without_a_rectangle_all_shows", [](Actions&) {}, {{20, 20, kRedInk}, {100, 100, kBlueInk}}, {}},
      // Content x 40..60, y 0..30 shows at stage x 10..30, y 10..40.
      {"the_rectangle_shows_at_the_clip_origin",
       scroll(40, 0, 20, 30),
       {{15, 20, kRedInk}, {25, 20, kBlueInk}, {35, 20, kPaper}, {25, 45, kPaper}, {5, 5, kPaper}, {80, 80, kPaper}},
       {}},
      {"the_clip_scale_applies_to_the_window",
       [=](Actions& a) {
         scroll(40, 0, 20, 30)(a);
         Set(a, "s", "_xscale", Num(200));
       },
       {{25, 20, kRedInk}, {45, 20, kBlueInk}, {55, 20, kPaper}},
       {}},
      {"undefined_takes_the_rectangle_away",
       [=](Actions& a) {
         scroll(40, 0, 20, 30)(a);
         Set(a, "s", "scrollRect", Undef());
       },
       {{20, 20, kRedInk}, {100, 100, kBlueInk}},
       {}},
      {"a_changed_rectangle_shows_on_the_next_frame",
       scroll(0, 0, 20, 20),
       {{15, 15, kBlueInk}, {25, 25, kPaper}},
       scroll(60, 0, 10, 10)},
  };
}

class ScrollRects : public ::testing::TestWithParam<DrawCase> {};

TEST_P(ScrollRects, ShowOnlyTheirRectangleOfTheClip) {
  const DrawCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, HalvesMovie(c.script, c.later));
  Canvas canvas(120, 120);
  // Drawn frame by frame, as the control draws: the second frame redraws what changed.
  (void)player.RenderChanges(canvas.View(), ScaleMode::NoScale);
  if (c.later) {
    player.Advance();
    (void)player.RenderChanges(canvas.View(), ScaleMode::NoScale);
  }
  ExpectProbes(canvas, c.probes);
}

INSTANTIATE_TEST_SUITE_P(MovieClip, ScrollRects, ::testing::ValuesIn(ScrollRectCases()), CaseName{});

std::vector<std::string> Traces(const Bytes& movie) {
  MoviePlayer player;
  std::vector<std::string> lines;
  player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_TRUE(player.Load(movie));
  return lines;
}

TEST(ScrollRectScripts, ReadACopyAndMeasureTheWindow) {
  const auto lines = Traces(HalvesMovie([](Actions& a) {
    Trace(a, Path("s.scrollRect"));
    Set(a, "s", "scrollRect", Rect(40, 5, 20, 30));
    Trace(a, Path("s.scrollRect.x"));
    Trace(a, Path("s.scrollRect.height"));
    // What is read is a copy: changing it changes nothing.
    SetVar(a, "r", Path("s.scrollRect"));
    Set(a, "r", "x", Num(0));
    Trace(a, Path("s.scrollRect.x"));
    Trace(a, Path("s._width"));
    Trace(a, Path("s._height"));
    SetVar(a, "b", Call("s", "getBounds", {Path("_root")}));
    Trace(a, Path("b.xMin"));
    Trace(a, Path("b.xMax"));
    Trace(a, Path("b.yMax"));
    Set(a, "s", "scrollRect", Undef());
    Trace(a, Path("s.scrollRect"));
    Trace(a, Path("s._width"));
  }));
  EXPECT_EQ(lines, (std::vector<std::string>{"undefined", "40", "30", "40", "20", "30", "10", "30", "40",
                                             "undefined", "100"}));
}

// A 2 x 2 bitmap: red, blue on top; green, black below.
void MakeQuarters(Actions& a) {
  SetVar(a, "q", New("display", "BitmapData", {Num(2), Num(2), Num(0), Num(0xFF0000)}));
  Do(a, Call("q", "setPixel", {Num(1), Num(0), Num(0x0000FF)}));
  Do(a, Call("q", "setPixel", {Num(0), Num(1), Num(0x00FF00)}));
  Do(a, Call("q", "setPixel", {Num(1), Num(1), Num(0)}));
}

// The root's 100 x 100 square at the origin filled with the bitmap.
std::function<void(Actions&)> BitmapSquare(std::vector<Push> fillArgs) {
  return [=](Actions& a) {
    MakeQuarters(a);
    std::vector<Push> args{Path("q")};
    args.insert(args.end(), fillArgs.begin(), fillArgs.end());
    Do(a, Call("_root", "beginBitmapFill", args));
    Do(a, Call("_root", "moveTo", {Num(0), Num(0)}));
    for (const auto& [x, y] : {std::pair{100.0, 0.0}, {100.0, 100.0}, {0.0, 100.0}, {0.0, 0.0}}) {
      Do(a, Call("_root", "lineTo", {Num(x), Num(y)}));
    }
    Do(a, Call("_root", "endFill", {}));
  };
}

Push Scale(double s, double tx = 0) { return New("geom", "Matrix", {Num(s), Num(0), Num(0), Num(s), Num(tx), Num(0)}); }

std::vector<DrawCase> BitmapFillCases() {
  constexpr Color kInk{0, 0, 0};
  return {
      {"one_bitmap_pixel_to_a_clip_pixel_repeated",
       BitmapSquare({}),
       {{0, 0, kRedInk}, {1, 0, kBlueInk}, {0, 1, kGreenInk}, {1, 1, kInk}, {50, 50, kRedInk}, {51, 50, kBlueInk}},
       {}},
      {"the_matrix_scales_the_pixels",
       BitmapSquare({Scale(20)}),
       {{10, 10, kRedInk}, {30, 10, kBlueInk}, {10, 30, kGreenInk}, {30, 30, kInk}, {50, 10, kRedInk}},
       {}},
      {"without_repeat_the_edges_stretch",
       BitmapSquare({Scale(20), Num(0)}),
       {{10, 10, kRedInk}, {90, 10, kBlueInk}, {10, 90, kGreenInk}, {90, 90, kInk}},
       {}},
      {"the_matrix_moves_the_pixels",
       BitmapSquare({Scale(20, 10)}),
       {{5, 10, kBlueInk}, {15, 10, kRedInk}, {35, 10, kBlueInk}},
       {}},
      {"changed_pixels_show_on_the_next_frame",
       BitmapSquare({Scale(20)}),
       {{10, 10, {0, 255, 255}}, {30, 10, kBlueInk}},
       [](Actions& a) { Do(a, Call("q", "setPixel", {Num(0), Num(0), Num(0x00FFFF)})); }},
      {"a_disposed_bitmap_fills_nothing",
       BitmapSquare({Scale(20)}),
       {{10, 10, kPaper}},
       [](Actions& a) { Do(a, Call("q", "dispose", {})); }},
  };
}

class ScriptBitmapFills : public ::testing::TestWithParam<DrawCase> {};

TEST_P(ScriptBitmapFills, FillWithTheBitmapsPixels) {
  const DrawCase& c = GetParam();
  MovieBuilder movie(100, 100, 24, 8);
  movie.SetBackground(kPaper);
  Actions actions;
  c.script(actions);
  movie.DoAction(actions).ShowFrame();
  if (c.later) {
    Actions next;
    c.later(next);
    next.Stop();
    movie.DoAction(next).ShowFrame();
  }
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(100, 100);
  (void)player.RenderChanges(canvas.View(), ScaleMode::NoScale);
  if (c.later) {
    player.Advance();
    (void)player.RenderChanges(canvas.View(), ScaleMode::NoScale);
  }
  ExpectProbes(canvas, c.probes);
}

INSTANTIATE_TEST_SUITE_P(MovieClip, ScriptBitmapFills, ::testing::ValuesIn(BitmapFillCases()), CaseName{});

struct SnapshotCase {
  std::string name;
  std::vector<Push> drawArgs;  // after the source "s"
  std::vector<std::pair<int, int>> points;
  std::vector<std::string> pixels;  // getPixel32 at the points, as hexadecimal text
};

// Hexadecimal text of a traced getPixel32 result.
std::string Hex(const std::string& traced) {
  const auto value = static_cast<std::uint32_t>(std::stoll(traced));
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

std::vector<SnapshotCase> SnapshotCases() {
  const Push noMatrix = [](Actions& a) { a.PushNull(); };
  return {
      // The clip's own place on the stage (10, 10) does not count.
      {"the_clip_at_its_origin", {}, {{5, 5}, {55, 5}, {105, 5}}, {"FFFF0000", "FF0000FF", "00000000"}},
      {"through_the_matrix",
       {New("geom", "Matrix", {Num(0.5), Num(0), Num(0), Num(0.5), Num(10), Num(0)})},
       {{5, 5}, {15, 5}, {40, 5}, {15, 60}},
       {"00000000", "FFFF0000", "FF0000FF", "00000000"}},
      {"through_the_colour_transform",
       {noMatrix, New("geom", "ColorTransform", {Num(0), Num(1), Num(1), Num(0.5), Num(0), Num(0), Num(0), Num(0)})},
       {{5, 5}, {55, 5}},
       {"80000000", "800000FF"}},
      {"inside_the_clip_rectangle",
       {noMatrix, noMatrix, noMatrix, Rect(40, 0, 20, 20)},
       {{30, 5}, {45, 5}, {55, 5}, {55, 30}},
       {"00000000", "FFFF0000", "FF0000FF", "00000000"}},
  };
}

class BitmapSnapshots : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(BitmapSnapshots, DrawWhatTheClipShows) {
  const SnapshotCase& c = GetParam();
  const auto lines = Traces(HalvesMovie([&](Actions& a) {
    SetVar(a, "d", New("display", "BitmapData", {Num(120), Num(120), Num(1), Num(0)}));
    std::vector<Push> args{Path("s")};
    args.insert(args.end(), c.drawArgs.begin(), c.drawArgs.end());
    Do(a, Call("d", "draw", args));
    for (const auto& [x, y] : c.points) Trace(a, Call("d", "getPixel32", {Num(x), Num(y)}));
  }));
  ASSERT_EQ(lines.size(), c.pixels.size());
  // Alpha and colour may round a step or two apart from the exact value.
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto got = static_cast<std::uint32_t>(std::stoul(Hex(lines[i]), nullptr, 16));
    const auto want = static_cast<std::uint32_t>(std::stoul(c.pixels[i], nullptr, 16));
    for (const int shift : {24, 16, 8, 0}) {
      EXPECT_NEAR(Channel(got, shift), Channel(want, shift), 3) << "point " << i << ": " << Hex(lines[i]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BitmapData, BitmapSnapshots, ::testing::ValuesIn(SnapshotCases()), CaseName{});

}  // namespace
}  // namespace swf::testing
