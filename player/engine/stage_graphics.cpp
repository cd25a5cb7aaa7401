// What the script graphics classes reach on the stage: a clip's matrix and
// colour transform (flash.geom.Transform, Color) and the library's exported
// bitmaps (BitmapData.loadBitmap).

#include <algorithm>
#include <vector>

#include "render.h"
#include "stage.h"
#include "swf_text.h"

namespace swf {
namespace {

ColorTerms TermsOf(const ColorTransform& c) { return {c.mr, c.mg, c.mb, c.ma, c.ar, c.ag, c.ab, c.aa}; }

}  // namespace

// The placement that holds a clip's transform: its display-list entry's, or
// the root's own.
Placement* Stage::TransformOf(Object* clip) {
  if (DisplayObject* entry = EntryOf(clip)) return &entry->placement;
  const auto timeline = TimelineOf(clip);
  return timeline && timeline == root_ ? &rootPlacement_ : nullptr;
}

bool Stage::GetClipMatrix(Object* clip, bool concatenated, ClipMatrix& out) {
  Placement* placement = TransformOf(clip);
  if (!placement) return false;
  Matrix m = placement->matrix;
  if (concatenated) {
    const auto timeline = TimelineOf(clip);
    if (!timeline) return false;
    m = GlobalMatrix(*timeline);
  }
  out = {m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20};
  return true;
}

void Stage::SetClipMatrix(Object* clip, const ClipMatrix& matrix) {
  Placement* placement = TransformOf(clip);
  if (!placement) return;
  if (DisplayObject* entry = EntryOf(clip)) entry->scriptTransformed = true;
  placement->matrix = {matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx * 20, matrix.ty * 20};
}

bool Stage::GetClipColors(Object* clip, bool concatenated, ColorTerms& out) {
  Placement* placement = TransformOf(clip);
  if (!placement) return false;
  ColorTransform colors = placement->colorTransform;
  if (concatenated) {
    // Multiplied through every parent up to the root.
    auto timeline = TimelineOf(clip);
    for (int nesting = 0; timeline && nesting <= kMaxSpriteNesting; ++nesting) {
      timeline = timeline->parent.lock();
      if (!timeline) break;
      if (const Placement* outer = TransformOf(timeline->object)) colors = outer->colorTransform.Then(colors);
    }
  }
  out = TermsOf(colors);
  return true;
}

void Stage::SetClipColors(Object* clip, const ColorTerms& t) {
  Placement* placement = TransformOf(clip);
  if (!placement) return;
  if (DisplayObject* entry = EntryOf(clip)) entry->scriptTransformed = true;
  placement->colorTransform = {t.mr, t.mg, t.mb, t.ma, t.ar, t.ag, t.ab, t.aa};
}

// The root has no entry in a parent's list: its scroll rectangle is kept on
// an entry of its own, which the renderer draws in place of the root's list.
DisplayObject* Stage::ScrollEntryOf(Object* clip) {
  if (!clip || clip != root_->object) return EntryOf(clip);
  if (!scrolledRoot_) {
    scrolledRoot_.emplace();
    scrolledRoot_->sprite = root_;
  }
  return &*scrolledRoot_;
}

bool Stage::GetScrollRect(Object* clip, std::array<double, 4>& rect) {
  const DisplayObject* entry = clip && clip == root_->object ? ScrolledRoot() : EntryOf(clip);
  if (!entry || !entry->scrollRect) return false;
  const ScrollRect& r = *entry->scrollRect;
  rect = {r.x / 20, r.y / 20, r.width / 20, r.height / 20};
  return true;
}

void Stage::SetScrollRect(Object* clip, const std::optional<std::array<double, 4>>& rect) {
  if (!rect && clip && clip == root_->object) {
    scrolledRoot_.reset();
    return;
  }
  DisplayObject* entry = ScrollEntryOf(clip);
  if (!entry) return;
  if (rect) {
    const auto& [x, y, width, height] = *rect;
    entry->scrollRect = MakeScrollRect(x * 20, y * 20, width * 20, height * 20);
  } else {
    entry->scrollRect.reset();
  }
  entry->Touch();
}

bool Stage::LoadExportedBitmap(std::string_view name, int& width, int& height, std::vector<std::uint32_t>& argb) {
  const auto exported = movie_.exports.find(LowerAscii(name));
  if (exported == movie_.exports.end()) return false;
  const auto found = movie_.bitmaps.find(exported->second);
  if (found == movie_.bitmaps.end() || !found->second) return false;
  const Bitmap& bitmap = *found->second;
  width = bitmap.width;
  height = bitmap.height;
  argb.resize(bitmap.pixels.size());
  for (std::size_t i = 0; i < argb.size(); ++i) argb[i] = Unpremultiply(bitmap.pixels[i]);
  return true;
}

}  // namespace swf

