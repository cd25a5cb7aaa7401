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

Push Text(std::string text) {
  return [text](Actions& a) { a.PushString(text); };
}
Push Null() {
  return [](Actions& a) { a.PushNull(); };
}
// new TextFormat()
Push NewTextFormat() {
  return [](Actions& a) {
    a.PushInt(0);
    a.PushString("TextFormat").Raw(0x40);
  };
}
// [elements...]
Push ArrayOf(std::vector<Push> elements) {
  return [elements](Actions& a) {
    PushArgs(a, elements);
    a.Raw(0x42);
  };
}

// A pixel read back as hexadecimal text, each channel within `slack` of the wanted one.
void ExpectPixel(const std::string& traced, const std::string& wanted, int slack = 3) {
  const auto got = static_cast<std::uint32_t>(std::stoul(Hex(traced), nullptr, 16));
  const auto want = static_cast<std::uint32_t>(std::stoul(wanted, nullptr, 16));
  for (const int shift : {24, 16, 8, 0}) {
    EXPECT_NEAR(Channel(got, shift), Channel(want, shift), slack) << Hex(traced) << " for " << wanted;
  }
}

struct BlendCase {
  std::string name;
  double under;       // ARGB of the bitmap drawn into
  bool transparent;   // the bitmap drawn into keeps alpha
  double over;        // ARGB of the bitmap drawn
  Push mode;
  std::string pixel;  // what getPixel32 reads where they meet
};

std::vector<BlendCase> BlendCases() {
  // The platform's mixes of one colour over another, channel by channel:
  // (32, 64, 128) beneath, grey 128 over it.
  constexpr double kUnder = 0xFF204080, kGrey = 0xFF808080, kHalf = 0x80808080;
  return {
      {"normal", kUnder, false, kGrey, Text("normal"), "FF808080"},
      {"layer_is_normal", kUnder, false, kGrey, Text("layer"), "FF808080"},
      {"multiply", kUnder, false, kGrey, Text("multiply"), "FF102040"},
      {"screen", kUnder, false, kGrey, Text("screen"), "FF90A0C0"},
      {"lighten", kUnder, false, kGrey, Text("lighten"), "FF808080"},
      {"darken", kUnder, false, kGrey, Text("darken"), "FF204080"},
      {"difference", kUnder, false, kGrey, Text("difference"), "FF604000"},
      {"add", kUnder, false, kGrey, Text("add"), "FFA0C0FF"},
      {"subtract", kUnder, false, kGrey, Text("subtract"), "FF000000"},
      {"invert", kUnder, false, kGrey, Text("invert"), "FFDFBF7F"},
      {"overlay", kUnder, false, kGrey, Text("overlay"), "FF204081"},
      {"hardlight", kUnder, false, kGrey, Text("hardlight"), "FF214181"},
      {"by_number_multiply", kUnder, false, kGrey, Num(3), "FF102040"},
      {"name_in_any_case", kUnder, false, kGrey, Text("MULTIPLY"), "FF102040"},
      {"unknown_name_is_normal", kUnder, false, kGrey, Text("sideways"), "FF808080"},
      {"half_covering_normal", kUnder, false, kHalf, Text("normal"), "FF506080"},
      {"alpha_takes_the_source_coverage", kUnder, true, kHalf, Text("alpha"), "80204080"},
      {"erase_takes_the_source_coverage_away", kUnder, true, kHalf, Text("erase"), "7F204080"},
      {"erase_leaves_an_opaque_bitmap", kUnder, false, kHalf, Text("erase"), "FF204080"},
      {"multiply_over_nothing_shows_the_source", 0, true, kGrey, Text("multiply"), "FF808080"},
  };
}

class BitmapDrawBlends : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BitmapDrawBlends, MixTheDrawnBitmapByItsMode) {
  const BlendCase& c = GetParam();
  const auto lines = Traces(HalvesMovie([&](Actions& a) {
    SetVar(a, "d", New("display", "BitmapData", {Num(8), Num(8), Num(c.transparent ? 1 : 0), Num(c.under)}));
    SetVar(a, "o", New("display", "BitmapData", {Num(4), Num(4), Num(1), Num(c.over)}));
    Do(a, Call("d", "draw", {Path("o"), Undef(), Undef(), c.mode}));
    Trace(a, Call("d", "getPixel32", {Num(1), Num(1)}));
    Trace(a, Call("d", "getPixel32", {Num(6), Num(6)}));  // beyond the drawn bitmap
  }));
  ASSERT_EQ(lines.size(), 2u);
  ExpectPixel(lines[0], c.pixel);
  char under[16];
  std::snprintf(under, sizeof under, "%08X", static_cast<std::uint32_t>(c.under));
  ExpectPixel(lines[1], c.transparent || c.under != 0 ? under : "FF000000", 0);
}

