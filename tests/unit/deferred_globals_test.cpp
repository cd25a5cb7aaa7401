// Built-in globals made on first use: whatever a script does with their names
// before and after, it sees what it sees when every global is made at the
// start of the stage. Each script runs both ways and must trace the same.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "script/deferred_globals.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallFunction = 0x3D;
constexpr std::uint8_t kNewObject = 0x40;
constexpr std::uint8_t kTypeOf = 0x44;
constexpr std::uint8_t kEnumerate2 = 0x55;
constexpr std::uint8_t kPushDuplicate = 0x4C;
constexpr std::uint8_t kEquals2 = 0x49;
constexpr std::uint8_t kStackSwap = 0x4D;
constexpr std::uint8_t kDelete = 0x3A;

std::vector<std::string> TracesOf(const Actions& actions, int version, bool deferred) {
  SetGlobalsDeferred(deferred);
  std::vector<std::string> lines = swf::testing::TracesOf(actions, version);
  SetGlobalsDeferred(true);
  return lines;
}

void PushGlobal(Actions& a) { a.PushString("_global").GetVariable(); }

// ASSetPropFlags(_global, names, set, clear); names null for all.
void SetGlobalFlags(Actions& a, const char* names, int set, int clear) {
  a.PushInt(clear).PushInt(set);
  if (names) {
    a.PushString(names);
  } else {
    a.PushNull();
  }
  PushGlobal(a);
  a.PushInt(4).PushString("ASSetPropFlags").Raw(kCallFunction).Pop();
}

// for (n in _global) trace(n + typeof _global[n]), or the names alone.
void ListGlobals(Actions& a, bool withTypes) {
  const int loop = a.NewLabel();
  const int done = a.NewLabel();
  PushGlobal(a);
  a.Raw(kEnumerate2);
  a.Bind(loop).Raw(kPushDuplicate).PushNull().Raw(kEquals2).If(done);
  if (withTypes) {
    a.Raw(kPushDuplicate);
    PushGlobal(a);
    a.Raw(kStackSwap).Raw(kGetMember).Raw(kTypeOf).StringAdd();
  }
  a.Trace().Jump(loop);
  a.Bind(done).Pop();
}

void TraceTypeOf(Actions& a, std::string_view name) { a.PushString(name).GetVariable().Raw(kTypeOf).Trace(); }

// trace(typeof a.b.c)
void TraceTypeOfPath(Actions& a, std::vector<std::string_view> path) {
  a.PushString(path[0]).GetVariable();
  for (std::size_t i = 1; i < path.size(); ++i) a.PushString(path[i]).Raw(kGetMember);
  a.Raw(kTypeOf).Trace();
}

// _global[name] = value
void SetGlobal(Actions& a, std::string_view name, std::string_view value) {
  PushGlobal(a);
  a.PushString(name).PushString(value).Raw(kSetMember);
}

void DeleteGlobal(Actions& a, std::string_view name) {
  PushGlobal(a);
  a.PushString(name).Raw(kDelete).Trace();
}

struct Case {
  std::string name;
  int version;
  std::function<void(Actions&)> script;
};

