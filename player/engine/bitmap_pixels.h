#pragma once
// The pixels of a script bitmap (BitmapData) and the operations scripts run on
// them. Pixels are kept as the platform keeps them: ARGB with the colour
// premultiplied by alpha, so a colour written with a low alpha reads back
// rounded. Everything here works on whole pixels and knows nothing of scripts.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "filters.h"

namespace swf {

// The largest side a movie may ask for, and the pixels all of a movie's
// bitmaps may hold at once (4 bytes each).
inline constexpr int kMaxBitmapSide = 2880;
inline constexpr std::size_t kMaxBitmapPixelsTotal = std::size_t{32} << 20;

// A rectangle in whole pixels; width or height 0 or less is empty.
struct PixelArea {
  int x = 0, y = 0, width = 0, height = 0;
  [[nodiscard]] bool Empty() const { return width <= 0 || height <= 0; }
};

// Multiply and add terms of a colour transform (multipliers as factors,
// offsets in colour units), as flash.geom.ColorTransform holds them.
struct ColorTerms {
  double mr = 1, mg = 1, mb = 1, ma = 1;
  double ar = 0, ag = 0, ab = 0, aa = 0;
};

// The inverse of a draw matrix: from a target pixel back to the source's.
struct InverseMap {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

// The BlendMode number of a mode's name in any letter case; 0 for none.
[[nodiscard]] std::uint8_t BlendModeByName(std::string_view name);

// A separable blend mode's mix of an unmultiplied backdrop and source
// channel (0 to 1); modes that are no such mix give the source.
[[nodiscard]] float MixBlendChannel(std::uint8_t mode, float back, float source);

// Channel bits as the platform numbers them.
inline constexpr std::uint32_t kChannelRed = 1, kChannelGreen = 2, kChannelBlue = 4, kChannelAlpha = 8;

// Premultiplication as the platform rounds it.
[[nodiscard]] std::uint32_t Premultiply(std::uint32_t argb);
[[nodiscard]] std::uint32_t Unpremultiply(std::uint32_t premultiplied);

// The platform's random sequence for noise: the minimal standard generator
// (16807 * seed mod 2^31 - 1), a seed of 0 or less counting as 1 - seed.
class NoiseRandom {
 public:
  explicit NoiseRandom(std::int32_t seed);
  std::uint32_t Next();

 private:
  std::uint32_t state_;
};

class PixelBitmap {
 public:
  // Width and height must be 1 or more (the caller checks the limits).
  PixelBitmap(int width, int height, bool transparent, std::uint32_t fillArgb);

  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  [[nodiscard]] bool Transparent() const { return transparent_; }
  [[nodiscard]] bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  [[nodiscard]] PixelArea Bounds() const { return {0, 0, width_, height_}; }

  // The colour unmultiplied (0 outside the bitmap).
  [[nodiscard]] std::uint32_t GetPixel32(int x, int y) const;
  // Writes an ARGB colour (alpha 255 in an opaque bitmap); nothing outside.
  void SetPixel32(int x, int y, std::uint32_t argb);
  // Writes the colour's red, green and blue and keeps the pixel's alpha.
  void SetPixel(int x, int y, std::uint32_t rgb);
  // Premultiplied storage, for drawing.
  [[nodiscard]] const std::vector<std::uint32_t>& Premultiplied() const { return pixels_; }

