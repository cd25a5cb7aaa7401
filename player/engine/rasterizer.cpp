#include "rasterizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "paint.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SWF_BLEND_SSE2 1
#endif

namespace swf {

namespace {

constexpr int kSubScanlines = 5;
constexpr float kSubScanlineWeight = 1.0f / kSubScanlines;
constexpr std::size_t kMaxEdges = 4u << 20;
constexpr double kFlatness = 0.2;  // pixels a flattened curve may stray from the true one
constexpr int kMaxCurvePieces = 64;

std::uint32_t Pack(Rgba color) {
  return 0xFF000000u | (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) | color.b;
}

// The blend weight (0..256) of a pixel covered this much by a colour of this
// alpha. Partly and wholly covered pixels go through this one function, so
// where a pixel lies in its row's runs never changes its value.
std::uint32_t WeightOf(int fullSubScanlines, float partial, float alphaScale) {
  const float coverage = std::min(1.0f, std::fabs(static_cast<float>(fullSubScanlines) * kSubScanlineWeight + partial));
  return static_cast<std::uint32_t>(coverage * alphaScale + 0.5f);
}

// Blends one colour over pixels with a weight (1..255 of 256). Red and blue
// blend together in one multiply, as do alpha and green: no field can carry
// into the next. Runs go four pixels at a time in 16-bit lanes where the
// processor has them, else two at a time in a 64-bit word: the same
// arithmetic per field as one at a time.
class ColorBlend {
 public:
  ColorBlend(Rgba color, std::uint32_t weight)
      : color_(color),
        weight_(weight),
        keep_(256 - weight),
        redBlue_(((std::uint32_t{color.r} << 16) | color.b) * weight),
        green_(std::uint32_t{color.g} * weight) {}

  [[nodiscard]] std::uint32_t Over(std::uint32_t back) const {
    const std::uint32_t redBlue = (((back & 0xFF00FFu) * keep_ + redBlue_) >> 8) & 0xFF00FFu;
    const std::uint32_t green = (((back >> 8 & 0xFFu) * keep_ + green_) >> 8) & 0xFFu;
    return 0xFF000000u | redBlue | green << 8;
  }

  void Over(std::uint32_t* pixels, int count) const {
    int i = OverInLanes(pixels, count);
    constexpr std::uint64_t kFields = 0x00FF00FF00FF00FFull;
    const std::uint64_t redBlue = (std::uint64_t{redBlue_} << 32) | redBlue_;
    const std::uint64_t green = (std::uint64_t{green_} << 32) | green_;
    for (; i + 1 < count; i += 2) {
      std::uint64_t back;
      std::memcpy(&back, pixels + i, sizeof back);
      const std::uint64_t rb = ((back & kFields) * keep_ + redBlue) >> 8 & kFields;
      const std::uint64_t ag = ((back >> 8 & kFields) * keep_ + green) >> 8 & kFields;
      const std::uint64_t blended = 0xFF000000FF000000ull | rb | ag << 8;
      std::memcpy(pixels + i, &blended, sizeof blended);
    }
    if (i < count) pixels[i] = Over(pixels[i]);
  }

 private:
  // The pixels it blended, four at a time from the first.
  int OverInLanes(std::uint32_t* pixels, int count) const {
#if defined(SWF_BLEND_SSE2)
    const auto lane = [this](std::uint8_t channel) { return static_cast<short>(channel * weight_); };
    const __m128i source = _mm_setr_epi16(lane(color_.b), lane(color_.g), lane(color_.r), 0, lane(color_.b),
                                          lane(color_.g), lane(color_.r), 0);
    const __m128i keep = _mm_set1_epi16(static_cast<short>(keep_));
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
      auto* at = reinterpret_cast<__m128i*>(pixels + i);
      const __m128i back = _mm_loadu_si128(at);
      const __m128i low =
          _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(back, zero), keep), source), 8);
      const __m128i high =
          _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(back, zero), keep), source), 8);
      _mm_storeu_si128(at, _mm_or_si128(_mm_packus_epi16(low, high), opaque));
    }
    return i;
#else
    (void)pixels;
    (void)count;
    return 0;
#endif
  }

  Rgba color_;
  std::uint32_t weight_;
  std::uint32_t keep_;
  std::uint32_t redBlue_;
  std::uint32_t green_;
};

void FillPixels(std::uint32_t* pixels, int count, std::uint32_t value) { std::fill_n(pixels, count, value); }

