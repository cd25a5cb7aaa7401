#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/win_test_support.h"
#include "ui/application.h"
#include "ui/form.h"
#include "ui/window_procedure.h"
#include "win/ui_test_support.h"

namespace tpl {
namespace {

using testing::ClickAt;
using testing::MessageBoxWatcher;
using testing::PumpUntil;
using testing::WindowText;

constexpr ui::FormDesign kTestDesign{"TfrmUiTest",
                                     "Test form",
                                     300,
                                     200,
                                     ui::BorderStyle::Single,
                                     ui::kButtonFace,
                                     {"Tahoma", 8},
                                     ui::FormPosition::Designed,
                                     false,
                                     40,
                                     40};

constexpr ui::ControlLayout kTestLayout[] = {
    // control      parent    left top width height caption   flags
    {"txtName", nullptr, 10, 10, 120, 21},
    {"cmdOk", nullptr, 10, 160, 75, 25, "OK", ui::kDefaultButton},
    {"cmdCancel", nullptr, 100, 160, 75, 25, "Cancel", ui::kCancelButton},
    {"chkOption", nullptr, 10, 40, 120, 17, "Option"},
    {"cboChoice", nullptr, 10, 64, 120, 21},
    {"lblHint", nullptr, 10, 100, 100, 30, "Hint"},
    {"fraBox", nullptr, 150, 10, 140, 120},
    {"lblInside", "fraBox", 10, 10, 60, 20, "Inside"},
    {"optFirst", "fraBox", 10, 40, 17, 17},
    {"optSecond", "fraBox", 40, 40, 17, 17},
};

// A form that records what its events saw.
class TfrmUiTest : public ui::Form {
 public:
  TfrmUiTest() : Form(kTestDesign, kTestLayout) {}

  ui::Edit txtName{*this, "txtName"};
  ui::Button cmdOk{*this, "cmdOk"};
  ui::Button cmdCancel{*this, "cmdCancel"};
  ui::CheckBox chkOption{*this, "chkOption"};
  ui::ComboBox cboChoice{*this, "cboChoice"};
  ui::Label lblHint{*this, "lblHint"};
  ui::Panel fraBox{*this, "fraBox"};
  ui::Label lblInside{*this, "lblInside"};
  ui::RadioButton optFirst{*this, "optFirst"};
  ui::RadioButton optSecond{*this, "optSecond"};

  std::string HandedOver;  // set by the creator after creation

  HWND handleInCreate = nullptr;
  std::string handedOverInCreate = "unset";
  std::string handedOverInActivate = "unset";
  int activations = 0;
  int destructions = 0;
  std::function<void()> onActivate;

 protected:
  void FormCreate() override {
    handleInCreate = Handle();
    handedOverInCreate = HandedOver;
  }
  void FormActivate() override {
    ++activations;
    handedOverInActivate = HandedOver;
    if (onActivate) onActivate();
  }
  void FormDestroy() override { ++destructions; }
};

TEST(UiForm, CreationSeesTheWindowAndActivationSeesTheHandedOverValues) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  EXPECT_NE(form.handleInCreate, nullptr);
  EXPECT_EQ(form.handleInCreate, form.Handle());
  EXPECT_EQ(form.handedOverInCreate, "");
  EXPECT_FALSE(::IsWindowVisible(form.Handle())) << "Run shows the form, creation does not";

  form.HandedOver = "handed over";
  form.onActivate = [&] { application.Terminate(); };
  EXPECT_EQ(application.Run(), 0);
  EXPECT_EQ(form.handedOverInActivate, "handed over");
  EXPECT_EQ(form.activations, 1);
  EXPECT_TRUE(::IsWindowVisible(form.Handle()));
}

TEST(UiForm, FindWindowFindsTheFormByItsClassName) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  EXPECT_EQ(::FindWindowA("TfrmUiTest", nullptr), form.Handle());
  EXPECT_EQ(::FindWindowA("TfrmUiTest", "Test form"), form.Handle());
}

