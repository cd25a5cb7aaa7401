#include "bitmap_pixels.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace swf {
namespace {

std::uint32_t Channel(std::uint32_t argb, int shift) { return (argb >> shift) & 0xFFu; }

std::uint32_t Pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

std::uint32_t ClampChannel(double value) {
  if (!(value > 0)) return 0;
  if (value >= 255) return 255;
  return static_cast<std::uint32_t>(value);
}

// The bit shift of a channel bit (red 1, green 2, blue 4, alpha 8); -1 for
// anything else.
int ShiftOf(std::uint32_t channel) {
  switch (channel) {
    case kChannelRed:
      return 16;
    case kChannelGreen:
      return 8;
    case kChannelBlue:
      return 0;
    case kChannelAlpha:
      return 24;
    default:
      return -1;
  }
}

// Source-over of two unmultiplied colours.
std::uint32_t BlendOver(std::uint32_t top, std::uint32_t bottom) {
  const std::uint32_t ta = Channel(top, 24);
  if (ta == 255) return top;
  if (ta == 0) return bottom;
  const std::uint32_t pt = Premultiply(top), pb = Premultiply(bottom);
  auto mix = [&](int shift) { return Channel(pt, shift) + (Channel(pb, shift) * (255 - ta) + 127) / 255; };
  return Unpremultiply(Pack(std::min<std::uint32_t>(mix(24), 255), std::min<std::uint32_t>(mix(16), 255),
                            std::min<std::uint32_t>(mix(8), 255), std::min<std::uint32_t>(mix(0), 255)));
}

// Maximal Galois shift-register taps by register width, for the dissolve order.
constexpr std::uint32_t kDissolveTaps[] = {0,       0,       0x3,     0x6,     0xC,      0x14,     0x30,
                                           0x60,    0xB8,    0x110,   0x240,   0x500,    0x829,    0x100D,
                                           0x2015,  0x6000,  0xD008,  0x12000, 0x20400,  0x40023,  0x90000,
                                           0x140000, 0x300000, 0x420000, 0xE10000};

}  // namespace

std::uint32_t Premultiply(std::uint32_t argb) {
  const std::uint32_t a = Channel(argb, 24);
  if (a == 255) return argb;
  if (a == 0) return 0;
  auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return Pack(a, scale(Channel(argb, 16)), scale(Channel(argb, 8)), scale(Channel(argb, 0)));
}

std::uint32_t Unpremultiply(std::uint32_t premultiplied) {
  const std::uint32_t a = Channel(premultiplied, 24);
  if (a == 255) return premultiplied;
  if (a == 0) return 0;
  auto scale = [a](std::uint32_t p) { return std::min<std::uint32_t>((p * 255 + (a - 1) / 2) / a, 255); };
  return Pack(a, scale(Channel(premultiplied, 16)), scale(Channel(premultiplied, 8)), scale(Channel(premultiplied, 0)));
}

NoiseRandom::NoiseRandom(std::int32_t seed) {
  const std::int64_t start = seed > 0 ? std::int64_t{seed} : 1 - std::int64_t{seed};
  state_ = static_cast<std::uint32_t>(start % 2147483647);
  if (state_ == 0) state_ = 1;
}

std::uint32_t NoiseRandom::Next() {
  state_ = static_cast<std::uint32_t>((std::uint64_t{state_} * 16807u) % 2147483647u);
  return state_;
}

PixelBitmap::PixelBitmap(int width, int height, bool transparent, std::uint32_t fillArgb)
    : width_(width), height_(height), transparent_(transparent) {
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), Stored(fillArgb));
}

std::uint32_t PixelBitmap::Stored(std::uint32_t argb) const {
  return transparent_ ? Premultiply(argb) : (argb | 0xFF000000u);
}

std::uint32_t PixelBitmap::GetPixel32(int x, int y) const {
  if (!Contains(x, y)) return 0;
  return Unpremultiply(pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                               static_cast<std::size_t>(x)]);
}

void PixelBitmap::SetPixel32(int x, int y, std::uint32_t argb) {
  if (!Contains(x, y)) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = Stored(argb);
}

void PixelBitmap::SetPixel(int x, int y, std::uint32_t rgb) {
  if (!Contains(x, y)) return;
  SetPixel32(x, y, (GetPixel32(x, y) & 0xFF000000u) | (rgb & 0xFFFFFFu));
}

