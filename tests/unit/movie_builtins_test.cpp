// Rules of the built-in objects that depend on the movie's version or that
// the platform keeps in a form of its own: version flags of ASSetPropFlags,
// the numbered built-ins (ASnative), comparisons of objects, the display
// properties scripts set, the log line of an uncaught exception.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_text.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallFunction = 0x3D;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kNewObject = 0x40;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kTypeOf = 0x44;
constexpr std::uint8_t kLess2 = 0x48;
constexpr std::uint8_t kThrow = 0x2A;
constexpr std::uint8_t kReturn = 0x3E;
constexpr std::uint8_t kEnumerate2 = 0x55;
constexpr std::uint8_t kSetProperty = 0x23;
constexpr std::uint8_t kGetProperty = 0x22;
constexpr std::uint8_t kPushDuplicate = 0x4C;
constexpr std::uint8_t kEquals2 = 0x49;

// name(args...) with the arguments pushed last first; leaves the result.
void Call(Actions& a, std::string_view function, const std::function<void(Actions&)>& pushArgsReversed, int count) {
  pushArgsReversed(a);
  a.PushInt(count).PushString(function).Raw(kCallFunction);
}

// o = {prop: 1}
void MakeObjectWithProp(Actions& a) {
  a.PushString("o").PushString("prop").PushInt(1).PushInt(1).Raw(kInitObject).SetVariable();
}

void TraceMember(Actions& a, std::string_view object, std::string_view member) {
  a.PushString(object).GetVariable().PushString(member).Raw(kGetMember).Trace();
}

// ---------------------------------------------------------------------------
// ASSetPropFlags version flags: hidden below the version each one names.

struct VersionFlagCase {
  int flag;
  int version;
  bool hidden;
};

class VersionFlags : public ::testing::TestWithParam<VersionFlagCase> {};

TEST_P(VersionFlags, HideThePropertyFromOlderMoviesOnly) {
  const VersionFlagCase& c = GetParam();
  Actions a;
  MakeObjectWithProp(a);
  Call(
      a, "ASSetPropFlags",
      [&c](Actions& b) { b.PushInt(0).PushInt(c.flag).PushString("prop").PushString("o").GetVariable(); }, 4);
  a.Pop();
  TraceMember(a, "o", "prop");
  // Still the object's own property.
  a.PushString("prop").PushInt(1).PushString("o").GetVariable().PushString("hasOwnProperty").Raw(kCallMethod).Trace();
  const std::vector<std::string> expected{c.hidden ? "undefined" : "1", "true"};
  EXPECT_EQ(TracesOf(a, c.version), expected) << "flag " << c.flag << " in version " << c.version;
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionFlags,
                         ::testing::Values(VersionFlagCase{0x80, 5, true}, VersionFlagCase{0x80, 6, false},
                                           VersionFlagCase{0x100, 6, true}, VersionFlagCase{0x100, 7, false},
                                           VersionFlagCase{0x400, 7, true}, VersionFlagCase{0x400, 8, false},
                                           VersionFlagCase{0x1000, 7, true}, VersionFlagCase{0x1000, 8, false},
                                           VersionFlagCase{0x2000, 8, true}, VersionFlagCase{0x4000, 8, true},
                                           VersionFlagCase{0x200, 6, false}, VersionFlagCase{0x800, 6, false},
                                           VersionFlagCase{1, 5, false}),
                         [](const auto& tested) {
                           return "flag" + std::to_string(tested.param.flag) + "_v" +
                                  std::to_string(tested.param.version);
                         });

// ---------------------------------------------------------------------------
// Frame scripts and the lines they print.

