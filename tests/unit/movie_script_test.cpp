// The script machine as movies see it: each case is a frame script whose
// trace lines must come out as the player prints them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "case_name.h"
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
constexpr std::uint8_t kInitArray = 0x42;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kReturn = 0x3E;
constexpr std::uint8_t kThrow = 0x2A;
constexpr std::uint8_t kTypeOf = 0x44;
constexpr std::uint8_t kInstanceOf = 0x54;
constexpr std::uint8_t kMultiply = 0x0C;
constexpr std::uint8_t kEnumerate2 = 0x55;
constexpr std::uint8_t kGreater = 0x67;
constexpr std::uint8_t kLess2 = 0x48;
constexpr std::uint8_t kDivide = 0x0D;

std::vector<std::string> TracesOf(const std::vector<Actions>& frames, int version, int ticks = 0) {
  MovieBuilder movie(10, 10, 24, version);
  for (const Actions& actions : frames) movie.DoAction(actions).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  for (int i = 0; i < ticks; ++i) player.Advance();
  return lines;
}

// [1, 2, 3] built the way compilers write array literals: elements pushed last first.
void PushArray(Actions& a, const std::vector<int>& elements) {
  for (auto it = elements.rbegin(); it != elements.rend(); ++it) a.PushInt(*it);
  a.PushInt(static_cast<std::int32_t>(elements.size())).Raw(kInitArray);
}

// Calls a global function by name with text arguments and traces the result.
void TraceGlobalCall(Actions& a, std::string_view function, const std::vector<std::string>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.PushString(*it);
  a.PushInt(static_cast<std::int32_t>(args.size())).PushString(function).Raw(kCallFunction).Trace();
}

// Lists the enumeration of the object on the stack, one trace a name.
void TraceEnumeration(Actions& a) {
  a.Raw(kEnumerate2);
  const int loop = a.NewLabel(), done = a.NewLabel();
  a.Bind(loop).Raw(0x4C).PushNull().Equals2().If(done).Trace().Jump(loop).Bind(done);
}

// Array `a` made by `new Array(length)`, its elements set by script.
void NewArrayOfLength(Actions& a, std::int32_t length) {
  a.PushString("a").PushInt(length).PushInt(1).PushString("Array").Raw(kNewObject).SetVariable();
}
void SetArrayElement(Actions& a, std::int32_t index, std::string_view value) {
  a.PushString("a").GetVariable().PushInt(index).PushString(value).Raw(kSetMember);
}
void TraceArrayMember(Actions& a, std::string_view name) {
  a.PushString("a").GetVariable().PushString(name).Raw(kGetMember).Trace();
}
void TraceArrayOwns(Actions& a, std::int32_t index) {
  a.PushInt(index).PushInt(1).PushString("a").GetVariable().PushString("hasOwnProperty").Raw(kCallMethod).Trace();
}