PixelArea PixelBitmap::Clip(PixelArea area) const {
  if (area.Empty()) return {};
  const std::int64_t x0 = std::max<std::int64_t>(area.x, 0), y0 = std::max<std::int64_t>(area.y, 0);
  const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{area.x} + area.width, width_);
  const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{area.y} + area.height, height_);
  if (x1 <= x0 || y1 <= y0) return {};
  return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

std::optional<PixelBitmap::Span> PixelBitmap::ClipCopy(const PixelBitmap& source, PixelArea area, int dx,
                                                       int dy) const {
  if (area.Empty()) return std::nullopt;
  // Clip to the source, moving the destination with the corner.
  std::int64_t sx = area.x, sy = area.y, w = area.width, h = area.height, tx = dx, ty = dy;
  if (sx < 0) { w += sx; tx -= sx; sx = 0; }
  if (sy < 0) { h += sy; ty -= sy; sy = 0; }
  w = std::min<std::int64_t>(w, source.width_ - sx);
  h = std::min<std::int64_t>(h, source.height_ - sy);
  // Then to this bitmap.
  if (tx < 0) { w += tx; sx -= tx; tx = 0; }
  if (ty < 0) { h += ty; sy -= ty; ty = 0; }
  w = std::min<std::int64_t>(w, width_ - tx);
  h = std::min<std::int64_t>(h, height_ - ty);
  if (w <= 0 || h <= 0) return std::nullopt;
  return Span{static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(tx), static_cast<int>(ty),
              static_cast<int>(w), static_cast<int>(h)};
}

void PixelBitmap::FillRect(const PixelArea& area, std::uint32_t argb) {
  const PixelArea clipped = Clip(area);
  const std::uint32_t stored = Stored(argb);
  for (int y = clipped.y; y < clipped.y + clipped.height; ++y) {
    auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
    std::fill(row + clipped.x, row + clipped.x + clipped.width, stored);
  }
}

bool PixelBitmap::FloodFill(int x, int y, std::uint32_t argb) {
  if (!Contains(x, y)) return false;
  const std::uint32_t stored = Stored(argb);
  auto at = [this](int px, int py) -> std::uint32_t& {
    return pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(px)];
  };
  const std::uint32_t target = at(x, y);
  if (target == stored) return false;
  // Row spans from an explicit stack: no recursion however large the region.
  std::vector<std::pair<int, int>> pending{{x, y}};
  while (!pending.empty()) {
    auto [px, py] = pending.back();
    pending.pop_back();
    if (at(px, py) != target) continue;
    int left = px, right = px;
    while (left > 0 && at(left - 1, py) == target) --left;
    while (right + 1 < width_ && at(right + 1, py) == target) ++right;
    for (int i = left; i <= right; ++i) at(i, py) = stored;
    for (int ny : {py - 1, py + 1}) {
      if (ny < 0 || ny >= height_) continue;
      bool inRun = false;
      for (int i = left; i <= right; ++i) {
        const bool match = at(i, ny) == target;
        if (match && !inRun) pending.emplace_back(i, ny);
        inRun = match;
      }
    }
  }
  return true;
}

void PixelBitmap::CopyPixels(const PixelBitmap& source, PixelArea area, int dx, int dy, const PixelBitmap* alpha,
                             int ax, int ay, bool mergeAlpha) {
  const auto span = ClipCopy(source, area, dx, dy);
  if (!span) return;
  // Copying a bitmap onto itself reads from a copy of what it held.
  const PixelBitmap* from = &source;
  std::optional<PixelBitmap> copy;
  if (&source == this) {
    copy.emplace(*this);
    from = &*copy;
  }
  for (int row = 0; row < span->height; ++row) {
    for (int col = 0; col < span->width; ++col) {
      std::uint32_t pixel = from->GetPixel32(span->sx + col, span->sy + row);
      if (alpha) {
        const int mx = ax + (span->sx - area.x) + col, my = ay + (span->sy - area.y) + row;
        const std::uint32_t factor = alpha->Contains(mx, my) ? Channel(alpha->GetPixel32(mx, my), 24) : 0;
        pixel = (pixel & 0xFFFFFFu) | (((Channel(pixel, 24) * factor + 127) / 255) << 24);
      }
      const int tx = span->dx + col, ty = span->dy + row;
      if (mergeAlpha || (alpha && !transparent_)) pixel = BlendOver(pixel, GetPixel32(tx, ty));
      SetPixel32(tx, ty, pixel);
    }
  }
}