// WeightOf(n, 0, 256) for n whole sub-scanlines.
const std::array<std::uint32_t, kSubScanlines + 1> kWholeWeights = [] {
  std::array<std::uint32_t, kSubScanlines + 1> weights{};
  for (int n = 0; n <= kSubScanlines; ++n) weights[static_cast<std::size_t>(n)] = WeightOf(n, 0.0f, 256.0f);
  return weights;
}();

// Blends premultiplied colours over opaque pixels, each with its weight
// (0..256): four at a time in 16-bit lanes where the processor has them, with
// the same arithmetic per channel as BlendPremultiplied, which does the rest.
void BlendShades(std::uint32_t* pixels, const std::uint32_t* colors, const std::uint32_t* weights, std::size_t count) {
  std::size_t i = 0;
#if defined(SWF_BLEND_SSE2)
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi16(255);
  const __m128i half = _mm_set1_epi16(128);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const auto blend = [&](__m128i source, __m128i back, __m128i weight) {
    source = _mm_srli_epi16(_mm_mullo_epi16(source, weight), 8);
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(source, 0xFF), 0xFF);
    __m128i kept = _mm_add_epi16(_mm_mullo_epi16(back, _mm_sub_epi16(full, alpha)), half);
    kept = _mm_srli_epi16(_mm_add_epi16(kept, _mm_srli_epi16(kept, 8)), 8);
    return _mm_add_epi16(kept, source);
  };
  const __m128i alphas = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i whole = _mm_set1_epi16(256);
  for (; i + 4 <= count; i += 4) {
    const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colors + i));
    auto* at = reinterpret_cast<__m128i*>(pixels + i);
    const bool covered = (weights[i] & weights[i + 1] & weights[i + 2] & weights[i + 3]) >= 256;
    if (covered && _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(source, alphas), alphas)) == 0xFFFF) {
      _mm_storeu_si128(at, source);  // opaque and wholly covered: what BlendPremultiplied gives too
      continue;
    }
    const __m128i back = _mm_loadu_si128(at);
    const auto lane = [&](std::size_t k) { return static_cast<short>(weights[i + k]); };
    const __m128i weightLow =
        covered ? whole : _mm_setr_epi16(lane(0), lane(0), lane(0), lane(0), lane(1), lane(1), lane(1), lane(1));
    const __m128i weightHigh =
        covered ? whole : _mm_setr_epi16(lane(2), lane(2), lane(2), lane(2), lane(3), lane(3), lane(3), lane(3));
    const __m128i low = blend(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(back, zero), weightLow);
    const __m128i high = blend(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(back, zero), weightHigh);
    _mm_storeu_si128(at, _mm_or_si128(_mm_packus_epi16(low, high), opaque));
  }
#endif
  for (; i < count; ++i) pixels[i] = BlendPremultiplied(pixels[i], colors[i], weights[i]);
}

}  // namespace

PixelRect ClipToSurface(const PixelRect& area, const Surface& target) {
  if (target.pixels == nullptr) return {};
  return PixelRect{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, target.width),
                   std::min(area.bottom, target.height)};
}

void FillArea(const Surface& target, const PixelRect& area, Rgba color) {
  const PixelRect clipped = ClipToSurface(area, target);
  if (clipped.Empty()) return;
  const std::uint32_t value = Pack(color);
  for (int y = clipped.top; y < clipped.bottom; ++y) {
    std::uint32_t* row = target.pixels + static_cast<std::ptrdiff_t>(y) * target.stridePixels;
    FillPixels(row + clipped.left, clipped.right - clipped.left, value);
  }
}

void FillSurface(const Surface& target, Rgba color) {
  FillArea(target, PixelRect{0, 0, target.width, target.height}, color);
}

