#include "drawing.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace swf {

namespace {

constexpr double kTwips = 20;

Point Twips(double x, double y) { return {std::round(x * kTwips), std::round(y * kTwips)}; }

}  // namespace

ShapeLayer& Drawing::Layer() {
  if (shape_.layers.empty()) shape_.layers.emplace_back();
  return shape_.layers.back();
}

void Drawing::Grow(Point point, double halfLine) {
  const bool empty = shape_.minX > shape_.maxX;
  const double left = point.x - halfLine, right = point.x + halfLine;
  const double top = point.y - halfLine, bottom = point.y + halfLine;
  if (empty) {
    shape_.minX = shape_.declaredMinX = left;
    shape_.maxX = shape_.declaredMaxX = right;
    shape_.minY = shape_.declaredMinY = top;
    shape_.maxY = shape_.declaredMaxY = bottom;
    return;
  }
  shape_.minX = std::min(shape_.minX, left);
  shape_.maxX = std::max(shape_.maxX, right);
  shape_.minY = std::min(shape_.minY, top);
  shape_.maxY = std::max(shape_.maxY, bottom);
  shape_.declaredMinX = shape_.minX;
  shape_.declaredMaxX = shape_.maxX;
  shape_.declaredMinY = shape_.minY;
  shape_.declaredMaxY = shape_.maxY;
}

void Drawing::AddEdge(const Segment& segment) {
  if (edges_ >= kMaxDrawnEdges || (!filling_ && !line_)) return;
  ++edges_;
  cached_.reset();
  ShapeLayer& layer = Layer();
  const double halfLine = line_ ? layer.lines[*line_].widthTwips / 2.0 : 0;
  if (filling_) layer.fillEdges.push_back({0, segment});
  if (line_) layer.lineEdges.push_back({*line_, segment});
  Grow(segment.from, halfLine);
  Grow(segment.to, halfLine);
  if (segment.curved) Grow(segment.control, halfLine);
}

// A fill's outline always closes: back to where its path started, along a
// line drawn in the line style of the moment.
void Drawing::CloseFill() {
  if (!filling_ || (pen_.x == subpathStart_.x && pen_.y == subpathStart_.y)) return;
  AddEdge(Segment{pen_, {}, subpathStart_, false});
}

void Drawing::MoveTo(double x, double y) {
  CloseFill();
  pen_ = subpathStart_ = Twips(x, y);
}

void Drawing::LineTo(double x, double y) {
  const Point to = Twips(x, y);
  AddEdge(Segment{pen_, {}, to, false});
  pen_ = to;
}

void Drawing::CurveTo(double controlX, double controlY, double x, double y) {
  const Point to = Twips(x, y);
  AddEdge(Segment{pen_, Twips(controlX, controlY), to, true});
  pen_ = to;
}

void Drawing::BeginFill(FillStyle fill) {
  EndFill();
  ShapeLayer layer;
  layer.fills.push_back(std::move(fill));
  // The line style carries over into the new layer.
  if (line_ && !shape_.layers.empty()) {
    layer.lines.push_back(shape_.layers.back().lines[*line_]);
    line_ = 0;
  }
  shape_.layers.push_back(std::move(layer));
  filling_ = true;
  subpathStart_ = pen_;
  cached_.reset();
}

void Drawing::EndFill() {
  CloseFill();
  filling_ = false;
}

void Drawing::SetLineStyle(std::optional<LineStyle> style) {
  if (!style) {
    line_.reset();
    return;
  }
  ShapeLayer& layer = Layer();
  if (layer.lines.size() >= 0xFFFF) return;
  layer.lines.push_back(*style);
  line_ = static_cast<std::uint16_t>(layer.lines.size() - 1);
  cached_.reset();
}

void Drawing::SetLineGradient(const Gradient& gradient) {
  if (!line_) return;
  ShapeLayer& layer = Layer();
  if (layer.lines.size() >= 0xFFFF) return;
  // A style of its own: the edges drawn so far keep the old one.
  LineStyle style = layer.lines[*line_];
  style.fill = std::make_shared<const FillStyle>(gradient);
  layer.lines.push_back(std::move(style));
  line_ = static_cast<std::uint16_t>(layer.lines.size() - 1);
  cached_.reset();
}

void Drawing::Clear() { *this = Drawing{}; }

void Drawing::BeginBitmapFill(std::shared_ptr<const LiveBitmap> bitmap, const Matrix& matrix, bool repeat,
                              bool smooth) {
  if (!bitmap) return;
  BeginFill(BitmapFill{BitmapFromPixels(*bitmap), matrix, repeat, smooth});
  const std::uint64_t version = bitmap->version;
  liveFills_.push_back(LiveFill{shape_.layers.size() - 1, std::move(bitmap), version});
}

bool Drawing::RefreshBitmaps() {
  bool changed = false;
  for (LiveFill& fill : liveFills_) {
    if (fill.version == fill.bitmap->version) continue;
    fill.version = fill.bitmap->version;
    auto* style = std::get_if<BitmapFill>(&shape_.layers[fill.layer].fills.front());
    if (style) style->bitmap = BitmapFromPixels(*fill.bitmap);
    changed = true;
  }
  if (changed) cached_.reset();
  return changed;
}

