#pragma once
// Drawing a stage's display lists into a surface at a scale mode: the whole
// frame, or only the areas that changed since the frame drawn before.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "movie_player.h"
#include "rasterizer.h"
#include "stage.h"

namespace swf {

// The matrix from the movie's twips to the surface's pixels for a scale mode;
// nullopt when the movie's stage is empty.
[[nodiscard]] std::optional<Matrix> StageToSurface(const Movie& movie, int width, int height, ScaleMode scale,
                                                   const StageAlignment& align = {});

// What a draw item does. A mask (an object placed with a clip depth) comes
// as MaskBegin, the shapes of the mask as MaskShape items, MaskApply, then
// the items it masks, and MaskEnd; masks nest. An object with a blend mode
// other than normal, or with filters, comes as LayerBegin, its items, and
// LayerEnd: they are drawn into a layer of their own, which is then filtered
// and mixed into what lies below.
enum class DrawKind : std::uint8_t { Paint, MaskBegin, MaskShape, MaskApply, MaskEnd, LayerBegin, LayerEnd };

// What one frame draws, in drawing order: each object that paints, where it
// sits in the display lists and how it looks there.
struct DrawItem {
  DrawKind kind = DrawKind::Paint;
  std::uint32_t pathBegin = 0;  // its depths from the root down, in DrawList::depths
  std::uint32_t pathLength = 0;
  const DisplayObject* object = nullptr;  // null for what the root's drawing methods made
  std::uint64_t look = 0;
  // What it paints: the object's shape, or the shape a clip's drawing methods
  // made (held here, so a redrawn drawing never shares its address with the old one).
  const Shape* shape = nullptr;
  std::shared_ptr<const Shape> drawn;
  Matrix matrix;  // the movie's twips to pixels
  ColorTransform colors;
  // Every pixel it can touch, within the surface; for a MaskBegin every pixel
  // the items it masks can touch, for a LayerBegin those of its items.
  PixelRect bounds;
  // MaskBegin: the clip depth, and the index of its MaskEnd (LayerBegin: of
  // its LayerEnd).
  int clipDepth = 0;
  std::uint32_t maskEnd = 0;
  std::uint8_t blendMode = 0;  // LayerBegin: see BlendMode
  // LayerBegin: the filters the layer is drawn through (null: none).
  std::shared_ptr<const std::vector<Filter>> filters;
};

struct DrawList {
  std::vector<DrawItem> items;
  std::vector<int> depths;
  std::vector<int> path;  // the depths of the list being walked
  Vec2 stageScale{1, 1};   // the stage's pixels per twip across and down
  bool smoothBitmaps = false;  // bitmaps sampled smoothed whatever their own fills ask
  void Clear() {
    items.clear();
    depths.clear();
    path.clear();
  }
};

// The objects of the stage that paint into a surface of this size through
// `toSurface`, in drawing order.
void CollectDrawItems(const Stage& stage, const Matrix& toSurface, int width, int height, DrawList& out);

// The areas that differ between two frames drawn from these lists: the old
// and the new bounds of every object that came, went, moved or changed its
// look, and of every object whose place in the drawing order changed.
void AddChangedAreas(const DrawList& before, const DrawList& after, std::vector<PixelRect>& areas);

// Cuts a list of changed areas down to a few rectangles: those that overlap
// much are joined, and past kMaxChangedAreas the cheapest joins are made.
// The whole surface when they cover most of it.
inline constexpr std::size_t kMaxChangedAreas = 8;
void MergeChangedAreas(std::vector<PixelRect>& areas, int width, int height);

// Draws the whole frame.
void RenderStage(const Stage& stage, const Surface& target, ScaleMode scale, Rasterizer& rasterizer);

// Draws what a timeline shows (its own placement aside) through `toSurface`
// and `colors` into `target`, first filled with `background`: how scripts
// draw a clip into a bitmap. With `smoothBitmaps` every bitmap is sampled
// smoothed, as a draw asked to smooth does.
void RenderTimeline(const std::shared_ptr<TimelineInstance>& timeline, const Matrix& toSurface,
                    const ColorTransform& colors, const Surface& target, Rgba background, Rasterizer& rasterizer,
                    bool smoothBitmaps = false);

// A picture the changed areas start from. Rows of a few colours (flat
// scenery: bands, plain sky, the margins around the stage) are also kept as
// runs of one colour, so that starting an area there writes its pixels
// without reading any: half the memory traffic of a copy.
class KeptPicture {
 public:
  // Room for a picture of this size, rows packed; Index it once drawn.
  [[nodiscard]] Surface Reset(int width, int height);
  // Works out the runs of the rows drawn into the surface Reset gave.
  void Index();
  // The picture's pixels of `area` (within both) into the same place of `target`.
  void CopyInto(const Surface& target, const PixelRect& area) const;
  [[nodiscard]] const std::uint32_t* Pixels() const { return pixels_.data(); }
  // How many rows are kept as runs.
  [[nodiscard]] int RowsOfRuns() const;

