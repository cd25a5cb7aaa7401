// What the interpreter's fast paths must keep: values share their texts
// without one value's change showing in another, literal texts made once for
// their place in the code stay what the code says, and the shortcuts of
// variable lookup (clips asked for display properties only by names that can
// be one, an object's own property found before its prototypes') give what
// the full lookup gave.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "script/value.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

// Shared texts ----------------------------------------------------------

TEST(SharedTextTest, CopiesShareTheCharactersAndCompareByThem) {
  const SharedText text("loop");
  const SharedText copy = text;  // NOLINT: the copy is what is tested
  EXPECT_EQ(copy.data(), text.data());
  EXPECT_EQ(copy, text);
  EXPECT_EQ(copy, "loop");
  EXPECT_EQ(copy, std::string("loop"));
  EXPECT_EQ(copy, std::string_view("loop"));
  EXPECT_FALSE(copy == "loops");
  // Made apart from the same characters: equal all the same.
  EXPECT_EQ(SharedText(std::string("loop")), text);
  EXPECT_EQ(copy.size(), 4u);
}

TEST(SharedTextTest, EmptyTextsHoldNothing) {
  for (const SharedText& text : {SharedText(), SharedText(""), SharedText(std::string()), SharedText("x")}) {
    const bool empty = text.size() == 0;
    EXPECT_EQ(text.empty(), empty);
    EXPECT_EQ(text.str().empty(), empty);
    EXPECT_EQ(text == SharedText(), empty);
  }
}

TEST(SharedTextTest, TakingMovesOnlyWhatNoOtherValueShares) {
  SharedText alone(std::string(100, 'a'));
  const char* const characters = alone.data();
  const std::string taken = std::move(alone).Take();
  EXPECT_EQ(taken, std::string(100, 'a'));
  EXPECT_EQ(taken.data(), characters);  // moved, not copied

  SharedText shared(std::string(100, 'b'));
  const SharedText other = shared;
  std::string copied = std::move(shared).Take();
  copied += "c";
  EXPECT_EQ(other, std::string(100, 'b'));
  EXPECT_EQ(copied.size(), 101u);
}

TEST(SharedTextTest, AssignmentReleasesTheOldTextAndKeepsTheNew) {
  SharedText a("first");
  SharedText b("second");
  a = b;
  EXPECT_EQ(a, "second");
  b = SharedText("third");
  EXPECT_EQ(a, "second");
  EXPECT_EQ(b, "third");
  a = a;  // NOLINT: self-assignment must keep the text
  EXPECT_EQ(a, "second");
  SharedText moved = std::move(b);
  EXPECT_EQ(moved, "third");
}

struct ConversionCase {
  const char* name;
  Value value;
  int version;
  std::string text;
  double number;  // NaN: not a number
  bool truth;
};

class TextValueConversions : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(TextValueConversions, ConvertAsTheirCharactersDo) {
  const ConversionCase& c = GetParam();
  EXPECT_EQ(ToString(c.value, c.version), c.text);
  const double number = ToNumber(c.value, c.version);
  if (std::isnan(c.number)) {
    EXPECT_TRUE(std::isnan(number)) << number;
  } else {
    EXPECT_EQ(number, c.number);
  }
  EXPECT_EQ(ToBoolean(c.value, c.version), c.truth);
}

const double kNaN = std::nan("");