TEST(UiForm, TheHiddenOwnerWindowCarriesTheTitle) {
  ui::Application application;
  application.SetTitle("My saver");
  auto& form = application.CreateForm<TfrmUiTest>();
  form.onActivate = [&] { application.Terminate(); };
  application.Run();

  HWND owner = ::GetWindow(form.Handle(), GW_OWNER);
  ASSERT_EQ(owner, application.Handle());
  EXPECT_EQ(WindowText(owner), "My saver");
  EXPECT_EQ(WindowText(form.Handle()), "Test form");
  EXPECT_TRUE(::IsWindowVisible(owner)) << "a taskbar button needs a visible window";
  EXPECT_EQ(::GetWindowLongPtrA(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  RECT ownerBounds{};
  ::GetWindowRect(owner, &ownerBounds);
  EXPECT_EQ(ownerBounds.right - ownerBounds.left, 0);
}

TEST(UiForm, ActivationFiresOnceThoughAMessageBoxAndAnotherWindowTookTheFocus) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  MessageBoxWatcher watcher;
  form.onActivate = [&] { application.ShowErrorMessage("a message box takes the activation"); };
  form.Show();
  ASSERT_TRUE(PumpUntil(application, [&] { return watcher.Seen() == 1 && !watcher.BoxOpen(); }));
  // An ownerless box hands the activation back to whichever window the
  // system picks; the form getting it back must not count as a second one.
  ::SetForegroundWindow(form.Handle());
  ::SetActiveWindow(form.Handle());
  ASSERT_TRUE(PumpUntil(application, [&] { return ::GetActiveWindow() == form.Handle(); }));

  HWND other = ::CreateWindowExA(0, "STATIC", "another window", WS_POPUP | WS_VISIBLE, 400, 400, 100, 50, nullptr,
                                 nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  ::SetForegroundWindow(other);
  ::SetActiveWindow(other);
  ASSERT_TRUE(PumpUntil(application, [&] { return ::GetActiveWindow() == other; }));
  ::SetForegroundWindow(form.Handle());
  ::SetActiveWindow(form.Handle());
  ASSERT_TRUE(PumpUntil(application, [&] { return ::GetActiveWindow() == form.Handle(); }));
  ::DestroyWindow(other);

  EXPECT_EQ(form.activations, 1);
  EXPECT_EQ(watcher.Seen(), 1);
}

TEST(UiForm, ClosingTheMainFormEndsTheLoopAndRunsFormDestroy) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  HWND window = form.Handle();
  form.onActivate = [&] { ::PostMessageA(window, WM_CLOSE, 0, 0); };
  application.Run();
  EXPECT_TRUE(application.Terminated());
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(form.destructions, 1);
  EXPECT_EQ(form.Handle(), nullptr);
}

TEST(UiForm, TheApplicationIconIsTheProgramsIcon) {
  ui::Application application;
  HICON programIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  ASSERT_NE(programIcon, nullptr) << "the test program carries the icon under the program's id";
  EXPECT_EQ(application.Icon(), programIcon);
  EXPECT_NE(application.Icon(), ::LoadIconA(nullptr, IDI_APPLICATION));
}

TEST(UiForm, GeometryFollowsTheDesignAndTheSetters) {
  static constexpr ui::FormDesign kCentred{"TfrmUiCentred",
                                           "Centred",
                                           217,
                                           135,
                                           ui::BorderStyle::Single,
                                           ui::kButtonFace,
                                           {},
                                           ui::FormPosition::ScreenCentre,
                                           false};
  struct TfrmUiCentred : ui::Form {
    TfrmUiCentred() : Form(kCentred, {}) {}
  };
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiCentred>();
  EXPECT_EQ(form.ClientWidth(), 217);
  EXPECT_EQ(form.ClientHeight(), 135);
  form.Show();
  const RECT bounds = form.Bounds();
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  EXPECT_GT(width, 217) << "a single border adds a frame";
  EXPECT_EQ(bounds.left, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(bounds.top, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2);

  form.SetBorderStyle(ui::BorderStyle::None);
  form.SetClientSize(300, 100);
  EXPECT_EQ(form.Bounds().right - form.Bounds().left, 300) << "no border: outer and client size agree";
  EXPECT_EQ(::GetWindowLongPtrA(form.Handle(), GWL_STYLE) & WS_CAPTION, 0);
  form.SetTopmost(true);
  EXPECT_NE(::GetWindowLongPtrA(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  form.SetBounds(0, 0, 50, 40);
  EXPECT_EQ(form.ClientWidth(), 50);
  EXPECT_EQ(form.ClientHeight(), 40);
}

TEST(UiForm, TheLayoutTableAndTheControlsMustMatch) {
  static constexpr ui::ControlLayout kMissingControl[] = {{"lblNobody", nullptr, 0, 0, 10, 10}};
  static constexpr ui::ControlLayout kPanelAfterChild[] = {{"lblInside", "fraBox", 0, 0, 10, 10},
                                                           {"fraBox", nullptr, 0, 0, 50, 50}};
  static constexpr ui::ControlLayout kMissingRow[] = {{"fraBox", nullptr, 0, 0, 50, 50}};
  struct Mismatched : ui::Form {
    explicit Mismatched(std::span<const ui::ControlLayout> layout) : Form(kTestDesign, layout) {}
    ui::Panel fraBox{*this, "fraBox"};
    ui::Label lblInside{*this, "lblInside"};
  };
  struct Unlisted : ui::Form {
    Unlisted() : Form(kTestDesign, kMissingControl) {}
  };
  ui::Application application;
  EXPECT_THROW(application.CreateForm<Unlisted>(), std::logic_error);
  EXPECT_THROW(application.CreateForm<Mismatched>(std::span<const ui::ControlLayout>(kPanelAfterChild)),
               std::logic_error);
  EXPECT_THROW(application.CreateForm<Mismatched>(std::span<const ui::ControlLayout>(kMissingRow)), std::logic_error);
  EXPECT_EQ(application.MainForm(), nullptr) << "a form that failed is not the main form";
  EXPECT_EQ(::FindWindowA("TfrmUiTest", nullptr), nullptr) << "nor is its window left behind";
}

TEST(UiErrors, AnErrorEscapingAHandlerIsShownAndTheRestOfTheHandlerDoesNotRun) {
  ui::Application application;
  application.SetTitle("Error title");
  auto& form = application.CreateForm<TfrmUiTest>();
  bool before = false;
  bool after = false;
  form.cmdOk.OnClick = [&] {
    before = true;
    throw std::runtime_error("The player refused the movie.");
    after = true;  // NOLINT: must never run
  };
  form.Show();
  MessageBoxWatcher watcher;
  ::PostMessageA(form.cmdOk.Handle(), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil(application, [&] { return watcher.Seen() == 1 && ::IsWindowEnabled(form.Handle()); }));
  EXPECT_TRUE(before);
  EXPECT_FALSE(after);
  EXPECT_EQ(watcher.Caption(), "Error title");
  EXPECT_EQ(watcher.Text(), "The player refused the movie.");
  EXPECT_EQ(watcher.Buttons(), "OK");
  EXPECT_TRUE(::IsWindowVisible(form.Handle())) << "the window stays open";
  EXPECT_FALSE(application.Terminated());
}

TEST(UiErrors, AnErrorInActivationIsShownAndTheFormStaysOpen) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  form.onActivate = [] { throw std::invalid_argument("Not a number: x"); };
  MessageBoxWatcher watcher;
  form.Show();
  ASSERT_TRUE(PumpUntil(application, [&] { return watcher.Seen() == 1; }));
  EXPECT_EQ(watcher.Text(), "Not a number: x");
  EXPECT_TRUE(::IsWindow(form.Handle()));
  EXPECT_EQ(form.activations, 1);
}

// --- Window-procedure replacement ------------------------------------------

constexpr UINT kProbe = WM_APP + 77;
ui::WindowProcedureReplacement* gReplaced = nullptr;
int gProbes = 0;

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == kProbe) {
    ++gProbes;
    return 42;
  }
  return gReplaced->CallPrevious(window, message, wParam, lParam);
}

WNDPROC ProcedureOf(HWND window) { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(window, GWLP_WNDPROC)); }

