// A solid fill against the rasterizer's sampling rule worked out pixel by
// pixel: on each of five sub-scanlines the covered stretches end where the
// path's crossings lie, in 256ths of a pixel (cut at the clip's sides), and a
// pixel counts the part of its width they cover; its weight is the sum over
// the five (0 to 1280) times the colour's alpha. The rasterizer adds each
// crossing's share to the row and walks the stretches between the columns
// it touched; whatever it keeps, every pixel must come out as this plain walk
// over every pixel gives it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "case_name.h"
#include "rasterizer.h"

namespace swf {
namespace {

using tpl::testing::CaseName;

constexpr int kWidth = 260, kHeight = 90;

struct Line {
  Vec2 from, to;
};

struct RowsCase {
  std::string name;
  std::vector<Line> path;  // closed outlines
  PixelRect clip;
  Rgba color;
  FillRule rule;
};

std::vector<Line> Polygon(std::vector<Vec2> points) {
  std::vector<Line> lines;
  for (std::size_t i = 0; i < points.size(); ++i) lines.push_back({points[i], points[(i + 1) % points.size()]});
  return lines;
}

std::vector<Line> Disc(double cx, double cy, double r) {
  std::vector<Vec2> points;
  for (int i = 0; i < 40; ++i) points.push_back({cx + r * std::cos(i * 0.157 + 0.01), cy + r * std::sin(i * 0.157 + 0.01)});
  return Polygon(points);
}

std::vector<Line> Joined(std::vector<Line> a, const std::vector<Line>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::uint32_t Background(int x, int y) {
  return 0xFF000000u | static_cast<std::uint32_t>((x * 7) & 0xFF) << 16 | static_cast<std::uint32_t>((y * 5) & 0xFF) << 8 |
         static_cast<std::uint32_t>((x + y) & 0xFF);
}

std::vector<std::uint32_t> Expected(const RowsCase& c) {
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) pixels[y * kWidth + x] = Background(x, y);
  const PixelRect clip{std::max(0, c.clip.left), std::max(0, c.clip.top), std::min(kWidth, c.clip.right),
                       std::min(kHeight, c.clip.bottom)};
  // The weight of a pixel is its coverage times alpha * 256 / 255 over 1280,
  // with 20 bits of fraction, rounded.
  const std::uint64_t scale = ((std::uint64_t{c.color.a} << 28) + 255 * 1280 / 2) / (255 * 1280);
  for (int y = clip.top; y < clip.bottom; ++y) {
    std::vector<int> covered(kWidth, 0);
    for (int s = 0; s < 5; ++s) {
      const double sampleY = y + (s + 0.5) / 5;
      std::vector<std::pair<double, int>> crossings;
      for (const Line& line : c.path) {
        const bool down = line.from.y < line.to.y;
        const Vec2 top = down ? line.from : line.to, bottom = down ? line.to : line.from;
        if (top.y <= sampleY && sampleY < bottom.y) {
          crossings.push_back({top.x + (sampleY - top.y) * ((bottom.x - top.x) / (bottom.y - top.y)), down ? 1 : -1});
        }
      }
      std::sort(crossings.begin(), crossings.end());
      const auto place = [&](double x) {
        return static_cast<int>(std::clamp(x, static_cast<double>(clip.left), static_cast<double>(clip.right)) * 256);
      };
      int winding = 0;
      for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
        winding += c.rule == FillRule::EvenOdd ? 1 : crossings[i].second;
        if (c.rule == FillRule::EvenOdd ? (winding & 1) == 0 : winding == 0) continue;
        const int from = place(crossings[i].first), to = place(crossings[i + 1].first);
        for (int x = clip.left; x < clip.right; ++x) {
          covered[x] += std::max(0, std::min(to, x * 256 + 256) - std::max(from, x * 256));
        }
      }
    }
    for (int x = clip.left; x < clip.right; ++x) {
      const auto weight = static_cast<std::uint32_t>((covered[x] * scale + (1u << 19)) >> 20);
      std::uint32_t& pixel = pixels[y * kWidth + x];
      if (weight == 0) continue;
      std::uint32_t out = 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t back = pixel >> shift & 0xFFu;
        const std::uint32_t paint = (shift == 16 ? c.color.r : shift == 8 ? c.color.g : c.color.b);
        out |= (weight >= 256 ? paint : (back * (256 - weight) + paint * weight) >> 8) << shift;
      }
      pixel = out;
    }
  }
  return pixels;
}

