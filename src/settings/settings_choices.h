#pragma once
// How the five stored settings map onto the dialog's native controls, both
// ways: what a stored text shows, and what a user's choice stores. Stored
// texts are compared exactly; a text no control can show is shown as the
// nearest choice and left in the store as it is.

#include <string_view>

namespace tpl {

// The five values of a saver's settings key.
enum class StoredSetting { MouseQuit, KeybQuit, Multimonitors, ScaleMode, ResChange };

[[nodiscard]] std::string_view ValueNameOf(StoredSetting setting) noexcept;

// chkResolution and cboResolution (item 0 "1024x768", item 1 "800x600").
struct ResolutionChoice {
  bool checked = false;
  bool listEnabled = false;
  int itemIndex = 0;
  friend bool operator==(const ResolutionChoice&, const ResolutionChoice&) = default;
};

[[nodiscard]] ResolutionChoice ResolutionChoiceFor(std::string_view resChange) noexcept;

// ResChange for the box and the list as the user left them.
[[nodiscard]] std::string_view ResChangeForChoice(bool checked, int itemIndex) noexcept;
// ResChange for a list item the user picked.
[[nodiscard]] std::string_view ResChangeForItem(int itemIndex) noexcept;

// optShowAll, optExactFit, optStoProcent.
enum class ScaleChoice { ShowAll, ExactFit, NoScale };

[[nodiscard]] ScaleChoice ScaleChoiceFor(std::string_view scaleMode) noexcept;
[[nodiscard]] std::string_view ScaleModeText(ScaleChoice choice) noexcept;

// chkMouseQuit, chkKeybQuit: checked exactly for "1"; they store "1" or "0".
[[nodiscard]] bool FlagChecked(std::string_view stored) noexcept;
[[nodiscard]] std::string_view FlagText(bool checked) noexcept;

// chkMultimonitor: checked exactly for "all"; it stores "all" or "primary".
[[nodiscard]] bool MultimonitorChecked(std::string_view stored) noexcept;
[[nodiscard]] std::string_view MultimonitorsText(bool checked) noexcept;

}  // namespace tpl
