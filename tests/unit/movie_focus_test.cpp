// The keyboard focus through the engine's input entry points: the Tab order
// (automatic by position, custom by tabIndex, Shift+Tab), what Selection
// accepts and reports, the focus leaving hidden and removed objects, keys
// reaching the focused button, clicks focusing fields, and dragging clips.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "movie_test_support.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetVariable = 0x1C;
constexpr std::uint8_t kInitObject = 0x43;
constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr int kTab = 9, kShift = 16;

Actions SetFlag(std::string_view object, std::string_view member, bool value) {
  Actions a;
  a.PushString(object).Raw(kGetVariable).PushString(member).PushBool(value).Raw(kSetMember);
  return a;
}

Actions SetNumber(std::string_view object, std::string_view member, int value) {
  Actions a;
  a.PushString(object).Raw(kGetVariable).PushString(member).PushInt(value).Raw(kSetMember);
  return a;
}

// trace(Selection.`method`(args...)) with text arguments (a leading '@'
// names a variable instead).
Actions TraceSelection(std::string_view method, const std::vector<std::string>& args) {
  Actions a;
  for (auto it = args.rbegin(); it != args.rend(); ++it) {
    if (!it->empty() && (*it)[0] == '@') {
      a.PushString(it->substr(1)).Raw(kGetVariable);
    } else if (!it->empty() && ((*it)[0] == '-' || ((*it)[0] >= '0' && (*it)[0] <= '9'))) {
      a.PushInt(std::stoi(*it));
    } else {
      a.PushString(*it);
    }
  }
  a.PushInt(static_cast<std::int32_t>(args.size())).PushString("Selection").Raw(kGetVariable).PushString(method);
  a.Raw(kCallMethod).Trace();
  return a;
}

// A Selection listener tracing "old>new" for every move, and `name`.onKeyDown /
// onPress / onRelease handlers tracing their names.
Actions FocusListener() {
  Actions body;
  body.PushString("o").Raw(kGetVariable).PushString(">").Add2().PushString("n").Raw(kGetVariable).Add2().Trace();
  Actions a;
  a.PushInt(0).Raw(kInitObject).StoreRegister(1).Pop();
  a.PushRegister(1).PushString("onSetFocus").DefineFunction("", {"o", "n"}, body).Raw(kSetMember);
  a.PushRegister(1).PushInt(1).PushString("Selection").Raw(kGetVariable).PushString("addListener");
  a.Raw(kCallMethod).Pop();
  return a;
}

// A Key listener whose onKeyUp runs `body`.
Actions KeyUpTracing(const Actions& body) {
  Actions a;
  a.PushInt(0).Raw(kInitObject).StoreRegister(2).Pop();
  a.PushRegister(2).PushString("onKeyUp").DefineFunction("", {}, body).Raw(kSetMember);
  a.PushRegister(2).PushInt(1).PushString("Key").Raw(kGetVariable).PushString("addListener");
  a.Raw(kCallMethod).Pop();
  return a;
}

Actions HandlerTracing(std::string_view object, std::string_view method) {
  Actions a;
  Actions body;
  body.PushString(std::string(object) + "." + std::string(method)).Trace();
  a.PushString(object).Raw(kGetVariable).PushString(method).DefineFunction("", {}, body).Raw(kSetMember);
  return a;
}

// A 200 x 200 movie: input fields b at (10, 10), c at (100, 10), a at
// (10, 100), a read-only field r at (50, 50), a button btn at (150, 150) and
// an empty clip "clip" at (60, 150); then `setup` runs with a focus listener.
Bytes FocusMovie(const std::vector<Actions>& setup) {
  MovieBuilder movie(200, 200, 24, 7);
  const auto field = [&movie](bool readOnly) {
    EditTextFields fields;
    fields.width = 40;
    fields.height = 20;
    fields.readOnly = readOnly;
    fields.text = "Hello";
    return movie.DefineEditText(fields);
  };
  const std::uint16_t input = field(false);
  const std::uint16_t fixed = field(true);
  movie.Place(input, 1, Transform::Translate(10, 100), std::nullopt, "a");
  movie.Place(input, 2, Transform::Translate(10, 10), std::nullopt, "b");
  movie.Place(input, 3, Transform::Translate(100, 10), std::nullopt, "c");
  movie.Place(fixed, 4, Transform::Translate(50, 50), std::nullopt, "r");
  const std::uint16_t square = movie.DefineShape(FilledRectangle(20, 20, {255, 0, 0}));
  const std::uint16_t button = movie.DefineButton2({ButtonRecordSpec{0x0F, square, 1, {}}}, {});
  movie.Place(button, 5, Transform::Translate(150, 150), std::nullopt, "btn");
  SpriteBuilder sprite;
  sprite.Place(square, 1).ShowFrame();
  movie.Place(movie.DefineSprite(sprite), 6, Transform::Translate(60, 150), std::nullopt, "clip");
  movie.DoAction(FocusListener());
  for (const Actions& block : setup) movie.DoAction(block);
  movie.ShowFrame();
  return movie.Build();
}

