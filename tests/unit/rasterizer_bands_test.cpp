// Changed areas as bands of rows: every pixel of the areas in exactly one
// band's stretch, and a fill through the bands giving each pixel what a fill
// through the one rectangle holding it gives, leaving every other pixel alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "case_name.h"
#include "paint.h"
#include "rasterizer.h"

namespace swf {
namespace {

using tpl::testing::CaseName;

constexpr int kWidth = 240, kHeight = 120;

struct BandsCase {
  std::string name;
  std::vector<PixelRect> areas;
};

std::vector<BandsCase> BandsCases() {
  return {
      {"one", {{10, 10, 60, 40}}},
      {"apart_side_by_side", {{5, 10, 60, 70}, {120, 30, 200, 100}}},
      {"overlapping", {{10, 10, 120, 80}, {60, 40, 200, 110}}},
      {"one_inside_another", {{10, 10, 200, 110}, {50, 30, 90, 60}}},
      {"touching_edges", {{10, 10, 60, 60}, {60, 10, 100, 60}, {10, 60, 100, 90}}},
      // The same stretches over rows of different rectangles make one band.
      {"stacked_alike", {{20, 0, 80, 30}, {20, 30, 80, 70}, {150, 0, 230, 70}}},
      {"many_crossing",
       {{0, 0, 240, 12}, {30, 5, 50, 120}, {100, 20, 140, 60}, {90, 50, 220, 70}, {200, 90, 240, 120}, {0, 100, 20, 110}}},
      {"empty_ones_ignored", {{30, 30, 30, 90}, {10, 50, 90, 50}, {40, 20, 100, 60}}},
      {"none", {}},
  };
}

bool InAny(const std::vector<PixelRect>& areas, int x, int y) {
  for (const PixelRect& r : areas) {
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

class RowBandsTest : public ::testing::TestWithParam<BandsCase> {};

TEST_P(RowBandsTest, HoldEachPixelOfTheAreasOnce) {
  const std::vector<PixelRect>& areas = GetParam().areas;
  RowBands bands;
  bands.Assign(areas);
  std::vector<int> held(static_cast<std::size_t>(kWidth) * kHeight, 0);
  bands.ForEachRect([&](const PixelRect& r) {
    ASSERT_FALSE(r.Empty());
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) ++held[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)];
    }
  });
  PixelRect spanned{kWidth, kHeight, 0, 0};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = InAny(areas, x, y);
      ASSERT_EQ(held[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)], inside ? 1 : 0)
          << x << ", " << y;
      if (inside) spanned = {std::min(spanned.left, x), std::min(spanned.top, y), std::max(spanned.right, x + 1),
                             std::max(spanned.bottom, y + 1)};
    }
  }
  if (spanned.Empty()) {
    EXPECT_TRUE(bands.bounds.Empty());
  } else {
    EXPECT_EQ(bands.bounds, spanned);
  }
  // Bands go down and stretches right, apart, and a band never repeats the one just above it.
  for (std::size_t b = 0; b < bands.bands.size(); ++b) {
    const RowBands::Band& band = bands.bands[b];
    ASSERT_GT(band.count, 0u);
    for (std::uint32_t i = band.first + 1; i < band.first + band.count; ++i) {
      EXPECT_LT(bands.stretches[i - 1].right, bands.stretches[i].left);
    }
    if (b == 0) continue;
    const RowBands::Band& above = bands.bands[b - 1];
    EXPECT_LE(above.bottom, band.top);
    const bool repeats = above.bottom == band.top && above.count == band.count &&
                         std::equal(bands.stretches.begin() + above.first,
                                    bands.stretches.begin() + above.first + above.count,
                                    bands.stretches.begin() + band.first);
    EXPECT_FALSE(repeats) << "band " << b;
  }
  // Touches says whether a rectangle holds any pixel of the areas.
  for (int top = 0; top < kHeight; top += 17) {
    for (int left = 0; left < kWidth; left += 23) {
      const PixelRect probe{left, top, left + 13, top + 9};
      bool expected = false;
      for (int y = probe.top; y < std::min(probe.bottom, kHeight); ++y) {
        for (int x = probe.left; x < std::min(probe.right, kWidth); ++x) expected |= InAny(areas, x, y);
      }
      EXPECT_EQ(bands.Touches(probe), expected) << left << ", " << top;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Areas, RowBandsTest, ::testing::ValuesIn(BandsCases()), CaseName());

std::uint32_t Background(int x, int y) {
  return 0xFF000000u | static_cast<std::uint32_t>((x * 5) & 0xFF) << 16 | static_cast<std::uint32_t>((y * 3) & 0xFF) << 8 |
         static_cast<std::uint32_t>((x ^ y) & 0xFF);
}

// Discs and a slanted band across the surface, so rows hold several
// stretches of the areas with edges in and between them.
void AddPath(Rasterizer& rasterizer) {
  const auto disc = [&](double cx, double cy, double r) {
    constexpr int kSides = 36;
    for (int i = 0; i < kSides; ++i) {
      const double a = 2 * 3.14159265358979 * i / kSides + 0.05, b = 2 * 3.14159265358979 * (i + 1) / kSides + 0.05;
      rasterizer.Line({cx + r * std::cos(a), cy + r * std::sin(a)}, {cx + r * std::cos(b), cy + r * std::sin(b)});
    }
  };
  disc(60.3, 55.7, 48.2);
  disc(170.6, 62.1, 41.9);
  disc(120.2, 30.4, 22.5);
  const Vec2 band[] = {{-5.5, 80.25}, {245.5, 20.75}, {245.5, 34.5}, {-5.5, 94.5}};
  for (int i = 0; i < 4; ++i) rasterizer.Quad(band[i], {(band[i].x + band[(i + 1) % 4].x) / 2 + 3.3, (band[i].y + band[(i + 1) % 4].y) / 2 - 2.1}, band[(i + 1) % 4]);
}

enum class Through { Solid, Paint };

struct FillCase {
  std::string name;
  Through through;
  FillRule rule;
  Rgba color;
};

class BandedFill : public ::testing::TestWithParam<FillCase> {};

void FillPath(Rasterizer& rasterizer, const Surface& target, const FillCase& c) {
  AddPath(rasterizer);
  if (c.through == Through::Solid) {
    rasterizer.Fill(target, c.color, c.rule);
  } else {
    rasterizer.Fill(target, SolidPaint(c.color), c.rule);
  }
}

TEST_P(BandedFill, GivesEachPixelWhatItsOwnRectangleGives) {
  const FillCase& c = GetParam();
  for (const BandsCase& areas : BandsCases()) {
    RowBands bands;
    bands.Assign(areas.areas);
    std::vector<std::uint32_t> apart(static_cast<std::size_t>(kWidth) * kHeight), banded(apart.size());
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        apart[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)] = Background(x, y);
      }
    }
    banded = apart;
    const Surface apartSurface{apart.data(), kWidth, kHeight, kWidth};
    const Surface bandedSurface{banded.data(), kWidth, kHeight, kWidth};
    Rasterizer rasterizer;
    bands.ForEachRect([&](const PixelRect& r) {
      rasterizer.Begin(r);
      FillPath(rasterizer, apartSurface, c);
    });
    rasterizer.Begin(PixelRect{0, 0, kWidth, kHeight}, &bands);
    FillPath(rasterizer, bandedSurface, c);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const auto i = static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x);
        ASSERT_EQ(banded[i], apart[i]) << areas.name << " at " << x << ", " << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fills, BandedFill,
    ::testing::Values(FillCase{"solid_translucent_even_odd", Through::Solid, FillRule::EvenOdd, {200, 90, 30, 150}},
                      FillCase{"solid_opaque_non_zero", Through::Solid, FillRule::NonZero, {20, 200, 90, 255}},
                      FillCase{"paint_translucent_non_zero", Through::Paint, FillRule::NonZero, {90, 60, 250, 120}}),
    CaseName());

}  // namespace
}  // namespace swf