void PixelBitmap::CopyChannel(const PixelBitmap& source, PixelArea area, int dx, int dy, std::uint32_t sourceChannel,
                              std::uint32_t destChannel) {
  // A source channel that is no single channel reads as 0; a destination
  // that is none changes nothing.
  const int from = ShiftOf(sourceChannel), to = ShiftOf(destChannel);
  if (to < 0) return;
  if (to == 24 && !transparent_) return;
  const auto span = ClipCopy(source, area, dx, dy);
  if (!span) return;
  std::optional<PixelBitmap> copy;
  const PixelBitmap* src = &source;
  if (&source == this) {
    copy.emplace(*this);
    src = &*copy;
  }
  for (int row = 0; row < span->height; ++row) {
    for (int col = 0; col < span->width; ++col) {
      const std::uint32_t value = from < 0 ? 0 : Channel(src->GetPixel32(span->sx + col, span->sy + row), from);
      const int tx = span->dx + col, ty = span->dy + row;
      const std::uint32_t old = GetPixel32(tx, ty);
      SetPixel32(tx, ty, (old & ~(0xFFu << to)) | (value << to));
    }
  }
}

void PixelBitmap::ApplyColorTransform(PixelArea area, const ColorTerms& t) {
  const PixelArea clipped = Clip(area);
  for (int y = clipped.y; y < clipped.y + clipped.height; ++y) {
    for (int x = clipped.x; x < clipped.x + clipped.width; ++x) {
      const std::uint32_t p = GetPixel32(x, y);
      SetPixel32(x, y,
                 Pack(ClampChannel(Channel(p, 24) * t.ma + t.aa), ClampChannel(Channel(p, 16) * t.mr + t.ar),
                      ClampChannel(Channel(p, 8) * t.mg + t.ag), ClampChannel(Channel(p, 0) * t.mb + t.ab)));
    }
  }
}

void PixelBitmap::Noise(std::int32_t seed, int low, int high, std::uint32_t channels, bool gray) {
  NoiseRandom random(seed);
  low = std::clamp(low, 0, 255);
  high = std::clamp(high, 0, 255);
  // A range that ends below its start gives its start.
  const std::int64_t range = std::int64_t{high} - low + 1;
  auto next = [&]() -> std::uint32_t {
    if (range <= 0) return static_cast<std::uint32_t>(std::clamp(low, 0, 255));
    const std::int64_t value = low + static_cast<std::int64_t>(random.Next() % static_cast<std::uint64_t>(range));
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, 255));
  };
  const bool alpha = transparent_ && (channels & kChannelAlpha) != 0;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      std::uint32_t r = 0, g = 0, b = 0, a = 255;
      if (gray) {
        r = g = b = next();
      } else {
        if (channels & kChannelRed) r = next();
        if (channels & kChannelGreen) g = next();
        if (channels & kChannelBlue) b = next();
      }
      if (alpha) a = next();
      // Noise stores its colours premultiplied with a division by 256
      // (rounded), not the 255 of setPixel32: some read back one lower.
      auto scale = [a](std::uint32_t c) { return (c * a + 128) >> 8; };
      const std::uint32_t stored = a == 255 ? Pack(a, r, g, b) : a == 0 ? 0 : Pack(a, scale(r), scale(g), scale(b));
      pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = stored;
    }
  }
}

namespace {

// A smooth pseudo-random value in [-1, 1] at a lattice point.
double Lattice(std::uint32_t seed, int channel, std::int64_t x, std::int64_t y) {
  std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^
                    (static_cast<std::uint64_t>(seed) << 8) ^ static_cast<std::uint64_t>(channel);
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return static_cast<double>(h & 0xFFFFFF) / 8388607.5 - 1.0;
}

double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

double ValueNoise(std::uint32_t seed, int channel, double x, double y, std::int64_t wrapX, std::int64_t wrapY) {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
  auto corner = [&](std::int64_t cx, std::int64_t cy) {
    if (wrapX > 0) cx = ((cx % wrapX) + wrapX) % wrapX;
    if (wrapY > 0) cy = ((cy % wrapY) + wrapY) % wrapY;
    return Lattice(seed, channel, cx, cy);
  };
  const double u = Fade(x - fx), v = Fade(y - fy);
  const double top = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * u;
  const double bottom = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * u;
  return top + (bottom - top) * v;
}

}  // namespace