std::vector<RowsCase> RowsCases() {
  const PixelRect all{0, 0, kWidth, kHeight};
  const Rgba faint{64, 224, 208, 40}, opaque{251, 191, 36, 255};
  return {
      // Wide rows with few marks: the stretches are blended whole.
      {"wide_faint_disc", Disc(130, 45, 42), all, faint, FillRule::EvenOdd},
      {"wide_opaque_disc", Disc(130, 45, 42), all, opaque, FillRule::EvenOdd},
      // A row of about one mark a pixel: the pixel-by-pixel pass.
      {"thin_slanted_sliver", Polygon({{10.3, 2.2}, {14.1, 2.6}, {250.7, 86.4}, {247.2, 87.9}}), all, faint,
       FillRule::EvenOdd},
      {"small_discs_side_by_side", Joined(Disc(20.4, 30.3, 3.1), Disc(27.9, 31.2, 2.6)), all, faint, FillRule::EvenOdd},
      // Cut on both sides: stretches end at the clip's right side, crossings lie outside it.
      {"disc_cut_by_the_clip", Disc(130, 45, 60), PixelRect{75, 10, 190, 70}, faint, FillRule::EvenOdd},
      {"clip_past_the_first_word_of_columns", Disc(150, 40, 30), PixelRect{131, 5, 200, 80}, opaque,
       FillRule::EvenOdd},
      {"path_left_and_right_of_the_clip", Polygon({{-40.5, 5.2}, {300.2, 8.7}, {290.6, 80.1}, {-30.3, 70.4}}),
       PixelRect{20, 0, 100, kHeight}, faint, FillRule::EvenOdd},
      // Overlapping outlines: one turning each way under non-zero, the same way under even-odd.
      {"nonzero_overlap", Joined(Polygon({{20.2, 10.1}, {150.3, 12.4}, {140.8, 70.6}, {25.5, 66.2}}),
                                 Polygon({{90.1, 30.3}, {95.2, 85.7}, {230.4, 80.2}, {220.7, 25.9}})),
       all, faint, FillRule::NonZero},
      // The same way round twice under non-zero: crossings inside the overlap change nothing.
      {"nonzero_same_turn_overlap", Joined(Polygon({{20.2, 10.1}, {150.3, 12.4}, {140.8, 70.6}, {25.5, 66.2}}),
                                           Polygon({{90.1, 30.3}, {220.7, 25.9}, {230.4, 80.2}, {95.2, 85.7}})),
       all, faint, FillRule::NonZero},
      // Edges that cross each other within rows: their order changes between sub-scanlines.
      {"bowtie_evenodd", Polygon({{20.3, 10.2}, {200.7, 80.6}, {200.2, 10.9}, {20.8, 79.4}}), all, faint,
       FillRule::EvenOdd},
      {"bowtie_nonzero", Polygon({{20.3, 10.2}, {200.7, 80.6}, {200.2, 10.9}, {20.8, 79.4}}), all, opaque,
       FillRule::NonZero},
      // Upright edges on the pixels' sides, and steep ones that stay in one pixel a row.
      {"upright_strip_on_pixel_sides", Polygon({{40, 0.3}, {43, 0.3}, {43, 89.6}, {40, 89.6}}), all, faint,
       FillRule::EvenOdd},
      {"steep_narrow_wedge", Polygon({{100.1, 1.2}, {100.6, 1.2}, {108.9, 88.7}, {101.3, 88.1}}), all, faint,
       FillRule::EvenOdd},
      // An outline left open: its last crossing on a sub-scanline opens nothing.
      {"open_outline", {{{30.5, 5.5}, {60.2, 80.4}}, {{60.2, 80.4}, {90.7, 6.1}}, {{120.4, 6.6}, {140.1, 70.3}}}, all,
       faint, FillRule::EvenOdd},
      {"evenodd_overlap", Joined(Polygon({{20.2, 10.1}, {150.3, 12.4}, {140.8, 70.6}, {25.5, 66.2}}),
                                 Polygon({{90.1, 30.3}, {220.7, 25.9}, {230.4, 80.2}, {95.2, 85.7}})),
       all, opaque, FillRule::EvenOdd},
  };
}

class RasterizerRows : public ::testing::TestWithParam<RowsCase> {};

TEST_P(RasterizerRows, GivesEachPixelTheCoverageOfItsOwnSubScanlines) {
  const RowsCase& c = GetParam();
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) pixels[y * kWidth + x] = Background(x, y);
  const Surface surface{pixels.data(), kWidth, kHeight, kWidth};
  Rasterizer rasterizer;
  // Twice with the same rasterizer: what one fill leaves behind must not reach the next.
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) pixels[y * kWidth + x] = Background(x, y);
    }
    rasterizer.Begin(c.clip);
    for (const Line& line : c.path) rasterizer.Line(line.from, line.to);
    rasterizer.Fill(surface, c.color, c.rule);
    const std::vector<std::uint32_t> expected = Expected(c);
    int wrong = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      if (pixels[i] != expected[i] && ++wrong <= 3) {
        ADD_FAILURE() << "round " << round << " pixel (" << i % kWidth << ", " << i / kWidth << "): " << std::hex
                      << pixels[i] << " instead of " << expected[i];
      }
    }
    EXPECT_EQ(wrong, 0);
  }
  // The fill drew something in the clip: the comparison is not of two untouched pictures.
  EXPECT_NE(Expected(c), [&] {
    std::vector<std::uint32_t> untouched(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) untouched[y * kWidth + x] = Background(x, y);
    return untouched;
  }());
}

INSTANTIATE_TEST_SUITE_P(Fills, RasterizerRows, ::testing::ValuesIn(RowsCases()), CaseName{});

}  // namespace
}  // namespace swf
