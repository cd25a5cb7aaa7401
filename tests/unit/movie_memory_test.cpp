// Script objects are freed once nothing reaches them: a movie that makes
// objects every frame plays on with a bounded heap, and what the roots still
// reach (variables, the built-ins' listeners, timers) survives every collection.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kLess2 = 0x48;
constexpr std::uint8_t kInitArray = 0x42;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallFunction = 0x3D;
constexpr std::uint8_t kCallMethod = 0x52;

// A loop that runs `count` times: o = {a: i, b: [i]}; o.b[0] = o.
void MakeGarbage(Actions& a, int count) {
  const int loop = a.NewLabel();
  const int done = a.NewLabel();
  a.PushString("i").PushInt(0).SetVariable();
  a.Bind(loop).PushString("i").GetVariable().PushInt(count).Raw(kLess2).Not().If(done);
  a.PushString("o").PushString("a").PushString("i").GetVariable();
  a.PushString("b").PushString("i").GetVariable().PushInt(1).Raw(kInitArray);
  a.PushInt(2).Raw(kInitObject).SetVariable();
  // o.b[0] = o: a cycle, which is freed all the same.
  a.PushString("o").GetVariable().PushString("b").Raw(kGetMember).PushString("0").PushString("o").GetVariable();
  a.Raw(kSetMember);
  a.PushString("i").PushString("i").GetVariable().PushInt(1).Add2().SetVariable();
  a.Jump(loop).Bind(done);
}

// Runs `once` the first time the frame plays (while `kept` is undefined).
void FirstRunOnly(Actions& a, const std::function<void(Actions&)>& once) {
  const int skip = a.NewLabel();
  a.PushString("kept").GetVariable().PushUndefined().Equals2().Not().If(skip);
  a.PushString("kept").PushString("runs").PushInt(0).PushInt(1).Raw(kInitObject).SetVariable();
  once(a);
  a.Bind(skip);
  // kept.runs = kept.runs + 1
  a.PushString("kept").GetVariable().PushString("runs");
  a.PushString("kept").GetVariable().PushString("runs").Raw(kGetMember).PushInt(1).Add2().Raw(kSetMember);
}

struct MemoryCase {
  std::string name;
  std::function<void(Actions&)> once;     // set-up of the first run
  std::function<void(Actions&)> readOut;  // sets `result` from what must have survived
  std::string expected;
};

std::vector<MemoryCase> MemoryCases() {
  return {
      {"variables_keep_their_objects",
       [](Actions& a) {
         a.PushString("saved").PushString("mark").PushString("variable").PushInt(1).Raw(kInitObject).SetVariable();
       },
       [](Actions& a) {
         a.PushString("result").PushString("saved").GetVariable().PushString("mark").Raw(kGetMember).SetVariable();
       },
       "variable"},
      {"a_timer_keeps_its_arguments",
       [](Actions& a) {
         Actions body;
         body.PushString("seen").PushString("o").GetVariable().PushString("mark").Raw(kGetMember).SetVariable();
         a.PushString("mark").PushString("timer").PushInt(1).Raw(kInitObject).PushInt(10);
         a.DefineFunction("", {"o"}, body);
         a.PushInt(3).PushString("setInterval").Raw(kCallFunction).Pop();
       },
       [](Actions& a) {
         a.PushString("result").PushString("seen").GetVariable().SetVariable();
         a.PushString("seen").PushString("none").SetVariable();
       },
       "timer"},
      {"a_listener_keeps_its_object",
       [](Actions& a) {
         a.PushString("mark").PushString("listener").PushInt(1).Raw(kInitObject).PushInt(1);
         a.PushString("Key").GetVariable().PushString("addListener").Raw(kCallMethod).Pop();
       },
       [](Actions& a) {
         a.PushString("result").PushString("Key").GetVariable().PushString("_listeners").Raw(kGetMember);
         a.PushString("0").Raw(kGetMember).PushString("mark").Raw(kGetMember).SetVariable();
       },
       "listener"},
  };
}

class MovieMemory : public ::testing::TestWithParam<MemoryCase> {};

// 50 runs of 1000 iterations (an object and an array an iteration): the
// live count stays far below the 100,000 made, so garbage was freed.
TEST_P(MovieMemory, ObjectsNothingReachesAreFreedAndTheRestSurvive) {
  constexpr int kRuns = 50;
  constexpr int kPerRun = 1000;
  const MemoryCase& test = GetParam();
  Actions frame;
  FirstRunOnly(frame, test.once);
  MakeGarbage(frame, kPerRun);
  test.readOut(frame);
  MovieBuilder movie(10, 10, 24, 6);
  movie.DoAction(frame).ShowFrame().ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  std::size_t mostAlive = 0;
  for (int tick = 1; tick < 2 * kRuns; ++tick) {
    player.Advance();
    mostAlive = std::max(mostAlive, player.LiveScriptObjects());
  }
  EXPECT_EQ(player.RootVariable("result"), test.expected);
  // The kept object counts every run: no run was cut short by a full heap.
  EXPECT_EQ(player.RootVariable("i"), std::to_string(kPerRun));
  EXPECT_LT(mostAlive, 40000u);
}

INSTANTIATE_TEST_SUITE_P(Cases, MovieMemory, ::testing::ValuesIn(MemoryCases()),
                         [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace swf::testing
