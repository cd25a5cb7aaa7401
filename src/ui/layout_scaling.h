#pragma once
// Pixel arithmetic of form layouts: design values are given at 96 pixels per
// inch and follow the screen's pixel density where a form is scaled.

namespace tpl::ui {

inline constexpr int kDesignPixelsPerInch = 96;

// value * pixelsPerInch / 96, rounded to the nearest integer with halves away
// from zero (the rounding of the system's MulDiv).
[[nodiscard]] int ScaleToDpi(int value, int pixelsPerInch) noexcept;

// value * pixelsPerInch / 96, rounded to the nearest integer with halves to
// even: the rule the settings dialog lays out its optional controls with.
[[nodiscard]] int ScaleHalfToEven(int value, int pixelsPerInch) noexcept;

// The font height for a size in points, as the system's font calls take it:
// negative, meaning the height of the characters without internal leading.
[[nodiscard]] int FontHeightForPoints(int points, int pixelsPerInch) noexcept;

// Where an extent of `inner` starts so that it sits centred in `outer`
// (integer division rounding toward zero; negative when it does not fit).
[[nodiscard]] int CentredStart(int outer, int inner) noexcept;

}  // namespace tpl::ui
