#include "render.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace swf {

std::optional<Matrix> StageToSurface(const Movie& movie, int width, int height, ScaleMode scale) {
  const double movieWidth = (movie.maxXTwips - movie.minXTwips) / 20.0;
  const double movieHeight = (movie.maxYTwips - movie.minYTwips) / 20.0;
  if (!(movieWidth > 0 && movieHeight > 0) || width <= 0 || height <= 0) return std::nullopt;
  double sx = width / movieWidth;
  double sy = height / movieHeight;
  switch (scale) {
    case ScaleMode::ShowAll: sx = sy = std::min(sx, sy); break;
    case ScaleMode::NoBorder: sx = sy = std::max(sx, sy); break;
    case ScaleMode::NoScale: sx = sy = 1; break;
    case ScaleMode::ExactFit: break;
  }
  const double offsetX = (width - movieWidth * sx) / 2;
  const double offsetY = (height - movieHeight * sy) / 2;
  Matrix m;
  m.a = sx / 20;
  m.d = sy / 20;
  m.tx = offsetX - movie.minXTwips * m.a;
  m.ty = offsetY - movie.minYTwips * m.d;
  return m;
}

namespace {

constexpr int kMaxRenderNesting = kMaxSpriteNesting + 1;

Vec2 Transform(const Matrix& m, const Point& p) { return {m.a * p.x + m.c * p.y + m.tx, m.b * p.x + m.d * p.y + m.ty}; }

class ShapePainter {
 public:
  ShapePainter(const Surface& target, Rasterizer& rasterizer) : target_(target), rasterizer_(rasterizer) {}

  void Paint(const Shape& shape, const Matrix& m, const ColorTransform& colors) {
    if (shape.minX > shape.maxX || !IsVisible(shape, m)) return;
    for (const ShapeLayer& layer : shape.layers) {
      PaintFills(layer, m, colors);
      PaintLines(layer, m, colors);
    }
  }

 private:
  // Whether the shape's bounds, with room for its widest line, touch the surface.
  bool IsVisible(const Shape& shape, const Matrix& m) const {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const Point& corner : {Point{shape.minX, shape.minY}, Point{shape.maxX, shape.minY},
                                Point{shape.minX, shape.maxY}, Point{shape.maxX, shape.maxY}}) {
      const Vec2 p = Transform(m, corner);
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    }
    double margin = 1;
    for (const ShapeLayer& layer : shape.layers) {
      for (const LineStyle& line : layer.lines) margin = std::max(margin, LineHalfWidth(line, m) + 1);
    }
    return maxX + margin >= 0 && minX - margin <= target_.width && maxY + margin >= 0 &&
           minY - margin <= target_.height;
  }

  static double LineHalfWidth(const LineStyle& line, const Matrix& m) {
    const double scale = std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
    const double width = line.widthTwips * scale;
    return std::isfinite(width) ? std::max(width, 1.0) / 2 : 0.5;
  }

  void PaintFills(const ShapeLayer& layer, const Matrix& m, const ColorTransform& colors) {
    const auto& edges = layer.fillEdges;
    for (std::size_t begin = 0; begin < edges.size();) {
      const std::uint16_t style = edges[begin].style;
      std::size_t end = begin;
      rasterizer_.Begin(target_.width, target_.height);
      for (; end < edges.size() && edges[end].style == style; ++end) AddSegment(edges[end].segment, m);
      const std::optional<Rgba>& fill = layer.fills[style];
      if (fill) {
        rasterizer_.Fill(target_, colors.Apply(*fill), FillRule::EvenOdd);
      } else {
        rasterizer_.Begin(target_.width, target_.height);
      }
      begin = end;
    }
  }

  void AddSegment(const Segment& segment, const Matrix& m) {
    const Vec2 from = Transform(m, segment.from);
    const Vec2 to = Transform(m, segment.to);
    if (segment.curved) {
      rasterizer_.Quad(from, Transform(m, segment.control), to);
    } else {
      rasterizer_.Line(from, to);
    }
  }

  void PaintLines(const ShapeLayer& layer, const Matrix& m, const ColorTransform& colors) {
    const auto& edges = layer.lineEdges;
    for (std::size_t begin = 0; begin < edges.size();) {
      const std::uint16_t style = edges[begin].style;
      const double halfWidth = LineHalfWidth(layer.lines[style], m);
      std::size_t end = begin;
      rasterizer_.Begin(target_.width, target_.height);
      for (; end < edges.size() && edges[end].style == style; ++end) StrokeSegment(edges[end].segment, m, halfWidth);
      rasterizer_.Fill(target_, colors.Apply(layer.lines[style].color), FillRule::NonZero);
      begin = end;
    }
  }

