// Classes and clips as movies build them: what `super` reaches from
// constructors and methods, gotos given objects, and placements on a depth
// that is taken.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallFunction = 0x3D;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kNewObject = 0x40;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kReturn = 0x3E;
constexpr std::uint8_t kStrictEquals = 0x66;
constexpr std::uint8_t kExtends = 0x69;

std::vector<std::string> TracesOfMovie(MovieBuilder& movie, int ticks = 0) {
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  for (int i = 0; i < ticks; ++i) player.Advance();
  return lines;
}

// function name() { [super();] trace(name); }
void DefineTracingClass(Actions& a, std::string_view name, bool callsSuper) {
  Actions body;
  if (callsSuper) body.PushInt(0).PushString("super").Raw(kCallFunction).Pop();
  body.PushString(name).Trace();
  a.DefineFunction(name, {}, body);
}

// sub extends base
void Extend(Actions& a, std::string_view sub, std::string_view base) {
  a.PushString(sub).GetVariable().PushString(base).GetVariable().Raw(kExtends);
}

void PushPath(Actions& a, std::string_view variable, std::string_view member) {
  a.PushString(variable).GetVariable().PushString(member).Raw(kGetMember);
}

// function () { trace(text); return result; }
Actions TracingFunction(std::string_view text, std::string_view result) {
  Actions body;
  body.PushString(text).Trace().PushString(result).Raw(kReturn);
  return body;
}

struct SuperCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

std::vector<SuperCase> SuperCases() {
  return {
      {"constructor_chain_runs_every_level_once",
       [](Actions& a) {
         DefineTracingClass(a, "A", false);
         DefineTracingClass(a, "B", true);
         DefineTracingClass(a, "C", true);
         Extend(a, "B", "A");
         Extend(a, "C", "B");
         a.PushInt(0).PushString("C").Raw(kNewObject).Pop();
       },
       {"A", "B", "C"}},
      {"super_in_a_constructor_reads_above_its_own_class",
       [](Actions& a) {
         // function B() { trace(super.__proto__ === A.prototype.__proto__); }
         Actions body;
         PushPath(body, "super", "__proto__");
         PushPath(body, "A", "prototype");
         body.PushString("__proto__").Raw(kGetMember).Raw(kStrictEquals).Trace();
         body.PushString("super").GetVariable().PushString("marker").Raw(kGetMember).Trace();
         a.DefineFunction("A", {}, Actions{});
         a.DefineFunction("B", {}, body);
         Extend(a, "B", "A");
         PushPath(a, "A", "prototype");
         a.PushString("marker").PushString("from A").Raw(kSetMember);
         a.PushInt(0).PushString("B").Raw(kNewObject).Pop();
       },
       {"true", "from A"}},
      {"method_on_a_prototype_calls_the_constructor_its_home_names",
       [](Actions& a) {
         // p = {__constructor__: near}; p.__proto__ = {__constructor__: far};
         // p.m = function () { super(); }; o = {}; o.__proto__ = p; o.m();
         a.PushString("p").PushString("__constructor__");
         a.DefineFunction("", {}, TracingFunction("near", ""));
         a.PushInt(1).Raw(kInitObject).SetVariable();
         a.PushString("p").GetVariable().PushString("__proto__").PushString("__constructor__");
         a.DefineFunction("", {}, TracingFunction("far", ""));
         a.PushInt(1).Raw(kInitObject).Raw(kSetMember);
         Actions method;
         method.PushInt(0).PushString("super").Raw(kCallFunction).Pop();
         a.PushString("p").GetVariable().PushString("m");
         a.DefineFunction("", {}, method);
         a.Raw(kSetMember);
         a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
         a.PushString("o").GetVariable().PushString("__proto__").PushString("p").GetVariable().Raw(kSetMember);
         a.PushInt(0).PushString("o").GetVariable().PushString("m").Raw(kCallMethod).Pop();
       },
       {"near"}},
      {"own_method_skips_the_objects_own_constructor",
       [](Actions& a) {
         // o = {__constructor__: own, m: function () { super(); }}: super()
         // looks from o's prototype, which has none.
         Actions method;
         method.PushInt(0).PushString("super").Raw(kCallFunction).Trace();
         a.PushString("o").PushString("__constructor__");
         a.DefineFunction("", {}, TracingFunction("own", "made"));
         a.PushString("m");
         a.DefineFunction("", {}, method);
         a.PushInt(2).Raw(kInitObject).SetVariable();
         a.PushInt(0).PushString("o").GetVariable().PushString("m").Raw(kCallMethod).Pop();
       },
       {"undefined"}},
      {"a_display_object_in_the_chain_gives_nothing",
       [](Actions& a) {
         // _root.f exists, yet super.f() from an own method of an object
         // whose prototype is _root finds nothing.
         a.PushString("_root").GetVariable().PushString("f");
         a.DefineFunction("", {}, TracingFunction("root f", "r"));
         a.Raw(kSetMember);
         Actions method;
         method.PushInt(0).PushString("super").GetVariable().PushString("f").Raw(kCallMethod).Trace();
         a.PushString("o").PushString("m");
         a.DefineFunction("", {}, method);
         a.PushInt(1).Raw(kInitObject).SetVariable();
         a.PushString("o").GetVariable().PushString("__proto__").PushString("_root").GetVariable().Raw(kSetMember);
         a.PushInt(0).PushString("o").GetVariable().PushString("m").Raw(kCallMethod).Pop();
       },
       {"undefined"}},
  };
}

