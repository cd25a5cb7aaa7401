// Blend modes: a square placed by PlaceObject3 with each mode over another
// square, the colour where they overlap against the mode's formula; alpha and
// erase inside a layer; and MovieClip.blendMode from scripts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

constexpr Color kBack{200, 100, 50};     // the lower square
constexpr Color kSource{100, 150, 250};  // the blended square
constexpr Color kStage{255, 255, 255};

// The mode's result for one channel, both colours opaque.
using Formula = int (*)(int back, int source);

struct BlendCase {
  std::string name;
  std::uint8_t mode;
  Formula formula;
  bool filters = false;
};

int Clamp(double v) { return static_cast<int>(std::clamp(std::lround(v), 0L, 255L)); }

std::vector<BlendCase> BlendCases() {
  const auto dodge = [](int b, int s) {
    const double cb = b / 255.0, cs = s / 255.0;
    return Clamp(255 * (cb <= 0.5 ? 2 * cb * cs : 1 - 2 * (1 - cb) * (1 - cs)));
  };
  const auto hard = [](int b, int s) {
    const double cb = b / 255.0, cs = s / 255.0;
    return Clamp(255 * (cs <= 0.5 ? 2 * cb * cs : 1 - 2 * (1 - cb) * (1 - cs)));
  };
  return {
      {"normal", 1, [](int, int s) { return s; }},
      {"layer", 2, [](int, int s) { return s; }, true},
      {"multiply", 3, [](int b, int s) { return Clamp(b * s / 255.0); }},
      {"screen", 4, [](int b, int s) { return Clamp(b + s - b * s / 255.0); }},
      {"lighten", 5, [](int b, int s) { return std::max(b, s); }},
      {"darken", 6, [](int b, int s) { return std::min(b, s); }, true},
      {"difference", 7, [](int b, int s) { return std::abs(b - s); }},
      {"add", 8, [](int b, int s) { return std::min(255, b + s); }},
      {"subtract", 9, [](int b, int s) { return std::max(0, b - s); }},
      {"invert", 10, [](int b, int) { return 255 - b; }},
      // With no layer below to work on, these two show nothing.
      {"alpha", 11, [](int b, int) { return b; }},
      {"erase", 12, [](int b, int) { return b; }},
      {"overlay", 13, dodge},
      {"hardlight", 14, hard},
  };
}

bool Near(std::uint32_t pixel, int r, int g, int b, int tolerance = 3) {
  return std::abs(RedOf(pixel) - r) <= tolerance && std::abs(GreenOf(pixel) - g) <= tolerance &&
         std::abs(BlueOf(pixel) - b) <= tolerance;
}

std::string Describe(std::uint32_t pixel) {
  return std::to_string(RedOf(pixel)) + " " + std::to_string(GreenOf(pixel)) + " " + std::to_string(BlueOf(pixel));
}

class BlendModes : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendModes, MixTheColoursAsTheModeSays) {
  const BlendCase& c = GetParam();
  // The lower square covers x 0..60, the blended one x 40..100.
  MovieBuilder movie(100, 50, 24, 8);
  movie.SetBackground(kStage);
  movie.Place(movie.DefineShape(FilledRectangle(60, 50, kBack)), 1);
  movie.PlaceBlended(movie.DefineShape(FilledRectangle(60, 50, kSource)), 2, c.mode, Transform::Translate(40, 0), "",
                     c.filters);
  movie.ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(100, 50);
  player.Render(canvas.View(), ScaleMode::NoScale);
  const std::uint32_t overlap = canvas.At(50, 25);
  EXPECT_TRUE(Near(overlap, c.formula(kBack.r, kSource.r), c.formula(kBack.g, kSource.g),
                   c.formula(kBack.b, kSource.b)))
      << Describe(overlap);
  // Where only the lower square lies, it is as it was; over the white stage
  // the mode mixes with white.
  EXPECT_TRUE(Near(canvas.At(20, 25), kBack.r, kBack.g, kBack.b)) << Describe(canvas.At(20, 25));
  const std::uint32_t alone = canvas.At(80, 25);
  EXPECT_TRUE(Near(alone, c.formula(255, kSource.r), c.formula(255, kSource.g), c.formula(255, kSource.b)))
      << Describe(alone);
}

