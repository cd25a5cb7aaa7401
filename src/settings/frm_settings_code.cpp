#include "settings/frm_settings_code.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "common/movie_value_store.h"
#include "common/movie_values.h"
#include "common/registry.h"
#include "common/store_layout.h"
#include "common/wide_text.h"
#include "package/mode_handover.h"
#include "settings/settings_commands.h"
#include "settings/settings_resources.h"
#include "ui/application.h"
#include "ui/window_procedure.h"

namespace tpl {
namespace {

constexpr ui::FormDesign kSettingsDesign{
    "TfrmSettings", "Screensaver settings",         400, 453, ui::BorderStyle::Single, ui::kWhite,
    {"Tahoma", 8},  ui::FormPosition::ScreenCentre, true};

// The optional controls' design places are replaced at activation; only the
// places inside the two panels stay as designed.
constexpr ui::ControlLayout kSettingsLayout[] = {
    // control          parent           left  top  width height caption flags
    {"picSettings", nullptr, 0, 0, 400, 400},
    {"swfSettings", nullptr, 0, 0, 400, 400},
    {"lblCreated", nullptr, 4, 440, 111, 11},
    {"cmdClose", nullptr, 304, 416, 81, 25, "Close", ui::kDefaultButton | ui::kCancelButton},
    {"chkMultimonitor", nullptr, 8, 416, 185, 17, "", ui::kHidden},
    {"fraResolution", nullptr, 8, 264, 185, 41, "", ui::kHidden},
    {"chkResolution", "fraResolution", 0, 0, 185, 17},
    {"cboResolution", "fraResolution", 112, 20, 73, 21},
    {"fraScaleMode", nullptr, 8, 360, 177, 33, "", ui::kHidden},
    {"lblScale", "fraScaleMode", 0, 0, 0, 0},
    {"optShowAll", "fraScaleMode", 0, 16, 17, 17},
    {"imgShowAll", "fraScaleMode", 16, 17, 22, 15},
    {"optExactFit", "fraScaleMode", 48, 16, 17, 17},
    {"imgExactFit", "fraScaleMode", 64, 17, 22, 15},
    {"optStoProcent", "fraScaleMode", 96, 16, 17, 17},
    {"imgStoProcent", "fraScaleMode", 112, 17, 22, 15},
    {"chkKeybQuit", nullptr, 8, 336, 201, 17, "", ui::kHidden},
    {"chkMouseQuit", nullptr, 8, 320, 201, 17, "", ui::kHidden},
};

constexpr char kNewerWindowsFont[] = "Segoe UI";
// The list's items, "1024×768" and "800×600": the multiplication sign goes
// through the system code page, which gives its own sign or a plain "x" where
// it has none (a raw 0xD7 byte is another letter, or a lead byte, elsewhere).
constexpr wchar_t kResolution1024Item[] = L"1024\u00D7" L"768";
constexpr wchar_t kResolution800Item[] = L"800\u00D7" L"600";

// What the two replacement procedures reach: process-wide, since a procedure
// that could not be unhooked stays in its window's chain and keeps passing
// messages on after the dialog has gone.
struct SettingsWindowState {
  TfrmSettings* form = nullptr;
  UINT quitMessage = 0;
  ui::WindowProcedureReplacement formProcedure;
  ui::WindowProcedureReplacement playerProcedure;
};

SettingsWindowState& WindowState() noexcept {
  static SettingsWindowState state;
  return state;
}

[[noreturn]] void EndProcess(HANDLE mutex) noexcept {
  ::ReleaseMutex(mutex);
  ::ExitProcess(0);
}

ui::FontStyle CreditLineFont() {
  ui::FontStyle font;
  font.face = "Tahoma";
  font.points = 7;
  font.height = -9;
  font.charset = EASTEUROPE_CHARSET;
  font.colour = ui::kSilver;
  return font;
}

ui::FontStyle CloseButtonFont() {
  ui::FontStyle font;
  font.face = "MS Sans Serif";
  font.points = 8;
  return font;
}

}  // namespace

TfrmSettings::TfrmSettings() : Form(kSettingsDesign, kSettingsLayout) {
  lblCreated.SetFont(CreditLineFont());
  cmdClose.SetFont(CloseButtonFont());
  cboResolution.SetItems({AnsiFromWide(kResolution1024Item), AnsiFromWide(kResolution800Item)});
  ConnectHandlers();
}

TfrmSettings::~TfrmSettings() {
  SettingsWindowState& state = WindowState();
  if (state.form == this) state.form = nullptr;
}

void TfrmSettings::ConnectHandlers() {
  cmdClose.OnClick = [this] { cmdCloseClick(); };
  chkMouseQuit.OnClick = [this] { chkMouseQuitClick(); };
  chkKeybQuit.OnClick = [this] { chkKeybQuitClick(); };
  chkMultimonitor.OnClick = [this] { chkMultimonitorClick(); };
  chkResolution.OnClick = [this] { chkResolutionClick(); };
  cboResolution.OnChange = [this] { cboResolutionChange(); };
  optShowAll.OnClick = [this] { optShowAllClick(); };
  optExactFit.OnClick = [this] { optExactFitClick(); };
  optStoProcent.OnClick = [this] { optStoProcentClick(); };
  // Each picture stands for the radio button to its left.
  imgShowAll.OnClick = [this] { optShowAllClick(); };
  imgExactFit.OnClick = [this] { optExactFitClick(); };
  imgStoProcent.OnClick = [this] { optStoProcentClick(); };
  swfSettings.OnLayoutChanged = [this] { FollowPlaceOfPlayer(); };
  swfSettingsPlayer_.OnFSCommand = [this](const std::wstring& command, const std::wstring& args) {
    swfSettingsFSCommand(command, args);
  };
  swfSettingsPlayer_.OnEventError = [](const std::exception& error) {
    if (ui::Application* application = ui::Application::Current()) application->ShowErrorMessage(error.what());
  };
}

void TfrmSettings::UseNewerWindowsFont() {
  SetFontFace(kNewerWindowsFont);
  for (ui::Control* control : std::initializer_list<ui::Control*>{
           &lblCreated, &cmdClose, &chkMultimonitor, &chkMouseQuit, &chkKeybQuit, &chkResolution, &lblScale}) {
    control->SetFontFace(kNewerWindowsFont);
  }
}

// --- Creation and destruction -----------------------------------------------

void TfrmSettings::FormCreate() {
  // The quit message first: whatever fails later, a new instance can still end this one.
  SettingsWindowState& state = WindowState();
  state.form = this;
  state.quitMessage = ::RegisterWindowMessageA(kQuitMessageName);
  state.formProcedure = ui::WindowProcedureReplacement(Handle(), SettingsFormWindowProc);
  CreatePlayer();
  state.playerProcedure = ui::WindowProcedureReplacement(swfSettingsPlayer_.Handle(), SettingsPlayerWindowProc);

  const HINSTANCE module = ::GetModuleHandleA(nullptr);
  imgShowAll.SetPicture(ui::Bitmap::FromBitmapResource(module, MAKEINTRESOURCEA(IDB_SCALE_SHOW_ALL)));
  imgExactFit.SetPicture(ui::Bitmap::FromBitmapResource(module, MAKEINTRESOURCEA(IDB_SCALE_EXACT_FIT)));
  imgStoProcent.SetPicture(ui::Bitmap::FromBitmapResource(module, MAKEINTRESOURCEA(IDB_SCALE_NO_SCALE)));
}

void TfrmSettings::CreatePlayer() {
  swfSettingsPlayer_.Create(Handle(),
                            RECT{swfSettings.Left(), swfSettings.Top(), swfSettings.Left() + swfSettings.Width(),
                                 swfSettings.Top() + swfSettings.Height()});
  swfSettingsPlayer_.SetVisible(swfSettings.Visible());
}

void TfrmSettings::FollowPlaceOfPlayer() {
  if (!swfSettingsPlayer_.IsCreated()) return;
  swfSettingsPlayer_.SetBounds(RECT{swfSettings.Left(), swfSettings.Top(), swfSettings.Left() + swfSettings.Width(),
                                    swfSettings.Top() + swfSettings.Height()});
  swfSettingsPlayer_.SetVisible(swfSettings.Visible());
}

void TfrmSettings::FormDestroy() {
  ::ReleaseMutex(Mutex);
  SettingsWindowState& state = WindowState();
  state.formProcedure.Restore();
  state.playerProcedure.Restore();
  if (state.form == this) state.form = nullptr;
  // The control goes while the window it lives in still exists.
  swfSettingsPlayer_.Destroy();
  if (ui::Application* application = ui::Application::Current()) application->Terminate();
}

// --- Activation ---------------------------------------------------------------

void TfrmSettings::PlaceOption(ui::Control& control, ui::Control& captioned, const std::string& caption, int top,
                               int charset) {
  captioned.SetCaption(caption);
  captioned.SetFontCharset(charset);
  control.SetTop(top);
  control.Show();
}

void TfrmSettings::FormActivate() {
  // The numbers first: a configuration text that is none stops the set-up
  // before it changed anything.
  const int areaHeight = SettingsNumber(SettingsAreaHeight);
  const int areaWidth = SettingsNumber(SettingsAreaWidth);
  const int charset = SettingsNumber(FontCharset);
  const SettingsOptions options{SwitchIsOn(ShowMultimonitorOption), SwitchIsOn(ShowResolutionOption),
                                SwitchIsOn(ShowScaleOption), SwitchIsOn(ShowKeybQuitOption),
                                SwitchIsOn(ShowMouseQuitOption)};
  const SettingsLayout layout = LayOutSettingsDialog(options, areaWidth, areaHeight, PixelsPerInch());
  PlaceOptionalControls(layout, charset);
  if (layout.widthRaised) SettingsAreaWidth = std::to_string(kMinimumSettingsAreaWidth);
  PlaceFixedParts(layout);
  ApplyCaptions(charset);
  CentreOnScreen();
  ShowStoredSettings(options);
  ShowPictureOrMovie();
}

void TfrmSettings::PlaceOptionalControls(const SettingsLayout& layout, int charset) {
  if (layout.multimonitorTop) {
    PlaceOption(chkMultimonitor, chkMultimonitor, MultimonitorCaption, *layout.multimonitorTop, charset);
  }
  if (layout.resolutionTop)
    PlaceOption(fraResolution, chkResolution, ResolutionCaption, *layout.resolutionTop, charset);
  if (layout.scaleTop) PlaceOption(fraScaleMode, lblScale, ScaleCaption, *layout.scaleTop, charset);
  if (layout.keybQuitTop) PlaceOption(chkKeybQuit, chkKeybQuit, KeybQuitCaption, *layout.keybQuitTop, charset);
  if (layout.mouseQuitTop) PlaceOption(chkMouseQuit, chkMouseQuit, MouseQuitCaption, *layout.mouseQuitTop, charset);
}

// The window, the area (its size unscaled), the credit line and Close.
void TfrmSettings::PlaceFixedParts(const SettingsLayout& layout) {
  const RECT bounds = Bounds();
  SetBounds(bounds.left, bounds.top, layout.windowWidth, layout.windowHeight);
  picSettings.SetBounds(0, 0, layout.areaWidth, layout.areaHeight);
  swfSettings.SetBounds(0, 0, layout.areaWidth, layout.areaHeight);
  lblCreated.SetTop(CreditLineTop(ClientHeight(), lblCreated.Height()));
  cmdClose.SetBounds(layout.closeLeft, layout.closeTop, cmdClose.Width(), cmdClose.Height());
}

void TfrmSettings::ApplyCaptions(int charset) {
  SetCaption(SettingsCaption);
  cmdClose.SetCaption(CloseCaption);
  cmdClose.SetFontCharset(charset);
  if (ui::Application* application = ui::Application::Current()) application->SetTitle(SaverTitle);
  lblCreated.SetCaption(CreatedWithText + " " + CreditVersion);
  lblCreated.SetFontCharset(charset);
}

void TfrmSettings::ShowStoredSettings(const SettingsOptions& options) {
  if (options.resolution) ShowResolution(ResolutionChoiceFor(StoredOrSeeded(kResChangeValue, ResChangeDefault)));
  if (options.multimonitor) {
    chkMultimonitor.SetChecked(MultimonitorChecked(StoredOrSeeded(kMultimonitorsValue, MultimonitorsDefault)));
  }
  if (options.scale) SelectScale(ScaleChoiceFor(StoredOrSeeded(kScaleModeValue, DefaultScaleMode)));
  if (options.mouseQuit) chkMouseQuit.SetChecked(FlagChecked(StoredOrSeeded(kMouseQuitValue, MouseQuitDefault)));
  if (options.keybQuit) chkKeybQuit.SetChecked(FlagChecked(StoredOrSeeded(kKeybQuitValue, KeybQuitDefault)));
}

void TfrmSettings::ShowPictureOrMovie() {
  if (HasSettingsPicture()) {
    swfSettings.Hide();
    picSettings.Show();
    return;
  }
  swfSettings.Show();
  picSettings.Hide();
  swfSettingsPlayer_.LoadMovie(0, WideFromAnsi(SettingsMoviePath));
  swfSettingsPlayer_.SetFocus();
}

// --- Showing settings in the controls (writes nothing) ------------------------

void TfrmSettings::ShowSetting(StoredSetting setting, std::string_view text) {
  switch (setting) {
    case StoredSetting::MouseQuit: chkMouseQuit.SetChecked(FlagChecked(text)); return;
    case StoredSetting::KeybQuit: chkKeybQuit.SetChecked(FlagChecked(text)); return;
    case StoredSetting::Multimonitors: chkMultimonitor.SetChecked(MultimonitorChecked(text)); return;
    case StoredSetting::ScaleMode: SelectScale(ScaleChoiceFor(text)); return;
    case StoredSetting::ResChange: ShowResolution(ResolutionChoiceFor(text)); return;
  }
}

void TfrmSettings::ShowResolution(const ResolutionChoice& choice) {
  chkResolution.SetChecked(choice.checked);
  cboResolution.SetEnabled(choice.listEnabled);
  cboResolution.SetItemIndex(choice.itemIndex);
}

void TfrmSettings::SelectScale(ScaleChoice choice) {
  ui::RadioButton& selected = choice == ScaleChoice::ExactFit  ? optExactFit
                              : choice == ScaleChoice::NoScale ? optStoProcent
                                                               : optShowAll;
  selected.SetChecked(true);
}

// --- The store --------------------------------------------------------------------

std::string TfrmSettings::ReadSetting(std::string_view valueName) const {
  return ReadRegistryString(HKEY_CURRENT_USER, SettingsKeyPath(SaverId), valueName);
}

void TfrmSettings::WriteSetting(std::string_view valueName, std::string_view text) const {
  WriteRegistryString(HKEY_CURRENT_USER, SettingsKeyPath(SaverId), valueName, text);
}

std::string TfrmSettings::StoredOrSeeded(std::string_view valueName, const std::string& seed) const {
  std::string stored = ReadSetting(valueName);
  if (!stored.empty()) return stored;
  WriteSetting(valueName, seed);
  return seed;
}

// --- User actions -------------------------------------------------------------------

void TfrmSettings::cmdCloseClick() { EndProcess(Mutex); }

void TfrmSettings::chkMouseQuitClick() { WriteSetting(kMouseQuitValue, FlagText(chkMouseQuit.Checked())); }

void TfrmSettings::chkKeybQuitClick() { WriteSetting(kKeybQuitValue, FlagText(chkKeybQuit.Checked())); }

void TfrmSettings::chkMultimonitorClick() {
  WriteSetting(kMultimonitorsValue, MultimonitorsText(chkMultimonitor.Checked()));
}

void TfrmSettings::chkResolutionClick() {
  const bool checked = chkResolution.Checked();
  cboResolution.SetEnabled(checked);
  WriteSetting(kResChangeValue, ResChangeForChoice(checked, cboResolution.ItemIndex()));
}

void TfrmSettings::cboResolutionChange() { WriteSetting(kResChangeValue, ResChangeForItem(cboResolution.ItemIndex())); }

void TfrmSettings::optShowAllClick() {
  SelectScale(ScaleChoice::ShowAll);
  WriteSetting(kScaleModeValue, ScaleModeText(ScaleChoice::ShowAll));
}

void TfrmSettings::optExactFitClick() {
  SelectScale(ScaleChoice::ExactFit);
  WriteSetting(kScaleModeValue, ScaleModeText(ScaleChoice::ExactFit));
}

void TfrmSettings::optStoProcentClick() {
  SelectScale(ScaleChoice::NoScale);
  WriteSetting(kScaleModeValue, ScaleModeText(ScaleChoice::NoScale));
}

// --- Movie commands -------------------------------------------------------------------

void TfrmSettings::swfSettingsFSCommand(const std::wstring& command, const std::wstring& args) {
  const SettingsCommand classified = ClassifySettingsCommand(command, args);
  switch (classified.action) {
    case SettingsCommandAction::Ignore: return;
    case SettingsCommandAction::StoreSetting: {
      const std::string text = AnsiFromWide(args);
      WriteSetting(ValueNameOf(classified.setting), text);
      ShowSetting(classified.setting, text);
      return;
    }
    case SettingsCommandAction::ReplySetting:
      ReplyToMovie(MovieValueReply(args, WideFromAnsi(ReadSetting(ValueNameOf(classified.setting)))));
      return;
    case SettingsCommandAction::StoreMovieValue: StoreMovieValue(SaverId, args); return;
    case SettingsCommandAction::ReplyMovieValue: ReplyToMovie(ReadMovieValueReply(SaverId, args)); return;
    case SettingsCommandAction::ReplySaverSetting:
      ReplyToMovie(MovieValueReply(args, WideFromAnsi(ReadSetting(AnsiFromWide(args)))));
      return;
  }
}

void TfrmSettings::ReplyToMovie(const std::wstring& reply) { swfSettingsPlayer_.SetFlashVars(reply); }

void HandOverSettingsConfiguration(TfrmSettings& form, const SaverConfiguration& c, HANDLE mutex) {
  form.SettingsCaption = c.SettingsCaption;
  form.CloseCaption = c.CloseCaption;
  form.SaverTitle = c.SaverTitle;
  form.CreatedWithText = c.CreatedWithText;
  form.CreditVersion = c.CreditVersion;
  form.SettingsAreaHeight = c.SettingsAreaHeight;
  form.SettingsAreaWidth = c.SettingsAreaWidth;
  form.MultimonitorsDefault = c.MultimonitorsDefault;
  form.MultimonitorCaption = c.MultimonitorCaption;
  form.Mutex = mutex;
  form.SaverId = c.SaverId;
  form.ShowMouseQuitOption = c.ShowMouseQuitOption;
  form.ShowKeybQuitOption = c.ShowKeybQuitOption;
  form.ShowScaleOption = c.ShowScaleOption;
  form.ShowMultimonitorOption = c.ShowMultimonitorOption;
  form.ShowResolutionOption = c.ShowResolutionOption;
  form.MouseQuitCaption = c.MouseQuitCaption;
  form.KeybQuitCaption = c.KeybQuitCaption;
  form.ResolutionCaption = c.ResolutionCaption;
  form.MouseQuitDefault = c.MouseQuitDefault;
  form.KeybQuitDefault = c.KeybQuitDefault;
  form.ResChangeDefault = c.ResChangeDefault;
  form.DefaultScaleMode = c.DefaultScaleMode;
  form.FontCharset = c.FontCharset;
  form.ScaleCaption = c.ScaleCaption;
}

// --- Window procedures ----------------------------------------------------------------

LRESULT CALLBACK SettingsFormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  SettingsWindowState& state = WindowState();
  if (state.quitMessage != 0 && message == state.quitMessage) {
    ::ReplyMessage(0);
    EndProcess(state.form != nullptr ? state.form->Mutex : nullptr);
  }
  return state.formProcedure.CallPrevious(window, message, wParam, lParam);
}

LRESULT CALLBACK SettingsPlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_RBUTTONDOWN) return 1;
  return WindowState().playerProcedure.CallPrevious(window, message, wParam, lParam);
}

}  // namespace tpl