void RowBands::Assign(std::span<const PixelRect> areas) {
  bands.clear();
  stretches.clear();
  bounds = {};
  // Between two consecutive tops or bottoms of the areas, every row is
  // covered by the same areas: one band, unless it repeats the one above.
  // Built in place, so a frame's bands cost no allocation once the vectors
  // have grown.
  constexpr int kNone = std::numeric_limits<int>::max();
  const auto nextEdge = [&](int after) {
    int next = kNone;
    for (const PixelRect& area : areas) {
      if (area.Empty()) continue;
      if (area.top > after) next = std::min(next, area.top);
      if (area.bottom > after) next = std::min(next, area.bottom);
    }
    return next;
  };
  int top = kNone;
  for (const PixelRect& area : areas) {
    if (!area.Empty()) top = std::min(top, area.top);
  }
  while (top != kNone) {
    const int bottom = nextEdge(top);
    if (bottom == kNone) break;
    const std::size_t first = stretches.size();
    for (const PixelRect& area : areas) {
      if (!area.Empty() && area.top <= top && area.bottom >= bottom) stretches.push_back(Stretch{area.left, area.right});
    }
    const auto row = stretches.begin() + static_cast<std::ptrdiff_t>(first);
    std::sort(row, stretches.end(), [](const Stretch& a, const Stretch& b) { return a.left < b.left; });
    std::size_t kept = first;
    for (std::size_t k = first + 1; k < stretches.size(); ++k) {
      if (stretches[k].left <= stretches[kept].right) {
        stretches[kept].right = std::max(stretches[kept].right, stretches[k].right);
      } else {
        stretches[++kept] = stretches[k];
      }
    }
    if (first < stretches.size()) stretches.resize(kept + 1);
    const auto count = static_cast<std::uint32_t>(stretches.size() - first);
    if (count != 0) {
      const auto above =
          bands.empty() ? stretches.end() : stretches.begin() + static_cast<std::ptrdiff_t>(bands.back().first);
      if (!bands.empty() && bands.back().bottom == top && bands.back().count == count &&
          std::equal(above, above + count, stretches.begin() + static_cast<std::ptrdiff_t>(first))) {
        bands.back().bottom = bottom;
        stretches.resize(first);
      } else {
        bands.push_back(Band{top, bottom, static_cast<std::uint32_t>(first), count});
      }
    }
    top = bottom;
  }
  if (bands.empty()) return;
  bounds = PixelRect{std::numeric_limits<int>::max(), bands.front().top, std::numeric_limits<int>::min(),
                     bands.back().bottom};
  for (const Band& band : bands) {
    bounds.left = std::min(bounds.left, stretches[band.first].left);
    bounds.right = std::max(bounds.right, stretches[band.first + band.count - 1].right);
  }
}

bool RowBands::Touches(const PixelRect& rect) const {
  if (rect.Empty() || rect.right <= bounds.left || rect.left >= bounds.right || rect.bottom <= bounds.top ||
      rect.top >= bounds.bottom) {
    return false;
  }
  for (const Band& band : bands) {
    if (band.bottom <= rect.top) continue;
    if (band.top >= rect.bottom) break;
    for (std::uint32_t i = band.first; i < band.first + band.count; ++i) {
      if (stretches[i].left < rect.right && stretches[i].right > rect.left) return true;
    }
  }
  return false;
}

void Rasterizer::Begin(const PixelRect& clip, const RowBands* within) {
  clip_ = clip;
  within_ = within;
  if (within != nullptr) {
    clip_ = PixelRect{std::max(clip_.left, within->bounds.left), std::max(clip_.top, within->bounds.top),
                      std::min(clip_.right, within->bounds.right), std::min(clip_.bottom, within->bounds.bottom)};
  }
  clip_.left = std::max(0, clip_.left);
  clip_.top = std::max(0, clip_.top);
  edges_.clear();
}

void Rasterizer::Line(Vec2 from, Vec2 to) {
  if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) || !std::isfinite(to.y)) return;
  if (from.y == to.y || edges_.size() >= kMaxEdges) return;
  int winding = 1;
  if (from.y > to.y) {
    std::swap(from, to);
    winding = -1;
  }
  // An edge that misses the clip's rows adds nothing to them. The others keep
  // their own ends: cutting them would move their crossings by rounding.
  if (to.y <= clip_.top || from.y >= clip_.bottom) return;
  const double slope = (to.x - from.x) / (to.y - from.y);
  if (!std::isfinite(slope)) return;
  edges_.push_back(Edge{from.x, from.y, to.x, to.y, slope, winding});
}

void Rasterizer::Quad(Vec2 from, Vec2 control, Vec2 to) {
  const double minY = std::min({from.y, control.y, to.y});
  const double maxY = std::max({from.y, control.y, to.y});
  if (maxY <= clip_.top || minY >= clip_.bottom) return;  // adds nothing to any row
  const double maxX = std::max({from.x, control.x, to.x});
  const double minX = std::min({from.x, control.x, to.x});
  if (maxX < clip_.left || minX > clip_.right) {
    // Wholly left or right of the clip, only its rise and fall count.
    const double x = maxX < clip_.left ? clip_.left - 1.0 : clip_.right + 1.0;
    Line({x, from.y}, {x, to.y});
    return;
  }
  const double ddx = from.x - 2 * control.x + to.x;
  const double ddy = from.y - 2 * control.y + to.y;
  const double deviation = std::sqrt(ddx * ddx + ddy * ddy);
  int pieces = 1;
  if (deviation > 0) pieces = static_cast<int>(std::ceil(std::sqrt(std::min(deviation / (4 * kFlatness), 1e6))));
  pieces = std::clamp(pieces, 1, kMaxCurvePieces);
  Vec2 previous = from;
  for (int i = 1; i <= pieces; ++i) {
    const double t = static_cast<double>(i) / pieces;
    const Vec2 point = QuadraticPoint(from, control, to, t);
    Line(previous, i == pieces ? to : point);
    previous = point;
  }
}

