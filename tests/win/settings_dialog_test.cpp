// The settings dialog with other configuration values than the program's
// fixed ones: where the optional controls go, what they show of the store,
// and what each user action stores. The dialog is made here as start-up makes
// it, with a picture, so no movie takes the focus.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/frm_settings_code.h"
#include "win/settings_dialog_support.h"

namespace tpl::testing {
namespace {

using SettingsDialog = SettingsDialogFixture;

struct OptionalControl {
  const char* name;
  ShownOptions shown;
  ui::Control* (*of)(TfrmSettings&);
};

const OptionalControl kOptionalControls[] = {
    {"chkMultimonitor",
     {true, false, false, false, false},
     [](TfrmSettings& f) -> ui::Control* { return &f.chkMultimonitor; }},
    {"fraResolution",
     {false, true, false, false, false},
     [](TfrmSettings& f) -> ui::Control* { return &f.fraResolution; }},
    {"fraScaleMode",
     {false, false, true, false, false},
     [](TfrmSettings& f) -> ui::Control* { return &f.fraScaleMode; }},
    {"chkKeybQuit", {false, false, false, true, false}, [](TfrmSettings& f) -> ui::Control* { return &f.chkKeybQuit; }},
    {"chkMouseQuit",
     {false, false, false, false, true},
     [](TfrmSettings& f) -> ui::Control* { return &f.chkMouseQuit; }},
};

RECT OuterBounds(const TfrmSettings& form) { return form.Bounds(); }
int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

TEST_F(SettingsDialog, AllFiveShownSitBelowTheAreaInTheirOrder) {
  TfrmSettings& form = ShowDialog(ConfigurationShowing(kAllShown));
  ASSERT_EQ(form.PixelsPerInch(), 96) << "the worked layout is the one at 96 pixels per inch";

  const int expectedTops[] = {416, 440, 488, 536, 560};
  for (std::size_t i = 0; i < std::size(kOptionalControls); ++i) {
    const ui::Control& control = *kOptionalControls[i].of(form);
    SCOPED_TRACE(kOptionalControls[i].name);
    ASSERT_NE(control.Handle(), nullptr);
    EXPECT_TRUE(::IsWindowVisible(control.Handle()));
    EXPECT_EQ(PlaceInDialog(control.Handle(), form.Handle()).top, expectedTops[i]);
    EXPECT_EQ(PlaceInDialog(control.Handle(), form.Handle()).left, 8) << "design left";
  }
  const RECT window = OuterBounds(form);
  EXPECT_EQ(Width(window), 406);
  EXPECT_EQ(Height(window), 640);
  EXPECT_EQ(window.left, (::GetSystemMetrics(SM_CXSCREEN) - 406) / 2);
  EXPECT_EQ(window.top, (::GetSystemMetrics(SM_CYSCREEN) - 640) / 2);
  const RECT close = PlaceInDialog(form.cmdClose.Handle(), form.Handle());
  EXPECT_EQ(close.left, 304);
  EXPECT_EQ(close.top, 576);
  EXPECT_EQ(form.lblCreated.Top(), form.ClientHeight() - form.lblCreated.Height() - 3);

  EXPECT_EQ(WindowText(form.chkMultimonitor.Handle()), "Show on every monitor");
  EXPECT_EQ(WindowText(form.chkResolution.Handle()), "Change the resolution");
  EXPECT_EQ(form.lblScale.Caption(), "Fit the movie");
  EXPECT_EQ(WindowText(form.chkKeybQuit.Handle()), "A key ends the saver");
  EXPECT_EQ(WindowText(form.chkMouseQuit.Handle()), "The mouse ends the saver");
  // Inside the panels the design places stay.
  EXPECT_EQ(PlaceInDialog(form.cboResolution.Handle(), form.fraResolution.Handle()).left, 112);
  EXPECT_EQ(PlaceInDialog(form.optExactFit.Handle(), form.fraScaleMode.Handle()).left, 48);
  EXPECT_EQ(form.imgStoProcent.Left(), 112);
}

TEST_F(SettingsDialog, EachOptionalControlAloneTakesTheFirstRow) {
  for (const OptionalControl& tested : kOptionalControls) {
    SCOPED_TRACE(tested.name);
    TfrmSettings& form = ShowDialog(ConfigurationShowing(tested.shown));
    for (const OptionalControl& other : kOptionalControls) {
      const ui::Control& control = *other.of(form);
      EXPECT_EQ(::IsWindowVisible(control.Handle()) != FALSE, &other == &tested) << other.name;
    }
    const ui::Control& shown = *tested.of(form);
    EXPECT_EQ(PlaceInDialog(shown.Handle(), form.Handle()).top, 416);
    const bool group = &tested == &kOptionalControls[1] || &tested == &kOptionalControls[2];
    const int offset = group ? 40 : 16;
    EXPECT_EQ(Height(OuterBounds(form)), 480 + offset);
    EXPECT_EQ(PlaceInDialog(form.cmdClose.Handle(), form.Handle()).top, 416 + offset);
    application_.reset();
    DeleteRegistryTree(HKEY_CURRENT_USER, TestSettingsKey());
  }
}

TEST_F(SettingsDialog, TheBuiltInConfigurationShowsOnlyThePictureTheCreditLineAndClose) {
  SaverConfiguration builtIn;
  builtIn.SaverId = kTestSaverId;
  TfrmSettings& form = ShowDialog(builtIn);
  for (const OptionalControl& control : kOptionalControls) {
    EXPECT_FALSE(::IsWindowVisible(control.of(form)->Handle())) << control.name;
  }
  EXPECT_TRUE(form.picSettings.Visible());
  EXPECT_FALSE(form.swfSettings.Visible());
  EXPECT_FALSE(::IsWindowVisible(form.Player().Handle()));
  EXPECT_TRUE(form.lblCreated.Visible());
  EXPECT_EQ(form.lblCreated.Caption(), "Created with 0.9");
  EXPECT_TRUE(::IsWindowVisible(form.cmdClose.Handle()));
  EXPECT_EQ(WindowText(form.cmdClose.Handle()), "Close");
  EXPECT_EQ(WindowText(form.Handle()), "Screensaver settings");
  EXPECT_EQ(application_->Title(), "Screensaver");
  EXPECT_EQ(Width(OuterBounds(form)), 406);
  EXPECT_EQ(Height(OuterBounds(form)), 496);
  EXPECT_EQ(PlaceInDialog(form.cmdClose.Handle(), form.Handle()).left, 304);
  EXPECT_EQ(PlaceInDialog(form.cmdClose.Handle(), form.Handle()).top, 432);
  EXPECT_TRUE(form.cmdClose.Focused()) << "Close is first in tab order";
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TestSettingsKey())) << "activation touched the store";
}

