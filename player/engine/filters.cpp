// The filter kernels: box blurs repeated by quality, and the effects built on
// a blurred alpha (shadows, glows, bevels), the colour matrix and the
// convolution. They work in float planes, one per channel, so that repeated
// passes do not lose precision, and write back premultiplied ARGB.

#include "filters.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace swf {
namespace {

// The widest box a pass takes, in surface pixels, whatever the scale: past
// this a blur costs more without looking any different on a saver's screen.
constexpr double kMaxBoxWidth = 1024;
// The farthest a shadow or bevel may be moved, in surface pixels.
constexpr double kMaxOffset = 2048;

// The index of (x, y) in rows `width` long.
std::size_t Cell(int y, int width, int x) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
}

double Finite(double number, double fallback = 0) { return std::isfinite(number) ? number : fallback; }

struct Plane {
  int width = 0, height = 0;
  std::vector<float> values;
  Plane(int w, int h, float fill = 0)
      : width(w), height(h), values(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  float& At(int x, int y) { return values[Cell(y, width, x)]; }
  [[nodiscard]] float At(int x, int y) const {
    return values[Cell(y, width, x)];
  }
  // 0 outside.
  [[nodiscard]] float Sample(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : At(x, y);
  }
};

std::uint32_t* Row(const FilterImage& image, int y) {
  return image.pixels + static_cast<std::ptrdiff_t>(y) * image.stride;
}

float ChannelOf(std::uint32_t pixel, int shift) { return static_cast<float>(pixel >> shift & 0xFFu) / 255.0f; }

std::uint32_t ToByte(float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

// Premultiplied channels (each 0..1, colour no more than alpha) to a pixel.
std::uint32_t Pack(float a, float r, float g, float b) {
  const std::uint32_t alpha = ToByte(a);
  const auto colour = [&](float c) { return std::min(ToByte(c), alpha); };
  return alpha << 24 | colour(r) << 16 | colour(g) << 8 | colour(b);
}

// A box of width `width` (fractional: its two end taps weigh the fraction)
// run along `count` values `step` apart, zero beyond both ends.
void BoxLine(float* values, int count, std::ptrdiff_t step, double width, std::vector<double>& prefix) {
  const int k = static_cast<int>(std::floor((width - 1) / 2));
  const double fraction = (width - (2 * k + 1)) / 2;
  prefix.assign(static_cast<std::size_t>(count) + 1, 0.0);
  for (int i = 0; i < count; ++i) prefix[static_cast<std::size_t>(i) + 1] = prefix[static_cast<std::size_t>(i)] + values[i * step];
  const auto sumTo = [&](int end) {  // sum of values[0, end)
    return prefix[static_cast<std::size_t>(std::clamp(end, 0, count))];
  };
  const auto value = [&](int i) -> double { return i < 0 || i >= count ? 0.0 : prefix[static_cast<std::size_t>(i) + 1] - prefix[static_cast<std::size_t>(i)]; };
  const double scale = 1 / width;
  for (int i = 0; i < count; ++i) {
    double sum = sumTo(i + k + 1) - sumTo(i - k);
    if (fraction > 0) sum += fraction * (value(i - k - 1) + value(i + k + 1));
    values[i * step] = static_cast<float>(sum * scale);
  }
}

double BoxWidth(double blur, double scale) { return std::min(Finite(blur) * Finite(scale, 1), kMaxBoxWidth); }

// Blurs a plane by `passes` boxes across and down.
void BlurPlane(Plane& plane, double widthX, double widthY, int passes) {
  std::vector<double> prefix;
  for (int pass = 0; pass < passes; ++pass) {
    if (widthX > 1) {
      for (int y = 0; y < plane.height; ++y) BoxLine(&plane.At(0, y), plane.width, 1, widthX, prefix);
    }
    if (widthY > 1) {
      for (int x = 0; x < plane.width; ++x) BoxLine(&plane.At(x, 0), plane.height, plane.width, widthY, prefix);
    }
  }
}

Plane AlphaPlane(const FilterImage& image) {
  Plane alpha(image.width, image.height);
  for (int y = 0; y < image.height; ++y) {
    const std::uint32_t* row = Row(image, y);
    for (int x = 0; x < image.width; ++x) alpha.At(x, y) = ChannelOf(row[x], 24);
  }
  return alpha;
}

struct Colour {
  float a, r, g, b;
};
Colour ColourOf(std::uint32_t argb) {
  return {ChannelOf(argb, 24), ChannelOf(argb, 16), ChannelOf(argb, 8), ChannelOf(argb, 0)};
}

void Blur(const FilterImage& image, const Filter& filter, double sx, double sy) {
  const double wx = BoxWidth(filter.blurX, sx), wy = BoxWidth(filter.blurY, sy);
  if ((wx <= 1 && wy <= 1) || filter.passes <= 0) return;
  std::array<Plane, 4> planes{Plane(image.width, image.height), Plane(image.width, image.height),
                              Plane(image.width, image.height), Plane(image.width, image.height)};
  for (int y = 0; y < image.height; ++y) {
    const std::uint32_t* row = Row(image, y);
    for (int x = 0; x < image.width; ++x) {
      for (int c = 0; c < 4; ++c) planes[static_cast<std::size_t>(c)].At(x, y) = ChannelOf(row[x], 24 - 8 * c);
    }
  }
  for (Plane& plane : planes) BlurPlane(plane, wx, wy, filter.passes);
  for (int y = 0; y < image.height; ++y) {
    std::uint32_t* row = Row(image, y);
    for (int x = 0; x < image.width; ++x) {
      row[x] = Pack(planes[0].At(x, y), planes[1].At(x, y), planes[2].At(x, y), planes[3].At(x, y));
    }
  }
}

// A colour from a gradient's stops at `place` (0..1), not premultiplied.
Colour GradientAt(const Filter& filter, float place) {
  const auto& colours = filter.gradientColors;
  const auto& ratios = filter.gradientRatios;
  if (colours.empty()) return {0, 0, 0, 0};
  const float at = std::clamp(place, 0.0f, 1.0f) * 255.0f;
  if (at <= ratios.front()) return ColourOf(colours.front());
  for (std::size_t i = 1; i < colours.size(); ++i) {
    if (at > ratios[i]) continue;
    const float span = static_cast<float>(ratios[i] - ratios[i - 1]);
    const float t = span > 0 ? (at - ratios[i - 1]) / span : 1.0f;
    const Colour a = ColourOf(colours[i - 1]), b = ColourOf(colours[i]);
    return {a.a + (b.a - a.a) * t, a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
  }
  return ColourOf(colours.back());
}

// Where an effect shows and how it joins the object.
enum class Placing { Outer, Inner, Full };

// Joins an effect (premultiplied, per pixel) to the object.
void Join(const FilterImage& image, const Filter& filter, Placing placing, const std::vector<Colour>& effect) {
  const bool effectOnly = filter.knockout || filter.hideObject;
  for (int y = 0; y < image.height; ++y) {
    std::uint32_t* row = Row(image, y);
    for (int x = 0; x < image.width; ++x) {
      const Colour e = effect[Cell(y, image.width, x)];
      const Colour s = ColourOf(row[x]);
      Colour out{};
      if (filter.knockout) {
        // The effect where the object is not (outer), or only over it (inner).
        const float keep = placing == Placing::Outer ? 1 - s.a : 1.0f;
        out = {e.a * keep, e.r * keep, e.g * keep, e.b * keep};
      } else if (effectOnly) {
        out = e;
      } else if (placing == Placing::Outer) {
        // The effect lies beneath the object.
        const float under = 1 - s.a;
        out = {s.a + e.a * under, s.r + e.r * under, s.g + e.g * under, s.b + e.b * under};
      } else {
        // Over the object (the inner part lies within it).
        const float under = 1 - e.a;
        out = {e.a + s.a * under, e.r + s.r * under, e.g + s.g * under, e.b + s.b * under};
      }
      row[x] = Pack(out.a, out.r, out.g, out.b);
    }
  }
}

int Offset(double distance, double angle, double scale, bool cosine) {
  const double along = Finite(distance) * (cosine ? std::cos(Finite(angle)) : std::sin(Finite(angle))) * Finite(scale, 1);
  return static_cast<int>(std::lround(std::clamp(along, -kMaxOffset, kMaxOffset)));
}

// Drop shadow, glow and gradient glow: the object's alpha blurred, moved and
// coloured, beneath the object or (inner) over it where it is.
void Shadow(const FilterImage& image, const Filter& filter, double sx, double sy) {
  const Plane alpha = AlphaPlane(image);
  Plane blurred = alpha;
  BlurPlane(blurred, BoxWidth(filter.blurX, sx), BoxWidth(filter.blurY, sy), std::max(filter.passes, 0));
  const bool moves = filter.kind == FilterKind::DropShadow;
  const int dx = moves ? Offset(filter.distance, filter.angle, sx, true) : 0;
  const int dy = moves ? Offset(filter.distance, filter.angle, sy, false) : 0;
  const bool gradient = filter.kind == FilterKind::GradientGlow;
  const Colour colour = ColourOf(filter.color);
  const float strength = static_cast<float>(Finite(filter.strength));
  std::vector<Colour> effect(alpha.values.size());
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const float cover = blurred.Sample(x - dx, y - dy);
      const float inside = alpha.At(x, y);
      float amount = std::clamp(strength * (filter.inner ? 1 - cover : cover), 0.0f, 1.0f);
      if (filter.inner) amount *= inside;
      Colour c = colour;
      if (gradient) {
        c = GradientAt(filter, std::clamp(strength * (filter.inner ? 1 - cover : cover), 0.0f, 1.0f));
        amount = filter.inner ? inside : (cover > 0 ? 1.0f : 0.0f);
      }
      const float a = c.a * amount;
      effect[Cell(y, image.width, x)] = {a, c.r * a, c.g * a, c.b * a};
    }
  }
  Join(image, filter, filter.inner ? Placing::Inner : Placing::Outer, effect);
}

// Bevel and gradient bevel: the blurred alpha seen from both sides of the
// angle gives a lit edge (highlight) and a turned-away edge (shadow).
void Bevel(const FilterImage& image, const Filter& filter, double sx, double sy) {
  const Plane alpha = AlphaPlane(image);
  Plane blurred = alpha;
  BlurPlane(blurred, BoxWidth(filter.blurX, sx), BoxWidth(filter.blurY, sy), std::max(filter.passes, 0));
  const int dx = Offset(filter.distance / 2, filter.angle, sx, true);
  const int dy = Offset(filter.distance / 2, filter.angle, sy, false);
  const Placing placing = filter.onTop ? Placing::Full : filter.inner ? Placing::Inner : Placing::Outer;
  const bool gradient = filter.kind == FilterKind::GradientBevel;
  const Colour light = ColourOf(filter.highlight), dark = ColourOf(filter.color);
  const float strength = static_cast<float>(Finite(filter.strength));
  std::vector<Colour> effect(alpha.values.size());
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      // Positive where the light falls: the side the angle points away from.
      const float slope = blurred.Sample(x + dx, y + dy) - blurred.Sample(x - dx, y - dy);
      const float inside = alpha.At(x, y);
      const float where = placing == Placing::Inner ? inside : placing == Placing::Outer ? 1 - inside : 1.0f;
      Colour c{};
      float amount = 0;
      if (gradient) {
        c = GradientAt(filter, 0.5f + std::clamp(strength * slope, -1.0f, 1.0f) * 0.5f);
        amount = where;
      } else {
        amount = std::clamp(strength * std::fabs(slope), 0.0f, 1.0f) * where;
        c = slope >= 0 ? light : dark;
      }
      const float a = c.a * amount;
      effect[Cell(y, image.width, x)] = {a, c.r * a, c.g * a, c.b * a};
    }
  }
  Join(image, filter, placing, effect);
}