TEST(UiWindowProcedure, ReplacesPassesOnAndPutsBackTheProcedureOfOwnAndForeignWindows) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  HWND foreign =
      ::CreateWindowExA(0, "STATIC", "foreign text", WS_CHILD, 0, 0, 10, 10, form.Handle(), nullptr, nullptr, nullptr);
  ASSERT_NE(foreign, nullptr);
  for (HWND window : {form.Handle(), foreign}) {
    const std::string text = WindowText(window);
    const WNDPROC original = ProcedureOf(window);
    gProbes = 0;
    {
      ui::WindowProcedureReplacement replacement(window, ProbeProcedure);
      gReplaced = &replacement;
      ASSERT_TRUE(replacement.Active());
      EXPECT_EQ(replacement.Previous(), original);
      EXPECT_EQ(::SendMessageA(window, kProbe, 0, 0), 42);
      EXPECT_EQ(WindowText(window), text) << "other messages reach the previous procedure";
    }
    gReplaced = nullptr;
    EXPECT_EQ(ProcedureOf(window), original) << "put back at the end";
    EXPECT_EQ(::SendMessageA(window, kProbe, 0, 0), 0);
    EXPECT_EQ(gProbes, 1);
  }
}

LRESULT CALLBACK OuterProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  return ::DefWindowProcA(window, message, wParam, lParam);
}

