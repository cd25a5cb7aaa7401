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
// 64-bit builds also carry a 32-byte blend for processors that have AVX2,
// chosen when the program runs (the build itself assumes only SSE2).
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SWF_BLEND_AVX2 1
#endif

namespace swf {

namespace {

constexpr int kSubScanlines = 5;
constexpr int kCellUnit = 256;                            // a pixel's width on one sub-scanline
constexpr int kFullCoverage = kSubScanlines * kCellUnit;  // a pixel covered on every sub-scanline
constexpr std::size_t kMaxEdges = 4u << 20;
constexpr double kFlatness = 0.2;  // pixels a flattened curve may stray from the true one
constexpr int kMaxCurvePieces = 64;

std::uint32_t Pack(Rgba color) {
  return 0xFF000000u | (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) | color.b;
}

// The factor from a pixel's coverage (0..kFullCoverage) to its blend weight
// (0..256) for a colour of this alpha, in 20 bits of fraction.
std::uint32_t CoverageScale(std::uint32_t alpha) {
  constexpr std::uint64_t kDivisor = 255u * kFullCoverage;
  return static_cast<std::uint32_t>(((std::uint64_t{alpha} << 28) + kDivisor / 2) / kDivisor);
}

// The blend weight (0..256) of a pixel with this coverage. Partly and wholly
// covered pixels go through this one function, so where a pixel lies in its
// row's stretches never changes its value.
std::uint32_t WeightOf(std::int32_t coverage, std::uint32_t scale) {
  const auto clamped = static_cast<std::uint32_t>(std::clamp(coverage, 0, kFullCoverage));
  return (clamped * scale + (1u << 19)) >> 20;
}

const std::uint32_t kOpaqueScale = CoverageScale(255);

#if defined(SWF_BLEND_AVX2)
bool ProcessorHasAvx2() {
  __builtin_cpu_init();  // may run before the runtime's own set-up of what it reads
  return __builtin_cpu_supports("avx2") != 0;
}

const bool kHasAvx2 = ProcessorHasAvx2();

// ColorBlend's lanes eight pixels at a time: the same arithmetic per field.
struct WideBlend {
  __m256i redBlue, alphaGreen, keep, keepGreen, lowBytes, highBytes;
};

__attribute__((target("avx2"), always_inline)) inline void BlendEight(std::uint32_t* pixels, const WideBlend& k) {
  auto* at = reinterpret_cast<__m256i*>(pixels);
  const __m256i back = _mm256_loadu_si256(at);
  const __m256i rb = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(back, k.lowBytes), k.keep), k.redBlue);
  const __m256i ag = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(back, 8), k.keepGreen), k.alphaGreen);
  _mm256_storeu_si256(at, _mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_and_si256(ag, k.highBytes)));
}

// Returns how many pixels from the first it blended, eight at a time.
__attribute__((target("avx2"))) int BlendInWideLanes(std::uint32_t* pixels, int count, std::uint32_t redBlue,
                                                     std::uint32_t green, std::uint32_t keep) {
  const WideBlend k{_mm256_set1_epi32(static_cast<int>(redBlue)),
                    _mm256_set1_epi32(static_cast<int>(green | 0xFF000000u)),
                    _mm256_set1_epi16(static_cast<short>(keep)),
                    _mm256_set1_epi32(static_cast<int>(keep)),
                    _mm256_set1_epi16(0x00FF),
                    _mm256_set1_epi16(static_cast<short>(0xFF00))};
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    BlendEight(pixels + i, k);
    BlendEight(pixels + i + 8, k);
  }
  if (i + 8 <= count) {
    BlendEight(pixels + i, k);
    i += 8;
  }
  return i;
}
#endif

// Blends one colour over pixels with a weight (1..255 of 256). Red and blue
// blend together in one multiply, as do alpha and green: no field can carry
// into the next. Runs go four pixels at a time in 16-bit lanes where the
// processor has them, else two at a time in a 64-bit word: the same
// arithmetic per field as one at a time.
class ColorBlend {
 public:
  ColorBlend(Rgba color, std::uint32_t weight)
      : keep_(256 - weight),
        redBlue_(((std::uint32_t{color.r} << 16) | color.b) * weight),
        green_(std::uint32_t{color.g} * weight) {}

