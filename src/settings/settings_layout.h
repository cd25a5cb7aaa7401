#pragma once
// Where the settings dialog puts its parts when it is activated: the optional
// native controls stack up below the movie or picture area, and the window,
// the Close button and the credit line follow them. Design values are given
// at 96 pixels per inch and scaled by s(x) = x * P / 96 with halves to even.

#include <optional>
#include <string_view>

namespace tpl {

// The movie area is never narrower than this, so the Close button keeps its place.
inline constexpr int kMinimumSettingsAreaWidth = 300;

// A configuration switch is on only when its text is exactly "1".
[[nodiscard]] bool SwitchIsOn(std::string_view text) noexcept;

// Which of the optional native controls the dialog shows.
struct SettingsOptions {
  bool multimonitor = false;  // chkMultimonitor
  bool resolution = false;    // fraResolution
  bool scale = false;         // fraScaleMode
  bool keybQuit = false;      // chkKeybQuit
  bool mouseQuit = false;     // chkMouseQuit
};

[[nodiscard]] bool AnyOptionShown(const SettingsOptions& options) noexcept;

struct SettingsLayout {
  // Client tops of the optional controls; none for a hidden one.
  std::optional<int> multimonitorTop;
  std::optional<int> resolutionTop;
  std::optional<int> scaleTop;
  std::optional<int> keybQuitTop;
  std::optional<int> mouseQuitTop;
  int offset = 0;      // y: what the optional controls add below the area
  int areaWidth = 0;   // W, raised to the minimum
  int areaHeight = 0;  // H
  bool widthRaised = false;
  int windowWidth = 0;  // outer, frame included
  int windowHeight = 0;
  int closeLeft = 0;
  int closeTop = 0;
};

// The layout for an area of W x H pixels (unscaled) at P pixels per inch.
// Areas beyond a million pixels either way are taken as a million, which
// keeps every sum within range.
[[nodiscard]] SettingsLayout LayOutSettingsDialog(const SettingsOptions& options, int areaWidth, int areaHeight,
                                                  int pixelsPerInch) noexcept;

// The credit line sits 3 pixels above the bottom of the client area.
[[nodiscard]] int CreditLineTop(int clientHeight, int labelHeight) noexcept;

// A decimal configuration number of the dialog (area sizes, character set),
// read by the rules of the configuration file; throws std::invalid_argument
// naming the text when it is none.
[[nodiscard]] int SettingsNumber(std::string_view text);

}  // namespace tpl