INSTANTIATE_TEST_SUITE_P(BitmapData, BitmapDrawBlends, ::testing::ValuesIn(BlendCases()), CaseName{});

TEST(BitmapDrawOptions, ClipRectangleSmoothingAndClipModes) {
  const auto lines = Traces(HalvesMovie([](Actions& a) {
    // A black and a white pixel, drawn ten times as large.
    SetVar(a, "o", New("display", "BitmapData", {Num(2), Num(1), Num(0), Num(0)}));
    Do(a, Call("o", "setPixel", {Num(1), Num(0), Num(0xFFFFFF)}));
    for (const char* name : {"sharp", "smooth"}) {
      SetVar(a, name, New("display", "BitmapData", {Num(20), Num(4), Num(0), Num(0xFF0000)}));
      Do(a, Call(name, "draw", {Path("o"), Scale(10), Undef(), Undef(), Undef(), Num(name[1] == 'm' ? 1 : 0)}));
      Trace(a, Call(name, "getPixel", {Num(10), Num(1)}));
    }
    // Only the clip rectangle changes.
    SetVar(a, "c", New("display", "BitmapData", {Num(20), Num(4), Num(0), Num(0xFF0000)}));
    Do(a, Call("c", "draw", {Path("o"), Scale(10), Undef(), Undef(), Rect(12, 0, 4, 4)}));
    Trace(a, Call("c", "getPixel", {Num(11), Num(1)}));
    Trace(a, Call("c", "getPixel", {Num(13), Num(1)}));
    // A clip drawn with a blend mode: red over the bitmap's grey, multiplied.
    SetVar(a, "m", New("display", "BitmapData", {Num(40), Num(4), Num(0), Num(0x808080)}));
    Do(a, Call("m", "draw", {Path("s"), Undef(), Undef(), Text("multiply")}));
    Trace(a, Call("m", "getPixel", {Num(5), Num(1)}));
  }));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(std::stoi(lines[0]), 0xFFFFFF) << "unsmoothed, the nearest pixel";
  const int smoothRed = std::stoi(lines[1]) >> 16 & 0xFF;
  EXPECT_GT(smoothRed, 40) << "smoothed, a mix of both";
  EXPECT_LT(smoothRed, 220);
  EXPECT_EQ(std::stoi(lines[2]), 0xFF0000) << "outside the clip rectangle";
  EXPECT_EQ(std::stoi(lines[3]), 0xFFFFFF) << "inside it";
  ExpectPixel(lines[4], "00800000");
}

// new DisplacementMapFilter(map, new Point(0, 0), red, red, scale, 0, mode, 0xFFFF00, 1)
Push Displacement(double scaleX, std::string mode) {
  return New("filters", "DisplacementMapFilter",
             {Path("map"), New("geom", "Point", {Num(0), Num(0)}), Num(1), Num(1), Num(scaleX), Num(0), Text(mode),
              Num(0xFFFF00), Num(1)});
}

TEST(DisplacementFilters, MovePixelsByTheMapAndTreatTheEdgesByMode) {
  struct Case {
    std::string mode;
    std::string displacedInside, pastTheEdge;
  };
  // Red 0..20, blue 20..36, green 36..40; a full red map moves each pixel to
  // the one 10 to its right: pixel 15 shows 25, pixel 35 shows 45.
  const std::vector<Case> cases{{"wrap", "FF0000FF", "FFFF0000"},
                                {"clamp", "FF0000FF", "FF00FF00"},
                                {"ignore", "FF0000FF", "FF0000FF"},
                                {"color", "FF0000FF", "FFFFFF00"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const auto lines = Traces(HalvesMovie([&](Actions& a) {
      SetVar(a, "map", New("display", "BitmapData", {Num(40), Num(4), Num(0), Num(0xFF0000)}));
      SetVar(a, "b", New("display", "BitmapData", {Num(40), Num(4), Num(1), Num(0xFFFF0000)}));
      Do(a, Call("b", "fillRect", {Rect(20, 0, 16, 4), Num(0xFF0000FF)}));
      Do(a, Call("b", "fillRect", {Rect(36, 0, 4, 4), Num(0xFF00FF00)}));
      Trace(a, Call("b", "applyFilter",
                    {Path("b"), Path("b.rectangle"), New("geom", "Point", {Num(0), Num(0)}), Displacement(20, c.mode)}));
      Trace(a, Call("b", "getPixel32", {Num(15), Num(1)}));
      Trace(a, Call("b", "getPixel32", {Num(35), Num(1)}));
    }));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "0");
    ExpectPixel(lines[1], c.displacedInside, 0);
    ExpectPixel(lines[2], c.pastTheEdge, 0);
  }
}

