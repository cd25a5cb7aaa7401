// What gradients, bitmaps, morph shapes and masks draw: pixels at the places
// that tell whether each feature works (a gradient's ends and middle, a
// bitmap's corners, a masked-out area).

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

struct ColorProbe {
  int x, y;
  Color expected;
  int tolerance = 3;
};

struct PictureCase {
  std::string name;
  std::function<Bytes()> movie;
  std::vector<ColorProbe> probes;
  int frame = 0;  // frames advanced before drawing
};

// Draws the movie's frame at 1:1 and checks each probe's colour.
void CheckProbes(const PictureCase& c, int width, int height) {
  MoviePlayer player;
  LoadOrFail(player, c.movie());
  for (int f = 0; f < c.frame; ++f) player.Advance();
  Canvas canvas(width, height);
  player.Render(canvas.View(), ScaleMode::NoScale);
  for (const ColorProbe& p : c.probes) {
    const std::uint32_t pixel = canvas.At(p.x, p.y);
    const bool near = std::abs(RedOf(pixel) - p.expected.r) <= p.tolerance &&
                      std::abs(GreenOf(pixel) - p.expected.g) <= p.tolerance &&
                      std::abs(BlueOf(pixel) - p.expected.b) <= p.tolerance;
    EXPECT_TRUE(near) << "at " << p.x << ", " << p.y << ": " << RedOf(pixel) << " " << GreenOf(pixel) << " "
                      << BlueOf(pixel) << ", expected " << int{p.expected.r} << " " << int{p.expected.g} << " "
                      << int{p.expected.b};
  }
}

constexpr Color kRedColor{255, 0, 0}, kBlueColor{0, 0, 255}, kWhiteColor{255, 255, 255};

// A 200 x 100 stage on white with one 200 x 100 rectangle filled with `gradient`.
Bytes GradientMovie(const GradientSpec& gradient, int shapeVersion = 4) {
  MovieBuilder movie(200, 100);
  movie.SetBackground(kWhiteColor);
  ShapeBuilder shape;
  shape.Rectangle(0, 0, 200, 100, shape.AddGradientFill(gradient));
  movie.Place(movie.DefineShape(shape, shapeVersion), 1).ShowFrame();
  return movie.Build();
}

GradientSpec RedToBlue(GradientSpec::Kind kind, Transform matrix) {
  GradientSpec g;
  g.kind = kind;
  g.matrix = matrix;
  g.stops = {{0, kRedColor}, {255, kBlueColor}};
  return g;
}

GradientSpec WithSpread(GradientSpec g, std::uint8_t spread) {
  g.spread = spread;
  return g;
}

// Red to blue over the left half of the stage, the right half past its end.
GradientSpec HalfWidth() { return RedToBlue(GradientSpec::Linear, GradientSpec::Box(0, 0, 100, 100)); }