  void FillRect(const PixelArea& area, std::uint32_t argb);
  // Fills the 4-connected region of the colour at (x, y); false when the
  // point is outside or already has the colour.
  bool FloodFill(int x, int y, std::uint32_t argb);
  // Copies `area` of `source` to (dx, dy). With `alpha`, each pixel's alpha is
  // multiplied by the alpha bitmap's pixel at the matching offset from
  // (ax, ay); `mergeAlpha` blends over what is there instead of replacing it.
  void CopyPixels(const PixelBitmap& source, PixelArea area, int dx, int dy, const PixelBitmap* alpha, int ax, int ay,
                  bool mergeAlpha);
  // Copies one channel of `source` into one channel of this bitmap.
  void CopyChannel(const PixelBitmap& source, PixelArea area, int dx, int dy, std::uint32_t sourceChannel,
                   std::uint32_t destChannel);
  void ApplyColorTransform(PixelArea area, const ColorTerms& terms);
  // Copies `area` of `source` to (dx, dy) through a filter: what the filter
  // spreads past the area's edges is cut off there.
  void ApplyFilter(const PixelBitmap& source, PixelArea area, int dx, int dy, const Filter& filter);
  // Lays a picture over `area` (source over): the picture drawn once over
  // black and once over white, rows of area.width opaque pixels each, which
  // give each pixel's colour and coverage. Parts outside the bitmap are left out.
  void DrawOver(PixelArea area, const std::uint32_t* overBlack, const std::uint32_t* overWhite);
  // Mixes `layer` (its corner at dx, dy) into these pixels by a blend mode
  // (BlendMode numbers; anything unknown mixes as normal). In an opaque
  // bitmap alpha and erase change nothing.
  void Blend(const PixelBitmap& layer, int dx, int dy, std::uint8_t mode);
  // What `source` shows over `area` of a target, each target pixel taking the
  // source pixel `map` leads its centre to (or the mix of the four nearest,
  // `smooth`); transparent where the source is not.
  [[nodiscard]] static PixelBitmap Resampled(const PixelBitmap& source, const InverseMap& map, PixelArea area,
                                             bool smooth);
  // Random values from `low` to `high` in the chosen channels (one value
  // for red, green and blue with `gray`); channels left out are 0, alpha 255.
  void Noise(std::int32_t seed, int low, int high, std::uint32_t channels, bool gray);
  // Fractal noise summed over octaves, one value per channel.
  void PerlinNoise(double baseX, double baseY, int octaves, std::int32_t seed, bool stitch, bool fractal,
                   std::uint32_t channels, bool gray, const std::vector<std::pair<double, double>>& offsets);
  // Replaces `count` pixels of `area` (placed at dx, dy) in an order the seed
  // decides, with the source's pixels or, when the source is this bitmap,
  // with `fillArgb`. Returns the seed that continues the dissolve.
  std::int32_t PixelDissolve(const PixelBitmap& source, PixelArea area, int dx, int dy, std::int32_t seed, int count,
                             std::uint32_t fillArgb);
  // Tests the source's pixels of `area` ((pixel & mask) op (threshold & mask),
  // unsigned) and writes `colorArgb` at (dx, dy)+offset where the test holds
  // (the source pixel elsewhere with `copySource`). nullopt for an unknown
  // operation; otherwise how many pixels passed.
  std::optional<int> Threshold(const PixelBitmap& source, PixelArea area, int dx, int dy, std::string_view operation,
                               std::uint32_t threshold, std::uint32_t colorArgb, std::uint32_t mask, bool copySource);
  // Moves the pixels by (dx, dy); what is uncovered keeps its pixels.
  void Scroll(int dx, int dy);
  // The smallest rectangle holding every pixel whose (pixel & mask) equals
  // `color` (or, without `find`, differs from it); empty when none.
  [[nodiscard]] PixelArea ColorBounds(std::uint32_t mask, std::uint32_t color, bool find) const;
  // Whether a pixel at (x, y) is at least `threshold` opaque.
  [[nodiscard]] bool HitPoint(int x, int y, int threshold) const;
  // Whether a pixel of `area` is at least `threshold` opaque.
  [[nodiscard]] bool HitArea(PixelArea area, int threshold) const;
  // Whether this bitmap (its corner at `at`) and `other` (its corner at
  // `otherAt`) have overlapping pixels at least as opaque as their thresholds.
  [[nodiscard]] bool HitBitmap(int atX, int atY, int threshold, const PixelBitmap& other, int otherX, int otherY,
                               int otherThreshold) const;
  // Pixel by pixel differences from `other` of the same size: nullopt when
  // every pixel is equal, else a bitmap of the differences (the colour
  // differences with alpha 255, or white with the alpha difference).
  [[nodiscard]] std::optional<PixelBitmap> Compare(const PixelBitmap& other) const;

 private:
  // `area` clipped to the source's bounds and, moved to (dx, dy), to this
  // bitmap's; the offsets tell how far the source corner moved.
  struct Span {
    int sx, sy, dx, dy, width, height;
  };
  [[nodiscard]] std::optional<Span> ClipCopy(const PixelBitmap& source, PixelArea area, int dx, int dy) const;
  [[nodiscard]] PixelArea Clip(PixelArea area) const;
  [[nodiscard]] std::uint32_t Stored(std::uint32_t argb) const;

  int width_;
  int height_;
  bool transparent_;
  std::vector<std::uint32_t> pixels_;
};

// `area` cut to the bitmap (empty when they do not meet).
[[nodiscard]] PixelArea WithinBitmap(const PixelArea& area, const PixelBitmap& bitmap);

// A script bitmap as the stage shows it (attachBitmap): its pixels, none once
// disposed, and a count that grows with every change the stage must redraw.
struct LiveBitmap {
  std::optional<PixelBitmap> pixels;
  std::uint64_t version = 0;
};

}  // namespace swf
