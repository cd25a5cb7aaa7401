// Filters on display objects: a red square placed by PlaceObject3 with one
// filter, the pixels in and around it against what the filter does; filters
// set by MovieClip.filters; redrawing a moving filtered clip frame by frame;
// corrupt filter lists; BitmapData.applyFilter.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

constexpr Color kRed{255, 0, 0};
constexpr Color kWhite{255, 255, 255};

// What a pixel must be.
struct Probe {
  int x, y;
  const char* what;
  std::function<bool(int r, int g, int b)> holds;
};

bool Is(int r, int g, int b, Color c, int tolerance = 6) {
  return std::abs(r - c.r) <= tolerance && std::abs(g - c.g) <= tolerance && std::abs(b - c.b) <= tolerance;
}
const auto kIsRed = [](int r, int g, int b) { return Is(r, g, b, kRed); };
const auto kIsWhite = [](int r, int g, int b) { return Is(r, g, b, kWhite); };

std::string Describe(std::uint32_t pixel) {
  return std::to_string(RedOf(pixel)) + " " + std::to_string(GreenOf(pixel)) + " " + std::to_string(BlueOf(pixel));
}

void ExpectProbes(const Canvas& canvas, const std::vector<Probe>& probes) {
  for (const Probe& p : probes) {
    const std::uint32_t pixel = canvas.At(p.x, p.y);
    EXPECT_TRUE(p.holds(RedOf(pixel), GreenOf(pixel), BlueOf(pixel)))
        << p.what << " at " << p.x << "," << p.y << ": " << Describe(pixel);
  }
}

struct FilterCase {
  std::string name;
  std::vector<FilterSpec> filters;
  std::vector<Probe> probes;
};

FilterSpec FilterOf(std::uint8_t kind, std::function<void(FilterSpec&)> change = {}) {
  FilterSpec made;
  made.kind = kind;
  if (change) change(made);
  return made;
}

// The square covers 30..70 both ways of a 100 x 100 white stage.
std::vector<FilterCase> FilterCases() {
  return {
      {"blur",
       {FilterOf(1, [](FilterSpec& f) { f.blurX = f.blurY = 12; f.passes = 2; })},
       {{50, 50, "centre keeps its colour", kIsRed},
        {30, 50, "edge lies between", [](int r, int g, int) { return r > 240 && g > 60 && g < 200; }},
        {24, 50, "just outside is tinted", [](int r, int g, int) { return r > 240 && g < 250; }},
        {5, 50, "far outside is the stage", kIsWhite}}},
      {"drop_shadow",
       {FilterOf(0, [](FilterSpec& f) { f.distance = 10; f.blurX = f.blurY = 2; f.strength = 1; })},
       {{50, 50, "centre", kIsRed},
        {74, 74, "the shadow's offset pixel is dark", [](int r, int g, int b) { return r < 60 && g < 60 && b < 60; }},
        {26, 26, "nothing up and left", kIsWhite}}},
      {"drop_shadow_hides_object",
       {FilterOf(0, [](FilterSpec& f) { f.distance = 10; f.blurX = f.blurY = 0; f.hideObject = true; })},
       {{50, 50, "the object gives way to its shadow", [](int r, int g, int b) { return r < 30 && g < 30 && b < 30; }},
        {33, 33, "where only the object was", kIsWhite}}},
      {"glow_outer",
       {FilterOf(2, [](FilterSpec& f) { f.color = {0, 0, 255}; f.blurX = f.blurY = 10; f.strength = 2; })},
       {{50, 50, "centre", kIsRed},
        {27, 50, "a blue ring outside", [](int r, int g, int b) { return b > 240 && r < 200 && g < 200; }},
        {3, 50, "far outside", kIsWhite}}},
      {"glow_inner",
       {FilterOf(2, [](FilterSpec& f) { f.color = {0, 0, 255}; f.blurX = f.blurY = 10; f.strength = 2; f.inner = true; })},
       {{50, 50, "centre", kIsRed},
        {31, 50, "blue inside the edge", [](int r, int, int b) { return b > 100 && r < 200; }},
        {27, 50, "nothing outside", kIsWhite}}},
      {"glow_knockout",
       {FilterOf(2, [](FilterSpec& f) {
         f.color = {0, 0, 255};
         f.blurX = f.blurY = 10;
         f.strength = 2;
         f.knockout = true;
       })},
       {{50, 50, "the object is knocked out", kIsWhite}, {27, 50, "the ring stays", [](int r, int, int b) {
          return b > 240 && r < 200;
        }}}},
      {"bevel",
       {FilterOf(3, [](FilterSpec& f) {
         f.color = {0, 0, 0};
         f.highlight = {255, 255, 255};
         f.blurX = f.blurY = 4;
         f.distance = 6;
         f.strength = 2;
         f.inner = true;
       })},
       {{50, 50, "centre", kIsRed},
        {31, 31, "lit edge is lighter", [](int, int g, int b) { return g > 60 && b > 60; }},
        {68, 68, "turned edge is darker", [](int r, int g, int) { return r < 200 && g < 30; }},
        {25, 25, "inner bevel: nothing outside", kIsWhite}}},
      {"gradient_glow",
       {FilterOf(4, [](FilterSpec& f) {
         f.gradient = {{0, {0, 255, 0, 0}}, {255, {0, 255, 0, 255}}};
         f.blurX = f.blurY = 10;
         f.distance = 0;
         f.strength = 2;
       })},
       {{50, 50, "centre", kIsRed},
        {27, 50, "a green ring", [](int r, int g, int b) { return g > 200 && r < 200 && b < 200; }},
        {3, 50, "far outside", kIsWhite}}},
      {"colour_matrix_swaps_red_and_blue",
       {FilterOf(6, [](FilterSpec& f) { f.matrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0}; })},
       {{50, 50, "blue now", [](int r, int g, int b) { return Is(r, g, b, {0, 0, 255}); }},
        {20, 50, "outside stays", kIsWhite}}},
      {"convolution_halves",
       {FilterOf(5, [](FilterSpec& f) {
         f.matrixX = f.matrixY = 3;
         f.matrix = {0, 0, 0, 0, 1, 0, 0, 0, 0};
         f.divisor = 2;
         f.preserveAlpha = true;
       })},
       {{50, 50, "half the red", [](int r, int g, int b) { return Is(r, g, b, {128, 0, 0}, 3); }},
        {20, 50, "outside stays", kIsWhite}}},
  };
}