namespace {

// floor() of a value known to lie well within int's range, without a call.
int FloorToInt(double v) {
  const int truncated = static_cast<int>(v);
  return truncated - (static_cast<double>(truncated) > v ? 1 : 0);
}

// Sorts a short list in place: a row's crossings and marks are a handful,
// where a general sort costs more in setting up than in sorting.
template <typename T, typename Less>
void SortShort(T* items, std::size_t count, Less less) {
  constexpr std::size_t kShort = 32;
  if (count > kShort) {
    std::sort(items, items + count, less);
    return;
  }
  for (std::size_t i = 1; i < count; ++i) {
    const T item = items[i];
    std::size_t j = i;
    for (; j > 0 && less(item, items[j - 1]); --j) items[j] = items[j - 1];
    items[j] = item;
  }
}

}  // namespace

// The marked columns in order, each once, into marks_; no marks are left.
// A row's marks are a few bits in a few words: reading them out in order
// costs less than sorting the columns as they came.
void Rasterizer::TakeMarks() {
  marks_.clear();
  const auto lastWord = static_cast<std::size_t>(markHigh_) / 64;
  for (auto word = static_cast<std::size_t>(markLow_) / 64; word <= lastWord; ++word) {
    std::uint64_t bits = markBits_[word];
    markBits_[word] = 0;
    for (; bits != 0; bits &= bits - 1) marks_.push_back(static_cast<int>(word * 64) + std::countr_zero(bits));
  }
  ForgetMarkRange();
}

void Rasterizer::ClearMarks() {
  const auto begin = markBits_.begin() + markLow_ / 64;
  std::fill(begin, markBits_.begin() + markHigh_ / 64 + 1, 0);
  ForgetMarkRange();
}

void Rasterizer::ForgetMarkRange() {
  markLow_ = std::numeric_limits<int>::max();
  markHigh_ = -1;
  markCount_ = 0;
}

// The spans of one row's sub-scanlines, added to the row's coverage. The
// bounds, pointers and the marks' range live here rather than in the
// rasterizer so that they stay in registers: stores through the row's arrays
// could otherwise be any member, and each span would read them all again.
// Partial amounts are added in the order of the sub-scanlines and of their
// stretches, which fixes each pixel's float sum to the last bit.
struct Rasterizer::RowSpans {
  float* cover;
  int* runs;
  std::uint64_t* bits;
  int left, right;
  int low, high, count;

  void Mark(int x) {
    const auto column = static_cast<unsigned>(x);
    bits[column / 64] |= std::uint64_t{1} << (column % 64);
  }
  void Partial(int x, float amount) {
    // x lies within a pixel of the clip (the span was clamped to it).
    if (static_cast<unsigned>(x - left) >= static_cast<unsigned>(right - left) || amount == 0) return;
    cover[x] += amount;
    Mark(x);
    low = std::min(low, x);
    high = std::max(high, x);
    ++count;
  }
  // One sub-scanline's covered stretch from x `from` to x `to`: a partly
  // covered pixel at each end and the whole pixels between.
  void Span(double from, double to) {
    // Anything more than a pixel outside the clip counts as that pixel: it
    // changes no pixel inside, and keeps the conversions below in range.
    from = std::clamp(from, left - 1.0, right + 1.0);
    to = std::clamp(to, left - 1.0, right + 1.0);
    if (!(from < to)) return;  // also NaN
    const int first = FloorToInt(from);
    const int last = FloorToInt(to);
    if (first == last) {
      Partial(first, static_cast<float>(to - from) * kSubScanlineWeight);
      return;
    }
    Partial(first, static_cast<float>(first + 1 - from) * kSubScanlineWeight);
    const int runFrom = std::max(first + 1, left), runTo = std::min(last, right);
    if (runFrom < runTo) {
      ++runs[runFrom];
      --runs[runTo];
      Mark(runFrom);
      Mark(runTo);
      low = std::min(low, runFrom);
      high = std::max(high, runTo);
      count += 2;
    }
    Partial(last, static_cast<float>(to - last) * kSubScanlineWeight);
  }
};