struct BuiltinCase {
  std::string name;
  int version;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

// ASnative(category, index) called with one text argument and traced.
void TraceNative(Actions& a, int category, int index, std::string_view argument) {
  a.PushString(argument).PushInt(1);
  Call(a, "ASnative", [&](Actions& b) { b.PushInt(index).PushInt(category); }, 2);
  a.PushUndefined().Raw(kCallMethod).Trace();
}

// An object whose valueOf returns `number`, stored as `name`.
void MakeValueOf(Actions& a, std::string_view name, int number) {
  Actions body;
  body.PushInt(number).Raw(kReturn);
  a.PushString(name).PushString("valueOf");
  a.DefineFunction("", {}, body);
  a.PushInt(1).Raw(kInitObject).SetVariable();
}

std::vector<BuiltinCase> BuiltinCases() {
  return {
      {"hidden_property_is_replaced_by_a_write", 6,
       [](Actions& a) {
         MakeObjectWithProp(a);
         Call(a, "ASSetPropFlags", [](Actions& b) { b.PushInt(0x2000).PushString("prop").PushString("o").GetVariable(); },
              3);
         a.Pop();
         a.PushString("o").GetVariable().PushString("prop").PushString("new").Raw(kSetMember);
         TraceMember(a, "o", "prop");
       },
       {"new"}},
      {"asnative_escape_unescape_and_math", 6,
       [](Actions& a) {
         TraceNative(a, 100, 0, "&");
         TraceNative(a, 100, 1, "%26");
         TraceNative(a, 200, 0, "-3");
         TraceNative(a, 200, 99, "1");  // Math knows no such index: NaN
       },
       {"%26", "&", "3", "NaN"}},
      {"asnative_needs_two_arguments_of_a_known_category", 6,
       [](Actions& a) {
         Call(a, "ASnative", [](Actions& b) { b.PushInt(100); }, 1);
         a.Raw(kTypeOf).Trace();
         Call(a, "ASnative", [](Actions& b) { b.PushInt(0).PushInt(0).PushInt(100); }, 3);
         a.Raw(kTypeOf).Trace();
         Call(a, "ASnative", [](Actions& b) { b.PushInt(0).PushInt(7); }, 2);
         a.Raw(kTypeOf).Trace();
         Call(a, "ASnative", [](Actions& b) { b.PushString("0").PushString("100"); }, 2);
         a.Raw(kTypeOf).Trace();
       },
       {"undefined", "undefined", "undefined", "function"}},
      {"assetnative_version_prefixes", 6,
       [](Actions& a) {
         a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
         Call(a, "ASSetNative",
              [](Actions& b) { b.PushString("abs,6min,7max,3x").PushInt(200).PushString("o").GetVariable(); }, 3);
         a.Pop();
         for (const char* name : {"abs", "min", "max", "3x"}) {
           a.PushString("o").GetVariable().PushString(name).Raw(kGetMember).Raw(kTypeOf).Trace();
         }
       },
       {"function", "function", "undefined", "function"}},
      {"less_than_an_object_that_stays_an_object_is_false", 6,
       [](Actions& a) {
         a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
         a.PushString("o").GetVariable().PushInt(0).Raw(kLess2).Trace();
         a.PushInt(0).PushString("o").GetVariable().Raw(kLess2).Trace();
         MakeValueOf(a, "v", 1);
         a.PushString("v").GetVariable().PushInt(2).Raw(kLess2).Trace();
         // A clip is no number: the comparison is undefined.
         a.PushString("this").GetVariable().PushInt(2).Raw(kLess2).Trace();
       },
       {"false", "false", "true", "undefined"}},
      {"uncaught_exception_is_logged", 7,
       [](Actions& a) {
         a.PushString("before").Trace();
         a.PushString("boom").Raw(kThrow);
         a.PushString("after").Trace();
       },
       {"before", "Warning: Uncaught exception, boom"}},
      {"object_called_without_new_has_no_prototype", 8,
       [](Actions& a) {
         Call(a, "Object", [](Actions&) {}, 0);
         a.Trace();
         a.PushInt(0).PushString("Object").Raw(kNewObject).Trace();
       },
       {"[type Object]", "[object Object]"}},
      {"register_class_takes_a_function_or_null", 7,
       [](Actions& a) {
         const auto registerClass = [&a](const std::function<void(Actions&)>& args, int count) {
           args(a);
           a.PushInt(count).PushString("Object").GetVariable().PushString("registerClass").Raw(kCallMethod).Trace();
         };
         registerClass([](Actions& b) { b.PushString("x"); }, 1);
         registerClass([](Actions& b) { b.PushInt(12).PushString("x"); }, 2);
         registerClass([](Actions& b) { b.PushNull().PushString("x"); }, 2);
         registerClass([](Actions& b) { b.PushString("Object").GetVariable().PushString("x"); }, 2);
       },
       {"false", "false", "true", "true"}},
      {"is_finite_without_an_argument", 6,
       [](Actions& a) {
         Call(a, "isFinite", [](Actions&) {}, 0);
         a.Trace();
         Call(a, "isFinite", [](Actions& b) { b.PushUndefined(); }, 1);
         a.Trace();
       },
       {"false", "true"}},
      {"for_in_lists_the_prototypes_names_first", 7,
       [](Actions& a) {
         // p = {x: 1}; o = {y: 2, __proto__: p}
         a.PushString("p").PushString("x").PushInt(1).PushInt(1).Raw(kInitObject).SetVariable();
         a.PushString("o").PushString("y").PushInt(2).PushInt(1).Raw(kInitObject).SetVariable();
         a.PushString("o").GetVariable().PushString("__proto__").PushString("p").GetVariable().Raw(kSetMember);
         const int loop = a.NewLabel();
         const int done = a.NewLabel();
         a.PushString("o").GetVariable().Raw(kEnumerate2);
         a.Bind(loop).Raw(kPushDuplicate).PushNull().Raw(kEquals2).If(done).Trace().Jump(loop);
         a.Bind(done).Pop();
       },
       {"x", "y"}},
  };
}

class Builtins : public ::testing::TestWithParam<BuiltinCase> {};

TEST_P(Builtins, TraceWhatThePlayerPrints) {
  const BuiltinCase& c = GetParam();
  Actions actions;
  c.script(actions);
  EXPECT_EQ(TracesOf(actions, c.version), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Builtins, ::testing::ValuesIn(BuiltinCases()),
                         [](const auto& tested) { return tested.param.name; });

// ---------------------------------------------------------------------------
// Display properties set with SetProperty on the root and read back: the
// property is first set to `before`, then to the value.

struct PropertyCase {
  std::string name;
  int version;
  int property;  // SetProperty index
  double before;
  std::function<void(Actions&)> pushValue;
  std::string expected;
};

std::vector<PropertyCase> PropertyCases() {
  const double inf = std::numeric_limits<double>::infinity();
  return {
      {"x_infinite_is_the_lowest_twips", 6, 0, 1, [inf](Actions& a) { a.PushDouble(inf); }, "-107374182.4"},
      {"x_text_that_is_no_number_keeps_it", 6, 0, 1, [](Actions& a) { a.PushString("10x"); }, "1"},
      {"x_undefined_keeps_it_before_version_7", 5, 0, 1, [](Actions& a) { a.PushUndefined(); }, "1"},
      {"xscale_keeps_its_sign", 6, 2, 100, [](Actions& a) { a.PushInt(-5); }, "-5"},
      {"yscale_infinite", 6, 3, 100, [inf](Actions& a) { a.PushDouble(-inf); }, "-Infinity"},
      {"rotation_after_scale_zero", 6, 10, 0, [](Actions& a) { a.PushInt(30); }, "30"},
      {"rotation_wraps_into_half_turns", 6, 10, 0, [](Actions& a) { a.PushInt(270); }, "-90"},
      {"alpha_in_256ths", 6, 6, 100, [](Actions& a) { a.PushInt(2); }, "1.953125"},
      {"alpha_infinite_is_zero", 6, 6, 100, [inf](Actions& a) { a.PushDouble(inf); }, "0"},
      {"visible_text_that_is_no_number_keeps_it", 6, 7, 1, [](Actions& a) { a.PushString("abc"); }, "true"},
      {"highquality_above_one_is_best", 6, 16, 0, [](Actions& a) { a.PushInt(10); }, "2"},
      {"highquality_negative_is_high", 6, 16, 0, [](Actions& a) { a.PushInt(-5); }, "1"},
      {"soundbuftime_whole_seconds", 6, 18, 0, [](Actions& a) { a.PushDouble(1.5); }, "1"},
      {"soundbuftime_infinite", 6, 18, 0, [inf](Actions& a) { a.PushDouble(inf); }, "-2147483648"},
      {"focusrect_number_before_version_6", 5, 17, 0, [](Actions& a) { a.PushInt(2); }, "1"},
      {"focusrect_boolean_from_version_6", 7, 17, 0, [](Actions& a) { a.PushInt(2); }, "true"},
      {"name_of_a_number", 6, 13, 0, [](Actions& a) { a.PushDouble(1.5); }, "1.5"},
      {"name_nan_from_version_7", 7, 13, 1, [](Actions& a) { a.PushDouble(std::nan("")); }, "0"},
  };
}

class DisplayProperties : public ::testing::TestWithParam<PropertyCase> {};

TEST_P(DisplayProperties, ReadBackAsThePlayerKeepsThem) {
  const PropertyCase& c = GetParam();
  Actions a;
  if (c.property == 10) {  // the rotation test starts from a scale of 0
    a.PushString("").PushInt(2).PushInt(0).Raw(kSetProperty);
  }
  a.PushString("").PushInt(c.property).PushDouble(c.before).Raw(kSetProperty);
  a.PushString("").PushInt(c.property);
  c.pushValue(a);
  a.Raw(kSetProperty);
  a.PushString("").PushInt(c.property).Raw(kGetProperty).Trace();
  EXPECT_EQ(TracesOf(a, c.version), std::vector<std::string>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayProperties, ::testing::ValuesIn(PropertyCases()),
                         [](const auto& tested) { return tested.param.name; });

// ---------------------------------------------------------------------------
// Names before version 7: one letter case beyond ASCII too.

struct FoldCase {
  std::string name;
  std::string text;
  std::string folded;
};

class NameCase : public ::testing::TestWithParam<FoldCase> {};

TEST_P(NameCase, FoldsAsThePlayerComparesNames) { EXPECT_EQ(FoldNameCase(GetParam().text), GetParam().folded); }

INSTANTIATE_TEST_SUITE_P(
    Cases, NameCase,
    ::testing::Values(FoldCase{"ascii", "FoO_1", "foo_1"}, FoldCase{"latin1", "\xC3\x84x", "\xC3\xA4x"},
                      FoldCase{"latin1_times_sign_stays", "\xC3\x97", "\xC3\x97"},
                      FoldCase{"cyrillic", "\xD3\xA4", "\xD3\xA5"},
                      FoldCase{"digraphs_fold_together", "\xC7\xB1\xC7\xB2", "\xC7\xB3\xC7\xB3"},
                      FoldCase{"greek", "\xCE\xA3", "\xCF\x83"},
                      FoldCase{"later_letters_stay", "\xC8\xBA\xCF\xB7", "\xC8\xBA\xCF\xB7"},
                      FoldCase{"broken_sequence_stays", "A\xC3", "a\xC3"},
                      FoldCase{"beyond_the_plane_stays", "\xF0\x9F\x98\x8B", "\xF0\x9F\x98\x8B"}),
    [](const auto& tested) { return tested.param.name; });

TEST(NameCase, SwfSixNamesMatchAcrossCaseAndSevenKeepsThemApart) {
  for (const int version : {6, 7}) {
    Actions a;
    a.PushString("\xC3\x84").PushString("test").SetVariable();
    a.PushString("\xC3\xA4").GetVariable().Trace();
    const std::vector<std::string> expected{version < 7 ? "test" : "undefined"};
    EXPECT_EQ(TracesOf(a, version), expected) << "version " << version;
  }
}

}  // namespace
}  // namespace swf::testing
