#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_movie.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

// A 100 x 50 stage on blue with a red 60 x 30 rectangle at (20, 10).
Bytes RectangleOnBlue() {
  MovieBuilder movie(100, 50);
  movie.SetBackground({0, 0, 255});
  ShapeBuilder shape;
  shape.Rectangle(20, 10, 60, 30, shape.AddSolidFill({255, 0, 0}));
  movie.Place(movie.DefineShape(shape), 1).ShowFrame();
  return movie.Build();
}

struct Probe {
  int x, y;
  std::uint32_t colour;
};

struct ScaleCase {
  std::string name;
  ScaleMode mode;
  int width, height;
  std::vector<Probe> probes;
};

std::vector<ScaleCase> ScaleCases() {
  return {
      // Scale 2, the stage 200 x 100 centred: the rectangle spans x 40..160, y 70..130.
      {"show_all",
       ScaleMode::ShowAll,
       200,
       200,
       {{100, 100, kRed},
        {42, 72, kRed},
        {158, 128, kRed},
        {37, 100, kBlue},
        {100, 67, kBlue},
        {100, 20, kBlue},
        {100, 185, kBlue}}},
      // 2 across, 4 down: x 40..160, y 40..160.
      {"exact_fit",
       ScaleMode::ExactFit,
       200,
       200,
       {{42, 42, kRed}, {158, 158, kRed}, {37, 100, kBlue}, {100, 37, kBlue}, {100, 163, kBlue}}},
      // 1:1 centred: offset (50, 75), x 70..130, y 85..115.
      {"no_scale",
       ScaleMode::NoScale,
       200,
       200,
       {{71, 86, kRed}, {128, 113, kRed}, {68, 100, kBlue}, {100, 83, kBlue}, {5, 5, kBlue}}},
      // Scale 4, cropped at the sides: x -20..220, y 40..160.
      {"no_border",
       ScaleMode::NoBorder,
       200,
       200,
       {{0, 100, kRed}, {199, 100, kRed}, {100, 42, kRed}, {100, 37, kBlue}, {100, 163, kBlue}}},
      // Scale 19.2, stage 1920 x 960 at y 60: x 384..1536, y 252..828.
      {"full_hd",
       ScaleMode::ShowAll,
       1920,
       1080,
       {{960, 540, kRed},
        {386, 254, kRed},
        {1534, 826, kRed},
        {381, 540, kBlue},
        {960, 30, kBlue},
        {960, 1070, kBlue}}},
  };
}

class RenderScaleModes : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(RenderScaleModes, PlacesTheRectangleAndFillsTheMarginsWithTheBackground) {
  const ScaleCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, RectangleOnBlue());
  Canvas canvas(c.width, c.height);
  player.Render(canvas.View(), c.mode);
  for (const Probe& probe : c.probes) {
    EXPECT_EQ(canvas.At(probe.x, probe.y), probe.colour) << "at " << probe.x << ", " << probe.y;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, RenderScaleModes, ::testing::ValuesIn(ScaleCases()), CaseName{});

TEST(Render, TinySurfaceGetsABlendOfTheRectangleAndTheBackground) {
  MoviePlayer player;
  LoadOrFail(player, RectangleOnBlue());
  Canvas canvas(1, 1);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  // The rectangle covers 0.6 x 0.3 of the one pixel (sampled on a few sub-scanlines).
  EXPECT_NEAR(RedOf(canvas.At(0, 0)), 46, 26);
  EXPECT_NEAR(RedOf(canvas.At(0, 0)) + BlueOf(canvas.At(0, 0)), 255, 2);
  EXPECT_EQ(canvas.At(0, 0) >> 24, 0xFFu);
}

TEST(Render, WithoutAMovieTheSurfaceIsWhite) {
  MoviePlayer player;
  Canvas canvas(3, 2);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(0, 0), kWhite);
  EXPECT_EQ(canvas.At(2, 1), kWhite);
}

Bytes OneShapeMovie(const ShapeBuilder& shape, double size = 10, int shapeVersion = 3,
                    const std::optional<ColorTransform>& colors = std::nullopt) {
  MovieBuilder movie(size, size);
  movie.Place(movie.DefineShape(shape, shapeVersion), 1, {}, colors).ShowFrame();
  return movie.Build();
}

TEST(Render, EdgesBetweenPixelsAreAntiAliased) {
  ShapeBuilder shape;
  shape.Rectangle(2.5, 2.5, 5, 7.5, shape.AddSolidFill({255, 0, 0}));
  MoviePlayer player;
  LoadOrFail(player, OneShapeMovie(shape));
  Canvas canvas(10, 10);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(5, 5), kRed);
  EXPECT_EQ(canvas.At(1, 5), kWhite);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{2, 5}, {7, 5}}) {
    EXPECT_EQ(RedOf(canvas.At(x, y)), 255);
    EXPECT_NEAR(GreenOf(canvas.At(x, y)), 128, 3) << x;
  }
  const int topGreen = GreenOf(canvas.At(5, 2));
  EXPECT_GT(topGreen, 60);
  EXPECT_LT(topGreen, 200);
}

TEST(Render, CurvedOutlinesFollowTheCircle) {
  ShapeBuilder shape;
  shape.Ellipse(50, 50, 40, 40, shape.AddSolidFill({255, 0, 0}));
  MoviePlayer player;
  LoadOrFail(player, OneShapeMovie(shape, 100, 1));
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(50, 50), kRed);
  EXPECT_EQ(canvas.At(50, 11), kRed);
  EXPECT_EQ(canvas.At(88, 50), kRed);
  EXPECT_EQ(canvas.At(91, 50), kWhite);
  EXPECT_EQ(canvas.At(15, 15), kWhite);  // inside the bounds, outside the circle
  EXPECT_EQ(canvas.At(77, 77), kRed);    // 38.2 from the centre
  EXPECT_EQ(canvas.At(80, 80), kWhite);  // 42.4 from the centre
}

