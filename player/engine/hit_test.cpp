#include "hit_test.h"

#include <algorithm>
#include <cmath>

namespace swf {
namespace {

// Strokes along curves are measured on this many straight pieces.
constexpr int kCurvePieces = 16;

Point At(const Segment& s, double t) {
  const double u = 1 - t;
  return {u * u * s.from.x + 2 * u * t * s.control.x + t * t * s.to.x,
          u * u * s.from.y + 2 * u * t * s.control.y + t * t * s.to.y};
}

// Calls `visit` with each straight piece of the segment.
template <typename Visit>
void ForEachPiece(const Segment& s, Visit&& visit) {
  if (!s.curved) {
    visit(s.from, s.to);
    return;
  }
  Point previous = s.from;
  for (int i = 1; i <= kCurvePieces; ++i) {
    const Point next = i == kCurvePieces ? s.to : At(s, static_cast<double>(i) / kCurvePieces);
    visit(previous, next);
    previous = next;
  }
}

// Whether a ray from (x, y) towards +x crosses the piece (half-open in y, so
// a vertex shared by two pieces counts once).
bool Crosses(const Point& a, const Point& b, double x, double y) {
  if ((a.y > y) == (b.y > y)) return false;
  const double crossX = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
  return crossX > x;
}

double DistanceSquared(const Point& a, const Point& b, double x, double y) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length = dx * dx + dy * dy;
  double t = length > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / length : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double px = a.x + t * dx - x, py = a.y + t * dy - y;
  return px * px + py * py;
}

double CoordinateAt(double from, double control, double to, double t) {
  const double u = 1 - t;
  return u * u * from + 2 * u * t * control + t * t * to;
}

// Whether a ray from (x, y) towards +x crosses the part of a quadratic edge
// between t0 and t1, along which y only grows or only falls (half-open in y
// like the straight pieces).
bool CrossesMonotone(const Segment& s, double t0, double t1, double x, double y) {
  const double y0 = CoordinateAt(s.from.y, s.control.y, s.to.y, t0);
  const double y1 = CoordinateAt(s.from.y, s.control.y, s.to.y, t1);
  if ((y0 > y) == (y1 > y)) return false;
  // Where the edge reaches the ray's height: halve the range until it is
  // far finer than a twip.
  const bool rising = y1 > y0;
  for (int i = 0; i < 40; ++i) {
    const double mid = (t0 + t1) / 2;
    if ((CoordinateAt(s.from.y, s.control.y, s.to.y, mid) > y) == rising) {
      t1 = mid;
    } else {
      t0 = mid;
    }
  }
  return CoordinateAt(s.from.x, s.control.x, s.to.x, (t0 + t1) / 2) > x;
}

// The crossings of a ray from (x, y) towards +x with an edge; a curve is
// split where it turns in y, so each part crosses at most once.
int Crossings(const Segment& s, double x, double y) {
  if (!s.curved) return Crosses(s.from, s.to, x, y) ? 1 : 0;
  const double bend = s.from.y - 2 * s.control.y + s.to.y;
  const double turn = bend != 0 ? (s.from.y - s.control.y) / bend : -1;
  if (turn <= 0 || turn >= 1) return CrossesMonotone(s, 0, 1, x, y) ? 1 : 0;
  return (CrossesMonotone(s, 0, turn, x, y) ? 1 : 0) + (CrossesMonotone(s, turn, 1, x, y) ? 1 : 0);
}

// Each fill style's edges enclose its area: an odd count of crossings means
// the point is inside that style's area. The edges come sorted by style.
bool InsideAFill(const ShapeLayer& layer, double x, double y) {
  std::size_t i = 0;
  while (i < layer.fillEdges.size()) {
    const std::uint16_t style = layer.fillEdges[i].style;
    bool inside = false;
    for (; i < layer.fillEdges.size() && layer.fillEdges[i].style == style; ++i) {
      if (Crossings(layer.fillEdges[i].segment, x, y) % 2 != 0) inside = !inside;
    }
    if (inside) return true;
  }
  return false;
}

bool OnALine(const ShapeLayer& layer, double x, double y) {
  for (const StyledSegment& edge : layer.lineEdges) {
    if (edge.style >= layer.lines.size()) continue;
    // Hairlines are one pixel wide.
    const double half = std::max<double>(layer.lines[edge.style].widthTwips, 20) / 2;
    bool near = false;
    ForEachPiece(edge.segment, [&](const Point& a, const Point& b) {
      if (!near && DistanceSquared(a, b, x, y) <= half * half) near = true;
    });
    if (near) return true;
  }
  return false;
}

}  // namespace

bool ShapeContains(const Shape& shape, double x, double y) {
  if (shape.maxX < shape.minX) return false;
  for (const ShapeLayer& layer : shape.layers) {
    if (InsideAFill(layer, x, y) || OnALine(layer, x, y)) return true;
  }
  return false;
}

}  // namespace swf
