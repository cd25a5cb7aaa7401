// Variables reached through slash paths, registers shared between frame
// scripts and functions, and how each version reads numbers from texts.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kCallFunction = 0x3D;
constexpr std::uint8_t kPop = 0x17;
constexpr std::uint8_t kToNumber = 0x4A;

struct PathCase {
  std::string name;
  int version;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

// The root holds a clip "a" with a clip "b" inside, whose variable v is "deep".
std::vector<std::string> TracesWithNestedClips(const PathCase& c) {
  MovieBuilder movie(10, 10, 24, c.version);
  SpriteBuilder inner;
  inner.DoAction(Actions().SetVariable("v", "deep")).ShowFrame();
  const std::uint16_t innerId = movie.DefineSprite(inner);
  SpriteBuilder outer;
  outer.Place(innerId, 1, {}, std::nullopt, "b").ShowFrame();
  const std::uint16_t outerId = movie.DefineSprite(outer);
  movie.Place(outerId, 1, {}, std::nullopt, "a").ShowFrame();
  Actions script;
  c.script(script);
  movie.DoAction(script).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  player.Advance();
  return lines;
}

void TraceVariable(Actions& a, std::string_view path) { a.PushString(path).GetVariable().Trace(); }

// Traces register `index` under a label, as "label index: value".
void TraceRegister(Actions& a, std::string_view label, std::uint8_t index) {
  a.PushString(std::string(label) + " " + std::to_string(index) + ": ").PushRegister(index).Add2().Trace();
}

std::vector<PathCase> PathCases() {
  return {
      {"slash_path_reads_a_nested_variable", 6, [](Actions& a) { TraceVariable(a, "/a/b:v"); }, {"deep"}},
      {"slash_path_with_a_trailing_slash", 6, [](Actions& a) { TraceVariable(a, "/a/b/:v"); }, {"deep"}},
      {"slash_path_climbs_with_dots", 7, [](Actions& a) { TraceVariable(a, "/a/../a/b:v"); }, {"deep"}},
      {"empty_step_leads_nowhere", 7, [](Actions& a) { TraceVariable(a, "/a/b//:v"); }, {"undefined"}},
      {"empty_step_in_the_middle", 7, [](Actions& a) { TraceVariable(a, "/a//b:v"); }, {"undefined"}},
      {"set_through_an_empty_step_is_dropped", 7,
       [](Actions& a) {
         a.SetVariable("/a//b:w", "lost");
         TraceVariable(a, "/a/b:w");
       },
       {"undefined"}},
      {"function_reaches_the_frame_registers_past_its_count", 7,
       [](Actions& a) {
         Actions body;
         TraceRegister(body, "in", 1);
         TraceRegister(body, "in", 3);
         body.PushInt(9).StoreRegister(3).Raw(kPop);
         a.PushInt(1).StoreRegister(1).Raw(kPop).PushInt(3).StoreRegister(3).Raw(kPop);
         a.DefineFunction2("f", 2, 0, {}, body);
         a.PushInt(0).PushString("f").Raw(kCallFunction).Raw(kPop);
         TraceRegister(a, "out", 1);
         TraceRegister(a, "out", 3);
       },
       {"in 1: undefined", "in 3: 3", "out 1: 1", "out 3: 9"}},
      {"function_registers_within_its_count_stay_its_own", 7,
       [](Actions& a) {
         Actions body;
         body.PushInt(5).StoreRegister(2).Raw(kPop);
         TraceRegister(body, "in", 2);
         a.PushInt(2).StoreRegister(2).Raw(kPop);
         a.DefineFunction2("f", 4, 0, {}, body);
         a.PushInt(0).PushString("f").Raw(kCallFunction).Raw(kPop);
         TraceRegister(a, "out", 2);
       },
       {"in 2: 5", "out 2: 2"}},
      {"hex_text_is_no_number_in_version_5", 5, [](Actions& a) { a.PushString("0x10").Raw(kToNumber).Trace(); }, {"NaN"}},
      {"hex_text_is_a_number_from_version_6", 6, [](Actions& a) { a.PushString("0x10").Raw(kToNumber).Trace(); },
       {"16"}},
      {"decimal_text_in_version_5", 5, [](Actions& a) { a.PushString(" 12.5").Raw(kToNumber).Trace(); }, {"12.5"}},
  };
}

class VariablePaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(VariablePaths, TracesWhatThePlayerPrints) {
  EXPECT_EQ(TracesWithNestedClips(GetParam()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, VariablePaths, ::testing::ValuesIn(PathCases()),
                         [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace swf::testing
