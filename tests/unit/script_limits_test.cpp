// How long and how deep scripts may run, and what calls leave behind: a
// script is stopped by its running time (the movie's ScriptLimits, else the
// platform's 15 seconds, shortened by the host), not by a count of actions;
// calls keep the activations closures captured and collect garbage made in
// long calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "script/vm.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

constexpr std::uint8_t kCallFunction = 0x3D;
constexpr std::uint8_t kReturn = 0x3E;
constexpr std::uint8_t kIncrement = 0x50;
constexpr std::uint8_t kLess2 = 0x48;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kDefineLocal = 0x3C;

constexpr std::uint16_t kScriptLimitsTag = 65;

Bytes ScriptLimitsBody(std::uint16_t depth, std::uint16_t seconds) {
  return {static_cast<std::uint8_t>(depth & 0xFFu), static_cast<std::uint8_t>(depth >> 8u),
          static_cast<std::uint8_t>(seconds & 0xFFu), static_cast<std::uint8_t>(seconds >> 8u)};
}

// name = name + 1
void IncrementVariable(Actions& a, std::string_view name) {
  a.PushString(name).PushString(name).GetVariable().Raw(kIncrement).SetVariable();
}

struct RunResult {
  std::vector<std::string> lines;
  std::size_t peakObjects = 0;  // live script objects, read at every trace
};

// Runs frame 1 (on load) and frame 2 (one tick) of a movie whose frames are
// `frames`, with `limits` as its ScriptLimits tag, a host limit of
// `hostSeconds` and a script clock that moves `secondsPerReading` at each reading.
RunResult RunFrames(const std::vector<Actions>& frames, std::optional<Bytes> limits = std::nullopt,
                    double hostSeconds = 100, double secondsPerReading = 1) {
  MovieBuilder movie(10, 10, 24, 7);
  if (limits) movie.Tag(kScriptLimitsTag, *limits);
  for (const Actions& actions : frames) movie.DoAction(actions).ShowFrame();
  RunResult result;
  MoviePlayer player;
  double seconds = 0;
  player.SetScriptTimeLimit(hostSeconds, [&seconds, secondsPerReading] { return seconds += secondsPerReading; });
  player.SetTraceSink([&](std::string_view line) {
    result.lines.emplace_back(line);
    result.peakObjects = std::max(result.peakObjects, player.LiveScriptObjects());
  });
  LoadOrFail(player, movie.Build());
  player.Advance();
  return result;
}

// An endless loop counting its rounds in `i`: six actions a round (two
// pushes, get, increment, set, jump).
Actions EndlessCountingLoop() {
  Actions a;
  a.PushString("i").PushInt(0).SetVariable();
  const int top = a.NewLabel();
  a.Bind(top);
  IncrementVariable(a, "i");
  a.Jump(top);
  return a;
}
constexpr double kActionsPerRound = 6;

Actions TraceVariable(std::string_view name) {
  Actions a;
  a.PushString(name).GetVariable().Trace();
  return a;
}

struct TimeLimitCase {
  std::string name;
  std::optional<std::uint16_t> movieSeconds;
  double hostSeconds;
  double expectedSeconds;
};

class ScriptTimeLimit : public ::testing::TestWithParam<TimeLimitCase> {};

// The clock is read every kActionsPerClockCheck actions, so the rounds the
// loop made tell how many seconds it ran.
TEST_P(ScriptTimeLimit, StopsAnEndlessLoopAfterItsSeconds) {
  const TimeLimitCase& c = GetParam();
  std::optional<Bytes> limits;
  if (c.movieSeconds) limits = ScriptLimitsBody(256, *c.movieSeconds);
  const RunResult result = RunFrames({EndlessCountingLoop(), TraceVariable("i")}, limits, c.hostSeconds);
  ASSERT_EQ(result.lines.size(), 1u);
  const double rounds = std::stod(result.lines[0]);
  EXPECT_EQ(std::round(rounds * kActionsPerRound / kActionsPerClockCheck), c.expectedSeconds);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptTimeLimit,
                         ::testing::Values(TimeLimitCase{"platform_default", std::nullopt, 100, 15},
                                           TimeLimitCase{"movie_limit", 4, 100, 4},
                                           TimeLimitCase{"host_shortens_the_movies", 30, 2, 2},
                                           TimeLimitCase{"host_shortens_the_default", std::nullopt, 3, 3}),
                         CaseName{});

