#include "saver/frm_main_code.h"

#include <array>
#include <stdexcept>

#include "common/movie_value_store.h"
#include "common/registry.h"
#include "common/startup_times.h"
#include "common/store_layout.h"
#include "common/wide_text.h"
#include "password/legacy_password_codec.h"
#include "password/legacy_password_store.h"
#include "saver/mirror_copy.h"
#include "saver/saver_resources.h"
#include "saver/saver_system.h"

namespace tpl {
namespace {

const ui::FormDesign kDesign{
    .className = "TfrmMain",
    .caption = "frmMain",
    .clientWidth = 105,
    .clientHeight = 105,
    .border = ui::BorderStyle::None,
    .colour = ui::kBlack,
    .scaled = false,  // the saver works in screen pixels
};

constexpr ui::ControlLayout kLayout[] = {
    {"swfFlash", nullptr, 0, 0, 105, 105},
    {"imgPrechodne", nullptr, 0, 0, 41, 33, "", ui::kHidden},
    {"imgKresli1", nullptr, 0, 0, 41, 33, "", ui::kStretch},
    {"imgKresli2", nullptr, 0, 0, 41, 33, "", ui::kStretch},
    {"imgKresli3", nullptr, 0, 0, 41, 33, "", ui::kStretch},
    {"imgKresli4", nullptr, 0, 0, 41, 33, "", ui::kStretch},
    {"fraPassword", nullptr, 0, 0, 177, 113, "", ui::kHidden | ui::kCreateOnShow},
    {"lblPassword", "fraPassword", 8, 8, 0, 0, "Password:"},
    {"txtPassword", "fraPassword", 8, 24, 161, 21},
    {"imgKlavesy", "fraPassword", 0, 48, 145, 57},
    {"lblEnter", "fraPassword", 48, 72, 0, 0, "OK"},
    {"lblEscape", "fraPassword", 128, 72, 0, 0, "Cancel"},
};

constexpr ui::Colour kRejectedColour = 255;                               // pure red
constexpr UINT kTopmostFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;  // 0x13
constexpr char kNoScreenSaverCursorName[] = "INVISCUR";

// The one saver window of the process, for the replaced procedures and the hook.
TfrmMain* g_saver = nullptr;

saver::MouseMessage MouseMessageOf(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE: return saver::MouseMessage::Move;
    case WM_LBUTTONDOWN: return saver::MouseMessage::LeftButtonDown;
    case WM_RBUTTONDOWN: return saver::MouseMessage::RightButtonDown;
    case WM_MBUTTONDOWN: return saver::MouseMessage::MiddleButtonDown;
    case WM_MOUSEWHEEL: return saver::MouseMessage::Wheel;
    default: return saver::MouseMessage::Other;
  }
}

saver::Point CursorPosition() {
  POINT position{};
  ::GetCursorPos(&position);
  return saver::Point{position.x, position.y};
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Locale-aware upper-casing of 8-bit text, as the password was stored.
std::string UpperCase(std::string text) {
  if (!text.empty()) ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

TfrmMain::TfrmMain() : Form(kDesign, kLayout) {
  swfFlashArea.OnLayoutChanged = [this] {
    if (swfFlash.IsCreated()) {
      swfFlash.SetBounds(RECT{swfFlashArea.Left(), swfFlashArea.Top(), swfFlashArea.Left() + swfFlashArea.Width(),
                              swfFlashArea.Top() + swfFlashArea.Height()});
    }
  };
  swfFlash.OnFSCommand = [this](const std::wstring& command, const std::wstring& args) {
    swfFlashFSCommand(command, args);
  };
  swfFlash.OnEventError = [this](const std::exception& error) {
    ShowError(std::make_exception_ptr(std::runtime_error(error.what())));
  };
  txtPassword.OnChange = [this] { txtPasswordChange(); };
}

TfrmMain::~TfrmMain() {
  if (g_saver == this) g_saver = nullptr;
}

// ---------------------------------------------------------------------------
// Creation, activation, destruction

void TfrmMain::FormCreate() {
  g_saver = this;
  SetDialogKeys(false);  // Enter and Escape belong to the keyboard hook
  if (ui::Application* application = ui::Application::Current()) {
    // No taskbar button for the saver.
    HWND owner = application->Handle();
    ::SetWindowLongPtrA(owner, GWL_EXSTYLE, ::GetWindowLongPtrA(owner, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  }
  quitMessage_ = ::RegisterWindowMessageA("GlimmerforgeQuit");

  fraPassword.SetColour(ui::kWhite);
  for (ui::Label* label : {&lblPassword, &lblEnter, &lblEscape}) label->SetFontFace("Tahoma");
  lblPassword.SetFontHeight(-11);
  lblPassword.SetFontColour(ui::kBlack);
  lblEnter.SetFontHeight(-9);
  lblEscape.SetFontHeight(-9);
  txtPassword.SetPasswordChar('*');
  // The store keeps at most 128 characters: a longer password pasted whole is
  // cut here as it was cut when stored (before the dialog refused it).
  txtPassword.SetMaxLength(static_cast<int>(kLegacyPasswordMaxLength));

  swfFlash.Create(Handle(), RECT{swfFlashArea.Left(), swfFlashArea.Top(), swfFlashArea.Left() + swfFlashArea.Width(),
                                 swfFlashArea.Top() + swfFlashArea.Height()});
}

void TfrmMain::FormActivate() {
  // The set-up runs once: a later activation neither subclasses nor hooks again.
  if (setUpStarted_) return;
  setUpStarted_ = true;
  try {
    SetUpSaver();
  } catch (...) {
    // A saver that stopped half-way cannot be ended by input: say why, then end it in order.
    ShowError(std::current_exception());
    QuitSaver();
  }
}

void TfrmMain::SetUpSaver() {
  MarkStartupStep("activation");
  mutex_ = MutexHandle;
  if (ui::Application* application = ui::Application::Current()) application->SetTitle(Title);
  SetCaption(Title);
  // A character set that is no number stops the saver now; the labels
  // themselves are only seen in the prompt and get their texts when it opens.
  labelCharset_ = saver::IntegerOrThrow(LabelCharset);
  mirrorIndex_ = 0;
  cadence_ = saver::MirrorCadence{};
  password_ = ReadLegacyPassword();
  MergeSettingsStore();
  MarkStartupStep("password and stored settings");
  ChangeResolution();
  MarkStartupStep("display mode");
  saver::SetScreenSaverRunningFlags(true);
  saver::GuardSystemChanges({savedMode_, true});
  swfFlash.SetScale(WideFromAnsi(ScaleMode));
  swfFlash.LoadMovie(0, WideFromAnsi(MoviePath));
  MarkStartupStep("movie loaded");
  swfFlash.SetMenu(false);
  // Asked after any display-mode change, which the sizes must reflect.
  monitors_ = MonitorLayoutSource ? MonitorLayoutSource() : saver::SystemMonitorLayout();
  swfFlashArea.SetBounds(0, 0, monitors_.primaryScreen.width, monitors_.primaryScreen.height);
  swfFlash.SetFocus();
  PlaceWindow();  // also topmost
  if (MouseQuitFlag == "1") HideCursor();
  startCursor_ = CursorPosition();
  MarkStartupStep("placement");
  swfFlash.Play();
  MarkStartupStep("play");
  SubclassAndHook();
}

void TfrmMain::PreparePromptContents() {
  imgKlavesy.SetPicture(
      ui::Bitmap::FromJpegResource(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_SAVER_KEY_HINT)));
  const std::array<std::pair<ui::Label*, const std::string*>, 3> labels{
      {{&lblPassword, &PasswordLabel}, {&lblEnter, &EnterLabel}, {&lblEscape, &EscapeLabel}}};
  for (const auto& [label, text] : labels) {
    label->SetCaption(*text);
    label->SetFontCharset(labelCharset_);
  }
}

void TfrmMain::MergeSettingsStore() {
  const std::string key = SettingsKeyPath(SaverId);
  const saver::StoredSettings stored{ReadRegistryString(HKEY_CURRENT_USER, key, kMouseQuitValue),
                                     ReadRegistryString(HKEY_CURRENT_USER, key, kKeybQuitValue),
                                     ReadRegistryString(HKEY_CURRENT_USER, key, kScaleModeValue),
                                     ReadRegistryString(HKEY_CURRENT_USER, key, kResChangeValue)};
  saver::SaverSettings settings{MouseQuitFlag, KeybQuitFlag, ScaleMode, TargetWidth, TargetHeight};
  saver::MergeStoredSettings(settings, stored);
  MouseQuitFlag = settings.mouseQuit;
  KeybQuitFlag = settings.keybQuit;
  ScaleMode = settings.scaleMode;
  TargetWidth = settings.targetWidth;
  TargetHeight = settings.targetHeight;
}

void TfrmMain::ChangeResolution() {
  // Asking the display for its mode costs a round trip to the display driver
  // (tens of milliseconds under Wine on a busy machine): only asked when it may change.
  savedMode_ = saver::KeepsDisplayMode(TargetWidth) ? std::nullopt
                                                    : saver::SavedModeFor(TargetWidth, saver::CurrentDisplayMode());
  // Known to the crash filter before the mode may change.
  saver::GuardSystemChanges({savedMode_, false});
  if (const auto change = saver::ModeChangeFor(TargetWidth, TargetHeight, savedMode_)) {
    saver::SetDisplayMode(change->width, change->height, change->frequency, saver::DisplayChange::Lower);
  }
}

void TfrmMain::PlaceWindow() {
  const bool severalMonitors = monitors_.monitors.size() >= 2;
  if (severalMonitors) {
    MonitorMode = saver::MonitorModeAfterStore(
        MonitorMode, ReadRegistryString(HKEY_CURRENT_USER, SettingsKeyPath(SaverId), kMultimonitorsValue));
  }
  placement_ = saver::PlanPlacement(monitors_);
  // Placed and made topmost in one call: each change of a shown window is a
  // round trip to the display server under Wine.
  const saver::Rect& window = placement_.window;
  ::SetWindowPos(Handle(), HWND_TOPMOST, window.left, window.top, window.width, window.height, SWP_NOACTIVATE);
  if (!severalMonitors) return;
  const saver::Rect& player = placement_.player;
  swfFlashArea.SetBounds(player.left, player.top, player.width, player.height);
  imgPrechodne.SetBounds(0, 0, placement_.offscreen.width, placement_.offscreen.height);
  imgPrechodne.CreateSurface(placement_.offscreen.width, placement_.offscreen.height);
  for (std::size_t index = 0; index < placement_.mirrors.size(); ++index) {
    const saver::Rect& mirror = placement_.mirrors[index];
    MirrorImage(index).SetBounds(mirror.left, mirror.top, mirror.width, mirror.height);
  }
}

void TfrmMain::HideCursor() {
  ::ShowCursor(FALSE);
  ++hiddenCursorCount_;
  // There is no such resource: the load yields no cursor and number 1 resolves to the arrow.
  saverCursor_ = ::LoadCursorA(::GetModuleHandleA(nullptr), kNoScreenSaverCursorName);
  playerCursor_ = 1;
}

// Every tick: a window that came above the saver goes below it again. The
// call itself is not cheap (a trip through the window manager and two
// messages to the window), so it is made only when something is to change.
void TfrmMain::KeepOnTop() {
  if (saver::TopmostAndUncovered(Handle())) return;
  ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, kTopmostFlags);
}

void TfrmMain::SubclassAndHook() {
  playerProcedure_ = ui::WindowProcedureReplacement(swfFlash.Handle(), PlayerWindowProc);
  formProcedure_ = ui::WindowProcedureReplacement(Handle(), FormWindowProc);
  keyboardHook_.Reset(
      ::SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, ::GetModuleHandleA(nullptr), ::GetCurrentThreadId()));
}

void TfrmMain::FormDestroy() {
  if (!quitting_) RestoreWithoutQuitSaver();
  ::ReleaseMutex(mutex_);
  keyboardHook_.Reset();
  playerProcedure_.Restore();
  formProcedure_.Restore();
}

void TfrmMain::RestoreWithoutQuitSaver() noexcept {
  for (; hiddenCursorCount_ > 0; --hiddenCursorCount_) ::ShowCursor(TRUE);
  saver::RestoreSystemChanges();
  savedMode_.reset();
}

// ---------------------------------------------------------------------------
// The exit

void TfrmMain::QuitSaver() noexcept {
  quitting_ = true;
  ::ShowCursor(TRUE);
  // Only a mode recorded at activation is set again: an activation cut short
  // before it has nothing to restore.
  if (savedMode_) {
    saver::SetDisplayMode(savedMode_->width, savedMode_->height, savedMode_->frequency, saver::DisplayChange::Restore);
  }
  saver::SetScreenSaverRunningFlags(false);
  saver::GuardSystemChanges({});
  ::ReleaseMutex(mutex_);
  // The window goes first, so that its destruction puts back the hook and
  // both procedures, then the process ends wherever this was called from.
  if (Handle() != nullptr) ::DestroyWindow(Handle());
  ::ExitProcess(0);
}

void TfrmMain::ShowError(std::exception_ptr error) noexcept {
  if (showingError_) return;  // one message at a time, also when every timer message fails
  showingError_ = true;
  // The saver would cover the message and hide the pointer the user needs to answer it.
  if (Handle() != nullptr) ::SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, kTopmostFlags);
  ::ShowCursor(TRUE);
  if (ui::Application* application = ui::Application::Current()) application->ReportError(error);
  ::ShowCursor(FALSE);
  showingError_ = false;
}

// ---------------------------------------------------------------------------
// Input

LRESULT CALLBACK TfrmMain::PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (g_saver == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
  try {
    return g_saver->HandleSubclassed(Subclassed::Player, window, message, wParam, lParam);
  } catch (...) {
    g_saver->ShowError(std::current_exception());
    return 0;
  }
}

LRESULT CALLBACK TfrmMain::FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (g_saver == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
  try {
    return g_saver->HandleSubclassed(Subclassed::Form, window, message, wParam, lParam);
  } catch (...) {
    g_saver->ShowError(std::current_exception());
    return 0;
  }
}

LRESULT TfrmMain::HandleSubclassed(Subclassed which, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (quitMessage_ != 0 && message == quitMessage_) QuitSaver();
  if (message == WM_TIMER && !showingError_) HandleTimer(which);
  // Alt+F4 (or the system menu) would close the window behind the password's
  // back; the saver ends only by its own rules.
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) return 0;
  const saver::MouseMessage mouse = MouseMessageOf(message);
  // While an error message is open, the input that answers it is not the saver's.
  if (mouse != saver::MouseMessage::Other && !showingError_) {
    const bool moved = mouse == saver::MouseMessage::Move && saver::MovedBeyondSlack(startCursor_, CursorPosition());
    switch (saver::DecideMouseMessage(mouse, moved, CurrentInput())) {
      case saver::InputAction::Quit: QuitSaver();
      case saver::InputAction::OpenPrompt: OpenPasswordPrompt(); return 1;
      case saver::InputAction::Swallow: return 1;
      case saver::InputAction::PassOn: break;
    }
  }
  const ui::WindowProcedureReplacement& previous = which == Subclassed::Player ? playerProcedure_ : formProcedure_;
  return previous.CallPrevious(window, message, wParam, lParam);
}