struct InputRun {
  MoviePlayer player;
  std::vector<std::string> traced;
  explicit InputRun(const Bytes& movie) {
    player.SetTraceSink([this](std::string_view line) { traced.emplace_back(line); });
    EXPECT_TRUE(player.Load(movie));
  }
  // "tab", "shift-tab", "key CODE", "move X Y", "down", "up", "frame".
  void Do(const std::string& step) {
    std::istringstream in(step);
    std::string kind;
    in >> kind;
    if (kind == "tab" || kind == "shift-tab") {
      if (kind == "shift-tab") player.KeyChange(true, kShift, 0);
      player.KeyChange(true, kTab, 0);
      player.KeyChange(false, kTab, 0);
      if (kind == "shift-tab") player.KeyChange(false, kShift, 0);
    } else if (kind == "key") {
      int code = 0;
      in >> code;
      player.KeyChange(true, code, code == 32 ? 32 : 0);
      player.KeyChange(false, code, 0);
    } else if (kind == "move") {
      double x = 0, y = 0;
      in >> x >> y;
      player.PointerMove(x, y, 200, 200, ScaleMode::ShowAll);
    } else if (kind == "down" || kind == "up") {
      player.PointerButton(kind == "down");
    } else {
      player.Advance();
    }
  }
};

struct FocusCase {
  std::string name;
  std::vector<Actions> setup;
  std::vector<std::string> steps;
  std::vector<std::string> traces;
};

std::vector<FocusCase> TabCases() {
  return {
      {"AutomaticReadsRowsFromTheTop",
       {},
       {"tab", "tab", "tab", "tab", "tab"},
       {"null>_level0.b", "_level0.b>_level0.c", "_level0.c>_level0.a", "_level0.a>_level0.btn",
        "_level0.btn>_level0.b"}},
      {"ShiftTabGoesBack",
       {},
       {"shift-tab", "shift-tab", "tab"},
       {"null>_level0.btn", "_level0.btn>_level0.a", "_level0.a>_level0.btn"}},
      {"TabEnabledFalseIsSkipped", {SetFlag("c", "tabEnabled", false)}, {"tab", "tab"},
       {"null>_level0.b", "_level0.b>_level0.a"}},
      {"TabEnabledTrueAddsAReadOnlyField", {SetFlag("r", "tabEnabled", true)}, {"tab", "tab", "tab"},
       {"null>_level0.b", "_level0.b>_level0.c", "_level0.c>_level0.r"}},
      {"HiddenObjectsAreSkipped", {SetFlag("b", "_visible", false)}, {"tab", "tab"},
       {"null>_level0.c", "_level0.c>_level0.a"}},
      {"DisabledButtonsAreSkipped", {SetFlag("btn", "enabled", false)}, {"tab", "tab", "tab", "tab"},
       {"null>_level0.b", "_level0.b>_level0.c", "_level0.c>_level0.a", "_level0.a>_level0.b"}},
      {"ClipsWithButtonHandlersJoin", {HandlerTracing("clip", "onRelease")}, {"tab", "tab", "tab", "tab"},
       {"null>_level0.b", "_level0.b>_level0.c", "_level0.c>_level0.a", "_level0.a>_level0.clip"}},
      {"TabChildrenFalseHidesTheClipsContents", {SetFlag("clip", "tabEnabled", true), SetFlag("_root", "tabChildren", false)},
       {"tab"}, {}},
      // Only objects with a tabIndex take part, lowest first (as 32-bit integers).
      {"TabIndexMakesACustomOrder",
       {SetNumber("btn", "tabIndex", 1), SetNumber("a", "tabIndex", 7), SetNumber("c", "tabIndex", -2)},
       {"tab", "tab", "tab", "tab", "shift-tab"},
       {"null>_level0.c", "_level0.c>_level0.btn", "_level0.btn>_level0.a", "_level0.a>_level0.c",
        "_level0.c>_level0.a"}},
  };
}