std::vector<PictureCase> GradientCases() {
  GradientSpec linearLight = RedToBlue(GradientSpec::Linear, GradientSpec::Box(0, 0, 200, 100));
  linearLight.linearRgb = true;
  GradientSpec focal = RedToBlue(GradientSpec::FocalRadial, GradientSpec::Box(50, 0, 100, 100));
  focal.focal = 0.8;
  GradientSpec transparent;
  transparent.matrix = GradientSpec::Box(0, 0, 200, 100);
  transparent.stops = {{0, {0, 0, 0, 0}}, {255, {0, 0, 0, 255}}};
  GradientSpec threeStops = RedToBlue(GradientSpec::Linear, GradientSpec::Box(0, 0, 200, 100));
  threeStops.stops = {{0, kRedColor}, {128, {0, 255, 0}}, {255, kBlueColor}};
  return {
      {"linear_ends_and_middle",
       [] { return GradientMovie(RedToBlue(GradientSpec::Linear, GradientSpec::Box(0, 0, 200, 100))); },
       {{0, 50, kRedColor, 4}, {199, 50, kBlueColor, 4}, {100, 50, {128, 0, 127}, 4}, {100, 2, {128, 0, 127}, 4}}},
      {"linear_turned_runs_downwards",
       [] { return GradientMovie(RedToBlue(GradientSpec::Linear, GradientSpec::Box(50, 0, 100, 100, 90))); },
       {{100, 0, kRedColor, 4}, {100, 99, kBlueColor, 4}, {10, 50, {128, 0, 127}, 4}}},
      {"linear_light_mixes_brighter", [=] { return GradientMovie(linearLight); }, {{100, 50, {188, 0, 188}, 4}}},
      {"three_stops",
       [=] { return GradientMovie(threeStops); },
       {{100, 50, {0, 255, 0}, 6}, {50, 50, {128, 127, 0}, 6}}},
      {"radial_centre_and_rim",
       [] { return GradientMovie(RedToBlue(GradientSpec::Radial, GradientSpec::Box(50, 0, 100, 100))); },
       {{100, 50, kRedColor, 6}, {100, 25, {128, 0, 127}, 6}, {100, 0, kBlueColor, 8}, {5, 5, kBlueColor}}},
      {"focal_point_has_the_first_colour",
       [=] { return GradientMovie(focal); },
       {{140, 50, kRedColor, 16}, {60, 50, {30, 0, 225}, 6}, {145, 95, kBlueColor}}},
      {"pad_keeps_the_end_colour",
       [] { return GradientMovie(WithSpread(HalfWidth(), 0)); },
       {{150, 50, kBlueColor}, {199, 50, kBlueColor}}},
      {"reflect_comes_back",
       [] { return GradientMovie(WithSpread(HalfWidth(), 1)); },
       {{150, 50, {128, 0, 127}, 4}, {198, 50, kRedColor, 6}, {102, 50, kBlueColor, 6}}},
      {"repeat_starts_again",
       [] { return GradientMovie(WithSpread(HalfWidth(), 2)); },
       {{150, 50, {128, 0, 127}, 4}, {102, 50, kRedColor, 6}, {198, 50, kBlueColor, 6}}},
      {"alpha_stops_blend_over_the_background",
       [=] { return GradientMovie(transparent); },
       {{0, 50, kWhiteColor, 3}, {100, 50, {127, 127, 127}, 4}, {199, 50, {0, 0, 0}, 4}}},
  };
}

class GradientFills : public ::testing::TestWithParam<PictureCase> {};
TEST_P(GradientFills, ColourTheShapeAlongTheGradient) { CheckProbes(GetParam(), 200, 100); }
INSTANTIATE_TEST_SUITE_P(Kinds, GradientFills, ::testing::ValuesIn(GradientCases()), CaseName{});

// A 2 x 2 bitmap: red, green / blue, white.
std::vector<Color> FourColours() { return {kRedColor, {0, 255, 0}, kBlueColor, kWhiteColor}; }

// A 200 x 100 stage on black with a rectangle filled with bitmap `define`
// makes; the bitmap's pixels become 20 x 20 squares at (40, 20).
Bytes BitmapMovie(const std::function<std::uint16_t(MovieBuilder&)>& define, Transform matrix = {}, bool repeat = false,
                  bool smooth = false, double rectangleX = 40, double rectangleWidth = 40) {
  MovieBuilder movie(200, 100);
  movie.SetBackground({0, 0, 0});
  const std::uint16_t bitmap = define(movie);
  ShapeBuilder shape;
  shape.Rectangle(rectangleX, 20, rectangleWidth, 40, shape.AddBitmapFill(bitmap, matrix, repeat, smooth));
  movie.Place(movie.DefineShape(shape), 1).ShowFrame();
  return movie.Build();
}

Transform TwentyTimes(double degrees = 0, double x = 40, double y = 20) {
  Transform t = Transform::ScaleRotateTranslate(20 * 20, degrees, x, y);
  return t;
}

std::uint16_t Lossless32(MovieBuilder& movie) { return movie.DefineBitsLossless(2, 2, FourColours(), false); }

std::uint16_t ColourMapped(MovieBuilder& movie) {
  // Table: red, green, blue, white; rows of two indices padded to four bytes.
  const Bytes data = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 1, 0, 0, 2, 3, 0, 0};
  return movie.DefineBitsLossless(3, 2, 2, data, false, 4);
}

std::uint16_t FifteenBit(MovieBuilder& movie) {
  // 0RRRRRGG GGGBBBBB big-endian, rows of four bytes.
  const Bytes data = {0x7C, 0x00, 0x03, 0xE0, 0x00, 0x1F, 0x7F, 0xFF};
  return movie.DefineBitsLossless(4, 2, 2, data, false);
}

std::uint16_t HalfTransparent(MovieBuilder& movie) {
  return movie.DefineBitsLossless(2, 2, {{255, 0, 0, 128}, {0, 255, 0, 0}, {0, 0, 255, 255}, {255, 255, 255, 255}},
                                  true);
}