std::vector<Case> Cases() {
  return {
      {"every_name_in_its_place", 8,
       [](Actions& a) {
         SetGlobalFlags(a, nullptr, 0, 1);
         ListGlobals(a, false);
         ListGlobals(a, true);
       }},
      {"every_name_in_its_place_caseless", 6,
       [](Actions& a) {
         SetGlobalFlags(a, nullptr, 0, 1);
         ListGlobals(a, true);
       }},
      {"deleted_before_use_stays_deleted", 8,
       [](Actions& a) {
         DeleteGlobal(a, "XMLNode");
         TraceTypeOf(a, "XML");
         TraceTypeOf(a, "XMLNode");
         DeleteGlobal(a, "Sound");
         TraceTypeOf(a, "Sound");
       }},
      {"replaced_before_use_stays_replaced", 8,
       [](Actions& a) {
         SetGlobal(a, "Date", "mine");
         SetGlobal(a, "Color", "theirs");
         a.PushString("Date").GetVariable().Trace();
         TraceTypeOfPath(a, {"flash", "geom", "Point"});
         a.PushString("Color").GetVariable().Trace();
       }},
      {"flags_set_before_use_hold", 8,
       [](Actions& a) {
         SetGlobalFlags(a, "Color,XML", 4, 0);
         SetGlobal(a, "Color", "theirs");
         TraceTypeOf(a, "Color");
         SetGlobalFlags(a, "flash", 0, 1);
         ListGlobals(a, true);
         DeleteGlobal(a, "XML");
       }},
      {"members_of_the_made_classes", 8,
       [](Actions& a) {
         TraceTypeOfPath(a, {"flash", "filters", "BlurFilter"});
         TraceTypeOfPath(a, {"flash", "external", "ExternalInterface", "call"});
         TraceTypeOfPath(a, {"flash", "net", "FileReference", "prototype", "addListener"});
         a.PushString("<a><b/></a>").PushInt(1).PushString("XML").Raw(kNewObject).Trace();
         a.PushInt(0).PushString("Sound").Raw(kNewObject).Raw(kTypeOf).Trace();
       }},
      {"made_with_the_globals_of_the_start", 8,
       [](Actions& a) {
         SetGlobal(a, "AsBroadcaster", "gone");
         TraceTypeOfPath(a, {"flash", "net", "FileReference", "prototype", "addListener"});
       }},
      {"platform_objects_changed_before_use", 8,
       [](Actions& a) {
         DeleteGlobal(a, "Key");
         SetGlobal(a, "Mouse", "mine");
         SetGlobalFlags(a, "Stage,PrintJob", 4, 0);
         SetGlobal(a, "Stage", "theirs");
         TraceTypeOf(a, "Key");
         a.PushString("Mouse").GetVariable().Trace();
         TraceTypeOf(a, "Stage");
         DeleteGlobal(a, "PrintJob");
         TraceTypeOfPath(a, {"System", "security", "sandboxType"});
         ListGlobals(a, true);
       }},
      {"platform_objects_after_the_other_groups", 8,
       [](Actions& a) {
         DeleteGlobal(a, "Sound");
         SetGlobal(a, "Color", "theirs");
         TraceTypeOfPath(a, {"Key", "addListener"});
         TraceTypeOfPath(a, {"MovieClipLoader", "prototype", "broadcastMessage"});
         TraceTypeOf(a, "Sound");
         a.PushString("Color").GetVariable().Trace();
         TraceTypeOfPath(a, {"Stage", "width"});
         TraceTypeOfPath(a, {"ContextMenu", "prototype", "copy"});
       }},
      {"platform_objects_in_older_movies", 6,
       [](Actions& a) {
         TraceTypeOf(a, "XMLUI");
         TraceTypeOf(a, "key");
         TraceTypeOfPath(a, {"mouse", "hide"});
       }},
      {"packages_hidden_from_older_movies", 7,
       [](Actions& a) {
         TraceTypeOf(a, "flash");
         TraceTypeOf(a, "Color");
       }},
  };
}

class DeferredGlobals : public ::testing::TestWithParam<Case> {};

TEST_P(DeferredGlobals, ReadAsGlobalsMadeAtTheStart) {
  const Case& c = GetParam();
  Actions actions;
  c.script(actions);
  const std::vector<std::string> madeAtStart = TracesOf(actions, c.version, false);
  ASSERT_FALSE(madeAtStart.empty());
  EXPECT_EQ(TracesOf(actions, c.version, true), madeAtStart);
}

INSTANTIATE_TEST_SUITE_P(Scripts, DeferredGlobals, ::testing::ValuesIn(Cases()),
                         [](const auto& tested) { return tested.param.name; });

// Which groups a stage makes: only those whose names its scripts read, so that
// the stage's own set-up never reads a waiting name for them.
struct MadeCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::size_t groupsMade;
};

std::vector<MadeCase> MadeCases() {
  return {
      {"none_read", [](Actions& a) { TraceTypeOf(a, "Object"); }, 0},
      {"color_makes_the_packages", [](Actions& a) { TraceTypeOf(a, "Color"); }, 1},
      {"key_makes_the_platform_objects", [](Actions& a) { TraceTypeOfPath(a, {"Key", "SPACE"}); }, 1},
      {"each_group_once", [](Actions& a) {
         TraceTypeOf(a, "XML");
         TraceTypeOf(a, "XMLNode");
         TraceTypeOf(a, "Sound");
         TraceTypeOf(a, "Sound");
       }, 2},
  };
}

class GroupsMade : public ::testing::TestWithParam<MadeCase> {};

TEST_P(GroupsMade, OnlyWhatTheScriptsRead) {
  const MadeCase& c = GetParam();
  Actions actions;
  c.script(actions);
  const std::size_t before = DeferredGroupsMade();
  ASSERT_FALSE(TracesOf(actions, 8, true).empty());
  EXPECT_EQ(DeferredGroupsMade() - before, c.groupsMade);
}

INSTANTIATE_TEST_SUITE_P(Scripts, GroupsMade, ::testing::ValuesIn(MadeCases()),
                         [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace swf::testing