class FocusScript : public ::testing::TestWithParam<FocusCase> {};

TEST_P(FocusScript, TracesTheFocusMovesAndHandlers) {
  const FocusCase& c = GetParam();
  InputRun run(FocusMovie(c.setup));
  for (const std::string& step : c.steps) run.Do(step);
  EXPECT_EQ(run.traced, c.traces);
}

INSTANTIATE_TEST_SUITE_P(TabOrder, FocusScript, ::testing::ValuesIn(TabCases()),
                         [](const auto& tested) { return tested.param.name; });

// What Selection.setFocus accepts, and what it and the indices report.
std::vector<FocusCase> SelectionCases() {
  return {
      {"NoArgumentIsRefused", {TraceSelection("setFocus", {}), TraceSelection("getFocus", {})}, {}, {"false", "null"}},
      {"AFieldTakesIt",
       {TraceSelection("setFocus", {"@a"}), TraceSelection("getFocus", {})},
       {},
       {"null>_level0.a", "true", "_level0.a"}},
      {"APathTakesIt", {TraceSelection("setFocus", {"btn"})}, {}, {"null>_level0.btn", "true"}},
      {"APlainClipIsRefused", {TraceSelection("setFocus", {"@clip"})}, {}, {"false"}},
      {"AFocusEnabledClipTakesIt",
       {SetFlag("clip", "focusEnabled", true), TraceSelection("setFocus", {"@clip"})},
       {},
       {"null>_level0.clip", "true"}},
      {"NullTakesItAway",
       {TraceSelection("setFocus", {"@b"}), TraceSelection("setFocus", {"@nothing"}), TraceSelection("getFocus", {})},
       {},
       {"null>_level0.b", "true", "_level0.b>null", "true", "null"}},
      {"SettingItAgainRunsNoHandlers",
       {TraceSelection("setFocus", {"@b"}), TraceSelection("setFocus", {"@b"})},
       {},
       {"null>_level0.b", "true", "true"}},
      {"ANewFocusHasNoSelection",
       {TraceSelection("setFocus", {"@b"}), TraceSelection("getBeginIndex", {}), TraceSelection("getCaretIndex", {})},
       {},
       {"null>_level0.b", "true", "-1", "-1"}},
      {"SetSelectionOrdersItsEnds",
       {TraceSelection("setFocus", {"@b"}), TraceSelection("setSelection", {"4", "1"}),
        TraceSelection("getBeginIndex", {}), TraceSelection("getEndIndex", {}), TraceSelection("getCaretIndex", {})},
       {},
       {"null>_level0.b", "true", "undefined", "1", "4", "1"}},
      {"SetSelectionKeepsInsideTheText",
       {TraceSelection("setFocus", {"@b"}), TraceSelection("setSelection", {"-3"}),
        TraceSelection("getBeginIndex", {}), TraceSelection("getEndIndex", {})},
       {},
       {"null>_level0.b", "true", "undefined", "0", "5"}},
      {"HidingTheHolderTakesItAway",
       {TraceSelection("setFocus", {"@b"}), SetFlag("b", "_visible", false), TraceSelection("getFocus", {})},
       {},
       {"null>_level0.b", "true", "_level0.b>null", "null"}},
      {"TabbingIntoAFieldSelectsItsText", {KeyUpTracing(TraceSelection("getEndIndex", {}))}, {"tab"},
       {"null>_level0.b", "5"}},
  };
}

INSTANTIATE_TEST_SUITE_P(Selection, FocusScript, ::testing::ValuesIn(SelectionCases()),
                         [](const auto& tested) { return tested.param.name; });