// Drawn frames of filters on clips and fields, text selections and the
// root's scroll rectangle.
std::vector<DrawCase> StageEffectCases() {
  const auto field = [](Actions& a, const std::string& text) {
    Do(a, Call("_root", "createTextField", {Text("t"), Num(5), Num(10), Num(60), Num(100), Num(30)}));
    Set(a, "_root.t", "text", Text(text));
    Set(a, "_root.t", "background", Num(1));
  };
  const auto selectAll = [](Actions& a) {
    Do(a, Call("Selection", "setFocus", {Path("_root.t")}));
    Do(a, Call("Selection", "setSelection", {Num(0), Num(20)}));
  };
  constexpr Color kInk{0, 0, 0};
  return {
      {"a_displacement_map_moves_the_clip_pixels",
       [](Actions& a) {
         SetVar(a, "map", New("display", "BitmapData", {Num(100), Num(100), Num(0), Num(0xFF0000)}));
         Set(a, "s", "filters", ArrayOf({Displacement(40, "clamp")}));
       },
       // Stage x 40 is content 30, which shows content 50 (blue).
       {{40, 50, kBlueInk}, {25, 50, kRedInk}},
       {}},
      {"a_text_field_glows",
       [=](Actions& a) {
         field(a, "");
         Set(a, "_root.t", "backgroundColor", Num(0x0000FF));
         Set(a, "_root.t", "filters",
             ArrayOf({New("filters", "GlowFilter", {Num(0x00FF00), Num(1), Num(8), Num(8), Num(4), Num(1)})}));
       },
       {{60, 58, {0, 255, 0}}, {60, 75, kBlueInk}},
       {}},
      {"the_focused_selection_shows_inverted",
       [=](Actions& a) {
         field(a, "abcd");
         selectAll(a);
       },
       // "abcd" from x 12 on, 6.6 pixels a character without a font.
       {{15, 66, kInk}, {30, 66, kInk}, {50, 66, kPaper}},
       {}},
      {"an_unfocused_selection_does_not_show",
       [=](Actions& a) {
         field(a, "abcd");
         selectAll(a);
         Do(a, Call("Selection", "setFocus", {Null()}));
       },
       {{15, 66, kPaper}},
       {}},
      {"a_tab_reaches_the_tab_stop",
       [=](Actions& a) {
         field(a, "a\tb");
         SetVar(a, "f", NewTextFormat());
         Set(a, "f", "tabStops", ArrayOf({Num(50)}));
         Do(a, Call("_root.t", "setTextFormat", {Path("f")}));
         selectAll(a);
       },
       // The tab's box spans from the a to the stop 50 pixels in (the
       // default stop lies at 36), then the b.
       {{40, 66, kInk}, {60, 66, kInk}, {85, 66, kPaper}},
       {}},
      {"a_bullet_moves_the_text_in",
       [=](Actions& a) {
         field(a, "ab");
         SetVar(a, "f", NewTextFormat());
         Set(a, "f", "bullet", Num(1));
         Do(a, Call("_root.t", "setTextFormat", {Path("f")}));
         selectAll(a);
       },
       // The a starts 18 pixels further in, past its bullet.
       {{22, 66, kPaper}, {35, 66, kInk}},
       {}},
      {"the_root_scroll_rectangle_moves_and_cuts_the_stage",
       [](Actions& a) { Set(a, "_root", "scrollRect", Rect(50, 0, 60, 60)); },
       {{5, 20, kRedInk}, {15, 20, kBlueInk}, {70, 20, kPaper}, {15, 70, kPaper}},
       {}},
  };
}

class StageEffects : public ::testing::TestWithParam<DrawCase> {};

