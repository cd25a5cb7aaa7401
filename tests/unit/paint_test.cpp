// The paints the rasterizer fills with, pixel by pixel: a gradient's colour
// index against the gradient's own geometry at each pixel centre, and a
// repeating bitmap whose sides are powers of two against the same picture
// tiled into a bitmap whose sides are not.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "case_name.h"
#include "paint.h"
#include "swf_movie.h"

namespace swf {
namespace {

using tpl::testing::CaseName;

struct GradientCase {
  std::string name;
  GradientKind kind;
  GradientSpread spread;
  Matrix matrix;  // the gradient square onto the shape's twips
};

// Where a pixel centre lies along the gradient (0 to 1 inside it), spread.
double Expected(const GradientCase& c, double x, double y) {
  const Matrix inverse = Inverse(Matrix{0.05, 0, 0, 0.05, 0, 0}.Then(c.matrix));
  const Point g = Apply(inverse, x, y);
  double t = c.kind == GradientKind::Linear ? (g.x / 16384 + 1) / 2 : std::hypot(g.x, g.y) / 16384;
  switch (c.spread) {
    case GradientSpread::Pad: t = std::clamp(t, 0.0, 1.0); break;
    case GradientSpread::Repeat: t -= std::floor(t); break;
    case GradientSpread::Reflect:
      t = std::fabs(t);
      t -= 2 * std::floor(t / 2);
      if (t > 1) t = 2 - t;
      break;
  }
  return t * 255;
}

std::vector<GradientCase> GradientCases() {
  // 100 pixels across, turned by 30 degrees, centred at (60, 40).
  const double s = 100.0 / 1638.4, cs = std::cos(0.5236) * s, sn = std::sin(0.5236) * s;
  const Matrix turned{cs, sn, -sn, cs, 1200, 800};
  const Matrix small{s / 4, 0, 0, s / 4, 600, 400};  // 25 pixels: the spread repeats often
  return {
      {"linear_pad", GradientKind::Linear, GradientSpread::Pad, turned},
      {"linear_repeat", GradientKind::Linear, GradientSpread::Repeat, small},
      {"linear_reflect", GradientKind::Linear, GradientSpread::Reflect, small},
      {"radial_pad", GradientKind::Radial, GradientSpread::Pad, turned},
      {"radial_repeat", GradientKind::Radial, GradientSpread::Repeat, small},
      {"radial_reflect", GradientKind::Radial, GradientSpread::Reflect, small},
  };
}

class GradientIndex : public ::testing::TestWithParam<GradientCase> {};

TEST_P(GradientIndex, FollowsTheGradientAtEveryPixelWhereverTheStretchStarts) {
  const GradientCase& c = GetParam();
  // Black to white: a pixel's blue channel is its colour index.
  Gradient gradient;
  gradient.kind = c.kind;
  gradient.spread = c.spread;
  gradient.matrix = c.matrix;
  gradient.stops = {{0, Rgba{0, 0, 0, 255}}, {255, Rgba{255, 255, 255, 255}}};
  const GradientPaint paint(gradient, Matrix{0.05, 0, 0, 0.05, 0, 0}, ColorTransform{});
  constexpr int kWidth = 120;
  std::vector<std::uint32_t> row(kWidth), piece(kWidth);
  for (int y = 0; y < 80; y += 7) {
    paint.Shade(0, y, kWidth, row.data());
    for (int x = 0; x < kWidth; ++x) {
      const double expected = Expected(c, x + 0.5, y + 0.5);
      // At a jump of the spread the rounding may fall either side.
      const int got = static_cast<int>(row[static_cast<std::size_t>(x)] & 0xFFu);
      const bool atJump = c.spread != GradientSpread::Pad && (expected < 1.5 || expected > 253.5);
      if (!atJump) {
        EXPECT_NEAR(got, expected, 1.0) << "at " << x << ", " << y;
      }
    }
    // A stretch that starts further on gives its pixels the same colours.
    paint.Shade(37, y, kWidth - 37, piece.data());
    for (int x = 37; x < kWidth; ++x) {
      ASSERT_EQ(piece[static_cast<std::size_t>(x - 37)], row[static_cast<std::size_t>(x)]) << x << ", " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, GradientIndex, ::testing::ValuesIn(GradientCases()), CaseName{});

// A 4 x 4 bitmap of distinct colours, and the same tiled 3 x 3 times.
std::shared_ptr<const Bitmap> Tiles(int repeat) {
  auto bitmap = std::make_shared<Bitmap>();
  bitmap->width = bitmap->height = 4 * repeat;
  for (int y = 0; y < bitmap->height; ++y) {
    for (int x = 0; x < bitmap->width; ++x) {
      const auto u = static_cast<std::uint32_t>(x % 4), v = static_cast<std::uint32_t>(y % 4);
      bitmap->pixels.push_back(0xFF000000u | (u * 60) << 16 | (v * 60) << 8 | ((u ^ v) * 50));
    }
  }
  return bitmap;
}

TEST(BitmapPaints, PowerOfTwoSidesRepeatAsAnyOtherSize) {
  const auto four = Tiles(1), twelve = Tiles(3);
  // Turned, stretched and moved far out, so the fill repeats many times.
  const Matrix place{23.1, 8.4, -6.2, 17.9, -91234, 40321};
  for (const bool smooth : {false, true}) {
    SCOPED_TRACE(smooth ? "smooth" : "nearest");
    const BitmapPaint small(BitmapFill{four, place, true, smooth}, Matrix{0.05, 0, 0, 0.05, 0, 0}, ColorTransform{});
    const BitmapPaint large(BitmapFill{twelve, place, true, smooth}, Matrix{0.05, 0, 0, 0.05, 0, 0}, ColorTransform{});
    std::vector<std::uint32_t> a(300), b(300);
    for (int y = -50; y < 200; y += 13) {
      small.Shade(-20, y, 300, a.data());
      large.Shade(-20, y, 300, b.data());
      ASSERT_EQ(a, b) << "row " << y;
      // Not one colour all along: the pixels do move through the bitmap.
      EXPECT_NE(std::count(a.begin(), a.end(), a.front()), 300);
    }
  }
}

}  // namespace
}  // namespace swf
