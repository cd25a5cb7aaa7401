// What scripts draw with styles: beginGradientFill with each form of its
// matrix, spread and focal point, lineStyle's caps, joins and scaling, and
// lineGradientStyle, checked by the pixels of the drawn frame.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kInitArray = 0x42;
constexpr std::uint8_t kInitObject = 0x43;

using Numbers = std::vector<double>;
using Fields = std::vector<std::pair<std::string, std::variant<double, std::string>>>;
// A script argument: a number, a text, an array of numbers or an object.
using Arg = std::variant<double, std::string, Numbers, Fields>;

void Push(Actions& a, const Arg& arg) {
  if (const auto* number = std::get_if<double>(&arg)) {
    a.PushDouble(*number);
  } else if (const auto* text = std::get_if<std::string>(&arg)) {
    a.PushString(*text);
  } else if (const auto* numbers = std::get_if<Numbers>(&arg)) {
    for (auto it = numbers->rbegin(); it != numbers->rend(); ++it) a.PushDouble(*it);
    a.PushInt(static_cast<std::int32_t>(numbers->size())).Raw(kInitArray);
  } else {
    const Fields& fields = std::get<Fields>(arg);
    for (const auto& [name, value] : fields) {
      a.PushString(name);
      if (const auto* n = std::get_if<double>(&value)) {
        a.PushDouble(*n);
      } else {
        a.PushString(std::get<std::string>(value));
      }
    }
    a.PushInt(static_cast<std::int32_t>(fields.size())).Raw(kInitObject);
  }
}

// _root.method(args...), its result dropped.
void Call(Actions& a, const std::string& method, const std::vector<Arg>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) Push(a, *it);
  a.PushInt(static_cast<std::int32_t>(args.size())).PushString("_root").GetVariable().PushString(method);
  a.Raw(kCallMethod).Pop();
}

// A 100 x 100 square at the origin filled by the fill `begin` starts.
void Square(Actions& a, const std::function<void(Actions&)>& begin) {
  begin(a);
  Call(a, "moveTo", {0.0, 0.0});
  Call(a, "lineTo", {100.0, 0.0});
  Call(a, "lineTo", {100.0, 100.0});
  Call(a, "lineTo", {0.0, 100.0});
  Call(a, "lineTo", {0.0, 0.0});
  Call(a, "endFill", {});
}

struct Probe {
  int x, y;
  Color expected;
};

struct ScriptDrawCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::vector<Probe> probes;
};

constexpr Color kRed{255, 0, 0}, kBlue{0, 0, 255}, kPaper{255, 255, 255}, kInk{0, 0, 0};

// A red-to-blue gradient fill of the square with this type, matrix and more.
std::function<void(Actions&)> GradientSquare(const std::string& type, const Arg& matrix, std::vector<Arg> more = {}) {
  return [=](Actions& a) {
    Square(a, [&](Actions& b) {
      std::vector<Arg> args{type, Numbers{0xFF0000, 0x0000FF}, Numbers{100, 100}, Numbers{0, 255}, matrix};
      args.insert(args.end(), more.begin(), more.end());
      Call(b, "beginGradientFill", args);
    });
  };
}

// A box over the square, as each matrix form gives it: the 1638.4-pixel
// gradient square scaled to 100 pixels and centred at (50, 50).
constexpr double kBoxScale = 100 / 1638.4;
const Fields kBox{{"matrixType", std::string("box")}, {"x", 0.0}, {"y", 0.0}, {"w", 100.0}, {"h", 100.0}, {"r", 0.0}};

