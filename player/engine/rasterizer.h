#pragma once
// Anti-aliased polygon filling into a 0xAARRGGBB surface, within a clip
// rectangle. Edges are collected in pixel coordinates (those that miss the
// clip's rows are dropped as they come), then each row samples five
// sub-scanlines: on each, a pixel is covered by the part of its width that
// lies inside the path, measured in 256ths of a pixel. The sum over the five
// (0 to 1280) is its coverage. Each crossing of a sub-scanline adds its share
// to the row's cells (what it adds to the pixel it lies in and to the pixels
// right of it), so the coverage of a pixel is the sum of the cells up to it:
// whole integers, the same in whatever order the crossings come.
//
// A pixel's value never depends on the clip: edges keep their own coordinates
// and a crossing left or right of the clip counts as lying on its side, so
// drawing a rectangle of a frame alone gives exactly the pixels a draw of the
// whole frame gives there.

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "movie_player.h"
#include "paint.h"
#include "swf_movie.h"

namespace swf {

enum class FillRule { EvenOdd, NonZero };

struct Vec2 {
  double x = 0, y = 0;
};

// The point at t (0 to 1) of the quadratic curve from `from` to `to`.
[[nodiscard]] inline Vec2 QuadraticPoint(Vec2 from, Vec2 control, Vec2 to, double t) {
  const double u = 1 - t;
  return {u * u * from.x + 2 * u * t * control.x + t * t * to.x, u * u * from.y + 2 * u * t * control.y + t * t * to.y};
}

// How much of each pixel of an area a mask lets through (0..255); nothing
// outside the area.
struct CoverageMask {
  PixelRect area;
  std::vector<std::uint8_t> coverage;  // row after row, area.right - area.left wide
  void Reset(const PixelRect& at) {
    area = at;
    coverage.assign(static_cast<std::size_t>(at.Empty() ? 0 : at.Area()), 0);
  }
  [[nodiscard]] const std::uint8_t* Row(int y) const {
    return coverage.data() + static_cast<std::ptrdiff_t>(y - area.top) * (area.right - area.left);
  }
  [[nodiscard]] std::uint8_t* Row(int y) {
    return coverage.data() + static_cast<std::ptrdiff_t>(y - area.top) * (area.right - area.left);
  }
};

// A set of pixels made of rectangles, as bands of rows that share the same
// stretches of columns: bands top to bottom, apart; within a band stretches
// left to right, apart. Each pixel of the rectangles lies in one band and one
// stretch, so what is drawn through it is drawn once.
struct RowBands {
  struct Stretch {
    int left = 0, right = 0;
    friend bool operator==(const Stretch&, const Stretch&) = default;
  };
  struct Band {
    int top = 0, bottom = 0;
    std::uint32_t first = 0, count = 0;  // its stretches in `stretches`
  };
  std::vector<Band> bands;
  std::vector<Stretch> stretches;
  PixelRect bounds;  // of every band

  // The union of `areas` (empty ones ignored).
  void Assign(std::span<const PixelRect> areas);
  // Whether any of its pixels lies in `rect`.
  [[nodiscard]] bool Touches(const PixelRect& rect) const;
  // Calls `each` with every rectangle of a band's stretch, top to bottom.
  template <typename Each>
  void ForEachRect(Each&& each) const {
    for (const Band& band : bands) {
      for (std::uint32_t i = band.first; i < band.first + band.count; ++i) {
        each(PixelRect{stretches[i].left, band.top, stretches[i].right, band.bottom});
      }
    }
  }
};

class Rasterizer {
 public:
  // Starts a new path drawn into `clip` (within the target surface) only;
  // with `within`, only into its pixels inside `clip` (it must outlive the fill).
  void Begin(const PixelRect& clip, const RowBands* within = nullptr);
  // Starts a new path for a whole surface of this size.
  void Begin(int width, int height) { Begin(PixelRect{0, 0, width, height}); }
  void Line(Vec2 from, Vec2 to);
  // A quadratic curve, flattened into lines fine enough for the eye.
  void Quad(Vec2 from, Vec2 control, Vec2 to);
  // Fills the path collected since Begin and empties it.
  void Fill(const Surface& target, Rgba color, FillRule rule);
  void Fill(const Surface& target, const Paint& paint, FillRule rule);
  // Adds the path's coverage to `mask` (where either covers, the sum does)
  // and empties it.
  void FillMask(CoverageMask& mask, FillRule rule);
  // What the fills draw from now on is weighed by this mask (none: null).
  void SetMask(const CoverageMask* mask) { mask_ = mask; }
  [[nodiscard]] const CoverageMask* Mask() const { return mask_; }

