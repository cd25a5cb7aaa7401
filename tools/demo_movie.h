#pragma once
// The demo saver movie: soft coloured lights drifting over a dark banded sky
// around a slowly turning glass flower; 800 x 600, 30 frames per second, a
// four-second loop.

#include <cstdint>
#include <vector>

namespace demo {

[[nodiscard]] std::vector<std::uint8_t> MakeDemoMovie();

}  // namespace demo
