#pragma once
// Helpers of the movie engine tests: a pixel buffer to draw into and short
// names for the writer's types.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "swf_writer.h"

namespace swf::testing {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kGreen = 0xFF00FF00;

class Canvas {
 public:
  Canvas(int width, int height, std::uint32_t fill = 0x12345678)
      : width_(width),
        height_(height),
        pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

  [[nodiscard]] Surface View() { return Surface{pixels_.data(), width_, height_, width_}; }
  [[nodiscard]] std::uint32_t At(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
  }
  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }

 private:
  int width_, height_;
  std::vector<std::uint32_t> pixels_;
};

inline int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFFu); }
inline int RedOf(std::uint32_t pixel) { return Channel(pixel, 16); }
inline int GreenOf(std::uint32_t pixel) { return Channel(pixel, 8); }
inline int BlueOf(std::uint32_t pixel) { return Channel(pixel, 0); }

// A shape of one solid rectangle at (0, 0).
inline ShapeBuilder FilledRectangle(double width, double height, Color color) {
  ShapeBuilder shape;
  shape.Rectangle(0, 0, width, height, shape.AddSolidFill(color));
  return shape;
}

inline void LoadOrFail(MoviePlayer& player, const Bytes& file) { ASSERT_TRUE(player.Load(file)); }

// The trace lines of a one-frame movie of the given version whose frame runs the actions.
inline std::vector<std::string> TracesOf(const Actions& actions, int version) {
  MovieBuilder movie(10, 10, 24, version);
  movie.DoAction(actions).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  return lines;
}

// Pushes a dotted path: the first name as a variable, each further one as a member ("a.b.c").
inline Actions& PushDottedPath(Actions& a, std::string_view path) {
  std::size_t dot = path.find('.');
  a.PushString(path.substr(0, dot)).GetVariable();
  while (dot != std::string_view::npos) {
    const std::size_t next = path.find('.', dot + 1);
    a.PushString(path.substr(dot + 1, next == std::string_view::npos ? next : next - dot - 1)).Raw(0x4E);
    dot = next;
  }
  return a;
}

inline Actions& TraceDottedPath(Actions& a, std::string_view path) { return PushDottedPath(a, path).Trace(); }

}  // namespace swf::testing