  [[nodiscard]] std::uint32_t Over(std::uint32_t back) const {
    const std::uint32_t redBlue = (((back & 0xFF00FFu) * keep_ + redBlue_) >> 8) & 0xFF00FFu;
    const std::uint32_t green = (((back >> 8 & 0xFFu) * keep_ + green_) >> 8) & 0xFFu;
    return 0xFF000000u | redBlue | green << 8;
  }

  void Over(std::uint32_t* pixels, int count) const {
    int i = OverInLanes(pixels, count);
#if defined(SWF_BLEND_SSE2)
    for (; i < count; ++i) pixels[i] = Over(pixels[i]);  // the last three at most
    return;
#endif
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
  // The pixels it blended, four at a time from the first (eight a step).
  // Red and blue sit in the low bytes of 16-bit lanes, alpha and green in
  // the high bytes: each pair blends in one multiply without unpacking. The
  // alpha lanes keep nothing of the pixel and add 0xFF00: alpha comes out 255.
  int OverInLanes(std::uint32_t* pixels, int count) const {
#if defined(SWF_BLEND_SSE2)
    if (count < 4) return 0;
    int i = 0;
#if defined(SWF_BLEND_AVX2)
    if (kHasAvx2 && count >= 8) i = BlendInWideLanes(pixels, count, redBlue_, green_, keep_);
#endif
    const __m128i redBlue = _mm_set1_epi32(static_cast<int>(redBlue_));
    const __m128i alphaGreen = _mm_set1_epi32(static_cast<int>(green_ | 0xFF000000u));
    const __m128i keep = _mm_set1_epi16(static_cast<short>(keep_));
    const __m128i keepGreen = _mm_set1_epi32(static_cast<int>(keep_));
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i highBytes = _mm_set1_epi16(static_cast<short>(0xFF00));
    const auto blend = [&](__m128i back) {
      const __m128i rb = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(back, lowBytes), keep), redBlue);
      const __m128i ag = _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(back, 8), keepGreen), alphaGreen);
      return _mm_or_si128(_mm_srli_epi16(rb, 8), _mm_and_si128(ag, highBytes));
    };
    for (; i + 8 <= count; i += 8) {
      auto* at = reinterpret_cast<__m128i*>(pixels + i);
      const __m128i first = _mm_loadu_si128(at), second = _mm_loadu_si128(at + 1);
      _mm_storeu_si128(at, blend(first));
      _mm_storeu_si128(at + 1, blend(second));
    }
    if (i + 4 <= count) {
      auto* at = reinterpret_cast<__m128i*>(pixels + i);
      _mm_storeu_si128(at, blend(_mm_loadu_si128(at)));
      i += 4;
    }
    return i;
#else
    (void)pixels;
    (void)count;
    return 0;
#endif
  }

  std::uint32_t keep_;
  std::uint32_t redBlue_;
  std::uint32_t green_;
};

void FillPixels(std::uint32_t* pixels, int count, std::uint32_t value) { std::fill_n(pixels, count, value); }

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

// A crossing's place in 256ths of a pixel, a place left of the clip at its
// left side and one right of it at its right side (within a pixel of the
// clip, any place changes no pixel inside it the same way).
int CellPlace(double x, double left, double right) {
  if (!(x > left)) x = left;  // also NaN
  if (x > right) x = right;
  return static_cast<int>(x * kCellUnit);  // not negative: the clip starts at column 0 or later
}

// Sorts a short list in place: a row's crossings are a handful, nearly in
// order from the row before, where a general sort costs more in setting up
// than in sorting.
template <typename T, typename Less>
void SortShort(T* items, std::size_t count, Less less) {
  constexpr std::size_t kShort = 32;
  if (count > kShort) {
    std::sort(items, items + count, less);
    return;
  }
  for (std::size_t i = 1; i < count; ++i) {
    if (!less(items[i], items[i - 1])) continue;
    const T item = items[i];
    std::size_t j = i;
    for (; j > 0 && less(item, items[j - 1]); --j) items[j] = items[j - 1];
    items[j] = item;
  }
}

// Where the inside changes at each crossing, left to right: +1 where it
// begins, -1 where it ends, 0 where it stays. `winding(i)` is the i-th
// crossing's. Inside lies between a crossing and the next one where the rule
// says so; after the last crossing nothing is inside, whatever its winding.
template <typename Winding, typename Each>
void ForEachChange(FillRule rule, std::size_t count, Winding&& winding, Each&& each) {
  int inside = 0;
  int total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    int after = 0;
    if (i + 1 < count) {
      if (rule == FillRule::EvenOdd) {
        after = static_cast<int>(~i & 1u);
      } else {
        total += winding(i);
        after = total != 0 ? 1 : 0;
      }
    }
    each(i, after - inside);
    inside = after;
  }
}

}  // namespace

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