TEST_F(SettingsDialog, ANarrowAreaIsWidenedTo300Pixels) {
  SaverConfiguration narrow = ConfigurationShowing({});
  narrow.SettingsAreaWidth = "250";
  narrow.SettingsAreaHeight = "200";
  TfrmSettings& form = ShowDialog(narrow);
  EXPECT_EQ(form.SettingsAreaWidth, "300");
  EXPECT_EQ(form.picSettings.Width(), 300);
  EXPECT_EQ(form.picSettings.Height(), 200);
  EXPECT_EQ(form.swfSettings.Width(), 300);
  EXPECT_EQ(Width(OuterBounds(form)), 306);
  EXPECT_EQ(Height(OuterBounds(form)), 296);
  EXPECT_EQ(PlaceInDialog(form.cmdClose.Handle(), form.Handle()).left, 204);
}

// A number that is none stops the set-up with the standard error message,
// before anything moved; the dialog stays open.
TEST_F(SettingsDialog, AnAreaSizeThatIsNoNumberIsReportedAndTheWindowStays) {
  SaverConfiguration bad = ConfigurationShowing(kAllShown);
  bad.SettingsAreaHeight = "tall";
  TfrmSettings& form = Create(bad);
  MessageBoxWatcher watcher;
  form.Show();
  ASSERT_TRUE(WaitUntil([&] { return watcher.Seen() == 1 && !watcher.BoxOpen(); }));
  EXPECT_EQ(watcher.Text(), "'tall' is not a valid integer value");
  EXPECT_TRUE(::IsWindow(form.Handle()));
  EXPECT_FALSE(::IsWindowVisible(form.chkMouseQuit.Handle()));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TestSettingsKey()));
}