// 16 x 16 colour blocks of 8 x 8 pixels, so JPEG keeps their colours.
std::vector<Color> JpegBlocks() {
  std::vector<Color> pixels;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) pixels.push_back(FourColours()[static_cast<std::size_t>((y / 8) * 2 + x / 8)]);
  }
  return pixels;
}

// JPEG bitmaps are 16 x 16: 2.5 times scales their blocks to 20 x 20 pixels.
Transform JpegScale() { return Transform::ScaleRotateTranslate(20 * 2.5, 0, 40, 20); }

std::vector<PictureCase> BitmapCases() {
  const Color red = kRedColor, green{0, 255, 0}, blue = kBlueColor, white = kWhiteColor;
  return {
      {"lossless_32_bit_corners",
       [] { return BitmapMovie(Lossless32, TwentyTimes()); },
       {{41, 21, red}, {78, 21, green}, {41, 58, blue}, {78, 58, white}}},
      {"colour_mapped",
       [] { return BitmapMovie(ColourMapped, TwentyTimes()); },
       {{41, 21, red}, {78, 21, green}, {41, 58, blue}, {78, 58, white}}},
      {"fifteen_bit",
       [] { return BitmapMovie(FifteenBit, TwentyTimes()); },
       {{41, 21, red}, {78, 21, green}, {41, 58, blue}, {78, 58, white}}},
      // Turned a quarter clockwise about (80, 20): the left column lands on top.
      {"turned_a_quarter",
       [] { return BitmapMovie(Lossless32, TwentyTimes(90, 80, 20)); },
       {{78, 21, red}, {78, 58, green}, {41, 21, blue}, {41, 58, white}}},
      {"premultiplied_alpha",
       [] { return BitmapMovie(HalfTransparent, TwentyTimes()); },
       {{50, 30, {128, 0, 0}, 2}, {70, 30, {0, 0, 0}, 0}, {50, 50, blue, 0}}},
      {"clipped_stretches_its_edges",
       [] { return BitmapMovie(Lossless32, TwentyTimes(), false, false, 40, 120); },
       {{120, 30, green}, {158, 50, white}}},
      {"repeating_starts_again",
       [] { return BitmapMovie(Lossless32, TwentyTimes(), true, false, 40, 120); },
       {{90, 30, red}, {110, 50, white}, {130, 50, blue}}},
      // Smoothed, the middle of the top row mixes red and green.
      {"smoothed_mixes_neighbours",
       [] { return BitmapMovie(Lossless32, TwentyTimes(), false, true); },
       {{60, 21, {128, 127, 0}, 8}, {41, 21, red, 3}}},
      {"unsmoothed_keeps_squares",
       [] { return BitmapMovie(Lossless32, TwentyTimes(), false, false); },
       {{59, 21, red, 0}, {60, 21, green, 0}}},
      {"jpeg2",
       [] {
         return BitmapMovie([](MovieBuilder& m) { return m.DefineBitsJpeg(EncodeJpeg(16, 16, JpegBlocks())); },
                            JpegScale());
       },
       {{42, 22, red, 12}, {77, 22, green, 12}, {42, 57, blue, 12}, {77, 57, white, 12}}},
      {"jpeg_with_tables",
       [] {
         return BitmapMovie(
             [](MovieBuilder& m) {
               const auto [tables, image] = SplitJpegTables(EncodeJpeg(16, 16, JpegBlocks()));
               return m.DefineBitsWithTables(tables, image);
             },
             JpegScale());
       },
       {{42, 22, red, 12}, {77, 57, white, 12}}},
      {"jpeg3_alpha_plane",
       [] {
         return BitmapMovie(
             [](MovieBuilder& m) {
               Bytes alpha(256, 255);
               for (std::size_t i = 0; i < 256; ++i) alpha[i] = (i % 16) < 8 ? 255 : 0;
               return m.DefineBitsJpeg(EncodeJpeg(16, 16, JpegBlocks()), alpha);
             },
             JpegScale());
       },
       {{42, 22, red, 12}, {77, 22, {0, 0, 0}, 0}, {77, 57, {0, 0, 0}, 0}}},
  };
}

class BitmapFills : public ::testing::TestWithParam<PictureCase> {};
TEST_P(BitmapFills, ShowTheBitmapThroughItsMatrix) { CheckProbes(GetParam(), 200, 100); }
INSTANTIATE_TEST_SUITE_P(Formats, BitmapFills, ::testing::ValuesIn(BitmapCases()), CaseName{});

