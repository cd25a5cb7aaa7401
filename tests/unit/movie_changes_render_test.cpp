// Drawing only what changed: frame after frame, a surface kept up to date by
// RenderChanges holds exactly the pixels a whole redraw of the same frame
// gives, whatever the movie does between frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "render.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

constexpr std::uint8_t kSetMember = 0x4F;

// Sets a property of the clip named `clip` on the timeline running the actions.
Actions SetClipProperty(const std::string& clip, const std::string& property, double value) {
  Actions a;
  a.PushString(clip).GetVariable().PushString(property).PushDouble(value).Raw(kSetMember);
  return a;
}

ShapeBuilder OutlinedEllipse(double radiusX, double radiusY, Color fill, Color line) {
  ShapeBuilder shape;
  shape.Ellipse(0, 0, radiusX, radiusY, shape.AddSolidFill(fill), shape.AddLineStyle(3, line));
  return shape;
}

Bytes MovingObjects() {
  MovieBuilder movie(200, 120);
  movie.SetBackground({10, 20, 60});
  const auto box = movie.DefineShape(FilledRectangle(40, 30, {200, 40, 40}));
  const auto ball = movie.DefineShape(OutlinedEllipse(18, 12, {40, 200, 90, 180}, {255, 255, 255, 200}));
  for (int f = 0; f < 8; ++f) {
    const Transform boxAt = Transform::Translate(10 + 17.3 * f, 20 + 3.7 * f);
    const Transform ballAt = Transform::ScaleRotateTranslate(1 + 0.1 * f, 11.0 * f, 170 - 19.1 * f, 60);
    if (f == 0) {
      movie.Place(box, 1, boxAt).Place(ball, 2, ballAt);
    } else {
      movie.Move(1, boxAt).Move(2, ballAt);
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

// Objects placed, removed and replaced by another character at their depth.
Bytes AppearingAndDisappearing() {
  MovieBuilder movie(200, 120);
  const auto red = movie.DefineShape(FilledRectangle(50, 40, {255, 0, 0}));
  const auto green = movie.DefineShape(OutlinedEllipse(30, 20, {0, 255, 0, 140}, {0, 0, 0}));
  movie.Place(red, 1, Transform::Translate(20, 20)).ShowFrame();
  movie.Place(green, 2, Transform::Translate(60, 50)).ShowFrame();
  movie.Remove(1).ShowFrame();
  movie.Replace(2, red).ShowFrame();
  movie.Place(green, 5, Transform::Translate(150, 90)).Remove(2).ShowFrame();
  movie.ShowFrame();
  return movie.Build();
}

Bytes ChangingColourTransforms() {
  MovieBuilder movie(160, 100);
  movie.SetBackground({255, 255, 255});
  const auto box = movie.DefineShape(FilledRectangle(60, 50, {30, 90, 200}));
  movie.Place(box, 1, Transform::Translate(20, 20)).Place(box, 2, Transform::Translate(60, 40)).ShowFrame();
  for (int f = 1; f < 6; ++f) {
    ColorTransform colors;
    colors.multiplyA = 1 - 0.15 * f;
    colors.multiplyR = 0.5 + 0.1 * f;
    colors.addG = 20 * f;
    movie.Move(2, Transform::Translate(60, 40), colors).ShowFrame();
  }
  return movie.Build();
}

// A still translucent object over one that moves beneath it, and a still one
// beneath an object that moves over it.
Bytes OverlappingDepths() {
  MovieBuilder movie(200, 120);
  const auto opaque = movie.DefineShape(FilledRectangle(50, 50, {250, 200, 0}));
  const auto glass = movie.DefineShape(OutlinedEllipse(45, 35, {0, 0, 255, 110}, {0, 0, 0, 90}));
  movie.Place(opaque, 1, Transform::Translate(0, 10))
      .Place(glass, 2, Transform::Translate(100, 60))
      .Place(opaque, 3, Transform::Translate(150, 70))
      .ShowFrame();
  for (int f = 1; f < 8; ++f) {
    movie.Move(1, Transform::Translate(15.5 * f, 10 + 4.25 * f));
    movie.Move(3, Transform::Translate(150 - 13.5 * f, 70 - 6 * f));
    movie.ShowFrame();
  }
  return movie.Build();
}

// A clip that turns inside a parent clip that never moves.
Bytes NestedClipInAStillParent() {
  MovieBuilder movie(200, 120);
  movie.SetBackground({0, 0, 0});
  const auto petal = movie.DefineShape(OutlinedEllipse(30, 8, {255, 120, 200, 200}, {255, 255, 255}));
  const auto frame = movie.DefineShape(FilledRectangle(120, 90, {40, 40, 40}));
  SpriteBuilder turning;
  for (int f = 0; f < 6; ++f) {
    const Transform at = Transform::ScaleRotateTranslate(1, 17.0 * f, 30, 0);
    if (f == 0) {
      turning.Place(petal, 1, at);
    } else {
      turning.Move(1, at);
    }
    turning.ShowFrame();
  }
  const auto inner = movie.DefineSprite(turning);
  SpriteBuilder parent;
  parent.Place(frame, 1, Transform::Translate(-60, -45)).Place(inner, 2).ShowFrame();
  const auto outer = movie.DefineSprite(parent);
  movie.Place(outer, 1, Transform::ScaleRotateTranslate(1.2, 10, 100, 60)).ShowFrame(3);
  return movie.Build();
}

// Properties set by the movie's scripts: place, turn, alpha, visibility.
Bytes ScriptSetProperties() {
  MovieBuilder movie(200, 120);
  const auto ball = movie.DefineShape(OutlinedEllipse(20, 14, {250, 80, 0}, {0, 0, 0}));
  SpriteBuilder holder;
  holder.Place(ball, 1).ShowFrame();
  const auto clip = movie.DefineSprite(holder);
  movie.Place(clip, 1, Transform::Translate(40, 40), std::nullopt, "a").ShowFrame();
  movie.Place(clip, 2, Transform::Translate(150, 80), std::nullopt, "b").ShowFrame();
  movie.DoAction(SetClipProperty("a", "_x", 90)).ShowFrame();
  movie.DoAction(SetClipProperty("b", "_rotation", 45)).DoAction(SetClipProperty("a", "_alpha", 40)).ShowFrame();
  movie.DoAction(SetClipProperty("b", "_visible", 0)).DoAction(SetClipProperty("a", "_y", 100)).ShowFrame();
  movie.DoAction(SetClipProperty("b", "_visible", 1)).DoAction(SetClipProperty("b", "_xscale", 180)).ShowFrame();
  movie.DoAction(Actions().Stop()).ShowFrame();
  return movie.Build();
}

// Objects crossing every edge of the surface, and going wholly out of it.
Bytes CrossingTheEdges() {
  MovieBuilder movie(160, 100);
  const auto wide = movie.DefineShape(OutlinedEllipse(50, 30, {90, 200, 255, 200}, {255, 0, 0}));
  for (int f = 0; f < 8; ++f) {
    const Transform left = Transform::Translate(-40 + 9.5 * f, 50);
    const Transform corner = Transform::ScaleRotateTranslate(1.5, 20.0 * f, 160 - 3.0 * f, 100 + 25.0 * (f - 3));
    if (f == 0) {
      movie.Place(wide, 1, left).Place(wide, 2, corner);
    } else {
      movie.Move(1, left).Move(2, corner);
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

// The root goes back to its first frame: its display list is built again.
Bytes LoopingRoot() {
  MovieBuilder movie(160, 100);
  const auto box = movie.DefineShape(FilledRectangle(30, 30, {255, 0, 255}));
  const auto other = movie.DefineShape(FilledRectangle(20, 60, {0, 128, 0}));
  movie.Place(box, 1, Transform::Translate(10, 10)).ShowFrame();
  movie.Move(1, Transform::Translate(60, 30)).Place(other, 2, Transform::Translate(100, 20)).ShowFrame();
  movie.Move(1, Transform::Translate(110, 60)).ShowFrame();
  return movie.Build();
}

// Depths swapped by script: the same objects, drawn in the other order.
Bytes SwappedDepths() {
  MovieBuilder movie(160, 100);
  const auto blue = movie.DefineShape(FilledRectangle(70, 60, {0, 0, 255}));
  const auto red = movie.DefineShape(FilledRectangle(70, 60, {255, 0, 0, 200}));
  SpriteBuilder holdsBlue, holdsRed;
  holdsBlue.Place(blue, 1).ShowFrame();
  holdsRed.Place(red, 1).ShowFrame();
  const auto blueClip = movie.DefineSprite(holdsBlue);
  const auto redClip = movie.DefineSprite(holdsRed);
  movie.Place(blueClip, 1, Transform::Translate(20, 10), std::nullopt, "under")
      .Place(redClip, 2, Transform::Translate(60, 30), std::nullopt, "over")
      .ShowFrame();
  Actions swap;
  constexpr std::uint8_t kCallMethod = 0x52;
  swap.PushInt(50).PushInt(1).PushString("under").GetVariable().PushString("swapDepths").Raw(kCallMethod).Pop();
  movie.DoAction(swap).ShowFrame();
  movie.DoAction(Actions().Stop()).ShowFrame();
  return movie.Build();
}

Bytes StillPicture() {
  MovieBuilder movie(160, 100);
  movie.Place(movie.DefineShape(OutlinedEllipse(40, 30, {0, 100, 0}, {0, 0, 0})), 1, Transform::Translate(80, 50));
  movie.ShowFrame(4);
  return movie.Build();
}

// A mask sliding over still gradient and bitmap shapes, a gradient ball
// moving outside it, a morph changing its ratio and a bitmap turning.
Bytes MasksGradientsBitmapsAndMorphs() {
  MovieBuilder movie(200, 120);
  movie.SetBackground({20, 20, 20});
  GradientSpec gradient;
  gradient.kind = GradientSpec::Radial;
  gradient.matrix = GradientSpec::Box(-20, -20, 40, 40);
  gradient.stops = {{0, {255, 255, 0}}, {200, {0, 128, 255, 200}}};
  ShapeBuilder ball;
  ball.Ellipse(0, 0, 20, 20, ball.AddGradientFill(gradient));
  const auto ballId = movie.DefineShape(ball, 4);
  const auto bitmap =
      movie.DefineBitsLossless(2, 2, {{255, 0, 0}, {0, 255, 0, 128}, {0, 0, 255}, {255, 255, 255}}, true);
  ShapeBuilder picture;
  picture.Rectangle(-30, -30, 60, 60,
                    picture.AddBitmapFill(bitmap, Transform::ScaleRotateTranslate(600, 0, -30, -30), false, true));
  const auto pictureId = movie.DefineShape(picture);
  const auto mask = movie.DefineShape(FilledRectangle(60, 50, {0, 0, 0}));
  ShapeBuilder start, end;
  start.Rectangle(0, 0, 30, 30, start.AddSolidFill({255, 0, 0}));
  end.Rectangle(20, 10, 40, 20, end.AddSolidFill({0, 0, 255, 128}));
  const auto morph = movie.DefineMorphShape(start, end);
  for (int f = 0; f < 8; ++f) {
    const Transform maskAt = Transform::Translate(10 + 12.0 * f, 30);
    const Transform ballAt = Transform::Translate(150, 20 + 10.0 * f);
    const Transform pictureAt = Transform::ScaleRotateTranslate(0.8, 15.0 * f, 150, 80);
    const auto ratio = static_cast<std::uint16_t>(f * 9000);
    if (f == 0) {
      movie.PlaceMask(mask, 1, 3, maskAt)
          .Place(ballId, 2, Transform::Translate(50, 60))
          .Place(pictureId, 3, Transform::Translate(80, 60))
          .Place(ballId, 4, ballAt)
          .Place(pictureId, 5, pictureAt)
          .PlaceRatio(morph, 6, ratio);
    } else {
      movie.Move(1, maskAt).Move(4, ballAt).Move(5, pictureAt).PlaceRatio(morph, 6, ratio, true);
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

// A mask that starts masking more depths, then is taken away.
Bytes MaskComingAndGoing() {
  MovieBuilder movie(160, 100);
  const auto box = movie.DefineShape(FilledRectangle(160, 100, {200, 40, 40}));
  const auto mask = movie.DefineShape(FilledRectangle(50, 50, {0, 0, 0}));
  movie.Place(box, 2).ShowFrame();
  movie.PlaceMask(mask, 1, 2, Transform::Translate(20, 20)).ShowFrame();
  movie.Remove(1).ShowFrame();
  movie.ShowFrame();
  return movie.Build();
}

// Still scenery (striped, with a translucent band) under a ball that moves
// every frame; the scenery itself moves at `sceneryMovesAt` frames and then
// stays, and the stripe above the ball fades every `fadeEvery` frames (0: never).
Bytes SceneryUnderMovement(std::vector<int> sceneryMovesAt, int fadeEvery) {
  MovieBuilder movie(200, 120);
  movie.SetBackground({10, 10, 30});
  ShapeBuilder stripes;
  for (int i = 0; i < 6; ++i) {
    const auto shade = static_cast<std::uint8_t>(30 + 30 * i);
    stripes.Rectangle(0, 20 * i, 200, 20, stripes.AddSolidFill({shade, 40, static_cast<std::uint8_t>(200 - shade)}));
  }
  stripes.Rectangle(30, 10, 40, 100, stripes.AddSolidFill({255, 255, 255, 90}));
  const auto scenery = movie.DefineShape(stripes);
  const auto band = movie.DefineShape(FilledRectangle(200, 15, {250, 220, 60, 150}));
  const auto ball = movie.DefineShape(OutlinedEllipse(14, 10, {40, 220, 120, 170}, {255, 255, 255, 220}));
  double sceneryX = 0;
  double bandAlpha = 1;
  for (int f = 0; f < 30; ++f) {
    const Transform ballAt = Transform::ScaleRotateTranslate(1, 7.0 * f, 20 + 5.3 * f, 60 + 30 * std::sin(f * 0.4));
    if (std::find(sceneryMovesAt.begin(), sceneryMovesAt.end(), f) != sceneryMovesAt.end()) sceneryX += 13.5;
    if (fadeEvery > 0 && f > 0 && f % fadeEvery == 0) bandAlpha *= 0.8;
    ColorTransform bandColors;
    bandColors.multiplyA = bandAlpha;
    if (f == 0) {
      movie.Place(scenery, 1).Place(band, 2, Transform::Translate(0, 40)).Place(ball, 3, ballAt);
    } else {
      movie.Move(1, Transform::Translate(sceneryX, 0)).Move(2, Transform::Translate(0, 40), bandColors).Move(3, ballAt);
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

struct ChangesCase {
  std::string name;
  std::function<Bytes()> movie;
  int frames;
  ScaleMode scale;
  int width, height;
  double mostChangedShare;  // of the surface, in any frame after the first
};

std::vector<ChangesCase> ChangesCases() {
  return {
      {"moving_objects", MovingObjects, 8, ScaleMode::ShowAll, 400, 240, 0.7},
      {"moving_objects_stretched", MovingObjects, 8, ScaleMode::ExactFit, 333, 301, 0.75},
      {"appearing_and_disappearing", AppearingAndDisappearing, 7, ScaleMode::ShowAll, 300, 180, 0.75},
      {"changing_colour_transforms", ChangingColourTransforms, 6, ScaleMode::ShowAll, 320, 200, 0.3},
      {"overlapping_depths", OverlappingDepths, 8, ScaleMode::NoBorder, 300, 300, 0.75},
      {"nested_clip_in_a_still_parent", NestedClipInAStillParent, 8, ScaleMode::ShowAll, 400, 240, 0.3},
      {"script_set_properties", ScriptSetProperties, 8, ScaleMode::ShowAll, 400, 240, 0.6},
      {"crossing_the_edges", CrossingTheEdges, 8, ScaleMode::NoScale, 150, 90, 1.0},
      {"looping_root", LoopingRoot, 7, ScaleMode::ShowAll, 320, 200, 0.5},
      {"swapped_depths", SwappedDepths, 4, ScaleMode::ShowAll, 320, 200, 0.5},
      {"still_picture", StillPicture, 4, ScaleMode::ShowAll, 320, 200, 0.0},
      {"masks_gradients_bitmaps_and_morphs", MasksGradientsBitmapsAndMorphs, 8, ScaleMode::ShowAll, 400, 240, 0.75},
      {"mask_coming_and_going", MaskComingAndGoing, 4, ScaleMode::ShowAll, 320, 200, 1.0},
      // Scenery that stays for many frames is drawn from a kept picture of it:
      // it must follow the scenery when that moves or fades after long still.
      {"still_scenery_under_movement", [] { return SceneryUnderMovement({}, 0); }, 30, ScaleMode::ShowAll, 400, 240,
       0.5},
      {"scenery_moving_after_long_still", [] { return SceneryUnderMovement({14, 15, 27}, 0); }, 30,
       ScaleMode::ShowAll, 400, 240, 1.0},
      {"scenery_fading_now_and_then", [] { return SceneryUnderMovement({}, 11); }, 30, ScaleMode::ExactFit, 333, 301,
       0.5},
  };
}

// The first pixel where two canvases differ, as text; empty when none does.
std::string FirstDifference(const Canvas& a, const Canvas& b) {
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) {
      if (a.At(x, y) != b.At(x, y)) {
        return "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + std::to_string(a.At(x, y)) + " against " +
               std::to_string(b.At(x, y));
      }
    }
  }
  return {};
}

class ChangesRender : public ::testing::TestWithParam<ChangesCase> {};

TEST_P(ChangesRender, GivesThePixelsOfAWholeRedrawEveryFrame) {
  const ChangesCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, c.movie());
  Canvas kept(c.width, c.height), whole(c.width, c.height), first(c.width, c.height);
  const double surfaceArea = static_cast<double>(c.width) * c.height;
  player.Render(first.View(), c.scale);
  bool changedSinceFirst = false;
  for (int frame = 0; frame < c.frames; ++frame) {
    long long changedArea = 0;
    for (const PixelRect& area : player.RenderChanges(kept.View(), c.scale)) changedArea += area.Area();
    player.Render(whole.View(), c.scale);
    ASSERT_EQ(FirstDifference(kept, whole), "") << "frame " << frame;
    if (frame == 0) {
      EXPECT_EQ(changedArea, static_cast<long long>(surfaceArea)) << "the first frame is drawn whole";
    } else {
      EXPECT_LE(changedArea, c.mostChangedShare * surfaceArea) << "frame " << frame;
    }
    changedSinceFirst |= !FirstDifference(whole, first).empty();
    player.Advance();
  }
  EXPECT_EQ(changedSinceFirst, c.mostChangedShare > 0) << "the movie's frames differ";
}

INSTANTIATE_TEST_SUITE_P(Movies, ChangesRender, ::testing::ValuesIn(ChangesCases()), CaseName());

// Lights of stacked translucent discs moving apart in the corners and side
// by side, so a frame changes in several areas that share rows; with a
// gradient ball among them, or a mask over one of them.
enum class Among { Nothing, Gradient, Mask };

Bytes ScatteredLights(Among among) {
  MovieBuilder movie(320, 200);
  movie.SetBackground({12, 14, 40});
  ShapeBuilder glow;
  for (int ring = 0; ring < 4; ++ring) {
    const double radius = 26.0 - 6 * ring;
    glow.Ellipse(0, 0, radius, radius,
                 glow.AddSolidFill({static_cast<std::uint8_t>(120 + 40 * ring), 200, 90, static_cast<std::uint8_t>(40 + 20 * ring)}));
  }
  const auto light = movie.DefineShape(glow, 3);
  const auto sky = movie.DefineShape(FilledRectangle(320, 100, {30, 20, 70}));
  std::uint16_t extra = 0;
  if (among == Among::Gradient) {
    GradientSpec gradient;
    gradient.kind = GradientSpec::Linear;
    gradient.matrix = GradientSpec::Box(-20, -20, 40, 40);
    gradient.stops = {{0, {255, 60, 0, 220}}, {255, {0, 120, 255, 90}}};
    ShapeBuilder ball;
    ball.Ellipse(0, 0, 20, 16, ball.AddGradientFill(gradient));
    extra = movie.DefineShape(ball, 4);
  } else if (among == Among::Mask) {
    extra = movie.DefineShape(FilledRectangle(60, 40, {0, 0, 0}));
  }
  constexpr int kLights = 5;
  const double startX[kLights] = {40, 280, 40, 280, 160}, startY[kLights] = {40, 40, 160, 160, 100};
  for (int f = 0; f < 8; ++f) {
    for (int i = 0; i < kLights; ++i) {
      const double dx = (i % 2 == 0 ? 1 : -1) * 3.7 * f, dy = (i < 2 ? 1 : -1) * 2.3 * f;
      const Transform at = Transform::ScaleRotateTranslate(1 + 0.05 * f * (i % 3), 0, startX[i] + dx, startY[i] + dy);
      const auto depth = static_cast<std::uint16_t>(10 + i);
      if (f == 0) {
        movie.Place(light, depth, at);
      } else {
        movie.Move(depth, at);
      }
    }
    const Transform extraAt = Transform::ScaleRotateTranslate(1, 9.0 * f, 100 + 4.1 * f, 60);
    if (f == 0) {
      movie.Place(sky, 1, Transform::Translate(0, 50));
      if (among == Among::Gradient) movie.Place(extra, 20, extraAt);
      if (among == Among::Mask) movie.PlaceMask(extra, 5, 12, Transform::Translate(10 + 5.0 * f, 120));
    } else {
      if (among == Among::Gradient) movie.Move(20, extraAt);
      if (among == Among::Mask) movie.Move(5, Transform::Translate(10 + 5.0 * f, 120));
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

struct ScatteredCase {
  std::string name;
  Among among;
  int width, height;
};

class ChangesInSeveralAreas : public ::testing::TestWithParam<ScatteredCase> {};

TEST_P(ChangesInSeveralAreas, GiveThePixelsOfAWholeRedrawEveryFrame) {
  const ScatteredCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, ScatteredLights(c.among));
  Canvas kept(c.width, c.height), whole(c.width, c.height);
  std::size_t mostAreas = 0;
  bool sharedRows = false;  // two areas of one frame side by side
  for (int frame = 0; frame < 8; ++frame) {
    const std::span<const PixelRect> areas = player.RenderChanges(kept.View(), ScaleMode::ShowAll);
    if (frame > 0) mostAreas = std::max(mostAreas, areas.size());
    for (std::size_t a = 0; a < areas.size(); ++a) {
      for (std::size_t b = a + 1; b < areas.size(); ++b) {
        sharedRows |= areas[a].top < areas[b].bottom && areas[b].top < areas[a].bottom;
      }
    }
    player.Render(whole.View(), ScaleMode::ShowAll);
    ASSERT_EQ(FirstDifference(kept, whole), "") << "frame " << frame;
    player.Advance();
  }
  EXPECT_GE(mostAreas, 3u) << "the lights change apart";
  EXPECT_TRUE(sharedRows);
}

INSTANTIATE_TEST_SUITE_P(Movies, ChangesInSeveralAreas,
                         ::testing::Values(ScatteredCase{"lights", Among::Nothing, 640, 400},
                                           ScatteredCase{"lights_stretched_small", Among::Nothing, 301, 177},
                                           ScatteredCase{"lights_and_a_gradient", Among::Gradient, 640, 400},
                                           ScatteredCase{"lights_under_a_mask", Among::Mask, 640, 400}),
                         CaseName());

// What else makes the kept picture useless: another movie, size or scale,
// or someone else drawing into it. Each draws the surface whole again.
struct StartOverCase {
  std::string name;
  std::function<void(MoviePlayer&, Canvas&, Canvas&, ScaleMode&)> change;
};

std::vector<StartOverCase> StartOverCases() {
  const auto onRed = [] {
    MovieBuilder movie(160, 100);
    movie.SetBackground({255, 0, 0});
    movie.Place(movie.DefineShape(FilledRectangle(20, 20, {0, 0, 255})), 1, Transform::Translate(70, 40)).ShowFrame();
    return movie.Build();
  };
  return {
      {"another_movie_and_background",
       [onRed](MoviePlayer& player, Canvas&, Canvas&, ScaleMode&) { ASSERT_TRUE(player.Load(onRed())); }},
      {"movie_unloaded", [](MoviePlayer& player, Canvas&, Canvas&, ScaleMode&) { player.Unload(); }},
      {"another_scale", [](MoviePlayer&, Canvas&, Canvas&, ScaleMode& scale) { scale = ScaleMode::NoScale; }},
      {"another_surface", [](MoviePlayer&, Canvas& kept, Canvas& other, ScaleMode&) { std::swap(kept, other); }},
      {"surface_drawn_over",
       [](MoviePlayer& player, Canvas& kept, Canvas&, ScaleMode&) {
         FillSurface(kept.View(), Rgba{1, 2, 3, 255});
         player.ForgetRenderedFrame();
       }},
  };
}

class ChangesRenderStartOver : public ::testing::TestWithParam<StartOverCase> {};

TEST_P(ChangesRenderStartOver, DrawsTheWholeSurfaceAgain) {
  MoviePlayer player;
  LoadOrFail(player, StillPicture());
  Canvas kept(320, 200), other(320, 200, 0xFF000000), whole(320, 200);
  ScaleMode scale = ScaleMode::ShowAll;
  (void)player.RenderChanges(kept.View(), scale);
  ASSERT_TRUE(player.RenderChanges(kept.View(), scale).empty()) << "nothing changed";
  GetParam().change(player, kept, other, scale);
  const std::span<const PixelRect> changed = player.RenderChanges(kept.View(), scale);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], (PixelRect{0, 0, 320, 200}));
  player.Render(whole.View(), scale);
  EXPECT_EQ(FirstDifference(kept, whole), "");
}

INSTANTIATE_TEST_SUITE_P(Changes, ChangesRenderStartOver, ::testing::ValuesIn(StartOverCases()), CaseName());

struct MergeCase {
  std::string name;
  std::vector<PixelRect> areas;
  std::vector<PixelRect> merged;
};

std::vector<MergeCase> MergeCases() {
  return {
      {"far_apart_stay_apart", {{0, 0, 100, 100}, {500, 500, 600, 600}}, {{0, 0, 100, 100}, {500, 500, 600, 600}}},
      {"much_overlap_joins", {{0, 0, 200, 200}, {20, 20, 220, 220}}, {{0, 0, 220, 220}}},
      {"joined_chain", {{0, 0, 200, 200}, {150, 0, 350, 200}, {300, 0, 500, 200}}, {{0, 0, 500, 200}}},
      {"empty_dropped", {{10, 10, 10, 50}, {0, 0, 50, 50}}, {{0, 0, 50, 50}}},
      {"most_of_the_surface_is_the_whole", {{0, 0, 1500, 1000}, {1600, 0, 1920, 1000}}, {{0, 0, 1920, 1080}}},
  };
}

class MergeChangedAreasTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeChangedAreasTest, JoinsWhatCostsNoMoreJoined) {
  std::vector<PixelRect> areas = GetParam().areas;
  MergeChangedAreas(areas, 1920, 1080);
  EXPECT_EQ(areas, GetParam().merged);
}

INSTANTIATE_TEST_SUITE_P(Areas, MergeChangedAreasTest, ::testing::ValuesIn(MergeCases()), CaseName());

TEST(MergeChangedAreasTest, KeepsAFewRectanglesCoveringEveryArea) {
  std::vector<PixelRect> areas;
  for (int i = 0; i < 30; ++i)
    areas.push_back({(i * 211) % 1800, (i * 97) % 1000, (i * 211) % 1800 + 30, (i * 97) % 1000 + 30});
  std::vector<PixelRect> merged = areas;
  MergeChangedAreas(merged, 1920, 1080);
  EXPECT_LE(merged.size(), kMaxChangedAreas);
  for (const PixelRect& a : areas) {
    bool covered = false;
    for (const PixelRect& m : merged) {
      covered |= m.left <= a.left && m.top <= a.top && m.right >= a.right && m.bottom >= a.bottom;
    }
    EXPECT_TRUE(covered) << a.left << "," << a.top;
  }
}

// A kept picture hands back its own pixels for any area, whether a row is
// kept as runs of one colour or as pixels; nothing outside the area changes.
struct KeptPictureCase {
  std::string name;
  std::function<std::uint32_t(int x, int y)> pixel;
  bool someRowsAsRuns;
};

std::vector<KeptPictureCase> KeptPictureCases() {
  return {
      {"one_colour", [](int, int) { return 0xFF102030u; }, true},
      {"bands_with_margins", [](int x, int y) { return x < 7 || x >= 53 ? 0xFF000000u : 0xFF000000u + static_cast<std::uint32_t>(y / 5); }, true},
      {"stripes_of_many_colours", [](int x, int) { return 0xFF000000u + static_cast<std::uint32_t>(x / 2); }, false},
      {"flat_rows_over_a_textured_half", [](int x, int y) { return y < 20 ? 0xFF00FF00u : 0xFF000000u + static_cast<std::uint32_t>(x * 7 + y); }, true},
  };
}

class KeptPictureTest : public ::testing::TestWithParam<KeptPictureCase> {};

TEST_P(KeptPictureTest, GivesItsOwnPixelsForAnyArea) {
  constexpr int kWidth = 60, kHeight = 40;
  constexpr std::uint32_t kUntouched = 0xFFABCDEFu;
  KeptPicture kept;
  const Surface picture = kept.Reset(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) picture.pixels[y * kWidth + x] = GetParam().pixel(x, y);
  }
  kept.Index();
  EXPECT_EQ(kept.RowsOfRuns() > 0, GetParam().someRowsAsRuns);
  for (const PixelRect& area : {PixelRect{0, 0, kWidth, kHeight}, PixelRect{3, 5, 31, 27}, PixelRect{52, 18, 60, 23},
                                PixelRect{6, 0, 8, 40}}) {
    std::vector<std::uint32_t> pixels(kWidth * kHeight, kUntouched);
    kept.CopyInto(Surface{pixels.data(), kWidth, kHeight, kWidth}, area);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
        ASSERT_EQ(pixels[y * kWidth + x], inside ? kept.Pixels()[y * kWidth + x] : kUntouched)
            << "pixel " << x << "," << y << " of area " << area.left << "," << area.top;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, KeptPictureTest, ::testing::ValuesIn(KeptPictureCases()), CaseName());

}  // namespace
}  // namespace swf::testing
