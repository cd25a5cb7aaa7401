// Morph shapes drawn at a ratio: every edge, fill and line mixed between its
// start and its end.

#include <algorithm>

#include "swf_movie.h"

namespace swf {

namespace {

double Mix(double start, double end, double t) { return start + (end - start) * t; }

std::uint8_t MixChannel(std::uint8_t start, std::uint8_t end, double t) {
  return static_cast<std::uint8_t>(std::clamp(Mix(start, end, t) + 0.5, 0.0, 255.0));
}

Rgba MixColor(Rgba start, Rgba end, double t) {
  return Rgba{MixChannel(start.r, end.r, t), MixChannel(start.g, end.g, t), MixChannel(start.b, end.b, t),
              MixChannel(start.a, end.a, t)};
}

Point MixPoint(Point start, Point end, double t) { return {Mix(start.x, end.x, t), Mix(start.y, end.y, t)}; }

Matrix MixMatrix(const Matrix& s, const Matrix& e, double t) {
  return Matrix{Mix(s.a, e.a, t), Mix(s.b, e.b, t),   Mix(s.c, e.c, t),
                Mix(s.d, e.d, t), Mix(s.tx, e.tx, t), Mix(s.ty, e.ty, t)};
}

// A straight edge as the curve it equals, so it can mix with a curved one.
Point ControlOf(const Segment& segment) {
  if (segment.curved) return segment.control;
  return {(segment.from.x + segment.to.x) / 2, (segment.from.y + segment.to.y) / 2};
}

Segment MixSegment(const Segment& start, const Segment& end, double t) {
  Segment mixed;
  mixed.from = MixPoint(start.from, end.from, t);
  mixed.to = MixPoint(start.to, end.to, t);
  mixed.curved = start.curved || end.curved;
  mixed.control = mixed.curved ? MixPoint(ControlOf(start), ControlOf(end), t) : mixed.to;
  return mixed;
}

Gradient MixGradient(const Gradient& start, const Gradient& end, double t) {
  Gradient mixed = start;
  mixed.matrix = MixMatrix(start.matrix, end.matrix, t);
  mixed.focal = Mix(start.focal, end.focal, t);
  for (std::size_t i = 0; i < mixed.stops.size() && i < end.stops.size(); ++i) {
    mixed.stops[i].ratio = MixChannel(start.stops[i].ratio, end.stops[i].ratio, t);
    mixed.stops[i].color = MixColor(start.stops[i].color, end.stops[i].color, t);
  }
  return mixed;
}

FillStyle MixFill(const MorphFill& fill, double t) {
  if (fill.start.index() != fill.end.index()) return fill.start;
  if (const auto* color = std::get_if<Rgba>(&fill.start)) return MixColor(*color, std::get<Rgba>(fill.end), t);
  if (const auto* gradient = std::get_if<Gradient>(&fill.start)) {
    return MixGradient(*gradient, std::get<Gradient>(fill.end), t);
  }
  BitmapFill bitmap = std::get<BitmapFill>(fill.start);
  bitmap.matrix = MixMatrix(bitmap.matrix, std::get<BitmapFill>(fill.end).matrix, t);
  return bitmap;
}

// Caps, join and flags are the start's (both ends carry the same); width,
// colour and a fill mix.
LineStyle MixLine(const MorphLine& line, double t) {
  LineStyle mixed = line.start;
  mixed.widthTwips = static_cast<std::uint16_t>(Mix(line.start.widthTwips, line.end.widthTwips, t));
  mixed.color = MixColor(line.start.color, line.end.color, t);
  if (line.start.fill && line.end.fill) {
    mixed.fill = std::make_shared<const FillStyle>(MixFill(MorphFill{*line.start.fill, *line.end.fill}, t));
  }
  return mixed;
}

void SortByStyle(std::vector<StyledSegment>& edges) {
  std::stable_sort(edges.begin(), edges.end(),
                   [](const StyledSegment& l, const StyledSegment& r) { return l.style < r.style; });
}

}  // namespace

std::shared_ptr<const Shape> MorphShapeAt(const Shape& character, std::uint16_t ratio) {
  auto shape = std::make_shared<Shape>();
  shape->declaredMinX = character.declaredMinX;
  shape->declaredMinY = character.declaredMinY;
  shape->declaredMaxX = character.declaredMaxX;
  shape->declaredMaxY = character.declaredMaxY;
  shape->morph = character.morph;
  if (!character.morph) return shape;
  const MorphShape& morph = *character.morph;
  const double t = ratio / 65535.0;
  ShapeLayer layer;
  for (const MorphFill& fill : morph.fills) layer.fills.push_back(MixFill(fill, t));
  for (const MorphLine& line : morph.lines) layer.lines.push_back(MixLine(line, t));
  for (const MorphEdge& edge : morph.edges) {
    const Segment segment = MixSegment(edge.start, edge.end, t);
    bool used = false;
    // As in a shape: fill 1 on the right of travel, fill 0 on the left.
    if (edge.fill0 >= 1 && edge.fill0 <= layer.fills.size()) {
      layer.fillEdges.push_back({static_cast<std::uint16_t>(edge.fill0 - 1),
                                 Segment{segment.to, segment.control, segment.from, segment.curved}});
      used = true;
    }
    if (edge.fill1 >= 1 && edge.fill1 <= layer.fills.size()) {
      layer.fillEdges.push_back({static_cast<std::uint16_t>(edge.fill1 - 1), segment});
      used = true;
    }
    if (edge.line >= 1 && edge.line <= layer.lines.size()) {
      layer.lineEdges.push_back({static_cast<std::uint16_t>(edge.line - 1), segment});
      used = true;
    }
    if (used) GrowBounds(*shape, segment);
  }
  SortByStyle(layer.fillEdges);
  SortByStyle(layer.lineEdges);
  if (!layer.fillEdges.empty() || !layer.lineEdges.empty()) shape->layers.push_back(std::move(layer));
  return shape;
}

}  // namespace swf
