#pragma once
// The shape a clip's drawing methods build (moveTo, lineTo, curveTo,
// beginFill, endFill, lineStyle, clear): a Shape the renderer draws beneath
// the clip's children, with the bounds scripts measure.

#include <cstddef>
#include <memory>
#include <optional>

#include "swf_movie.h"

namespace swf {

// Edges one clip's drawing may hold; past this, more lines and curves are dropped.
inline constexpr std::size_t kMaxDrawnEdges = 65536;

class Drawing {
 public:
  // Coordinates in pixels, as scripts give them.
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void CurveTo(double controlX, double controlY, double x, double y);
  // A solid colour, or a gradient (beginGradientFill) whose matrix maps the
  // gradient square onto the clip's twips.
  void BeginFill(FillStyle fill);
  void EndFill();
  // No style: lines stop being drawn.
  void SetLineStyle(std::optional<LineStyle> style);
  void Clear();

  // The shape so far (null when nothing was drawn); shared with the renderer
  // until the next change.
  [[nodiscard]] std::shared_ptr<const Shape> GetShape() const;
  [[nodiscard]] bool IsEmpty() const { return edges_ == 0; }

 private:
  ShapeLayer& Layer();
  void AddEdge(const Segment& segment);
  void CloseFill();
  void Grow(Point point, double halfLine);

  Shape shape_;
  std::size_t edges_ = 0;
  Point pen_, subpathStart_;
  bool filling_ = false;
  std::optional<std::uint16_t> line_;  // index in the current layer's lines
  mutable std::shared_ptr<const Shape> cached_;
};

}  // namespace swf