TEST(ScriptTimeLimitCounts, AFrameRunsMoreActionsThanTheOldCountAllowedWhileTimeIsLeft) {
  constexpr int kRounds = 60000;  // 360,000 actions
  Actions a;
  a.PushString("i").PushInt(0).SetVariable();
  const int top = a.NewLabel();
  const int done = a.NewLabel();
  a.Bind(top).PushString("i").GetVariable().PushInt(kRounds).Raw(kLess2).Not().If(done);
  IncrementVariable(a, "i");
  a.Jump(top).Bind(done);
  a.PushString("i").GetVariable().Trace();
  MovieBuilder movie(10, 10, 24, 7);
  movie.DoAction(a).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetScriptTimeLimit(100, [] { return 0.0; });  // time stands still
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(lines, std::vector<std::string>{std::to_string(kRounds)});
}

struct DepthCase {
  std::string name;
  std::optional<std::uint16_t> movieDepth;
  std::string expectedCalls;
};

class RecursionLimit : public ::testing::TestWithParam<DepthCase> {};

// f() counts itself in `n` and calls itself until the depth limit stops the script.
TEST_P(RecursionLimit, StopsTheScriptAtTheMoviesDepth) {
  const DepthCase& c = GetParam();
  Actions body;
  IncrementVariable(body, "_root.n");
  body.PushInt(0).PushString("f").Raw(kCallFunction).Raw(kReturn);
  Actions a;
  a.PushString("n").PushInt(0).SetVariable();
  a.DefineFunction("f", {}, body);
  a.PushInt(0).PushString("f").Raw(kCallFunction);
  std::optional<Bytes> limits;
  if (c.movieDepth) limits = ScriptLimitsBody(*c.movieDepth, 15);
  EXPECT_EQ(RunFrames({a, TraceVariable("n")}, limits).lines, std::vector<std::string>{c.expectedCalls});
}

INSTANTIATE_TEST_SUITE_P(Cases, RecursionLimit,
                         ::testing::Values(DepthCase{"platform_default", std::nullopt, "256"},
                                           DepthCase{"movie_asks_for_less", 10, "10"},
                                           DepthCase{"no_deeper_than_the_default", 1000, "256"}),
                         CaseName{});

// Calls ----------------------------------------------------------------

// function make() { var n = 0; return function () { return ++n; }; }
void DefineCounterMaker(Actions& a) {
  Actions inner;
  IncrementVariable(inner, "n");
  inner.PushString("n").GetVariable().Raw(kReturn);
  Actions maker;
  maker.PushString("n").PushInt(0).Raw(kDefineLocal);
  maker.DefineFunction("", {}, inner).Raw(kReturn);
  a.DefineFunction("make", {}, maker);
}

// function other(n) { var m = n; return m; }: a call whose activation is not captured.
void DefinePlainFunction(Actions& a) {
  Actions body;
  body.PushString("m").PushString("n").GetVariable().Raw(kDefineLocal);
  body.PushString("m").GetVariable().Raw(kReturn);
  a.DefineFunction("other", {"n"}, body);
}

void CallInto(Actions& a, std::string_view result, std::string_view function, int argument) {
  a.PushString(result).PushInt(argument).PushInt(1).PushString(function).Raw(kCallFunction).SetVariable();
}

struct CallCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

class CallFrames : public ::testing::TestWithParam<CallCase> {};

