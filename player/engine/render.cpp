#include "render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "stroke.h"

namespace swf {

std::optional<Matrix> StageToSurface(const Movie& movie, int width, int height, ScaleMode scale,
                                     const StageAlignment& align) {
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
  // The room the movie leaves (or, negative, what it hangs over) goes to the
  // side it is not aligned to, or half to each side.
  const auto offset = [](double room, bool start, bool end) { return start ? 0 : end ? room : room / 2; };
  const double offsetX = offset(width - movieWidth * sx, align.left, align.right);
  const double offsetY = offset(height - movieHeight * sy, align.top, align.bottom);
  Matrix m;
  m.a = sx / 20;
  m.d = sy / 20;
  m.tx = offsetX - movie.minXTwips * m.a;
  m.ty = offsetY - movie.minYTwips * m.d;
  return m;
}

namespace {

constexpr int kMaxRenderNesting = kMaxSpriteNesting + 1;
constexpr Rgba kWhite{255, 255, 255, 255};

Vec2 Transform(const Matrix& m, const Point& p) { return {m.a * p.x + m.c * p.y + m.tx, m.b * p.x + m.d * p.y + m.ty}; }

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
  return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return PixelRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                   std::max(a.bottom, b.bottom)};
}

// Every pixel the shape can touch through `m`: its edges' bounds (curves stay
// within their control points), widened by its widest line and a pixel of
// anti-aliasing, cut to the surface. The whole surface when the numbers are
// out of range.
PixelRect ShapeBounds(const Shape& shape, const Matrix& m, Vec2 stageScale, int width, int height) {
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
    for (const LineStyle& line : layer.lines) {
      margin = std::max(margin, LineHalfWidth(line, m, stageScale) * LineReach(line) + 1);
    }
  }
  const PixelRect surface{0, 0, width, height};
  if (std::isnan(minX) || std::isnan(maxX) || std::isnan(minY) || std::isnan(maxY) || std::isnan(margin)) {
    return surface;
  }
  // Far outside the surface is as good as just outside, and fits an int.
  const auto pixel = [](double v) { return static_cast<int>(std::clamp(v, -1e7, 1e7)); };
  const PixelRect bounds{pixel(std::floor(minX - margin)), pixel(std::floor(minY - margin)),
                         pixel(std::ceil(maxX + margin)) + 1, pixel(std::ceil(maxY + margin)) + 1};
  return Intersection(bounds, surface);
}

BitmapFill Smoothed(BitmapFill fill) {
  fill.smooth = true;
  return fill;
}

class ShapePainter {
 public:
  ShapePainter(const Surface& target, Rasterizer& rasterizer, Vec2 stageScale, bool smoothBitmaps = false)
      : target_(target), rasterizer_(rasterizer), stageScale_(stageScale), smoothBitmaps_(smoothBitmaps) {}

  // Draws the shape's pixels that lie in `clip`; the others stay as they are.
  // With `mask` set, adds what the shape covers there to the mask instead.
  // With `within`, only the pixels of `clip` that lie in it.
  void Paint(const Shape& shape, const Matrix& m, const ColorTransform& colors, const PixelRect& clip,
             CoverageMask* mask = nullptr, const RowBands* within = nullptr) {
    clip_ = clip;
    mask_ = mask;
    within_ = within;
    if (shape.minX > shape.maxX || clip_.Empty()) return;
    for (const ShapeLayer& layer : shape.layers) {
      PaintFills(layer, m, colors);
      PaintLines(layer, m, colors);
    }
  }

 private:
  void FillPath(const FillStyle& fill, const Matrix& m, const ColorTransform& colors, FillRule rule) {
    if (mask_ != nullptr) {
      rasterizer_.FillMask(*mask_, rule);
    } else if (const auto* color = std::get_if<Rgba>(&fill)) {
      rasterizer_.Fill(target_, colors.Apply(*color), rule);
    } else if (const auto* gradient = std::get_if<Gradient>(&fill)) {
      rasterizer_.Fill(target_, GradientPaint(*gradient, m, colors), rule);
    } else if (const auto* bitmap = std::get_if<BitmapFill>(&fill); bitmap && bitmap->bitmap) {
      rasterizer_.Fill(target_, BitmapPaint(smoothBitmaps_ ? Smoothed(*bitmap) : *bitmap, m, colors), rule);
    } else {
      rasterizer_.Begin(clip_, within_);  // nothing to draw with: drop the path
    }
  }

  void PaintFills(const ShapeLayer& layer, const Matrix& m, const ColorTransform& colors) {
    const auto& edges = layer.fillEdges;
    for (std::size_t begin = 0; begin < edges.size();) {
      const std::uint16_t style = edges[begin].style;
      std::size_t end = begin;
      rasterizer_.Begin(clip_, within_);
      for (; end < edges.size() && edges[end].style == style; ++end) AddSegment(edges[end].segment, m);
      FillPath(layer.fills[style], m, colors, FillRule::EvenOdd);
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
      const LineStyle& line = layer.lines[style];
      std::size_t end = begin;
      rasterizer_.Begin(clip_, within_);
      Stroker stroker(rasterizer_, line, LineHalfWidth(line, m, stageScale_), clip_);
      for (; end < edges.size() && edges[end].style == style; ++end) stroker.Add(edges[end].segment, m);
      stroker.Finish();
      // A line painted with a gradient or bitmap fills its outline with it.
      FillPath(line.fill ? *line.fill : FillStyle{line.color}, m, colors, FillRule::NonZero);
      begin = end;
    }
  }

  const Surface& target_;
  Rasterizer& rasterizer_;
  Vec2 stageScale_;
  bool smoothBitmaps_ = false;
  PixelRect clip_;
  CoverageMask* mask_ = nullptr;
  const RowBands* within_ = nullptr;
};

// Path elements below the lowest depth a display object can have: what a
// clip's drawing methods made lies beneath its children, and a mask's shapes
// and the point where it starts masking come right after the mask itself.
constexpr int kDrawingDepth = std::numeric_limits<int>::min();
constexpr int kMaskShapesDepth = kDrawingDepth + 1;
constexpr int kMaskApplyDepth = kDrawingDepth + 2;
// A layered object's LayerBegin, and everything it draws after it.
constexpr int kLayerBeginDepth = kDrawingDepth + 3;
constexpr int kLayerContentDepth = kDrawingDepth + 4;
// A scrolled clip's mask (begin, rectangle, apply) and its content.
constexpr int kScrollBeginDepth = kDrawingDepth + 5;
constexpr int kScrollShapeDepth = kDrawingDepth + 6;
constexpr int kScrollApplyDepth = kDrawingDepth + 7;
constexpr int kScrollContentDepth = kDrawingDepth + 8;
// After everything at a depth, for where a mask stops masking.
constexpr int kMaskEndDepth = std::numeric_limits<int>::max();