void PixelBitmap::PerlinNoise(double baseX, double baseY, int octaves, std::int32_t seed, bool stitch, bool fractal,
                              std::uint32_t channels, bool gray,
                              const std::vector<std::pair<double, double>>& offsets) {
  octaves = std::clamp(octaves, 0, 32);
  const bool alpha = transparent_ && (channels & kChannelAlpha) != 0;
  const auto seedBits = static_cast<std::uint32_t>(seed);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      double sums[4] = {0, 0, 0, 0};
      double frequencyX = baseX != 0 ? 1.0 / std::fabs(baseX) : 0, frequencyY = baseY != 0 ? 1.0 / std::fabs(baseY) : 0;
      double amplitude = 1, total = 0;
      for (int octave = 0; octave < octaves; ++octave) {
        const auto& offset = static_cast<std::size_t>(octave) < offsets.size() ? offsets[static_cast<std::size_t>(octave)]
                                                                                 : std::pair<double, double>{0, 0};
        const double px = (x + offset.first) * frequencyX, py = (y + offset.second) * frequencyY;
        const std::int64_t wrapX = stitch ? std::max<std::int64_t>(1, std::llround(width_ * frequencyX)) : 0;
        const std::int64_t wrapY = stitch ? std::max<std::int64_t>(1, std::llround(height_ * frequencyY)) : 0;
        for (int c = 0; c < 4; ++c) {
          const double n = ValueNoise(seedBits + static_cast<std::uint32_t>(octave) * 7919u, c, px, py, wrapX, wrapY);
          sums[c] += (fractal ? n : std::fabs(n)) * amplitude;
        }
        total += amplitude;
        amplitude *= 0.5;
        frequencyX *= 2;
        frequencyY *= 2;
      }
      auto level = [&](int c) {
        if (total == 0) return 0u;
        const double n = sums[c] / total;
        return ClampChannel(fractal ? (n + 1) * 127.5 : n * 255);
      };
      std::uint32_t r = 0, g = 0, b = 0;
      if (gray) {
        r = g = b = level(0);
      } else {
        if (channels & kChannelRed) r = level(0);
        if (channels & kChannelGreen) g = level(1);
        if (channels & kChannelBlue) b = level(2);
      }
      SetPixel32(x, y, Pack(alpha ? level(3) : 255, r, g, b));
    }
  }
}

std::int32_t PixelBitmap::PixelDissolve(const PixelBitmap& source, PixelArea area, int dx, int dy, std::int32_t seed,
                                        int count, std::uint32_t fillArgb) {
  const auto span = ClipCopy(source, area, dx, dy);
  if (!span) return seed;
  count = std::max(count, 0);
  const std::uint32_t total = static_cast<std::uint32_t>(span->width) * static_cast<std::uint32_t>(span->height);
  int bits = 2;
  while (bits < 24 && (std::uint32_t{1} << bits) - 1 < total) ++bits;
  const std::uint32_t period = (std::uint32_t{1} << bits) - 1;
  // The seed is the register's state: every state from 1 to the period
  // comes once before any repeats, so each pixel is replaced once a round.
  // A call writes the pixel the seed stands on, then moves on `count` times,
  // writing each pixel it reaches; the seed it returns stands on the last.
  const auto periodSigned = static_cast<std::int64_t>(period);
  std::int64_t start = std::int64_t{seed} % periodSigned;
  if (start <= 0) start += periodSigned;
  auto state = static_cast<std::uint32_t>(start);
  auto advance = [&] {
    do {
      state = (state & 1u) ? (state >> 1) ^ kDissolveTaps[bits] : state >> 1;
    } while (state - 1 >= total);
  };
  if (state - 1 >= total) advance();
  const bool fill = &source == this;
  auto write = [&] {
    const std::uint32_t index = state - 1;
    const int col = static_cast<int>(index % static_cast<std::uint32_t>(span->width));
    const int row = static_cast<int>(index / static_cast<std::uint32_t>(span->width));
    SetPixel32(span->dx + col, span->dy + row, fill ? fillArgb : source.GetPixel32(span->sx + col, span->sy + row));
  };
  write();
  const std::uint32_t steps = std::min<std::uint32_t>(static_cast<std::uint32_t>(count), total);
  for (std::uint32_t i = 0; i < steps; ++i) {
    advance();
    write();
  }
  return static_cast<std::int32_t>(state);
}