TEST(UiWindowProcedure, ALaterReplacementKeepsTheChainWhenTheEarlierOneEnds) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  ui::WindowProcedureReplacement first(form.Handle(), ProbeProcedure);
  gReplaced = &first;
  const LONG_PTR outer = ::SetWindowLongPtrA(form.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OuterProcedure));
  first.Restore();
  EXPECT_EQ(ProcedureOf(form.Handle()), OuterProcedure);
  EXPECT_TRUE(first.Active()) << "still in the chain, still passing messages on";
  ::SetWindowLongPtrA(form.Handle(), GWLP_WNDPROC, outer);
  first.Restore();
  EXPECT_FALSE(first.Active());
  gReplaced = nullptr;
}

// --- Input ------------------------------------------------------------------

struct MouseRecord {
  int formDowns = 0;
  int panelDowns = 0;
};
MouseRecord gMouse;
ui::WindowProcedureReplacement* gFormProcedure = nullptr;
ui::WindowProcedureReplacement* gPanelProcedure = nullptr;

LRESULT CALLBACK RecordingFormProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_LBUTTONDOWN) ++gMouse.formDowns;
  return gFormProcedure->CallPrevious(window, message, wParam, lParam);
}

LRESULT CALLBACK RecordingPanelProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_LBUTTONDOWN) ++gMouse.panelDowns;
  return gPanelProcedure->CallPrevious(window, message, wParam, lParam);
}

TEST(UiInput, ClicksOverALabelReachItsParentAndOverAPanelThePanel) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  form.SetTopmost(true);
  ui::WindowProcedureReplacement formProcedure(form.Handle(), RecordingFormProcedure);
  ui::WindowProcedureReplacement panelProcedure(form.fraBox.Handle(), RecordingPanelProcedure);
  gFormProcedure = &formProcedure;
  gPanelProcedure = &panelProcedure;
  int hintClicks = 0;
  int insideClicks = 0;
  form.lblHint.OnClick = [&] { ++hintClicks; };
  form.lblInside.OnClick = [&] { ++insideClicks; };
  form.Show();
  ASSERT_TRUE(PumpUntil(application, [&] { return ::GetActiveWindow() == form.Handle(); }));

  const struct {
    const char* what;
    HWND window;
    POINT clientPoint;
    MouseRecord expected;
  } cases[] = {
      {"label on the form", form.Handle(), {60, 115}, {1, 0}},
      {"label in the panel", form.fraBox.Handle(), {40, 20}, {0, 1}},
      {"bare panel", form.fraBox.Handle(), {100, 90}, {0, 1}},
  };
  for (const auto& c : cases) {
    gMouse = {};
    POINT point = c.clientPoint;
    ::ClientToScreen(c.window, &point);
    ClickAt(point);
    PumpUntil(application, [&] { return gMouse.formDowns + gMouse.panelDowns > 0; });
    PumpUntil(
        application, [] { return false; }, 100);
    EXPECT_EQ(gMouse.formDowns, c.expected.formDowns) << c.what;
    EXPECT_EQ(gMouse.panelDowns, c.expected.panelDowns) << c.what;
  }
  EXPECT_EQ(hintClicks, 1);
  EXPECT_EQ(insideClicks, 1);
  gFormProcedure = gPanelProcedure = nullptr;
}