// ---------------------------------------------------------------------------
// Stored settings in the controls

TEST_F(SettingsDialog, MissingValuesAreSeededAndShown) {
  SaverConfiguration seeds = ConfigurationShowing(kAllShown);
  seeds.MouseQuitDefault = "0";
  seeds.KeybQuitDefault = "1";
  seeds.ResChangeDefault = "800";
  seeds.DefaultScaleMode = "noscale";
  seeds.MultimonitorsDefault = "all";
  TfrmSettings& form = ShowDialog(seeds);

  EXPECT_EQ(StoredText("MouseQuit"), "0");
  EXPECT_EQ(StoredText("KeybQuit"), "1");
  EXPECT_EQ(StoredText("ResChange"), "800");
  EXPECT_EQ(StoredText("ScaleMode"), "noscale");
  EXPECT_EQ(StoredText("Multimonitors"), "all");
  EXPECT_FALSE(form.chkMouseQuit.Checked());
  EXPECT_TRUE(form.chkKeybQuit.Checked());
  EXPECT_TRUE(form.chkResolution.Checked());
  EXPECT_TRUE(form.cboResolution.Enabled());
  EXPECT_EQ(form.cboResolution.ItemIndex(), 1);
  EXPECT_TRUE(form.optStoProcent.Checked());
  EXPECT_FALSE(form.optShowAll.Checked());
  EXPECT_TRUE(form.chkMultimonitor.Checked());
}

TEST_F(SettingsDialog, TheBuiltInResolutionSeedShowsTheBoxUncheckedAndTheListDisabled) {
  TfrmSettings& form = ShowDialog(ConfigurationShowing({false, true, false, false, false}));
  EXPECT_EQ(StoredText("ResChange"), "65536");
  EXPECT_FALSE(form.chkResolution.Checked());
  EXPECT_FALSE(form.cboResolution.Enabled());
  EXPECT_FALSE(::IsWindowEnabled(form.cboResolution.Handle()));
  EXPECT_EQ(form.cboResolution.ItemIndex(), 0);
  EXPECT_EQ(StoredText("MouseQuit"), "") << "only shown controls are seeded";
}

// Hidden groups are neither read nor seeded.
TEST_F(SettingsDialog, OnlyTheShownControlsSeedTheirValues) {
  ShowDialog(ConfigurationShowing({false, false, true, false, true}));
  EXPECT_EQ(StoredText("ScaleMode"), "exactfit");
  EXPECT_EQ(StoredText("MouseQuit"), "1");
  for (const char* name : {"KeybQuit", "ResChange", "Multimonitors"}) EXPECT_EQ(StoredText(name), "") << name;
}

struct StoredCase {
  const char* label;
  const char* resChange;
  const char* scaleMode;
  const char* flag;  // MouseQuit and KeybQuit
  const char* multimonitors;
  bool resolutionChecked;
  int item;
  ScaleChoice scale;
  bool flagChecked;
  bool multimonitorChecked;
};

const StoredCase kStoredCases[] = {
    {"listed_texts", "800", "exactfit", "1", "all", true, 1, ScaleChoice::ExactFit, true, true},
    {"1024", "1024", "noscale", "0", "primary", true, 0, ScaleChoice::NoScale, false, false},
    {"unlisted_texts", "768", "ShowAll", "true", "All", true, 0, ScaleChoice::ShowAll, false, false},
    {"no_change", "65536", "showall", "01", "everywhere", false, 0, ScaleChoice::ShowAll, false, false},
};

