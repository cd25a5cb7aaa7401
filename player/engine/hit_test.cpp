#include "hit_test.h"

#include <algorithm>
#include <cmath>

namespace swf {
namespace {

// Curves are tested as this many straight pieces: far finer than a pointer.
constexpr int kCurvePieces = 8;

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

// Each fill style's edges enclose its area: an odd count of crossings means
// the point is inside that style's area. The edges come sorted by style.
bool InsideAFill(const ShapeLayer& layer, double x, double y) {
  std::size_t i = 0;
  while (i < layer.fillEdges.size()) {
    const std::uint16_t style = layer.fillEdges[i].style;
    bool inside = false;
    for (; i < layer.fillEdges.size() && layer.fillEdges[i].style == style; ++i) {
      ForEachPiece(layer.fillEdges[i].segment, [&](const Point& a, const Point& b) {
        if (Crosses(a, b, x, y)) inside = !inside;
      });
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