// The crossings of one row, added to its cells. The pointers, the clip's
// sides and the marks' range live here rather than in the rasterizer so that
// they stay in registers: stores through the row's arrays could otherwise be
// any member, and each crossing would read them all again.
struct Rasterizer::RowCells {
  std::int32_t* cells;
  std::uint64_t* bits;
  double left, right;
  int low, high, count;

  void Mark(int column) {
    const auto at = static_cast<unsigned>(column);
    bits[at / 64] |= std::uint64_t{1} << (at % 64);
  }
  // A crossing at `place` (256ths of a pixel) where the inside begins
  // (change +1) or ends (-1) on one sub-scanline: its pixel is covered by
  // the part right of it, every pixel after it wholly.
  void Add(int place, int change) { AddColumn(place / kCellUnit, 1, place % kCellUnit, change); }
  // The same change at an edge's places on all five sub-scanlines, which go
  // one way along the row: an edge steeper than a pixel a row crosses them
  // all in one pixel, added at once.
  void AddEdge(const std::array<int, kSubScanlines>& places, int change) {
    const int column = places[0] / kCellUnit;
    if (column != places[kSubScanlines - 1] / kCellUnit) {
      for (const int place : places) Add(place, change);
      return;
    }
    int parts = 0;
    for (const int place : places) parts += place % kCellUnit;
    AddColumn(column, kSubScanlines, parts, change);
  }
  // `crossed` crossings in one column, `parts` the sum of their places in it.
  void AddColumn(int column, int crossed, int parts, int change) {
    cells[column] += change * (crossed * kCellUnit - parts);
    Mark(column);
    low = std::min(low, column);
    count += 2;
    if (parts == 0) {
      high = std::max(high, column);
      return;
    }
    cells[column + 1] += change * parts;
    Mark(column + 1);
    high = std::max(high, column + 1);
  }
};

bool Rasterizer::AddWholeRow(FillRule rule, RowCells& cells) {
  ActiveEdge* edges = active_.data();
  const std::size_t count = active_.size();
  SortShort(edges, count, [](const ActiveEdge& l, const ActiveEdge& r) { return l.at[0] < r.at[0]; });
  // Apart on the first sub-scanline and on the last, two edges (straight
  // lines) keep their order on those between.
  for (std::size_t i = 1; i < count; ++i) {
    if (!(edges[i - 1].at[0] < edges[i].at[0] && edges[i - 1].at[kSubScanlines - 1] < edges[i].at[kSubScanlines - 1])) {
      return false;
    }
  }
  ForEachChange(
      rule, count, [&](std::size_t i) { return edges[i].edge->winding; },
      [&](std::size_t i, int change) {
        if (change != 0) cells.AddEdge(edges[i].at, change);
      });
  return true;
}