// The colour matrix works on colours not premultiplied, offsets in 0..255.
void ColorMatrix(const FilterImage& image, const Filter& filter) {
  const auto& m = filter.colorMatrix;
  for (int y = 0; y < image.height; ++y) {
    std::uint32_t* row = Row(image, y);
    for (int x = 0; x < image.width; ++x) {
      const Colour p = ColourOf(row[x]);
      const float in[4] = {p.a > 0 ? p.r / p.a : 0, p.a > 0 ? p.g / p.a : 0, p.a > 0 ? p.b / p.a : 0, p.a};
      float out[4];
      for (int r = 0; r < 4; ++r) {
        const float* terms = &m[static_cast<std::size_t>(r) * 5];
        out[r] = std::clamp(terms[0] * in[0] + terms[1] * in[1] + terms[2] * in[2] + terms[3] * in[3] + terms[4] / 255,
                            0.0f, 1.0f);
      }
      row[x] = Pack(out[3], out[0] * out[3], out[1] * out[3], out[2] * out[3]);
    }
  }
}

void Convolution(const FilterImage& image, const Filter& filter) {
  if (filter.matrixX <= 0 || filter.matrixY <= 0 ||
      filter.matrix.size() != static_cast<std::size_t>(filter.matrixX) * static_cast<std::size_t>(filter.matrixY)) {
    return;
  }
  // The source, colours not premultiplied.
  std::vector<Colour> source(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    const std::uint32_t* row = Row(image, y);
    for (int x = 0; x < image.width; ++x) {
      const Colour p = ColourOf(row[x]);
      source[Cell(y, image.width, x)] =
          p.a > 0 ? Colour{p.a, p.r / p.a, p.g / p.a, p.b / p.a} : Colour{0, 0, 0, 0};
    }
  }
  const Colour outside = ColourOf(filter.defaultColor);
  const float divisor = filter.divisor != 0 && std::isfinite(filter.divisor) ? filter.divisor : 1.0f;
  const float bias = (std::isfinite(filter.bias) ? filter.bias : 0.0f) / 255;
  const int halfX = filter.matrixX / 2, halfY = filter.matrixY / 2;
  for (int y = 0; y < image.height; ++y) {
    std::uint32_t* row = Row(image, y);
    for (int x = 0; x < image.width; ++x) {
      Colour sum{0, 0, 0, 0};
      for (int j = 0; j < filter.matrixY; ++j) {
        for (int i = 0; i < filter.matrixX; ++i) {
          const float w = filter.matrix[Cell(j, filter.matrixX, i)];
          if (w == 0) continue;
          int px = x + i - halfX, py = y + j - halfY;
          Colour p = outside;
          if (filter.clamp) {
            px = std::clamp(px, 0, image.width - 1);
            py = std::clamp(py, 0, image.height - 1);
          }
          if (px >= 0 && py >= 0 && px < image.width && py < image.height) {
            p = source[Cell(py, image.width, px)];
          }
          sum.a += w * p.a;
          sum.r += w * p.r;
          sum.g += w * p.g;
          sum.b += w * p.b;
        }
      }
      const Colour own = source[Cell(y, image.width, x)];
      const float a = filter.preserveAlpha ? own.a : std::clamp(sum.a / divisor + bias, 0.0f, 1.0f);
      const auto channel = [&](float v) { return std::clamp(v / divisor + bias, 0.0f, 1.0f) * a; };
      row[x] = Pack(a, channel(sum.r), channel(sum.g), channel(sum.b));
    }
  }
}