 private:
  struct Run {
    int end = 0;
    std::uint32_t color = 0;
  };
  // Past this many colours a row is copied: walking its runs would cost more.
  static constexpr std::size_t kMostRuns = 16;
  void IndexRow(const std::uint32_t* row);

  std::vector<std::uint32_t> pixels_;
  int width_ = 0, height_ = 0;
  // Row y's runs are runs_[rowFirst_[y] .. rowFirst_[y + 1]); none: copied.
  std::vector<std::uint32_t> rowFirst_;
  std::vector<Run> runs_;
};

// Keeps what it drew last, so that the next frame into the same surface
// redraws only what changed.
class MaskStack;
class LayerStack;

class FrameRenderer {
 public:
  FrameRenderer();
  ~FrameRenderer();
  FrameRenderer(FrameRenderer&&) noexcept;
  FrameRenderer& operator=(FrameRenderer&&) noexcept;

  // Brings `target` to the stage's current frame (a white surface for no
  // stage) and returns the areas it drew: none when nothing changed, the
  // whole surface when it has nothing to compare with (another surface,
  // size, scale or background, or Forget was called).
  std::span<const PixelRect> RenderChanges(const Stage* stage, const Surface& target, ScaleMode scale,
                                           Rasterizer& rasterizer);
  // Draws the whole frame into `target` and keeps nothing of it.
  void RenderWhole(const Stage* stage, const Surface& target, ScaleMode scale, Rasterizer& rasterizer);
  // The surface no longer holds what was drawn last (or the stage is new).
  void Forget() {
    kept_ = false;
    backdrop_.items = 0;
  }

 private:
  struct Frame {
    const std::uint32_t* pixels = nullptr;
    int width = 0, height = 0, stride = 0;
    std::optional<Matrix> toSurface;
    Rgba background;
    friend bool operator==(const Frame&, const Frame&) = default;
  };
  // The background and the first items of the list, drawn whole and kept
  // while those items stay as they are: a changed area starts from a copy of
  // it instead of drawing them again (a movie's still scenery under what moves).
  struct Backdrop {
    KeptPicture picture;
    std::size_t items = 0;  // none: no backdrop
    Frame frame;
  };
  static Frame FrameFor(const Stage* stage, const Surface& target, ScaleMode scale);
  void Collect(const Stage* stage, const Frame& frame, DrawList& list) const;
  // Keeps the backdrop in step with the new list; the items it holds (0: none to use).
  std::size_t UpdateBackdrop(const Frame& frame, std::size_t stillItems, Rasterizer& rasterizer);

  bool kept_ = false;
  Frame drawn_;
  DrawList drawnList_;
  DrawList nextList_;
  std::vector<PixelRect> changed_;
  RowBands region_;  // changed_ as bands of rows, each pixel once
  Backdrop backdrop_;
  // How many leading items stayed alike in each of the last frames, newest at stillAt_.
  std::array<std::size_t, 8> stillHistory_{};
  std::size_t stillAt_ = 0;
  std::unique_ptr<MaskStack> masks_;  // the masks being drawn with, kept for their memory
  std::unique_ptr<LayerStack> layers_;  // the same for the layers of blend modes
};

}  // namespace swf