void TfrmMain::HandleTimer(Subclassed which) {
  if (LoopFlag == "1" && !swfFlash.IsPlaying()) swfFlash.Play();
  if (which != Subclassed::Player) return;
  if (!placement_.mirrors.empty()) MirrorToMonitors();
  KeepOnTop();
}

saver::InputState TfrmMain::CurrentInput() const {
  return saver::InputState{MouseQuitFlag, KeybQuitFlag, fraPassword.Visible(), !password_.empty()};
}

LRESULT CALLBACK TfrmMain::KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  // Always 0 and never passed along the chain: the keystroke goes on to its window.
  if (g_saver == nullptr) return 0;
  try {
    g_saver->HandleKey(code, wParam, lParam);
  } catch (...) {
    g_saver->ShowError(std::current_exception());
  }
  return 0;
}

void TfrmMain::HandleKey(int code, WPARAM wParam, LPARAM lParam) {
  if (showingError_) return;  // the keys answer the error message
  const auto virtualKey = static_cast<unsigned>(wParam);
  const bool released = (static_cast<std::uint32_t>(lParam) & 0x80000000u) != 0;
  switch (saver::DecideKey(code, virtualKey, released, txtPassword.Text().empty(), CurrentInput())) {
    case saver::KeyAction::Ignore: return;
    case saver::KeyAction::ReleaseAgain: ::keybd_event(static_cast<BYTE>(virtualKey), 1, KEYEVENTF_KEYUP, 0); return;
    case saver::KeyAction::CheckPassword: CheckPassword(); return;
    case saver::KeyAction::EmptyPassword: txtPassword.SetText(""); return;
    case saver::KeyAction::HidePrompt: HidePasswordPrompt(); return;
    case saver::KeyAction::Quit: QuitSaver();
    case saver::KeyAction::OpenPrompt: OpenPasswordPrompt(); return;
  }
}

