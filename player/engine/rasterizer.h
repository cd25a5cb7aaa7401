#pragma once
// Anti-aliased polygon filling into a 0xAARRGGBB surface, within a clip
// rectangle. Edges are collected in pixel coordinates (those that miss the
// clip's rows are dropped as they come), then each row gathers exact
// horizontal coverage on a few sub-scanlines: partly covered pixels one by one,
// and the stretches between them, which are covered alike, as whole runs.
//
// A pixel's value never depends on the clip: edges keep their own coordinates
// and runs are counted in whole sub-scanlines, so drawing a rectangle of a
// frame alone gives exactly the pixels a draw of the whole frame gives there.

#include <cstdint>
#include <vector>

#include "movie_player.h"
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

class Rasterizer {
 public:
  // Starts a new path drawn into `clip` (within the target surface) only.
  void Begin(const PixelRect& clip);
  // Starts a new path for a whole surface of this size.
  void Begin(int width, int height) { Begin(PixelRect{0, 0, width, height}); }
  void Line(Vec2 from, Vec2 to);
  // A quadratic curve, flattened into lines fine enough for the eye.
  void Quad(Vec2 from, Vec2 control, Vec2 to);
  // Fills the path collected since Begin and empties it.
  void Fill(const Surface& target, Rgba color, FillRule rule);

 private:
  struct Edge {
    double x0, y0, x1, y1;  // y0 < y1
    double slope;           // dx/dy
    int winding;            // +1 downwards, -1 upwards
  };
  struct Crossing {
    double x;
    int winding;
  };
  void AddSpan(double from, double to);
  void AddPartial(int x, float amount);
  void AddRun(int from, int to);
  void BlendRow(std::uint32_t* row, Rgba color);
  static void BlendPixel(std::uint32_t& pixel, std::uint32_t weight, Rgba color);

  PixelRect clip_;
  std::vector<Edge> edges_;
  std::vector<const Edge*> active_;
  std::vector<Crossing> crossings_;
  // The row being gathered, indexed by column: partial coverage of pixels an
  // edge crosses, and +1 / -1 where a sub-scanline's covered run starts and
  // ends. Both are all zero between rows.
  std::vector<float> cover_;
  std::vector<int> runs_;
  std::vector<int> marks_;  // columns where cover_ or runs_ is not zero
};

// Fills the surface with one opaque colour.
void FillSurface(const Surface& target, Rgba color);
// Fills the part of the surface inside `area` with one opaque colour.
void FillArea(const Surface& target, const PixelRect& area, Rgba color);
// `area` cut to the surface.
[[nodiscard]] PixelRect ClipToSurface(const PixelRect& area, const Surface& target);

}  // namespace swf