 private:
  struct Edge {
    double x0, y0, x1, y1;  // y0 < y1
    double slope;           // dx/dy
    int winding;            // +1 downwards, -1 upwards
  };
  // An edge crossing the rows being scanned, with its places on the row's
  // five sub-scanlines (256ths of a pixel, within the clip) when it crosses
  // all of them.
  struct ActiveEdge {
    const Edge* edge;
    std::array<int, 5> at;
  };
  struct Crossing {
    double x;
    int at;  // x in 256ths of a pixel, within the clip
    int winding;
  };
  struct RowCells;
  template <typename RowAction>
  void Scan(FillRule rule, int width, RowAction&& row);
  // The crossings of a row whose edges all cross its five sub-scanlines in
  // the same order: each edge opens or closes the inside on all five alike,
  // so it is added once for the five. False (nothing added) otherwise. (Rows
  // where an edge ends and the next begins are left to AddSubScanline: worked
  // out edge by edge, they cost as much.)
  bool AddWholeRow(FillRule rule, RowCells& cells);
  // The crossings of one sub-scanline, sorted and paired by the rule.
  void AddSubScanline(FillRule rule, double sampleY, RowCells& cells);

  void BlendRow(std::uint32_t* row, Rgba color);
  // BlendRow for a row of several stretches: the columns between them stay.
  void BlendRowInside(std::uint32_t* row, Rgba color);
  void BlendDenseRow(std::uint32_t* row, Rgba color, int first, int last);
  static void BlendWeighted(std::uint32_t* pixels, const std::uint32_t* weights, int count, Rgba color);
  static void BlendPixel(std::uint32_t& pixel, std::uint32_t weight, Rgba color);
  // Zero weight for the gathered columns (from `first`) between the row's stretches.
  void KeepInside(int first);
  // Each pixel's weight (0..256) from the row's first mark to its last,
  // into weights_; returns the first column.
  int GatherWeights();
  void ApplyMask(int y, int first);
  void ShadeRow(std::uint32_t* row, int y, int first, const Paint& paint);

  PixelRect clip_;
  const RowBands* within_ = nullptr;
  std::size_t band_ = 0;  // the band being scanned, with within_
  std::vector<RowBands::Stretch> rowStretches_;  // the stretches of the rows being scanned
  std::vector<Edge> edges_;
  std::vector<ActiveEdge> active_;
  std::vector<Crossing> crossings_;
  // The row being gathered, indexed by column: what each crossing adds to
  // the coverage from its column on. All zero between rows.
  std::vector<std::int32_t> cells_;
  // Columns whose cell was touched: one bit each, with the lowest and
  // highest and how often a column was marked.
  void ClearMarks();
  void ForgetMarkRange();
  std::vector<std::uint64_t> markBits_;
  int markLow_ = std::numeric_limits<int>::max();
  int markHigh_ = -1;
  int markCount_ = 0;
  std::vector<std::uint32_t> weights_;
  std::vector<std::uint32_t> shades_;
  const CoverageMask* mask_ = nullptr;
  // The solid fill being drawn: its alpha as a factor from coverage to weight.
  std::uint32_t solidScale_ = 0;
};

// Fills the surface with one opaque colour.
void FillSurface(const Surface& target, Rgba color);
// Fills the part of the surface inside `area` with one opaque colour.
void FillArea(const Surface& target, const PixelRect& area, Rgba color);
// `area` cut to the surface.
[[nodiscard]] PixelRect ClipToSurface(const PixelRect& area, const Surface& target);

}  // namespace swf