class SuperRules : public ::testing::TestWithParam<SuperCase> {};

TEST_P(SuperRules, TracesWhatThePlayerPrints) {
  const SuperCase& c = GetParam();
  Actions actions;
  c.script(actions);
  MovieBuilder movie(10, 10, 24, 7);
  movie.DoAction(actions).ShowFrame();
  EXPECT_EQ(TracesOfMovie(movie), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SuperRules, ::testing::ValuesIn(SuperCases()),
                         [](const auto& tested) { return tested.param.name; });

struct GotoCase {
  std::string name;
  std::string method;
  std::string conversion;  // "toString" or "valueOf"
  std::string result;
  std::string expectedFrame;
};

class GotoWithObject : public ::testing::TestWithParam<GotoCase> {};

// A clip of three frames, the second labelled "two", goes where an object's
// text or number names.
TEST_P(GotoWithObject, GoesWhereItsPrimitiveNames) {
  const GotoCase& c = GetParam();
  Actions go;
  go.PushString("frame").PushString(c.conversion);
  Actions convert;
  convert.PushString(c.result).Raw(kReturn);
  go.DefineFunction("", {}, convert);
  go.PushInt(1).Raw(kInitObject).SetVariable();
  go.PushString("frame").GetVariable().PushInt(1).PushString("this").GetVariable().PushString(c.method);
  go.Raw(kCallMethod).Pop();
  go.PushString("_currentframe").GetVariable().Trace();
  MovieBuilder movie(10, 10, 24, 7);
  movie.DoAction(go).ShowFrame().FrameLabel("two").ShowFrame().ShowFrame();
  EXPECT_EQ(TracesOfMovie(movie), std::vector<std::string>{c.expectedFrame});
}

INSTANTIATE_TEST_SUITE_P(Cases, GotoWithObject,
                         ::testing::Values(GotoCase{"label_text", "gotoAndStop", "toString", "two", "2"},
                                           GotoCase{"number_text", "gotoAndStop", "toString", "3", "3"},
                                           GotoCase{"value_of_number", "gotoAndPlay", "valueOf", "3", "3"}),
                         [](const auto& tested) { return tested.param.name; });

struct DepthCase {
  std::string name;
  bool replace;  // the second placement moves onto the depth with a new character
  std::vector<std::string> expected;
};

class PlaceOnTakenDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(PlaceOnTakenDepth, KeepsWhatIsThereUnlessMoved) {
  const DepthCase& c = GetParam();
  MovieBuilder movie(10, 10, 24, 7);
  SpriteBuilder first, second;
  first.DoAction(Actions().PushString("first").Trace()).ShowFrame();
  second.DoAction(Actions().PushString("second").Trace()).ShowFrame();
  const std::uint16_t firstId = movie.DefineSprite(first);
  const std::uint16_t secondId = movie.DefineSprite(second);
  movie.Place(firstId, 1);
  if (c.replace) {
    movie.Replace(1, secondId);
  } else {
    movie.Place(secondId, 1);
  }
  movie.ShowFrame();
  EXPECT_EQ(TracesOfMovie(movie), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceOnTakenDepth,
    ::testing::Values(DepthCase{"new_object_fails", false, {"Warning: Failed to place object at depth 1.", "first"}},
                      DepthCase{"move_with_character_replaces", true, {"second"}}),
    [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace swf::testing
