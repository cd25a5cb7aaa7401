// What DefineShape4 line styles draw: pixels just past a line's end for each
// cap, at a corner's outer point for each join and miter limit, along lines
// painted with a gradient, and lines that keep their width when scaled.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;
using Options = ShapeBuilder::LineOptions;

constexpr Color kInk{0, 0, 0};
constexpr Color kPaper{255, 255, 255};

struct LineProbe {
  int x, y;
  bool inked;  // black (the line), else white
};

struct LineCase {
  std::string name;
  std::function<Bytes()> movie;
  std::vector<LineProbe> probes;
};

// A 100 x 100 white stage with one shape built by `draw`, placed by `place`.
Bytes LineMovie(const std::function<void(ShapeBuilder&)>& draw, const Transform& place = {}) {
  MovieBuilder movie(100, 100);
  movie.SetBackground(kPaper);
  ShapeBuilder shape;
  draw(shape);
  movie.Place(movie.DefineShape(shape, 4), 1, place).ShowFrame();
  return movie.Build();
}

// A 10-pixel black line from (20, 50) to (80, 50) with these caps.
Bytes CapMovie(Options::Cap cap) {
  return LineMovie([cap](ShapeBuilder& s) {
    Options options;
    options.startCap = options.endCap = cap;
    s.SetStyles(0, 0, s.AddLineStyle(10, kInk, options)).MoveTo(20, 50).LineTo(80, 50);
  });
}

// A 10-pixel black line up from (20, 80) to (20, 20), then right to (80, 20):
// a right angle whose outer corner points up and left from (20, 20).
Bytes CornerMovie(Options::Join join, double miterLimit = 3) {
  return LineMovie([join, miterLimit](ShapeBuilder& s) {
    Options options;
    options.join = join;
    options.miterLimit = miterLimit;
    s.SetStyles(0, 0, s.AddLineStyle(10, kInk, options)).MoveTo(20, 80).LineTo(20, 20).LineTo(80, 20);
  });
}

std::vector<LineCase> LineCases() {
  return {
      // No cap ends the line at (80, 50); a square one 5 further; a round one
      // reaches 5 along the line but not to the square's corners.
      {"no_cap", [] { return CapMovie(Options::NoCap); }, {{78, 50, true}, {81, 50, false}, {18, 50, false}}},
      {"square_cap",
       [] { return CapMovie(Options::SquareCap); },
       {{83, 50, true}, {83, 46, true}, {16, 53, true}, {86, 50, false}}},
      {"round_cap",
       [] { return CapMovie(Options::RoundCap); },
       {{83, 50, true}, {16, 50, true}, {84, 46, false}, {15, 46, false}, {86, 50, false}}},
      // The miter's tip is at (15, 15), the bevel's edge runs from (15, 20) to
      // (20, 15); the round join's arc passes between them.
      {"miter_join",
       [] { return CornerMovie(Options::MiterJoin); },
       {{15, 15, true}, {16, 16, true}, {13, 13, false}}},
      {"bevel_join",
       [] { return CornerMovie(Options::BevelJoin); },
       {{17, 16, false}, {15, 15, false}, {18, 18, true}, {16, 22, true}}},
      {"round_join",
       [] { return CornerMovie(Options::RoundJoin); },
       {{17, 16, true}, {15, 15, false}, {18, 18, true}}},
      // A limit of 1.1 half widths cuts the 7.07 deep miter 5.5 from the
      // corner: what lies between the bevel's edge and the cut is drawn.
      {"miter_cut_at_its_limit",
       [] { return CornerMovie(Options::MiterJoin, 1.1); },
       {{16, 17, true}, {17, 16, true}, {15, 15, false}}},
      // A closed outline joins where it started: a mitred square's corner.
      {"closed_outline_joins_its_ends",
       [] {
         return LineMovie([](ShapeBuilder& s) {
           Options options;
           options.join = Options::MiterJoin;
           options.startCap = options.endCap = Options::NoCap;
           s.Rectangle(30, 30, 40, 40, 0, s.AddLineStyle(10, kInk, options));
         });
       },
       {{26, 26, true}, {73, 73, true}, {50, 50, false}}},
      // With no-close its start keeps its cap (none here): the corner there
      // stays open while the others are mitred.
      {"no_close_keeps_caps",
       [] {
         return LineMovie([](ShapeBuilder& s) {
           Options options;
           options.join = Options::MiterJoin;
           options.startCap = options.endCap = Options::NoCap;
           options.noClose = true;
           s.Rectangle(30, 30, 40, 40, 0, s.AddLineStyle(10, kInk, options));
         });
       },
       {{26, 26, false}, {73, 73, true}, {73, 26, true}}},
      // Scaled three times, a 4-pixel line is 12 wide; with both no-scale
      // flags it stays 4 wide; with only no-hscale it follows the vertical scale.
      {"scaled_line",
       [] {
         return LineMovie([](ShapeBuilder& s) { s.SetStyles(0, 0, s.AddLineStyle(4, kInk)).MoveTo(0, 10).LineTo(30, 10); },
                          Transform{3, 3, 0, 0, 0, 0});
       },
       {{50, 30, true}, {50, 35, true}, {50, 25, true}, {50, 37, false}}},
      {"no_scale_line",
       [] {
         return LineMovie(
             [](ShapeBuilder& s) {
               Options options;
               options.noHScale = options.noVScale = true;
               s.SetStyles(0, 0, s.AddLineStyle(4, kInk, options)).MoveTo(0, 10).LineTo(30, 10);
             },
             Transform{3, 3, 0, 0, 0, 0});
       },
       {{50, 30, true}, {50, 31, true}, {50, 33, false}, {50, 27, false}}},
      {"no_hscale_follows_the_vertical_scale",
       [] {
         return LineMovie(
             [](ShapeBuilder& s) {
               Options options;
               options.noHScale = true;
               s.SetStyles(0, 0, s.AddLineStyle(4, kInk, options)).MoveTo(0, 40).LineTo(30, 40);
             },
             Transform{3, 1, 0, 0, 0, 0});
       },
       {{50, 40, true}, {50, 41, true}, {50, 43, false}, {50, 37, false}}},
  };
}