struct ScriptCase {
  std::string name;
  int version;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

std::vector<ScriptCase> ScriptCases() {
  return {
      {"trace_prints_undefined_by_name", 6, [](Actions& a) { a.PushUndefined().Trace(); }, {"undefined"}},
      {"trace_breaks_lines_at_carriage_returns", 6, [](Actions& a) { a.PushString("a\rb").Trace(); }, {"a", "b"}},
      {"function_with_arguments_returns",
       6,
       [](Actions& a) {
         Actions body;
         body.PushString("a").GetVariable().PushString("b").GetVariable().Add2().Raw(kReturn);
         a.DefineFunction("add", {"a", "b"}, body);
         a.PushInt(2).PushInt(3).PushInt(2).PushString("add").Raw(kCallFunction).Trace();
       },
       {"5"}},
      {"function2_parameters_in_registers",
       7,
       [](Actions& a) {
         Actions body;
         body.PushRegister(1).PushInt(10).Raw(kMultiply).Raw(kReturn);
         a.DefineFunction2("tenfold", 2, 0, {{1, "x"}}, body);
         a.PushInt(4).PushInt(1).PushString("tenfold").Raw(kCallFunction).Trace();
       },
       {"40"}},
      {"closure_keeps_its_scope",
       6,
       [](Actions& a) {
         Actions inner;
         inner.PushString("secret").GetVariable().Raw(kReturn);
         Actions outer;
         outer.PushString("secret").PushString("kept").Raw(0x3C);  // DefineLocal
         outer.DefineFunction("", {}, inner).Raw(kReturn);
         a.DefineFunction("make", {}, outer);
         a.PushInt(0).PushString("make").Raw(kCallFunction).PushString("got").Raw(0x4D).SetVariable();
         a.PushInt(0).PushString("got").Raw(kCallFunction).Trace();
         a.PushString("secret").GetVariable().Trace();
       },
       {"kept", "undefined"}},
      {"object_members",
       6,
       [](Actions& a) {
         a.PushString("o").PushString("x").PushInt(1).PushInt(1).Raw(kInitObject).SetVariable();
         a.PushString("o").GetVariable().PushString("y").PushString("two").Raw(kSetMember);
         a.PushString("o").GetVariable().PushString("x").Raw(kGetMember).Trace();
         a.PushString("o").GetVariable().PushString("y").Raw(kGetMember).Trace();
       },
       {"1", "two"}},
      {"array_join_and_length",
       6,
       [](Actions& a) {
         a.PushString("-").PushInt(1);
         PushArray(a, {1, 2, 3});
         a.PushString("join").Raw(kCallMethod).Trace();
         PushArray(a, {4, 5});
         a.PushString("length").Raw(kGetMember).Trace();
       },
       {"1-2-3", "2"}},
      {"array_sort_as_text_and_numbers",
       6,
       [](Actions& a) {
         PushArray(a, {10, 9, 1});
         a.PushInt(0).Raw(0x4D).PushString("sort").Raw(kCallMethod).Trace();
         a.PushInt(16);
         a.PushInt(1);
         PushArray(a, {10, 9, 1});
         a.PushString("sort").Raw(kCallMethod).Trace();
       },
       {"1,10,9", "1,9,10"}},
      {"prototype_chain_and_instanceof",
       6,
       [](Actions& a) {
         a.DefineFunction("F", {}, Actions());
         a.PushString("F").GetVariable().PushString("prototype").Raw(kGetMember);
         a.PushString("greeting").PushString("hi").Raw(kSetMember);
         a.PushString("made").PushInt(0).PushString("F").Raw(kNewObject).SetVariable();
         a.PushString("made").GetVariable().PushString("greeting").Raw(kGetMember).Trace();
         a.PushString("made").GetVariable().PushString("F").GetVariable().Raw(kInstanceOf).Trace();
         a.PushString("F").GetVariable().Raw(kTypeOf).Trace();
       },
       {"hi", "true", "function"}},
      {"string_methods_on_primitives",
       6,
       [](Actions& a) {
         a.PushInt(0).PushString("abc").PushString("toUpperCase").Raw(kCallMethod).Trace();
         a.PushInt(1).PushInt(1).PushString("abc").PushString("charAt").Raw(kCallMethod).Trace();
         a.PushString("h\xC3\xA9llo").PushString("length").Raw(kGetMember).Trace();
       },
       {"ABC", "b", "5"}},
      {"try_catch_finally",
       6,
       [](Actions& a) {
         Actions tryBody;
         tryBody.PushString("boom").Raw(kThrow).PushString("not reached").Trace();
         Actions catchBody;
         catchBody.PushString("e").GetVariable().Trace();
         Actions finallyBody;
         finallyBody.PushString("done").Trace();
         a.Try(tryBody, "e", catchBody, true, finallyBody);
         a.PushString("after").Trace();
       },
       {"boom", "done", "after"}},
      {"names_ignore_case_before_7",
       6,
       [](Actions& a) { a.SetVariable("Foo", "1").PushString("foo").GetVariable().Trace(); },
       {"1"}},
      {"names_keep_case_from_7",
       7,
       [](Actions& a) { a.SetVariable("Foo", "1").PushString("foo").GetVariable().Trace(); },
       {"undefined"}},
      {"with_finds_members_first",
       6,
       [](Actions& a) {
         a.SetVariable("x", "timeline");
         a.PushString("x").PushString("member").PushInt(1).Raw(kInitObject);
         Actions body;
         body.PushString("x").GetVariable().Trace();
         a.With(body).PushString("x").GetVariable().Trace();
       },
       {"member", "timeline"}},
      {"object_literal_lists_its_fields_as_written",
       6,
       [](Actions& a) {
         a.PushString("a").PushInt(1).PushString("b").PushInt(2).PushInt(2).Raw(kInitObject).Raw(kEnumerate2);
         const int loop = a.NewLabel(), done = a.NewLabel();
         a.Bind(loop).Raw(0x4C).PushNull().Equals2().If(done).Trace().Jump(loop).Bind(done);
       },
       {"a", "b"}},
      {"array_of_a_length_has_holes_that_are_not_listed",
       7,
       [](Actions& a) {
         NewArrayOfLength(a, 4);
         a.PushString("a").GetVariable();
         TraceEnumeration(a);
         SetArrayElement(a, 2, "two");
         a.PushString("a").GetVariable().PushString("foo").PushString("x").Raw(kSetMember);
         SetArrayElement(a, 0, "zero");
         a.PushString("a").GetVariable();
         TraceEnumeration(a);
         a.PushString("a").GetVariable().Trace();
         TraceArrayOwns(a, 1);
         TraceArrayOwns(a, 2);
       },
       {"0", "foo", "2", "zero,undefined,two,undefined", "false", "true"}},
      {"array_length_grows_with_holes_and_cuts_elements",
       6,
       [](Actions& a) {
         NewArrayOfLength(a, 1);
         SetArrayElement(a, 4, "e");
         TraceArrayMember(a, "length");
         TraceArrayOwns(a, 3);
         a.PushString("a").GetVariable().PushString("length").PushInt(2).Raw(kSetMember);
         TraceArrayMember(a, "length");
         TraceArrayOwns(a, 4);
         a.PushString("a").GetVariable().PushString("length").PushInt(3).Raw(kSetMember);
         a.PushString("a").GetVariable().Trace();
         SetArrayElement(a, -1, "not an element");
         TraceArrayMember(a, "length");
       },
       {"5", "false", "2", "false", "undefined,undefined,undefined", "3"}},
      {"array_delete_leaves_a_hole_and_the_length",
       7,
       [](Actions& a) {
         a.PushString("a");
         PushArray(a, {1, 2, 3});
         a.SetVariable();
         a.PushString("a").GetVariable().PushInt(1).Raw(0x3A).Trace();
         a.PushString("a").GetVariable().PushInt(1).Raw(0x3A).Trace();
         TraceArrayOwns(a, 1);
         TraceArrayMember(a, "length");
         a.PushString("a").GetVariable();
         TraceEnumeration(a);
       },
       {"true", "false", "false", "3", "2", "0"}},
      {"reversing_an_array_stores_each_pair_anew",
       7,
       [](Actions& a) {
         NewArrayOfLength(a, 5);
         SetArrayElement(a, 4, "e");
         SetArrayElement(a, 1, "b");
         a.PushInt(0).PushString("a").GetVariable().PushString("reverse").Raw(kCallMethod).Pop();
         a.PushString("a").GetVariable().Trace();
         a.PushString("a").GetVariable();
         TraceEnumeration(a);
       },
       {"e,undefined,undefined,b,undefined", "3", "1", "4", "0"}},
      {"clip_reference_follows_its_path_after_removal",
       7,
       [](Actions& a) {
         const auto makeClip = [&a](int depth) {
           a.PushInt(depth).PushString("c").PushInt(2).PushString("this").GetVariable();
           a.PushString("createEmptyMovieClip").Raw(kCallMethod);
         };
         a.PushString("r");
         makeClip(1);
         a.SetVariable();
         a.PushString("r").GetVariable().Trace();
         a.PushInt(0).PushString("r").GetVariable().PushString("removeMovieClip").Raw(kCallMethod).Pop();
         a.PushString("r").GetVariable().Trace();
         a.PushString("r").GetVariable().PushString("_x").Raw(kGetMember).Trace();
         makeClip(2);
         a.Pop();
         a.PushString("r").GetVariable().Trace();
         a.PushString("r").GetVariable().PushString("_x").PushInt(7).Raw(kSetMember);
         a.PushString("c").GetVariable().PushString("_x").Raw(kGetMember).Trace();
         a.PushInt(0).PushString("r").GetVariable().PushString("getDepth").Raw(kCallMethod).Trace();
       },
       {"_level0.c", "", "undefined", "_level0.c", "7", "2"}},
      {"getter_recursion_stops_at_its_depth_limit",
       7,
       [](Actions& a) {
         Actions getter;
         getter.PushString("n").PushString("n").GetVariable().PushInt(1).Add2().SetVariable();
         getter.PushString("this").GetVariable().PushString("p").Raw(kGetMember).Raw(kReturn);
         a.DefineFunction("g", {}, getter);
         a.PushString("n").PushInt(0).SetVariable();
         a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
         a.PushNull().PushString("g").GetVariable().PushString("p").PushInt(3).PushString("o").GetVariable();
         a.PushString("addProperty").Raw(kCallMethod).Pop();
         a.PushString("o").GetVariable().PushString("p").Raw(kGetMember).Trace();
         a.PushString("n").GetVariable().Trace();
         a.PushString("o").GetVariable().PushString("p").Raw(kGetMember).Pop();
         a.PushString("n").GetVariable().Trace();
       },
       {"undefined", "65", "130"}},
      {"key_has_codes_and_takes_listeners",
       6,
       [](Actions& a) {
         a.PushString("Key").GetVariable().PushString("LEFT").Raw(kGetMember).Trace();
         a.PushInt(0).Raw(kInitObject).PushInt(1).PushString("Key").GetVariable().PushString("addListener");
         a.Raw(kCallMethod).Trace();
         a.PushString("Key").GetVariable().PushString("_listeners").Raw(kGetMember).PushString("length");
         a.Raw(kGetMember).Trace();
         a.PushInt(0).PushString("Key").GetVariable().PushString("isDown").Raw(kCallMethod).Trace();
       },
       {"37", "true", "1", "false"}},
      {"platform_classes_are_constructors_with_prototypes",
       8,
       [](Actions& a) {
         a.PushString("XMLSocket").GetVariable().PushString("prototype").Raw(kGetMember).Raw(kTypeOf).Trace();
         a.PushInt(0).PushString("Sound").Raw(kNewObject).PushString("Sound").GetVariable().Raw(kInstanceOf).Trace();
         a.PushString("flash").GetVariable().PushString("net").Raw(kGetMember).PushString("FileReference");
         a.Raw(kGetMember).Raw(kTypeOf).Trace();
         a.PushString("System").GetVariable().PushString("capabilities").Raw(kGetMember).Raw(kTypeOf).Trace();
       },
       {"object", "true", "function", "object"}},
      {"global_is_bare_and_converts_as_undefined",
       6,
       [](Actions& a) {
         a.PushString("_global").GetVariable().PushString("toString").Raw(kGetMember).Trace();
         // true > _global: undefined reads as 0 before version 7.
         a.PushBool(true).PushString("_global").GetVariable().Raw(kGreater).Trace();
       },
       {"undefined", "true"}},
      {"an_equal_listener_gives_way_and_removal_goes_by_equality",
       6,
       [](Actions& a) {
         // Mouse.addListener(null); Mouse.addListener(undefined); Mouse.removeListener(false)
         for (const bool useNull : {true, false}) {
           (useNull ? a.PushNull() : a.PushUndefined()).PushInt(1).PushString("Mouse").GetVariable();
           a.PushString("addListener").Raw(kCallMethod).Pop();
         }
         a.PushString("Mouse").GetVariable().PushString("_listeners").Raw(kGetMember).Trace();
         a.PushBool(false).PushInt(1).PushString("Mouse").GetVariable().PushString("removeListener");
         a.Raw(kCallMethod).Trace();
       },
       {"undefined", "false"}},
      {"has_own_property_needs_a_name",
       6,
       [](Actions& a) {
         a.PushInt(0).Raw(kInitObject).StoreRegister(0).Pop();
         a.PushInt(0).PushRegister(0).PushString("hasOwnProperty").Raw(kCallMethod).Trace();
         a.PushString("__proto__").PushInt(1).PushRegister(0).PushString("hasOwnProperty").Raw(kCallMethod).Trace();
       },
       {"false", "true"}},
      {"add_converts_again_an_operand_whose_valueOf_gave_an_object",
       7,
       [](Actions& a) {
         Actions valueOf;
         valueOf.PushInt(0).Raw(kInitObject).Raw(kReturn);
         Actions toString;
         toString.PushString("T").Raw(kReturn);
         a.PushString("o").PushString("valueOf").DefineFunction("", {}, valueOf);
         a.PushString("toString").DefineFunction("", {}, toString).PushInt(2).Raw(kInitObject).SetVariable();
         a.PushString("a").PushString("o").GetVariable().Add2().Trace();
         a.PushInt(1).PushString("o").GetVariable().Add2().Trace();
       },
       {"aT", "NaN"}},
      {"texts_compare_by_code_point_with_surrogate_pairs_joined",
       7,
       [](Actions& a) {
         // U+FF61 against U+10002 written as two escaped surrogates.
         a.PushString("\xEF\xBD\xA1").PushString("\xED\xA0\x80\xED\xB0\x82").Raw(kLess2).Trace();
         a.PushString("b").PushString("a").Raw(kLess2).Trace();
         a.PushString("ab").PushString("abc").Raw(kLess2).Trace();
       },
       {"true", "false", "true"}},
      {"version_4_truth_and_division_rules_stay_outside_functions",
       4,
       [](Actions& a) {
         Actions equal;
         equal.PushInt(1).PushInt(1).Equals2().Raw(kReturn);
         Actions divide;
         divide.PushInt(4).PushInt(0).Raw(kDivide).Raw(kReturn);
         a.DefineFunction("equal", {}, equal).DefineFunction("divide", {}, divide);
         a.PushInt(1).PushInt(1).Equals2().Trace();
         a.PushInt(4).PushInt(0).Raw(kDivide).Trace();
         a.PushInt(0).PushString("equal").Raw(kCallFunction).Trace();
         a.PushInt(0).PushString("divide").Raw(kCallFunction).Trace();
       },
       {"1", "#ERROR#", "true", "Infinity"}},
      {"version_5_compares_boxed_values_and_a_bare_object_equals_undefined",
       5,
       [](Actions& a) {
         a.PushInt(1).PushInt(1).PushString("Number").Raw(kNewObject);
         a.PushInt(1).PushInt(1).PushString("Number").Raw(kNewObject).Equals2().Trace();
         a.PushString("__proto__").PushNull().PushInt(1).Raw(kInitObject).PushUndefined().Equals2().Trace();
         a.PushInt(0).Raw(kInitObject).PushUndefined().Equals2().Trace();
       },
       {"true", "true", "false"}},
      {"boxed_values_are_distinct_objects_from_version_6",
       6,
       [](Actions& a) {
         a.PushInt(1).PushInt(1).PushString("Number").Raw(kNewObject);
         a.PushInt(1).PushInt(1).PushString("Number").Raw(kNewObject).Equals2().Trace();
       },
       {"false"}},
      {"level_names_keep_their_case_from_version_7",
       7,
       [](Actions& a) {
         a.PushString("_LEVEL0").GetVariable().Trace();
         a.PushString("_level0").GetVariable().Trace();
       },
       {"undefined", "_level0"}},
      {"level_names_ignore_case_before_version_7",
       6,
       [](Actions& a) { a.PushString("_LEVEL0").GetVariable().Trace(); },
       {"_level0"}},
      {"dotted_path_reads_from_the_scope_where_the_member_exists",
       6,
       [](Actions& a) {
         a.PushString("a").PushString("b").PushInt(0).Raw(kInitObject).PushInt(1).Raw(kInitObject).SetVariable();
         a.PushString("_global").GetVariable().PushString("a").PushString("b").PushString("c").PushString("g");
         a.PushInt(1).Raw(kInitObject).PushInt(1).Raw(kInitObject).Raw(kSetMember);
         a.PushString("a.b.c").GetVariable().Trace();
         a.PushString("a.b.c").PushString("x").SetVariable();
         a.PushString("a.b.c").GetVariable().Trace();
         a.PushString("_global").GetVariable().PushString("a").Raw(kGetMember).PushString("b").Raw(kGetMember);
         a.PushString("c").Raw(kGetMember).Trace();
       },
       {"g", "x", "g"}},
      {"parse_int_prefixes_and_radixes",
       6,
       [](Actions& a) {
         TraceGlobalCall(a, "parseInt", {"077"});
         TraceGlobalCall(a, "parseInt", {" 077"});
         TraceGlobalCall(a, "parseInt", {"-0100z"});
         TraceGlobalCall(a, "parseInt", {"0x1F"});
         TraceGlobalCall(a, "parseInt", {"0x-10"});
         TraceGlobalCall(a, "parseInt", {"-0x10"});
         TraceGlobalCall(a, "parseInt", {"10", "0"});
         TraceGlobalCall(a, "parseInt", {"z", "36"});
         TraceGlobalCall(a, "parseInt", {"11", "3.8"});
         TraceGlobalCall(a, "parseInt", {});
       },
       {"63", "77", "-100", "31", "-16", "NaN", "NaN", "35", "4", "undefined"}},
      {"unescape_reads_plus_as_space_and_drops_broken_escapes",
       6,
       [](Actions& a) {
         TraceGlobalCall(a, "unescape", {"a+b%41%4z%"});
         TraceGlobalCall(a, "unescape", {"%u0041"});
       },
       {"a bA", "0041"}},
      {"watch_decides_the_stored_value_until_unwatched",
       7,
       [](Actions& a) {
         Actions watcher;
         watcher.PushString("n").GetVariable().PushString("old").GetVariable().Add2();
         watcher.PushString("new").GetVariable().Add2().Trace().PushString("w").Raw(kReturn);
         a.DefineFunction("watcher", {"n", "old", "new"}, watcher);
         a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
         a.PushString("watcher").GetVariable().PushString("p").PushInt(2).PushString("o").GetVariable();
         a.PushString("watch").Raw(kCallMethod).Trace();
         a.PushString("o").GetVariable().PushString("p").PushString("x").Raw(kSetMember);
         a.PushString("o").GetVariable().PushString("p").Raw(kGetMember).Trace();
         a.PushString("p").PushInt(1).PushString("o").GetVariable().PushString("unwatch").Raw(kCallMethod).Trace();
         a.PushString("o").GetVariable().PushString("p").PushString("y").Raw(kSetMember);
         a.PushString("o").GetVariable().PushString("p").Raw(kGetMember).Trace();
       },
       {"true", "pundefinedx", "w", "true", "y"}},
      {"function2_preload_skips_a_missing_parent",
       7,
       [](Actions& a) {
         Actions body;
         body.PushRegister(1).Raw(kTypeOf).Trace().PushRegister(2).Raw(kTypeOf).Trace();
         // Suppress this, arguments and super; preload _parent and _global.
         a.DefineFunction2("f", 3, 0x02 | 0x08 | 0x20 | 0x80 | 0x100, {}, body);
         a.PushInt(0).PushString("f").Raw(kCallFunction).Pop();
       },
       {"object", "undefined"}},
      {"a_primitive_this_is_boxed",
       6,
       [](Actions& a) {
         Actions body;
         body.PushString("this").GetVariable().Raw(kTypeOf).Trace();
         body.PushString("this").GetVariable().PushInt(1).Add2().Trace();
         a.DefineFunction("f", {}, body);
         a.PushInt(123).PushInt(1).PushString("f").GetVariable().PushString("call").Raw(kCallMethod).Pop();
       },
       {"object", "124"}},
      {"init_object_with_a_count_beyond_the_stack_takes_nothing",
       6,
       [](Actions& a) { a.PushString("a").PushString("b").PushInt(5).Raw(kInitObject).Trace().Trace().Trace(); },
       {"undefined", "b", "a"}},
      {"an_inherited_getter_without_setter_is_read_only",
       6,
       [](Actions& a) {
         Actions getter;
         getter.PushInt(5).Raw(kReturn);
         a.PushString("proto").PushInt(0).Raw(kInitObject).SetVariable();
         a.PushNull().DefineFunction("", {}, getter).PushString("v").PushInt(3).PushString("proto").GetVariable();
         a.PushString("addProperty").Raw(kCallMethod).Pop();
         a.PushString("o").PushString("__proto__").PushString("proto").GetVariable().PushInt(1).Raw(kInitObject);
         a.SetVariable();
         a.PushString("o").GetVariable().PushString("v").PushInt(10).Raw(kSetMember);
         a.PushString("o").GetVariable().PushString("v").Raw(kGetMember).Trace();
       },
       {"5"}},
      {"math_binary_functions_take_a_missing_argument_as_nan",
       6,
       [](Actions& a) {
         a.PushInt(1).PushInt(1).PushString("Math").GetVariable().PushString("atan2").Raw(kCallMethod).Trace();
         a.PushInt(3).PushInt(2).PushInt(2).PushString("Math").GetVariable().PushString("pow").Raw(kCallMethod).Trace();
         a.PushInt(2).PushUndefined().PushInt(2).PushString("Math").GetVariable().PushString("atan2");
         a.Raw(kCallMethod).Trace();
         a.PushBool(true).PushInt(1).PushString("Math").GetVariable().PushString("pow").Raw(kCallMethod).Trace();
       },
       {"NaN", "8", "0", "1"}},
      {"text_actions_count_utf16_units",
       6,
       [](Actions& a) {
         const std::string smile = "\xF0\x9F\x98\x8B";  // U+1F60B
         a.PushString(smile + "ab").Raw(0x14).Trace();
         a.PushString(smile).Raw(0x32).Trace();
         a.PushInt(65616).Raw(0x33).Trace();
         a.PushInt(0xD801).Raw(0x37).Trace();
       },
       {"4", "65533", "P", "\xEF\xBF\xBD"}},
      {"arguments_caller_is_the_calling_function",
       6,
       [](Actions& a) {
         Actions inner;
         inner.PushString("arguments").GetVariable().PushString("caller").Raw(kGetMember).Raw(kReturn);
         Actions outer;
         outer.PushInt(0).PushString("inner").Raw(kCallFunction).PushString("outer").GetVariable();
         outer.Raw(0x66).Raw(kReturn);  // inner() === outer
         a.DefineFunction("inner", {}, inner).DefineFunction("outer", {}, outer);
         a.PushInt(0).PushString("outer").Raw(kCallFunction).Trace();
         a.PushInt(0).PushString("inner").Raw(kCallFunction).Trace();
       },
       {"true", "null"}},
  };
}

class ScriptMachine : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptMachine, TracesWhatThePlayerPrints) {
  const ScriptCase& c = GetParam();
  Actions actions;
  c.script(actions);
  EXPECT_EQ(TracesOf({actions}, c.version), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptMachine, ::testing::ValuesIn(ScriptCases()),
                         [](const auto& tested) { return tested.param.name; });


// call(frame) runs that frame's actions at once, without going there.
TEST(ScriptCallAction, RunsAnotherFramesActionsInPlace) {
  Actions first;
  first.PushString("2").Raw(0x9E).PushString("after").Trace().Stop();
  Actions second;
  second.PushString("frame two").Trace();
  EXPECT_EQ(TracesOf({first, second}, 6), (std::vector<std::string>{"frame two", "after"}));
}

// Dates read and write the system's local time; getUTC* and Date.UTC stay in UTC.
// The zone is set for the test process: five hours behind UTC in January.
TEST(ScriptDates, FieldsFollowTheSystemsLocalTime) {
  const char* previous = std::getenv("TZ");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("TZ", "EST5EDT", 1);
  ::tzset();
  Actions a;
  // d = new Date(2020, 0, 15, 10, 30): local fields, arguments pushed last first.
  a.PushString("d").PushInt(30).PushInt(10).PushInt(15).PushInt(0).PushInt(2020).PushInt(5).PushString("Date");
  a.Raw(kNewObject).SetVariable();
  for (const char* method : {"getHours", "getUTCHours", "getTimezoneOffset", "getDate"}) {
    a.PushInt(0).PushString("d").GetVariable().PushString(method).Raw(kCallMethod).Trace();
  }
  // Midsummer: daylight saving time, four hours behind.
  a.PushString("s").PushInt(0).PushInt(12).PushInt(1).PushInt(6).PushInt(2020).PushInt(5);
  a.PushString("Date")
      .GetVariable()
      .PushString("UTC")
      .Raw(kCallMethod)
      .PushInt(1)
      .PushString("Date")
      .Raw(kNewObject)
      .SetVariable();
  for (const char* method : {"getHours", "getUTCHours", "getTimezoneOffset"}) {
    a.PushInt(0).PushString("s").GetVariable().PushString(method).Raw(kCallMethod).Trace();
  }
  const std::vector<std::string> lines = TracesOf({a}, 7);
  if (previous != nullptr)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
  EXPECT_EQ(lines, (std::vector<std::string>{"10", "15", "300", "15", "8", "12", "240"}));
}

// Times past the calendar's reach (and infinities) have no date to print.
TEST(ScriptDates, TimesBeyondTheCalendarAreInvalidDates) {
  Actions a;
  for (const double time : {8.64e15, 9e15, -9e15, 1e300}) {
    a.PushString("d").PushDouble(time).PushInt(1).PushString("Date").Raw(kNewObject).SetVariable();
    a.PushInt(0).PushString("d").GetVariable().PushString("toString").Raw(kCallMethod).Trace();
  }
  const std::vector<std::string> lines = TracesOf({a}, 7);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0], "Invalid Date") << "the last representable time is a date";
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{"Invalid Date", "Invalid Date", "Invalid Date"}));
}

