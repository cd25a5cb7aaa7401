#include "settings/settings_layout.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "common/integer_text.h"
#include "ui/layout_scaling.h"

namespace tpl {
namespace {

constexpr int kLargestArea = 1'000'000;

// Offsets of the layout, in design pixels.
constexpr int kFirstRowGap = 16;      // between the area and the first row
constexpr int kRowStep = 24;          // from one row to the next
constexpr int kNoRowOffset = -8;      // y before any row when chkMultimonitor is hidden
constexpr int kFrameAndRows = 80;     // window height beyond the area
constexpr int kFrameWidth = 6;        // window width beyond the area
constexpr int kCloseFromRight = 96;   // Close button's left, from the area's right edge
constexpr int kCloseBelowArea = 16;   // Close button's top, below the area
constexpr int kCreditLineMargin = 3;  // credit line above the client bottom

}  // namespace

bool SwitchIsOn(std::string_view text) noexcept { return text == "1"; }

bool AnyOptionShown(const SettingsOptions& options) noexcept {
  return options.multimonitor || options.resolution || options.scale || options.keybQuit || options.mouseQuit;
}

SettingsLayout LayOutSettingsDialog(const SettingsOptions& options, int areaWidth, int areaHeight,
                                    int pixelsPerInch) noexcept {
  const auto s = [pixelsPerInch](int designPixels) { return ui::ScaleHalfToEven(designPixels, pixelsPerInch); };
  SettingsLayout layout;
  const int h = std::clamp(areaHeight, -kLargestArea, kLargestArea);
  int w = std::clamp(areaWidth, -kLargestArea, kLargestArea);

  int y = 0;
  if (options.multimonitor) {
    layout.multimonitorTop = h + s(kFirstRowGap);
    y = s(kFirstRowGap);
  } else {
    y = s(kNoRowOffset);
  }
  if (options.resolution) {
    y += s(kRowStep);
    layout.resolutionTop = h + y;
    y += s(kRowStep);
  }
  if (options.scale) {
    y += s(kRowStep);
    layout.scaleTop = h + y;
    y += s(kRowStep);
  }
  if (options.keybQuit) {
    y += s(kRowStep);
    layout.keybQuitTop = h + y;
  }
  if (options.mouseQuit) {
    y += s(kRowStep);
    layout.mouseQuitTop = h + y;
  }
  // Nothing below the area at all: the Close button keeps its usual gap.
  if (y == s(kNoRowOffset)) y = s(kFirstRowGap);

  if (w < kMinimumSettingsAreaWidth) {
    w = kMinimumSettingsAreaWidth;
    layout.widthRaised = true;
  }
  layout.offset = y;
  layout.areaWidth = w;
  layout.areaHeight = h;
  layout.windowHeight = s(h + kFrameAndRows) + y;
  layout.windowWidth = s(w + kFrameWidth);
  layout.closeLeft = s(w - kCloseFromRight);
  layout.closeTop = s(h + kCloseBelowArea) + y;
  return layout;
}

int CreditLineTop(int clientHeight, int labelHeight) noexcept { return clientHeight - labelHeight - kCreditLineMargin; }

int SettingsNumber(std::string_view text) {
  const std::optional<std::int32_t> number = ParseIntegerText(text);
  if (!number) throw std::invalid_argument("'" + std::string(text) + "' is not a valid integer value");
  return *number;
}

}  // namespace tpl