namespace swf {

// A rectangle of the bitmap's size filled with its pixels, one pixel to 20 twips.
std::shared_ptr<const Shape> BitmapShape(std::shared_ptr<const Bitmap> bitmap, bool smooth) {
  const double w = bitmap->width * 20.0, h = bitmap->height * 20.0;
  auto shape = std::make_shared<Shape>();
  ShapeLayer layer;
  layer.fills.emplace_back(BitmapFill{std::move(bitmap), Matrix{20, 0, 0, 20, 0, 0}, false, smooth});
  const Point corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  for (std::size_t i = 0; i < 4; ++i) {
    layer.fillEdges.push_back({0, Segment{corners[i], corners[i], corners[(i + 1) % 4], false}});
  }
  shape->layers.push_back(std::move(layer));
  shape->minX = shape->declaredMinX = 0;
  shape->minY = shape->declaredMinY = 0;
  shape->maxX = shape->declaredMaxX = w;
  shape->maxY = shape->declaredMaxY = h;
  return shape;
}

namespace {

std::shared_ptr<const Shape> BitmapShape(const PixelBitmap& pixels, bool smooth) {
  auto bitmap = std::make_shared<Bitmap>();
  bitmap->width = pixels.Width();
  bitmap->height = pixels.Height();
  bitmap->pixels = pixels.Premultiplied();
  bitmap->opaque = !pixels.Transparent();
  return BitmapShape(std::move(bitmap), smooth);
}

void Refresh(DisplayObject& object) {
  if (object.liveVersion == object.liveBitmap->version && (object.shape || !object.liveBitmap->pixels)) return;
  object.liveVersion = object.liveBitmap->version;
  object.shape = object.liveBitmap->pixels ? BitmapShape(*object.liveBitmap->pixels, object.smoothBitmap) : nullptr;
  object.Touch();
}

void RefreshIn(TimelineInstance& timeline, int nesting) {
  if (nesting > kMaxSpriteNesting) return;
  timeline.drawing.RefreshBitmaps();
  for (auto& [depth, object] : timeline.displayList) {
    if (object.liveBitmap) Refresh(object);
    if (object.sprite) RefreshIn(*object.sprite, nesting + 1);
  }
}

}  // namespace

bool Stage::AttachBitmap(Object* clip, std::shared_ptr<const LiveBitmap> bitmap, int depth, bool smoothing) {
  const auto timeline = TimelineOf(clip);
  if (!timeline || !bitmap) return false;
  DisplayObject object;
  object.bornTick = tick_;
  object.liveBitmap = std::move(bitmap);
  object.smoothBitmap = smoothing;
  object.liveVersion = object.liveBitmap->version;
  if (object.liveBitmap->pixels) object.shape = BitmapShape(*object.liveBitmap->pixels, smoothing);
  RemoveAtDepth(timeline, depth + kScriptDepthBase);
  timeline->displayList.insert_or_assign(depth + kScriptDepthBase, std::move(object));
  return true;
}

void Stage::RefreshAttachedBitmaps() { RefreshIn(*root_, 0); }

bool Stage::DrawClip(Object* clip, const ClipMatrix& m, const ColorTerms& colors, const PixelArea& area, bool smooth,
                     PixelBitmap& into) {
  const auto timeline = TimelineOf(clip);
  if (!timeline) return false;
  const PixelArea drawn = WithinBitmap(area, into);
  if (drawn.Empty()) return true;
  // The clip's pixels to the area's: its twips through the matrix, the area's corner at 0.
  const Matrix toArea{m.a / 20, m.b / 20, m.c / 20, m.d / 20, m.tx - drawn.x, m.ty - drawn.y};
  const ColorTransform recolor{colors.mr, colors.mg, colors.mb, colors.ma, colors.ar, colors.ag, colors.ab, colors.aa};
  const auto size = static_cast<std::size_t>(drawn.width) * static_cast<std::size_t>(drawn.height);
  std::vector<std::uint32_t> overBlack(size), overWhite(size);
  Rasterizer rasterizer;
  RenderTimeline(timeline, toArea, recolor, Surface{overBlack.data(), drawn.width, drawn.height, drawn.width},
                 Rgba{0, 0, 0, 255}, rasterizer, smooth);
  RenderTimeline(timeline, toArea, recolor, Surface{overWhite.data(), drawn.width, drawn.height, drawn.width},
                 Rgba{255, 255, 255, 255}, rasterizer, smooth);
  into.DrawOver(drawn, overBlack.data(), overWhite.data());
  return true;
}

void Stage::BeginBitmapFill(Object* clip, std::shared_ptr<const LiveBitmap> bitmap, const ClipMatrix& m, bool repeat,
                            bool smooth) {
  const auto timeline = TimelineOf(clip);
  if (!timeline || timeline->kind != DisplayKind::Clip) return;
  // The matrix maps the bitmap's pixels onto the clip's pixels: 20 twips each.
  const Matrix toTwips{m.a * 20, m.b * 20, m.c * 20, m.d * 20, m.tx * 20, m.ty * 20};
  timeline->drawing.BeginBitmapFill(std::move(bitmap), toTwips, repeat, smooth);
}

}  // namespace swf