// getTimer reads the clock the host gives, counted from the movie's start; without
// one, the frame count at the movie's rate (24 fps here: 2 frames are 83 ms).
TEST(ScriptClock, GetTimerCountsFromTheMoviesStart) {
  MovieBuilder movie(10, 10, 24, 7);
  movie.DoAction(Actions()).ShowFrame();
  movie.DoAction(Actions().PushInt(0).PushString("getTimer").Raw(kCallFunction).Trace()).ShowFrame();
  movie.DoAction(Actions().PushInt(0).PushString("getTimer").Raw(kCallFunction).Trace().Stop()).ShowFrame();
  for (const bool hostClock : {true, false}) {
    SCOPED_TRACE(hostClock ? "the host's clock" : "the frame clock");
    std::vector<std::string> lines;
    double now = 5000;
    MoviePlayer player;
    if (hostClock) player.SetClock([&now] { return now; });
    player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    LoadOrFail(player, movie.Build());
    now += 250;
    player.Advance();
    now += 1000;
    player.Advance();
    const std::vector<std::string> expected =
        hostClock ? std::vector<std::string>{"250", "1250"} : std::vector<std::string>{"41", "83"};
    EXPECT_EQ(lines, expected);
  }
}

// Runaway scripts end without ending the movie: the next frame's script runs.
struct RunawayCase {
  std::string name;
  std::function<void(Actions&)> script;
};