TEST_P(StageEffects, DrawAsThePlatformDoes) {
  const DrawCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, HalvesMovie(c.script, c.later));
  Canvas canvas(120, 120);
  (void)player.RenderChanges(canvas.View(), ScaleMode::NoScale);
  ExpectProbes(canvas, c.probes);
}

INSTANTIATE_TEST_SUITE_P(Stage, StageEffects, ::testing::ValuesIn(StageEffectCases()), CaseName{});

TEST(FieldFilters, ReadBackAsNewFilterObjects) {
  const auto lines = Traces(HalvesMovie([](Actions& a) {
    Do(a, Call("_root", "createTextField", {Text("t"), Num(5), Num(0), Num(0), Num(50), Num(20)}));
    Set(a, "_root.t", "filters", ArrayOf({New("filters", "BlurFilter", {Num(6), Num(3), Num(2)}), Num(7)}));
    Trace(a, Path("_root.t.filters.length"));
    Trace(a, Path("_root.t.filters.0.blurX"));
    Set(a, "_root.t", "filters", Num(0));
    Trace(a, Path("_root.t.filters.length"));
  }));
  EXPECT_EQ(lines, (std::vector<std::string>{"1", "6", "0"}));
}


// The pointer under scroll rectangles: the root's moves what lies under the
// stage's points and cuts away what lies outside its window; a clip's cuts
// its own content. "s" acts as a button once it has a roll-over handler.
struct PointerCase {
  std::string name;
  std::function<void(Actions&)> scroll;
  double x, y;             // the pointer on the stage, in pixels
  double scrolledX;        // the root's scroll rectangle's left edge (0: none)
  bool onButton;
};

std::vector<PointerCase> ScrolledPointerCases() {
  const auto rootScroll = [](double x) {
    return [x](Actions& a) { Set(a, "_root", "scrollRect", Rect(x, 0, 40, 120)); };
  };
  const auto clipScroll = [](Actions& a) { Set(a, "s", "scrollRect", Rect(40, 0, 20, 30)); };
  return {
      {"unscrolled_the_clip_is_under_its_pixels", [](Actions&) {}, 45, 20, 0, true},
      {"unscrolled_nothing_above_the_clip", [](Actions&) {}, 5, 5, 0, false},
      {"the_root_window_shows_content_further_right", rootScroll(50), 5, 15, 50, true},
      {"the_root_window_moves_the_clip_away", rootScroll(50), 5, 5, 50, false},
      {"outside_the_root_window_nothing_is_hit", rootScroll(50), 45, 20, 50, false},
      {"the_clip_window_takes_the_pointer", clipScroll, 15, 20, 0, true},
      {"outside_the_clip_window_its_content_is_not_hit", clipScroll, 50, 20, 0, false},
  };
}

class ScrolledPointer : public ::testing::TestWithParam<PointerCase> {};

TEST_P(ScrolledPointer, FindsWhatTheWindowShowsUnderIt) {
  const PointerCase& c = GetParam();
  MoviePlayer player;
  std::vector<std::string> lines;
  player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, HalvesMovie(
                         [&](Actions& a) {
                           c.scroll(a);
                           Set(a, "s", "onRollOver", Num(1));
                         },
                         [](Actions& a) {
                           Trace(a, Path("_root._xmouse"));
                           Trace(a, Call("s", "hitTest", {Path("_root._xmouse"), Path("_root._ymouse"), Num(1)}));
                         }));
  player.PointerMove(c.x, c.y, 120, 120, ScaleMode::NoScale);
  EXPECT_EQ(player.PointerOnButton(), c.onButton);
  player.Advance();
  ASSERT_EQ(lines.size(), 2u);
  // The root's own space is its content's: the window's left edge lies at the scrolled x.
  EXPECT_DOUBLE_EQ(std::stod(lines[0]), c.x + c.scrolledX);
  // A script's hit test of the pointer's position in the root agrees with the
  // pointer, the windows aside (they cut only the pointer's reach).
  const bool contentHit = c.x + c.scrolledX >= 10 && c.x + c.scrolledX <= 110 && c.y >= 10;
  EXPECT_EQ(lines[1], contentHit ? "true" : "false");
}

INSTANTIATE_TEST_SUITE_P(MovieClip, ScrolledPointer, ::testing::ValuesIn(ScrolledPointerCases()), CaseName{});

// A mask clip with a scroll rectangle masks with what its window shows: a
// 100-pixel red square placed at (10, 10) masks a blue stage-wide square.
struct MaskWindowCase {
  std::string name;
  std::function<void(Actions&)> scroll;
  std::vector<Probe> probes;
};