void AddPath(DrawList& out, DrawItem item) {
  item.pathBegin = static_cast<std::uint32_t>(out.depths.size());
  item.pathLength = static_cast<std::uint32_t>(out.path.size());
  out.items.push_back(std::move(item));
  out.depths.insert(out.depths.end(), out.path.begin(), out.path.end());
}

void AddItem(DrawList& out, DrawKind kind, const DisplayObject* object, std::uint64_t look, const Shape* shape,
             std::shared_ptr<const Shape> drawn, const Matrix& matrix, const ColorTransform& colors, int width,
             int height) {
  if (shape->minX > shape->maxX) return;
  const PixelRect bounds = ShapeBounds(*shape, matrix, out.stageScale, width, height);
  if (bounds.Empty()) return;
  DrawItem item;
  item.kind = kind;
  item.object = object;
  item.look = look;
  item.shape = shape;
  item.drawn = std::move(drawn);
  item.matrix = matrix;
  item.colors = colors;
  item.bounds = bounds;
  AddPath(out, std::move(item));
}

// What `object` and its children paint: as Paint items, or inside a mask as
// MaskShape items (masks within a mask only add their shapes to it).
void CollectObject(const DisplayObject& object, DrawKind kind, const Matrix& m, const ColorTransform& colors, int width,
                   int height, DrawList& out, int nesting);

// The masks open while a display list is walked.
struct OpenMask {
  std::size_t begin = 0;  // index of its MaskBegin item
  int clipDepth = 0;
};

// Ends the innermost open mask: its MaskEnd, and its MaskBegin learns where
// the items it masks can paint. Paths of the ends closed together rise with
// each one.
void CloseMask(DrawList& out, std::vector<OpenMask>& open, int& lastEndDepth) {
  const OpenMask mask = open.back();
  open.pop_back();
  PixelRect masked;
  for (std::size_t i = mask.begin + 1; i < out.items.size(); ++i) {
    const DrawItem& item = out.items[i];
    if (item.kind == DrawKind::Paint || item.kind == DrawKind::MaskBegin) masked = Union(masked, item.bounds);
  }
  out.items[mask.begin].bounds = masked;
  out.items[mask.begin].maskEnd = static_cast<std::uint32_t>(out.items.size());
  lastEndDepth = std::max(lastEndDepth, mask.clipDepth);
  out.path.push_back(lastEndDepth);
  out.path.push_back(kMaskEndDepth);
  out.path.push_back(kMaskEndDepth - static_cast<int>(open.size()));
  DrawItem end;
  end.kind = DrawKind::MaskEnd;
  AddPath(out, std::move(end));
  out.path.resize(out.path.size() - 3);
}

void OpenMaskAt(const DisplayObject& object, const Matrix& m, const ColorTransform& colors, int width, int height,
                DrawList& out, int nesting, std::vector<OpenMask>& open) {
  DrawItem begin;
  begin.kind = DrawKind::MaskBegin;
  begin.object = &object;
  begin.look = object.look;
  begin.clipDepth = *object.placement.clipDepth;
  const std::size_t beginIndex = out.items.size();
  AddPath(out, std::move(begin));
  out.path.push_back(kMaskShapesDepth);
  CollectObject(object, DrawKind::MaskShape, m, colors, width, height, out, nesting);
  out.path.back() = kMaskApplyDepth;
  DrawItem apply;
  apply.kind = DrawKind::MaskApply;
  AddPath(out, std::move(apply));
  out.path.pop_back();
  // A mask whose clip depth lies below its own depth masks nothing.
  open.push_back(OpenMask{beginIndex, std::max(out.path.back(), static_cast<int>(*object.placement.clipDepth))});
}

// Appends the objects of `list` that paint, children after their parent's
// earlier siblings, as the drawing order is.
void CollectList(const DisplayList& list, DrawKind kind, const Matrix& m, const ColorTransform& colors, int width,
                 int height, DrawList& out, int nesting) {
  if (nesting > kMaxRenderNesting) return;
  std::vector<OpenMask> open;
  int lastEndDepth = std::numeric_limits<int>::min();
  for (const auto& [depth, object] : list) {
    while (!open.empty() && open.back().clipDepth < depth) CloseMask(out, open, lastEndDepth);
    const bool masks = object.placement.clipDepth.has_value();
    if (!masks && !object.placement.visible) continue;
    out.path.push_back(depth);
    const Matrix objectMatrix = m.Then(object.placement.matrix);
    const ColorTransform objectColors = colors.Then(object.placement.colorTransform);
    if (masks && kind == DrawKind::Paint) {
      OpenMaskAt(object, objectMatrix, objectColors, width, height, out, nesting, open);
    } else if (!masks || kind == DrawKind::MaskShape) {
      CollectObject(object, kind, objectMatrix, objectColors, width, height, out, nesting);
    }
    out.path.pop_back();
  }
  while (!open.empty()) CloseMask(out, open, lastEndDepth);
}

// Filters draw in the stage's pixels: the surface pixels per stage pixel
// across and down (a clip's own scale leaves their sizes alone).
Vec2 FilterScale(const DrawList& list) { return Vec2{list.stageScale.x * 20, list.stageScale.y * 20}; }

// What filtered items paint spreads as far as the filters reach: their bounds
// (and so the areas redrawn when they change) grow by it, within the surface.
void GrowByFilters(DrawList& out, std::size_t begin, std::span<const Filter> filters, int width, int height) {
  const Vec2 scale = FilterScale(out);
  const FilterReach reach = ReachOf(filters, scale.x, scale.y);
  const PixelRect surface{0, 0, width, height};
  for (std::size_t i = begin; i < out.items.size(); ++i) {
    DrawItem& item = out.items[i];
    if (item.kind != DrawKind::Paint && item.kind != DrawKind::MaskBegin && item.kind != DrawKind::LayerBegin) continue;
    if (item.bounds.Empty()) continue;
    const PixelRect& b = item.bounds;
    item.bounds = Intersection(
        PixelRect{b.left - reach.left, b.top - reach.top, b.right + reach.right, b.bottom + reach.bottom}, surface);
  }
}