TEST(Render, LinesAreStrokedAtTheirWidthAndHairlinesStillShow) {
  ShapeBuilder shape;
  const int thick = shape.AddLineStyle(4, {0, 255, 0});
  const int hair = shape.AddLineStyle(0, {0, 0, 255});
  shape.SetStyles(0, 0, thick).MoveTo(10, 50).LineTo(90, 50);
  shape.SetStyles(0, 0, hair).MoveTo(10, 80.5).LineTo(90, 80.5);
  MoviePlayer player;
  LoadOrFail(player, OneShapeMovie(shape, 100, 4));
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(50, 48), kGreen);
  EXPECT_EQ(canvas.At(50, 51), kGreen);
  EXPECT_EQ(canvas.At(50, 45), kWhite);
  EXPECT_EQ(canvas.At(50, 80), kBlue);
  EXPECT_EQ(canvas.At(50, 78), kWhite);
}

TEST(Render, ColourTransformsAndAlphaBlendOverWhatIsBelow) {
  struct Case {
    const char* name;
    Color fill;
    std::optional<ColorTransform> colors;
    int red, green, blue;
  };
  ColorTransform toBlue;
  toBlue.multiplyR = 0;
  toBlue.addB = 255;
  ColorTransform halfAlpha;
  halfAlpha.multiplyA = 0.5;
  const Case cases[] = {
      {"plain", {255, 0, 0}, std::nullopt, 255, 0, 0},
      {"multiply_and_add", {255, 0, 0}, toBlue, 0, 0, 255},
      {"half_alpha_transform", {255, 0, 0}, halfAlpha, 255, 128, 128},
      {"half_alpha_fill", {255, 0, 0, 128}, std::nullopt, 255, 127, 127},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MoviePlayer player;
    LoadOrFail(player, OneShapeMovie(FilledRectangle(10, 10, c.fill), 10, 3, c.colors));
    Canvas canvas(10, 10);
    player.Render(canvas.View(), ScaleMode::ShowAll);
    EXPECT_NEAR(RedOf(canvas.At(5, 5)), c.red, 2);
    EXPECT_NEAR(GreenOf(canvas.At(5, 5)), c.green, 2);
    EXPECT_NEAR(BlueOf(canvas.At(5, 5)), c.blue, 2);
  }
}

TEST(Render, OverlappingOutlinesOfOneFillLeaveAHole) {
  // Fill styles are filled with the even-odd rule: a square inside a square
  // of the same style is a hole.
  ShapeBuilder shape;
  const int fill = shape.AddSolidFill({255, 0, 0});
  shape.Rectangle(0, 0, 10, 10, fill).Rectangle(3, 3, 4, 4, fill);
  MoviePlayer player;
  LoadOrFail(player, OneShapeMovie(shape));
  Canvas canvas(10, 10);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(1, 1), kRed);
  EXPECT_EQ(canvas.At(5, 5), kWhite);
}

TEST(Render, AnOpenOutlineIsFilledAsIfClosed) {
  ShapeBuilder shape;
  shape.SetStyles(0, shape.AddSolidFill({255, 0, 0}), 0).MoveTo(2, 2).LineTo(8, 2).LineTo(8, 8).LineTo(2, 8);
  MoviePlayer player;
  LoadOrFail(player, OneShapeMovie(shape));
  Canvas canvas(10, 10);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(5, 5), kRed);
  EXPECT_EQ(canvas.At(9, 5), kWhite);  // no streak to the right
  EXPECT_EQ(canvas.At(0, 5), kWhite);
}

struct EdgeBudgetCase {
  std::string name;
  std::size_t records;  // of the large shape defined first
  std::uint32_t centre;
};

// A large shape whose edge records each add three edges (the fill on both
// sides and a line), left unplaced, then a red square of four edges shown on
// blue: within the movie's edge budget the square is drawn, past it the
// square has no edges left.
std::vector<EdgeBudgetCase> EdgeBudgetCases() {
  return {
      {"square_fits_after_the_large_shape", (kMaxSegments - 4) / 3, kRed},
      {"large_shape_spends_the_budget", kMaxSegments / 3 + 1, kBlue},
  };
}

class RenderEdgeBudget : public ::testing::TestWithParam<EdgeBudgetCase> {};

TEST_P(RenderEdgeBudget, ShapesPastTheMoviesEdgeBudgetDrawNothing) {
  const EdgeBudgetCase& c = GetParam();
  ShapeBuilder large;
  const int fill = large.AddSolidFill({0, 255, 0});
  large.SetStyles(fill, fill, large.AddLineStyle(1, {0, 0, 0}));
  large.MoveTo(0, 0);
  for (std::size_t i = 1; i <= c.records; ++i) large.LineTo(static_cast<double>(i % 2), static_cast<double>(i));
  MovieBuilder movie(10, 10);
  movie.SetBackground({0, 0, 255});
  (void)movie.DefineShape(large);
  movie.Place(movie.DefineShape(FilledRectangle(10, 10, {255, 0, 0})), 1).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(10, 10);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(5, 5), c.centre);
}

INSTANTIATE_TEST_SUITE_P(Cases, RenderEdgeBudget, ::testing::ValuesIn(EdgeBudgetCases()), CaseName{});

}  // namespace
}  // namespace swf::testing
