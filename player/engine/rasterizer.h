#pragma once
// Anti-aliased polygon filling into a 0xAARRGGBB surface. Edges are collected
// in pixel coordinates (clipped to the surface's rows as they come), then each
// row gathers exact horizontal coverage on a few sub-scanlines into a coverage
// row, which is blended with the fill colour in one pass.

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
  // Starts a new path for a surface of this size.
  void Begin(int width, int height);
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
  void AddSpan(double from, double to, float weight);
  void BlendRow(const Surface& target, int y, Rgba color);

  int width_ = 0;
  int height_ = 0;
  std::vector<Edge> edges_;
  std::vector<const Edge*> active_;
  std::vector<Crossing> crossings_;
  std::vector<float> cover_;  // partial coverage per pixel of the row
  std::vector<float> runs_;   // +w where a fully covered run starts, -w where it ends
  std::vector<std::uint16_t> weights_;
  int rowMin_ = 0, rowMax_ = -1;
};

// Fills the surface with one opaque colour.
void FillSurface(const Surface& target, Rgba color);

}  // namespace swf