// What a layered object draws, between its LayerBegin and LayerEnd.
void CollectContent(const DisplayObject& object, DrawKind kind, const Matrix& m, const ColorTransform& colors,
                    int width, int height, DrawList& out, int nesting);

void CollectObject(const DisplayObject& object, DrawKind kind, const Matrix& m, const ColorTransform& colors, int width,
                   int height, DrawList& out, int nesting) {
  const std::uint8_t blend = object.placement.blendMode;
  const bool blends = blend > BlendMode::kNormal && blend <= BlendMode::kHardLight;
  const bool filtered = object.placement.filters && !object.placement.filters->empty();
  if (kind != DrawKind::Paint || (!blends && !filtered)) {
    CollectContent(object, kind, m, colors, width, height, out, nesting);
    return;
  }
  DrawItem begin;
  begin.kind = DrawKind::LayerBegin;
  begin.object = &object;
  begin.look = object.look;
  begin.blendMode = blends ? blend : BlendMode::kNormal;
  if (filtered) begin.filters = object.placement.filters;
  begin.matrix = m;  // where the object's origin lies: what displacement maps are placed from
  const std::size_t beginIndex = out.items.size();
  const std::size_t depthsBefore = out.depths.size();
  out.path.push_back(kLayerBeginDepth);
  AddPath(out, std::move(begin));
  out.path.back() = kLayerContentDepth;
  CollectContent(object, kind, m, colors, width, height, out, nesting);
  if (filtered) GrowByFilters(out, beginIndex + 1, *object.placement.filters, width, height);
  out.path.back() = kMaskEndDepth;
  PixelRect bounds;
  for (std::size_t i = beginIndex + 1; i < out.items.size(); ++i) {
    const DrawItem& item = out.items[i];
    if (item.kind == DrawKind::Paint || item.kind == DrawKind::MaskBegin || item.kind == DrawKind::LayerBegin) {
      bounds = Union(bounds, item.bounds);
    }
  }
  if (bounds.Empty()) {
    // It draws nothing here: no layer either.
    out.items.resize(beginIndex);
    out.depths.resize(depthsBefore);
    out.path.pop_back();
    return;
  }
  out.items[beginIndex].bounds = bounds;
  out.items[beginIndex].maskEnd = static_cast<std::uint32_t>(out.items.size());
  DrawItem end;
  end.kind = DrawKind::LayerEnd;
  AddPath(out, std::move(end));
  out.path.pop_back();
}

// What an object shows, its scroll rectangle aside.
void CollectShown(const DisplayObject& object, DrawKind kind, const Matrix& m, const ColorTransform& colors, int width,
                  int height, DrawList& out, int nesting);

// Where the items from `begin` on can paint.
PixelRect PaintedBounds(const DrawList& out, std::size_t begin) {
  PixelRect bounds;
  for (std::size_t i = begin; i < out.items.size(); ++i) {
    const DrawItem& item = out.items[i];
    if (item.kind == DrawKind::Paint || item.kind == DrawKind::MaskBegin || item.kind == DrawKind::LayerBegin) {
      bounds = Union(bounds, item.bounds);
    }
  }
  return bounds;
}

// The pixels whose centres a scroll rectangle's window covers, on the
// surface; a turned window gives the rectangle around it.
PixelRect WindowPixels(const ScrollRect& rect, const Matrix& m, int width, int height) {
  const Point corners[] = {Apply(m, 0, 0), Apply(m, rect.width, 0), Apply(m, 0, rect.height),
                           Apply(m, rect.width, rect.height)};
  double left = corners[0].x, right = left, top = corners[0].y, bottom = top;
  for (const Point& p : corners) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  const auto edge = [](double at, int limit) {
    return static_cast<int>(std::clamp(std::ceil(at - 0.5), 0.0, static_cast<double>(limit)));
  };
  return PixelRect{edge(left, width), edge(top, height), edge(right, width), edge(bottom, height)};
}

// A scrolled clip that masks lets through only what its window shows: its
// shapes from `first` on paint no further than the window.
void CutMaskShapesToWindow(DrawList& out, std::size_t first, const PixelRect& window) {
  for (std::size_t i = first; i < out.items.size(); ++i) {
    if (out.items[i].kind == DrawKind::MaskShape) out.items[i].bounds = Intersection(out.items[i].bounds, window);
  }
}

// A clip with a scroll rectangle: its content moved by the rectangle and,
// when painted, masked by it like by a mask of that one rectangle (a mask's
// shapes take no masks, so there it is only moved).
void CollectScrolled(const DisplayObject& object, DrawKind kind, const Matrix& m, const ColorTransform& colors,
                     int width, int height, DrawList& out, int nesting) {
  const ScrollRect& rect = *object.scrollRect;
  const Matrix content = m.Then(ScrollOffset(rect));
  if (kind != DrawKind::Paint) {
    const std::size_t first = out.items.size();
    CollectShown(object, kind, content, colors, width, height, out, nesting);
    CutMaskShapesToWindow(out, first, WindowPixels(rect, m, width, height));
    return;
  }
  const std::size_t beginIndex = out.items.size();
  const std::size_t depthsBefore = out.depths.size();
  DrawItem begin;
  begin.kind = DrawKind::MaskBegin;
  begin.object = &object;
  begin.look = object.look;
  out.path.push_back(kScrollBeginDepth);
  AddPath(out, std::move(begin));
  out.path.back() = kScrollShapeDepth;
  AddItem(out, DrawKind::MaskShape, &object, object.look, rect.outline.get(), rect.outline, m, colors, width, height);
  const PixelRect window = out.items.size() > beginIndex + 1 ? out.items.back().bounds : PixelRect{};
  out.path.back() = kScrollApplyDepth;
  DrawItem apply;
  apply.kind = DrawKind::MaskApply;
  AddPath(out, std::move(apply));
  out.path.back() = kScrollContentDepth;
  const std::size_t contentIndex = out.items.size();
  CollectShown(object, kind, content, colors, width, height, out, nesting);
  const PixelRect bounds = Intersection(PaintedBounds(out, contentIndex), window);
  if (bounds.Empty()) {
    // Nothing shows through the rectangle here.
    out.items.resize(beginIndex);
    out.depths.resize(depthsBefore);
    out.path.pop_back();
    return;
  }
  out.items[beginIndex].bounds = bounds;
  out.items[beginIndex].maskEnd = static_cast<std::uint32_t>(out.items.size());
  out.path.back() = kMaskEndDepth;
  DrawItem end;
  end.kind = DrawKind::MaskEnd;
  AddPath(out, std::move(end));
  out.path.pop_back();
}

