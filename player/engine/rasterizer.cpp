#include "rasterizer.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr int kSubScanlines = 5;
constexpr std::size_t kMaxEdges = 4u << 20;
constexpr double kFlatness = 0.2;  // pixels a flattened curve may stray from the true one
constexpr int kMaxCurvePieces = 64;

std::uint32_t Pack(Rgba color) {
  return 0xFF000000u | (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) | color.b;
}

}  // namespace

void FillSurface(const Surface& target, Rgba color) {
  if (target.pixels == nullptr || target.width <= 0 || target.height <= 0) return;
  const std::uint32_t value = Pack(color);
  for (int y = 0; y < target.height; ++y) {
    std::uint32_t* row = target.pixels + static_cast<std::ptrdiff_t>(y) * target.stridePixels;
    std::fill(row, row + target.width, value);
  }
}

void Rasterizer::Begin(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
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
  // Rows outside the surface are never drawn: keep only the part of the edge
  // that crosses the surface's height.
  const double top = 0, bottom = height_;
  if (to.y <= top || from.y >= bottom) return;
  const double slope = (to.x - from.x) / (to.y - from.y);
  if (!std::isfinite(slope)) return;
  if (from.y < top) {
    from.x += (top - from.y) * slope;
    from.y = top;
  }
  if (to.y > bottom) {
    to.x -= (to.y - bottom) * slope;
    to.y = bottom;
  }
  if (from.y >= to.y || !std::isfinite(from.x) || !std::isfinite(to.x)) return;
  edges_.push_back(Edge{from.x, from.y, to.x, to.y, slope, winding});
}

void Rasterizer::Quad(Vec2 from, Vec2 control, Vec2 to) {
  const double minY = std::min({from.y, control.y, to.y});
  const double maxY = std::max({from.y, control.y, to.y});
  if (maxY <= 0 || minY >= height_) return;  // adds nothing to any row
  const double maxX = std::max({from.x, control.x, to.x});
  const double minX = std::min({from.x, control.x, to.x});
  if (maxX < 0 || minX > width_) {
    // Wholly left or right of the surface, only its rise and fall count.
    const double x = maxX < 0 ? -1.0 : width_ + 1.0;
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

void Rasterizer::AddSpan(double from, double to, float weight) {
  from = std::clamp(from, 0.0, static_cast<double>(width_));
  to = std::clamp(to, 0.0, static_cast<double>(width_));
  if (!(from < to)) return;  // also NaN
  const int first = static_cast<int>(from);
  const int last = static_cast<int>(to);
  const auto f = static_cast<std::size_t>(first);
  const auto l = static_cast<std::size_t>(last);
  if (first == last) {
    cover_[f] += static_cast<float>(to - from) * weight;
  } else {
    cover_[f] += static_cast<float>(first + 1 - from) * weight;
    runs_[f + 1] += weight;
    runs_[l] -= weight;
    cover_[l] += static_cast<float>(to - last) * weight;
  }
  rowMin_ = std::min(rowMin_, first);
  rowMax_ = std::max(rowMax_, last);
}

void Rasterizer::BlendRow(const Surface& target, int y, Rgba color) {
  std::uint32_t* row = target.pixels + static_cast<std::ptrdiff_t>(y) * target.stridePixels;
  const int last = std::min(rowMax_, width_ - 1);
  // Coverage to blend weights (0..256) in one pass, then the blend in a
  // second, each simple enough for the compiler to keep tight.
  const float scale = color.a * (256.0f / 255.0f);
  float run = 0;
  for (int x = rowMin_; x <= last; ++x) {
    const auto i = static_cast<std::size_t>(x);
    run += runs_[i];
    const float coverage = std::min(1.0f, std::fabs(run + cover_[i]));
    weights_[i] = static_cast<std::uint16_t>(coverage * scale + 0.5f);
  }
  const auto first = static_cast<std::size_t>(rowMin_);
  const auto count = static_cast<std::size_t>(rowMax_ - rowMin_ + 2);
  std::fill_n(cover_.begin() + static_cast<std::ptrdiff_t>(first), count, 0.0f);
  std::fill_n(runs_.begin() + static_cast<std::ptrdiff_t>(first), count, 0.0f);

  const std::uint32_t solid = Pack(color);
  const std::uint32_t sourceRedBlue = (std::uint32_t{color.r} << 16) | color.b;
  const std::uint32_t sourceGreen = std::uint32_t{color.g} << 8;
  for (int x = rowMin_; x <= last; ++x) {
    const std::uint32_t weight = weights_[static_cast<std::size_t>(x)];
    if (weight == 0) continue;
    if (weight >= 256) {
      row[x] = solid;
      continue;
    }
    // Red and blue blend together in one multiply: neither field can carry into the other.
    const std::uint32_t back = row[x];
    const std::uint32_t keep = 256 - weight;
    const std::uint32_t redBlue = (((back & 0xFF00FFu) * keep + sourceRedBlue * weight) >> 8) & 0xFF00FFu;
    const std::uint32_t green = (((back & 0x00FF00u) * keep + sourceGreen * weight) >> 8) & 0x00FF00u;
    row[x] = 0xFF000000u | redBlue | green;
  }
}

void Rasterizer::Fill(const Surface& target, Rgba color, FillRule rule) {
  if (target.pixels == nullptr || edges_.empty() || color.a == 0 || width_ <= 0) {
    edges_.clear();
    return;
  }
  const int height = std::min(height_, target.height);
  width_ = std::min(width_, target.width);
  std::sort(edges_.begin(), edges_.end(), [](const Edge& l, const Edge& r) { return l.y0 < r.y0; });
  cover_.assign(static_cast<std::size_t>(width_) + 2, 0.0f);
  runs_.assign(static_cast<std::size_t>(width_) + 2, 0.0f);
  weights_.resize(static_cast<std::size_t>(width_) + 2);
  active_.clear();
  std::size_t nextEdge = 0;
  const float weight = 1.0f / kSubScanlines;
  int y = std::max(0, static_cast<int>(edges_.front().y0));
  for (; y < height; ++y) {
    const double rowTop = y, rowBottom = y + 1.0;
    while (nextEdge < edges_.size() && edges_[nextEdge].y0 < rowBottom) active_.push_back(&edges_[nextEdge++]);
    std::erase_if(active_, [rowTop](const Edge* e) { return e->y1 <= rowTop; });
    if (active_.empty()) {
      if (nextEdge >= edges_.size()) break;
      continue;
    }
    rowMin_ = width_;
    rowMax_ = -1;
    for (int s = 0; s < kSubScanlines; ++s) {
      const double sampleY = rowTop + (s + 0.5) / kSubScanlines;
      crossings_.clear();
      for (const Edge* e : active_) {
        if (e->y0 <= sampleY && sampleY < e->y1)
          crossings_.push_back({e->x0 + (sampleY - e->y0) * e->slope, e->winding});
      }
      std::sort(crossings_.begin(), crossings_.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
      int winding = 0;
      for (std::size_t i = 0; i + 1 < crossings_.size(); ++i) {
        winding += rule == FillRule::EvenOdd ? 1 : crossings_[i].winding;
        const bool inside = rule == FillRule::EvenOdd ? (winding & 1) != 0 : winding != 0;
        if (inside) AddSpan(crossings_[i].x, crossings_[i + 1].x, weight);
      }
    }
    if (rowMax_ >= rowMin_) BlendRow(target, y, color);
  }
  edges_.clear();
}

}  // namespace swf
