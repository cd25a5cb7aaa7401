#pragma once
// What fills a path pixel by pixel: gradients and bitmaps as premultiplied
// colours along a stretch of a row, for the rasterizer to blend.

#include <array>
#include <cstdint>

#include "swf_movie.h"

namespace swf {

class Paint {
 public:
  virtual ~Paint() = default;
  // The premultiplied 0xAARRGGBB colours of pixels x .. x + count - 1 of row
  // y, sampled at the pixels' centres.
  virtual void Shade(int x, int y, int count, std::uint32_t* out) const = 0;
};

// One colour everywhere.
class SolidPaint final : public Paint {
 public:
  explicit SolidPaint(Rgba color);
  void Shade(int x, int y, int count, std::uint32_t* out) const override;

 private:
  std::uint32_t color_;
};

// A gradient drawn through `toSurface` (the shape's twips to pixels), its
// colours passed through `colors`.
class GradientPaint final : public Paint {
 public:
  GradientPaint(const Gradient& gradient, const Matrix& toSurface, const ColorTransform& colors);
  void Shade(int x, int y, int count, std::uint32_t* out) const override;

 private:
  [[nodiscard]] std::uint32_t At(double t) const;

  GradientKind kind_;
  GradientSpread spread_;
  double focal_ = 0;
  bool singular_ = false;
  // The surface's pixels to the gradient's unit square (-1..1 each way).
  Matrix toGradient_;
  std::array<std::uint32_t, 256> colors_{};
};

// A bitmap fill drawn through `toSurface` (the shape's twips to pixels), its
// colours passed through `colors`.
class BitmapPaint final : public Paint {
 public:
  BitmapPaint(const BitmapFill& fill, const Matrix& toSurface, const ColorTransform& colors);
  void Shade(int x, int y, int count, std::uint32_t* out) const override;

 private:
  void ShadeNearest(std::int64_t u, std::int64_t v, int count, std::uint32_t* out) const;
  void ShadeSmooth(std::int64_t u, std::int64_t v, int count, std::uint32_t* out) const;
  [[nodiscard]] int Column(std::int64_t x) const;
  [[nodiscard]] int Row(std::int64_t y) const;
  void Recolor(int count, std::uint32_t* out) const;

  const Bitmap& bitmap_;
  bool repeat_, smooth_;
  bool singular_ = false;
  Matrix toBitmap_;               // the surface's pixels to the bitmap's
  std::int64_t du_ = 0, dv_ = 0;  // 16.16 steps along a row
  ColorTransform colors_;
  bool recolor_ = false;
};

// Blends a premultiplied colour over an opaque pixel with a weight (0..256).
[[nodiscard]] std::uint32_t BlendPremultiplied(std::uint32_t back, std::uint32_t color, std::uint32_t weight);

}  // namespace swf
