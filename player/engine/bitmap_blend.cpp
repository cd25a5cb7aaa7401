// BitmapData.draw's last steps: a picture (another bitmap seen through a
// matrix, or a clip drawn by the frame renderer) mixed into a bitmap's pixels
// by a blend mode. Unlike the stage, a bitmap may be see-through, so every
// mode here also says what becomes of the coverage.

#include <algorithm>
#include <cmath>
#include <iterator>

#include "bitmap_pixels.h"
#include "swf_movie.h"

namespace swf {
namespace {

struct Premultiplied {
  float a, r, g, b;
};

Premultiplied Unpack(std::uint32_t pixel) {
  return {static_cast<float>(pixel >> 24) / 255, static_cast<float>(pixel >> 16 & 0xFFu) / 255,
          static_cast<float>(pixel >> 8 & 0xFFu) / 255, static_cast<float>(pixel & 0xFFu) / 255};
}

std::uint32_t Unit(float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f); }

std::uint32_t Pack(const Premultiplied& p) {
  const std::uint32_t a = Unit(p.a);
  // Premultiplied colour never exceeds its alpha.
  return a << 24 | std::min(Unit(p.r), a) << 16 | std::min(Unit(p.g), a) << 8 | std::min(Unit(p.b), a);
}

// Where the source covers the backdrop the mode's mix shows; where only one
// of them covers, that one shows as it is.
float Separable(std::uint8_t mode, float s, float sa, float d, float da) {
  if (sa <= 0) return d;
  if (da <= 0) return s;
  return s * (1 - da) + d * (1 - sa) + sa * da * MixBlendChannel(mode, d / da, s / sa);
}

Premultiplied BlendPixel(std::uint8_t mode, const Premultiplied& s, const Premultiplied& d) {
  switch (mode) {
    case BlendMode::kAlpha:
      // The source's coverage becomes the backdrop's.
      return {d.a * s.a, d.r * s.a, d.g * s.a, d.b * s.a};
    case BlendMode::kErase: {
      const float keep = 1 - s.a;
      return {d.a * keep, d.r * keep, d.g * keep, d.b * keep};
    }
    case BlendMode::kInvert:
      // The backdrop turns to its negative where the source covers it; the
      // source's own colour never shows.
      return {d.a, d.r * (1 - s.a) + s.a * (d.a - d.r), d.g * (1 - s.a) + s.a * (d.a - d.g),
              d.b * (1 - s.a) + s.a * (d.a - d.b)};
    case BlendMode::kMultiply:
    case BlendMode::kScreen:
    case BlendMode::kLighten:
    case BlendMode::kDarken:
    case BlendMode::kDifference:
    case BlendMode::kAdd:
    case BlendMode::kSubtract:
    case BlendMode::kOverlay:
    case BlendMode::kHardLight:
      return {s.a + d.a - s.a * d.a, Separable(mode, s.r, s.a, d.r, d.a), Separable(mode, s.g, s.a, d.g, d.a),
              Separable(mode, s.b, s.a, d.b, d.a)};
    default: {
      const float keep = 1 - s.a;
      return {s.a + d.a * keep, s.r + d.r * keep, s.g + d.g * keep, s.b + d.b * keep};
    }
  }
}

// An opaque bitmap has no coverage to take away: alpha and erase change nothing in it.
bool ChangesNothing(std::uint8_t mode, bool transparent) {
  return !transparent && (mode == BlendMode::kAlpha || mode == BlendMode::kErase);
}

// The source pixel under a point, premultiplied; 0 outside the source.
std::uint32_t StoredAt(const std::vector<std::uint32_t>& pixels, int width, int height, int x, int y) {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
}

std::uint32_t Weighed(std::uint32_t first, std::uint32_t second, float weight) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 24; shift += 8) {
    const float a = static_cast<float>(first >> shift & 0xFFu), b = static_cast<float>(second >> shift & 0xFFu);
    out |= static_cast<std::uint32_t>(a + (b - a) * weight + 0.5f) << shift;
  }
  return out;
}

}  // namespace

