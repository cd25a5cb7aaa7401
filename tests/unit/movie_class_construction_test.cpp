// How clips of a registered class come to life (init actions, construct
// handlers, constructor, load), getters and setters reached through
// `super`, the names a broadcaster calls its listeners by, and built-in
// functions called with nothing to convert.

#include <gtest/gtest.h>

#include <cstdint>
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
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kNewObject = 0x40;
constexpr std::uint8_t kReturn = 0x3E;
constexpr std::uint8_t kExtends = 0x69;
constexpr std::uint16_t kExportAssets = 56;
constexpr std::uint16_t kDoInitAction = 59;
constexpr std::uint16_t kPlaceObject2 = 26;
constexpr std::uint32_t kLoadEvent = 0x01;
constexpr std::uint32_t kConstructEvent = 0x40000;

std::vector<std::string> TracesOf(MovieBuilder& movie, int ticks = 0) {
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  for (int i = 0; i < ticks; ++i) player.Advance();
  return lines;
}

void AppendU16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void AppendU32(Bytes& out, std::uint32_t value) {
  AppendU16(out, value & 0xFFFF);
  AppendU16(out, value >> 16);
}

void AppendText(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

Bytes ExportBody(std::uint16_t id, std::string_view name) {
  Bytes body;
  AppendU16(body, 1);
  AppendU16(body, id);
  AppendText(body, name);
  return body;
}

Bytes InitActionBody(std::uint16_t sprite, const Actions& actions) {
  Bytes body;
  AppendU16(body, sprite);
  const Bytes code = actions.Encode();
  body.insert(body.end(), code.begin(), code.end());
  return body;
}

struct ClipEvent {
  std::uint32_t events;
  Actions actions;
};

// PlaceObject2 of a named character with onClipEvent handlers.
Bytes PlaceWithEvents(std::uint16_t character, std::uint16_t depth, std::string_view name,
                      const std::vector<ClipEvent>& handlers) {
  Bytes body;
  body.push_back(0x80 | 0x20 | 0x02);  // clip actions, name, character
  AppendU16(body, depth);
  AppendU16(body, character);
  AppendText(body, name);
  AppendU16(body, 0);
  std::uint32_t all = 0;
  for (const ClipEvent& handler : handlers) all |= handler.events;
  AppendU32(body, all);
  for (const ClipEvent& handler : handlers) {
    const Bytes code = handler.actions.Encode();
    AppendU32(body, handler.events);
    AppendU32(body, static_cast<std::uint32_t>(code.size()));
    body.insert(body.end(), code.begin(), code.end());
  }
  AppendU32(body, 0);
  return body;
}

Actions TraceText(std::string_view text) {
  Actions a;
  a.PushString(text).Trace();
  return a;
}

// trace(this.<member>)
void TraceOwn(Actions& a, std::string_view member) {
  a.PushString("this").GetVariable().PushString(member).Raw(kGetMember).Trace();
}

// ---- Construction of a placed clip of a registered class ----

struct ConstructionCase {
  std::string name;
  bool registered;      // Object.registerClass for the symbol, in an init action after the placement
  bool constructEvent;  // an onClipEvent(construct) handler
  std::vector<std::string> expected;
};

std::vector<std::string> ConstructionTraces(const ConstructionCase& c) {
  MovieBuilder movie(100, 100, 12, 7);
  SpriteBuilder symbol;
  symbol.ShowFrame();
  const std::uint16_t sprite = movie.DefineSprite(symbol);
  movie.Tag(kExportAssets, ExportBody(sprite, "Symbol"));
  std::vector<ClipEvent> handlers;
  if (c.constructEvent) {
    // The construct handler sees the class prototype and sets a member the
    // constructor then reads.
    Actions construct = TraceText("construct");
    TraceOwn(construct, "fromClass");
    construct.PushString("this").GetVariable().PushString("fromHandler").PushString("set by construct");
    construct.Raw(kSetMember);
    handlers.push_back({kConstructEvent, construct});
  }
  handlers.push_back({kLoadEvent, TraceText("load")});
  // The placement comes before the init action in the frame's tags.
  movie.Tag(kPlaceObject2, PlaceWithEvents(sprite, 1, "clip", handlers));
  if (c.registered) {
    Actions constructor = TraceText("constructor");
    constructor.PushString("this").GetVariable().Trace();
    TraceOwn(constructor, "fromHandler");
    Actions init;
    init.DefineFunction("Cls", {}, constructor);
    init.PushString("Cls").GetVariable().PushString("prototype").Raw(kGetMember);
    init.PushString("fromClass").PushString("class member").Raw(kSetMember);
    init.PushString("Cls").GetVariable().PushString("Symbol").PushInt(2);
    init.PushString("Object").GetVariable().PushString("registerClass").Raw(kCallMethod).Pop();
    movie.Tag(kDoInitAction, InitActionBody(sprite, init));
  }
  movie.ShowFrame();
  return TracesOf(movie, 1);
}

class ConstructionTest : public ::testing::TestWithParam<ConstructionCase> {};

TEST_P(ConstructionTest, RunsInThePlatformsOrder) { EXPECT_EQ(ConstructionTraces(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    PlacedClips, ConstructionTest,
    ::testing::Values(
        ConstructionCase{"class_from_a_later_init_action_shapes_the_clip",
                         true,
                         true,
                         {"construct", "class member", "constructor", "_level0.clip", "set by construct", "load"}},
        ConstructionCase{"constructor_sees_the_clip_at_its_path",
                         true,
                         false,
                         {"constructor", "_level0.clip", "undefined", "load"}},
        ConstructionCase{"construct_handler_without_a_class_runs_before_load",
                         false,
                         true,
                         {"construct", "undefined", "load"}}),
    [](const auto& each) { return each.param.name; });

// ---- Getters and setters reached through super ----

// Pushes this.<member> or super.<member>.
void PushMemberOf(Actions& a, std::string_view holder, std::string_view member) {
  a.PushString(holder).GetVariable().PushString(member).Raw(kGetMember);
}

// <cls>.prototype.addProperty("p", getter, setter)
void AddProperty(Actions& a, std::string_view cls, const Actions& getter, const Actions& setter) {
  a.DefineFunction("", {"v"}, setter);
  a.DefineFunction("", {}, getter);
  a.PushString("p").PushInt(3);
  a.PushString(cls).GetVariable().PushString("prototype").Raw(kGetMember);
  a.PushString("addProperty").Raw(kCallMethod).Pop();
}

// getter: return tag + <this or super>.<member>
Actions Getter(std::string_view tag, std::string_view holder, std::string_view member) {
  Actions body;
  body.PushString(tag);
  PushMemberOf(body, holder, member);
  body.Add2().Raw(kReturn);
  return body;
}

// setter: <this or super>.<member> = v + tag
Actions Setter(std::string_view tag, std::string_view holder, std::string_view member) {
  Actions body;
  body.PushString(holder).GetVariable().PushString(member);
  body.PushString("v").GetVariable().PushString(tag).Add2();
  body.Raw(kSetMember);
  return body;
}

void DefineClasses(Actions& a, const std::vector<std::string>& chain) {
  for (std::size_t i = 0; i < chain.size(); ++i) {
    a.DefineFunction(chain[i], {}, Actions{});
    if (i > 0) a.PushString(chain[i]).GetVariable().PushString(chain[i - 1]).GetVariable().Raw(kExtends);
  }
}

struct SuperAccessorCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

std::vector<SuperAccessorCase> SuperAccessorCases() {
  return {
      {"getter_through_super_runs_on_this",
       [](Actions& a) {
         DefineClasses(a, {"A", "B"});
         AddProperty(a, "A", Getter("A:", "this", "tag"), Setter("", "this", "stored"));
         AddProperty(a, "B", Getter("B>", "super", "p"), Setter("", "this", "stored"));
         a.PushString("o").PushInt(0).PushString("B").Raw(kNewObject).SetVariable();
         a.PushString("o").GetVariable().PushString("tag").PushString("t").Raw(kSetMember);
         PushMemberOf(a, "o", "p");
         a.Trace();
       },
       {"B>A:t"}},
      {"setter_through_super_runs_on_this",
       [](Actions& a) {
         DefineClasses(a, {"A", "B"});
         AddProperty(a, "A", Getter("", "this", "stored"), Setter("!", "this", "stored"));
         AddProperty(a, "B", Getter("", "this", "stored"), Setter("?", "super", "p"));
         a.PushString("o").PushInt(0).PushString("B").Raw(kNewObject).SetVariable();
         a.PushString("o").GetVariable().PushString("p").PushString("x").Raw(kSetMember);
         PushMemberOf(a, "o", "stored");
         a.Trace();
       },
       {"x?!"}},
      {"getter_found_on_a_prototype_reads_super_above_that_prototype",
       [](Actions& a) {
         // C has no accessor of its own: B's getter, found on B.prototype,
         // reaches A's through super, once each.
         DefineClasses(a, {"A", "B", "C"});
         AddProperty(a, "A", Getter("A:", "this", "tag"), Setter("", "this", "stored"));
         AddProperty(a, "B", Getter("B>", "super", "p"), Setter("", "this", "stored"));
         a.PushString("o").PushInt(0).PushString("C").Raw(kNewObject).SetVariable();
         a.PushString("o").GetVariable().PushString("tag").PushString("c").Raw(kSetMember);
         PushMemberOf(a, "o", "p");
         a.Trace();
       },
       {"B>A:c"}},
      {"plain_member_through_super_still_reads_the_base",
       [](Actions& a) {
         DefineClasses(a, {"A", "B"});
         a.PushString("A").GetVariable().PushString("prototype").Raw(kGetMember);
         a.PushString("q").PushString("base q").Raw(kSetMember);
         AddProperty(a, "B", Getter("B>", "super", "q"), Setter("", "this", "stored"));
         a.PushString("o").PushInt(0).PushString("B").Raw(kNewObject).SetVariable();
         PushMemberOf(a, "o", "p");
         a.Trace();
       },
       {"B>base q"}},
  };
}

class SuperAccessorTest : public ::testing::TestWithParam<SuperAccessorCase> {};

TEST_P(SuperAccessorTest, ReachesTheBaseAccessorOnThis) {
  MovieBuilder movie(100, 100, 12, 7);
  Actions a;
  GetParam().script(a);
  movie.DoAction(a).ShowFrame();
  EXPECT_EQ(TracesOf(movie), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Accessors, SuperAccessorTest, ::testing::ValuesIn(SuperAccessorCases()),
                         [](const auto& each) { return each.param.name; });

// ---- Broadcast messages ----

struct BroadcastCase {
  std::string name;
  std::string message;
  std::vector<std::string> expected;
};

// b = {}; AsBroadcaster.initialize(b); f = function () { trace("itself"); };
// f.m = function () { trace("member m"); }; b.addListener(f);
// trace(b.broadcastMessage(message));
std::vector<std::string> BroadcastTraces(const BroadcastCase& c) {
  MovieBuilder movie(100, 100, 12, 7);
  Actions a;
  a.PushString("b").PushInt(0).Raw(0x43).SetVariable();
  a.PushString("b").GetVariable().PushInt(1).PushString("AsBroadcaster").GetVariable();
  a.PushString("initialize").Raw(kCallMethod).Pop();
  a.PushString("f");
  a.DefineFunction("", {}, TraceText("itself"));
  a.SetVariable();
  a.PushString("f").GetVariable().PushString("m");
  a.DefineFunction("", {}, TraceText("member m"));
  a.Raw(kSetMember);
  a.PushString("f").GetVariable().PushInt(1).PushString("b").GetVariable();
  a.PushString("addListener").Raw(kCallMethod).Pop();
  a.PushString(c.message).PushInt(1).PushString("b").GetVariable();
  a.PushString("broadcastMessage").Raw(kCallMethod).Trace();
  movie.DoAction(a).ShowFrame();
  return TracesOf(movie);
}

class BroadcastTest : public ::testing::TestWithParam<BroadcastCase> {};

TEST_P(BroadcastTest, CallsTheListenerByTheMessage) { EXPECT_EQ(BroadcastTraces(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Messages, BroadcastTest,
                         ::testing::Values(BroadcastCase{"named_message_calls_the_member", "m", {"member m", "true"}},
                                           BroadcastCase{"empty_message_calls_the_listener_itself", "", {"itself", "true"}},
                                           BroadcastCase{"missing_member_calls_nothing", "absent", {"true"}}),
                         [](const auto& each) { return each.param.name; });

// ---- Built-in functions called without an argument ----

struct NoArgumentCase {
  std::string name;
  std::string function;
  int version;
  std::string expected;
};

std::string NoArgumentTrace(const NoArgumentCase& c) {
  MovieBuilder movie(100, 100, 12, c.version);
  Actions a;
  a.PushInt(0).PushString(c.function).Raw(0x3D).Trace();
  movie.DoAction(a).ShowFrame();
  const std::vector<std::string> lines = TracesOf(movie);
  return lines.empty() ? "(nothing)" : lines.front();
}

class NoArgumentTest : public ::testing::TestWithParam<NoArgumentCase> {};

TEST_P(NoArgumentTest, GivesThePlatformsResult) { EXPECT_EQ(NoArgumentTrace(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Functions, NoArgumentTest,
    ::testing::Values(NoArgumentCase{"isNaN_of_nothing_is_true_in_version_5", "isNaN", 5, "true"},
                      NoArgumentCase{"isNaN_of_nothing_is_true_in_version_7", "isNaN", 7, "true"},
                      NoArgumentCase{"isFinite_of_nothing_is_false_in_version_5", "isFinite", 5, "false"},
                      NoArgumentCase{"Boolean_of_nothing_is_undefined", "Boolean", 7, "undefined"},
                      NoArgumentCase{"Number_of_nothing_is_zero", "Number", 5, "0"}),
    [](const auto& each) { return each.param.name; });

}  // namespace
}  // namespace swf::testing