TEST_P(CallFrames, KeepWhatScriptsCanStillReach) {
  Actions a;
  GetParam().script(a);
  EXPECT_EQ(RunFrames({a}).lines, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CallFrames,
    ::testing::Values(
        CallCase{"closure_keeps_its_locals_across_other_calls",
                 [](Actions& a) {
                   DefineCounterMaker(a);
                   DefinePlainFunction(a);
                   CallInto(a, "c", "make", 0);
                   for (int i = 0; i < 3; ++i) {
                     CallInto(a, "x", "other", 40 + i);
                     a.PushInt(0).PushString("c").Raw(kCallFunction).Trace();
                   }
                   a.PushString("x").GetVariable().Trace();
                 },
                 {"1", "2", "3", "42"}},
        CallCase{"two_closures_count_apart",
                 [](Actions& a) {
                   DefineCounterMaker(a);
                   CallInto(a, "c", "make", 0);
                   CallInto(a, "d", "make", 0);
                   a.PushInt(0).PushString("c").Raw(kCallFunction).Trace();
                   a.PushInt(0).PushString("c").Raw(kCallFunction).Trace();
                   a.PushInt(0).PushString("d").Raw(kCallFunction).Trace();
                 },
                 {"1", "2", "1"}},
        CallCase{"locals_of_a_finished_call_are_gone",
                 [](Actions& a) {
                   DefinePlainFunction(a);
                   CallInto(a, "x", "other", 7);
                   // A second call must not see the first call's `m`.
                   Actions body;
                   body.PushString("m").GetVariable().Raw(kReturn);
                   a.DefineFunction("peek", {}, body);
                   a.PushString("undefined:").PushInt(0).PushString("peek").Raw(kCallFunction).Add2().Trace();
                 },
                 {"undefined:undefined"}},
        CallCase{"arguments_named_through_the_constant_pool",
                 [](Actions& a) {
                   a.ConstantPool({"arguments", "length"});
                   Actions body;
                   body.PushConstant(0).GetVariable().PushConstant(1).Raw(kGetMember).Raw(kReturn);
                   a.DefineFunction("count", {}, body);
                   a.PushInt(7).PushInt(8).PushInt(9).PushInt(3).PushString("count").Raw(kCallFunction).Trace();
                 },
                 {"3"}},
        CallCase{"arguments_in_a_dotted_name",
                 [](Actions& a) {
                   Actions body;
                   body.PushString("arguments.length").GetVariable().Raw(kReturn);
                   a.DefineFunction("count", {}, body);
                   a.PushInt(7).PushInt(8).PushInt(2).PushString("count").Raw(kCallFunction).Trace();
                 },
                 {"2"}}),
    CaseName{});

// Garbage ----------------------------------------------------------------

// function churn() { for (i = 0; i < rounds; i++) { o = {}; trace(""); } }
// called once: the objects it drops are collected while it runs.
TEST(LongCalls, CollectTheGarbageTheyMakeWhileTheyRun) {
  constexpr int kRounds = 60000;
  Actions body;
  body.PushString("i").PushInt(0).SetVariable();
  const int top = body.NewLabel();
  const int done = body.NewLabel();
  body.Bind(top).PushString("i").GetVariable().PushInt(kRounds).Raw(kLess2).Not().If(done);
  body.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
  body.PushString("").Trace();
  IncrementVariable(body, "i");
  body.Jump(top).Bind(done);
  Actions a;
  a.DefineFunction("churn", {}, body);
  a.PushInt(0).PushString("churn").Raw(kCallFunction).Pop();
  const RunResult result = RunFrames({a}, std::nullopt, 100, 0);
  ASSERT_EQ(result.lines.size(), static_cast<std::size_t>(kRounds));
  EXPECT_LT(result.peakObjects, static_cast<std::size_t>(kRounds / 2));
}

}  // namespace
}  // namespace swf::testing
