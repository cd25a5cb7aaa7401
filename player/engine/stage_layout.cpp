// How the movie fits the window it is drawn into, as the Stage object shows
// it to scripts: the scale mode, the alignment, the size, and onResize.

#include "stage.h"

namespace swf {

void Stage::NoteViewport(int width, int height, ScaleMode hostScale) {
  hostScale_ = hostScale;
  if (width <= 0 || height <= 0) return;
  const bool resized = viewportWidth_ != 0 && (width != viewportWidth_ || height != viewportHeight_);
  viewportWidth_ = width;
  viewportHeight_ = height;
  // Only under noScale does a resize change what the movie sees of the stage.
  if (resized && ScaleFor(hostScale_) == ScaleMode::NoScale) resizePending_ = true;
}

void Stage::TellResize() {
  if (!resizePending_) return;
  resizePending_ = false;
  BroadcastTo("Stage", "onResize");
}

std::string Stage::StageScaleMode() { return std::string(ScaleModeName(ScaleFor(hostScale_))); }

// Names other than the four modes leave the mode as it was.
void Stage::SetStageScaleMode(std::string_view mode) {
  if (const std::optional<ScaleMode> scale = ParseScaleMode(mode)) scriptScale_ = *scale;
}

std::string Stage::StageAlign() { return StageAlignmentLetters(align_); }

void Stage::SetStageAlign(std::string_view letters) { align_ = ParseStageAlignment(letters); }

// Under noScale the stage is the window; otherwise the movie's own size.
void Stage::StageSize(double& width, double& height) {
  if (ScaleFor(hostScale_) == ScaleMode::NoScale && viewportWidth_ > 0) {
    width = viewportWidth_;
    height = viewportHeight_;
    return;
  }
  width = (movie_.maxXTwips - movie_.minXTwips) / 20.0;
  height = (movie_.maxYTwips - movie_.minYTwips) / 20.0;
}

}  // namespace swf
