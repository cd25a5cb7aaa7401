#pragma once
// Bitmap filters as display objects and script bitmaps use them: blur, drop
// shadow, glow, bevel, their gradient forms, colour matrix and convolution.
// They work on premultiplied ARGB pixels (the layout of script bitmaps and of
// the renderer's layers) and know nothing of windows or scripts.
//
// Sizes (blur widths, shadow distances) are in the pixels the filter is
// drawn at: callers scale them from the stage's pixels to the surface's.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace swf {

enum class FilterKind : std::uint8_t {
  DropShadow = 0,
  Blur = 1,
  Glow = 2,
  Bevel = 3,
  GradientGlow = 4,
  Convolution = 5,
  ColorMatrix = 6,
  GradientBevel = 7,
  DisplacementMap = 8,
};

// Where a displacement leads outside the filtered image: around to the
// other side, to the nearest edge pixel, nowhere (the pixel stays), or to a
// colour.
enum class DisplaceMode : std::uint8_t { Wrap, Clamp, Ignore, Color };

// The most pixels a displacement map keeps, and the farthest it moves one.
inline constexpr int kMaxDisplacementMapSide = 2880;
inline constexpr double kMaxDisplacementScale = 65535;

// The largest blur a filter takes (in either direction) and the most passes.
inline constexpr double kMaxFilterBlur = 255;
inline constexpr int kMaxFilterPasses = 15;
// The most filters a clip keeps from a script.
inline constexpr std::size_t kMaxClipFilters = 64;
// The largest convolution matrix side kept.
inline constexpr int kMaxConvolutionSide = 15;

// One filter with the members its kind uses. Colours are ARGB, not
// premultiplied; the angle is in radians.
struct Filter {
  FilterKind kind = FilterKind::Blur;
  double blurX = 4, blurY = 4;
  int passes = 1;  // the quality: box blur passes
  // Drop shadow, glow, bevel and the gradient ones.
  std::uint32_t color = 0xFF000000u;      // shadow or glow colour; the bevel's shadow
  std::uint32_t highlight = 0xFFFFFFFFu;  // the bevel's highlight
  double angle = 0.785398163397448;       // 45 degrees
  double distance = 0;
  double strength = 1;
  bool inner = false;
  bool knockout = false;
  bool hideObject = false;  // only the effect shows, not the object
  bool onTop = false;       // bevels: "full", highlight and shadow both inside and outside
  // Gradient glow and bevel: colours with their places (0..255).
  std::vector<std::uint32_t> gradientColors;
  std::vector<std::uint8_t> gradientRatios;
  // Convolution: a columns x rows matrix, read row by row.
  int matrixX = 0, matrixY = 0;
  std::vector<float> matrix;
  float divisor = 1, bias = 0;
  std::uint32_t defaultColor = 0;
  bool clamp = true;
  bool preserveAlpha = true;
  // Colour matrix: four rows of five (red, green, blue, alpha, offset).
  std::array<float, 20> colorMatrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
  // Displacement map: the map's pixels (ARGB, not premultiplied, kept as they
  // were when the filter was set), its corner in the filtered image, the
  // channel (1 red, 2 green, 4 blue, 8 alpha) each direction reads and how
  // far a full channel moves; `color` is the colour of the Color mode.
  std::shared_ptr<const std::vector<std::uint32_t>> displacementMap;
  int mapWidth = 0, mapHeight = 0;
  int mapX = 0, mapY = 0;
  std::uint32_t componentX = 0, componentY = 0;
  double displaceX = 0, displaceY = 0;
  DisplaceMode displaceMode = DisplaceMode::Wrap;

  friend bool operator==(const Filter&, const Filter&) = default;
};

// A filter with its numbers brought into the ranges the filters work in:
// blur 0..255, passes 0..15, finite numbers, a convolution matrix that
// matches its sides, gradients of matching lengths.
[[nodiscard]] Filter SaneFilter(Filter filter);

// How far a filter list drawn at `scaleX`/`scaleY` surface pixels per
// filter pixel can spread what it filters, in whole pixels each way.
struct FilterReach {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const FilterReach&, const FilterReach&) = default;
};
[[nodiscard]] FilterReach ReachOf(std::span<const Filter> filters, double scaleX, double scaleY);

// Premultiplied ARGB pixels, `stride` pixels from one row to the next.
struct FilterImage {
  std::uint32_t* pixels = nullptr;
  int width = 0, height = 0, stride = 0;
  // Where the filtered object's origin lies in the image: what a
  // displacement map's corner is placed from.
  double originX = 0, originY = 0;
};

// Applies one filter to `image` in place, its sizes multiplied by the scales.
// Pixels outside the image count as transparent (convolution: as its own
// rules say).
void ApplyFilter(const FilterImage& image, const Filter& filter, double scaleX = 1, double scaleY = 1);
// Applies a list in order.
void ApplyFilters(const FilterImage& image, std::span<const Filter> filters, double scaleX = 1, double scaleY = 1);

}  // namespace swf