void CollectContent(const DisplayObject& object, DrawKind kind, const Matrix& m, const ColorTransform& colors,
                    int width, int height, DrawList& out, int nesting) {
  if (object.scrollRect) {
    CollectScrolled(object, kind, m, colors, width, height, out, nesting);
  } else {
    CollectShown(object, kind, m, colors, width, height, out, nesting);
  }
}

void CollectShown(const DisplayObject& object, DrawKind kind, const Matrix& m, const ColorTransform& colors, int width,
                  int height, DrawList& out, int nesting) {
  if (object.shape) AddItem(out, kind, &object, object.look, object.shape.get(), nullptr, m, colors, width, height);
  if (!object.sprite) return;
  if (object.sprite->text) {
    if (std::shared_ptr<const Shape> picture = object.sprite->text->Picture()) {
      AddItem(out, kind, &object, object.look, picture.get(), picture, m, colors, width, height);
    }
    return;
  }
  // What a clip's drawing methods made lies beneath its children: it sits
  // below every depth a child can have.
  if (auto drawn = object.sprite->drawing.GetShape()) {
    out.path.push_back(kDrawingDepth);
    AddItem(out, kind, &object, object.look, drawn.get(), drawn, m, colors, width, height);
    out.path.pop_back();
  }
  CollectList(object.sprite->displayList, kind, m, colors, width, height, out, nesting + 1);
}

}  // namespace

// Builds masks while the items are painted: one per open mask, each within
// the area being drawn, holding what its own shapes and every enclosing mask
// let through.
class MaskStack {
 public:
  CoverageMask& Push(const PixelRect& area) {
    if (masks_.size() <= depth_) masks_.emplace_back();
    CoverageMask& mask = masks_[depth_++];
    mask.Reset(area);
    return mask;
  }
  // The newest mask starts masking, cut by the one it lies in.
  const CoverageMask& Apply() {
    CoverageMask& mask = masks_[depth_ - 1];
    if (depth_ >= 2) Intersect(mask, masks_[depth_ - 2]);
    return mask;
  }
  // The mask that masks once the newest one ends (null: none).
  const CoverageMask* Pop() {
    --depth_;
    return depth_ == 0 ? nullptr : &masks_[depth_ - 1];
  }
  [[nodiscard]] CoverageMask* Building() { return depth_ == 0 ? nullptr : &masks_[depth_ - 1]; }
  [[nodiscard]] std::size_t Depth() const { return depth_; }
  void Clear() { depth_ = 0; }

 private:
  static void Intersect(CoverageMask& mask, const CoverageMask& outer) {
    const PixelRect& area = mask.area;
    for (int y = area.top; y < area.bottom; ++y) {
      std::uint8_t* row = mask.Row(y);
      const bool rowInside = y >= outer.area.top && y < outer.area.bottom;
      for (int x = area.left; x < area.right; ++x) {
        const bool inside = rowInside && x >= outer.area.left && x < outer.area.right;
        const std::uint32_t through = inside ? outer.Row(y)[x - outer.area.left] : 0;
        std::uint8_t& held = row[x - area.left];
        held = static_cast<std::uint8_t>((held * through + 127) / 255);
      }
    }
  }

  std::vector<CoverageMask> masks_;
  std::size_t depth_ = 0;
};

// The two pictures of each open layer: its items drawn over black and over
// white, whole surfaces so that they share the target's coordinates. From the
// pair each pixel's coverage and premultiplied colour follow: over black the
// colour shows as it is, over white 255 - alpha brighter.
class LayerStack {
 public:
  static constexpr std::size_t kMaxDepth = 4;  // deeper layers draw straight into the one around them
  struct Pair {
    std::vector<std::uint32_t> black, white;
  };
  // Each depth keeps its own pair (and its address while deeper ones are used).
  Pair& At(std::size_t depth, const Surface& like) {
    Pair& pair = pairs_.at(depth);
    const auto size = static_cast<std::size_t>(like.width) * static_cast<std::size_t>(like.height);
    if (pair.black.size() != size) {
      pair.black.assign(size, 0);
      pair.white.assign(size, 0);
    }
    return pair;
  }

 private:
  std::array<Pair, kMaxDepth> pairs_;
};

namespace {

constexpr Rgba kBlack{0, 0, 0, 255};

// Mixes a layer (its black and white pictures) into `target` within `area`
// by its blend mode, weighed by `mask` where one is open. `passBackground` is
// the colour `target` started from when it is itself one picture of a layer
// (alpha and erase change that layer's coverage), else null.
void CompositeLayer(const Surface& target, const PixelRect& area, const std::uint32_t* black,
                    const std::uint32_t* white, int layerStride, std::uint8_t mode, const CoverageMask* mask,
                    const Rgba* passBackground) {
  const bool coverageOnly = mode == BlendMode::kAlpha || mode == BlendMode::kErase;
  if (coverageOnly && passBackground == nullptr) return;  // no layer below to take coverage from
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint32_t* row = target.pixels + static_cast<std::ptrdiff_t>(y) * target.stridePixels;
    const std::ptrdiff_t layerRow = static_cast<std::ptrdiff_t>(y) * layerStride;
    const bool maskRow = mask && y >= mask->area.top && y < mask->area.bottom;
    for (int x = area.left; x < area.right; ++x) {
      float weight = 1;
      if (mask) {
        const bool inside = maskRow && x >= mask->area.left && x < mask->area.right;
        weight = inside ? mask->Row(y)[x - mask->area.left] / 255.0f : 0.0f;
        if (weight == 0) continue;
      }
      const std::uint32_t b = black[layerRow + x], w = white[layerRow + x];
      float light[3], back[3];
      int lightSum = 0;
      for (int c = 0; c < 3; ++c) {
        const int shift = 16 - 8 * c;
        const int dark = static_cast<int>(b >> shift & 0xFFu), bright = static_cast<int>(w >> shift & 0xFFu);
        lightSum += std::clamp(bright - dark, 0, 255);
        light[c] = static_cast<float>(dark) / 255;
        back[c] = static_cast<float>(row[x] >> shift & 0xFFu) / 255;
      }
      const float alpha = (1 - static_cast<float>(lightSum) / (3 * 255)) * weight;
      if (alpha <= 0) continue;
      float out[3];
      for (int c = 0; c < 3; ++c) {
        const float premultiplied = light[c] * weight;
        const float source = std::min(1.0f, premultiplied / alpha);
        switch (mode) {
          case BlendMode::kAdd: out[c] = std::min(1.0f, back[c] + premultiplied); break;
          case BlendMode::kSubtract: out[c] = std::max(0.0f, back[c] - premultiplied); break;
          case BlendMode::kAlpha:
          case BlendMode::kErase: {
            // What the layer below keeps of itself: the layer's coverage, or
            // what it does not cover; the rest shows that layer's background.
            const float keep = mode == BlendMode::kAlpha ? alpha + (1 - weight) : 1 - alpha;
            const float ground = (passBackground ? (c == 0 ? passBackground->r : c == 1 ? passBackground->g
                                                                                        : passBackground->b)
                                                 : 0) /
                                 255.0f;
            out[c] = ground + (back[c] - ground) * std::clamp(keep, 0.0f, 1.0f);
            break;
          }
          default: out[c] = (1 - alpha) * back[c] + alpha * MixBlendChannel(mode, back[c], source); break;
        }
      }
      const auto channel = [](float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f); };
      row[x] = 0xFF000000u | channel(out[0]) << 16 | channel(out[1]) << 8 | channel(out[2]);
    }
  }
}