void Rasterizer::BlendPixel(std::uint32_t& pixel, std::uint32_t weight, Rgba color) {
  if (weight >= 256) {
    pixel = Pack(color);
  } else if (weight > 0) {
    pixel = ColorBlend(color, weight).Over(pixel);
  }
}

// Where the row's marks lie dense (thin lines, small shapes), one pass over
// every pixel between the first and the last costs less than sorting them.
// Either way each pixel gets the weight of its own coverage.
void Rasterizer::BlendRow(std::uint32_t* row, Rgba color) {
  const int first = markLow_, last = markHigh_;
  constexpr int kPixelsPerMarkWorthWalking = 2;
  if (last - first < markCount_ * kPixelsPerMarkWorthWalking) {
    ClearMarks();
    BlendDenseRow(row, color, first, last);
    return;
  }
  // The marks are read straight from their bits, in order, each word
  // emptied as it is read.
  const std::uint32_t solid = Pack(color);
  const int right = clip_.right;
  float* cover = cover_.data();
  int* runs = runs_.data();
  int full = 0;  // sub-scanlines that wholly cover the current stretch
  int x = first;
  const auto lastWord = static_cast<std::size_t>(last) / 64;
  for (auto word = static_cast<std::size_t>(first) / 64; word <= lastWord; ++word) {
    std::uint64_t bits = markBits_[word];
    markBits_[word] = 0;
    for (; bits != 0; bits &= bits - 1) {
      const int mark = static_cast<int>(word * 64) + std::countr_zero(bits);
      if (x < mark && full != 0) {
        const std::uint32_t weight = SolidWholeWeight(full);
        if (weight >= 256) {
          FillPixels(row + x, mark - x, solid);
        } else if (weight > 0) {
          ColorBlend(color, weight).Over(row + x, mark - x);
        }
      }
      full += runs[mark];
      runs[mark] = 0;
      const float partial = cover[mark];
      cover[mark] = 0;
      x = mark + 1;
      // A mark at the clip's right side is where the last runs end: the
      // last mark of the row, outside the clip.
      if (mark >= right) continue;
      BlendPixel(row[mark], partial == 0 ? SolidWholeWeight(full) : WeightOf(full, partial, solidAlphaScale_), color);
    }
  }
  ForgetMarkRange();
}

// BlendRow's sparse walk, each stretch of constant weight blended only where
// it lies in the row's stretches: the same arithmetic per pixel, so a pixel
// comes out as it would from a clip of its own stretch alone.
void Rasterizer::BlendRowInside(std::uint32_t* row, Rgba color) {
  const std::uint32_t solid = Pack(color);
  const RowBands::Stretch* inside = rowStretches_.data();
  const RowBands::Stretch* const insideEnd = inside + rowStretches_.size();
  // Pieces come left to right, so the stretches are passed only once.
  const auto blend = [&](int from, int to, std::uint32_t weight) {
    if (weight == 0) return;
    while (inside != insideEnd && inside->right <= from) ++inside;
    for (const RowBands::Stretch* s = inside; s != insideEnd && s->left < to; ++s) {
      const int begin = std::max(from, s->left), end = std::min(to, s->right);
      if (begin >= end) continue;
      if (weight >= 256) {
        FillPixels(row + begin, end - begin, solid);
      } else {
        ColorBlend(color, weight).Over(row + begin, end - begin);
      }
    }
  };
  const int right = clip_.right;
  float* cover = cover_.data();
  int* runs = runs_.data();
  int full = 0;
  int x = markLow_;
  const auto lastWord = static_cast<std::size_t>(markHigh_) / 64;
  for (auto word = static_cast<std::size_t>(markLow_) / 64; word <= lastWord; ++word) {
    std::uint64_t bits = markBits_[word];
    markBits_[word] = 0;
    for (; bits != 0; bits &= bits - 1) {
      const int mark = static_cast<int>(word * 64) + std::countr_zero(bits);
      if (x < mark && full != 0) blend(x, mark, SolidWholeWeight(full));
      full += runs[mark];
      runs[mark] = 0;
      const float partial = cover[mark];
      cover[mark] = 0;
      x = mark + 1;
      if (mark >= right) continue;
      blend(mark, mark + 1, partial == 0 ? SolidWholeWeight(full) : WeightOf(full, partial, solidAlphaScale_));
    }
  }
  ForgetMarkRange();
}