class StoredSettings : public SettingsDialogFixture, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredSettings, AreShownAndKeptAsStored) {
  const StoredCase& c = GetParam();
  for (const char* name : {"MouseQuit", "KeybQuit"}) StoreText(name, c.flag);
  StoreText("ResChange", c.resChange);
  StoreText("ScaleMode", c.scaleMode);
  StoreText("Multimonitors", c.multimonitors);
  TfrmSettings& form = ShowDialog(ConfigurationShowing(kAllShown));

  EXPECT_EQ(form.chkResolution.Checked(), c.resolutionChecked);
  EXPECT_EQ(form.cboResolution.Enabled(), c.resolutionChecked);
  EXPECT_EQ(form.cboResolution.ItemIndex(), c.item);
  EXPECT_EQ(form.optShowAll.Checked(), c.scale == ScaleChoice::ShowAll);
  EXPECT_EQ(form.optExactFit.Checked(), c.scale == ScaleChoice::ExactFit);
  EXPECT_EQ(form.optStoProcent.Checked(), c.scale == ScaleChoice::NoScale);
  EXPECT_EQ(form.chkMouseQuit.Checked(), c.flagChecked);
  EXPECT_EQ(form.chkKeybQuit.Checked(), c.flagChecked);
  EXPECT_EQ(form.chkMultimonitor.Checked(), c.multimonitorChecked);

  EXPECT_EQ(StoredText("ResChange"), c.resChange);
  EXPECT_EQ(StoredText("ScaleMode"), c.scaleMode);
  EXPECT_EQ(StoredText("MouseQuit"), c.flag);
  EXPECT_EQ(StoredText("KeybQuit"), c.flag);
  EXPECT_EQ(StoredText("Multimonitors"), c.multimonitors);
}

INSTANTIATE_TEST_SUITE_P(Dialog, StoredSettings, ::testing::ValuesIn(kStoredCases),
                         [](const auto& tested) { return std::string(tested.param.label); });

// ---------------------------------------------------------------------------
// User actions and states set from code

TEST_F(SettingsDialog, StatesSetFromCodeStoreNothing) {
  TfrmSettings& form = ShowDialog(ConfigurationShowing(kAllShown));
  DeleteRegistryTree(HKEY_CURRENT_USER, TestSettingsKey());
  form.chkMouseQuit.SetChecked(!form.chkMouseQuit.Checked());
  form.chkKeybQuit.SetChecked(!form.chkKeybQuit.Checked());
  form.chkMultimonitor.SetChecked(true);
  form.chkResolution.SetChecked(true);
  form.cboResolution.SetEnabled(true);
  form.cboResolution.SetItemIndex(1);
  form.optExactFit.SetChecked(true);
  form.optStoProcent.SetChecked(true);
  PumpMessagesFor(300);
  application_->ProcessMessages();
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TestSettingsKey()));
}

class UserActions : public SettingsDialogFixture {
 protected:
  TfrmSettings& ShowAll() {
    TfrmSettings& form = ShowDialog(ConfigurationShowing(kAllShown));
    ::SetForegroundWindow(form.Handle());
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == form.Handle(); }));
    return form;
  }
  // Clicks and waits until the value reads `expected`.
  bool ClickUntilStored(POINT point, const char* name, const std::string& expected) {
    ClickAt(point);
    return WaitUntil([&] { return StoredText(name) == expected; });
  }
};

TEST_F(UserActions, CheckBoxClicksStoreTheirTextsAtOnce) {
  TfrmSettings& form = ShowAll();
  ASSERT_EQ(StoredText("MouseQuit"), "1");
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkMouseQuit.Handle()), "MouseQuit", "0"));
  EXPECT_FALSE(form.chkMouseQuit.Checked());
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkMouseQuit.Handle()), "MouseQuit", "1"));
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkKeybQuit.Handle()), "KeybQuit", "0"));
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkMultimonitor.Handle()), "Multimonitors", "all"));
  EXPECT_TRUE(form.chkMultimonitor.Checked());
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkMultimonitor.Handle()), "Multimonitors", "primary"));
}