class LineStyles : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineStyles, DrawWhereTheirStyleSays) {
  const LineCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, c.movie());
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::NoScale);
  for (const LineProbe& p : c.probes) {
    const std::uint32_t pixel = canvas.At(p.x, p.y);
    // Wholly inside or outside: well clear of the anti-aliased edge.
    if (p.inked) {
      EXPECT_LE(GreenOf(pixel), 8) << "at " << p.x << ", " << p.y;
    } else {
      EXPECT_GE(GreenOf(pixel), 247) << "at " << p.x << ", " << p.y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shape4, LineStyles, ::testing::ValuesIn(LineCases()), CaseName{});

TEST(LinesDrawn, LinePaintedWithAGradientShowsItAlongItsLength) {
  GradientSpec gradient;
  gradient.kind = GradientSpec::Linear;
  gradient.matrix = GradientSpec::Box(10, 0, 80, 100);
  gradient.stops = {{0, {255, 0, 0}}, {255, {0, 0, 255}}};
  MoviePlayer player;
  LoadOrFail(player, LineMovie([&](ShapeBuilder& s) {
               Options options;
               options.gradient = gradient;
               s.SetStyles(0, 0, s.AddLineStyle(10, kInk, options)).MoveTo(10, 50).LineTo(90, 50);
             }));
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::NoScale);
  const std::uint32_t left = canvas.At(12, 50), right = canvas.At(88, 50), middle = canvas.At(50, 52);
  EXPECT_GT(RedOf(left), 220);
  EXPECT_LT(BlueOf(left), 35);
  EXPECT_GT(BlueOf(right), 220);
  EXPECT_LT(RedOf(right), 35);
  EXPECT_NEAR(RedOf(middle), 128, 8);
  EXPECT_NEAR(BlueOf(middle), 128, 8);
  EXPECT_EQ(canvas.At(50, 57), kWhite);
}

TEST(LinesDrawn, MorphShapeLinesKeepTheirCaps) {
  // A 10-pixel line from (20, 50) to (80, 50) growing to 20 pixels, with
  // square caps: halfway, 15 wide, its cap reaches 7.5 past each end.
  MovieBuilder movie(100, 100);
  movie.SetBackground(kPaper);
  ShapeBuilder start, end;
  Options options;
  options.startCap = options.endCap = Options::SquareCap;
  start.SetStyles(0, 0, start.AddLineStyle(10, kInk, options)).MoveTo(20, 50).LineTo(80, 50);
  end.SetStyles(0, 0, end.AddLineStyle(20, kInk, options)).MoveTo(20, 50).LineTo(80, 50);
  movie.PlaceRatio(movie.DefineMorphShape(start, end, 2), 1, 32768).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::NoScale);
  EXPECT_LE(GreenOf(canvas.At(86, 56)), 8);
  EXPECT_LE(GreenOf(canvas.At(13, 44)), 8);
  EXPECT_GE(GreenOf(canvas.At(89, 50)), 247);
  EXPECT_GE(GreenOf(canvas.At(50, 59)), 247);
}

}  // namespace
}  // namespace swf::testing