std::optional<int> PixelBitmap::Threshold(const PixelBitmap& source, PixelArea area, int dx, int dy,
                                          std::string_view operation, std::uint32_t threshold,
                                          std::uint32_t colorArgb, std::uint32_t mask, bool copySource) {
  enum class Op { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
  Op op;
  if (operation == "<") op = Op::Less;
  else if (operation == "<=") op = Op::LessEqual;
  else if (operation == ">") op = Op::Greater;
  else if (operation == ">=") op = Op::GreaterEqual;
  else if (operation == "==") op = Op::Equal;
  else if (operation == "!=") op = Op::NotEqual;
  else return std::nullopt;
  const auto span = ClipCopy(source, area, dx, dy);
  if (!span) return 0;
  std::optional<PixelBitmap> copy;
  const PixelBitmap* src = &source;
  if (&source == this) {
    copy.emplace(*this);
    src = &*copy;
  }
  const std::uint32_t limit = threshold & mask;
  int passed = 0;
  for (int row = 0; row < span->height; ++row) {
    for (int col = 0; col < span->width; ++col) {
      const std::uint32_t pixel = src->GetPixel32(span->sx + col, span->sy + row);
      const std::uint32_t value = pixel & mask;
      bool hit = false;
      switch (op) {
        case Op::Less: hit = value < limit; break;
        case Op::LessEqual: hit = value <= limit; break;
        case Op::Greater: hit = value > limit; break;
        case Op::GreaterEqual: hit = value >= limit; break;
        case Op::Equal: hit = value == limit; break;
        case Op::NotEqual: hit = value != limit; break;
      }
      const int tx = span->dx + col, ty = span->dy + row;
      if (hit) {
        SetPixel32(tx, ty, colorArgb);
        ++passed;
      } else if (copySource) {
        SetPixel32(tx, ty, pixel);
      }
    }
  }
  return passed;
}

void PixelBitmap::Scroll(int dx, int dy) {
  if (std::abs(std::int64_t{dx}) >= width_ || std::abs(std::int64_t{dy}) >= height_) return;
  const std::vector<std::uint32_t> before = pixels_;
  for (int y = std::max(0, dy); y < std::min(height_, height_ + dy); ++y) {
    for (int x = std::max(0, dx); x < std::min(width_, width_ + dx); ++x) {
      pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] =
          before[static_cast<std::size_t>(y - dy) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x - dx)];
    }
  }
}

PixelArea PixelBitmap::ColorBounds(std::uint32_t mask, std::uint32_t color, bool find) const {
  int x0 = width_, y0 = height_, x1 = -1, y1 = -1;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const bool equal = (GetPixel32(x, y) & mask) == (color & mask);
      if (equal != find) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return {};
  return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

bool PixelBitmap::HitPoint(int x, int y, int threshold) const {
  if (!Contains(x, y)) return false;
  // A fully transparent pixel never counts, whatever the threshold.
  return static_cast<int>(Channel(GetPixel32(x, y), 24)) >= std::max(threshold, 1);
}

bool PixelBitmap::HitArea(PixelArea area, int threshold) const {
  const PixelArea clipped = Clip(area);
  for (int y = clipped.y; y < clipped.y + clipped.height; ++y) {
    for (int x = clipped.x; x < clipped.x + clipped.width; ++x) {
      if (static_cast<int>(Channel(GetPixel32(x, y), 24)) >= threshold) return true;
    }
  }
  return false;
}

bool PixelBitmap::HitBitmap(int atX, int atY, int threshold, const PixelBitmap& other, int otherX, int otherY,
                            int otherThreshold) const {
  // The overlap in the shared space.
  const std::int64_t x0 = std::max<std::int64_t>(atX, otherX), y0 = std::max<std::int64_t>(atY, otherY);
  const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{atX} + width_, std::int64_t{otherX} + other.width_);
  const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{atY} + height_, std::int64_t{otherY} + other.height_);
  for (std::int64_t y = y0; y < y1; ++y) {
    for (std::int64_t x = x0; x < x1; ++x) {
      const auto mine = Channel(GetPixel32(static_cast<int>(x - atX), static_cast<int>(y - atY)), 24);
      const auto theirs = Channel(other.GetPixel32(static_cast<int>(x - otherX), static_cast<int>(y - otherY)), 24);
      if (static_cast<int>(mine) >= threshold && static_cast<int>(theirs) >= otherThreshold) return true;
    }
  }
  return false;
}

