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
  template <GradientSpread kSpread>
  void ShadeSpread(int x, int y, int count, std::uint32_t* out) const;

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
  void Recolor(int count, std::uint32_t* out) const;

  const Bitmap& bitmap_;
  bool repeat_, smooth_;
  bool singular_ = false;
  Matrix toBitmap_;               // the surface's pixels to the bitmap's
  std::int64_t du_ = 0, dv_ = 0;  // 16.16 steps along a row
  ColorTransform colors_;
  bool recolor_ = false;
};

// Divides each of two 16-bit fields by 255, rounding.
[[nodiscard]] inline std::uint32_t DivideFieldsBy255(std::uint32_t fields) {
  fields += 0x00800080u;
  return ((fields + ((fields >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

// Scales the four channels of a premultiplied colour by weight/256.
[[nodiscard]] inline std::uint32_t ScaleColor(std::uint32_t color, std::uint32_t weight) {
  const std::uint32_t redBlue = ((color & 0x00FF00FFu) * weight >> 8) & 0x00FF00FFu;
  const std::uint32_t alphaGreen = ((color >> 8 & 0x00FF00FFu) * weight >> 8) & 0x00FF00FFu;
  return alphaGreen << 8 | redBlue;
}

// Blends a premultiplied colour over an opaque pixel with a weight (0..256).
[[nodiscard]] inline std::uint32_t BlendPremultiplied(std::uint32_t back, std::uint32_t color, std::uint32_t weight) {
  if (weight >= 256) {
    if (color >> 24 == 0xFFu) return color;
  } else {
    color = ScaleColor(color, weight);
  }
  const std::uint32_t keep = 255 - (color >> 24);
  const std::uint32_t redBlue = DivideFieldsBy255((back & 0x00FF00FFu) * keep) + (color & 0x00FF00FFu);
  const std::uint32_t green = DivideFieldsBy255((back >> 8 & 0xFFu) * keep) + (color >> 8 & 0xFFu);
  return 0xFF000000u | redBlue | green << 8;
}

}  // namespace swf