struct BrokenBitmapCase {
  std::string name;
  std::uint16_t code;
  Bytes body;  // after the id
};

std::vector<BrokenBitmapCase> BrokenBitmapCases() {
  const Bytes jpeg = EncodeJpeg(16, 16, JpegBlocks());
  const Bytes packed = Deflate(Bytes(16, 0xFF));
  const auto prefixed = [](Bytes head, const Bytes& tail, std::size_t keep) {
    head.insert(head.end(), tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(std::min(keep, tail.size())));
    return head;
  };
  return {
      {"lossless_cut_short", 20, prefixed({5, 2, 0, 2, 0}, packed, packed.size() / 2)},
      {"lossless_too_little_data", 36, prefixed({5, 200, 0, 200, 0}, packed, packed.size())},
      {"lossless_not_zlib", 20, {5, 2, 0, 2, 0, 1, 2, 3, 4, 5, 6}},
      {"lossless_unknown_format", 20, prefixed({7, 2, 0, 2, 0}, packed, packed.size())},
      {"lossless_no_header", 36, {3, 2}},
      {"jpeg_cut_short", 21, Bytes(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 3))},
      {"jpeg_garbage", 21, {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x03, 0x12, 0x34, 0x56}},
      {"png_data", 21, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0}},
      {"jpeg3_alpha_cut_short", 35,
       prefixed(prefixed({static_cast<std::uint8_t>(jpeg.size()), static_cast<std::uint8_t>(jpeg.size() >> 8), 0, 0},
                         jpeg, jpeg.size()),
                packed, 6)},
      {"jpeg3_size_past_the_end", 35, prefixed({0xFF, 0xFF, 0, 0}, jpeg, jpeg.size())},
  };
}

class BrokenBitmaps : public ::testing::TestWithParam<BrokenBitmapCase> {};

TEST_P(BrokenBitmaps, DrawNothingAndTheRestPlaysOn) {
  const BrokenBitmapCase& c = GetParam();
  const Bytes file = BitmapMovie([&](MovieBuilder& m) { return m.DefineRaw(c.code, c.body); }, TwentyTimes());
  MoviePlayer player;
  LoadOrFail(player, file);
  Canvas canvas(200, 100);
  player.Render(canvas.View(), ScaleMode::NoScale);
  EXPECT_EQ(canvas.At(50, 30), 0xFF000000u) << "the fill of a broken bitmap shows the background";
  // Every cut of the file loads and draws without harm.
  for (std::size_t cut = 0; cut < file.size(); cut += 7) {
    MoviePlayer partial;
    if (partial.Load(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)))) {
      partial.Render(canvas.View(), ScaleMode::NoScale);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, BrokenBitmaps, ::testing::ValuesIn(BrokenBitmapCases()), CaseName{});

// A morph from a red square at (0, 0) to a blue one at (100, 0), both 50 wide,
// placed at `ratio`; a second frame moves it to `nextRatio`.
Bytes MorphMovie(std::uint16_t ratio, std::uint16_t nextRatio, int version) {
  MovieBuilder movie(200, 100);
  movie.SetBackground(kWhiteColor);
  ShapeBuilder start, end;
  start.Rectangle(0, 0, 50, 50, start.AddSolidFill(kRedColor), start.AddLineStyle(2, {0, 0, 0}));
  end.Rectangle(100, 40, 50, 50, end.AddSolidFill(kBlueColor), end.AddLineStyle(10, {0, 255, 0}));
  const std::uint16_t morph = movie.DefineMorphShape(start, end, version);
  movie.PlaceRatio(morph, 1, ratio).ShowFrame();
  movie.PlaceRatio(morph, 1, nextRatio, true).ShowFrame();
  return movie.Build();
}

Bytes GradientMorphMovie() {
  MovieBuilder movie(200, 100);
  ShapeBuilder start, end;
  GradientSpec from = RedToBlue(GradientSpec::Linear, GradientSpec::Box(0, 0, 200, 100));
  GradientSpec to = from;
  to.stops = {{0, kBlueColor}, {255, kRedColor}};
  start.Rectangle(0, 0, 200, 100, start.AddGradientFill(from));
  end.Rectangle(0, 0, 200, 100, end.AddGradientFill(to));
  movie.PlaceRatio(movie.DefineMorphShape(start, end), 1, 65535).ShowFrame();
  return movie.Build();
}

