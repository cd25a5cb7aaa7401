#pragma once
// The shape a clip's drawing methods build (moveTo, lineTo, curveTo,
// beginFill, endFill, lineStyle, clear): a Shape the renderer draws beneath
// the clip's children, with the bounds scripts measure.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "bitmap_pixels.h"
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
  // The current line is painted with a gradient from now on (lineGradientStyle).
  void SetLineGradient(const Gradient& gradient);
  void Clear();
  // A fill with a script bitmap (beginBitmapFill), `matrix` mapping its
  // pixels onto the clip's twips. The fill follows the bitmap's pixels as they
  // change (see RefreshBitmaps); a disposed bitmap fills nothing.
  void BeginBitmapFill(std::shared_ptr<const LiveBitmap> bitmap, const Matrix& matrix, bool repeat, bool smooth);
  // Brings the bitmap fills up to their bitmaps' pixels; true when one changed.
  bool RefreshBitmaps();

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
  struct LiveFill {
    std::size_t layer;  // the fill is the layer's first
    std::shared_ptr<const LiveBitmap> bitmap;
    std::uint64_t version;
  };
  std::vector<LiveFill> liveFills_;
};

// The pixels of a script bitmap as drawing takes them (null once disposed).
[[nodiscard]] std::shared_ptr<const Bitmap> BitmapFromPixels(const LiveBitmap& live);

// Scripts hand styles over as numbers. A line style: width in pixels, RGB,
// alpha in percent, pixel hinting, scaling (0 normal, 1 none, 2 not
// vertically, 3 not horizontally), caps (0 round, 1 none, 2 square), joins
// (0 round, 1 bevel, 2 miter) and miter limit; missing ones keep their defaults.
[[nodiscard]] LineStyle ScriptLineStyle(std::span<const double> numbers);
// A gradient: kind (0 linear, 1 radial), spread (0 pad, 1 reflect, 2 repeat),
// linear-light mixing (0 or 1), focal point ratio, the matrix's a, b, c, d
// (scale of the gradient square) and tx, ty (pixels), then colour, alpha
// (percent) and ratio (0..255) for each stop. Nullopt without a stop.
[[nodiscard]] std::optional<Gradient> ScriptGradient(std::span<const double> numbers);

}  // namespace swf