// A map channel's value (0..255) at a map pixel; 128, which moves nothing,
// off the map or for a channel that is none of the four.
int MapChannel(const Filter& filter, int mx, int my, std::uint32_t component) {
  if (mx < 0 || my < 0 || mx >= filter.mapWidth || my >= filter.mapHeight) return 128;
  const std::uint32_t pixel = (*filter.displacementMap)[Cell(my, filter.mapWidth, mx)];
  switch (component) {
    case 1: return static_cast<int>(pixel >> 16 & 0xFFu);
    case 2: return static_cast<int>(pixel >> 8 & 0xFFu);
    case 4: return static_cast<int>(pixel & 0xFFu);
    case 8: return static_cast<int>(pixel >> 24);
    default: return 128;
  }
}

bool HasUsableMap(const Filter& filter) {
  return filter.displacementMap && filter.mapWidth > 0 && filter.mapHeight > 0 &&
         filter.displacementMap->size() ==
             static_cast<std::size_t>(filter.mapWidth) * static_cast<std::size_t>(filter.mapHeight);
}

int Wrapped(int value, int span) { return ((value % span) + span) % span; }

// Each pixel takes the pixel the map's channels point it to: a channel of
// 128 stays, 0 and 255 reach half the scale back and forth. The map's
// pixels are the object's pixels, so a stage shown larger stretches the map.
void Displace(const FilterImage& image, const Filter& filter, double sx, double sy) {
  if (!HasUsableMap(filter)) return;
  std::vector<std::uint32_t> source(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    std::copy_n(Row(image, y), image.width, source.begin() + static_cast<std::ptrdiff_t>(Cell(y, image.width, 0)));
  }
  const double mapScaleX = std::max(Finite(sx, 1), 1e-3), mapScaleY = std::max(Finite(sy, 1), 1e-3);
  const double reachX = filter.displaceX * mapScaleX / 256, reachY = filter.displaceY * mapScaleY / 256;
  const Colour fill = ColourOf(filter.color);
  const std::uint32_t outside = Pack(fill.a, fill.r * fill.a, fill.g * fill.a, fill.b * fill.a);
  for (int y = 0; y < image.height; ++y) {
    std::uint32_t* row = Row(image, y);
    const int my = static_cast<int>(std::floor((y + 0.5 - image.originY) / mapScaleY)) - filter.mapY;
    for (int x = 0; x < image.width; ++x) {
      const int mx = static_cast<int>(std::floor((x + 0.5 - image.originX) / mapScaleX)) - filter.mapX;
      const double moveX = (MapChannel(filter, mx, my, filter.componentX) - 128) * reachX;
      const double moveY = (MapChannel(filter, mx, my, filter.componentY) - 128) * reachY;
      // Past the picture's size every move lands outside it alike.
      const double far = 4.0 * (image.width + image.height);
      int fx = x + static_cast<int>(std::floor(std::clamp(moveX, -far, far) + 0.5));
      int fy = y + static_cast<int>(std::floor(std::clamp(moveY, -far, far) + 0.5));
      const bool inside = fx >= 0 && fy >= 0 && fx < image.width && fy < image.height;
      if (!inside) {
        switch (filter.displaceMode) {
          case DisplaceMode::Wrap:
            fx = Wrapped(fx, image.width);
            fy = Wrapped(fy, image.height);
            break;
          case DisplaceMode::Clamp:
            fx = std::clamp(fx, 0, image.width - 1);
            fy = std::clamp(fy, 0, image.height - 1);
            break;
          case DisplaceMode::Ignore:
            fx = x;
            fy = y;
            break;
          case DisplaceMode::Color: row[x] = outside; continue;
        }
      }
      row[x] = source[Cell(fy, image.width, fx)];
    }
  }
}