INSTANTIATE_TEST_SUITE_P(
    Values, TextValueConversions,
    ::testing::Values(ConversionCase{"Number", Value{SharedText("12.5")}, 7, "12.5", 12.5, true},
                      ConversionCase{"Word", Value{std::string("abc")}, 7, "abc", kNaN, true},
                      ConversionCase{"EmptyVersion7", Value{SharedText()}, 7, "", kNaN, false},
                      ConversionCase{"EmptyVersion6", Value{SharedText("")}, 6, "", kNaN, false},
                      ConversionCase{"ZeroVersion6", Value{SharedText("0")}, 6, "0", 0, false},
                      ConversionCase{"LeadingNumberVersion4", Value{SharedText("7up")}, 4, "7up", 7, true}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(SharedTextValueTest, ValuesCompareTextsByCharacters) {
  const Value a{SharedText("same")};
  const Value b{std::string("same")};
  EXPECT_EQ(a, b);
  EXPECT_TRUE(LooselyEqual(a, b, 7));
  EXPECT_FALSE(LooselyEqual(a, Value{SharedText("Same")}, 7));
  EXPECT_TRUE(LooselyEqual(Value{SharedText("3")}, Value{3.0}, 7));
}

// Literal texts in running code ------------------------------------------

constexpr std::uint8_t kCallFunction = 0x3D;
constexpr std::uint8_t kReturn = 0x3E;
constexpr std::uint8_t kIncrement = 0x50;
constexpr std::uint8_t kLess2 = 0x48;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kNewObject = 0x40;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kStringExtract = 0x15;
constexpr std::uint8_t kMultiply = 0x0C;

// for (n = 0; n < times; n++) { body }
void Loop(Actions& a, int times, const std::function<void(Actions&)>& body) {
  a.PushString("n").PushInt(0).SetVariable();
  const int loop = a.NewLabel();
  const int done = a.NewLabel();
  a.Bind(loop).PushString("n").GetVariable().PushInt(times).Raw(kLess2).Not().If(done);
  body(a);
  a.PushString("n").PushString("n").GetVariable().Raw(kIncrement).SetVariable();
  a.Jump(loop).Bind(done);
}

struct LiteralCase {
  const char* name;
  int version;
  std::function<void(Actions&)> build;
  std::vector<std::string> expected;
};

class LiteralTexts : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(LiteralTexts, StayWhatTheCodeSaysOnEveryRun) {
  const LiteralCase& c = GetParam();
  Actions a;
  c.build(a);
  EXPECT_EQ(TracesOf(a, c.version), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pushes, LiteralTexts,
    ::testing::Values(
        // StringAdd takes its left text off the stack and appends to it: the
        // literal it was pushed from must not grow with it.
        LiteralCase{"AppendedToInALoop", 7,
                    [](Actions& a) {
                      Loop(a, 3, [](Actions& b) { b.PushString("ab").PushString("c").StringAdd().Trace(); });
                    },
                    {"abc", "abc", "abc"}},
        // A variable holding the literal keeps it while the loop builds on it.
        LiteralCase{"StoredThenExtended", 7,
                    [](Actions& a) {
                      a.SetVariable("t", "");
                      Loop(a, 3, [](Actions& b) {
                        b.PushString("t").PushString("t").GetVariable().PushString("x").StringAdd().SetVariable();
                        b.PushString("t").GetVariable().Trace();
                      });
                    },
                    {"x", "xx", "xxx"}},
        // A cut of the literal's characters leaves them whole.
        LiteralCase{"CutEachTime", 6,
                    [](Actions& a) {
                      Loop(a, 2, [](Actions& b) {
                        b.PushString("hello").PushInt(2).PushInt(3).Raw(kStringExtract).Trace();
                        b.PushString("hello").Trace();
                      });
                    },
                    {"ell", "hello", "ell", "hello"}},
        // Before version 6 literals are converted from the movie's code page
        // once; the converted text serves every pass.
        LiteralCase{"Version5Movie", 5,
                    [](Actions& a) {
                      Loop(a, 2, [](Actions& b) { b.PushString("five").PushString("!").StringAdd().Trace(); });
                    },
                    {"five!", "five!"}},
        // A function's literals are kept with its code across calls.
        LiteralCase{"InAFunctionCalledAgain", 7,
                    [](Actions& a) {
                      Actions body;
                      body.PushString("p").GetVariable().PushString("-q").StringAdd().Raw(kReturn);
                      a.DefineFunction("g", {"p"}, body);
                      Loop(a, 3, [](Actions& b) {
                        b.PushString("n").GetVariable().PushInt(1).PushString("g").Raw(kCallFunction).Trace();
                      });
                    },
                    {"0-q", "1-q", "2-q"}},
        // Two functions with the same bytes at the same places keep their own texts.
        LiteralCase{"TwoFunctionsAlike", 7,
                    [](Actions& a) {
                      Actions first;
                      first.PushString("one").Raw(kReturn);
                      Actions second;
                      second.PushString("two").Raw(kReturn);
                      a.DefineFunction("f1", {}, first).DefineFunction("f2", {}, second);
                      Loop(a, 2, [](Actions& b) {
                        b.PushInt(0).PushString("f1").Raw(kCallFunction).Trace();
                        b.PushInt(0).PushString("f2").Raw(kCallFunction).Trace();
                      });
                    },
                    {"one", "two", "one", "two"}},
        // Member names pushed as literals, set and read on an object.
        LiteralCase{"MemberNames", 7,
                    [](Actions& a) {
                      a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
                      Loop(a, 2, [](Actions& b) {
                        b.PushString("o").GetVariable().PushString("m").PushString("n").GetVariable().Raw(kSetMember);
                        b.PushString("o").GetVariable().PushString("m").Raw(kGetMember).Trace();
                      });
                    },
                    {"0", "1"}}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Variable lookup shortcuts ----------------------------------------------

struct LookupCase {
  const char* name;
  int version;
  std::function<void(Actions&)> build;
  std::vector<std::string> expected;
};

class LookupShortcuts : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LookupShortcuts, GiveWhatTheFullLookupGave) {
  const LookupCase& c = GetParam();
  Actions a;
  c.build(a);
  EXPECT_EQ(TracesOf(a, c.version), c.expected);
}

// _root.createTextField("tf", 1, 0, 0, 100, 20)
void MakeTextField(Actions& a) {
  a.PushInt(20).PushInt(100).PushInt(0).PushInt(0).PushInt(1).PushString("tf").PushInt(6);
  a.PushString("_root").GetVariable().PushString("createTextField").Raw(kCallMethod).Pop();
}

// An object `name` whose prototype has the accessor `p`: the getter gives
// "got", the setter traces "set " and the value.
void ObjectWithAccessorOnPrototype(Actions& a, std::string_view name) {
  Actions getter;
  getter.PushString("got").Raw(kReturn);
  Actions setter;
  setter.PushString("set ").PushString("v").GetVariable().StringAdd().Trace();
  a.PushString("q").PushInt(0).PushString("Object").Raw(kNewObject).SetVariable();
  a.DefineFunction("getP", {}, getter).DefineFunction("setP", {"v"}, setter);
  a.PushString("setP").GetVariable().PushString("getP").GetVariable().PushString("p").PushInt(3);
  a.PushString("q").GetVariable().PushString("addProperty").Raw(kCallMethod).Pop();
  a.PushString(name).PushInt(0).Raw(kInitObject).SetVariable();
  a.PushString(name).GetVariable().PushString("__proto__").PushString("q").GetVariable().Raw(kSetMember);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LookupShortcuts,
    ::testing::Values(
        // A text field's properties have no underscore and are still its own.
        LookupCase{"TextFieldText", 7,
                   [](Actions& a) {
                     MakeTextField(a);
                     a.PushString("tf").GetVariable().PushString("text").PushString("hi").Raw(kSetMember);
                     a.PushString("tf").GetVariable().PushString("text").Raw(kGetMember).Trace();
                     a.PushString("tf").GetVariable().PushString("length").Raw(kGetMember).Trace();
                   },
                   {"hi", "2"}},
        // Through a with on the field, its properties resolve as variables.
        LookupCase{"TextFieldByScope", 7,
                   [](Actions& a) {
                     MakeTextField(a);
                     a.PushString("tf").GetVariable().PushString("text").PushString("abc").Raw(kSetMember);
                     Actions inside;
                     inside.PushString("text").GetVariable().Trace();
                     a.PushString("tf").GetVariable().With(inside);
                   },
                   {"abc"}},
        // On a movie clip a name like a text field property is a plain variable.
        LookupCase{"ClipVariableNamedText", 7,
                   [](Actions& a) {
                     a.PushString("text").PushString("mine").SetVariable();
                     a.PushString("text").GetVariable().Trace();
                     a.PushString("_root").GetVariable().PushString("text").Raw(kGetMember).Trace();
                   },
                   {"mine", "mine"}},
        // Display properties still answer, in any case before version 7.
        LookupCase{"ClipDisplayProperties", 6,
                   [](Actions& a) {
                     a.PushString("_root").GetVariable().PushString("_X").PushInt(5).Raw(kSetMember);
                     a.PushString("_x").GetVariable().Trace();
                     a.PushString("_root").GetVariable().PushString("_name").Raw(kGetMember).Trace();
                     a.PushString("_currentframe").GetVariable().Trace();
                   },
                   {"5", "", "1"}},
        // A setter on the prototype takes a write to an object without the property.
        LookupCase{"InheritedSetterTakesTheWrite", 7,
                   [](Actions& a) {
                     ObjectWithAccessorOnPrototype(a, "o");
                     a.PushString("o").GetVariable().PushString("p").PushString("1").Raw(kSetMember);
                     a.PushString("o").GetVariable().PushString("p").Raw(kGetMember).Trace();
                   },
                   {"set 1", "got"}},
        // An own property made before the prototype got its accessor comes
        // first: the write stays on the object and the setter is not called.
        LookupCase{"OwnPropertyBeforeInheritedSetter", 7,
                   [](Actions& a) {
                     a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
                     a.PushString("o").GetVariable().PushString("p").PushString("own").Raw(kSetMember);
                     Actions getter;
                     getter.PushString("got").Raw(kReturn);
                     Actions setter;
                     setter.PushString("set").Trace();
                     a.PushString("q").PushInt(0).Raw(kInitObject).SetVariable();
                     a.DefineFunction("getP", {}, getter).DefineFunction("setP", {"v"}, setter);
                     a.PushString("setP").GetVariable().PushString("getP").GetVariable().PushString("p").PushInt(3);
                     a.PushString("q").GetVariable().PushString("addProperty").Raw(kCallMethod).Pop();
                     a.PushString("o").GetVariable().PushString("__proto__").PushString("q").GetVariable().Raw(
                         kSetMember);
                     a.PushString("o").GetVariable().PushString("p").PushString("again").Raw(kSetMember);
                     a.PushString("o").GetVariable().PushString("p").Raw(kGetMember).Trace();
                   },
                   {"again"}},
        // A member written in place keeps its flags: a read-only one stays.
        LookupCase{"ReadOnlyMemberKeepsItsValue", 7,
                   [](Actions& a) {
                     a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
                     a.PushString("o").GetVariable().PushString("m").PushInt(1).Raw(kSetMember);
                     a.PushInt(0).PushInt(4).PushString("m").PushString("o").GetVariable().PushInt(4);
                     a.PushString("ASSetPropFlags").Raw(kCallFunction).Pop();
                     a.PushString("o").GetVariable().PushString("m").PushInt(2).Raw(kSetMember);
                     a.PushString("o").GetVariable().PushString("m").Raw(kGetMember).Trace();
                   },
                   {"1"}},
        // A watched member is written through its watcher, whose result is stored.
        LookupCase{"WatchedMemberWrittenThroughTheWatcher", 7,
                   [](Actions& a) {
                     Actions watcher;
                     watcher.PushString("n").GetVariable().PushInt(10).Raw(kMultiply).Raw(kReturn);
                     a.DefineFunction("twice", {"p", "o", "n"}, watcher);
                     a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
                     a.PushString("o").GetVariable().PushString("m").PushInt(1).Raw(kSetMember);
                     a.PushString("twice").GetVariable().PushString("m").PushInt(2);
                     a.PushString("o").GetVariable().PushString("watch").Raw(kCallMethod).Pop();
                     a.PushString("o").GetVariable().PushString("m").PushInt(3).Raw(kSetMember);
                     a.PushString("o").GetVariable().PushString("m").Raw(kGetMember).Trace();
                   },
                   {"30"}},
        // An array's length set by name still cuts its elements.
        LookupCase{"ArrayLengthSetByName", 7,
                   [](Actions& a) {
                     a.PushString("v").PushInt(3).PushInt(2).PushInt(1).PushInt(3).Raw(0x42).SetVariable();
                     a.PushString("v").GetVariable().PushString("length").PushInt(1).Raw(kSetMember);
                     a.PushString("v").GetVariable().Trace();
                   },
                   {"1"}},
        // A name pushed last inside a with and read after it reads outside it.
        LookupCase{"NameReadJustAfterAWith", 7,
                   [](Actions& a) {
                     a.SetVariable("m", "timeline");
                     a.PushString("o").PushInt(0).Raw(kInitObject).SetVariable();
                     a.PushString("o").GetVariable().PushString("m").PushString("member").Raw(kSetMember);
                     Actions inside;
                     inside.PushString("m");
                     a.PushString("o").GetVariable().With(inside).GetVariable().Trace();
                   },
                   {"timeline"}},
        // Parameters: the last of two alike wins; before version 7 a body
        // names them in any letter case.
        LookupCase{"ParametersAlikeAndInOtherCase", 6,
                   [](Actions& a) {
                     Actions body;
                     body.PushString("x").GetVariable().Raw(kReturn);
                     a.DefineFunction("same", {"x", "x"}, body).DefineFunction("upper", {"X"}, body);
                     a.PushInt(2).PushInt(1).PushInt(2).PushString("same").Raw(kCallFunction).Trace();
                     a.PushInt(5).PushInt(1).PushString("upper").Raw(kCallFunction).Trace();
                   },
                   {"2", "5"}},
        // A variable of the timeline is set in place, the next read sees it.
        LookupCase{"TimelineVariableSetInALoop", 7,
                   [](Actions& a) {
                     a.SetVariable("sum", "");
                     Loop(a, 4, [](Actions& b) {
                       b.PushString("sum").PushString("sum").GetVariable().PushString("n").GetVariable().Add2();
                       b.SetVariable();
                     });
                     a.PushString("sum").GetVariable().Trace();
                   },
                   {"0123"}}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Decoded code ------------------------------------------------------------

// Actions are decoded once and kept by their position: what a run reads must
// stay what the bytes say wherever a branch lands, however often the code runs.

constexpr std::uint8_t kJump = 0x99;
constexpr std::uint8_t kPush = 0x96;
constexpr std::uint8_t kSubtract = 0x0B;
constexpr std::uint8_t kModulo = 0x3F;
constexpr std::uint8_t kAdd = 0x0A;
constexpr std::uint8_t kDecrement = 0x51;

struct DecodedCase {
  const char* name;
  int version;
  std::function<void(Actions&)> build;
  std::vector<std::string> expected;
};

class DecodedCode : public ::testing::TestWithParam<DecodedCase> {};

TEST_P(DecodedCode, RunsAsItsBytesSay) {
  const DecodedCase& c = GetParam();
  Actions a;
  c.build(a);
  EXPECT_EQ(TracesOf(a, c.version), c.expected);
}

// g(p): with p false a push of the integer whose four bytes are the actions
// Not, Trace, Not, Pop; with p true a jump into that integer, which runs them.
void FunctionJumpingIntoAPush(Actions& a) {
  Actions body;
  body.PushString("x").PushString("p").GetVariable();
  const int into = body.NewLabel();
  const int push = body.NewLabel();
  body.If(into).Jump(push);
  body.Bind(into).Raw(kJump, {4, 0});  // past the push's header and value type
  body.Bind(push).Raw(kPush, {0x07, 0x12, 0x26, 0x12, 0x17}).Trace();
  a.DefineFunction("g", {"p"}, body);
}

void CallWith(Actions& a, std::string_view function, bool argument) {
  a.PushBool(argument).PushInt(1).PushString(function).Raw(kCallFunction).Pop();
}

INSTANTIATE_TEST_SUITE_P(
    Actions, DecodedCode,
    ::testing::Values(
        DecodedCase{"BranchIntoTheMiddleOfAnAction", 7,
                    [](Actions& a) {
                      FunctionJumpingIntoAPush(a);
                      CallWith(a, "g", false);
                      CallWith(a, "g", true);
                      CallWith(a, "g", false);
                    },
                    {"387065362", "false", "undefined", "387065362"}},
        // The value list of a push is cut at a value of an unknown type: the
        // function ends there, the caller goes on, on every call.
        DecodedCase{"MalformedPushEndsTheFunction", 7,
                    [](Actions& a) {
                      Actions body;
                      body.PushString("in").Trace();
                      body.Raw(kPush, {0x07, 1, 0, 0, 0, 0x0F}).PushString("not here").Trace();
                      a.DefineFunction("h", {}, body);
                      Loop(a, 2, [](Actions& b) { b.PushInt(0).PushString("h").Raw(kCallFunction).Trace(); });
                    },
                    {"in", "undefined", "in", "undefined"}},
        // A constant is read from the pool in use when the push runs.
        DecodedCase{"ConstantPoolChangedBetweenPasses", 7,
                    [](Actions& a) {
                      a.ConstantPool({"first"});
                      Loop(a, 2, [](Actions& b) { b.PushConstant(0).Trace().ConstantPool({"second"}); });
                    },
                    {"first", "second"}},
        // A register is read when the push runs, not when it was decoded.
        DecodedCase{"RegisterReadEachPass", 7,
                    [](Actions& a) {
                      Loop(a, 3, [](Actions& b) {
                        b.PushString("n").GetVariable().StoreRegister(1).Pop().PushRegister(1).Trace();
                      });
                    },
                    {"0", "1", "2"}}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Arithmetic on numbers works in place; on anything else it converts as before.

struct ArithmeticCase {
  const char* name;
  int version;
  std::function<void(Actions&)> operands;  // pushes the operands and runs the action
  std::string expected;
};

class NumberArithmetic : public ::testing::TestWithParam<ArithmeticCase> {};

TEST_P(NumberArithmetic, GivesWhatTheConversionsGive) {
  const ArithmeticCase& c = GetParam();
  Actions a;
  c.operands(a);
  a.Trace();
  EXPECT_EQ(TracesOf(a, c.version), std::vector<std::string>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(
    Actions, NumberArithmetic,
    ::testing::Values(
        ArithmeticCase{"AddNumbers", 7, [](Actions& a) { a.PushDouble(0.5).PushInt(2).Add2(); }, "2.5"},
        ArithmeticCase{"AddTextAndNumber", 7, [](Actions& a) { a.PushString("1").PushInt(2).Add2(); }, "12"},
        ArithmeticCase{"AddNumberAndText", 7, [](Actions& a) { a.PushInt(1).PushString("2").Add2(); }, "12"},
        ArithmeticCase{"Version4Add", 4, [](Actions& a) { a.PushString("3").PushInt(2).Raw(kAdd); }, "5"},
        ArithmeticCase{"SubtractNumbers", 7, [](Actions& a) { a.PushInt(3).PushInt(5).Raw(kSubtract); }, "-2"},
        ArithmeticCase{"MultiplyNumbers", 7, [](Actions& a) { a.PushInt(6).PushDouble(-0.5).Raw(kMultiply); }, "-3"},
        ArithmeticCase{"ModuloKeepsTheLeftSign", 7, [](Actions& a) { a.PushInt(-7).PushInt(3).Raw(kModulo); }, "-1"},
        ArithmeticCase{"ModuloByZero", 7, [](Actions& a) { a.PushInt(7).PushInt(0).Raw(kModulo); }, "NaN"},
        ArithmeticCase{"LessNumbers", 7, [](Actions& a) { a.PushInt(3).PushInt(4).Raw(kLess2); }, "true"},
        ArithmeticCase{"LessNotANumber", 7,
                       [](Actions& a) { a.PushDouble(kNaN).PushInt(4).Raw(kLess2); }, "undefined"},
        ArithmeticCase{"LessTexts", 7, [](Actions& a) { a.PushString("10").PushString("9").Raw(kLess2); },
                       "true"},
        ArithmeticCase{"IncrementNumber", 7, [](Actions& a) { a.PushDouble(4.5).Raw(kIncrement); }, "5.5"},
        ArithmeticCase{"IncrementText", 7, [](Actions& a) { a.PushString("4").Raw(kIncrement); }, "5"},
        ArithmeticCase{"DecrementNumber", 7, [](Actions& a) { a.PushInt(0).Raw(kDecrement); }, "-1"},
        ArithmeticCase{"NotBoolean", 7, [](Actions& a) { a.PushBool(true).Not(); }, "false"},
        // Version 4 frame scripts give numbers for truth.
        ArithmeticCase{"Version4NotBoolean", 4, [](Actions& a) { a.PushBool(true).Not(); }, "0"}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Calls take their lists from spares: nested and recursive calls keep their own.

TEST(PooledCallLists, NestedCallsKeepTheirArgumentsAndStacks) {
  Actions a;
  // fact(k): k < 2 ? 1 : k * fact(k - 1), its multiplication waiting on the stack.
  Actions fact;
  const int more = fact.NewLabel();
  fact.PushString("k").GetVariable().PushInt(2).Raw(kLess2).Not().If(more);
  fact.PushInt(1).Raw(kReturn);
  fact.Bind(more).PushString("k").GetVariable();
  fact.PushString("k").GetVariable().Raw(kDecrement).PushInt(1).PushString("fact").Raw(kCallFunction);
  fact.Raw(kMultiply).Raw(kReturn);
  a.DefineFunction("fact", {"k"}, fact);
  // pair(u, v): calls fact with its own arguments between, then joins them.
  Actions pair;
  pair.PushString("v").GetVariable().PushInt(1).PushString("fact").Raw(kCallFunction).Pop();
  pair.PushString("u").GetVariable().PushString("/").StringAdd().PushString("v").GetVariable().StringAdd();
  pair.Raw(kReturn);
  a.DefineFunction("pair", {"u", "v"}, pair);
  a.PushInt(10).PushInt(1).PushString("fact").Raw(kCallFunction).Trace();
  a.PushInt(3).PushString("left").PushInt(2).PushString("pair").Raw(kCallFunction).Trace();
  EXPECT_EQ(TracesOf(a, 7), (std::vector<std::string>{"3628800", "left/3"}));
}

// A call's activation comes back for the next call with its parameters'
// entries: what one call did to it never shows in the next.

constexpr std::uint8_t kDefineLocal = 0x3C;
constexpr std::uint8_t kDelete2 = 0x3B;
constexpr std::uint8_t kEquals2 = 0x49;

// name(args...) with its result traced.
void TraceCall(Actions& a, std::string_view name, const std::vector<int>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.PushInt(*it);
  a.PushInt(static_cast<int>(args.size())).PushString(name).Raw(kCallFunction).Trace();
}

// function name(x) { return x; }
void DefineEcho(Actions& a, std::string_view name, std::string_view param) {
  Actions body;
  body.PushString(param).GetVariable().Raw(kReturn);
  a.DefineFunction(name, {std::string(param)}, body);
}

struct ActivationCase {
  const char* name;
  int version;
  std::function<void(Actions&)> build;
  std::vector<std::string> expected;
};

class SpareActivations : public ::testing::TestWithParam<ActivationCase> {};

TEST_P(SpareActivations, StartEveryCallAfresh) {
  const ActivationCase& c = GetParam();
  Actions a;
  c.build(a);
  EXPECT_EQ(TracesOf(a, c.version), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, SpareActivations,
    ::testing::Values(
        // function f(x) { if (x == 1) { var t = "kept?"; } return t; }
        ActivationCase{"LocalOfOneCallIsGoneInTheNext", 7,
                       [](Actions& a) {
                         Actions body;
                         const int skip = body.NewLabel();
                         body.PushString("x").GetVariable().PushInt(1).Raw(kEquals2).Not().If(skip);
                         body.PushString("t").PushString("kept?").Raw(kDefineLocal);
                         body.Bind(skip).PushString("t").GetVariable().Raw(kReturn);
                         a.DefineFunction("f", {"x"}, body);
                         TraceCall(a, "f", {1});
                         TraceCall(a, "f", {2});
                         TraceCall(a, "f", {1});
                       },
                       {"kept?", "undefined", "kept?"}},
        ActivationCase{"MissingArgumentIsUndefinedAfterAGivenOne", 7,
                       [](Actions& a) {
                         DefineEcho(a, "f", "x");
                         TraceCall(a, "f", {5});
                         TraceCall(a, "f", {});
                         TraceCall(a, "f", {6});
                       },
                       {"5", "undefined", "6"}},
        // Two functions whose parameters share a name, and one whose differs.
        ActivationCase{"FunctionsTakeTurns", 7,
                       [](Actions& a) {
                         DefineEcho(a, "f", "x");
                         DefineEcho(a, "g", "x");
                         DefineEcho(a, "h", "y");
                         TraceCall(a, "f", {1});
                         TraceCall(a, "g", {2});
                         TraceCall(a, "h", {3});
                         TraceCall(a, "f", {4});
                       },
                       {"1", "2", "3", "4"}},
        // function d(x) { var before = x; delete x; return before + "/" + x; }: the
        // next call has its parameter again.
        ActivationCase{"DeletedParameterStaysDeleted", 7,
                       [](Actions& a) {
                         Actions body;
                         body.PushString("before").PushString("x").GetVariable().Raw(kDefineLocal);
                         body.PushString("x").Raw(kDelete2).Pop();
                         body.PushString("before").GetVariable().PushString("/").StringAdd();
                         body.PushString("x").GetVariable().StringAdd().Raw(kReturn);
                         a.DefineFunction("d", {"x"}, body);
                         TraceCall(a, "d", {1});
                         TraceCall(a, "d", {2});
                       },
                       {"1/undefined", "2/undefined"}},
        // function make(x) { return function () { return x; }; }: each
        // closure keeps the activation of its own call.
        ActivationCase{"ClosuresKeepTheirOwnCall", 7,
                       [](Actions& a) {
                         Actions inner;
                         inner.PushString("x").GetVariable().Raw(kReturn);
                         Actions make;
                         make.DefineFunction("", {}, inner).Raw(kReturn);
                         a.DefineFunction("make", {"x"}, make);
                         for (const auto& [holder, value] : {std::pair{"a", 1}, std::pair{"b", 2}}) {
                           a.PushString(holder).PushInt(value).PushInt(1).PushString("make").Raw(kCallFunction);
                           a.SetVariable();
                         }
                         for (const char* holder : {"a", "b"}) {
                           a.PushInt(0).PushString(holder).Raw(kCallFunction).Trace();
                         }
                       },
                       {"1", "2"}},
        // Before version 7 names ignore case: the parameter is read as
        // written in either function.
        ActivationCase{"CaselessNamesOfAnotherFunction", 6,
                       [](Actions& a) {
                         DefineEcho(a, "f", "X");
                         DefineEcho(a, "g", "x");
                         TraceCall(a, "f", {1});
                         TraceCall(a, "g", {2});
                         TraceCall(a, "f", {3});
                       },
                       {"1", "2", "3"}},
        // A parameter in a register beside one in the activation.
        ActivationCase{"RegisterAndActivationParameters", 7,
                       [](Actions& a) {
                         Actions body;
                         body.PushRegister(1).PushString("/").StringAdd();
                         body.PushString("b").GetVariable().StringAdd().Raw(kReturn);
                         a.DefineFunction2("p", 2, 0x0A, {{1, "a"}, {0, "b"}}, body);
                         TraceCall(a, "p", {1, 2});
                         TraceCall(a, "p", {3});
                       },
                       {"1/2", "3/undefined"}}),
    [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace swf::testing
