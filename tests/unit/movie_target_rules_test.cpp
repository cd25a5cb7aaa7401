// Targets and paths by the movie's version: version 4 slash paths and
// variables, what tellTarget does with a path that leads nowhere, which object
// tellTarget takes, and which frames ifFrameLoaded reports loaded.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kLess = 0x0F;
constexpr std::uint8_t kGetProperty = 0x22;
constexpr std::uint8_t kSetTarget = 0x8B;
constexpr std::uint8_t kSetTarget2 = 0x20;
constexpr std::uint8_t kWaitForFrame = 0x8A;
constexpr std::uint8_t kWaitForFrame2 = 0x8D;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kReturn = 0x3E;

struct TargetCase {
  std::string name;
  int version;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

Bytes Text(std::string_view text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// The root holds a clip "a" at x 2 whose variable v is "deep" and which holds
// a clip "b" at x 1.
std::vector<std::string> TracesOf(const TargetCase& c) {
  MovieBuilder movie(10, 10, 24, c.version);
  SpriteBuilder inner;
  inner.ShowFrame();
  const std::uint16_t innerId = movie.DefineSprite(inner);
  SpriteBuilder outer;
  outer.Place(innerId, 1, Transform::Translate(1, 0), std::nullopt, "b");
  outer.DoAction(Actions().SetVariable("v", "deep")).ShowFrame();
  const std::uint16_t outerId = movie.DefineSprite(outer);
  movie.Place(outerId, 1, Transform::Translate(2, 0), std::nullopt, "a").ShowFrame();
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

void TraceVariable(Actions& a, std::string_view name) { a.PushString(name).GetVariable().Trace(); }

// Traces "x:" and the _x the path leads to ("" is the current target).
void TraceX(Actions& a, std::string_view path) {
  a.PushString("x:").PushString(path).PushInt(0).Raw(kGetProperty).StringAdd().Trace();
}

void SetTarget(Actions& a, std::string_view path) { a.Raw(kSetTarget, Text(path)); }

// ifFrameLoaded(frame) { trace("loaded") }
void TraceIfLoaded(Actions& a, const std::function<void(Actions&)>& pushFrame) {
  pushFrame(a);
  a.Raw(kWaitForFrame2, {2}).PushString("loaded").Trace();
}

std::vector<TargetCase> Version4Cases() {
  return {
      {"clip_reads_as_undefined", 4, [](Actions& a) { TraceVariable(a, "a"); }, {"undefined"}},
      {"root_reads_as_undefined", 4, [](Actions& a) { TraceVariable(a, "_root"); }, {"undefined"}},
      {"colon_path_reads_a_clip_variable", 4, [](Actions& a) { TraceVariable(a, "/a:v"); }, {"deep"}},
      {"relative_colon_path", 4, [](Actions& a) { TraceVariable(a, "a/:v"); }, {"deep"}},
      {"empty_path_before_the_colon", 4,
       [](Actions& a) {
         a.SetVariable("r", "5");
         TraceVariable(a, ":r");
         TraceVariable(a, "/:r");
       },
       {"undefined", "5"}},
      {"dots_are_part_of_the_name", 4,
       [](Actions& a) {
         TraceVariable(a, "a.v");
         a.SetVariable("x.y", "dotted");
         TraceVariable(a, "x.y");
       },
       {"undefined", "dotted"}},
      {"nan_and_infinity_are_unset_variables", 4,
       [](Actions& a) {
         a.PushString("n:").PushString("NaN").GetVariable().StringAdd().Trace();
         a.PushInt(1).PushString("Infinity").GetVariable().Raw(kLess).Trace();
       },
       {"n:", "0"}},
      {"slash_paths_reach_clips", 4,
       [](Actions& a) {
         TraceX(a, "/a");
         TraceX(a, "a/");
         TraceX(a, "a/b");
         TraceX(a, "a/b/..");
       },
       {"x:2", "x:2", "x:1", "x:2"}},
      {"broken_slash_paths_reach_nothing", 4,
       [](Actions& a) {
         TraceX(a, "//a");
         TraceX(a, "../a");
         TraceX(a, "a/..:");
         TraceX(a, "a.b");
         TraceX(a, "a:b");
       },
       {"x:", "x:", "x:", "x:", "x:"}},
      {"levels_start_a_path", 4,
       [](Actions& a) {
         TraceX(a, "_level0/a");
         TraceX(a, "_flash0/a");
         TraceX(a, "_level0:ignored");
         TraceX(a, "/_level0");
         TraceX(a, "_level1");
       },
       {"x:2", "x:2", "x:0", "x:", "x:"}},
      {"root_and_this_are_no_path_steps", 4,
       [](Actions& a) {
         TraceX(a, "_root");
         TraceX(a, "this");
       },
       {"x:", "x:"}},
      {"lost_tell_target_reads_nothing", 4,
       [](Actions& a) {
         SetTarget(a, "nowhere");
         TraceX(a, "");
         SetTarget(a, "");
         TraceX(a, "");
       },
       {"x:", "x:0"}},
  };
}

std::vector<TargetCase> TellTargetCases() {
  const auto lost = [](Actions& a) {
    SetTarget(a, "/a");
    SetTarget(a, "nowhere");
    TraceX(a, "");
  };
  return {
      {"lost_path_keeps_the_target_in_version_6", 6, lost, {"x:2"}},
      {"lost_path_goes_to_the_root_from_version_7", 7, lost, {"x:0"}},
      {"text_names_the_target", 6,
       [](Actions& a) {
         a.PushString("a/b").Raw(kSetTarget2);
         TraceX(a, "");
       },
       {"x:1"}},
      {"object_names_the_target_by_its_text", 6,
       [](Actions& a) {
         Actions body;
         body.PushString("a").Raw(kReturn);
         a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
         a.PushString("o").GetVariable().PushString("toString").DefineFunction("", {}, body).Raw(kSetMember);
         a.PushString("o").GetVariable().Raw(kSetTarget2);
         TraceX(a, "");
       },
       {"x:2"}},
      {"clip_is_found_again_by_its_path", 7,
       [](Actions& a) {
         a.PushString("a").GetVariable().Raw(kSetTarget2);
         TraceX(a, "");
         TraceVariable(a, "v");
       },
       {"x:2", "deep"}},
  };
}

std::vector<TargetCase> FrameLoadedCases() {
  const auto number = [](double frame) { return [frame](Actions& a) { a.PushDouble(frame); }; };
  return {
      {"frames_up_to_the_limit_are_loaded", 7, [&](Actions& a) { TraceIfLoaded(a, number(16001)); }, {"loaded"}},
      {"frames_past_the_limit_are_not", 7, [&](Actions& a) { TraceIfLoaded(a, number(16002)); }, {}},
      {"first_frame_and_below", 7,
       [&](Actions& a) {
         TraceIfLoaded(a, number(0));
         TraceIfLoaded(a, number(-43));
       },
       {"loaded", "loaded"}},
      {"a_fraction_names_a_label", 7, [&](Actions& a) { TraceIfLoaded(a, number(16002.5)); }, {"loaded"}},
      {"the_frame_wraps_as_a_32_bit_integer", 7,
       [&](Actions& a) {
         TraceIfLoaded(a, number(2147483648.0));
         TraceIfLoaded(a, number(2147483649.0));
       },
       {"loaded"}},
      {"a_label_is_loaded", 7, [](Actions& a) { TraceIfLoaded(a, [](Actions& b) { b.PushString("abc"); }); },
       {"loaded"}},
      {"skips_only_its_own_actions", 7,
       [&](Actions& a) {
         TraceIfLoaded(a, number(20000));
         a.PushString("after").Trace();
       },
       {"after"}},
      {"version_3_wait_for_frame", 4,
       [](Actions& a) {
         a.Raw(kWaitForFrame, {0x03, 0x00, 2}).PushString("third").Trace();
         a.Raw(kWaitForFrame, {0x81, 0x3E, 2}).PushString("far").Trace();  // 0-based frame 16001
       },
       {"third"}},
  };
}

class TargetRules : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TargetRules, TracesWhatThePlayerPrints) { EXPECT_EQ(TracesOf(GetParam()), GetParam().expected); }

const auto kCaseName = [](const auto& tested) { return tested.param.name; };

INSTANTIATE_TEST_SUITE_P(Version4, TargetRules, ::testing::ValuesIn(Version4Cases()), kCaseName);
INSTANTIATE_TEST_SUITE_P(TellTarget, TargetRules, ::testing::ValuesIn(TellTargetCases()), kCaseName);
INSTANTIATE_TEST_SUITE_P(FrameLoaded, TargetRules, ::testing::ValuesIn(FrameLoadedCases()), kCaseName);

}  // namespace
}  // namespace swf::testing