TEST_F(UserActions, TheResolutionBoxSwitchesTheListAndTheListStoresItsChoice) {
  TfrmSettings& form = ShowAll();
  ASSERT_EQ(StoredText("ResChange"), "65536");
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkResolution.Handle()), "ResChange", "1024"));
  EXPECT_TRUE(form.cboResolution.Enabled());

  form.cboResolution.SetFocus();
  PressKey(VK_DOWN);
  EXPECT_TRUE(WaitUntil([&] { return StoredText("ResChange") == "800"; }));
  EXPECT_EQ(form.cboResolution.ItemIndex(), 1);

  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkResolution.Handle()), "ResChange", "65536"));
  EXPECT_FALSE(form.cboResolution.Enabled());
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.chkResolution.Handle()), "ResChange", "800"))
      << "checked again, the box stores the listed choice";
  EXPECT_TRUE(form.cboResolution.Enabled());

  form.cboResolution.SetFocus();
  PressKey(VK_UP);
  EXPECT_TRUE(WaitUntil([&] { return StoredText("ResChange") == "1024"; }));
}

TEST_F(UserActions, RadioButtonsAndThePicturesBesideThemSelectAndStoreTheirMode) {
  TfrmSettings& form = ShowAll();
  ASSERT_EQ(StoredText("ScaleMode"), "exactfit");
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.optStoProcent.Handle()), "ScaleMode", "noscale"));
  EXPECT_TRUE(form.optStoProcent.Checked());
  EXPECT_FALSE(form.optExactFit.Checked());

  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.imgShowAll), "ScaleMode", "showall"));
  EXPECT_TRUE(form.optShowAll.Checked());
  EXPECT_FALSE(form.optStoProcent.Checked());
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.imgExactFit), "ScaleMode", "exactfit"));
  EXPECT_TRUE(form.optExactFit.Checked());
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.imgStoProcent), "ScaleMode", "noscale"));
  EXPECT_TRUE(form.optStoProcent.Checked());
  EXPECT_TRUE(ClickUntilStored(CentreOnScreen(form.optShowAll.Handle()), "ScaleMode", "showall"));
}

bool HasTabStop(HWND window) { return (::GetWindowLongPtrA(window, GWL_STYLE) & WS_TABSTOP) != 0; }

struct TabCase {
  const char* label;
  ScaleChoice start;
  const char* stored;
};

class TabThroughTheDialog : public UserActions, public ::testing::WithParamInterface<TabCase> {};

// An unchecked radio button that gets the focus by Tab is
// clicked, so with every button of the group a tab stop, tabbing through the
// dialog stored each scale mode in turn. Only the checked one is a tab stop.
TEST_P(TabThroughTheDialog, ReachesTheCheckedScaleModeOnlyAndStoresNothingNew) {
  TfrmSettings& form = ShowAll();
  const std::pair<ui::RadioButton*, ScaleChoice> group[] = {{&form.optShowAll, ScaleChoice::ShowAll},
                                                            {&form.optExactFit, ScaleChoice::ExactFit},
                                                            {&form.optStoProcent, ScaleChoice::NoScale}};
  ui::RadioButton* start = nullptr;
  for (const auto& [radio, choice] : group) {
    if (choice == GetParam().start) start = radio;
  }
  ASSERT_NE(start, nullptr);
  if (StoredText("ScaleMode") != GetParam().stored) {
    ASSERT_TRUE(ClickUntilStored(CentreOnScreen(start->Handle()), "ScaleMode", GetParam().stored));
  }
  for (const auto& [radio, choice] : group) {
    EXPECT_EQ(HasTabStop(radio->Handle()), radio == start) << ::testing::PrintToString(static_cast<int>(choice));
  }
  form.chkMouseQuit.SetFocus();
  bool reachedTheChecked = false;
  for (int press = 0; press < 24; ++press) {
    PressKey(VK_TAB);
    WaitUntil([] { return false; }, 40);
    for (const auto& [radio, choice] : group) {
      if (radio != start) {
        EXPECT_FALSE(radio->Focused()) << "Tab reached an unchecked scale mode";
      }
    }
    reachedTheChecked = reachedTheChecked || start->Focused();
  }
  EXPECT_TRUE(reachedTheChecked) << "the checked scale mode is no tab stop";
  EXPECT_EQ(StoredText("ScaleMode"), GetParam().stored);
  EXPECT_TRUE(start->Checked());
}