// Paints the items of a draw list within a clip rectangle: masks as they
// open and close, layers into their own pictures and then into the target.
class ItemPainter {
 public:
  // With `within`, paints only its pixels; the items from `begin` must then be
  // plain paints (no mask or layer: those are built over rectangles).
  ItemPainter(const DrawList& list, Rasterizer& rasterizer, MaskStack& masks, LayerStack& layers,
              const RowBands* within = nullptr)
      : list_(list), rasterizer_(rasterizer), masks_(masks), layers_(layers), within_(within) {}

  void Paint(const Surface& target, const PixelRect& clip, std::size_t begin, std::size_t end) {
    ShapePainter painter(target, rasterizer_, list_.stageScale, list_.smoothBitmaps);
    PixelRect paintable = clip;  // where the innermost open mask can let anything through
    std::vector<PixelRect> outerPaintable;
    for (std::size_t i = begin; i < end; ++i) {
      const DrawItem& item = list_.items[i];
      switch (item.kind) {
        case DrawKind::Paint: {
          const PixelRect itemClip = Intersection(paintable, item.bounds);
          if (itemClip.Empty() || (within_ != nullptr && !within_->Touches(itemClip))) break;
          painter.Paint(*item.shape, item.matrix, item.colors, itemClip, nullptr, within_);
          break;
        }
        case DrawKind::MaskBegin: {
          const PixelRect maskArea = Intersection(paintable, item.bounds);
          if (maskArea.Empty()) {
            i = item.maskEnd;  // nothing it masks shows here
            break;
          }
          masks_.Push(maskArea);
          outerPaintable.push_back(paintable);
          paintable = maskArea;
          break;
        }
        case DrawKind::MaskShape: {
          CoverageMask* building = masks_.Building();
          const PixelRect shapeClip = building ? Intersection(building->area, item.bounds) : PixelRect{};
          if (!shapeClip.Empty()) painter.Paint(*item.shape, item.matrix, item.colors, shapeClip, building);
          break;
        }
        case DrawKind::MaskApply: rasterizer_.SetMask(&masks_.Apply()); break;
        case DrawKind::MaskEnd: {
          // Inside a layer, the masks around the layer weigh it only when it is mixed in.
          const CoverageMask* outer = masks_.Pop();
          rasterizer_.SetMask(masks_.Depth() > maskBase_ ? outer : nullptr);
          paintable = outerPaintable.back();
          outerPaintable.pop_back();
          break;
        }
        case DrawKind::LayerBegin: {
          const PixelRect area = Intersection(paintable, item.bounds);
          if (!area.Empty()) PaintLayer(target, area, item, i + 1, item.maskEnd);
          i = item.maskEnd;
          break;
        }
        case DrawKind::LayerEnd: break;
      }
    }
  }

 private:
  void PaintLayer(const Surface& target, const PixelRect& area, const DrawItem& layer, std::size_t begin,
                  std::size_t end) {
    if (depth_ >= LayerStack::kMaxDepth) {
      Paint(target, area, begin, end);
      return;
    }
    LayerStack::Pair& pair = layers_.At(depth_, target);
    const Surface black{pair.black.data(), target.width, target.height, target.width};
    const Surface white{pair.white.data(), target.width, target.height, target.width};
    // The mask open here weighs the finished layer, not each of its items.
    const CoverageMask* mask = rasterizer_.Mask();
    rasterizer_.SetMask(nullptr);
    const Rgba* outerBackground = background_;
    const std::size_t outerMaskBase = maskBase_;
    maskBase_ = masks_.Depth();
    ++depth_;
    // A filter spreads what lies around the area into it: the layer is
    // drawn that much wider.
    PixelRect drawn = area;
    if (layer.filters) {
      const Vec2 scale = FilterScale(list_);
      const FilterReach reach = ReachOf(*layer.filters, scale.x, scale.y);
      const int across = std::max(reach.left, reach.right), down = std::max(reach.top, reach.bottom);
      drawn = Intersection(PixelRect{area.left - across, area.top - down, area.right + across, area.bottom + down},
                           PixelRect{0, 0, target.width, target.height});
    }
    for (const auto& [surface, ground] : {std::pair{&black, &kBlack}, std::pair{&white, &kWhite}}) {
      FillArea(*surface, drawn, *ground);
      background_ = ground;
      Paint(*surface, drawn, begin, end);
      rasterizer_.SetMask(nullptr);
    }
    if (layer.filters) {
      FilterLayer(pair, target.width, drawn, *layer.filters, FilterScale(list_),
                  Vec2{layer.matrix.tx - drawn.left, layer.matrix.ty - drawn.top});
    }
    --depth_;
    maskBase_ = outerMaskBase;
    background_ = outerBackground;
    rasterizer_.SetMask(mask);
    CompositeLayer(target, area, pair.black.data(), pair.white.data(), target.width, layer.blendMode, mask,
                   background_);
  }

