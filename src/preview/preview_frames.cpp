#include "preview/preview_frames.h"

#include "common/integer_text.h"

namespace tpl {

std::optional<std::int32_t> ParsePreviewHandle(std::string_view text) { return ParseIntegerText(text); }

bool IsVersion40(unsigned major, unsigned minor) { return std::to_string(major) + std::to_string(minor) == "40"; }

std::string PreviewScaleMode(std::string_view defaultScaleMode) {
  if (defaultScaleMode == "noscale") return "ShowAll";
  return std::string(defaultScaleMode);
}

bool IsOn(std::string_view flag) { return flag == "1"; }

PreviewWait WaitForPreviewWindow(PreviewSteps& steps) {
  while (!steps.WindowVisible()) {
    // A handle that is no window never becomes visible: without this test the
    // wait would last for ever.
    if (!steps.WindowExists()) return PreviewWait::NotAWindow;
    steps.HandlePendingMessages();
    steps.Pause();
  }
  return PreviewWait::Visible;
}

PreviewEnd RunPreviewFrames(PreviewSteps& steps, bool loopMovie) noexcept {
  try {
    while (steps.WindowVisible()) {
      steps.HandlePendingMessages();
      steps.PaintPlayer();
      steps.CopyFrameToWindow();
      if (loopMovie && !steps.PlayerIsPlaying()) steps.PlayAgain();
      steps.Pause();
    }
    return PreviewEnd::WindowHidden;
  } catch (...) {
    return PreviewEnd::Failed;
  }
}

}  // namespace tpl
