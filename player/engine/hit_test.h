#pragma once
// Whether a point falls on a shape: inside one of its fills, or on one of its
// lines. Buttons find what the pointer is over with it, and scripts' hitTest
// with the shape flag.

#include "swf_movie.h"

namespace swf {

// `x`, `y` in the shape's own twips.
[[nodiscard]] bool ShapeContains(const Shape& shape, double x, double y);

}  // namespace swf