// ---------------------------------------------------------------------------
// The password prompt

void TfrmMain::OpenPasswordPrompt() {
  const saver::Point position =
      saver::PromptPosition(monitors_.primaryScreen, saver::Size{fraPassword.Width(), fraPassword.Height()});
  // Centred on the primary monitor, which sits inside the window at the
  // player's place when the window covers monitors left of or above it.
  fraPassword.SetTop(placement_.player.top + position.y);
  fraPassword.SetLeft(placement_.player.left + position.x);
  // Measuring and drawing text is slow the first time in a process (the
  // system loads its fonts), and so is decoding the key picture: done here,
  // not while the saver starts. The box's window is made by the first Show.
  if (!promptPrepared_) {
    PreparePromptContents();
    promptPrepared_ = true;
  }
  txtPassword.SetText("");
  fraPassword.Show();
  // Above the player's window, which was made after the panel.
  ::SetWindowPos(fraPassword.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  txtPassword.SetFocus();
}

void TfrmMain::HidePasswordPrompt() {
  fraPassword.Hide();
  swfFlash.SetFocus();
}

void TfrmMain::CheckPassword() {
  if (UpperCase(txtPassword.Text()) == password_) {
    password_.clear();
    HidePasswordPrompt();
    QuitSaver();
  }
  txtPassword.SetColour(kRejectedColour);
  txtPassword.SetText("");
  txtPassword.SetFocus();
}

void TfrmMain::txtPasswordChange() {
  if (txtPassword.BackgroundColour() == kRejectedColour) txtPassword.SetColour(ui::kWhite);
}

// ---------------------------------------------------------------------------
// Movie commands

void TfrmMain::swfFlashFSCommand(const std::wstring& command, const std::wstring& args) {
  switch (saver::ClassifySaverCommand(command)) {
    case saver::SaverCommand::None: return;
    case saver::SaverCommand::Quit:
      if (MovieQuitFlag == "1") QuitSaver();
      return;
    case saver::SaverCommand::Restart: LoadAndPlay(WideFromAnsi(MoviePath)); return;
    case saver::SaverCommand::LoadSwf:
      if (FileExists(AnsiFromWide(args))) LoadAndPlay(args);
      return;
    case saver::SaverCommand::MouseQuit: SetMouseQuitFromMovie(args); return;
    case saver::SaverCommand::KeybQuit: KeybQuitFlag = saver::QuitFlagFromArgument(args); return;
    case saver::SaverCommand::ScaleMode:
      ScaleMode = saver::ScaleModeAfterCommand(args, ScaleMode);
      swfFlash.SetScale(WideFromAnsi(ScaleMode));
      return;
    case saver::SaverCommand::SetValue: StoreMovieValue(SaverId, args); return;
    case saver::SaverCommand::GetValue: swfFlash.SetFlashVars(ReadMovieValueReply(SaverId, args)); return;
  }
}

void TfrmMain::LoadAndPlay(const std::wstring& path) {
  swfFlash.Stop();
  swfFlash.LoadMovie(0, path);
  swfFlash.SetScale(WideFromAnsi(ScaleMode));
  swfFlash.Play();
}

void TfrmMain::SetMouseQuitFromMovie(const std::wstring& args) {
  // One ShowCursor call per command, whatever the state before: the calls count.
  MouseQuitFlag = saver::QuitFlagFromArgument(args);
  if (MouseQuitFlag == "0") {
    playerCursor_ = 0;
    ::ShowCursor(TRUE);
    --hiddenCursorCount_;
  } else {
    playerCursor_ = 1;
    ::ShowCursor(FALSE);
    ++hiddenCursorCount_;
  }
}

// ---------------------------------------------------------------------------
// Mirroring

ui::Image& TfrmMain::MirrorImage(std::size_t index) {
  switch (index) {
    case 0: return imgKresli1;
    case 1: return imgKresli2;
    case 2: return imgKresli3;
    default: return imgKresli4;
  }
}

void TfrmMain::MirrorToMonitors() {
  if (!saver::MirroringOn(MonitorMode)) return;
  ui::Surface* picture = imgPrechodne.DrawingSurface();
  if (picture == nullptr) return;
  mirrorIndex_ = 0;
  // The picture is captured only on the ticks that copy it out: capturing on
  // every tick threw three captures in four away unseen.
  if (!cadence_.Tick()) return;
  // A failed capture skips this tick's copy silently (the mirrors keep their
  // last picture): no error box on every tick, and the saver stays on top.
  if (!saver::CapturePlayerPicture(swfFlash, *picture)) return;
  // The monitor table taken at activation, in the system's order.
  for (const saver::Rect& monitor : placement_.mirrors) {
    ui::Image& image = MirrorImage(mirrorIndex_);
    ui::Surface* target = image.DrawingSurface();
    if (target == nullptr) target = &image.CreateSurface(monitor.width, monitor.height);
    saver::StretchPictureOnto(*picture, *target);
    image.Refresh();
    ++mirrorIndex_;
  }
}

}  // namespace tpl
