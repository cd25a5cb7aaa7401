#include "scroll_rect.h"

#include <algorithm>

namespace swf {

ScrollRect MakeScrollRect(double x, double y, double width, double height) {
  ScrollRect rect{x, y, std::max(width, 0.0), std::max(height, 0.0), nullptr};
  auto shape = std::make_shared<Shape>();
  ShapeLayer layer;
  layer.fills.emplace_back(Rgba{0, 0, 0, 255});
  const Point corners[] = {{0, 0}, {rect.width, 0}, {rect.width, rect.height}, {0, rect.height}};
  for (std::size_t i = 0; i < 4; ++i) {
    const Segment edge{corners[i], corners[i], corners[(i + 1) % 4], false};
    layer.fillEdges.push_back({0, edge});
    GrowBounds(*shape, edge);
  }
  shape->layers.push_back(std::move(layer));
  shape->declaredMaxX = rect.width;
  shape->declaredMaxY = rect.height;
  rect.outline = std::move(shape);
  return rect;
}

bool ScrollRectCutsPoint(const std::optional<ScrollRect>& rect, const Matrix& contentToStage, double x, double y) {
  if (!rect) return false;
  // A window scaled to nothing shows no point.
  if (contentToStage.a * contentToStage.d - contentToStage.b * contentToStage.c == 0) return true;
  return !ScrollRectShows(*rect, Apply(Inverse(contentToStage), x, y));
}

}  // namespace swf