void Rasterizer::KeepInside(int first) {
  const int end = first + static_cast<int>(weights_.size());
  int x = first;
  for (const RowBands::Stretch& stretch : rowStretches_) {
    for (; x < std::min(stretch.left, end); ++x) weights_[static_cast<std::size_t>(x - first)] = 0;
    x = std::max(x, stretch.right);
  }
  for (; x < end; ++x) weights_[static_cast<std::size_t>(x - first)] = 0;
}

std::uint32_t Rasterizer::SolidWholeWeight(int full) const {
  static_assert(std::tuple_size_v<decltype(solidWholeWeights_)> == kSubScanlines + 1);
  return full >= 0 && full <= kSubScanlines ? solidWholeWeights_[static_cast<std::size_t>(full)]
                                            : WeightOf(full, 0.0f, solidAlphaScale_);
}

void Rasterizer::BlendDenseRow(std::uint32_t* row, Rgba color, int first, int last) {
  weights_.resize(static_cast<std::size_t>(last - first + 1));
  int full = 0;
  for (int x = first; x <= last; ++x) {
    const auto i = static_cast<std::size_t>(x);
    full += runs_[i];
    runs_[i] = 0;
    const float partial = cover_[i];
    cover_[i] = 0;
    weights_[static_cast<std::size_t>(x - first)] =
        partial == 0 ? SolidWholeWeight(full) : WeightOf(full, partial, solidAlphaScale_);
  }
  const int end = std::min(last + 1, clip_.right);  // the last mark may be where runs end, past the clip
  if (end > first) BlendWeighted(row + first, weights_.data(), end - first, color);
}

// Blends one colour over pixels each with its own weight (0..256), four at a
// time in 16-bit lanes where the processor has them: per channel the same
// arithmetic as BlendPixel, and a pixel of weight 0 is left as it is.
void Rasterizer::BlendWeighted(std::uint32_t* pixels, const std::uint32_t* weights, int count, Rgba color) {
  int i = 0;
#if defined(SWF_BLEND_SSE2)
  const __m128i colorLanes = _mm_setr_epi16(color.b, color.g, color.r, 0, color.b, color.g, color.r, 0);
  const __m128i whole = _mm_set1_epi16(256);
  const __m128i zero = _mm_setzero_si128();
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; i + 4 <= count; i += 4) {
    const __m128i weight32 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + i));
    const __m128i untouched = _mm_cmpeq_epi32(weight32, zero);
    if (_mm_movemask_epi8(untouched) == 0xFFFF) continue;
    const __m128i weight16 = _mm_packs_epi32(weight32, weight32);  // w0 w1 w2 w3 (twice)
    const __m128i pairs = _mm_unpacklo_epi16(weight16, weight16);  // w0 w0 w1 w1 w2 w2 w3 w3
    const __m128i weightLow = _mm_unpacklo_epi32(pairs, pairs);    // w0 x4, w1 x4
    const __m128i weightHigh = _mm_unpackhi_epi32(pairs, pairs);   // w2 x4, w3 x4
    auto* at = reinterpret_cast<__m128i*>(pixels + i);
    const __m128i back = _mm_loadu_si128(at);
    const auto blend = [&](__m128i backLanes, __m128i weight) {
      const __m128i kept = _mm_mullo_epi16(backLanes, _mm_sub_epi16(whole, weight));
      return _mm_srli_epi16(_mm_add_epi16(kept, _mm_mullo_epi16(colorLanes, weight)), 8);
    };
    const __m128i low = blend(_mm_unpacklo_epi8(back, zero), weightLow);
    const __m128i high = blend(_mm_unpackhi_epi8(back, zero), weightHigh);
    const __m128i blended = _mm_or_si128(_mm_packus_epi16(low, high), opaque);
    _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(untouched, back), _mm_andnot_si128(untouched, blended)));
  }
#endif
  for (; i < count; ++i) BlendPixel(pixels[i], weights[i], color);
}

