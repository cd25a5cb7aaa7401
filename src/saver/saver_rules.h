#pragma once
// The decisions of the full-screen saver, free of any Windows call: which
// stored settings count, which display mode to set, where the window, the
// player and the mirror images go, when the mirror copies run, and what a
// mouse message or a keystroke does. The saver window gathers the inputs,
// asks these functions and carries out the answer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tpl::saver {

struct Point {
  int x = 0;
  int y = 0;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle by its top-left corner and its size.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// ---------------------------------------------------------------------------
// Settings

// The saver's working values that the settings store may replace.
struct SaverSettings {
  std::string mouseQuit;
  std::string keybQuit;
  std::string scaleMode;
  std::string targetWidth;
  std::string targetHeight;
};

// The four values as read from the settings key (empty when missing).
struct StoredSettings {
  std::string mouseQuit;
  std::string keybQuit;
  std::string scaleMode;
  std::string resChange;
};

// Takes each stored value that is one of its accepted texts; a missing or
// unlisted one leaves the configured value in force.
void MergeStoredSettings(SaverSettings& settings, const StoredSettings& stored);

// With two or more monitors any non-empty stored "Multimonitors" text becomes
// the monitor mode.
[[nodiscard]] std::string MonitorModeAfterStore(std::string_view configured, std::string_view stored);

// Only this exact text turns mirroring on.
[[nodiscard]] bool MirroringOn(std::string_view monitorMode);

// ---------------------------------------------------------------------------
// Display mode

inline constexpr std::string_view kNoResolutionChange = "65536";

struct DisplayMode {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t frequency = 0;
  friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// "65536": the display mode stays as it is, so the saver need not even ask for it.
[[nodiscard]] bool KeepsDisplayMode(std::string_view targetWidth) noexcept;

// The mode the exit restores: the current one, recorded whenever a target
// width other than "65536" is in force (also when no change follows).
[[nodiscard]] std::optional<DisplayMode> SavedModeFor(std::string_view targetWidth, const DisplayMode& current);

// The mode to switch to: the target size at the saved frequency, only when it
// is strictly smaller than the saved mode in both directions, so the display
// is only ever lowered. Throws std::invalid_argument when a target size is not
// a number.
[[nodiscard]] std::optional<DisplayMode> ModeChangeFor(std::string_view targetWidth, std::string_view targetHeight,
                                                       const std::optional<DisplayMode>& saved);

// A configuration text that must be an integer (a character set, a size).
// Throws std::invalid_argument with a text a person can read otherwise.
[[nodiscard]] std::int32_t IntegerOrThrow(std::string_view text);

// ---------------------------------------------------------------------------
// Placement

struct Monitor {
  Rect bounds;  // screen coordinates
  bool primary = false;
};

// The screens as the saver finds them at activation.
struct MonitorLayout {
  Size primaryScreen;
  Rect virtualDesktop;
  std::vector<Monitor> monitors;  // in the system's order; empty when there is only one
};

struct SaverPlacement {
  Rect window;                // screen coordinates
  Rect player;                // in the window
  Size offscreen;             // the picture the mirror copies come from; empty with one monitor
  std::vector<Rect> mirrors;  // one per mirrored secondary monitor (at most four), in the window
};

inline constexpr int kMirrorImageCount = 4;

// One monitor (or none reported): the window and the player cover the primary
// screen from (0, 0). Two or more: the window covers the virtual desktop, the
// player the primary monitor, and the first four other monitors in the given
// order each get a mirror image.
[[nodiscard]] SaverPlacement PlanPlacement(Size primaryScreen, const Rect& virtualDesktop,
                                           const std::vector<Monitor>& monitors);
[[nodiscard]] inline SaverPlacement PlanPlacement(const MonitorLayout& layout) {
  return PlanPlacement(layout.primaryScreen, layout.virtualDesktop, layout.monitors);
}

// The picture is taken at every timer message of the player and copied out to
// the secondary monitors on the second message after activation and then on
// every fourth.
class MirrorCadence {
 public:
  // Counts one timer message; true when this one copies out.
  bool Tick() noexcept {
    ++ticks_;
    if (ticks_ != 4) return false;
    ticks_ = 0;
    return true;
  }

 private:
  std::uint8_t ticks_ = 2;
};

// ---------------------------------------------------------------------------
// Input

inline constexpr int kMouseSlackPixels = 5;

// More than five pixels away from the start in x or in y.
[[nodiscard]] bool MovedBeyondSlack(Point start, Point now) noexcept;

enum class MouseMessage { Move, LeftButtonDown, RightButtonDown, MiddleButtonDown, Wheel, Other };

enum class InputAction {
  PassOn,      // to the window's previous procedure
  Quit,        // QuitSaver
  OpenPrompt,  // open the password prompt; the message goes no further
  Swallow,     // the message goes no further
};

struct InputState {
  std::string_view mouseQuit;
  std::string_view keybQuit;
  bool promptVisible = false;
  bool passwordStored = false;
};

// What a window procedure does with a mouse message (`movedBeyondSlack` only
// counts for moves).
[[nodiscard]] InputAction DecideMouseMessage(MouseMessage message, bool movedBeyondSlack, const InputState& state);

enum class KeyAction {
  Ignore,         // the keystroke goes on to its window, nothing else happens
  ReleaseAgain,   // synthesise the release of this key, then as Ignore
  CheckPassword,  // Enter in the open prompt
  EmptyPassword,  // Escape in the prompt while it holds text
  HidePrompt,     // Escape in the empty prompt
  Quit,
  OpenPrompt,
};

inline constexpr unsigned kEnterKey = 13;
inline constexpr unsigned kEscapeKey = 27;

// What the keyboard hook does with one call.
[[nodiscard]] KeyAction DecideKey(int hookCode, unsigned virtualKey, bool released, bool passwordBoxEmpty,
                                  const InputState& state);

// Alt, Ctrl, F4, Tab, both Windows keys and the Applications key.
[[nodiscard]] bool IsCombinationKey(unsigned virtualKey) noexcept;

// Where the prompt panel goes: centred on the primary screen.
[[nodiscard]] Point PromptPosition(Size primaryScreen, Size panel) noexcept;

// ---------------------------------------------------------------------------
// Movie commands

enum class SaverCommand { None, Quit, Restart, LoadSwf, MouseQuit, KeybQuit, ScaleMode, SetValue, GetValue };

// Exact, case-sensitive names; anything else is None.
[[nodiscard]] SaverCommand ClassifySaverCommand(std::wstring_view command) noexcept;

// "0" for "0", "1" for anything else.
[[nodiscard]] std::string QuitFlagFromArgument(std::wstring_view argument);

// The scale mode after a "scalemode" command: the argument's capitalised form
// when it is one of the three lower-case names, else the current mode.
[[nodiscard]] std::string ScaleModeAfterCommand(std::wstring_view argument, std::string_view current);

}  // namespace tpl::saver