std::vector<PictureCase> MorphCases() {
  const Color red = kRedColor, blue = kBlueColor, white = kWhiteColor;
  return {
      {"start", [] { return MorphMovie(0, 0, 1); }, {{25, 25, red}, {125, 65, white}}},
      {"end", [] { return MorphMovie(65535, 65535, 2); }, {{125, 65, blue}, {25, 25, white}, {100, 65, {0, 255, 0}}}},
      {"halfway_mixes_place_and_colour",
       [] { return MorphMovie(32768, 32768, 1); },
       {{75, 45, {127, 0, 128}, 3}, {20, 10, white}, {130, 80, white}}},
      {"moved_to_a_new_ratio", [] { return MorphMovie(0, 65535, 2); }, {{125, 65, blue}, {25, 25, white}}, 1},
      {"gradient_stops_mix", GradientMorphMovie, {{1, 50, blue, 6}, {198, 50, red, 6}}},
  };
}

class MorphShapes : public ::testing::TestWithParam<PictureCase> {};
TEST_P(MorphShapes, DrawTheMixOfTheirRatio) { CheckProbes(GetParam(), 200, 100); }
INSTANTIATE_TEST_SUITE_P(Ratios, MorphShapes, ::testing::ValuesIn(MorphCases()), CaseName{});

// On white: a mask square (20..120, 20..80) at depth 1 clipping to depth 3,
// red rectangles over the top half of the stage at depths 2 and 3, a blue
// strip at depth 4 above the masked depths.
Bytes MaskedMovie() {
  MovieBuilder movie(200, 200);
  movie.SetBackground(kWhiteColor);
  const auto mask = movie.DefineShape(FilledRectangle(100, 60, {0, 255, 0}));
  const auto red = movie.DefineShape(FilledRectangle(200, 50, kRedColor));
  const auto strip = movie.DefineShape(FilledRectangle(200, 10, kBlueColor));
  movie.PlaceMask(mask, 1, 3, Transform::Translate(20, 20))
      .Place(red, 2)
      .Place(red, 3, Transform::Translate(0, 50))
      .Place(strip, 4, Transform::Translate(0, 90))
      .ShowFrame();
  return movie.Build();
}

// A sprite masked by a square at (0..100, 0..100) holds its own mask, a square
// at (50..150, 50..150) over a full-stage red rectangle: only their overlap shows.
Bytes NestedMasksMovie() {
  MovieBuilder movie(200, 200);
  movie.SetBackground(kWhiteColor);
  const auto square = movie.DefineShape(FilledRectangle(100, 100, {0, 255, 0}));
  const auto red = movie.DefineShape(FilledRectangle(200, 200, kRedColor));
  SpriteBuilder inner;
  inner.PlaceMask(square, 1, 2, Transform::Translate(50, 50)).Place(red, 2).ShowFrame();
  const auto sprite = movie.DefineSprite(inner);
  movie.PlaceMask(square, 1, 2).Place(sprite, 2).ShowFrame();
  return movie.Build();
}

// Red at half alpha inside a sprite at half alpha: a quarter of red on white.
Bytes NestedAlphaMovie() {
  MovieBuilder movie(200, 200);
  movie.SetBackground(kWhiteColor);
  ColorTransform half;
  half.multiplyA = 0.5;
  SpriteBuilder inner;
  inner.Place(movie.DefineShape(FilledRectangle(100, 100, kRedColor)), 1, {}, half).ShowFrame();
  movie.Place(movie.DefineSprite(inner), 1, {}, half).ShowFrame();
  return movie.Build();
}

std::vector<PictureCase> MaskCases() {
  const Color red = kRedColor, white = kWhiteColor, blue = kBlueColor;
  return {
      {"clip_depth_masks_the_depths_above",
       MaskedMovie,
       {{60, 40, red}, {60, 70, red}, {10, 40, white}, {150, 70, white}, {60, 85, white}, {150, 95, blue}}},
      {"nested_masks_intersect",
       NestedMasksMovie,
       {{75, 75, red}, {25, 25, white}, {125, 125, white}, {75, 25, white}}},
      {"alpha_multiplies_through_nested_clips", NestedAlphaMovie, {{50, 50, {255, 191, 191}, 2}}},
  };
}

class Masks : public ::testing::TestWithParam<PictureCase> {};
TEST_P(Masks, ShowOnlyWhatTheyLetThrough) { CheckProbes(GetParam(), 200, 200); }
INSTANTIATE_TEST_SUITE_P(Clips, Masks, ::testing::ValuesIn(MaskCases()), CaseName{});

}  // namespace
}  // namespace swf::testing