INSTANTIATE_TEST_SUITE_P(Starts, TabThroughTheDialog,
                         ::testing::Values(TabCase{"exact_fit", ScaleChoice::ExactFit, "exactfit"},
                                           TabCase{"show_all", ScaleChoice::ShowAll, "showall"},
                                           TabCase{"no_scale", ScaleChoice::NoScale, "noscale"}),
                         [](const auto& tested) { return std::string(tested.param.label); });

// The scale pictures are the program's own 22 x 15 resources.
TEST_F(SettingsDialog, TheScalePicturesAreLoaded) {
  TfrmSettings& form = ShowDialog(ConfigurationShowing({false, false, true, false, false}));
  for (const ui::Image* image : {&form.imgShowAll, &form.imgExactFit, &form.imgStoProcent}) {
    EXPECT_EQ(image->Picture().Width(), 22) << image->Name();
    EXPECT_EQ(image->Picture().Height(), 15) << image->Name();
  }
}

// ---------------------------------------------------------------------------
// Fonts, window procedures

TEST_F(SettingsDialog, NewerSystemsGetSegoeUiOnTheFormAndTheCaptionedControls) {
  TfrmSettings& form = Create(ConfigurationShowing(kAllShown));
  form.UseNewerWindowsFont();
  ASSERT_TRUE(Activate(form));
  EXPECT_EQ(form.Font().face, "Segoe UI");
  for (const ui::Control* control :
       std::vector<const ui::Control*>{&form.lblCreated, &form.cmdClose, &form.chkMultimonitor, &form.chkMouseQuit,
                                       &form.chkKeybQuit, &form.chkResolution, &form.lblScale, &form.cboResolution}) {
    EXPECT_EQ(control->Font().face, "Segoe UI") << control->Name();
  }
  EXPECT_EQ(form.lblCreated.Font().height, -9) << "the credit line keeps its size";
  EXPECT_EQ(form.lblCreated.Font().colour, ui::kSilver);
  LOGFONTA font{};
  const auto handle = reinterpret_cast<HFONT>(::SendMessageA(form.cmdClose.Handle(), WM_GETFONT, 0, 0));
  ASSERT_NE(::GetObjectA(handle, sizeof(font), &font), 0);
  EXPECT_STREQ(font.lfFaceName, "Segoe UI");
}

TEST_F(SettingsDialog, KeepsItsDesignFontsOnOlderSystems) {
  TfrmSettings& form = ShowDialog(ConfigurationShowing(kAllShown));
  EXPECT_EQ(form.Font().face, "Tahoma");
  EXPECT_EQ(form.cmdClose.Font().face, "MS Sans Serif");
  EXPECT_EQ(form.lblCreated.Font().face, "Tahoma");
  EXPECT_EQ(form.chkMouseQuit.Font().face, "Tahoma");
}

TEST_F(SettingsDialog, ReplacesTheProceduresOfItsWindowAndOfThePlayersWindow) {
  TfrmSettings& form = ShowDialog(ConfigurationShowing({}));
  EXPECT_EQ(::GetWindowLongPtrA(form.Handle(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SettingsFormWindowProc));
  HWND player = form.Player().Handle();
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(::GetWindowLongPtrA(player, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SettingsPlayerWindowProc));
  EXPECT_EQ(::SendMessageA(player, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10)), 1) << "swallowed";
  // Other messages still reach the dialog: a caption change goes through.
  ::SendMessageA(form.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
  EXPECT_EQ(WindowText(form.Handle()), "renamed");
}

}  // namespace
}  // namespace tpl::testing