  // Runs a layer's filters over `drawn`: its two pictures become one image
  // of premultiplied colours, which is filtered and laid back as two.
  void FilterLayer(LayerStack::Pair& pair, int stride, const PixelRect& drawn, std::span<const Filter> filters,
                   Vec2 scale, Vec2 origin) {
    const int width = drawn.right - drawn.left, height = drawn.bottom - drawn.top;
    if (width <= 0 || height <= 0) return;
    filterImage_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const auto at = [&](int x, int y) { return static_cast<std::ptrdiff_t>(y) * stride + x; };
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t b = pair.black[static_cast<std::size_t>(at(drawn.left + x, drawn.top + y))];
        const std::uint32_t w = pair.white[static_cast<std::size_t>(at(drawn.left + x, drawn.top + y))];
        int light = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
          light += std::clamp(static_cast<int>(w >> shift & 0xFFu) - static_cast<int>(b >> shift & 0xFFu), 0, 255);
        }
        const std::uint32_t alpha = static_cast<std::uint32_t>(255 - (light + 1) / 3);
        std::uint32_t pixel = alpha << 24;
        for (int shift = 0; shift <= 16; shift += 8) pixel |= std::min(b >> shift & 0xFFu, alpha) << shift;
        filterImage_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = pixel;
      }
    }
    ApplyFilters(FilterImage{filterImage_.data(), width, height, width, origin.x, origin.y}, filters, scale.x, scale.y);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t pixel = filterImage_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        const std::uint32_t clear = 255 - (pixel >> 24);
        const std::uint32_t colour = pixel & 0xFFFFFFu;
        std::uint32_t over = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) over |= std::min(255u, (colour >> shift & 0xFFu) + clear) << shift;
        pair.black[static_cast<std::size_t>(at(drawn.left + x, drawn.top + y))] = 0xFF000000u | colour;
        pair.white[static_cast<std::size_t>(at(drawn.left + x, drawn.top + y))] = over;
      }
    }
  }

  const DrawList& list_;
  Rasterizer& rasterizer_;
  MaskStack& masks_;
  LayerStack& layers_;
  const RowBands* within_;
  std::size_t depth_ = 0;
  std::size_t maskBase_ = 0;          // the masks open where the innermost layer began
  const Rgba* background_ = nullptr;  // the colour the target started from, when it is a layer's picture
  std::vector<std::uint32_t> filterImage_;
};

// What an area is drawn over: the background colour, or a backdrop that
// already holds the background and the list's first `items` items.
struct AreaStart {
  Rgba background;
  const KeptPicture* backdrop = nullptr;
  std::size_t items = 0;
};

void StartArea(const Surface& target, const PixelRect& area, const AreaStart& start) {
  if (start.backdrop != nullptr) {
    start.backdrop->CopyInto(target, area);
  } else {
    FillArea(target, area, start.background);
  }
}

void PaintItems(const DrawList& list, const Surface& target, const PixelRect& area, const AreaStart& start,
                Rasterizer& rasterizer, MaskStack& masks, LayerStack& layers) {
  const PixelRect clip = ClipToSurface(area, target);
  StartArea(target, clip, start);
  masks.Clear();
  rasterizer.SetMask(nullptr);
  ItemPainter(list, rasterizer, masks, layers).Paint(target, clip, start.items, list.items.size());
  rasterizer.SetMask(nullptr);
}

// Draws `region` of the frame, each pixel once: the areas start from the
// backdrop or the background, then each item is rasterized once across all
// of them. Masks and layers are built over rectangles, so a list with any
// is painted rectangle by rectangle (still each pixel once).
void PaintRegion(const DrawList& list, const Surface& target, const RowBands& region, const AreaStart& start,
                 Rasterizer& rasterizer, MaskStack& masks, LayerStack& layers) {
  region.ForEachRect([&](const PixelRect& area) { StartArea(target, ClipToSurface(area, target), start); });
  const bool plain = std::all_of(list.items.begin() + static_cast<std::ptrdiff_t>(std::min(start.items, list.items.size())),
                                 list.items.end(), [](const DrawItem& item) { return item.kind == DrawKind::Paint; });
  rasterizer.SetMask(nullptr);
  if (plain) {
    masks.Clear();
    ItemPainter(list, rasterizer, masks, layers, &region)
        .Paint(target, ClipToSurface(region.bounds, target), start.items, list.items.size());
  } else {
    region.ForEachRect([&](const PixelRect& area) {
      masks.Clear();
      ItemPainter(list, rasterizer, masks, layers).Paint(target, ClipToSurface(area, target), start.items, list.items.size());
      rasterizer.SetMask(nullptr);
    });
  }
  rasterizer.SetMask(nullptr);
}

std::span<const int> PathOf(const DrawList& list, const DrawItem& item) {
  return std::span<const int>(list.depths).subspan(item.pathBegin, item.pathLength);
}

bool LooksAlike(const DrawItem& a, const DrawItem& b) {
  if (a.kind != b.kind) return false;
  // Where a mask's items paint changes with them; what it masks changes only
  // with the mask itself.
  if (a.kind == DrawKind::MaskBegin) return a.object == b.object && a.look == b.look && a.clipDepth == b.clipDepth;
  if (a.kind == DrawKind::LayerBegin) {
    const bool sameFilters = a.filters == b.filters || (a.filters && b.filters && *a.filters == *b.filters);
    return a.object == b.object && a.look == b.look && a.blendMode == b.blendMode && sameFilters;
  }
  if (a.kind == DrawKind::MaskApply || a.kind == DrawKind::MaskEnd || a.kind == DrawKind::LayerEnd) return true;
  return a.object == b.object && a.look == b.look && a.shape == b.shape && a.matrix == b.matrix &&
         a.colors == b.colors && a.bounds == b.bounds;
}

// How many items from the first look alike in both lists, counting only
// plain paints: those come before any mask or layer opens, so they are
// drawn the same whatever follows.
std::size_t StillPrefix(const DrawList& before, const DrawList& after) {
  std::size_t n = 0;
  for (; n < before.items.size() && n < after.items.size(); ++n) {
    const DrawItem& old = before.items[n];
    const DrawItem& now = after.items[n];
    if (now.kind != DrawKind::Paint || !LooksAlike(old, now) || !std::ranges::equal(PathOf(before, old), PathOf(after, now))) {
      break;
    }
  }
  return n;
}

