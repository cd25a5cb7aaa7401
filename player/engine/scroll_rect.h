#pragma once
// MovieClip.scrollRect: a clip shows only a rectangle of its content, moved
// so that the rectangle's top-left corner sits at the clip's origin. The
// clip's own space stays its content's (children keep their positions); the
// move lies between the clip and its parent.

#include <memory>
#include <optional>

#include "swf_movie.h"

namespace swf {

struct ScrollRect {
  double x = 0, y = 0, width = 0, height = 0;  // twips of the clip's space
  // The rectangle from the clip's origin, filled: what the renderer masks with.
  std::shared_ptr<const Shape> outline;
};

// A scroll rectangle of these twips with its outline made.
[[nodiscard]] ScrollRect MakeScrollRect(double x, double y, double width, double height);

// From the clip's content to where it shows: the rectangle's corner moved to the origin.
[[nodiscard]] inline Matrix ScrollOffset(const ScrollRect& rect) { return Matrix{1, 0, 0, 1, -rect.x, -rect.y}; }

// Whether a point of the clip's content space lies inside the rectangle.
[[nodiscard]] inline bool ScrollRectShows(const ScrollRect& rect, const Point& local) {
  return local.x >= rect.x && local.x <= rect.x + rect.width && local.y >= rect.y && local.y <= rect.y + rect.height;
}

// Whether a clip with this rectangle (if any), its content drawn through
// `contentToStage`, leaves a stage point out of its window: what lies outside
// takes no pointer.
[[nodiscard]] bool ScrollRectCutsPoint(const std::optional<ScrollRect>& rect, const Matrix& contentToStage, double x,
                                       double y);

}  // namespace swf