class PlacedFilters : public ::testing::TestWithParam<FilterCase> {};

TEST_P(PlacedFilters, DrawWhatTheFilterDoes) {
  const FilterCase& c = GetParam();
  MovieBuilder movie(100, 100, 24, 8);
  movie.SetBackground(kWhite);
  movie.PlaceFiltered(movie.DefineShape(FilledRectangle(40, 40, kRed)), 1, EncodeFilterList(c.filters),
                      Transform::Translate(30, 30));
  movie.ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::NoScale);
  ExpectProbes(canvas, c.probes);
}

INSTANTIATE_TEST_SUITE_P(PlaceObject3, PlacedFilters, ::testing::ValuesIn(FilterCases()), CaseName{});

// Filter sizes are stage pixels: a clip scaled up 3 times blurs as far as an
// unscaled one, and the stage shown twice as large blurs twice as far.
TEST(FilterSizes, FollowTheStageNotTheClip) {
  struct Case {
    const char* name;
    double clipScale;
    int surface;      // the canvas side (the stage is 100)
    int insideEdge;   // the first column where the blur must have faded to the stage
  };
  const FilterSpec blur = FilterOf(1, [](FilterSpec& f) { f.blurX = f.blurY = 8; f.passes = 1; });
  for (const Case& c : {Case{"unscaled", 1, 100, 26}, Case{"clip scaled", 3, 100, 26}, Case{"stage zoomed", 1, 200, 52}}) {
    SCOPED_TRACE(c.name);
    MovieBuilder movie(100, 100, 24, 8);
    movie.SetBackground(kWhite);
    const double side = 40 / c.clipScale;
    Transform place{c.clipScale, c.clipScale, 0, 0, 30, 30};
    movie.PlaceFiltered(movie.DefineShape(FilledRectangle(side, side, kRed)), 1, EncodeFilterList({blur}), place);
    movie.ShowFrame();
    MoviePlayer player;
    LoadOrFail(player, movie.Build());
    Canvas canvas(c.surface, c.surface);
    player.Render(canvas.View(), ScaleMode::ShowAll);
    const int scale = c.surface / 100;
    // Reached by the blur: 4 stage pixels outside the edge; past it: white.
    EXPECT_LT(GreenOf(canvas.At(28 * scale, 50 * scale)), 250) << Describe(canvas.At(28 * scale, 50 * scale));
    EXPECT_TRUE(kIsWhite(RedOf(canvas.At(c.insideEdge - 2 * scale, 50 * scale)),
                         GreenOf(canvas.At(c.insideEdge - 2 * scale, 50 * scale)),
                         BlueOf(canvas.At(c.insideEdge - 2 * scale, 50 * scale))))
        << Describe(canvas.At(c.insideEdge - 2 * scale, 50 * scale));
  }
}

// new flash.filters.<name>(args...) left on the stack.
void PushNewFilter(Actions& a, const char* name, const std::vector<double>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.PushDouble(*it);
  a.PushInt(static_cast<std::int32_t>(args.size()));
  a.PushString("flash").GetVariable().PushString("filters").Raw(0x4E).PushString(name).Raw(0x53);
}