bool WorthJoining(const PixelRect& a, const PixelRect& b) {
  // Joined, they cost no more to draw than apart (overlap drawn twice), give
  // or take a small strip.
  constexpr long long kSlack = 64 * 64;
  return Union(a, b).Area() <= a.Area() + b.Area() + kSlack;
}

}  // namespace

// The tab-focus rectangle lies above everything the stage shows.
void AddFocusRectangle(const Stage& stage, const Matrix& toSurface, int width, int height, DrawList& out) {
  const std::shared_ptr<const Shape> outline = stage.FocusRectangle();
  if (!outline) return;
  out.path.assign(1, kMaskEndDepth);
  AddItem(out, DrawKind::Paint, nullptr, 0, outline.get(), outline, toSurface, ColorTransform{}, width, height);
  out.path.clear();
}

void CollectDrawItems(const Stage& stage, const Matrix& toSurface, int width, int height, DrawList& out) {
  out.Clear();
  out.stageScale = Vec2{std::hypot(toSurface.a, toSurface.b), std::hypot(toSurface.c, toSurface.d)};
  if (const DisplayObject* scrolled = stage.ScrolledRoot(); scrolled && scrolled->scrollRect) {
    // A scrolled root shows like a scrolled clip at the stage's origin.
    out.path.push_back(0);
    CollectContent(*scrolled, DrawKind::Paint, toSurface, ColorTransform{}, width, height, out, 0);
    out.path.clear();
    AddFocusRectangle(stage, toSurface, width, height, out);
    return;
  }
  if (auto drawn = stage.Root().drawing.GetShape()) {
    out.path.push_back(kDrawingDepth);
    AddItem(out, DrawKind::Paint, nullptr, 0, drawn.get(), drawn, toSurface, ColorTransform{}, width, height);
    out.path.pop_back();
  }
  CollectList(stage.Root().displayList, DrawKind::Paint, toSurface, ColorTransform{}, width, height, out, 0);
  AddFocusRectangle(stage, toSurface, width, height, out);
}

void AddChangedAreas(const DrawList& before, const DrawList& after, std::vector<PixelRect>& areas) {
  // Both lists are in drawing order, which is the order of their paths: walk
  // them side by side, pairing the items at the same path.
  std::size_t i = 0, j = 0;
  while (i < before.items.size() || j < after.items.size()) {
    if (j == after.items.size()) {
      areas.push_back(before.items[i++].bounds);
      continue;
    }
    if (i == before.items.size()) {
      areas.push_back(after.items[j++].bounds);
      continue;
    }
    const DrawItem& old = before.items[i];
    const DrawItem& now = after.items[j];
    const auto oldPath = PathOf(before, old), newPath = PathOf(after, now);
    if (std::lexicographical_compare(oldPath.begin(), oldPath.end(), newPath.begin(), newPath.end())) {
      areas.push_back(old.bounds);
      ++i;
    } else if (std::lexicographical_compare(newPath.begin(), newPath.end(), oldPath.begin(), oldPath.end())) {
      areas.push_back(now.bounds);
      ++j;
    } else {
      if (!LooksAlike(old, now)) {
        areas.push_back(old.bounds);
        areas.push_back(now.bounds);
      }
      ++i;
      ++j;
    }
  }
}

void MergeChangedAreas(std::vector<PixelRect>& areas, int width, int height) {
  std::erase_if(areas, [](const PixelRect& r) { return r.Empty(); });
  for (bool joined = true; joined;) {
    joined = false;
    for (std::size_t a = 0; a < areas.size() && !joined; ++a) {
      for (std::size_t b = a + 1; b < areas.size(); ++b) {
        if (!WorthJoining(areas[a], areas[b])) continue;
        areas[a] = Union(areas[a], areas[b]);
        areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(b));
        joined = true;
        break;
      }
    }
  }
  while (areas.size() > kMaxChangedAreas) {
    std::size_t bestA = 0, bestB = 1;
    long long bestCost = -1;
    for (std::size_t a = 0; a < areas.size(); ++a) {
      for (std::size_t b = a + 1; b < areas.size(); ++b) {
        const long long cost = Union(areas[a], areas[b]).Area() - areas[a].Area() - areas[b].Area();
        if (bestCost < 0 || cost < bestCost) {
          bestCost = cost;
          bestA = a;
          bestB = b;
        }
      }
    }
    areas[bestA] = Union(areas[bestA], areas[bestB]);
    areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(bestB));
  }
  // Past this share of the surface, one rectangle is as cheap to draw and to show.
  constexpr double kWholeShare = 0.75;
  long long total = 0;
  for (const PixelRect& r : areas) total += r.Area();
  const PixelRect whole{0, 0, width, height};
  if (static_cast<double>(total) >= kWholeShare * static_cast<double>(whole.Area())) areas.assign(1, whole);
}

FrameRenderer::Frame FrameRenderer::FrameFor(const Stage* stage, const Surface& target, ScaleMode scale) {
  Frame frame;
  frame.pixels = target.pixels;
  frame.width = target.width;
  frame.height = target.height;
  frame.stride = target.stridePixels;
  frame.background = kWhite;
  if (stage) {
    frame.background = stage->GetMovie().background.value_or(kWhite);
    frame.toSurface =
        StageToSurface(stage->GetMovie(), target.width, target.height, stage->ScaleFor(scale), stage->Alignment());
  }
  return frame;
}

void FrameRenderer::Collect(const Stage* stage, const Frame& frame, DrawList& list) const {
  list.Clear();
  if (stage && frame.toSurface) CollectDrawItems(*stage, *frame.toSurface, frame.width, frame.height, list);
}

void FrameRenderer::RenderWhole(const Stage* stage, const Surface& target, ScaleMode scale, Rasterizer& rasterizer) {
  if (target.pixels == nullptr || target.width <= 0 || target.height <= 0) return;
  const Frame frame = FrameFor(stage, target, scale);
  Collect(stage, frame, nextList_);
  PaintItems(nextList_, target, PixelRect{0, 0, target.width, target.height}, AreaStart{frame.background}, rasterizer,
             *masks_, *layers_);
}

