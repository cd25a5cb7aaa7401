#include "paint.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace swf {

namespace {

constexpr double kGradientHalfSize = 16384;  // twips from the gradient square's centre to its edge

std::uint32_t PremultipliedOf(Rgba color) {
  const auto scale = [&](std::uint32_t c) { return (c * color.a + 127) / 255; };
  return std::uint32_t{color.a} << 24 | scale(color.r) << 16 | scale(color.g) << 8 | scale(color.b);
}

// Fills drawn through a matrix that flattens them to a line or a point draw nothing.
std::optional<Matrix> InverseIfRegular(const Matrix& m) {
  const double determinant = m.a * m.d - m.b * m.c;
  if (!std::isfinite(determinant) || std::fabs(determinant) < 1e-12) return std::nullopt;
  return Inverse(m);
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

SolidPaint::SolidPaint(Rgba color) : color_(PremultipliedOf(color)) {}

void SolidPaint::Shade(int, int, int count, std::uint32_t* out) const { std::fill_n(out, count, color_); }

GradientPaint::GradientPaint(const Gradient& gradient, const Matrix& toSurface, const ColorTransform& colors)
    : kind_(gradient.kind), spread_(gradient.spread), focal_(std::clamp(gradient.focal, -0.98, 0.98)) {
  Matrix square;
  square.a = square.d = kGradientHalfSize;
  const std::optional<Matrix> inverse = InverseIfRegular(toSurface.Then(gradient.matrix).Then(square));
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

namespace {

// A position along the gradient (0 to 1 inside it) as the index of its
// colour, past the ends as the spread says.
template <GradientSpread kSpread>
std::size_t ColorIndex(double t) {
  if constexpr (kSpread == GradientSpread::Repeat) {
    t -= std::floor(t);
  } else if constexpr (kSpread == GradientSpread::Reflect) {
    t = std::fabs(t);
    t -= 2 * std::floor(t / 2);
    if (t > 1) t = 2 - t;
  }
  if (!(t > 0)) return 0;  // also NaN
  if (t >= 1) return 255;
  return static_cast<std::size_t>(t * 255 + 0.5);
}

}  // namespace

void GradientPaint::Shade(int x, int y, int count, std::uint32_t* out) const {
  switch (spread_) {
    case GradientSpread::Pad: ShadeSpread<GradientSpread::Pad>(x, y, count, out); break;
    case GradientSpread::Reflect: ShadeSpread<GradientSpread::Reflect>(x, y, count, out); break;
    case GradientSpread::Repeat: ShadeSpread<GradientSpread::Repeat>(x, y, count, out); break;
  }
}

namespace {

// A colour index in 16.16 fixed point (0 .. 255 << 16 inside the gradient)
// as the spread maps it into the gradient, rounded to a whole index.
template <GradientSpread kSpread>
std::size_t FixedColorIndex(std::int64_t v) {
  constexpr std::int64_t kSpan = std::int64_t{255} << 16;
  if constexpr (kSpread == GradientSpread::Repeat) {
    v %= kSpan;
    if (v < 0) v += kSpan;
  } else if constexpr (kSpread == GradientSpread::Reflect) {
    v %= 2 * kSpan;
    if (v < 0) v += 2 * kSpan;
    if (v > kSpan) v = 2 * kSpan - v;
  } else {
    v = std::clamp<std::int64_t>(v, 0, kSpan);
  }
  return static_cast<std::size_t>((v + 0x8000) >> 16);
}

}  // namespace

template <GradientSpread kSpread>
void GradientPaint::ShadeSpread(int x, int y, int count, std::uint32_t* out) const {
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
    case GradientKind::Linear: {
      // (gx + 1) / 2 along the row, as a colour index in 16.16 fixed point:
      // the row's value at column 0 and the step a column, both whole numbers,
      // so stepping from any column gives each pixel the same index.
      const double half = m.a / 2, start = (rowX + 1) / 2;
      constexpr double kScale = 255.0 * 65536;
      const double first = (start + half * 0.5) * kScale, step = half * kScale;
      constexpr double kRange = 1e15;  // far from overflowing, even a surface width of steps away
      if (std::fabs(first) < kRange && std::fabs(step) < kRange / 65536) {
        const auto fixedStep = static_cast<std::int64_t>(std::llround(step));
        std::int64_t v = static_cast<std::int64_t>(std::llround(first)) + fixedStep * x;
        for (int i = 0; i < count; ++i, v += fixedStep) out[i] = colors_[FixedColorIndex<kSpread>(v)];
      } else {
        for (int i = 0; i < count; ++i) out[i] = colors_[ColorIndex<kSpread>(half * (x + i + 0.5) + start)];
      }
      break;
    }
    case GradientKind::Radial: {
      // Single precision is plenty for 256 colours; the distance's square root
      // is one instruction then.
      const auto a = static_cast<float>(m.a), b = static_cast<float>(m.b);
      const auto fx = static_cast<float>(rowX), fy = static_cast<float>(rowY);
      if (!(std::fabs(fx) < 1e30f && std::fabs(fy) < 1e30f && std::fabs(a) < 1e20f && std::fabs(b) < 1e20f)) {
        std::fill_n(out, count, colors_.back());
        break;
      }
      for (int i = 0; i < count; ++i) {
        const float px = static_cast<float>(x + i) + 0.5f;
        const float gx = a * px + fx, gy = b * px + fy;
        const float distance = std::sqrt(gx * gx + gy * gy);
        if constexpr (kSpread == GradientSpread::Pad) {
          out[i] = colors_[distance >= 1 ? 255 : static_cast<std::size_t>(distance * 255 + 0.5f)];
        } else {
          out[i] = colors_[ColorIndex<kSpread>(distance)];
        }
      }
      break;
    }
    case GradientKind::FocalRadial:
      // t is how far the point lies from the focal point along the ray from
      // the focal point to the unit circle.
      for (int i = 0; i < count; ++i) {
        const double px = x + i + 0.5;
        const double dx = m.a * px + rowX - focal_, dy = m.b * px + rowY;
        const double along = focal_ * dx;
        const double lengthSquared = dx * dx + dy * dy;
        const double root = std::sqrt(along * along + lengthSquared * (1 - focal_ * focal_));
        out[i] = colors_[ColorIndex<kSpread>(lengthSquared / (root - along))];
      }
      break;
  }
}

BitmapPaint::BitmapPaint(const BitmapFill& fill, const Matrix& toSurface, const ColorTransform& colors)
    : bitmap_(*fill.bitmap), repeat_(fill.repeat), smooth_(fill.smooth), colors_(colors) {
  const std::optional<Matrix> inverse = InverseIfRegular(toSurface.Then(fill.matrix));
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

namespace {

std::int64_t Wrap(std::int64_t value, std::int64_t span) { return ((value % span) + span) % span; }

// A 16.16 coordinate walking along one axis of a bitmap: wrapped into the
// bitmap when it repeats (kept there by one compare a step, no division),
// else clamped to its edge pixels.
class Axis {
 public:
  Axis(std::int64_t start, std::int64_t step, int size, bool repeat)
      : size_(size), span_(std::int64_t{size} << 16), repeat_(repeat) {
    value_ = repeat ? Wrap(start, span_) : start;
    step_ = repeat ? step % span_ : step;
  }
  // The pixel the coordinate lies in, and the one after it.
  [[nodiscard]] int Pixel() const {
    if (repeat_) return static_cast<int>(value_ >> 16);
    return static_cast<int>(std::clamp<std::int64_t>(value_ >> 16, 0, size_ - 1));
  }
  [[nodiscard]] int Next() const {
    if (repeat_) {
      const int next = static_cast<int>(value_ >> 16) + 1;
      return next == size_ ? 0 : next;
    }
    return static_cast<int>(std::clamp<std::int64_t>((value_ >> 16) + 1, 0, size_ - 1));
  }
  [[nodiscard]] std::uint32_t Fraction() const { return static_cast<std::uint32_t>((value_ >> 8) & 0xFF); }
  void Step() {
    value_ += step_;
    if (!repeat_) return;
    if (value_ >= span_) {
      value_ -= span_;
    } else if (value_ < 0) {
      value_ += span_;
    }
  }

 private:
  std::int64_t value_ = 0, step_ = 0;
  int size_;
  std::int64_t span_;
  bool repeat_;
};

}  // namespace

namespace {

bool PowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// A repeating bitmap whose sides are powers of two wraps by itself: its 16.16
// span divides 2^32, so 32-bit coordinates that overflow land on the same
// pixel and fraction as the wrapped ones, and a mask finds the pixel.
struct WrappingAxes {
  std::uint32_t u, v, du, dv, widthMask, heightMask;
  WrappingAxes(std::int64_t startU, std::int64_t startV, std::int64_t stepU, std::int64_t stepV, int width, int height)
      : u(static_cast<std::uint32_t>(startU)),
        v(static_cast<std::uint32_t>(startV)),
        du(static_cast<std::uint32_t>(stepU)),
        dv(static_cast<std::uint32_t>(stepV)),
        widthMask(static_cast<std::uint32_t>(width - 1)),
        heightMask(static_cast<std::uint32_t>(height - 1)) {}
};

}  // namespace

void BitmapPaint::ShadeNearest(std::int64_t u, std::int64_t v, int count, std::uint32_t* out) const {
  const std::uint32_t* pixels = bitmap_.pixels.data();
  const auto width = static_cast<std::size_t>(bitmap_.width);
  if (repeat_ && PowerOfTwo(bitmap_.width) && PowerOfTwo(bitmap_.height)) {
    WrappingAxes at(u, v, du_, dv_, bitmap_.width, bitmap_.height);
    for (int i = 0; i < count; ++i, at.u += at.du, at.v += at.dv) {
      out[i] = pixels[((at.v >> 16) & at.heightMask) * width + ((at.u >> 16) & at.widthMask)];
    }
    return;
  }
  Axis across(u, du_, bitmap_.width, repeat_), down(v, dv_, bitmap_.height, repeat_);
  for (int i = 0; i < count; ++i, across.Step(), down.Step()) {
    out[i] = pixels[static_cast<std::size_t>(down.Pixel()) * width + static_cast<std::size_t>(across.Pixel())];
  }
}

namespace {

#if defined(__SSE2__) || defined(_M_X64)
// Mixes four premultiplied pixels as Lerp does (the same arithmetic per
// channel), in 16-bit lanes.
std::uint32_t Bilinear(std::uint32_t topLeft, std::uint32_t topRight, std::uint32_t bottomLeft,
                       std::uint32_t bottomRight, std::uint32_t fx, std::uint32_t fy) {
  const __m128i zero = _mm_setzero_si128();
  const auto pair = [&](std::uint32_t left, std::uint32_t right) {
    const __m128i both = _mm_or_si128(_mm_cvtsi32_si128(static_cast<int>(left)),
                                      _mm_slli_si128(_mm_cvtsi32_si128(static_cast<int>(right)), 4));
    return _mm_unpacklo_epi8(both, zero);
  };
  const auto weights = [](std::uint32_t w) {
    const auto keep = static_cast<short>(256 - w), take = static_cast<short>(w);
    return _mm_setr_epi16(keep, keep, keep, keep, take, take, take, take);
  };
  const auto mix = [](__m128i lanes, __m128i weight) {
    const __m128i products = _mm_mullo_epi16(lanes, weight);
    return _mm_srli_epi16(_mm_add_epi16(products, _mm_srli_si128(products, 8)), 8);
  };
  const __m128i across = weights(fx);
  const __m128i top = mix(pair(topLeft, topRight), across);
  const __m128i bottom = mix(pair(bottomLeft, bottomRight), across);
  const __m128i mixed = mix(_mm_unpacklo_epi64(top, bottom), weights(fy));
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(mixed, zero)));
}
#else
// Mixes two premultiplied colours, `weight` (0..256) of the second.
std::uint32_t Lerp(std::uint32_t first, std::uint32_t second, std::uint32_t weight) {
  const std::uint32_t keep = 256 - weight;
  const std::uint32_t redBlue = (((first & 0x00FF00FFu) * keep + (second & 0x00FF00FFu) * weight) >> 8) & 0x00FF00FFu;
  const std::uint32_t alphaGreen =
      (((first >> 8 & 0x00FF00FFu) * keep + (second >> 8 & 0x00FF00FFu) * weight) >> 8) & 0x00FF00FFu;
  return alphaGreen << 8 | redBlue;
}

std::uint32_t Bilinear(std::uint32_t topLeft, std::uint32_t topRight, std::uint32_t bottomLeft,
                       std::uint32_t bottomRight, std::uint32_t fx, std::uint32_t fy) {
  return Lerp(Lerp(topLeft, topRight, fx), Lerp(bottomLeft, bottomRight, fx), fy);
}
#endif

}  // namespace

void BitmapPaint::ShadeSmooth(std::int64_t u, std::int64_t v, int count, std::uint32_t* out) const {
  const std::uint32_t* pixels = bitmap_.pixels.data();
  const auto width = static_cast<std::size_t>(bitmap_.width);
  // Sample between the four pixels whose centres surround the point.
  if (repeat_ && PowerOfTwo(bitmap_.width) && PowerOfTwo(bitmap_.height)) {
    WrappingAxes at(u - 0x8000, v - 0x8000, du_, dv_, bitmap_.width, bitmap_.height);
    for (int i = 0; i < count; ++i, at.u += at.du, at.v += at.dv) {
      const std::uint32_t x0 = (at.u >> 16) & at.widthMask, x1 = (x0 + 1) & at.widthMask;
      const std::uint32_t y0 = (at.v >> 16) & at.heightMask, y1 = (y0 + 1) & at.heightMask;
      const std::uint32_t* top = pixels + y0 * width;
      const std::uint32_t* bottom = pixels + y1 * width;
      out[i] = Bilinear(top[x0], top[x1], bottom[x0], bottom[x1], (at.u >> 8) & 0xFFu, (at.v >> 8) & 0xFFu);
    }
    return;
  }
  Axis across(u - 0x8000, du_, bitmap_.width, repeat_), down(v - 0x8000, dv_, bitmap_.height, repeat_);
  for (int i = 0; i < count; ++i, across.Step(), down.Step()) {
    const auto x0 = static_cast<std::size_t>(across.Pixel()), x1 = static_cast<std::size_t>(across.Next());
    const std::uint32_t* top = pixels + static_cast<std::size_t>(down.Pixel()) * width;
    const std::uint32_t* bottom = pixels + static_cast<std::size_t>(down.Next()) * width;
    out[i] = Bilinear(top[x0], top[x1], bottom[x0], bottom[x1], across.Fraction(), down.Fraction());
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
