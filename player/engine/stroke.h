#pragma once
// Lines as the outlines the rasterizer fills: each edge a rectangle as wide as
// the line, a join where two edges of one outline meet (round, bevel, or
// miter up to its limit), and caps at the ends of an open outline (round,
// square or none). Every piece winds the same way round, so their overlaps
// fill once under the non-zero rule.

#include "rasterizer.h"
#include "swf_movie.h"

namespace swf {

// How far a line reaches on each side of its edges, in pixels, drawn through
// `m` (the shape's twips to the surface's pixels). `stageScale` is the part of
// `m` that is the stage's own (pixels per twip across and down): a line that
// does not follow its object's scale still follows the stage's. Never less
// than half a pixel: a hairline (width 0) and thinner lines draw one pixel wide.
[[nodiscard]] double LineHalfWidth(const LineStyle& line, const Matrix& m, Vec2 stageScale);

// How far past its edges' bounds a line can paint, in half widths: square
// caps reach to the corner of their square, miters to their limit.
[[nodiscard]] double LineReach(const LineStyle& line);

class Stroker {
 public:
  // Outlines drawn into `rasterizer` (already begun) with this line style, at
  // this half width; pieces wholly outside the rows of `clip` are left out.
  Stroker(Rasterizer& rasterizer, const LineStyle& style, double halfWidth, const PixelRect& clip);
  // The next edge, in twips through `m`: it goes on the outline being built
  // when it starts where the last one ended, else starts a new outline.
  void Add(const Segment& segment, const Matrix& m);
  // Ends the outline being built (the last one; the destructor does not).
  void Finish();

 private:
  void Append(Vec2 point, bool corner);
  void Body(Vec2 from, Vec2 to);
  void Join(Vec2 before, Vec2 at, Vec2 after, LineJoin join);
  void StartCap(Vec2 end, Vec2 inward, LineCap cap);
  void Fan(Vec2 centre, Vec2 from, double sweep);
  void Polygon(const Vec2* points, int count);
  [[nodiscard]] bool MissesClip(double top, double bottom) const {
    return bottom < clip_.top || top > clip_.bottom;
  }

  Rasterizer& rasterizer_;
  const LineStyle& style_;
  double half_;
  PixelRect clip_;
  std::vector<Vec2> points_;
  // Whether the outline turns at a point because two edges meet there (its
  // join is the style's) rather than inside a flattened curve (a bevel fills
  // the sliver there).
  std::vector<bool> corners_;
  Point lastEnd_;
  bool open_ = false;
};

}  // namespace swf