TEST(UiInput, EnterPressesTheDefaultButtonAndEscapeTheCancelButton) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  std::vector<std::string> pressed;
  form.cmdOk.OnClick = [&] { pressed.push_back("ok"); };
  form.cmdCancel.OnClick = [&] { pressed.push_back("cancel"); };
  form.Show();
  ASSERT_TRUE(PumpUntil(application, [&] { return form.txtName.Focused(); }))
      << "the first control in tab order has the focus";
  ::PostMessageA(form.txtName.Handle(), WM_KEYDOWN, VK_TAB, 1);
  ASSERT_TRUE(PumpUntil(application, [&] { return form.cmdOk.Focused(); })) << "Tab follows the layout order";
  ::PostMessageA(form.cmdOk.Handle(), WM_KEYDOWN, VK_TAB, 1);
  ASSERT_TRUE(PumpUntil(application, [&] { return form.cmdCancel.Focused(); }));
  form.txtName.SetFocus();

  const struct {
    WORD key;
    bool realInput;
    const char* expected;
  } cases[] = {
      {VK_RETURN, false, "ok"}, {VK_ESCAPE, false, "cancel"}, {VK_RETURN, true, "ok"}, {VK_ESCAPE, true, "cancel"}};
  for (const auto& c : cases) {
    pressed.clear();
    if (c.realInput) {
      testing::PressKey(c.key);
    } else {
      ::PostMessageA(form.txtName.Handle(), WM_KEYDOWN, c.key, 1);
      ::PostMessageA(form.txtName.Handle(), WM_KEYUP, c.key, static_cast<LPARAM>(0xC0000001u));
    }
    ASSERT_TRUE(PumpUntil(application, [&] { return !pressed.empty(); })) << c.key << (c.realInput ? " real" : "");
    PumpUntil(
        application, [] { return false; }, 50);
    EXPECT_EQ(pressed, std::vector<std::string>{c.expected});
  }
}

TEST(UiControls, StateSetFromCodeFiresNothingAndUserActionsFireTheirEvents) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  std::vector<std::string> events;
  form.txtName.OnChange = [&] { events.push_back("text"); };
  form.chkOption.OnClick = [&] { events.push_back("check"); };
  form.cboChoice.OnChange = [&] { events.push_back("choice"); };
  form.optFirst.OnClick = [&] { events.push_back("first"); };
  form.optSecond.OnClick = [&] { events.push_back("second"); };
  form.cboChoice.SetItems({"1024x768", "800x600"});
  form.Show();

  form.txtName.SetText("from code");
  form.chkOption.SetChecked(true);
  form.cboChoice.SetItemIndex(1);
  form.optFirst.SetChecked(true);
  form.optSecond.SetChecked(true);
  PumpUntil(
      application, [] { return false; }, 50);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(form.txtName.Text(), "from code");
  EXPECT_EQ(form.cboChoice.ItemIndex(), 1);
  EXPECT_FALSE(form.optFirst.Checked()) << "one radio button of a group is checked";
  EXPECT_TRUE(form.optSecond.Checked());

  ::SendMessageA(form.txtName.Handle(), WM_CHAR, 'x', 1);
  ::SendMessageA(form.chkOption.Handle(), BM_CLICK, 0, 0);
  ::SendMessageA(form.optFirst.Handle(), BM_CLICK, 0, 0);
  ::SendMessageA(form.cboChoice.Handle(), CB_SETCURSEL, 0, 0);
  ::SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(form.cboChoice.Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(form.cboChoice.Handle()));
  EXPECT_EQ(events, (std::vector<std::string>{"text", "check", "first", "choice"}));
  EXPECT_FALSE(form.chkOption.Checked());
  EXPECT_TRUE(form.optFirst.Checked());
  EXPECT_FALSE(form.optSecond.Checked());
  EXPECT_EQ(form.cboChoice.ItemIndex(), 0);
}