std::size_t FrameRenderer::UpdateBackdrop(const Frame& frame, std::size_t stillItems, Rasterizer& rasterizer) {
  stillAt_ = (stillAt_ + 1) % stillHistory_.size();
  stillHistory_[stillAt_] = stillItems;
  if (backdrop_.items > stillItems || !(backdrop_.frame == frame)) backdrop_.items = 0;
  // Items that stayed alike over the last frames are drawn once more, whole,
  // and then no more while they stay; one that changes now and then never
  // gets in, so the backdrop is not drawn again and again.
  const std::size_t settled = *std::ranges::min_element(stillHistory_);
  if (settled > backdrop_.items) {
    const Surface surface = backdrop_.picture.Reset(frame.width, frame.height);
    masks_->Clear();
    rasterizer.SetMask(nullptr);
    FillArea(surface, PixelRect{0, 0, frame.width, frame.height}, frame.background);
    ItemPainter(nextList_, rasterizer, *masks_, *layers_)
        .Paint(surface, PixelRect{0, 0, frame.width, frame.height}, 0, settled);
    backdrop_.picture.Index();
    backdrop_.items = settled;
    backdrop_.frame = frame;
  }
  return backdrop_.items;
}

std::span<const PixelRect> FrameRenderer::RenderChanges(const Stage* stage, const Surface& target, ScaleMode scale,
                                                        Rasterizer& rasterizer) {
  changed_.clear();
  if (target.pixels == nullptr || target.width <= 0 || target.height <= 0) {
    kept_ = false;
    return changed_;
  }
  const Frame frame = FrameFor(stage, target, scale);
  Collect(stage, frame, nextList_);
  const bool comparable = kept_ && frame == drawn_;
  if (comparable) {
    AddChangedAreas(drawnList_, nextList_, changed_);
    MergeChangedAreas(changed_, target.width, target.height);
  } else {
    changed_.assign(1, PixelRect{0, 0, target.width, target.height});
  }
  AreaStart start{frame.background};
  if (!changed_.empty()) {
    start.items = UpdateBackdrop(frame, comparable ? StillPrefix(drawnList_, nextList_) : 0, rasterizer);
    if (start.items > 0) start.backdrop = &backdrop_.picture;
  }
  if (!changed_.empty()) {
    region_.Assign(changed_);
    PaintRegion(nextList_, target, region_, start, rasterizer, *masks_, *layers_);
  }
  std::swap(drawnList_, nextList_);
  drawn_ = frame;
  kept_ = true;
  return changed_;
}

Surface KeptPicture::Reset(int width, int height) {
  width_ = width;
  height_ = height;
  pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  rowFirst_.assign(static_cast<std::size_t>(height) + 1, 0);
  runs_.clear();
  return Surface{pixels_.data(), width, height, width};
}

void KeptPicture::Index() {
  runs_.clear();
  for (int y = 0; y < height_; ++y) {
    rowFirst_[static_cast<std::size_t>(y)] = static_cast<std::uint32_t>(runs_.size());
    IndexRow(pixels_.data() + static_cast<std::ptrdiff_t>(y) * width_);
  }
  rowFirst_[static_cast<std::size_t>(height_)] = static_cast<std::uint32_t>(runs_.size());
}

void KeptPicture::IndexRow(const std::uint32_t* row) {
  const std::size_t first = runs_.size();
  for (int x = 0; x < width_;) {
    const std::uint32_t color = row[x];
    int end = x + 1;
    while (end < width_ && row[end] == color) ++end;
    if (runs_.size() - first == kMostRuns) {
      runs_.resize(first);  // too many colours: the row is copied
      return;
    }
    runs_.push_back(Run{end, color});
    x = end;
  }
}

int KeptPicture::RowsOfRuns() const {
  int rows = 0;
  for (int y = 0; y < height_; ++y) rows += rowFirst_[static_cast<std::size_t>(y)] != rowFirst_[static_cast<std::size_t>(y) + 1];
  return rows;
}

void KeptPicture::CopyInto(const Surface& target, const PixelRect& area) const {
  if (area.Empty()) return;
  const auto count = static_cast<std::size_t>(area.right - area.left);
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint32_t* to = target.pixels + static_cast<std::ptrdiff_t>(y) * target.stridePixels;
    const Run* run = runs_.data() + rowFirst_[static_cast<std::size_t>(y)];
    const Run* const end = runs_.data() + rowFirst_[static_cast<std::size_t>(y) + 1];
    if (run == end) {
      std::copy_n(pixels_.data() + static_cast<std::ptrdiff_t>(y) * width_ + area.left, count, to + area.left);
      continue;
    }
    while (run->end <= area.left) ++run;
    for (int x = area.left; x < area.right; ++run) {
      const int until = std::min(run->end, area.right);
      std::fill(to + x, to + until, run->color);
      x = until;
    }
  }
}

FrameRenderer::FrameRenderer() : masks_(std::make_unique<MaskStack>()), layers_(std::make_unique<LayerStack>()) {}
FrameRenderer::~FrameRenderer() = default;
FrameRenderer::FrameRenderer(FrameRenderer&&) noexcept = default;
FrameRenderer& FrameRenderer::operator=(FrameRenderer&&) noexcept = default;

void RenderTimeline(const std::shared_ptr<TimelineInstance>& timeline, const Matrix& toSurface,
                    const ColorTransform& colors, const Surface& target, Rgba background, Rasterizer& rasterizer,
                    bool smoothBitmaps) {
  if (!timeline || target.pixels == nullptr || target.width <= 0 || target.height <= 0) return;
  DisplayObject shown;
  shown.sprite = timeline;
  DrawList list;
  list.stageScale = Vec2{std::hypot(toSurface.a, toSurface.b), std::hypot(toSurface.c, toSurface.d)};
  list.smoothBitmaps = smoothBitmaps;
  list.path.push_back(0);
  CollectContent(shown, DrawKind::Paint, toSurface, colors, target.width, target.height, list, 0);
  list.path.clear();
  MaskStack masks;
  LayerStack layers;
  PaintItems(list, target, PixelRect{0, 0, target.width, target.height}, AreaStart{background}, rasterizer, masks,
             layers);
}

void RenderStage(const Stage& stage, const Surface& target, ScaleMode scale, Rasterizer& rasterizer) {
  FrameRenderer renderer;
  renderer.RenderWhole(&stage, target, scale, rasterizer);
}

}  // namespace swf