std::shared_ptr<const Bitmap> BitmapFromPixels(const LiveBitmap& live) {
  if (!live.pixels) return nullptr;
  auto bitmap = std::make_shared<Bitmap>();
  bitmap->width = live.pixels->Width();
  bitmap->height = live.pixels->Height();
  bitmap->pixels = live.pixels->Premultiplied();
  bitmap->opaque = !live.pixels->Transparent();
  return bitmap;
}

std::shared_ptr<const Shape> Drawing::GetShape() const {
  if (edges_ == 0) return nullptr;
  if (!cached_) {
    Shape sorted = shape_;
    // A fill still open shows closed (its line is drawn once it closes).
    if (filling_ && !sorted.layers.empty() && (pen_.x != subpathStart_.x || pen_.y != subpathStart_.y)) {
      sorted.layers.back().fillEdges.push_back({0, Segment{pen_, {}, subpathStart_, false}});
    }
    // The renderer reads each layer's edges grouped by style.
    for (ShapeLayer& layer : sorted.layers) {
      std::stable_sort(layer.lineEdges.begin(), layer.lineEdges.end(),
                       [](const StyledSegment& a, const StyledSegment& b) { return a.style < b.style; });
    }
    cached_ = std::make_shared<const Shape>(std::move(sorted));
  }
  return cached_;
}

namespace {

double NumberAt(std::span<const double> numbers, std::size_t i, double fallback) {
  return i < numbers.size() && std::isfinite(numbers[i]) ? numbers[i] : fallback;
}

Rgba ScriptColor(double rgb, double alphaPercent) {
  const auto value = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::clamp(rgb, -4294967296.0, 4294967296.0)));
  const double percent = std::clamp(alphaPercent, 0.0, 100.0);
  return Rgba{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(std::lround(percent * 2.55))};
}

}  // namespace

LineStyle ScriptLineStyle(std::span<const double> numbers) {
  LineStyle line;
  // Widths are whole pixels up to 255; 0 is a hairline.
  const double width = std::clamp(std::round(NumberAt(numbers, 0, 0)), 0.0, 255.0);
  line.widthTwips = static_cast<std::uint16_t>(width * kTwips);
  line.color = ScriptColor(NumberAt(numbers, 1, 0), NumberAt(numbers, 2, 100));
  const int scaling = static_cast<int>(NumberAt(numbers, 4, 0));
  line.noHScale = scaling == 1 || scaling == 3;
  line.noVScale = scaling == 1 || scaling == 2;
  const int cap = static_cast<int>(NumberAt(numbers, 5, 0));
  line.startCap = line.endCap = cap == 1 ? LineCap::None : cap == 2 ? LineCap::Square : LineCap::Round;
  const int join = static_cast<int>(NumberAt(numbers, 6, 0));
  line.join = join == 1 ? LineJoin::Bevel : join == 2 ? LineJoin::Miter : LineJoin::Round;
  line.miterLimit = std::clamp(NumberAt(numbers, 7, 3), 1.0, 255.0);
  return line;
}

std::optional<Gradient> ScriptGradient(std::span<const double> numbers) {
  constexpr std::size_t kStopsStart = 10;
  constexpr std::size_t kMaxStops = 15;
  if (numbers.size() < kStopsStart + 3) return std::nullopt;
  Gradient gradient;
  const double focal = std::clamp(NumberAt(numbers, 3, 0), -1.0, 1.0);
  if (NumberAt(numbers, 0, 0) == 1) gradient.kind = focal != 0 ? GradientKind::FocalRadial : GradientKind::Radial;
  gradient.focal = focal;
  const int spread = static_cast<int>(NumberAt(numbers, 1, 0));
  gradient.spread = spread == 1 ? GradientSpread::Reflect : spread == 2 ? GradientSpread::Repeat : GradientSpread::Pad;
  gradient.linearRgb = NumberAt(numbers, 2, 0) == 1;
  gradient.matrix = Matrix{NumberAt(numbers, 4, 1),          NumberAt(numbers, 5, 0),
                           NumberAt(numbers, 6, 0),          NumberAt(numbers, 7, 1),
                           NumberAt(numbers, 8, 0) * kTwips, NumberAt(numbers, 9, 0) * kTwips};
  int lastRatio = 0;
  for (std::size_t i = kStopsStart; i + 3 <= numbers.size() && gradient.stops.size() < kMaxStops; i += 3) {
    // Ratios only rise: one below the last stop's sits with it.
    const int ratio = std::max(lastRatio, static_cast<int>(std::clamp(std::round(NumberAt(numbers, i + 2, 0)), 0.0, 255.0)));
    gradient.stops.push_back(GradientStop{static_cast<std::uint8_t>(ratio),
                                          ScriptColor(NumberAt(numbers, i, 0), NumberAt(numbers, i + 1, 100))});
    lastRatio = ratio;
  }
  return gradient;
}

}  // namespace swf