// The focused button hears the keys; Enter presses and releases it while
// the focus rectangle is on; a click puts the focus in a field and takes it out.
std::vector<FocusCase> KeyAndPointerCases() {
  const auto buttonHandlers = [] {
    return std::vector<Actions>{HandlerTracing("btn", "onKeyDown"), HandlerTracing("btn", "onKeyUp"),
                                HandlerTracing("btn", "onPress"), HandlerTracing("btn", "onRelease"),
                                TraceSelection("setFocus", {"@btn"})};
  };
  std::vector<Actions> noRectangle = buttonHandlers();
  Actions off;
  off.PushString("_focusrect").PushBool(false).SetVariable();
  noRectangle.insert(noRectangle.begin(), std::move(off));
  return {
      {"TheFocusedButtonHearsKeys", buttonHandlers(), {"key 65"},
       {"null>_level0.btn", "true", "btn.onKeyDown", "btn.onKeyUp"}},
      {"EnterPressesTheFocusedButton", buttonHandlers(), {"key 13"},
       {"null>_level0.btn", "true", "btn.onKeyDown", "btn.onPress", "btn.onRelease", "btn.onKeyUp"}},
      {"WithoutTheRectangleEnterOnlyTypes", std::move(noRectangle), {"key 13"},
       {"null>_level0.btn", "true", "btn.onKeyDown", "btn.onKeyUp"}},
      {"AfterThePointerMovesKeysSkipTheHolder", buttonHandlers(), {"move 5 5", "key 65", "key 13"},
       {"null>_level0.btn", "true"}},
      {"TabMovesOnBetweenKeyDownAndUp", buttonHandlers(), {"tab"},
       {"null>_level0.btn", "true", "btn.onKeyDown", "_level0.btn>_level0.b"}},
      {"AClickFocusesAnInputField", {}, {"move 20 20", "down", "up"}, {"null>_level0.b"}},
      {"AClickElsewhereTakesTheFocusAway", {}, {"move 20 20", "down", "up", "move 195 5", "down", "up"},
       {"null>_level0.b", "_level0.b>null"}},
      {"MouseDownReachesClipsBeforeThePress",
       {HandlerTracing("clip", "onMouseDown"), HandlerTracing("clip", "onPress"), HandlerTracing("clip", "onMouseUp"),
        HandlerTracing("clip", "onRelease")},
       {"move 65 155", "down", "up"},
       {"clip.onMouseDown", "clip.onPress", "clip.onMouseUp", "clip.onRelease"}},
  };
}

INSTANTIATE_TEST_SUITE_P(KeysAndPointer, FocusScript, ::testing::ValuesIn(KeyAndPointerCases()),
                         [](const auto& tested) { return tested.param.name; });

// clip.startDrag(lock[, left, top, right, bottom]) with the pointer at
// (70, 120), then the pointer moves; the clip's _x, _y and its drop target.
struct DragCase {
  std::string name;
  std::vector<double> arguments;
  std::vector<std::string> traces;
};

TEST(FocusDrag, TheClipFollowsThePointerInsideItsLimits) {
  const std::vector<DragCase> cases = {
      {"LockedCentre", {1}, {"100", "125", "/b"}},
      {"KeepsItsOffset", {0}, {"90", "155", "/b"}},
      {"InsideLimits", {1, 0, 0, 50, 60}, {"50", "60", "/b"}},
  };
  for (const DragCase& c : cases) {
    SCOPED_TRACE(c.name);
    Actions start;
    for (auto it = c.arguments.rbegin(); it != c.arguments.rend(); ++it) start.PushDouble(*it);
    start.PushInt(static_cast<std::int32_t>(c.arguments.size())).PushString("clip").Raw(kGetVariable);
    start.PushString("startDrag").Raw(kCallMethod).Pop();
    Actions report;
    for (const char* property : {"_x", "_y", "_droptarget"}) {
      report.PushString("clip").Raw(kGetVariable).PushString(property).Raw(kGetMember).Trace();
    }
    report.Stop();
    MovieBuilder movie(200, 200, 24, 7);
    const std::uint16_t square = movie.DefineShape(FilledRectangle(20, 20, {255, 0, 0}));
    const std::uint16_t big = movie.DefineShape(FilledRectangle(100, 100, {0, 0, 255}));
    SpriteBuilder target;
    target.Place(big, 1).ShowFrame();
    SpriteBuilder dragged;
    dragged.Place(square, 1).ShowFrame();
    movie.Place(movie.DefineSprite(target), 1, Transform::Translate(80, 80), std::nullopt, "b");
    movie.Place(movie.DefineSprite(dragged), 2, Transform::Translate(60, 150), std::nullopt, "clip");
    movie.ShowFrame();
    movie.DoAction(start).ShowFrame();
    movie.DoAction(report).ShowFrame();
    InputRun run(movie.Build());
    run.Do("move 70 120");
    run.Do("frame");
    run.Do("move 100 125");
    run.Do("frame");
    EXPECT_EQ(run.traced, c.traces);
  }
}

}  // namespace
}  // namespace swf::testing
