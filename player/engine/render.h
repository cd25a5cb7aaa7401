#pragma once
// Drawing a stage's display lists into a surface at a scale mode.

#include "movie_player.h"
#include "rasterizer.h"
#include "stage.h"

namespace swf {

// The matrix from the movie's twips to the surface's pixels for a scale mode;
// nullopt when the movie's stage is empty.
[[nodiscard]] std::optional<Matrix> StageToSurface(const Movie& movie, int width, int height, ScaleMode scale);

void RenderStage(const Stage& stage, const Surface& target, ScaleMode scale, Rasterizer& rasterizer);

}  // namespace swf
