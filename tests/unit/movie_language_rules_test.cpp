// Rules of the language and its built-in classes, as the player's own movies
// show them: Date's fields and copies, what __proto__ may hold, how deep
// watchers run, the globals each version sees and BlurFilter's members.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
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
constexpr std::uint8_t kNewMethod = 0x53;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kTypeOf = 0x44;
constexpr std::uint8_t kDelete = 0x3A;
constexpr std::uint8_t kIncrement = 0x50;
constexpr std::uint8_t kReturn = 0x3E;
constexpr std::uint8_t kSubtract = 0x0B;
constexpr std::uint8_t kInitArray = 0x42;

using Push = std::function<void(Actions&)>;

void Var(Actions& a, std::string_view name) { a.PushString(name).GetVariable(); }

void Member(Actions& a, std::string_view object, std::string_view name) {
  Var(a, object);
  a.PushString(name).Raw(kGetMember);
}

void SetMember(Actions& a, std::string_view object, std::string_view name, const Push& value) {
  Var(a, object);
  a.PushString(name);
  value(a);
  a.Raw(kSetMember);
}

// object.method(args...), the arguments pushed last first; leaves the result.
void CallMethod(Actions& a, const Push& object, std::string_view method, const Push& argsReversed, int count) {
  argsReversed(a);
  a.PushInt(count);
  object(a);
  a.PushString(method).Raw(kCallMethod);
}

// name = new Constructor(args...)
void NewAs(Actions& a, std::string_view name, std::string_view constructor, const Push& argsReversed, int count) {
  a.PushString(name);
  argsReversed(a);
  a.PushInt(count).PushString(constructor).Raw(kNewObject).SetVariable();
}

// name = {}
void NewEmpty(Actions& a, std::string_view name) { a.PushString(name).PushInt(0).Raw(kInitObject).SetVariable(); }

void TraceMember(Actions& a, std::string_view object, std::string_view name) {
  Member(a, object, name);
  a.Trace();
}

void TraceDateMethod(Actions& a, std::string_view date, std::string_view method) {
  CallMethod(a, [date](Actions& b) { Var(b, date); }, method, [](Actions&) {}, 0);
  a.Trace();
}

Push Number(double value) {
  return [value](Actions& b) { b.PushDouble(value); };
}