// Only the checked radio button of a group is a tab stop
// (none while none is checked), however the check came about.
TEST(UiControls, OnlyTheCheckedRadioButtonOfAGroupIsATabStop) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  form.Show();
  const auto tabStops = [&] {
    std::vector<bool> stops;
    for (const ui::RadioButton* radio : {&form.optFirst, &form.optSecond}) {
      stops.push_back((::GetWindowLongPtrA(radio->Handle(), GWL_STYLE) & WS_TABSTOP) != 0);
    }
    return stops;
  };
  const struct {
    const char* step;
    std::function<void()> act;
    std::vector<bool> expected;
  } steps[] = {
      {"none checked", [] {}, {false, false}},
      {"second checked from code", [&] { form.optSecond.SetChecked(true); }, {false, true}},
      {"first clicked", [&] { ::SendMessageA(form.optFirst.Handle(), BM_CLICK, 0, 0); }, {true, false}},
      {"second clicked", [&] { ::SendMessageA(form.optSecond.Handle(), BM_CLICK, 0, 0); }, {false, true}},
      {"first checked from code", [&] { form.optFirst.SetChecked(true); }, {true, false}},
      {"first unchecked", [&] { form.optFirst.SetChecked(false); }, {false, false}},
  };
  for (const auto& step : steps) {
    step.act();
    EXPECT_EQ(tabStops(), step.expected) << step.step;
  }
}

LOGFONTA FontOf(HWND window) {
  LOGFONTA font{};
  ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font;
}

// A control takes its parent's font until it is given one of its own; the
// form's font then no longer reaches it.
TEST(UiControls, FontsFollowTheirParentUntilSetAndCarryTheirCharacterSet) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  form.chkOption.SetFontCharset(238);
  form.optFirst.SetFontBold(true);
  form.SetFontFace("Segoe UI");
  const struct {
    const char* what;
    HWND window;
    const char* face;
    int charset;
    bool bold;
  } cases[] = {
      {"inherits from the form", form.txtName.Handle(), "Segoe UI", DEFAULT_CHARSET, false},
      {"own character set", form.chkOption.Handle(), "Tahoma", 238, false},
      {"inherits through the panel", form.optSecond.Handle(), "Segoe UI", DEFAULT_CHARSET, false},
      {"own style in the panel", form.optFirst.Handle(), "Tahoma", DEFAULT_CHARSET, true},
  };
  for (const auto& c : cases) {
    const LOGFONTA font = FontOf(c.window);
    EXPECT_STREQ(font.lfFaceName, c.face) << c.what;
    EXPECT_EQ(font.lfCharSet, c.charset) << c.what;
    EXPECT_EQ(font.lfWeight == FW_BOLD, c.bold) << c.what;
    EXPECT_EQ(font.lfHeight, -11) << c.what << ": 8 points at 96 pixels per inch";
  }
}

