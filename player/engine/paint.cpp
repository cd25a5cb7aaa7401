#include "paint.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr double kGradientHalfSize = 16384;  // twips from the gradient square's centre to its edge

std::uint32_t PremultipliedOf(Rgba color) {
  const auto scale = [&](std::uint32_t c) { return (c * color.a + 127) / 255; };
  return std::uint32_t{color.a} << 24 | scale(color.r) << 16 | scale(color.g) << 8 | scale(color.b);
}

// Divides each of two 16-bit fields by 255, rounding.
std::uint32_t DivideFieldsBy255(std::uint32_t fields) {
  fields += 0x00800080u;
  return ((fields + ((fields >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

// Scales the four channels of a premultiplied colour by weight/256.
std::uint32_t ScaleColor(std::uint32_t color, std::uint32_t weight) {
  const std::uint32_t redBlue = ((color & 0x00FF00FFu) * weight >> 8) & 0x00FF00FFu;
  const std::uint32_t alphaGreen = ((color >> 8 & 0x00FF00FFu) * weight >> 8) & 0x00FF00FFu;
  return alphaGreen << 8 | redBlue;
}

std::optional<Matrix> Inverse(const Matrix& m) {
  const double determinant = m.a * m.d - m.b * m.c;
  if (!std::isfinite(determinant) || std::fabs(determinant) < 1e-12) return std::nullopt;
  Matrix inverse;
  inverse.a = m.d / determinant;
  inverse.b = -m.b / determinant;
  inverse.c = -m.c / determinant;
  inverse.d = m.a / determinant;
  inverse.tx = -(inverse.a * m.tx + inverse.c * m.ty);
  inverse.ty = -(inverse.b * m.tx + inverse.d * m.ty);
  return inverse;
}

double ToLinear(double channel) {
  const double c = channel / 255;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double FromLinear(double linear) {
  const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return c * 255;
}

std::uint8_t Channel(double value) { return static_cast<std::uint8_t>(std::clamp(value + 0.5, 0.0, 255.0)); }

// The colour at ratio `at` between two stops.
Rgba MixStops(const GradientStop& low, const GradientStop& high, int at, bool linearRgb) {
  const double t = high.ratio == low.ratio ? 0 : static_cast<double>(at - low.ratio) / (high.ratio - low.ratio);
  const auto mix = [&](std::uint8_t a, std::uint8_t b) {
    if (!linearRgb) return Channel(a + (b - a) * t);
    return Channel(FromLinear(ToLinear(a) + (ToLinear(b) - ToLinear(a)) * t));
  };
  return Rgba{mix(low.color.r, high.color.r), mix(low.color.g, high.color.g), mix(low.color.b, high.color.b),
              Channel(low.color.a + (high.color.a - low.color.a) * t)};
}

}  // namespace

std::uint32_t BlendPremultiplied(std::uint32_t back, std::uint32_t color, std::uint32_t weight) {
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

SolidPaint::SolidPaint(Rgba color) : color_(PremultipliedOf(color)) {}

void SolidPaint::Shade(int, int, int count, std::uint32_t* out) const { std::fill_n(out, count, color_); }

GradientPaint::GradientPaint(const Gradient& gradient, const Matrix& toSurface, const ColorTransform& colors)
    : kind_(gradient.kind), spread_(gradient.spread), focal_(std::clamp(gradient.focal, -0.98, 0.98)) {
  Matrix square;
  square.a = square.d = kGradientHalfSize;
  const std::optional<Matrix> inverse = Inverse(toSurface.Then(gradient.matrix).Then(square));
  singular_ = !inverse;
  if (inverse) toGradient_ = *inverse;
  std::vector<GradientStop> stops = gradient.stops;
  for (GradientStop& stop : stops) stop.color = colors.Apply(stop.color);
  if (stops.empty()) stops.push_back(GradientStop{0, Rgba{0, 0, 0, 0}});
  std::size_t next = 0;
  for (int i = 0; i < 256; ++i) {
    while (next < stops.size() && stops[next].ratio < i) ++next;
    Rgba color;
    if (next == 0) {
      color = stops.front().color;
    } else if (next == stops.size()) {
      color = stops.back().color;
    } else {
      color = MixStops(stops[next - 1], stops[next], i, gradient.linearRgb);
    }
    colors_[static_cast<std::size_t>(i)] = PremultipliedOf(color);
  }
}

std::uint32_t GradientPaint::At(double t) const {
  switch (spread_) {
    case GradientSpread::Pad: break;
    case GradientSpread::Repeat: t -= std::floor(t); break;
    case GradientSpread::Reflect:
      t = std::fabs(t);
      t -= 2 * std::floor(t / 2);
      if (t > 1) t = 2 - t;
      break;
  }
  if (!(t > 0)) return colors_.front();  // also NaN
  if (t >= 1) return colors_.back();
  return colors_[static_cast<std::size_t>(t * 255 + 0.5)];
}

void GradientPaint::Shade(int x, int y, int count, std::uint32_t* out) const {
  if (singular_) {
    std::fill_n(out, count, colors_.back());
    return;
  }
  // Each pixel's place comes from its own column, not from the stretch's
  // start, so a pixel's colour never depends on what else is drawn with it.
  const Matrix& m = toGradient_;
  const double py = y + 0.5;
  const double rowX = m.c * py + m.tx, rowY = m.d * py + m.ty;
  switch (kind_) {
    case GradientKind::Linear:
      for (int i = 0; i < count; ++i) out[i] = At((m.a * (x + i + 0.5) + rowX + 1) / 2);
      break;
    case GradientKind::Radial:
      for (int i = 0; i < count; ++i) {
        const double px = x + i + 0.5;
        const double gx = m.a * px + rowX, gy = m.b * px + rowY;
        out[i] = At(std::sqrt(gx * gx + gy * gy));
      }
      break;
    case GradientKind::FocalRadial:
      // t is how far the point lies from the focal point along the ray from
      // the focal point to the unit circle.
      for (int i = 0; i < count; ++i) {
        const double px = x + i + 0.5;
        const double dx = m.a * px + rowX - focal_, dy = m.b * px + rowY;
        const double along = focal_ * dx;
        const double lengthSquared = dx * dx + dy * dy;
        const double root = std::sqrt(along * along + lengthSquared * (1 - focal_ * focal_));
        out[i] = At(lengthSquared / (root - along));
      }
      break;
  }
}

BitmapPaint::BitmapPaint(const BitmapFill& fill, const Matrix& toSurface, const ColorTransform& colors)
    : bitmap_(*fill.bitmap), repeat_(fill.repeat), smooth_(fill.smooth), colors_(colors) {
  const std::optional<Matrix> inverse = Inverse(toSurface.Then(fill.matrix));
  singular_ = !inverse || bitmap_.pixels.empty();
  if (inverse) toBitmap_ = *inverse;
  constexpr double kLimit = 1e6;  // steps past this cross the bitmap thousands of times a pixel
  singular_ = singular_ || !(std::fabs(toBitmap_.a) < kLimit && std::fabs(toBitmap_.b) < kLimit);
  if (!singular_) {
    du_ = static_cast<std::int64_t>(std::llround(toBitmap_.a * 65536));
    dv_ = static_cast<std::int64_t>(std::llround(toBitmap_.b * 65536));
  }
  recolor_ = !(colors == ColorTransform{});
}

int BitmapPaint::Column(std::int64_t x) const {
  const std::int64_t width = bitmap_.width;
  if (repeat_) return static_cast<int>(((x % width) + width) % width);
  return static_cast<int>(std::clamp<std::int64_t>(x, 0, width - 1));
}

int BitmapPaint::Row(std::int64_t y) const {
  const std::int64_t height = bitmap_.height;
  if (repeat_) return static_cast<int>(((y % height) + height) % height);
  return static_cast<int>(std::clamp<std::int64_t>(y, 0, height - 1));
}

void BitmapPaint::ShadeNearest(std::int64_t u, std::int64_t v, int count, std::uint32_t* out) const {
  const std::uint32_t* pixels = bitmap_.pixels.data();
  const auto width = static_cast<std::size_t>(bitmap_.width);
  for (int i = 0; i < count; ++i, u += du_, v += dv_) {
    out[i] = pixels[static_cast<std::size_t>(Row(v >> 16)) * width + static_cast<std::size_t>(Column(u >> 16))];
  }
}

namespace {

// Mixes two premultiplied colours, `weight` (0..256) of the second.
std::uint32_t Lerp(std::uint32_t first, std::uint32_t second, std::uint32_t weight) {
  const std::uint32_t keep = 256 - weight;
  const std::uint32_t redBlue = (((first & 0x00FF00FFu) * keep + (second & 0x00FF00FFu) * weight) >> 8) & 0x00FF00FFu;
  const std::uint32_t alphaGreen =
      (((first >> 8 & 0x00FF00FFu) * keep + (second >> 8 & 0x00FF00FFu) * weight) >> 8) & 0x00FF00FFu;
  return alphaGreen << 8 | redBlue;
}

}  // namespace

void BitmapPaint::ShadeSmooth(std::int64_t u, std::int64_t v, int count, std::uint32_t* out) const {
  const std::uint32_t* pixels = bitmap_.pixels.data();
  const auto width = static_cast<std::size_t>(bitmap_.width);
  // Sample between the four pixels whose centres surround the point.
  u -= 0x8000;
  v -= 0x8000;
  for (int i = 0; i < count; ++i, u += du_, v += dv_) {
    const std::int64_t column = u >> 16, row = v >> 16;
    const auto fx = static_cast<std::uint32_t>((u >> 8) & 0xFF), fy = static_cast<std::uint32_t>((v >> 8) & 0xFF);
    const std::size_t x0 = static_cast<std::size_t>(Column(column)), x1 = static_cast<std::size_t>(Column(column + 1));
    const std::uint32_t* top = pixels + static_cast<std::size_t>(Row(row)) * width;
    const std::uint32_t* bottom = pixels + static_cast<std::size_t>(Row(row + 1)) * width;
    out[i] = Lerp(Lerp(top[x0], top[x1], fx), Lerp(bottom[x0], bottom[x1], fx), fy);
  }
}

void BitmapPaint::Recolor(int count, std::uint32_t* out) const {
  const ColorTransform& t = colors_;
  const bool alphaOnly = t.mr == 1 && t.mg == 1 && t.mb == 1 && t.ar == 0 && t.ag == 0 && t.ab == 0 && t.aa == 0;
  if (alphaOnly) {
    const auto weight = static_cast<std::uint32_t>(std::clamp(t.ma, 0.0, 1.0) * 256 + 0.5);
    for (int i = 0; i < count; ++i) out[i] = ScaleColor(out[i], weight);
    return;
  }
  for (int i = 0; i < count; ++i) {
    const std::uint32_t p = out[i];
    const std::uint32_t alpha = p >> 24;
    if (alpha == 0 && t.aa <= 0) continue;
    const auto straight = [alpha](std::uint32_t c) {
      return alpha == 0 ? std::uint8_t{0} : static_cast<std::uint8_t>(std::min(255u, (c * 255 + alpha / 2) / alpha));
    };
    const Rgba color{straight(p >> 16 & 0xFFu), straight(p >> 8 & 0xFFu), straight(p & 0xFFu),
                     static_cast<std::uint8_t>(alpha)};
    out[i] = PremultipliedOf(t.Apply(color));
  }
}

void BitmapPaint::Shade(int x, int y, int count, std::uint32_t* out) const {
  if (singular_) {
    std::fill_n(out, count, 0u);
    return;
  }
  // The row's start in 16.16, stepped to the column: a pixel's place never
  // depends on where the stretch it is drawn in starts.
  const double py = y + 0.5;
  const double u = toBitmap_.a * 0.5 + toBitmap_.c * py + toBitmap_.tx;
  const double v = toBitmap_.b * 0.5 + toBitmap_.d * py + toBitmap_.ty;
  constexpr double kRange = 1e12;  // keeps the 16.16 values far from overflowing along a row
  if (!(std::fabs(u) < kRange && std::fabs(v) < kRange)) {
    std::fill_n(out, count, 0u);
    return;
  }
  const auto fixedU = static_cast<std::int64_t>(std::llround(u * 65536)) + du_ * x;
  const auto fixedV = static_cast<std::int64_t>(std::llround(v * 65536)) + dv_ * x;
  if (smooth_) {
    ShadeSmooth(fixedU, fixedV, count, out);
  } else {
    ShadeNearest(fixedU, fixedV, count, out);
  }
  if (recolor_) Recolor(count, out);
}

}  // namespace swf