// A clip whose script sets its filters, drawn the same as the placed ones;
// reading them back gives filter objects with the members set.
TEST(ScriptFilters, MovieClipFiltersDrawAndReadBack) {
  struct Case {
    const char* name;
    const char* className;
    std::vector<double> args;
    Probe probe;
    std::string traced;  // filters[0].<member> read back
    const char* member;
  };
  const std::vector<Case> cases{
      {"glow", "GlowFilter", {255, 1, 10, 10, 2, 1},
       {27, 50, "blue ring", [](int r, int, int b) { return b > 240 && r < 200; }}, "255", "color"},
      {"blur", "BlurFilter", {12, 12, 2},
       {30, 50, "edge between", [](int r, int g, int) { return r > 240 && g > 60 && g < 200; }}, "12", "blurX"},
      {"shadow", "DropShadowFilter", {10, 45, 0, 1, 2, 2},
       {74, 74, "dark offset", [](int r, int g, int b) { return r < 60 && g < 60 && b < 60; }}, "10", "distance"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MovieBuilder movie(100, 100, 24, 8);
    movie.SetBackground(kWhite);
    SpriteBuilder sprite;
    sprite.Place(movie.DefineShape(FilledRectangle(40, 40, kRed)), 1);
    sprite.ShowFrame();
    movie.Place(movie.DefineSprite(sprite), 1, Transform::Translate(30, 30), std::nullopt, "s");
    Actions a;
    a.PushString("s").GetVariable().PushString("filters");
    PushNewFilter(a, c.className, c.args);
    a.PushInt(1).Raw(0x42).Raw(0x4F);  // s.filters = [filter]
    a.PushString("s").GetVariable().PushString("filters").Raw(0x4E).PushString("0").Raw(0x4E);
    a.PushString(c.member).Raw(0x4E).Trace();
    movie.DoAction(a).ShowFrame();
    MoviePlayer player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    LoadOrFail(player, movie.Build());
    EXPECT_EQ(lines, std::vector<std::string>{c.traced});
    Canvas canvas(100, 100);
    player.Render(canvas.View(), ScaleMode::NoScale);
    ExpectProbes(canvas, {c.probe, {50, 50, "centre", kIsRed}});
  }
}

// A blurred square moving frame by frame, drawn as changes into one canvas,
// matches each frame drawn whole: the area a change redraws covers the blur.
TEST(FilterChanges, RedrawnFramesMatchWholeFrames) {
  MovieBuilder movie(120, 80, 24, 8);
  movie.SetBackground(kWhite);
  const std::uint16_t square = movie.DefineShape(FilledRectangle(30, 30, kRed));
  const FilterSpec glow = FilterOf(2, [](FilterSpec& f) { f.color = {0, 0, 255}; f.blurX = f.blurY = 16; f.strength = 2; });
  movie.PlaceFiltered(square, 1, EncodeFilterList({glow}), Transform::Translate(20, 25));
  movie.ShowFrame();
  for (int step = 1; step <= 3; ++step) movie.Move(1, Transform::Translate(20 + 15 * step, 25)).ShowFrame();
  MoviePlayer changes, whole;
  LoadOrFail(changes, movie.Build());
  LoadOrFail(whole, movie.Build());
  Canvas kept(120, 80);
  for (int frame = 0; frame < 4; ++frame) {
    SCOPED_TRACE(frame);
    (void)changes.RenderChanges(kept.View(), ScaleMode::NoScale);
    Canvas fresh(120, 80);
    whole.Render(fresh.View(), ScaleMode::NoScale);
    int differing = 0;
    for (int y = 0; y < 80; ++y) {
      for (int x = 0; x < 120; ++x) differing += kept.At(x, y) != fresh.At(x, y) ? 1 : 0;
    }
    EXPECT_EQ(differing, 0);
    changes.Advance();
    whole.Advance();
  }
}

// Corrupt filter lists: sizes past every range, unknown filters, lists cut
// short. The movie loads, the square draws in bounded time, and a list that
// cannot be read leaves the square unfiltered.
TEST(CorruptFilters, AreClampedOrLeftOut) {
  struct Case {
    const char* name;
    Bytes list;
    bool centreRed;
  };
  FilterSpec huge = FilterOf(1, [](FilterSpec& f) { f.blurX = f.blurY = 30000; f.passes = 31; });
  FilterSpec far = FilterOf(0, [](FilterSpec& f) { f.distance = 30000; f.strength = 127; f.passes = 31; });
  Bytes wideConvolution{1, 5, 255, 255};
  wideConvolution.resize(wideConvolution.size() + 8 + 255 * 255 * 4 + 5, 0);
  Bytes cut = EncodeFilterList({FilterOf(3)});
  cut.resize(cut.size() - 6);
  const std::vector<Case> cases{
      {"huge blur", EncodeFilterList({huge}), false},
      {"far shadow", EncodeFilterList({far}), true},
      {"unknown filter", Bytes{1, 9, 0, 0, 0}, true},
      {"convolution past the largest side", wideConvolution, true},
      {"cut short", cut, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MovieBuilder movie(100, 100, 24, 8);
    movie.SetBackground(kWhite);
    movie.PlaceFiltered(movie.DefineShape(FilledRectangle(40, 40, kRed)), 1, c.list, Transform::Translate(30, 30));
    movie.ShowFrame();
    MoviePlayer player;
    LoadOrFail(player, movie.Build());
    Canvas canvas(100, 100);
    player.Render(canvas.View(), ScaleMode::NoScale);
    const std::uint32_t centre = canvas.At(50, 50);
    if (c.centreRed) {
      EXPECT_TRUE(kIsRed(RedOf(centre), GreenOf(centre), BlueOf(centre))) << Describe(centre);
    } else {
      EXPECT_NE(centre & 0xFFFFFFu, 0xFF0000u);  // blurred far away
    }
  }
}

// BitmapData.applyFilter runs the same kernels: a blurred square's centre
// keeps its cover, its edge is partly covered and the blur reaches past it;
// what is no filter changes nothing.
TEST(BitmapFilters, ApplyFilterChangesThePixels) {
  struct Pixel {
    int x;  // on row 20
    int lowestAlpha, highestAlpha;
  };
  struct Case {
    const char* name;
    const char* className;  // empty: a plain object
    std::vector<double> args;
    const char* answer;
    std::vector<Pixel> pixels;
  };
  const std::vector<Case> cases{
      {"blur", "BlurFilter", {8, 8, 1}, "0", {{20, 255, 255}, {10, 100, 160}, {7, 1, 80}, {2, 0, 0}}},
      {"glow", "GlowFilter", {255, 1, 8, 8, 2, 1}, "0", {{20, 255, 255}, {8, 60, 254}, {1, 0, 0}}},
      {"not a filter", "", {}, "-4", {{20, 255, 255}, {10, 255, 255}, {9, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MovieBuilder movie(40, 40, 24, 8);
    Actions a;
    // b = new flash.display.BitmapData(40, 40, true, 0)
    a.PushString("b");
    a.PushDouble(0).PushBool(true).PushInt(40).PushInt(40).PushInt(4);
    a.PushString("flash").GetVariable().PushString("display").Raw(0x4E).PushString("BitmapData").Raw(0x53);
    a.SetVariable();
    // b.fillRect(new flash.geom.Rectangle(10, 10, 20, 20), 0xFFFF0000)
    a.PushDouble(4294901760.0);
    a.PushInt(20).PushInt(20).PushInt(10).PushInt(10).PushInt(4);
    a.PushString("flash").GetVariable().PushString("geom").Raw(0x4E).PushString("Rectangle").Raw(0x53);
    a.PushInt(2).PushString("b").GetVariable().PushString("fillRect").Raw(0x52).Pop();
    // trace(b.applyFilter(b, b.rectangle, new flash.geom.Point(0, 0), filter))
    if (c.className[0] != '\0') {
      PushNewFilter(a, c.className, c.args);
    } else {
      a.PushInt(0).PushString("Object").Raw(0x40);  // new Object()
    }
    a.PushInt(0).PushInt(0).PushInt(2);
    a.PushString("flash").GetVariable().PushString("geom").Raw(0x4E).PushString("Point").Raw(0x53);
    a.PushString("b").GetVariable().PushString("rectangle").Raw(0x4E);
    a.PushString("b").GetVariable();
    a.PushInt(4).PushString("b").GetVariable().PushString("applyFilter").Raw(0x52).Trace();
    // trace(b.getPixel32(x, 20) >>> 24)
    for (const Pixel& p : c.pixels) {
      a.PushInt(20).PushInt(p.x).PushInt(2).PushString("b").GetVariable().PushString("getPixel32").Raw(0x52);
      a.PushInt(24).Raw(0x65).Trace();
    }
    movie.DoAction(a).ShowFrame();
    MoviePlayer player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    LoadOrFail(player, movie.Build());
    ASSERT_EQ(lines.size(), c.pixels.size() + 1);
    EXPECT_EQ(lines[0], c.answer);
    for (std::size_t i = 0; i < c.pixels.size(); ++i) {
      const int alpha = std::stoi(lines[i + 1]);
      EXPECT_GE(alpha, c.pixels[i].lowestAlpha) << "x " << c.pixels[i].x;
      EXPECT_LE(alpha, c.pixels[i].highestAlpha) << "x " << c.pixels[i].x;
    }
  }
}

}  // namespace
}  // namespace swf::testing