template <typename RowAction>
void Rasterizer::Scan(FillRule rule, int width, RowAction&& rowAction) {
  clip_.right = std::min(clip_.right, width);
  if (edges_.empty() || clip_.Empty()) {
    edges_.clear();
    return;
  }
  std::sort(edges_.begin(), edges_.end(), [](const Edge& l, const Edge& r) { return l.y0 < r.y0; });
  const auto columns = static_cast<std::size_t>(clip_.right) + 1;
  if (cover_.size() < columns) {
    cover_.resize(columns, 0.0f);
    runs_.resize(columns, 0);
    markBits_.resize(columns / 64 + 1, 0);
  }
  active_.clear();
  std::size_t nextEdge = 0;
  constexpr int kNoLow = std::numeric_limits<int>::max();
  RowSpans spans{cover_.data(), runs_.data(), markBits_.data(), clip_.left, clip_.right, kNoLow, -1, 0};
  const int left = clip_.left, right = clip_.right;
  rowStretches_.assign(1, RowBands::Stretch{left, right});
  // Without bands every row is one stretch, the clip's; with them, the
  // stretches change where a band ends.
  int stretchesUntil = within_ != nullptr ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
  band_ = 0;
  for (int y = std::max(clip_.top, static_cast<int>(std::max(edges_.front().y0, -1.0))); y < clip_.bottom; ++y) {
    if (y >= stretchesUntil) {
      const std::vector<RowBands::Band>& bands = within_->bands;
      while (band_ < bands.size() && bands[band_].bottom <= y) ++band_;
      if (band_ == bands.size()) break;
      const RowBands::Band& band = bands[band_];
      if (y < band.top) {
        y = band.top - 1;  // rows between bands are not drawn
        continue;
      }
      stretchesUntil = band.bottom;
      rowStretches_.clear();
      for (std::uint32_t i = band.first; i < band.first + band.count; ++i) {
        const RowBands::Stretch& stretch = within_->stretches[i];
        const int from = std::max(stretch.left, left), to = std::min(stretch.right, right);
        if (from < to) rowStretches_.push_back(RowBands::Stretch{from, to});
      }
      if (rowStretches_.empty()) {
        y = band.bottom - 1;
        continue;
      }
      // The marks and runs are gathered across all the band's stretches at
      // once; the row's action leaves the columns between them alone.
      clip_.left = spans.left = rowStretches_.front().left;
      clip_.right = spans.right = rowStretches_.back().right;
    }
    const double rowTop = y, rowBottom = y + 1.0;
    while (nextEdge < edges_.size() && edges_[nextEdge].y0 < rowBottom) active_.push_back(&edges_[nextEdge++]);
    std::erase_if(active_, [rowTop](const Edge* e) { return e->y1 <= rowTop; });
    if (active_.empty()) {
      if (nextEdge >= edges_.size()) break;
      // Nothing until the next edge starts: go straight to its row.
      y = std::max(y, static_cast<int>(std::min(edges_[nextEdge].y0, static_cast<double>(clip_.bottom)))) - 1;
      continue;
    }
    if (crossings_.size() < active_.size()) crossings_.resize(active_.size());
    for (int s = 0; s < kSubScanlines; ++s) {
      const double sampleY = rowTop + (s + 0.5) / kSubScanlines;
      // Room for every active edge was made for the row: no growth checks here.
      Crossing* crossing = crossings_.data();
      std::size_t count = 0;
      for (const Edge* e : active_) {
        if (e->y0 <= sampleY && sampleY < e->y1)
          crossing[count++] = Crossing{e->x0 + (sampleY - e->y0) * e->slope, e->winding};
      }
      SortShort(crossing, count, [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
      if (rule == FillRule::EvenOdd) {
        // Inside between the first and second crossing, the third and fourth...
        for (std::size_t i = 0; i + 1 < count; i += 2) spans.Span(crossing[i].x, crossing[i + 1].x);
      } else {
        int winding = 0;
        for (std::size_t i = 0; i + 1 < count; ++i) {
          winding += crossing[i].winding;
          if (winding != 0) spans.Span(crossing[i].x, crossing[i + 1].x);
        }
      }
    }
    if (spans.count != 0) {
      markLow_ = spans.low;
      markHigh_ = spans.high;
      markCount_ = spans.count;
      rowAction(y);  // takes the marks and empties the row
      spans.low = kNoLow;
      spans.high = -1;
      spans.count = 0;
    }
  }
  clip_.left = left;
  clip_.right = right;
  edges_.clear();
}

int Rasterizer::GatherWeights() {
  // Between two marks a row's coverage stays as it is: whole sub-scanlines
  // only, the same count all along. So the marks are visited in order and the
  // stretches between them filled at once, instead of reading every pixel.
  TakeMarks();
  const int first = marks_.front(), last = std::min(marks_.back(), clip_.right - 1);
  weights_.resize(static_cast<std::size_t>(std::max(0, last - first + 1)));
  const auto wholeWeight = [](int full) {
    return full >= 0 && full <= kSubScanlines ? kWholeWeights[static_cast<std::size_t>(full)]
                                              : WeightOf(full, 0.0f, 256.0f);
  };
  int full = 0;
  int x = first;  // the first column not yet given its weight
  for (const int mark : marks_) {
    if (x < mark && x <= last) {
      const auto begin = weights_.begin() + (x - first);
      std::fill(begin, begin + (std::min(mark, last + 1) - x), wholeWeight(full));
    }
    const auto i = static_cast<std::size_t>(mark);
    full += runs_[i];
    runs_[i] = 0;
    const float partial = cover_[i];
    cover_[i] = 0;
    x = mark + 1;
    if (mark > last) continue;
    weights_[static_cast<std::size_t>(mark - first)] = partial == 0 ? wholeWeight(full) : WeightOf(full, partial, 256.0f);
  }
  marks_.clear();
  return first;
}

void Rasterizer::ApplyMask(int y, int first) {
  if (mask_ == nullptr) return;
  const PixelRect& area = mask_->area;
  const bool rowInside = y >= area.top && y < area.bottom;
  const std::uint8_t* coverage = rowInside ? mask_->Row(y) : nullptr;
  for (std::size_t i = 0; i < weights_.size(); ++i) {
    const int x = first + static_cast<int>(i);
    const std::uint32_t through = coverage && x >= area.left && x < area.right ? coverage[x - area.left] : 0;
    weights_[i] = (weights_[i] * (through + (through >> 7))) >> 8;
  }
}

void Rasterizer::ShadeRow(std::uint32_t* row, int y, int first, const Paint& paint) {
  ApplyMask(y, first);
  if (shades_.size() < weights_.size()) shades_.resize(weights_.size());
  std::size_t i = 0;
  while (i < weights_.size()) {
    if (weights_[i] == 0) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < weights_.size() && weights_[end] != 0) ++end;
    const int x = first + static_cast<int>(i);
    paint.Shade(x, y, static_cast<int>(end - i), shades_.data());
    BlendShades(row + x, shades_.data(), weights_.data() + i, end - i);
    i = end;
  }
}

void Rasterizer::Fill(const Surface& target, Rgba color, FillRule rule) {
  if (mask_ != nullptr) {
    Fill(target, SolidPaint(color), rule);
    return;
  }
  clip_ = ClipToSurface(clip_, target);
  if (target.pixels == nullptr || color.a == 0) {
    edges_.clear();
    return;
  }
  solidAlphaScale_ = color.a * (256.0f / 255.0f);
  for (int full = 0; full <= kSubScanlines; ++full) {
    solidWholeWeights_[static_cast<std::size_t>(full)] = WeightOf(full, 0.0f, solidAlphaScale_);
  }
  Scan(rule, target.width, [&](int y) {
    std::uint32_t* row = target.pixels + static_cast<std::ptrdiff_t>(y) * target.stridePixels;
    if (rowStretches_.size() > 1) {
      BlendRowInside(row, color);
    } else {
      BlendRow(row, color);
    }
  });
}

void Rasterizer::Fill(const Surface& target, const Paint& paint, FillRule rule) {
  clip_ = ClipToSurface(clip_, target);
  if (target.pixels == nullptr) {
    edges_.clear();
    return;
  }
  Scan(rule, target.width, [&](int y) {
    const int first = GatherWeights();
    if (rowStretches_.size() > 1) KeepInside(first);
    ShadeRow(target.pixels + static_cast<std::ptrdiff_t>(y) * target.stridePixels, y, first, paint);
  });
}

void Rasterizer::FillMask(CoverageMask& mask, FillRule rule) {
  clip_ = PixelRect{std::max(clip_.left, mask.area.left), std::max(clip_.top, mask.area.top),
                    std::min(clip_.right, mask.area.right), std::min(clip_.bottom, mask.area.bottom)};
  Scan(rule, mask.area.right, [&](int y) {
    const int first = GatherWeights();
    if (rowStretches_.size() > 1) KeepInside(first);
    std::uint8_t* row = mask.Row(y);
    for (std::size_t i = 0; i < weights_.size(); ++i) {
      const int x = first + static_cast<int>(i);
      if (x < mask.area.left) continue;
      std::uint8_t& held = row[x - mask.area.left];
      const std::uint32_t added = std::min(255u, weights_[i] * 255 / 256);
      held = static_cast<std::uint8_t>(held + (added * (255u - held) + 127) / 255);
    }
  });
}

}  // namespace swf