  void StrokeSegment(const Segment& segment, const Matrix& m, double halfWidth) {
    const Vec2 from = Transform(m, segment.from);
    const Vec2 to = Transform(m, segment.to);
    if (!segment.curved) {
      StrokeLine(from, to, halfWidth);
      return;
    }
    const Vec2 control = Transform(m, segment.control);
    const double ddx = from.x - 2 * control.x + to.x;
    const double ddy = from.y - 2 * control.y + to.y;
    const double deviation = std::sqrt(ddx * ddx + ddy * ddy);
    const int pieces =
        std::isfinite(deviation) ? std::clamp(static_cast<int>(std::sqrt(std::min(deviation, 1e6))), 1, 32) : 1;
    // The pieces of a flattened curve meet at angles too small to leave a
    // gap: only the curve's own ends get round caps.
    Vec2 previous = from;
    for (int i = 1; i <= pieces; ++i) {
      const double t = static_cast<double>(i) / pieces;
      const Vec2 point = QuadraticPoint(from, control, to, t);
      StrokeBody(previous, point, halfWidth);
      previous = point;
    }
    Cap(from, halfWidth);
    Cap(to, halfWidth);
  }

  // A line as a rectangle with round-ish (octagonal) ends, all drawn the same
  // way round so that overlaps fill once under the non-zero rule.
  void StrokeLine(Vec2 from, Vec2 to, double halfWidth) {
    StrokeBody(from, to, halfWidth);
    Cap(from, halfWidth);
    Cap(to, halfWidth);
  }

  void StrokeBody(Vec2 from, Vec2 to, double halfWidth) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (!std::isfinite(length) || length == 0) return;
    const double top = std::min(from.y, to.y) - halfWidth, bottom = std::max(from.y, to.y) + halfWidth;
    if (bottom < 0 || top > target_.height) return;
    const double nx = -dy / length * halfWidth, ny = dx / length * halfWidth;
    const Vec2 corners[] = {
        {from.x + nx, from.y + ny}, {to.x + nx, to.y + ny}, {to.x - nx, to.y - ny}, {from.x - nx, from.y - ny}};
    for (int i = 0; i < 4; ++i) rasterizer_.Line(corners[i], corners[(i + 1) % 4]);
  }

  void Cap(Vec2 centre, double radius) {
    if (centre.y + radius < 0 || centre.y - radius > target_.height) return;
    constexpr int kSides = 8;
    Vec2 points[kSides];
    for (int i = 0; i < kSides; ++i) {
      const double angle = -2 * std::numbers::pi * i / kSides;
      points[i] = {centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
    }
    for (int i = 0; i < kSides; ++i) rasterizer_.Line(points[i], points[(i + 1) % kSides]);
  }

  const Surface& target_;
  Rasterizer& rasterizer_;
};

void PaintList(const Stage& stage, const DisplayList& list, const Matrix& m, const ColorTransform& colors,
               ShapePainter& painter, int nesting) {
  if (nesting > kMaxRenderNesting) return;
  for (const auto& [depth, object] : list) {
    // Masks are not drawn (and, in this player, do not mask either).
    if (object.placement.clipDepth || !object.placement.visible) continue;
    const Matrix objectMatrix = m.Then(object.placement.matrix);
    const ColorTransform objectColors = colors.Then(object.placement.colorTransform);
    if (object.shape) painter.Paint(*object.shape, objectMatrix, objectColors);
    if (object.sprite) {
      // What a clip's drawing methods made lies beneath its children.
      if (const auto drawn = object.sprite->drawing.GetShape()) painter.Paint(*drawn, objectMatrix, objectColors);
      PaintList(stage, object.sprite->displayList, objectMatrix, objectColors, painter, nesting + 1);
    }
  }
}

}  // namespace

void RenderStage(const Stage& stage, const Surface& target, ScaleMode scale, Rasterizer& rasterizer) {
  const Movie& movie = stage.GetMovie();
  FillSurface(target, movie.background.value_or(Rgba{255, 255, 255, 255}));
  if (target.pixels == nullptr || target.width <= 0 || target.height <= 0) return;
  const std::optional<Matrix> toSurface = StageToSurface(movie, target.width, target.height, scale);
  if (!toSurface) return;
  ShapePainter painter(target, rasterizer);
  if (const auto drawn = stage.Root().drawing.GetShape()) painter.Paint(*drawn, *toSurface, ColorTransform{});
  PaintList(stage, stage.Root().displayList, *toSurface, ColorTransform{}, painter, 0);
}

}  // namespace swf