std::vector<MaskWindowCase> MaskWindowCases() {
  const auto scroll = [](double x, double y) {
    return [=](Actions& a) { Set(a, "m", "scrollRect", Rect(x, y, 30, 30)); };
  };
  return {
      {"without_a_window_the_whole_square_masks", [](Actions&) {}, {{20, 20, kBlueInk}, {60, 60, kBlueInk}, {5, 5, kPaper}}},
      {"the_window_cuts_the_mask", scroll(0, 0), {{20, 20, kBlueInk}, {38, 38, kBlueInk}, {60, 60, kPaper}, {45, 20, kPaper}}},
      {"a_moved_window_masks_at_the_clip_origin", scroll(50, 50), {{20, 20, kBlueInk}, {60, 60, kPaper}}},
      // Content 80..110 across: the square ends at 100, stage x 30.
      {"the_window_past_the_square_lets_nothing_through", scroll(80, 0), {{20, 20, kBlueInk}, {35, 20, kPaper}}},
  };
}

class MaskWindows : public ::testing::TestWithParam<MaskWindowCase> {};

TEST_P(MaskWindows, MaskOnlyWithWhatTheWindowShows) {
  const MaskWindowCase& c = GetParam();
  MovieBuilder movie(120, 120, 24, 8);
  movie.SetBackground(kPaper);
  SpriteBuilder mask;
  mask.Place(movie.DefineShape(FilledRectangle(100, 100, kRedInk)), 1);
  mask.ShowFrame();
  movie.PlaceMask(movie.DefineSprite(mask), 1, 2, Transform::Translate(10, 10), "m");
  movie.Place(movie.DefineShape(FilledRectangle(120, 120, kBlueInk)), 2);
  Actions actions;
  c.scroll(actions);
  movie.DoAction(actions).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(120, 120);
  (void)player.RenderChanges(canvas.View(), ScaleMode::NoScale);
  ExpectProbes(canvas, c.probes);
}

INSTANTIATE_TEST_SUITE_P(MovieClip, MaskWindows, ::testing::ValuesIn(MaskWindowCases()), CaseName{});

// BitmapData.draw of a clip that shows a black and a white bitmap pixel, ten
// times as large: with smoothing the bitmaps inside it are sampled smoothed
// too (a grey between the two), else as they ask themselves.
struct ClipSmoothingCase {
  std::string name;
  std::function<void(Actions&)> show;  // puts the bitmap "o" into the clip "c"
  bool drawSmoothed;
  bool mixed;
};

std::vector<ClipSmoothingCase> ClipSmoothingCases() {
  const auto attach = [](bool own) {
    return [own](Actions& a) { Do(a, Call("c", "attachBitmap", {Path("o"), Num(1), Text("auto"), Num(own ? 1 : 0)})); };
  };
  const auto fill = [](Actions& a) {
    Do(a, Call("c", "beginBitmapFill", {Path("o"), Undef(), Num(0), Num(0)}));
    Do(a, Call("c", "moveTo", {Num(0), Num(0)}));
    for (const auto& [x, y] : {std::pair{2.0, 0.0}, {2.0, 1.0}, {0.0, 1.0}, {0.0, 0.0}}) {
      Do(a, Call("c", "lineTo", {Num(x), Num(y)}));
    }
    Do(a, Call("c", "endFill", {}));
  };
  return {
      {"an_attached_bitmap_stays_sharp_unasked", attach(false), false, false},
      {"an_attached_bitmap_is_smoothed_when_asked", attach(false), true, true},
      {"a_bitmap_asking_for_smoothing_keeps_it", attach(true), false, true},
      {"a_bitmap_fill_stays_sharp_unasked", fill, false, false},
      {"a_bitmap_fill_is_smoothed_when_asked", fill, true, true},
  };
}

class ClipDrawSmoothing : public ::testing::TestWithParam<ClipSmoothingCase> {};