std::optional<PixelBitmap> PixelBitmap::Compare(const PixelBitmap& other) const {
  std::optional<PixelBitmap> result;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const std::uint32_t a = GetPixel32(x, y), b = other.GetPixel32(x, y);
      if (a == b) continue;
      if (!result) result.emplace(width_, height_, true, 0);
      std::uint32_t difference;
      if ((a & 0xFFFFFFu) != (b & 0xFFFFFFu)) {
        auto diff = [&](int shift) { return (Channel(a, shift) - Channel(b, shift)) & 0xFFu; };
        difference = Pack(255, diff(16), diff(8), diff(0));
      } else {
        difference = Pack((Channel(a, 24) - Channel(b, 24)) & 0xFFu, 255, 255, 255);
      }
      result->SetPixel32(x, y, difference);
    }
  }
  return result;
}

}  // namespace swf

namespace swf {

void PixelBitmap::DrawOver(PixelArea area, const std::uint32_t* overBlack, const std::uint32_t* overWhite) {
  for (int row = 0; row < area.height; ++row) {
    const int y = area.y + row;
    if (y < 0 || y >= height_) continue;
    for (int column = 0; column < area.width; ++column) {
      const int x = area.x + column;
      if (x < 0 || x >= width_) continue;
      const std::size_t from = static_cast<std::size_t>(row) * static_cast<std::size_t>(area.width) +
                               static_cast<std::size_t>(column);
      const std::uint32_t dark = overBlack[from], light = overWhite[from];
      // Over white a pixel shows 255 - alpha brighter than over black.
      int lightSum = 0;
      for (const int shift : {16, 8, 0}) {
        lightSum += std::clamp(static_cast<int>(light >> shift & 0xFFu) - static_cast<int>(dark >> shift & 0xFFu), 0, 255);
      }
      const std::uint32_t alpha = 255 - static_cast<std::uint32_t>((lightSum + 1) / 3);
      if (alpha == 0) continue;
      std::uint32_t& pixel = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                     static_cast<std::size_t>(x)];
      const std::uint32_t keep = 255 - alpha;
      std::uint32_t out = 0;
      for (const int shift : {16, 8, 0}) {
        const std::uint32_t source = std::min(dark >> shift & 0xFFu, alpha);
        out |= (source + ((pixel >> shift & 0xFFu) * keep + 127) / 255) << shift;
      }
      const std::uint32_t outAlpha = transparent_ ? alpha + ((pixel >> 24) * keep + 127) / 255 : 255;
      pixel = std::min<std::uint32_t>(outAlpha, 255) << 24 | out;
    }
  }
}

void PixelBitmap::ApplyFilter(const PixelBitmap& source, PixelArea area, int dx, int dy, const Filter& filter) {
  const auto span = ClipCopy(source, area, dx, dy);
  if (!span) return;
  // The filter works on a copy of the source's pixels (which may be these).
  std::vector<std::uint32_t> image(static_cast<std::size_t>(span->width) * static_cast<std::size_t>(span->height));
  for (int row = 0; row < span->height; ++row) {
    const auto from = source.pixels_.begin() + static_cast<std::ptrdiff_t>(span->sy + row) * source.width_ + span->sx;
    std::copy_n(from, span->width, image.begin() + static_cast<std::ptrdiff_t>(row) * span->width);
  }
  ApplyFilters(FilterImage{image.data(), span->width, span->height, span->width}, std::span(&filter, 1));
  for (int row = 0; row < span->height; ++row) {
    auto to = pixels_.begin() + static_cast<std::ptrdiff_t>(span->dy + row) * width_ + span->dx;
    const auto from = image.begin() + static_cast<std::ptrdiff_t>(row) * span->width;
    // An opaque bitmap keeps no coverage: what the filter left see-through
    // lies over black.
    if (transparent_) {
      std::copy_n(from, span->width, to);
    } else {
      std::transform(from, from + span->width, to, [](std::uint32_t p) { return p | 0xFF000000u; });
    }
  }
}

PixelArea WithinBitmap(const PixelArea& area, const PixelBitmap& bitmap) {
  const long long left = std::max(area.x, 0), top = std::max(area.y, 0);
  const long long right = std::min<long long>(static_cast<long long>(area.x) + std::max(area.width, 0), bitmap.Width());
  const long long bottom =
      std::min<long long>(static_cast<long long>(area.y) + std::max(area.height, 0), bitmap.Height());
  if (right <= left || bottom <= top) return {};
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left), static_cast<int>(bottom - top)};
}

}  // namespace swf