TEST(UiControls, AHostedControlHoldsItsRowAndReportsChanges) {
  static constexpr ui::ControlLayout kHostLayout[] = {
      {"fraArea", nullptr, 10, 10, 200, 150},
      {"swfMovie", "fraArea", 8, 8, 154, 113},
  };
  struct TfrmUiHost : ui::Form {
    TfrmUiHost() : Form(kTestDesign, kHostLayout) {}
    ui::Panel fraArea{*this, "fraArea"};
    ui::HostedControl swfMovie{*this, "swfMovie"};
  };
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiHost>();
  EXPECT_EQ(form.swfMovie.Parent()->ContainerWindow(), form.fraArea.Handle());
  EXPECT_EQ(form.swfMovie.Handle(), nullptr);
  EXPECT_EQ(form.swfMovie.Width(), 154);
  std::vector<std::string> changes;
  form.swfMovie.OnLayoutChanged = [&] {
    changes.push_back(std::to_string(form.swfMovie.Left()) + "," + std::to_string(form.swfMovie.Width()) +
                      (form.swfMovie.Visible() ? "" : " hidden"));
  };
  form.swfMovie.SetBounds(0, 0, 300, 200);
  form.swfMovie.Hide();
  EXPECT_EQ(changes, (std::vector<std::string>{"0,300", "0,300 hidden"}));
}

TEST(UiControls, PasswordCharacterAndTextLimit) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  form.txtName.SetPasswordChar('*');
  form.txtName.SetMaxLength(3);
  for (char c : std::string("abcdef")) ::SendMessageA(form.txtName.Handle(), WM_CHAR, static_cast<WPARAM>(c), 1);
  EXPECT_EQ(form.txtName.Text(), "abc");
  EXPECT_EQ(::SendMessageA(form.txtName.Handle(), EM_GETPASSWORDCHAR, 0, 0), '*');
}

TEST(UiControls, APanelMadeOnShowMakesItsControlsWithTheirEarlierSettingsWhenFirstShown) {
  static constexpr ui::ControlLayout kPromptLayout[] = {
      {"fraPrompt", nullptr, 10, 10, 200, 100, "", ui::kHidden | ui::kCreateOnShow},
      {"lblAsk", "fraPrompt", 8, 8, 60, 16, "Ask"},
      {"txtAnswer", "fraPrompt", 8, 30, 150, 21},
  };
  struct TfrmUiPrompt : ui::Form {
    TfrmUiPrompt() : Form(kTestDesign, kPromptLayout) {}
    ui::Panel fraPrompt{*this, "fraPrompt"};
    ui::Label lblAsk{*this, "lblAsk"};
    ui::Edit txtAnswer{*this, "txtAnswer"};
  };
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiPrompt>();
  ASSERT_NE(form.fraPrompt.Handle(), nullptr);
  EXPECT_EQ(form.txtAnswer.Handle(), nullptr);
  EXPECT_TRUE(form.fraPrompt.ControlsPending());
  form.txtAnswer.SetPasswordChar('*');
  form.txtAnswer.SetMaxLength(2);
  form.txtAnswer.SetText("xy");
  EXPECT_EQ(form.txtAnswer.Text(), "xy");

  form.fraPrompt.Show();
  ASSERT_NE(form.txtAnswer.Handle(), nullptr);
  EXPECT_FALSE(form.fraPrompt.ControlsPending());
  EXPECT_EQ(::GetParent(form.txtAnswer.Handle()), form.fraPrompt.Handle());
  EXPECT_EQ(::SendMessageA(form.txtAnswer.Handle(), EM_GETPASSWORDCHAR, 0, 0), '*');
  EXPECT_EQ(::SendMessageA(form.txtAnswer.Handle(), EM_GETLIMITTEXT, 0, 0), 2);
  EXPECT_EQ(WindowText(form.txtAnswer.Handle()), "xy");
  const HWND made = form.txtAnswer.Handle();
  form.fraPrompt.Hide();
  form.fraPrompt.Show();
  EXPECT_EQ(form.txtAnswer.Handle(), made) << "made once";
}

TEST(UiTimer, RunsOnTheFormUntilDisabled) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiTest>();
  ui::Timer timer(form, 20, false);
  int ticks = 0;
  timer.OnTimer = [&] {
    if (++ticks == 3) {
      timer.SetEnabled(false);
      application.Terminate();
    }
  };
  form.onActivate = [&] { timer.SetEnabled(true); };
  application.Run();
  EXPECT_EQ(ticks, 3);
  PumpUntil(
      application, [] { return false; }, 100);
  EXPECT_EQ(ticks, 3) << "a disabled timer stays quiet";
}

}  // namespace
}  // namespace tpl