class RunawayScripts : public ::testing::TestWithParam<RunawayCase> {};

TEST_P(RunawayScripts, StopTheBlockAndTheMoviePlaysOn) {
  Actions first;
  GetParam().script(first);
  first.PushString("after the runaway").Trace();
  Actions second;
  second.PushString("next frame").Trace();
  MovieBuilder movie(10, 10, 24, 7);
  movie.DoAction(first).ShowFrame().DoAction(second).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  double seconds = 0;  // a second passes at each reading: the time limit comes quickly
  player.SetScriptTimeLimit(15, [&seconds] { return seconds += 1; });
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  player.Advance();
  EXPECT_EQ(lines, std::vector<std::string>{"next frame"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunawayScripts,
    ::testing::Values(RunawayCase{"endless_loop",
                                  [](Actions& a) {
                                    const int top = a.NewLabel();
                                    a.Bind(top).Jump(top);
                                  }},
                      RunawayCase{"endless_recursion",
                                  [](Actions& a) {
                                    Actions body;
                                    body.PushInt(0).PushString("f").Raw(kCallFunction).Raw(kReturn);
                                    a.DefineFunction("f", {}, body);
                                    a.PushInt(0).PushString("f").Raw(kCallFunction);
                                  }},
                      RunawayCase{"doubling_text",
                                  [](Actions& a) {
                                    const int top = a.NewLabel();
                                    a.PushString("xxxxxxxxxxxxxxxx").Bind(top).Raw(0x4C).Raw(0x4C).Add2().Jump(top);
                                  }}),
    [](const auto& tested) { return tested.param.name; });

// Peak resident memory since the last reset, in KiB (Linux).
long PeakKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

long ResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// A 540-byte movie found by fuzzing once drove the engine past 2 GB in four
// frames; every movie must play them within a small, fixed amount of memory.
TEST(ScriptMemory, FuzzFoundMoviePlaysFourFramesInBoundedMemory) {
  std::ifstream file(std::string(FUZZ_MOVIE_SEEDS) + "/movie_2gb_in_3s", std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 540u);
  std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to the current size
  const long before = ResidentKib();
  {
    MoviePlayer player;
    std::size_t traced = 0;
    player.SetTraceSink([&traced](std::string_view line) { traced += line.size(); });
    ASSERT_TRUE(player.Load(bytes));
    for (int i = 0; i < 4; ++i) player.Advance();
  }
  const long peak = PeakKib();
  ASSERT_GT(before, 0);
  EXPECT_LT(peak - before, 256 * 1024) << "peak " << peak << " KiB, before " << before << " KiB";
}

}  // namespace
}  // namespace swf::testing