// Whole pixels a blur of `passes` boxes spreads each way.
int BlurReach(double blur, double scale, int passes) {
  const double width = BoxWidth(blur, scale);
  if (width <= 1 || passes <= 0) return 0;
  return passes * static_cast<int>(std::ceil(width / 2));
}

}  // namespace

Filter SaneFilter(Filter filter) {
  const auto blur = [](double v) { return std::clamp(Finite(v), 0.0, kMaxFilterBlur); };
  filter.blurX = blur(filter.blurX);
  filter.blurY = blur(filter.blurY);
  filter.passes = std::clamp(filter.passes, 0, kMaxFilterPasses);
  filter.angle = Finite(filter.angle);
  filter.distance = std::clamp(Finite(filter.distance), -kMaxOffset, kMaxOffset);
  filter.strength = std::clamp(Finite(filter.strength), 0.0, 255.0);
  const std::size_t stops = std::min(filter.gradientColors.size(), filter.gradientRatios.size());
  filter.gradientColors.resize(stops);
  filter.gradientRatios.resize(stops);
  // Stops come in rising order.
  for (std::size_t i = 1; i < stops; ++i) {
    filter.gradientRatios[i] = std::max(filter.gradientRatios[i], filter.gradientRatios[i - 1]);
  }
  filter.matrixX = std::clamp(filter.matrixX, 0, kMaxConvolutionSide);
  filter.matrixY = std::clamp(filter.matrixY, 0, kMaxConvolutionSide);
  const std::size_t cells = static_cast<std::size_t>(filter.matrixX) * static_cast<std::size_t>(filter.matrixY);
  filter.matrix.resize(cells, 0.0f);
  for (float& v : filter.matrix) v = std::isfinite(v) ? v : 0.0f;
  for (float& v : filter.colorMatrix) v = std::isfinite(v) ? v : 0.0f;
  if (!std::isfinite(filter.divisor)) filter.divisor = 1;
  if (!std::isfinite(filter.bias)) filter.bias = 0;
  filter.displaceX = std::clamp(Finite(filter.displaceX), -kMaxDisplacementScale, kMaxDisplacementScale);
  filter.displaceY = std::clamp(Finite(filter.displaceY), -kMaxDisplacementScale, kMaxDisplacementScale);
  if (!HasUsableMap(filter) || filter.mapWidth > kMaxDisplacementMapSide || filter.mapHeight > kMaxDisplacementMapSide) {
    filter.displacementMap.reset();
    filter.mapWidth = filter.mapHeight = 0;
  }
  return filter;
}