std::vector<ScriptDrawCase> Cases() {
  const Fields geomMatrix{{"a", kBoxScale}, {"b", 0.0}, {"c", 0.0}, {"d", kBoxScale}, {"tx", 50.0}, {"ty", 50.0}};
  const Fields threeByThree{{"a", kBoxScale}, {"b", 0.0}, {"c", 0.0}, {"d", 0.0}, {"e", kBoxScale},
                            {"f", 0.0},       {"g", 50.0}, {"h", 50.0}, {"i", 1.0}};
  // Half as wide, so the spread shows past x = 75.
  const Fields halfBox{{"matrixType", std::string("box")}, {"x", 25.0}, {"y", 0.0}, {"w", 50.0}, {"h", 100.0},
                       {"r", 0.0}};
  const Fields turnedBox{{"matrixType", std::string("box")}, {"x", 0.0}, {"y", 0.0}, {"w", 100.0}, {"h", 100.0},
                         {"r", 1.5707963267948966}};
  return {
      {"box_matrix", GradientSquare("linear", kBox), {{2, 50, kRed}, {97, 50, kBlue}, {50, 5, {128, 0, 127}}}},
      {"geom_matrix", GradientSquare("linear", geomMatrix), {{2, 50, kRed}, {97, 50, kBlue}}},
      {"three_by_three_matrix", GradientSquare("linear", threeByThree), {{2, 50, kRed}, {97, 50, kBlue}}},
      {"turned_box_runs_downwards", GradientSquare("linear", turnedBox), {{50, 2, kRed}, {50, 97, kBlue}, {2, 50, {128, 0, 127}}}},
      {"radial_from_the_centre", GradientSquare("radial", kBox), {{50, 50, kRed}, {1, 1, kBlue}, {98, 98, kBlue}}},
      {"pad_spread", GradientSquare("linear", halfBox, {std::string("pad")}), {{10, 50, kRed}, {90, 50, kBlue}}},
      // Reflected, the colours run back: x = 87.5 is a quarter way back to red.
      {"reflect_spread",
       GradientSquare("linear", halfBox, {std::string("reflect")}),
       {{87, 50, {64, 0, 191}}, {12, 50, {191, 0, 64}}}},
      // Repeated, they start again: x = 87.5 is a quarter way to blue.
      {"repeat_spread", GradientSquare("linear", halfBox, {std::string("repeat")}), {{87, 50, {191, 0, 64}}}},
      // Linear light mixes red and blue to brighter channels halfway.
      {"linear_rgb_mixing",
       GradientSquare("linear", kBox, {std::string("pad"), std::string("linearRGB")}),
       {{50, 50, {188, 0, 188}}}},
      // The focal point at 0.8 of the radius to the right: red there.
      {"focal_point",
       GradientSquare("radial", kBox, {std::string("pad"), std::string("RGB"), 0.8}),
       {{89, 50, kRed}, {2, 50, kBlue}}},
      {"bad_type_fills_nothing", GradientSquare("conic", kBox), {{50, 50, kPaper}}},
      {"line_style_caps_and_joins",
       [](Actions& a) {
         Call(a, "lineStyle", {10.0, 0.0, 100.0, 0.0, std::string("normal"), std::string("square"),
                               std::string("miter"), 3.0});
         Call(a, "moveTo", {20.0, 80.0});
         Call(a, "lineTo", {20.0, 20.0});
         Call(a, "lineTo", {80.0, 20.0});
       },
       // The miter's tip at (15, 15), the square cap past (80, 20), past (20, 80).
       {{15, 15, kInk}, {83, 16, kInk}, {16, 83, kInk}, {87, 20, kPaper}}},
      {"line_style_round_and_none",
       [](Actions& a) {
         Call(a, "lineStyle", {10.0, 0.0, 100.0, 0.0, std::string("normal"), std::string("none"),
                               std::string("round")});
         Call(a, "moveTo", {20.0, 80.0});
         Call(a, "lineTo", {20.0, 20.0});
         Call(a, "lineTo", {80.0, 20.0});
       },
       {{17, 16, kInk}, {15, 15, kPaper}, {81, 20, kPaper}, {20, 81, kPaper}}},
      {"line_gradient_style",
       [](Actions& a) {
         Call(a, "lineStyle", {10.0, 0.0});
         Call(a, "lineGradientStyle", {std::string("linear"), Numbers{0xFF0000, 0x0000FF}, Numbers{100, 100},
                                       Numbers{0, 255}, kBox});
         Call(a, "moveTo", {10.0, 50.0});
         Call(a, "lineTo", {90.0, 50.0});
       },
       {{11, 50, {226, 0, 29}}, {88, 50, {29, 0, 226}}, {50, 60, kPaper}}},
  };
}

class ScriptDrawing : public ::testing::TestWithParam<ScriptDrawCase> {};

TEST_P(ScriptDrawing, DrawsTheStyleItWasGiven) {
  const ScriptDrawCase& c = GetParam();
  MovieBuilder movie(100, 100, 24, 8);
  movie.SetBackground(kPaper);
  Actions actions;
  c.script(actions);
  movie.DoAction(actions).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::NoScale);
  for (const Probe& p : c.probes) {
    const std::uint32_t pixel = canvas.At(p.x, p.y);
    const bool near = std::abs(RedOf(pixel) - p.expected.r) <= 8 && std::abs(GreenOf(pixel) - p.expected.g) <= 8 &&
                      std::abs(BlueOf(pixel) - p.expected.b) <= 8;
    EXPECT_TRUE(near) << "at " << p.x << ", " << p.y << ": " << RedOf(pixel) << " " << GreenOf(pixel) << " "
                      << BlueOf(pixel) << ", expected " << int{p.expected.r} << " " << int{p.expected.g} << " "
                      << int{p.expected.b};
  }
}

