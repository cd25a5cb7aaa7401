#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "stage.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

Bytes MovieWithFrames(const std::vector<Actions>& frames, int version = 6) {
  MovieBuilder movie(10, 10, 24, version);
  for (const Actions& actions : frames) movie.DoAction(actions).ShowFrame();
  return movie.Build();
}

struct ValueCase {
  std::string name;
  int version;
  std::function<void(Actions&)> pushValue;
  std::string expected;
};

std::vector<ValueCase> ValueCases() {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  return {
      {"integer_double", 6, [](Actions& a) { a.PushDouble(1); }, "1"},
      {"half", 6, [](Actions& a) { a.PushDouble(0.5); }, "0.5"},
      {"negative", 6, [](Actions& a) { a.PushDouble(-3); }, "-3"},
      {"negative_zero", 6, [](Actions& a) { a.PushDouble(-0.0); }, "0"},
      {"third", 6, [](Actions& a) { a.PushDouble(1.0 / 3); }, "0.333333333333333"},
      {"large", 6, [](Actions& a) { a.PushDouble(1e21); }, "1e+21"},
      {"large_digits", 6, [](Actions& a) { a.PushDouble(123456789012345678901.0); }, "1.23456789012346e+20"},
      {"small", 6, [](Actions& a) { a.PushDouble(1e-7); }, "1e-7"},
      {"not_a_number", 6, [=](Actions& a) { a.PushDouble(kNaN); }, "NaN"},
      {"infinity", 6, [=](Actions& a) { a.PushDouble(-kInfinity); }, "-Infinity"},
      {"float", 6, [](Actions& a) { a.PushFloat(1.5f); }, "1.5"},
      {"int", 6, [](Actions& a) { a.PushInt(-42); }, "-42"},
      {"bool", 6, [](Actions& a) { a.PushBool(true); }, "true"},
      {"null", 6, [](Actions& a) { a.PushNull(); }, "null"},
      {"undefined_before_7", 6, [](Actions& a) { a.PushUndefined(); }, ""},
      {"undefined_from_7", 7, [](Actions& a) { a.PushUndefined(); }, "undefined"},
      {"unset_variable", 7, [](Actions& a) { a.PushString("nothing").GetVariable(); }, "undefined"},
      {"sum_of_tenths", 6, [](Actions& a) { a.PushDouble(0.1).PushDouble(0.2).Add2(); }, "0.3"},
      {"add2_text_and_number", 6, [](Actions& a) { a.PushString("a").PushInt(1).Add2(); }, "a1"},
      {"add2_numbers", 6, [](Actions& a) { a.PushInt(2).PushFloat(3).Add2(); }, "5"},
      {"add2_bool_and_number", 6, [](Actions& a) { a.PushBool(true).PushInt(1).Add2(); }, "2"},
      {"string_add", 6, [](Actions& a) { a.PushString("x").PushInt(2).StringAdd(); }, "x2"},
      {"equals_text_number", 6, [](Actions& a) { a.PushString("1").PushDouble(1).Equals2(); }, "true"},
      {"equals_null_undefined", 6, [](Actions& a) { a.PushNull().PushUndefined().Equals2(); }, "true"},
      {"equals_different_texts", 6, [](Actions& a) { a.PushString("a").PushString("b").Equals2(); }, "false"},
      {"not_zero", 6, [](Actions& a) { a.PushInt(0).Not(); }, "true"},
      {"not_text_before_7", 6, [](Actions& a) { a.PushString("abc").Not(); }, "true"},
      {"not_text_from_7", 7, [](Actions& a) { a.PushString("abc").Not(); }, "false"},
      {"constant_pool", 6,
       [](Actions& a) {
         a.ConstantPool({"zero", "one"}).PushConstant(1);
       },
       "one"},
      {"missing_constant", 7, [](Actions& a) { a.ConstantPool({"zero"}).PushConstant(5); }, "undefined"},
      {"register", 6, [](Actions& a) { a.PushString("kept").StoreRegister(2).Pop().PushRegister(2); }, "kept"},
      {"variable_round_trip", 6, [](Actions& a) { a.SetVariable("w", "v1").PushString("w").GetVariable(); }, "v1"},
      {"latin1_before_6", 5, [](Actions& a) { a.PushString("caf\xE9"); }, "caf\xC3\xA9"},
      {"utf8_from_6", 6, [](Actions& a) { a.PushString("caf\xC3\xA9"); }, "caf\xC3\xA9"},
      {"if_taken", 6,
       [](Actions& a) {
         const int yes = a.NewLabel(), done = a.NewLabel();
         a.PushBool(true).If(yes).PushString("no").Jump(done).Bind(yes).PushString("yes").Bind(done);
       },
       "yes"},
      {"if_not_taken", 6,
       [](Actions& a) {
         const int yes = a.NewLabel(), done = a.NewLabel();
         a.PushInt(0).If(yes).PushString("no").Jump(done).Bind(yes).PushString("yes").Bind(done);
       },
       "no"},
      // A condition that is no boolean converts by the movie's rules.
      {"if_on_text_from_7", 7,
       [](Actions& a) {
         const int yes = a.NewLabel(), done = a.NewLabel();
         a.PushString("t").If(yes).PushString("no").Jump(done).Bind(yes).PushString("yes").Bind(done);
       },
       "yes"},
      {"if_on_nan", 6,
       [](Actions& a) {
         const int yes = a.NewLabel(), done = a.NewLabel();
         a.PushString("x").Raw(0x4A).If(yes).PushString("no").Jump(done).Bind(yes).PushString("yes").Bind(done);
       },
       "no"},
  };
}

class ActionValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ActionValues, ConvertsAsThePlayerDoes) {
  const ValueCase& c = GetParam();
  Actions actions;
  actions.PushString("v");
  c.pushValue(actions);
  actions.SetVariable();
  MoviePlayer player;
  LoadOrFail(player, MovieWithFrames({actions}, c.version));
  EXPECT_EQ(player.RootVariable("v"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ActionValues, ::testing::ValuesIn(ValueCases()), CaseName{});

TEST(ActionFsCommand, RaisesLiteralAndComputedCommandsInOrder) {
  Actions first;
  first.FsCommand("quit", "now")
      .GetUrl("fscommand:Show", "x")
      .GetUrl("http://example.invalid/", "_blank")
      .SetVariable("cmd", "save")
      .SetVariable("arg", "k=v")
      .FsCommandFromVariables("cmd", "arg");
  MoviePlayer player;
  LoadOrFail(player, MovieWithFrames({first, Actions().FsCommand("second", "")}));
  EXPECT_EQ(player.TakeFsCommands(), (std::vector<FsCommand>{{"quit", "now"}, {"Show", "x"}, {"save", "k=v"}}));
  EXPECT_TRUE(player.TakeFsCommands().empty());
  player.Advance();
  EXPECT_EQ(player.TakeFsCommands(), (std::vector<FsCommand>{{"second", ""}}));
}

TEST(ActionFlashVars, SetsRootVariablesThatTheMovieReads) {
  MoviePlayer player;
  LoadOrFail(player, MovieWithFrames({Actions(), Actions().FsCommandFromVariables("cmd", "b")}));
  player.SetFlashVars("cmd=echo&b=x+y%21&=skipped&noequals&c=");
  EXPECT_EQ(player.RootVariable("b"), "x y!");
  EXPECT_EQ(player.RootVariable("c"), "");
  EXPECT_EQ(player.RootVariable("noequals"), std::nullopt);
  player.Advance();
  EXPECT_EQ(player.TakeFsCommands(), (std::vector<FsCommand>{{"echo", "x y!"}}));
}

TEST(ActionFlashVars, GivenBeforeLoadingReachFrameOne) {
  MoviePlayer player;
  player.SetFlashVars("cmd=hello&b=1");
  LoadOrFail(player, MovieWithFrames({Actions().FsCommandFromVariables("cmd", "b")}));
  EXPECT_EQ(player.TakeFsCommands(), (std::vector<FsCommand>{{"hello", "1"}}));
}

TEST(ActionLimits, AnEndlessLoopEndsAtTheScriptTimeLimit) {
  Actions loop;
  const int top = loop.NewLabel();
  loop.Bind(top).Jump(top);
  MoviePlayer player;
  double seconds = 0;
  player.SetScriptTimeLimit(15, [&seconds] { return seconds += 1; });
  LoadOrFail(player, MovieWithFrames({loop, Actions().SetVariable("after", "1")}));
  player.Advance();
  EXPECT_EQ(player.RootVariable("after"), "1");
}

struct GotoLoopCase {
  std::string name;
  bool backward;  // the costly goto goes back, rebuilding from frame 1
  int frameAfterLoad;
  int frameAfterTick;  // the next tick has its own budget
};

// Frames that each move every one of `kDepths` objects, with a block that
// counts its rounds in `n` and loops between two gotos: forward from frame 1
// to the last frame and back, or (reached from frame 1) back from the last
// frame to the one before it and on again. One of the two gotos replays
// nearly every tag of the movie.
constexpr int kLoopFrames = 101;
constexpr int kDepths = 50;

Bytes GotoLoopMovie(bool backward) {
  const auto last = static_cast<std::uint16_t>(kLoopFrames - 1);
  Actions loop;
  const int top = loop.NewLabel();
  loop.Bind(top).PushString("n").PushString("n").GetVariable().PushInt(1).Add2().SetVariable();
  if (backward) {
    loop.GotoFrame(last - 1).GotoFrame(last);
  } else {
    loop.GotoFrame(last).GotoFrame(0);
  }
  loop.Jump(top);
  MovieBuilder movie(10, 10);
  const std::uint16_t id = movie.DefineShape(FilledRectangle(1, 1, {255, 0, 0}));
  for (int depth = 1; depth <= kDepths; ++depth) movie.Place(id, static_cast<std::uint16_t>(depth));
  movie.DoAction(backward ? Actions().GotoFrame(last) : loop).ShowFrame();
  for (int frame = 1; frame < kLoopFrames; ++frame) {
    for (int depth = 1; depth <= kDepths; ++depth) {
      movie.Move(static_cast<std::uint16_t>(depth), Transform::Translate(frame % 9, depth % 9));
    }
    if (backward && frame == last) movie.DoAction(loop);
    movie.ShowFrame();
  }
  return movie.Build(true);
}

class ActionGotoLoops : public ::testing::TestWithParam<GotoLoopCase> {};

TEST_P(ActionGotoLoops, StopWhenTheTicksFrameChangesAreSpent) {
  const GotoLoopCase& c = GetParam();
  MoviePlayer player;
  LoadOrFail(player, GotoLoopMovie(c.backward));
  // Each round's costly goto visits the moves of all frames but one; the
  // round that finds too few tags left stops the block after counting itself.
  const std::size_t costlyGoto = static_cast<std::size_t>(kLoopFrames - 1) * kDepths;
  const std::optional<std::string> rounds = player.RootVariable("n");
  ASSERT_TRUE(rounds);
  const auto n = static_cast<std::size_t>(std::stoul(*rounds));
  EXPECT_LE(n, kFrameWorkPerTick / costlyGoto + 1);
  EXPECT_GE(n, kFrameWorkPerTick / (2 * costlyGoto));
  EXPECT_EQ(player.CurrentFrame(), c.frameAfterLoad);
  player.Advance();
  EXPECT_EQ(player.CurrentFrame(), c.frameAfterTick);
}

INSTANTIATE_TEST_SUITE_P(Cases, ActionGotoLoops,
                         ::testing::Values(GotoLoopCase{"forward", false, 1, 2},
                                           GotoLoopCase{"backward", true, kLoopFrames, kLoopFrames}),
                         CaseName{});

TEST(ActionLimits, AMalformedBlockStopsOnlyItself) {
  MovieBuilder movie(10, 10);
  Bytes broken = Actions().SetVariable("before", "1").Encode();
  broken.pop_back();
  broken.insert(broken.end(), {0x96, 0xFF, 0x00, 0x00});  // a push longer than the block
  movie.DoActionBytes(broken).DoAction(Actions().SetVariable("next", "1")).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(player.RootVariable("before"), "1");
  EXPECT_EQ(player.RootVariable("next"), "1");
}

TEST(ActionPaths, SpriteActionsReachRootVariables) {
  MovieBuilder movie(10, 10);
  SpriteBuilder sprite;
  sprite.DoAction(Actions().SetVariable("_root.fromSprite", "1").SetVariable("own", "2")).ShowFrame();
  const std::uint16_t id = movie.DefineSprite(sprite);
  movie.Place(id, 1).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(player.RootVariable("fromSprite"), "1");
  EXPECT_EQ(player.RootVariable("own"), std::nullopt);
}

// c.onUnload = function () { _root.unloaded = "yes"; }
Actions SetUnloadHandler() {
  Actions handler;
  handler.SetVariable("_root.unloaded", "yes");
  Actions a;
  a.PushString("c").GetVariable().PushString("onUnload");
  a.DefineFunction("", {}, handler).Raw(0x4F);
  return a;
}

struct UnloadCase {
  std::string name;
  bool removedByGoingBack;  // else by a RemoveObject2 tag
};

class ClipUnload : public ::testing::TestWithParam<UnloadCase> {};

TEST_P(ClipUnload, RunsOnUnloadOfAClipLeavingTheStage) {
  MovieBuilder movie(10, 10);
  SpriteBuilder sprite;
  sprite.ShowFrame();
  const std::uint16_t id = movie.DefineSprite(sprite);
  if (GetParam().removedByGoingBack) movie.ShowFrame();
  movie.Place(id, 1, {}, std::nullopt, "c").DoAction(SetUnloadHandler()).ShowFrame();
  if (GetParam().removedByGoingBack) {
    movie.DoAction(Actions().GotoFrame(0).Stop()).ShowFrame();
  } else {
    movie.Remove(1).DoAction(Actions().Stop()).ShowFrame();
  }
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  for (int tick = 0; tick < 3 && player.RootVariable("unloaded") == std::nullopt; ++tick) {
    EXPECT_EQ(player.RootVariable("unloaded"), std::nullopt);
    player.Advance();
  }
  EXPECT_EQ(player.RootVariable("unloaded"), "yes");
}

INSTANTIATE_TEST_SUITE_P(Cases, ClipUnload,
                         ::testing::Values(UnloadCase{"remove_tag", false}, UnloadCase{"going_back", true}),
                         [](const auto& tested) { return tested.param.name; });

TEST(ActionPaths, TellTargetActsOnTheNamedSpriteAndComesBack) {
  MovieBuilder movie(10, 10);
  SpriteBuilder inner;
  inner.ShowFrame(3);
  const std::uint16_t innerId = movie.DefineSprite(inner);
  SpriteBuilder outer;
  outer.Place(innerId, 1, {}, std::nullopt, "inner").ShowFrame(2);
  const std::uint16_t outerId = movie.DefineSprite(outer);
  movie.Place(outerId, 1, {}, std::nullopt, "outer");
  // tellTarget("/outer/inner") { gotoAndStop(3); x = "set"; } then back: y = "root".
  movie.DoAction(Actions()
                     .Raw(0x8B, {'/', 'o', 'u', 't', 'e', 'r', '/', 'i', 'n', 'n', 'e', 'r', 0})
                     .GotoFrame(2)
                     .Stop()
                     .SetVariable("x", "set")
                     .Raw(0x8B, {0})
                     .SetVariable("y", "root")
                     .Stop());
  movie.ShowFrame(2);
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(player.RootVariable("x"), std::nullopt);  // set on the inner sprite
  EXPECT_EQ(player.RootVariable("y"), "root");
  EXPECT_FALSE(player.IsPlaying());  // the last stop acts on the root again
}

}  // namespace
}  // namespace swf::testing
