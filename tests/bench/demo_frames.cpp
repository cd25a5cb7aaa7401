// demo_frames <movie.swf> <frames> [width height [whole|changes [hash]]]: plays
// the movie's frames into a surface of that size (1920 x 1080 by default), as
// the control does on each tick: a step, then only the changed areas drawn
// ("changes", the default) or the whole frame ("whole"). With "hash", prints
// each frame's hash of its pixels, so that two builds of the engine can be
// compared frame for frame. A plain program for profilers (callgrind, perf
// stat): no benchmark loop around it, the same work on every run.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "movie_player.h"

namespace {

std::uint64_t HashPixels(const std::vector<std::uint32_t>& pixels) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the pixel words
  for (const std::uint32_t pixel : pixels) {
    hash ^= pixel;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: demo_frames <movie.swf> <frames> [width height [whole|changes [hash]]]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const int frames = std::atoi(argv[2]);
  const int width = argc > 4 ? std::atoi(argv[3]) : 1920;
  const int height = argc > 4 ? std::atoi(argv[4]) : 1080;
  const bool whole = argc > 5 && std::string_view(argv[5]) == "whole";
  const bool hash = argc > 6 && std::string_view(argv[6]) == "hash";
  if (frames < 0 || width <= 0 || height <= 0) return 2;

  swf::MoviePlayer player;
  if (!player.Load(bytes)) {
    std::fprintf(stderr, "%s did not load\n", argv[1]);
    return 1;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const swf::Surface surface{pixels.data(), width, height, width};
  long long drawn = 0;
  for (int frame = 0; frame < frames; ++frame) {
    if (frame != 0) player.Advance();
    if (whole) {
      player.Render(surface, swf::ScaleMode::ShowAll);
      drawn += static_cast<long long>(width) * height;
    } else {
      for (const swf::PixelRect& area : player.RenderChanges(surface, swf::ScaleMode::ShowAll)) drawn += area.Area();
    }
    if (hash) std::printf("%d %016llx\n", frame, static_cast<unsigned long long>(HashPixels(pixels)));
  }
  std::printf("frames %d, pixels drawn %lld, last frame %016llx\n", frames, drawn,
              static_cast<unsigned long long>(HashPixels(pixels)));
  return 0;
}