INSTANTIATE_TEST_SUITE_P(Styles, ScriptDrawing, ::testing::ValuesIn(Cases()), CaseName{});


// hitTest with the shape flag asks what the clip covers, not its bounds: the
// hole of a drawn ring is missed, the point is taken in the root's space, and
// a clip scaled to nothing covers nothing.
struct HitCase {
  std::string name;
  std::vector<std::pair<std::string, double>> rootProperties;
  double x, y;
  bool shapeFlag;
  std::string expected;
};

std::vector<HitCase> HitCases() {
  return {
      {"ring_itself", {}, 10, 10, true, "true"},
      {"ring_hole_is_missed", {}, 50, 50, true, "false"},
      {"ring_hole_is_inside_the_bounds", {}, 50, 50, false, "true"},
      {"outside_the_ring", {}, 150, 150, true, "false"},
      {"moved_root_keeps_root_space_points", {{"_x", 500}}, 10, 10, true, "true"},
      {"moved_root_keeps_root_space_bounds", {{"_x", 500}}, 510, 10, false, "false"},
      {"root_scaled_to_nothing", {{"_xscale", 0}}, 10, 10, true, "false"},
  };
}

class ScriptHitTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(ScriptHitTest, AnswersForTheShapeOrTheBounds) {
  const HitCase& c = GetParam();
  Actions a;
  Call(a, "beginFill", {255.0});
  for (const auto& [from, to] : {std::pair{0.0, 100.0}, std::pair{30.0, 70.0}}) {
    Call(a, "moveTo", {from, from});
    Call(a, "lineTo", {to, from});
    Call(a, "lineTo", {to, to});
    Call(a, "lineTo", {from, to});
    Call(a, "lineTo", {from, from});
  }
  Call(a, "endFill", {});
  for (const auto& [name, value] : c.rootProperties) {
    a.PushString("_root").GetVariable().PushString(name).PushDouble(value).Raw(0x4F);
  }
  a.PushBool(c.shapeFlag).PushDouble(c.y).PushDouble(c.x).PushInt(3).PushString("_root").GetVariable();
  a.PushString("hitTest").Raw(kCallMethod).Trace();
  MovieBuilder movie(800, 600, 24, 8);
  movie.DoAction(a).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(lines, std::vector<std::string>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(Points, ScriptHitTest, ::testing::ValuesIn(HitCases()), CaseName{});

// A timeline mask limits what the shapes it masks cover: a point inside the
// masked shape but outside its mask is missed; the depths above the mask's
// reach are not masked.
struct MaskedHitCase {
  std::string name;
  std::uint16_t clipDepth;
  double x, y;
  std::string expected;
};

class MaskedHitTest : public ::testing::TestWithParam<MaskedHitCase> {};

TEST_P(MaskedHitTest, AShapeIsHitOnlyWhereItsMaskIs) {
  const MaskedHitCase& c = GetParam();
  MovieBuilder movie(800, 600, 24, 8);
  ShapeBuilder small;
  small.Rectangle(0, 0, 100, 100, small.AddSolidFill({0, 0, 255}));
  ShapeBuilder large;
  large.Rectangle(0, 0, 300, 300, large.AddSolidFill({255, 0, 0}));
  const std::uint16_t mask = movie.DefineShape(small);
  const std::uint16_t masked = movie.DefineShape(large);
  Actions a;
  a.PushBool(true).PushDouble(c.y).PushDouble(c.x).PushInt(3).PushString("_root").GetVariable();
  a.PushString("hitTest").Raw(kCallMethod).Trace();
  movie.PlaceMask(mask, 1, c.clipDepth).Place(masked, 2).DoAction(a).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(lines, std::vector<std::string>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(Points, MaskedHitTest,
                         ::testing::Values(MaskedHitCase{"inside_the_mask", 2, 50, 50, "true"},
                                           MaskedHitCase{"outside_the_mask", 2, 200, 200, "false"},
                                           MaskedHitCase{"above_the_masks_reach", 1, 200, 200, "true"}),
                         CaseName{});

}  // namespace
}  // namespace swf::testing
