#include "ui/layout_scaling.h"

#include <cstdint>

namespace tpl::ui {
namespace {

// numerator / denominator for a positive denominator, halves away from zero.
int DivideRoundingHalvesAway(std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t magnitude = numerator < 0 ? -numerator : numerator;
  const std::int64_t rounded = (2 * magnitude + denominator) / (2 * denominator);
  return static_cast<int>(numerator < 0 ? -rounded : rounded);
}

int DivideRoundingHalvesToEven(std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t magnitude = numerator < 0 ? -numerator : numerator;
  std::int64_t quotient = magnitude / denominator;
  const std::int64_t twiceRemainder = 2 * (magnitude % denominator);
  if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 == 1)) ++quotient;
  return static_cast<int>(numerator < 0 ? -quotient : quotient);
}

}  // namespace

int ScaleToDpi(int value, int pixelsPerInch) noexcept {
  return DivideRoundingHalvesAway(std::int64_t{value} * pixelsPerInch, kDesignPixelsPerInch);
}

int ScaleHalfToEven(int value, int pixelsPerInch) noexcept {
  return DivideRoundingHalvesToEven(std::int64_t{value} * pixelsPerInch, kDesignPixelsPerInch);
}

int FontHeightForPoints(int points, int pixelsPerInch) noexcept {
  return -DivideRoundingHalvesAway(std::int64_t{points} * pixelsPerInch, 72);
}

int CentredStart(int outer, int inner) noexcept { return (outer - inner) / 2; }

}  // namespace tpl::ui