FilterReach ReachOf(std::span<const Filter> filters, double scaleX, double scaleY) {
  FilterReach reach;
  constexpr int kMaxReach = 8192;
  for (const Filter& filter : filters) {
    int rx = BlurReach(filter.blurX, scaleX, filter.passes), ry = BlurReach(filter.blurY, scaleY, filter.passes);
    int dx = 0, dy = 0;
    switch (filter.kind) {
      case FilterKind::DropShadow:
        dx = Offset(filter.distance, filter.angle, scaleX, true);
        dy = Offset(filter.distance, filter.angle, scaleY, false);
        break;
      case FilterKind::Bevel:
      case FilterKind::GradientBevel: {
        // The effect shows on both sides of the angle.
        const int bx = std::abs(Offset(filter.distance / 2, filter.angle, scaleX, true));
        const int by = std::abs(Offset(filter.distance / 2, filter.angle, scaleY, false));
        rx += bx;
        ry += by;
        break;
      }
      case FilterKind::Convolution:
        rx = std::max(filter.matrixX, 0) / 2 + 1;
        ry = std::max(filter.matrixY, 0) / 2 + 1;
        break;
      case FilterKind::ColorMatrix: rx = ry = 0; break;
      case FilterKind::DisplacementMap:
        // A pixel moves at most half the scale; the reach is capped below.
        rx = static_cast<int>(std::min(std::ceil(std::fabs(filter.displaceX) * Finite(scaleX, 1) / 2), 8192.0));
        ry = static_cast<int>(std::min(std::ceil(std::fabs(filter.displaceY) * Finite(scaleY, 1) / 2), 8192.0));
        break;
      default: break;
    }
    reach.left = std::min(kMaxReach, reach.left + rx + std::max(0, -dx));
    reach.right = std::min(kMaxReach, reach.right + rx + std::max(0, dx));
    reach.top = std::min(kMaxReach, reach.top + ry + std::max(0, -dy));
    reach.bottom = std::min(kMaxReach, reach.bottom + ry + std::max(0, dy));
  }
  return reach;
}

void ApplyFilter(const FilterImage& image, const Filter& filter, double scaleX, double scaleY) {
  if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) return;
  switch (filter.kind) {
    case FilterKind::Blur: Blur(image, filter, scaleX, scaleY); break;
    case FilterKind::DropShadow:
    case FilterKind::Glow:
    case FilterKind::GradientGlow: Shadow(image, filter, scaleX, scaleY); break;
    case FilterKind::Bevel:
    case FilterKind::GradientBevel: Bevel(image, filter, scaleX, scaleY); break;
    case FilterKind::ColorMatrix: ColorMatrix(image, filter); break;
    case FilterKind::Convolution: Convolution(image, filter); break;
    case FilterKind::DisplacementMap: Displace(image, filter, scaleX, scaleY); break;
  }
}

void ApplyFilters(const FilterImage& image, std::span<const Filter> filters, double scaleX, double scaleY) {
  for (const Filter& filter : filters) ApplyFilter(image, filter, scaleX, scaleY);
}

}  // namespace swf