INSTANTIATE_TEST_SUITE_P(PlaceObject3, BlendModes, ::testing::ValuesIn(BlendCases()), CaseName{});

// A layer holding a red square and, over its left half, a quarter-opaque
// square drawn with `mode`: erase takes away a quarter of the red under it,
// alpha keeps only a quarter.
Bytes LayerWithCoverageChild(std::uint8_t mode) {
  MovieBuilder movie(100, 50, 24, 8);
  movie.SetBackground({0, 0, 255});
  SpriteBuilder sprite;
  sprite.Place(movie.DefineShape(FilledRectangle(80, 50, {255, 0, 0})), 1);
  sprite.PlaceBlended(movie.DefineShape(FilledRectangle(40, 50, {0, 255, 0, 64})), 2, mode);
  sprite.ShowFrame();
  movie.PlaceBlended(movie.DefineSprite(sprite), 1, 2);
  movie.ShowFrame();
  return movie.Build();
}

TEST(BlendLayers, EraseAndAlphaWorkOnTheLayerAroundThem) {
  struct Case {
    std::uint8_t mode;
    Color left, right;  // at x 20 and x 60
  };
  for (const Case& c : {Case{12, {191, 0, 64}, {255, 0, 0}}, Case{11, {64, 0, 191}, {255, 0, 0}}}) {
    SCOPED_TRACE(int{c.mode});
    MoviePlayer player;
    LoadOrFail(player, LayerWithCoverageChild(c.mode));
    Canvas canvas(100, 50);
    player.Render(canvas.View(), ScaleMode::NoScale);
    EXPECT_TRUE(Near(canvas.At(20, 25), c.left.r, c.left.g, c.left.b)) << Describe(canvas.At(20, 25));
    EXPECT_TRUE(Near(canvas.At(60, 25), c.right.r, c.right.g, c.right.b)) << Describe(canvas.At(60, 25));
    EXPECT_TRUE(Near(canvas.At(90, 25), 0, 0, 255)) << Describe(canvas.At(90, 25));
  }
}

TEST(BlendLayers, ScriptsReadAndSetTheMode) {
  constexpr std::uint8_t kSetMember = 0x4F, kGetMember = 0x4E;
  MovieBuilder movie(100, 50, 24, 8);
  movie.SetBackground(kStage);
  movie.Place(movie.DefineShape(FilledRectangle(60, 50, kBack)), 1);
  SpriteBuilder sprite;
  sprite.Place(movie.DefineShape(FilledRectangle(60, 50, kSource)), 1);
  sprite.ShowFrame();
  movie.Place(movie.DefineSprite(sprite), 2, Transform::Translate(40, 0), std::nullopt, "s");
  Actions a;
  const auto trace = [&] { a.PushString("s").GetVariable().PushString("blendMode").Raw(kGetMember).Trace(); };
  const auto set = [&](const std::function<void()>& push) {
    a.PushString("s").GetVariable().PushString("blendMode");
    push();
    a.Raw(kSetMember);
  };
  trace();
  set([&] { a.PushString("SCREEN"); });
  trace();
  set([&] { a.PushString("bogus"); });
  trace();
  set([&] { a.PushInt(3); });
  trace();
  movie.DoAction(a).ShowFrame();
  MoviePlayer player;
  std::vector<std::string> lines;
  player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(lines, (std::vector<std::string>{"normal", "screen", "screen", "multiply"}));
  Canvas canvas(100, 50);
  player.Render(canvas.View(), ScaleMode::NoScale);
  EXPECT_TRUE(Near(canvas.At(50, 25), 78, 59, 49)) << Describe(canvas.At(50, 25));
}

}  // namespace
}  // namespace swf::testing
