#include "stroke.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace swf {

namespace {

constexpr double kFlatness = 0.1;  // pixels an arc or curve of a line may stray from the true one
constexpr int kMaxCurvePieces = 64;
constexpr int kMaxArcSteps = 64;

Vec2 Transform(const Matrix& m, const Point& p) { return {m.a * p.x + m.c * p.y + m.tx, m.b * p.x + m.d * p.y + m.ty}; }

Vec2 Plus(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 Minus(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
Vec2 Times(Vec2 a, double s) { return {a.x * s, a.y * s}; }
double Dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
// A quarter turn from `a` (clockwise on the screen, where y grows downwards).
Vec2 Perpendicular(Vec2 a) { return {-a.y, a.x}; }
Vec2 Rotate(Vec2 a, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {a.x * c - a.y * s, a.x * s + a.y * c};
}

// The direction from `from` to `to`, of length 1; nullopt-like zero for none.
Vec2 Direction(Vec2 from, Vec2 to) {
  const Vec2 d = Minus(to, from);
  const double length = std::sqrt(Dot(d, d));
  if (!std::isfinite(length) || length == 0) return {0, 0};
  return Times(d, 1 / length);
}

bool SamePoint(Vec2 a, Vec2 b) { return std::fabs(a.x - b.x) < 1e-9 && std::fabs(a.y - b.y) < 1e-9; }

}  // namespace

double LineHalfWidth(const LineStyle& line, const Matrix& m, Vec2 stageScale) {
  double scale = std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
  if ((line.noHScale || line.noVScale) && stageScale.x > 0 && stageScale.y > 0) {
    // The object's own scale across and down, the stage's taken out of `m`.
    const double across = std::hypot(m.a / stageScale.x, m.b / stageScale.y);
    const double down = std::hypot(m.c / stageScale.x, m.d / stageScale.y);
    const double stage = std::sqrt(stageScale.x * stageScale.y);
    if (line.noHScale && line.noVScale) {
      scale = stage;
    } else if (line.noHScale) {
      scale = stage * down;
    } else {
      scale = stage * across;
    }
  }
  const double width = line.widthTwips * scale;
  return std::isfinite(width) ? std::max(width, 1.0) / 2 : 0.5;
}

double LineReach(const LineStyle& line) {
  double reach = std::numbers::sqrt2;
  if (line.join == LineJoin::Miter) reach = std::max(reach, line.miterLimit);
  return std::isfinite(reach) ? reach : std::numbers::sqrt2;
}

Stroker::Stroker(Rasterizer& rasterizer, const LineStyle& style, double halfWidth, const PixelRect& clip)
    : rasterizer_(rasterizer), style_(style), half_(halfWidth), clip_(clip) {}

void Stroker::Add(const Segment& segment, const Matrix& m) {
  const bool continues = open_ && segment.from.x == lastEnd_.x && segment.from.y == lastEnd_.y;
  if (!continues) {
    Finish();
    Append(Transform(m, segment.from), false);
    open_ = true;
  }
  lastEnd_ = segment.to;
  const Vec2 to = Transform(m, segment.to);
  if (!segment.curved) {
    Append(to, true);
    return;
  }
  const Vec2 from = points_.back();
  const Vec2 control = Transform(m, segment.control);
  const double ddx = from.x - 2 * control.x + to.x;
  const double ddy = from.y - 2 * control.y + to.y;
  const double deviation = std::sqrt(ddx * ddx + ddy * ddy);
  int pieces = 1;
  if (std::isfinite(deviation) && deviation > 0) {
    pieces = static_cast<int>(std::ceil(std::sqrt(std::min(deviation / (4 * kFlatness), 1e6))));
  }
  pieces = std::clamp(pieces, 1, kMaxCurvePieces);
  for (int i = 1; i < pieces; ++i) Append(QuadraticPoint(from, control, to, static_cast<double>(i) / pieces), false);
  Append(to, true);
}

void Stroker::Append(Vec2 point, bool corner) {
  if (!std::isfinite(point.x) || !std::isfinite(point.y)) return;
  if (!points_.empty() && SamePoint(points_.back(), point)) {
    if (corner) corners_.back() = true;
    return;
  }
  points_.push_back(point);
  corners_.push_back(corner);
}

void Stroker::Finish() {
  if (!open_) return;
  open_ = false;
  const std::size_t n = points_.size();
  if (n == 1) {
    // An edge of no length: its caps make a dot.
    const Vec2 p = points_.front();
    if (style_.startCap == LineCap::Round) {
      Fan(p, Vec2{half_, 0}, 2 * std::numbers::pi);
    } else if (style_.startCap == LineCap::Square) {
      const Vec2 square[] = {{p.x - half_, p.y - half_}, {p.x + half_, p.y - half_}, {p.x + half_, p.y + half_},
                             {p.x - half_, p.y + half_}};
      Polygon(square, 4);
    }
  } else if (n > 1) {
    for (std::size_t i = 0; i + 1 < n; ++i) Body(points_[i], points_[i + 1]);
    for (std::size_t i = 1; i + 1 < n; ++i) {
      Join(points_[i - 1], points_[i], points_[i + 1], corners_[i] ? style_.join : LineJoin::Bevel);
    }
    const bool closed = !style_.noClose && n >= 3 && SamePoint(points_.front(), points_.back());
    if (closed) {
      Join(points_[n - 2], points_[0], points_[1], style_.join);
    } else {
      StartCap(points_[0], points_[1], style_.startCap);
      StartCap(points_[n - 1], points_[n - 2], style_.endCap);
    }
  }
  points_.clear();
  corners_.clear();
}

void Stroker::Body(Vec2 from, Vec2 to) {
  const Vec2 d = Direction(from, to);
  if (d.x == 0 && d.y == 0) return;
  if (MissesClip(std::min(from.y, to.y) - half_, std::max(from.y, to.y) + half_)) return;
  const Vec2 n = Times(Perpendicular(d), half_);
  const Vec2 corners[] = {Plus(from, n), Plus(to, n), Minus(to, n), Minus(from, n)};
  Polygon(corners, 4);
}

void Stroker::Join(Vec2 before, Vec2 at, Vec2 after, LineJoin join) {
  const Vec2 d1 = Direction(before, at), d2 = Direction(at, after);
  const double cross = Cross(d1, d2), dot = Dot(d1, d2);
  if (dot > 0 && std::fabs(cross) < 1e-12) return;  // straight on: the bodies meet flush
  const double reach = half_ * std::max(LineReach(style_), 1.0);
  if (MissesClip(at.y - reach, at.y + reach)) return;
  // The outer side of the turn: where the two bodies leave a gap.
  const double side = cross > 0 ? -1 : 1;
  const Vec2 n1 = Times(Perpendicular(d1), side), n2 = Times(Perpendicular(d2), side);
  const Vec2 p1 = Plus(at, Times(n1, half_)), p2 = Plus(at, Times(n2, half_));
  // A round join at a slight turn is as good as a bevel: the arc lies within
  // a tenth of a pixel of its chord.
  const double gap = half_ * (1 - std::sqrt(std::max(0.0, (1 + Dot(n1, n2)) / 2)));
  if (join == LineJoin::Round && gap > kFlatness) {
    double sweep = std::atan2(Cross(n1, n2), Dot(n1, n2));
    // Turning right back: the half circle goes round the front of the line.
    if (std::fabs(cross) < 1e-12) sweep = Dot(Rotate(n1, sweep / 2), d1) >= 0 ? sweep : -sweep;
    Fan(at, Times(n1, half_), sweep);
    return;
  }
  if (join == LineJoin::Miter) {
    Vec2 bisector = Plus(n1, n2);
    const double length = std::sqrt(Dot(bisector, bisector));
    if (length > 1e-9) {
      bisector = Times(bisector, 1 / length);
      const double cosine = Dot(n1, bisector);  // of half the angle between the two sides
      const double tip = half_ / cosine;
      const double limit = std::max(1.0, style_.miterLimit) * half_;
      if (tip <= limit) {
        const Vec2 miter[] = {at, p1, Plus(at, Times(bisector, tip)), p2};
        Polygon(miter, 4);
        return;
      }
      // Past its limit the miter is cut off square to the bisector there.
      const double bevelReach = half_ * cosine;
      if (limit > bevelReach) {
        const double s = (limit - bevelReach) / (tip - bevelReach);
        const Vec2 tipPoint = Plus(at, Times(bisector, tip));
        const Vec2 cut[] = {at, p1, Plus(p1, Times(Minus(tipPoint, p1), s)), Plus(p2, Times(Minus(tipPoint, p2), s)),
                            p2};
        Polygon(cut, 5);
        return;
      }
    }
  }
  const Vec2 bevel[] = {at, p1, p2};
  Polygon(bevel, 3);
}

void Stroker::StartCap(Vec2 end, Vec2 neighbour, LineCap cap) {
  const Vec2 d = Direction(neighbour, end);  // outwards, past the end
  if ((d.x == 0 && d.y == 0) || cap == LineCap::None) return;
  const Vec2 n = Times(Perpendicular(d), half_);
  if (cap == LineCap::Round) {
    // From one side round the front to the other: a quarter turn back from
    // the perpendicular faces along d.
    Fan(end, n, -std::numbers::pi);
    return;
  }
  const Vec2 out = Times(d, half_);
  const Vec2 square[] = {Plus(end, n), Plus(Plus(end, n), out), Plus(Minus(end, n), out), Minus(end, n)};
  Polygon(square, 4);
}

void Stroker::Fan(Vec2 centre, Vec2 from, double sweep) {
  const double radius = std::sqrt(Dot(from, from));
  if (!std::isfinite(radius) || radius == 0 || MissesClip(centre.y - radius, centre.y + radius)) return;
  // Each step's chord strays at most kFlatness from the arc.
  const double step = 2 * std::acos(std::max(-1.0, 1 - kFlatness / radius));
  const int steps = std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / std::max(step, 1e-3))), 2, kMaxArcSteps);
  Vec2 points[kMaxArcSteps + 2];
  points[0] = centre;
  for (int i = 0; i <= steps; ++i) points[i + 1] = Plus(centre, Rotate(from, sweep * i / steps));
  Polygon(points, steps + 2);
}

void Stroker::Polygon(const Vec2* points, int count) {
  double area = 0;
  for (int i = 0; i < count; ++i) area += Cross(points[i], points[(i + 1) % count]);
  if (!(area != 0)) return;  // nothing to fill (also NaN)
  // All pieces go the same way round, so where they overlap they add up.
  if (area > 0) {
    for (int i = 0; i < count; ++i) rasterizer_.Line(points[i], points[(i + 1) % count]);
  } else {
    for (int i = count; i > 0; --i) rasterizer_.Line(points[i % count], points[i - 1]);
  }
}

}  // namespace swf
