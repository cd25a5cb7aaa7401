#include "demo_movie.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "swf_writer.h"

namespace demo {

namespace {

using swf::testing::Color;
using swf::testing::MovieBuilder;
using swf::testing::ShapeBuilder;
using swf::testing::SpriteBuilder;
using swf::testing::Transform;

constexpr double kWidth = 800, kHeight = 600;
constexpr int kLoopFrames = 120;
constexpr double kTau = 2 * std::numbers::pi;

// Horizontal bands from deep navy at the top to plum at the bottom.
ShapeBuilder Sky() {
  ShapeBuilder sky;
  constexpr int kBands = 20;
  for (int i = 0; i < kBands; ++i) {
    const double t = i / (kBands - 1.0);
    const Color color{static_cast<std::uint8_t>(8 + 34 * t), static_cast<std::uint8_t>(10 + 8 * t),
                      static_cast<std::uint8_t>(36 + 30 * t)};
    sky.Rectangle(0, i * kHeight / kBands, kWidth, kHeight / kBands, sky.AddSolidFill(color));
  }
  return sky;
}

// Concentric discs of one colour, each faint, so the light is bright in the
// middle and fades outwards.
ShapeBuilder Glow(Color color) {
  ShapeBuilder glow;
  constexpr int kRings = 5;
  for (int i = 0; i < kRings; ++i) {
    const double radius = 90.0 * (kRings - i) / kRings;
    color.a = static_cast<std::uint8_t>(28 + 8 * i);
    glow.Ellipse(0, 0, radius, radius, glow.AddSolidFill(color));
  }
  return glow;
}

// An ellipse turned by `angle` around the origin: its curve points turned.
void TurnedEllipse(ShapeBuilder& shape, double offset, double radiusX, double radiusY, double angle, int fill) {
  const auto turned = [&](double x, double y) {
    return std::pair{x * std::cos(angle) - y * std::sin(angle), x * std::sin(angle) + y * std::cos(angle)};
  };
  constexpr int kArcs = 8;
  const double half = std::numbers::pi / kArcs;
  const double reach = 1 / std::cos(half);
  auto [startX, startY] = turned(offset + radiusX, 0);
  shape.SetStyles(0, fill, 0).MoveTo(startX, startY);
  for (int i = 1; i <= kArcs; ++i) {
    const double middle = (2 * i - 1) * half, end = 2 * i * half;
    const auto [cx, cy] = turned(offset + radiusX * reach * std::cos(middle), radiusY * reach * std::sin(middle));
    const auto [x, y] = turned(offset + radiusX * std::cos(end), radiusY * std::sin(end));
    shape.CurveTo(cx, cy, x, y);
  }
}

// Six translucent petals, each its own fill so overlaps blend, and a bright heart.
ShapeBuilder Flower() {
  ShapeBuilder flower;
  constexpr int kPetals = 6;
  for (int i = 0; i < kPetals; ++i) {
    const Color color{static_cast<std::uint8_t>(170 + 12 * i), static_cast<std::uint8_t>(120 + 10 * i), 255, 90};
    TurnedEllipse(flower, 55, 55, 22, kTau * i / kPetals, flower.AddSolidFill(color));
  }
  flower.Ellipse(0, 0, 16, 16, flower.AddSolidFill({255, 236, 180, 230}), flower.AddLineStyle(2, {255, 255, 255, 160}));
  return flower;
}

struct Light {
  Color color;
  double centreX, centreY, reachX, reachY;
  int turnsX, turnsY;  // whole turns per loop, so the loop is seamless
  double phase;
};

constexpr Light kLights[] = {
    {{64, 224, 208}, 250, 220, 170, 110, 1, 2, 0.0}, {{236, 72, 153}, 560, 330, 190, 140, 2, 1, 1.3},
    {{251, 191, 36}, 400, 420, 230, 90, 1, 1, 2.6},  {{96, 165, 250}, 620, 180, 120, 100, 1, 2, 4.0},
    {{163, 230, 53}, 180, 430, 110, 120, 2, 1, 5.1},
};

// A soft two-note chime, 0.8 s of 8-bit samples at 11 kHz: the saver greets
// the user once when it starts, so its sound can be heard working.
std::vector<std::uint8_t> ChimeSound(std::uint16_t id) {
  constexpr int kRate = 11025;
  constexpr int kSamples = kRate * 8 / 10;
  std::vector<std::uint8_t> body = {static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>(id >> 8),
                                    0x34};  // uncompressed little-endian, 11 kHz, 8-bit, mono
  for (int shift = 0; shift < 32; shift += 8) body.push_back(static_cast<std::uint8_t>(kSamples >> shift));
  for (int i = 0; i < kSamples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double attack = std::min(1.0, t / 0.01);
    const double tone = std::sin(kTau * 660 * t) * std::exp(-4 * t) + 0.6 * std::sin(kTau * 990 * t) * std::exp(-6 * t);
    body.push_back(static_cast<std::uint8_t>(std::lround(128 + 36 * attack * tone)));
  }
  return body;
}

// A one-frame sprite that starts the chime and stops: placed once and never
// replaced, it does not sound again when the movie loops.
SpriteBuilder ChimeOnce(std::uint16_t sound) {
  SpriteBuilder sprite;
  sprite.Tag(15, {static_cast<std::uint8_t>(sound & 0xFF), static_cast<std::uint8_t>(sound >> 8), 0x10});
  swf::testing::Actions stop;
  stop.Stop();
  sprite.DoAction(stop).ShowFrame();
  return sprite;
}

constexpr std::uint16_t kChimeId = 900;  // far above the ids the builder hands out

}  // namespace

std::vector<std::uint8_t> MakeDemoMovie() {
  MovieBuilder movie(kWidth, kHeight, 30, 8);
  movie.FileAttributes(0);
  movie.SetBackground({8, 10, 36});
  const std::uint16_t sky = movie.DefineShape(Sky(), 1);

  const std::uint16_t flowerShape = movie.DefineShape(Flower(), 3);
  // The flower turns a sixth of a turn in its own 60-frame loop: its petals
  // look the same at both ends.
  SpriteBuilder flowerSprite;
  flowerSprite.Place(flowerShape, 1);
  constexpr int kFlowerFrames = 60;
  for (int f = 0; f < kFlowerFrames; ++f) {
    if (f > 0) flowerSprite.Move(1, Transform::ScaleRotateTranslate(1, 60.0 * f / kFlowerFrames, 0, 0));
    flowerSprite.ShowFrame();
  }
  const std::uint16_t flower = movie.DefineSprite(flowerSprite);

  std::vector<std::uint16_t> glows;
  for (const Light& light : kLights) glows.push_back(movie.DefineShape(Glow(light.color), 3));

  movie.Tag(14, ChimeSound(kChimeId));
  const std::uint16_t chime = movie.DefineSprite(ChimeOnce(kChimeId));

  movie.Place(sky, 1);
  movie.Place(chime, 2);
  for (int f = 0; f < kLoopFrames; ++f) {
    const double t = kTau * f / kLoopFrames;
    for (std::size_t i = 0; i < glows.size(); ++i) {
      const Light& light = kLights[i];
      const double x = light.centreX + light.reachX * std::sin(light.turnsX * t + light.phase);
      const double y = light.centreY + light.reachY * std::cos(light.turnsY * t + light.phase);
      const double scale = 1 + 0.25 * std::sin(t * 2 + light.phase);
      const auto depth = static_cast<std::uint16_t>(10 + i);
      const Transform where = Transform::ScaleRotateTranslate(scale, 0, x, y);
      if (f == 0) {
        movie.Place(glows[i], depth, where);
      } else {
        movie.Move(depth, where);
      }
    }
    const Transform bloom = Transform::ScaleRotateTranslate(1.2 + 0.15 * std::sin(t), 0, kWidth / 2, kHeight / 2);
    if (f == 0) {
      movie.Place(flower, 30, bloom);
    } else {
      movie.Move(30, bloom);
    }
    movie.ShowFrame();
  }
  return movie.Build();
}

}  // namespace demo