float MixBlendChannel(std::uint8_t mode, float back, float source) {
  switch (mode) {
    case BlendMode::kMultiply: return back * source;
    case BlendMode::kScreen: return back + source - back * source;
    case BlendMode::kLighten: return std::max(back, source);
    case BlendMode::kDarken: return std::min(back, source);
    case BlendMode::kDifference: return std::fabs(back - source);
    case BlendMode::kAdd: return std::min(1.0f, back + source);
    case BlendMode::kSubtract: return std::max(0.0f, back - source);
    case BlendMode::kInvert: return 1 - back;
    case BlendMode::kOverlay: return back <= 0.5f ? 2 * back * source : 1 - 2 * (1 - back) * (1 - source);
    case BlendMode::kHardLight: return source <= 0.5f ? 2 * back * source : 1 - 2 * (1 - back) * (1 - source);
    default: return source;  // normal, layer
  }
}

std::uint8_t BlendModeByName(std::string_view name) {
  static constexpr std::string_view kNames[] = {"normal",   "layer",  "multiply", "screen", "lighten",
                                                "darken",   "difference", "add", "subtract", "invert",
                                                "alpha",    "erase",  "overlay",  "hardlight"};
  for (std::size_t i = 0; i < std::size(kNames); ++i) {
    const std::string_view known = kNames[i];
    if (known.size() != name.size()) continue;
    const bool same = std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
      return a == static_cast<char>(b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
    });
    if (same) return static_cast<std::uint8_t>(BlendMode::kNormal + i);
  }
  return 0;
}

void PixelBitmap::Blend(const PixelBitmap& layer, int dx, int dy, std::uint8_t mode) {
  if (ChangesNothing(mode, transparent_)) return;
  const int left = std::max(dx, 0), top = std::max(dy, 0);
  const int right = static_cast<int>(std::min<long long>(static_cast<long long>(dx) + layer.width_, width_));
  const int bottom = static_cast<int>(std::min<long long>(static_cast<long long>(dy) + layer.height_, height_));
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const std::uint32_t source = layer.pixels_[static_cast<std::size_t>(y - dy) * static_cast<std::size_t>(layer.width_) +
                                                 static_cast<std::size_t>(x - dx)];
      // A pixel the source leaves uncovered stays as it is, in every mode.
      if (source == 0) continue;
      std::uint32_t& pixel =
          pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
      std::uint32_t mixed = Pack(BlendPixel(mode, Unpack(source), Unpack(pixel)));
      if (!transparent_) mixed |= 0xFF000000u;
      pixel = mixed;
    }
  }
}

PixelBitmap PixelBitmap::Resampled(const PixelBitmap& source, const InverseMap& map, PixelArea area, bool smooth) {
  PixelBitmap out(std::max(area.width, 1), std::max(area.height, 1), true, 0);
  const std::vector<std::uint32_t>& from = source.pixels_;
  const int w = source.width_, h = source.height_;
  for (int row = 0; row < out.height_; ++row) {
    for (int column = 0; column < out.width_; ++column) {
      // The centre of the target pixel, back in the source's pixels.
      const double px = area.x + column + 0.5, py = area.y + row + 0.5;
      const double sx = map.a * px + map.c * py + map.tx, sy = map.b * px + map.d * py + map.ty;
      if (!std::isfinite(sx) || !std::isfinite(sy) || sx < 0 || sy < 0 || sx >= w || sy >= h) continue;
      std::uint32_t value = 0;
      if (smooth) {
        const double fx = sx - 0.5, fy = sy - 0.5;
        const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
        const auto wx = static_cast<float>(fx - x0), wy = static_cast<float>(fy - y0);
        // Edge pixels stretch outwards instead of fading into nothing.
        const auto at = [&](int x, int y) { return StoredAt(from, w, h, std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1)); };
        value = Weighed(Weighed(at(x0, y0), at(x0 + 1, y0), wx), Weighed(at(x0, y0 + 1), at(x0 + 1, y0 + 1), wx), wy);
      } else {
        value = StoredAt(from, w, h, static_cast<int>(sx), static_cast<int>(sy));
      }
      out.pixels_[static_cast<std::size_t>(row) * static_cast<std::size_t>(out.width_) + static_cast<std::size_t>(column)] =
          value;
    }
  }
  return out;
}

}  // namespace swf