TEST_P(ClipDrawSmoothing, SamplesTheClipsBitmapsAsAsked) {
  const ClipSmoothingCase& c = GetParam();
  const auto lines = Traces(HalvesMovie([&](Actions& a) {
    SetVar(a, "o", New("display", "BitmapData", {Num(2), Num(1), Num(0), Num(0)}));
    Do(a, Call("o", "setPixel", {Num(1), Num(0), Num(0xFFFFFF)}));
    Do(a, Call("_root", "createEmptyMovieClip", {Text("c"), Num(7)}));
    c.show(a);
    SetVar(a, "d", New("display", "BitmapData", {Num(20), Num(4), Num(0), Num(0xFF0000)}));
    Do(a, Call("d", "draw", {Path("c"), Scale(10), Undef(), Undef(), Undef(), Num(c.drawSmoothed ? 1 : 0)}));
    // Just right of the middle: the white pixel's when sharp.
    Trace(a, Call("d", "getPixel", {Num(11), Num(1)}));
  }));
  ASSERT_EQ(lines.size(), 1u);
  const int red = std::stoi(lines[0]) >> 16 & 0xFF;
  if (c.mixed) {
    EXPECT_GT(red, 40);
    EXPECT_LT(red, 220);
  } else {
    EXPECT_EQ(std::stoi(lines[0]), 0xFFFFFF);
  }
}

INSTANTIATE_TEST_SUITE_P(BitmapData, ClipDrawSmoothing, ::testing::ValuesIn(ClipSmoothingCases()), CaseName{});

// The caret of the focused input field "t" (at 10, 60 over the red half of
// "s", its text from x 12 on, 6.6 pixels a character without a font) and the yellow rectangle around
// what the Tab key focused ("s", from 10 to 110 both ways).
struct FocusDrawCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::function<void(MoviePlayer&)> input;  // after the first frame
  std::vector<Probe> probes;
};

std::vector<FocusDrawCase> FocusDrawCases() {
  constexpr Color kInk{0, 0, 0}, kYellow{255, 255, 0};
  const auto field = [](const std::string& type, int caret) {
    return [=](Actions& a) {
      Do(a, Call("_root", "createTextField", {Text("t"), Num(5), Num(10), Num(60), Num(100), Num(30)}));
      Set(a, "_root.t", "type", Text(type));
      Set(a, "_root.t", "text", Text("abcd"));
      Do(a, Call("Selection", "setFocus", {Path("_root.t")}));
      Do(a, Call("Selection", "setSelection", {Num(caret), Num(caret)}));
    };
  };
  const auto none = [](MoviePlayer&) {};
  const auto tab = [](MoviePlayer& p) {
    p.KeyChange(true, 9, 9);
    p.KeyChange(false, 9, 9);
  };
  const auto ticks = [](int n) {
    return [n](MoviePlayer& p) {
      for (int i = 0; i < n; ++i) p.Advance();
    };
  };
  const auto button = [](Actions& a) { Set(a, "s", "onRelease", Num(1)); };
  return {
      {"the_caret_stands_before_the_first_character", field("input", 0), none, {{12, 66, kInk}, {14, 66, kRedInk}}},
      // 530 ms on at 24 frames a second: the thirteenth frame falls in the hidden half.
      {"the_caret_blinks_off", field("input", 0), ticks(13), {{12, 66, kRedInk}}},
      {"the_caret_blinks_on_again", field("input", 0), ticks(26), {{12, 66, kInk}}},
      {"a_dynamic_field_has_no_caret", field("dynamic", 0), none, {{12, 66, kRedInk}}},
      {"a_tab_focused_clip_shows_the_yellow_rectangle", button, tab,
       {{10, 50, kYellow}, {60, 110, kYellow}, {13, 50, kRedInk}, {60, 60, kBlueInk}}},
      {"without_focusrect_no_rectangle",
       [=](Actions& a) {
         button(a);
         Set(a, "_root", "_focusrect", Num(0));
       },
       tab, {{10, 50, kRedInk}, {60, 109, kBlueInk}}},
      {"the_pointer_moving_takes_the_rectangle_away", button,
       [=](MoviePlayer& p) {
         tab(p);
         p.PointerMove(5, 5, 120, 120, ScaleMode::NoScale);
       },
       {{10, 50, kRedInk}}},
  };
}

class FocusDrawing : public ::testing::TestWithParam<FocusDrawCase> {};

TEST_P(FocusDrawing, ShowsTheFocusAsThePlatformDoes) {
  const FocusDrawCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, HalvesMovie(c.script));
  c.input(player);
  Canvas canvas(120, 120);
  (void)player.RenderChanges(canvas.View(), ScaleMode::NoScale);
  ExpectProbes(canvas, c.probes);
}

INSTANTIATE_TEST_SUITE_P(Stage, FocusDrawing, ::testing::ValuesIn(FocusDrawCases()), CaseName{});

}  // namespace
}  // namespace swf::testing
