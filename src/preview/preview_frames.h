#pragma once
// The preview's decisions and its two loops, free of Windows calls: the
// Windows side supplies each step (a window test, drawing, copying, the
// player's calls) and the loops decide when to run which.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tpl {

// The preview window's handle as argument 2 gives it: a 32-bit integer in the
// text rules of the configuration; nothing when it is missing or malformed.
[[nodiscard]] std::optional<std::int32_t> ParsePreviewHandle(std::string_view text);

// Only version 4.0 counts: the major version's decimal text followed by the
// minor version's must read "40".
[[nodiscard]] bool IsVersion40(unsigned major, unsigned minor);

// "noscale" would show a corner of the movie in the small preview, so the
// preview shows the whole movie instead; every other text (even "NoScale") is
// passed on as it is.
[[nodiscard]] std::string PreviewScaleMode(std::string_view defaultScaleMode);

// A switch is on only when it reads exactly "1".
[[nodiscard]] bool IsOn(std::string_view flag);

// What the loops need from the Windows side. Any step may throw.
class PreviewSteps {
 public:
  virtual ~PreviewSteps() = default;
  [[nodiscard]] virtual bool WindowExists() = 0;
  [[nodiscard]] virtual bool WindowVisible() = 0;
  virtual void HandlePendingMessages() = 0;
  virtual void Pause() = 0;  // the 10 ms between two passes
  virtual void PaintPlayer() = 0;
  virtual void CopyFrameToWindow() = 0;
  [[nodiscard]] virtual bool PlayerIsPlaying() = 0;
  virtual void PlayAgain() = 0;
};

inline constexpr unsigned kPreviewPauseMs = 10;

enum class PreviewWait { Visible, NotAWindow };

// Waits until the preview window is visible, handling messages and pausing
// between tests; ends early when the handle names no window (any more).
[[nodiscard]] PreviewWait WaitForPreviewWindow(PreviewSteps& steps);

enum class PreviewEnd { WindowHidden, Failed };

// One frame per pass for as long as the preview window is visible: messages,
// the player's picture into the frame bitmap, the frame onto the window, a
// replay of a stopped movie when the movie loops, the pause. An error of any
// step ends the loop.
[[nodiscard]] PreviewEnd RunPreviewFrames(PreviewSteps& steps, bool loopMovie) noexcept;

}  // namespace tpl
