// Cost of the stand-in player's movie engine: drawing a frame of 100
// translucent shapes into a 1920 x 1080 surface (reported as frames per
// second), into a preview-sized one, and stepping the timeline one frame; the
// demo movie frame after frame at 1920 x 1080, each frame drawn whole against
// only the areas that changed since the frame before; the script interpreter
// running a frame script's long loop (actions per second); 100 moving
// gradient shapes and a turning full-screen bitmap played at 1920 x 1080, and
// a frame where nothing moved drawn through the changed areas.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "movie_player.h"
#include "stage.h"
#include "swf_movie.h"
#include "swf_writer.h"

namespace {

using swf::testing::Color;
using swf::testing::MovieBuilder;
using swf::testing::ShapeBuilder;
using swf::testing::Transform;

constexpr int kShapes = 100;
constexpr int kFrames = 60;

// Positions from a fixed linear congruential sequence, so every run draws the same frames.
struct Sequence {
  std::uint32_t state = 12345;
  double Next(double low, double high) {
    state = state * 1664525u + 1013904223u;
    return low + (high - low) * (state >> 8) / double(1u << 24);
  }
};

std::vector<std::uint8_t> HundredShapeMovie() {
  MovieBuilder movie(800, 600, 30);
  movie.SetBackground({20, 20, 40});
  Sequence random;
  std::vector<std::uint16_t> ids;
  for (int i = 0; i < kShapes; ++i) {
    ShapeBuilder shape;
    const Color color{static_cast<std::uint8_t>(random.Next(60, 255)), static_cast<std::uint8_t>(random.Next(60, 255)),
                      static_cast<std::uint8_t>(random.Next(60, 255)), static_cast<std::uint8_t>(random.Next(90, 230))};
    const double size = random.Next(40, 160);
    if (i % 2 == 0) {
      shape.Rectangle(-size / 2, -size / 3, size, size * 2 / 3, shape.AddSolidFill(color));
    } else {
      shape.Ellipse(0, 0, size / 2, size / 3, shape.AddSolidFill(color), shape.AddLineStyle(2, {255, 255, 255, 120}));
    }
    ids.push_back(movie.DefineShape(shape));
  }
  std::vector<double> x(kShapes), y(kShapes), turn(kShapes);
  for (int i = 0; i < kShapes; ++i) {
    x[i] = random.Next(0, 800);
    y[i] = random.Next(0, 600);
    turn[i] = random.Next(-3, 3);
  }
  for (int f = 0; f < kFrames; ++f) {
    for (int i = 0; i < kShapes; ++i) {
      const Transform where = Transform::ScaleRotateTranslate(1, turn[i] * f, x[i] + f, y[i]);
      const auto depth = static_cast<std::uint16_t>(i + 1);
      if (f == 0) {
        movie.Place(ids[static_cast<std::size_t>(i)], depth, where);
      } else {
        movie.Move(depth, where);
      }
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

void RenderAt(benchmark::State& state, int width, int height) {
  swf::MoviePlayer player;
  if (!player.Load(HundredShapeMovie())) {
    state.SkipWithError("the benchmark movie did not load");
    return;
  }
  for (int i = 0; i < 10; ++i) player.Advance();
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const swf::Surface surface{pixels.data(), width, height, width};
  for (auto _ : state) {
    player.Render(surface, swf::ScaleMode::ShowAll);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Render100Shapes1920x1080(benchmark::State& state) { RenderAt(state, 1920, 1080); }
void BM_Render100ShapesPreview154x113(benchmark::State& state) { RenderAt(state, 154, 113); }

// Baseline: one plain pass of writes over the same surface, the least a frame costs.
void FillAt(benchmark::State& state, int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  std::uint32_t colour = 0xFF102030;
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), colour++);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}

void BM_BaselineFill1920x1080(benchmark::State& state) { FillAt(state, 1920, 1080); }
void BM_BaselineFillPreview154x113(benchmark::State& state) { FillAt(state, 154, 113); }

void BM_Advance100Shapes(benchmark::State& state) {
  swf::MoviePlayer player;
  if (!player.Load(HundredShapeMovie())) {
    state.SkipWithError("the benchmark movie did not load");
    return;
  }
  for (auto _ : state) {
    player.Advance();
    benchmark::DoNotOptimize(player.CurrentFrame());
  }
}

using swf::testing::GradientSpec;

// 100 shapes, half linear and half radial gradients of three stops with some
// alpha, moving and turning across an 800 x 600 stage for 60 frames.
std::vector<std::uint8_t> HundredGradientShapeMovie() {
  MovieBuilder movie(800, 600, 30);
  movie.SetBackground({20, 20, 40});
  Sequence random;
  std::vector<std::uint16_t> ids;
  const auto channel = [&random] { return static_cast<std::uint8_t>(random.Next(40, 255)); };
  for (int i = 0; i < kShapes; ++i) {
    const double size = random.Next(40, 160);
    GradientSpec gradient;
    gradient.kind = i % 2 == 0 ? GradientSpec::Linear : GradientSpec::Radial;
    gradient.matrix = GradientSpec::Box(-size / 2, -size / 2, size, size, random.Next(0, 180));
    gradient.stops = {{0, {channel(), channel(), channel(), 255}},
                      {128, {channel(), channel(), channel(), 200}},
                      {255, {channel(), channel(), channel(), 140}}};
    ShapeBuilder shape;
    if (i % 2 == 0) {
      shape.Rectangle(-size / 2, -size / 3, size, size * 2 / 3, shape.AddGradientFill(gradient));
    } else {
      shape.Ellipse(0, 0, size / 2, size / 2, shape.AddGradientFill(gradient));
    }
    ids.push_back(movie.DefineShape(shape, 4));
  }
  std::vector<double> x(kShapes), y(kShapes), turn(kShapes);
  for (int i = 0; i < kShapes; ++i) {
    x[i] = random.Next(0, 800);
    y[i] = random.Next(0, 600);
    turn[i] = random.Next(-3, 3);
  }
  for (int f = 0; f < kFrames; ++f) {
    for (int i = 0; i < kShapes; ++i) {
      const Transform where = Transform::ScaleRotateTranslate(1, turn[i] * f, x[i] + f, y[i]);
      const auto depth = static_cast<std::uint16_t>(i + 1);
      if (f == 0) {
        movie.Place(ids[static_cast<std::size_t>(i)], depth, where);
      } else {
        movie.Move(depth, where);
      }
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

// A 512 x 512 photo-like bitmap filling an 800 x 600 stage, turning and
// growing frame by frame (smoothed), always covering the whole stage.
std::vector<std::uint8_t> RotatingBitmapMovie() {
  MovieBuilder movie(800, 600, 30);
  constexpr int kSide = 512;
  std::vector<Color> pixels;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      pixels.push_back({static_cast<std::uint8_t>(x / 2), static_cast<std::uint8_t>(y / 2),
                        static_cast<std::uint8_t>((x ^ y) & 0xFF)});
    }
  }
  const std::uint16_t bitmap = movie.DefineBitsLossless(kSide, kSide, pixels, false);
  ShapeBuilder shape;
  // Big enough to cover the stage at any angle: the fill repeats the bitmap.
  shape.Rectangle(-700, -700, 1400, 1400,
                  shape.AddBitmapFill(bitmap, Transform::ScaleRotateTranslate(20, 0, -256, -256), true, true));
  const std::uint16_t id = movie.DefineShape(shape);
  for (int f = 0; f < kFrames; ++f) {
    const Transform where = Transform::ScaleRotateTranslate(1 + 0.01 * f, 1.5 * f, 400, 300);
    if (f == 0) {
      movie.Place(id, 1, where);
    } else {
      movie.Move(1, where);
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

// Each frame the movie steps and is drawn whole at 1920 x 1080.
void PlayWhole(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  constexpr int kWidth = 1920, kHeight = 1080;
  swf::MoviePlayer player;
  if (!player.Load(file)) {
    state.SkipWithError("the benchmark movie did not load");
    return;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  const swf::Surface surface{pixels.data(), kWidth, kHeight, kWidth};
  for (auto _ : state) {
    player.Advance();
    player.Render(surface, swf::ScaleMode::ShowAll);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Play100GradientShapes1920x1080(benchmark::State& state) { PlayWhole(state, HundredGradientShapeMovie()); }
void BM_PlayRotatingBitmap1920x1080(benchmark::State& state) { PlayWhole(state, RotatingBitmapMovie()); }

// A frame where nothing moved, drawn through the changed areas: the gradient
// shapes and the bitmap of the movies above together, one frame held.
void BM_StillFrameChangedAreas1920x1080(benchmark::State& state) {
  constexpr int kWidth = 1920, kHeight = 1080;
  swf::MoviePlayer player;
  if (!player.Load(HundredGradientShapeMovie())) {
    state.SkipWithError("the benchmark movie did not load");
    return;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  const swf::Surface surface{pixels.data(), kWidth, kHeight, kWidth};
  (void)player.RenderChanges(surface, swf::ScaleMode::ShowAll);
  for (auto _ : state) {
    benchmark::DoNotOptimize(player.RenderChanges(surface, swf::ScaleMode::ShowAll).size());
  }
}

std::vector<std::uint8_t> DemoMovie() {
  std::ifstream file(TEMPLATE_DEMO_SWF, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// What a saver's start pays for its movie: a new player reads the demo and
// builds its first frame.
void BM_LoadDemoMovie(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = DemoMovie();
  for (auto _ : state) {
    swf::MoviePlayer player;
    if (!player.Load(bytes)) {
      state.SkipWithError("the demo movie did not load");
      return;
    }
    benchmark::DoNotOptimize(player.FrameCount());
  }
}

// One frame of the demo played full screen: the movie steps, then the frame
// is drawn, whole or only where it changed.
template <typename Draw>
void PlayDemo(benchmark::State& state, Draw draw) {
  constexpr int kWidth = 1920, kHeight = 1080;
  swf::MoviePlayer player;
  if (!player.Load(DemoMovie())) {
    state.SkipWithError("the demo movie did not load");
    return;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  const swf::Surface surface{pixels.data(), kWidth, kHeight, kWidth};
  (void)player.RenderChanges(surface, swf::ScaleMode::ShowAll);
  double drawnShare = 0;
  for (auto _ : state) {
    player.Advance();
    drawnShare += draw(player, surface);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["drawn_share"] =
      drawnShare / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
}

void BM_DemoWholeFrame1920x1080(benchmark::State& state) {
  PlayDemo(state, [](swf::MoviePlayer& player, const swf::Surface& surface) {
    player.Render(surface, swf::ScaleMode::ShowAll);
    return 1.0;
  });
}

void BM_DemoChangedAreas1920x1080(benchmark::State& state) {
  PlayDemo(state, [](swf::MoviePlayer& player, const swf::Surface& surface) {
    long long drawn = 0;
    for (const swf::PixelRect& area : player.RenderChanges(surface, swf::ScaleMode::ShowAll)) drawn += area.Area();
    return static_cast<double>(drawn) / (static_cast<double>(surface.width) * surface.height);
  });
}

// for (i = 0; i < 1000000; i = i + 1) { s = s * 3 % 1000 + i; o.v = s; s = f(s); }
// with function f(x) { return x + 1; }, written as a compiler writes a frame
// script: variables by name, one action per push.
constexpr int kLoopIterations = 1000000;
// Actions one iteration runs, counted from the code below: the test (6), the
// arithmetic (11), the member set (6), the call (7) and f's body (5), the
// increment (5) and the jump back (1).
constexpr double kActionsPerIteration = 41;

std::vector<std::uint8_t> ScriptLoopMovie() {
  constexpr std::uint8_t kMultiply = 0x0C;
  constexpr std::uint8_t kLess2 = 0x48;
  constexpr std::uint8_t kModulo = 0x3F;
  constexpr std::uint8_t kSetMember = 0x4F;
  constexpr std::uint8_t kCallFunction = 0x3D;
  constexpr std::uint8_t kReturn = 0x3E;
  constexpr std::uint8_t kIncrement = 0x50;
  constexpr std::uint8_t kInitObject = 0x43;
  swf::testing::Actions body;
  body.PushString("x").GetVariable().PushInt(1).Add2().Raw(kReturn);
  swf::testing::Actions a;
  a.DefineFunction("f", {"x"}, body);
  a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
  a.PushString("i").PushInt(0).SetVariable();
  a.PushString("s").PushInt(0).SetVariable();
  const int loop = a.NewLabel();
  const int done = a.NewLabel();
  a.Bind(loop).PushString("i").GetVariable().PushInt(kLoopIterations).Raw(kLess2).Not().If(done);
  a.PushString("s").PushString("s").GetVariable().PushInt(3).Raw(kMultiply).PushInt(1000).Raw(kModulo);
  a.PushString("i").GetVariable().Add2().SetVariable();
  a.PushString("o").GetVariable().PushString("v").PushString("s").GetVariable().Raw(kSetMember);
  a.PushString("s").PushString("s").GetVariable().PushInt(1).PushString("f").Raw(kCallFunction).SetVariable();
  a.PushString("i").PushString("i").GetVariable().Raw(kIncrement).SetVariable();
  a.Jump(loop).Bind(done);
  MovieBuilder movie(100, 100, 30, 7);
  movie.DoAction(a).ShowFrame();
  return movie.Build();
}

// The whole loop runs in the first frame.
void BM_ScriptLoopMillionIterations(benchmark::State& state) {
  const std::optional<swf::Movie> movie = swf::ParseMovie(ScriptLoopMovie());
  if (!movie) {
    state.SkipWithError("the benchmark movie did not parse");
    return;
  }
  for (auto _ : state) {
    swf::Stage stage(*movie);
    // Time stands still for the script time limit, so a busy machine cannot stop the loop.
    stage.SetScriptTimeLimit(swf::kDefaultScriptSeconds, [] { return 0.0; });
    stage.Start();
    const swf::Value* count = stage.Root().FindVariable("i");
    if (!count || swf::ToNumber(*count, 7) != kLoopIterations) {
      state.SkipWithError(
          ("the loop did not finish: i = " + (count ? swf::ToString(*count, 7) : std::string("none"))).c_str());
      return;
    }
  }
  state.counters["actions_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kLoopIterations * kActionsPerIteration, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_LoadDemoMovie)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DemoWholeFrame1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemoChangedAreas1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptLoopMillionIterations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render100Shapes1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render100ShapesPreview154x113)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Advance100Shapes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Play100GradientShapes1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayRotatingBitmap1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StillFrameChangedAreas1920x1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaselineFill1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineFillPreview154x113)->Unit(benchmark::kMicrosecond);