void Rasterizer::AddSubScanline(FillRule rule, double sampleY, RowCells& cells) {
  // Room for every active edge was made for the row: no growth checks here.
  Crossing* crossing = crossings_.data();
  std::size_t count = 0;
  for (const ActiveEdge& active : active_) {
    const Edge& e = *active.edge;
    if (e.y0 <= sampleY && sampleY < e.y1) {
      const double x = e.x0 + (sampleY - e.y0) * e.slope;
      crossing[count++] = Crossing{x, CellPlace(x, cells.left, cells.right), e.winding};
    }
  }
  SortShort(crossing, count, [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
  ForEachChange(
      rule, count, [&](std::size_t i) { return crossing[i].winding; },
      [&](std::size_t i, int change) {
        if (change != 0) cells.Add(crossing[i].at, change);
      });
}

void Rasterizer::BlendPixel(std::uint32_t& pixel, std::uint32_t weight, Rgba color) {
  if (weight >= 256) {
    pixel = Pack(color);
  } else if (weight > 0) {
    pixel = ColorBlend(color, weight).Over(pixel);
  }
}

namespace {

// Blends one colour with one weight over a stretch of a row.
void BlendStretch(std::uint32_t* pixels, int count, std::uint32_t weight, Rgba color, std::uint32_t solid) {
  if (weight >= 256) {
    FillPixels(pixels, count, solid);
    return;
  }
  if (weight == 0) return;
  const ColorBlend blend(color, weight);
  if (count == 1) {
    *pixels = blend.Over(*pixels);  // a pixel an edge crosses, the most common stretch
  } else {
    blend.Over(pixels, count);
  }
}

}  // namespace

// Between two marks a row's coverage stays as it is, so the marks are read
// straight from their bits, in order (each word emptied as it is read), and
// the stretch from each to the next blended at once. Where the marks lie
// dense (thin lines, small shapes), one pass over every pixel between the
// first and the last costs less. Either way each pixel gets the weight of its
// own coverage.
void Rasterizer::BlendRow(std::uint32_t* row, Rgba color) {
  const int first = markLow_, last = markHigh_;
  constexpr int kPixelsPerMarkWorthWalking = 2;
  if (last - first < markCount_ * kPixelsPerMarkWorthWalking) {
    ClearMarks();
    BlendDenseRow(row, color, first, last);
    return;
  }
  const std::uint32_t solid = Pack(color);
  const std::uint32_t scale = solidScale_;
  const int right = clip_.right;
  std::int32_t* cells = cells_.data();
  std::int32_t coverage = 0;
  std::uint32_t weight = 0;
  int x = first;
  const auto lastWord = static_cast<std::size_t>(last) / 64;
  for (auto word = static_cast<std::size_t>(first) / 64; word <= lastWord; ++word) {
    std::uint64_t bits = markBits_[word];
    markBits_[word] = 0;
    for (; bits != 0; bits &= bits - 1) {
      const int mark = static_cast<int>(word * 64) + std::countr_zero(bits);
      // A mark at the clip's right side is where the last stretches end.
      if (weight != 0) BlendStretch(row + x, std::min(mark, right) - x, weight, color, solid);
      coverage += cells[mark];
      cells[mark] = 0;
      weight = WeightOf(coverage, scale);
      x = mark;
    }
  }
  ForgetMarkRange();
}

// BlendRow's walk, each stretch of constant weight blended only where it lies
// in the row's stretches: the same arithmetic per pixel, so a pixel comes out
// as it would from a clip of its own stretch alone.
void Rasterizer::BlendRowInside(std::uint32_t* row, Rgba color) {
  const std::uint32_t solid = Pack(color);
  const RowBands::Stretch* inside = rowStretches_.data();
  const RowBands::Stretch* const insideEnd = inside + rowStretches_.size();
  // Pieces come left to right, so the stretches are passed only once.
  const auto blend = [&](int from, int to, std::uint32_t weight) {
    while (inside != insideEnd && inside->right <= from) ++inside;
    for (const RowBands::Stretch* s = inside; s != insideEnd && s->left < to; ++s) {
      const int begin = std::max(from, s->left), end = std::min(to, s->right);
      if (begin < end) BlendStretch(row + begin, end - begin, weight, color, solid);
    }
  };
  std::int32_t* cells = cells_.data();
  std::int32_t coverage = 0;
  std::uint32_t weight = 0;
  int x = markLow_;
  const auto lastWord = static_cast<std::size_t>(markHigh_) / 64;
  for (auto word = static_cast<std::size_t>(markLow_) / 64; word <= lastWord; ++word) {
    std::uint64_t bits = markBits_[word];
    markBits_[word] = 0;
    for (; bits != 0; bits &= bits - 1) {
      const int mark = static_cast<int>(word * 64) + std::countr_zero(bits);
      if (weight != 0) blend(x, mark, weight);
      coverage += cells[mark];
      cells[mark] = 0;
      weight = WeightOf(coverage, solidScale_);
      x = mark;
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

void Rasterizer::BlendDenseRow(std::uint32_t* row, Rgba color, int first, int last) {
  const int end = std::min(last, clip_.right - 1) + 1;  // the last mark may be the clip's right side
  if (end <= first) {
    std::fill(cells_.begin() + first, cells_.begin() + last + 1, 0);
    return;
  }
  weights_.resize(static_cast<std::size_t>(end - first));
  std::int32_t* cells = cells_.data();
  std::uint32_t* weights = weights_.data();
  const std::uint32_t scale = solidScale_;
  std::int32_t coverage = 0;
  for (int x = first; x < end; ++x) {
    coverage += cells[x];
    cells[x] = 0;
    weights[x - first] = WeightOf(coverage, scale);
  }
  for (int x = end; x <= last; ++x) cells[x] = 0;
  BlendWeighted(row + first, weights, end - first, color);
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
  // A crossing adds to its column and the next; the right side's column is
  // where crossings right of the clip land.
  const auto columns = static_cast<std::size_t>(clip_.right) + 2;
  if (cells_.size() < columns) {
    cells_.resize(columns, 0);
    markBits_.resize(columns / 64 + 1, 0);
  }
  active_.clear();
  std::size_t nextEdge = 0;
  constexpr int kNoLow = std::numeric_limits<int>::max();
  RowCells cells{cells_.data(), markBits_.data(), static_cast<double>(clip_.left), static_cast<double>(clip_.right),
                 kNoLow, -1, 0};
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
      // The cells are gathered across all the band's stretches at once; the
      // row's action leaves the columns between them alone.
      clip_.left = rowStretches_.front().left;
      clip_.right = rowStretches_.back().right;
      cells.left = clip_.left;
      cells.right = clip_.right;
    }
    const double rowTop = y, rowBottom = y + 1.0;
    while (nextEdge < edges_.size() && edges_[nextEdge].y0 < rowBottom) {
      active_.push_back(ActiveEdge{&edges_[nextEdge++], {}});
    }
    std::erase_if(active_, [rowTop](const ActiveEdge& a) { return a.edge->y1 <= rowTop; });
    if (active_.empty()) {
      if (nextEdge >= edges_.size()) break;
      // Nothing until the next edge starts: go straight to its row.
      y = std::max(y, static_cast<int>(std::min(edges_[nextEdge].y0, static_cast<double>(clip_.bottom)))) - 1;
      continue;
    }
    std::array<double, kSubScanlines> sampleY;
    for (int s = 0; s < kSubScanlines; ++s) sampleY[static_cast<std::size_t>(s)] = rowTop + (s + 0.5) / kSubScanlines;
    // Mostly every edge crosses the whole row: then its five places are
    // worked out together and, kept in order, added edge by edge.
    bool added = true;
    for (ActiveEdge& active : active_) {
      const Edge& e = *active.edge;
      if (!(e.y0 <= sampleY.front() && sampleY.back() < e.y1)) {
        added = false;
        break;
      }
      for (std::size_t s = 0; s < kSubScanlines; ++s) {
        active.at[s] = CellPlace(e.x0 + (sampleY[s] - e.y0) * e.slope, cells.left, cells.right);
      }
    }
    added = added && AddWholeRow(rule, cells);
    if (!added) {
      if (crossings_.size() < active_.size()) crossings_.resize(active_.size());
      for (const double sample : sampleY) AddSubScanline(rule, sample, cells);
    }
    if (cells.count != 0) {
      markLow_ = cells.low;
      markHigh_ = cells.high;
      markCount_ = cells.count;
      rowAction(y);  // takes the marks and empties the row
      cells.low = kNoLow;
      cells.high = -1;
      cells.count = 0;
    }
  }
  clip_.left = left;
  clip_.right = right;
  edges_.clear();
}

int Rasterizer::GatherWeights() {
  // Between two marks a row's coverage stays as it is: the marks are visited
  // in order and the stretches between them filled at once, instead of
  // reading every pixel.
  const int first = markLow_, last = std::min(markHigh_, clip_.right - 1);
  weights_.resize(static_cast<std::size_t>(std::max(0, last - first + 1)));
  std::int32_t* cells = cells_.data();
  std::int32_t coverage = 0;
  std::uint32_t weight = 0;
  int x = first;  // the first column not yet given its weight
  const auto fillTo = [&](int end) {
    end = std::min(end, last + 1);
    if (x < end) std::fill(weights_.begin() + (x - first), weights_.begin() + (end - first), weight);
  };
  const auto lastWord = static_cast<std::size_t>(markHigh_) / 64;
  for (auto word = static_cast<std::size_t>(markLow_) / 64; word <= lastWord; ++word) {
    std::uint64_t bits = markBits_[word];
    markBits_[word] = 0;
    for (; bits != 0; bits &= bits - 1) {
      const int mark = static_cast<int>(word * 64) + std::countr_zero(bits);
      fillTo(mark);
      coverage += cells[mark];
      cells[mark] = 0;
      weight = WeightOf(coverage, kOpaqueScale);
      x = mark;
    }
  }
  fillTo(last + 1);
  ForgetMarkRange();
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
  solidScale_ = CoverageScale(color.a);
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