struct RuleCase {
  const char* name;
  int version;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

std::vector<RuleCase> RuleCases() {
  return {
      {"date_made_from_a_date_copies_its_time", 7,
       [](Actions& a) {
         NewAs(a, "d", "Date", Number(981152406000), 1);
         NewAs(a, "e", "Date", [](Actions& b) { Var(b, "d"); }, 1);
         TraceDateMethod(a, "e", "getTime");
       },
       {"981152406000"}},
      {"date_fields_are_whole_numbers", 7,
       [](Actions& a) {
         NewAs(a, "d", "Date", Number(5.5), 1);
         TraceDateMethod(a, "d", "getUTCMilliseconds");
         TraceDateMethod(a, "d", "getTime");
       },
       {"5", "5.5"}},
      {"date_parts_count_as_whole_numbers", 7,
       [](Actions& a) {
         CallMethod(
             a, [](Actions& b) { Var(b, "Date"); }, "UTC",
             [](Actions& b) { b.PushDouble(1.9).PushDouble(0.5).PushDouble(2000.7); }, 3);
         a.Trace();
       },
       {"946684800000"}},
      {"date_years_below_a_hundred_count_from_1900", 7,
       [](Actions& a) {
         CallMethod(a, [](Actions& b) { Var(b, "Date"); }, "UTC", [](Actions& b) { b.PushInt(0).PushInt(-2); }, 2);
         a.Trace();
         CallMethod(a, [](Actions& b) { Var(b, "Date"); }, "UTC", [](Actions& b) { b.PushInt(0).PushInt(70); }, 2);
         a.Trace();
       },
       {"-2272060800000", "0"}},
      {"date_set_past_the_last_day_is_no_time", 7,
       [](Actions& a) {
         NewAs(a, "d", "Date", Number(0), 1);
         CallMethod(a, [](Actions& b) { Var(b, "d"); }, "setTime", Number(8.64e15), 1);
         a.Trace();
         CallMethod(a, [](Actions& b) { Var(b, "d"); }, "setUTCMilliseconds", Number(1), 1);
         a.Trace();
       },
       {"8.64e+15", "NaN"}},
      {"date_of_no_time_takes_only_a_new_year", 7,
       [](Actions& a) {
         NewAs(a, "d", "Date", Number(std::numeric_limits<double>::quiet_NaN()), 1);
         CallMethod(a, [](Actions& b) { Var(b, "d"); }, "setUTCMilliseconds", Number(23), 1);
         a.Trace();
         CallMethod(a, [](Actions& b) { Var(b, "d"); }, "setUTCFullYear", Number(1970), 1);
         a.Trace();
       },
       {"NaN", "0"}},
      {"date_of_endless_time_reads_fields_above_the_lowest_integer", 7,
       [](Actions& a) {
         NewAs(a, "d", "Date", Number(std::numeric_limits<double>::infinity()), 1);
         TraceDateMethod(a, "d", "getUTCMilliseconds");
         TraceDateMethod(a, "d", "getFullYear");
         TraceDateMethod(a, "d", "getMonth");
         TraceDateMethod(a, "d", "getTimezoneOffset");
       },
       {"-2147482648", "-2147481678", "0", "NaN"}},
      {"proto_holds_a_primitive_and_cuts_the_chain", 6,
       [](Actions& a) {
         NewEmpty(a, "o");
         SetMember(a, "o", "__proto__", Number(123));
         TraceMember(a, "o", "__proto__");
         Member(a, "o", "__proto__");
         a.Raw(kTypeOf).Trace();
         Member(a, "o", "toString");
         a.Raw(kTypeOf).Trace();
         SetMember(a, "o", "__proto__", [](Actions& b) { b.PushNull(); });
         TraceMember(a, "o", "__proto__");
       },
       {"123", "number", "undefined", "null"}},
      {"deleted_proto_reads_undefined_but_the_chain_stays", 7,
       [](Actions& a) {
         NewEmpty(a, "o");
         Var(a, "o");
         a.PushString("__proto__").Raw(kDelete).Trace();
         TraceMember(a, "o", "__proto__");
         Member(a, "o", "toString");
         a.Raw(kTypeOf).Trace();
       },
       {"true", "undefined", "function"}},
      {"setting_proto_runs_its_watcher", 7,
       [](Actions& a) {
         NewEmpty(a, "o");
         Actions watcher;
         watcher.PushString("watched").Trace();
         watcher.PushString("value").GetVariable().Raw(kReturn);
         CallMethod(
             a, [](Actions& b) { Var(b, "o"); }, "watch",
             [&watcher](Actions& b) { b.DefineFunction("", {"name", "old", "value"}, watcher).PushString("__proto__"); },
             2);
         a.Pop();
         NewEmpty(a, "p");
         SetMember(a, "o", "__proto__", [](Actions& b) { Var(b, "p"); });
         Member(a, "o", "__proto__");
         Var(a, "p");
         a.Equals2().Trace();
       },
       {"watched", "true"}},
      {"a_watcher_setting_its_own_property_runs_65_deep", 7,
       [](Actions& a) {
         a.PushString("count").PushInt(0).SetVariable();
         NewEmpty(a, "o");
         // function (name, old, value) { count++; this.p = value + 1; return value; }
         Actions watcher;
         watcher.PushString("count").PushString("count").GetVariable().Raw(kIncrement).SetVariable();
         watcher.PushString("this").GetVariable().PushString("p");
         watcher.PushString("value").GetVariable().PushInt(1).Add2().Raw(kSetMember);
         watcher.PushString("value").GetVariable().Raw(kReturn);
         CallMethod(
             a, [](Actions& b) { Var(b, "o"); }, "watch",
             [&watcher](Actions& b) { b.DefineFunction("", {"name", "old", "value"}, watcher).PushString("p"); }, 2);
         a.Pop();
         SetMember(a, "o", "p", Number(0));
         Var(a, "count");
         a.Trace();
         TraceMember(a, "o", "p");
       },
       {"65", "0"}},
      {"a_getter_too_deep_reads_what_the_setter_was_given", 7,
       [](Actions& a) {
         NewEmpty(a, "o");
         // get: return this.p; set: this.p = "f" (each runs into itself)
         Actions getter;
         getter.PushString("this").GetVariable().PushString("p").Raw(kGetMember).Raw(kReturn);
         Actions setter;
         setter.PushString("this").GetVariable().PushString("p").PushString("f").Raw(kSetMember);
         CallMethod(
             a, [](Actions& b) { Var(b, "o"); }, "addProperty",
             [&getter, &setter](Actions& b) {
               b.DefineFunction("", {"value"}, setter).DefineFunction("", {}, getter).PushString("p");
             },
             3);
         a.Pop();
         TraceMember(a, "o", "p");
         SetMember(a, "o", "p", [](Actions& b) { b.PushString("b"); });
         TraceMember(a, "o", "p");
       },
       {"undefined", "b"}},
      {"a_property_counts_its_getter_and_setter_depth_together", 7,
       [](Actions& a) {
         a.PushString("calls").PushInt(0).SetVariable();
         NewEmpty(a, "o");
         // get: calls++; this.p = 1; return 0. set: calls++; return this.p.
         Actions count;
         count.PushString("calls").PushString("calls").GetVariable().Raw(kIncrement).SetVariable();
         Actions getter = count;
         getter.PushString("this").GetVariable().PushString("p").PushInt(1).Raw(kSetMember);
         getter.PushInt(0).Raw(kReturn);
         Actions setter = count;
         setter.PushString("this").GetVariable().PushString("p").Raw(kGetMember).Raw(kReturn);
         CallMethod(
             a, [](Actions& b) { Var(b, "o"); }, "addProperty",
             [&getter, &setter](Actions& b) {
               b.DefineFunction("", {"value"}, setter).DefineFunction("", {}, getter).PushString("p");
             },
             3);
         a.Pop();
         SetMember(a, "o", "p", Number(1));
         Var(a, "calls");
         a.Trace();
       },
       {"65"}},
      {"sort_compares_against_the_first_element_of_each_range", 7,
       [](Actions& a) {
         // [3, 1, 2].sort(function (x, y) { trace(x + ":" + y); return x - y; })
         Actions compare;
         compare.PushString("x").GetVariable().PushString(":").Add2().PushString("y").GetVariable().Add2().Trace();
         compare.PushString("x").GetVariable().PushString("y").GetVariable().Raw(kSubtract).Raw(kReturn);
         a.DefineFunction("", {"x", "y"}, compare).PushInt(1);
         a.PushInt(2).PushInt(1).PushInt(3).PushInt(3).Raw(kInitArray);
         a.PushString("sort").Raw(kCallMethod).Trace();
       },
       {"3:1", "3:2", "2:1", "1,2,3"}},
      {"a_watcher_does_not_run_the_getter_for_the_old_value", 7,
       [](Actions& a) {
         NewEmpty(a, "o");
         Actions getter;
         getter.PushString("getter").Trace().PushInt(1).Raw(kReturn);
         CallMethod(
             a, [](Actions& b) { Var(b, "o"); }, "addProperty",
             [&getter](Actions& b) { b.PushNull().DefineFunction("", {}, getter).PushString("p"); }, 3);
         a.Pop();
         Actions watcher;
         watcher.PushString("old").GetVariable().Trace();
         watcher.PushString("value").GetVariable().Raw(kReturn);
         CallMethod(
             a, [](Actions& b) { Var(b, "o"); }, "watch",
             [&watcher](Actions& b) { b.DefineFunction("", {"name", "old", "value"}, watcher).PushString("p"); }, 2);
         a.Pop();
         SetMember(a, "o", "p", Number(5));
       },
       {"undefined"}},
      {"version_8_globals_hidden_from_version_7", 7,
       [](Actions& a) {
         for (const char* name : {"flash", "CustomActions", "XMLUI"}) {
           Var(a, name);
           a.Raw(kTypeOf).Trace();
         }
         Member(a, "AsBroadcaster", "prototype");
         a.Raw(kTypeOf).Trace();
       },
       {"undefined", "undefined", "undefined", "object"}},
      {"version_8_globals_seen_by_version_8", 8,
       [](Actions& a) {
         for (const char* name : {"flash", "CustomActions"}) {
           Var(a, name);
           a.Raw(kTypeOf).Trace();
         }
       },
       {"object", "object"}},
      {"blur_filter_keeps_its_numbers_in_range_and_once", 8,
       [](Actions& a) {
         const Push filters = [](Actions& b) { Member(b, "flash", "filters"); };
         a.PushString("f").PushDouble(3.7).PushInt(300).PushInt(10).PushInt(3);
         filters(a);
         a.PushString("BlurFilter").Raw(kNewMethod).SetVariable();
         for (const char* name : {"blurX", "blurY", "quality"}) TraceMember(a, "f", name);
         // Calling the constructor on a filter again changes nothing.
         CallMethod(
             a,
             [&filters](Actions& b) {
               filters(b);
               b.PushString("BlurFilter").Raw(kGetMember);
             },
             "call",
             [](Actions& b) {
               b.PushInt(1).PushInt(1);
               Var(b, "f");
             },
             3);
         a.Pop();
         TraceMember(a, "f", "blurX");
         SetMember(a, "f", "blurX", Number(-4));
         TraceMember(a, "f", "blurX");
         // An object that inherits the members but was never made a filter.
         NewEmpty(a, "o");
         SetMember(a, "o", "__proto__", [&filters](Actions& b) {
           filters(b);
           b.PushString("BlurFilter").Raw(kGetMember).PushString("prototype").Raw(kGetMember);
         });
         TraceMember(a, "o", "blurX");
       },
       {"10", "255", "3", "10", "0", "undefined"}},
      {"external_values_read_from_node_shaped_objects", 8,
       [](Actions& a) {
         const Push external = [](Actions& b) {
           Member(b, "flash", "external");
           b.PushString("ExternalInterface").Raw(kGetMember);
         };
         const auto toAS = [&a, &external](const char* nodeName, const char* firstChild) {
           NewEmpty(a, "o");
           SetMember(a, "o", "nodeName", [nodeName](Actions& b) { b.PushString(nodeName); });
           if (firstChild) SetMember(a, "o", "firstChild", [firstChild](Actions& b) { b.PushString(firstChild); });
           CallMethod(a, external, "_toAS", [](Actions& b) { Var(b, "o"); }, 1);
           a.Trace();
         };
         toAS("number", " -2.1");
         toAS("number", "-2.1 ");
         toAS("number", "Infinity");
         toAS("true", nullptr);
         toAS("TRUE", nullptr);
         toAS("string", nullptr);
         toAS("null", nullptr);
         CallMethod(a, external, "_arrayToAS", [](Actions& b) { b.PushInt(4); }, 1);
         a.PushString("length").Raw(kGetMember).Trace();
       },
       {"-2.1", "NaN", "NaN", "true", "undefined", "undefined", "null", "0"}},
  };
}

class LanguageRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(LanguageRules, TraceWhatThePlayerPrints) {
  const RuleCase& c = GetParam();
  Actions actions;
  c.script(actions);
  EXPECT_EQ(TracesOf(actions, c.version), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LanguageRules, ::testing::ValuesIn(RuleCases()),
                         [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace swf::testing
