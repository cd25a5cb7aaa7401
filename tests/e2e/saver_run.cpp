#include "e2e/saver_run.h"

#include <algorithm>

#include "package/saver_configuration.h"
#include "password/legacy_password_store.h"

namespace tpl::e2e {
namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr DWORD kPollMs = 20;

swf::testing::Bytes MovieWith(const std::function<void(swf::testing::MovieBuilder&)>& frames) {
  swf::testing::MovieBuilder movie(320, 240);
  movie.SetBackground({0, 32, 96});
  swf::testing::ShapeBuilder square;
  square.Rectangle(0, 0, 80, 60, square.AddSolidFill({255, 200, 0}));
  const std::uint16_t id = movie.DefineShape(square);
  movie.Place(id, 1, swf::testing::Transform::Translate(20, 20));
  frames(movie);
  return movie.Build();
}

void SendMouse(DWORD flags, DWORD data = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = data;
  ::SendInput(1, &input, sizeof(input));
}

void SendKey(WORD virtualKey, bool release) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
  ::SendInput(1, &input, sizeof(input));
}

HWND ChildOfClass(HWND parent, const char* className) {
  return parent != nullptr ? ::FindWindowExA(parent, nullptr, className, nullptr) : nullptr;
}

}  // namespace

swf::testing::Bytes QuietMovie() {
  return MovieWith([](swf::testing::MovieBuilder& movie) {
    movie.ShowFrame();
    movie.Move(1, swf::testing::Transform::Translate(60, 40)).ShowFrame();
  });
}

swf::testing::Bytes CommandMovie(const std::vector<MovieCommand>& commands, bool stop,
                                 const swf::testing::Actions& before) {
  return MovieWith([&](swf::testing::MovieBuilder& movie) {
    movie.ShowFrame();
    movie.DoAction(before);
    swf::testing::Actions actions;
    for (const MovieCommand& command : commands) actions.FsCommand(command.command, command.args);
    if (stop) actions.Stop();
    movie.DoAction(actions).ShowFrame();
  });
}

swf::testing::Bytes FramesMovie(const std::vector<swf::testing::Actions>& frames) {
  return MovieWith([&](swf::testing::MovieBuilder& movie) {
    movie.ShowFrame();
    for (std::size_t index = 0; index < frames.size(); ++index) {
      swf::testing::Actions actions = frames[index];
      if (index + 1 == frames.size()) actions.Stop();
      movie.DoAction(actions).ShowFrame();
    }
  });
}

std::vector<std::string> ConfigurationLines(const std::map<int, std::string>& replaced) {
  const SaverConfiguration defaults;
  const std::map<int, std::string> values{
      {1, "3"},
      {4, defaults.SettingsCaption},
      {5, defaults.CloseCaption},
      {6, defaults.PasswordDialogCaption},
      {7, defaults.OkCaption},
      {8, defaults.CancelCaption},
      {9, defaults.EnableProtectionCaption},
      {10, defaults.PasswordPrompt},
      {12, defaults.DefaultScaleMode},
      {14, defaults.LoopMovie},
      {15, defaults.CurrentPasswordPrompt},
      {16, defaults.NewPasswordPrompt},
      {17, defaults.ConfirmPasswordPrompt},
      {18, defaults.WrongPasswordMessage},
      {19, defaults.PasswordMismatchMessage},
      {20, defaults.SaverTitle},
      {21, defaults.CreatedWithText},
      {22, defaults.CreditVersion},
      {23, defaults.DownloadPrompt},
      {24, defaults.PlayerVersionLine},
      {25, defaults.MouseQuitDefault},
      {26, defaults.KeybQuitDefault},
      {27, defaults.MovieQuitAllowed},
      {28, defaults.ResChangeDefault},
      {29, defaults.ResChangeHeightDefault},
      {30, defaults.Line30Value},
      {31, defaults.PlayerMissingNotice},
  };
  std::vector<std::string> lines;
  for (int line = 1; line <= 31; ++line) {
    if (const auto it = replaced.find(line); it != replaced.end()) {
      lines.push_back(it->second);
    } else if (const auto value = values.find(line); value != values.end()) {
      lines.push_back(value->second);
    } else {
      lines.emplace_back();
    }
  }
  return lines;
}

bool ScreenSaverRunningFlag() {
  // Wine keeps the flag in a volatile key that every process reads, but each
  // process caches what it asked once: read the key itself where it exists.
  const std::optional<testing::RawRegistryValue> wine = testing::GetRawRegistryValue(
      HKEY_CURRENT_USER, "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop",
      "WINE_ScreenSaverRunning");
  if (wine) return !wine->bytes.empty() && wine->bytes[0] == '1';
  BOOL running = FALSE;
  ::SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running != FALSE;
}

bool CursorShowing() {
  CURSORINFO info{};
  info.cbSize = sizeof(info);
  ::GetCursorInfo(&info);
  return (info.flags & CURSOR_SHOWING) != 0;
}

DEVMODEA CurrentDisplayMode() {
  DEVMODEA mode{};
  mode.dmSize = sizeof(mode);
  ::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
  return mode;
}

void ExpectSystemRestored(const DEVMODEA& before) {
  EXPECT_FALSE(ScreenSaverRunningFlag());
  EXPECT_TRUE(CursorShowing());
  const DEVMODEA after = CurrentDisplayMode();
  EXPECT_EQ(after.dmPelsWidth, before.dmPelsWidth);
  EXPECT_EQ(after.dmPelsHeight, before.dmPelsHeight);
  EXPECT_EQ(after.dmDisplayFrequency, before.dmDisplayFrequency);
}

void MoveCursorTo(int x, int y) {
  ::SetCursorPos(x, y);
  SendMouse(MOUSEEVENTF_MOVE);  // a move of no distance: the window hears of the new position
}

void ClickButton(DWORD downFlag, DWORD upFlag) {
  SendMouse(downFlag);
  SendMouse(upFlag);
}

void TurnWheel() { SendMouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA)); }

void PressKey(WORD virtualKey) { SendKey(virtualKey, false); }
void ReleaseKey(WORD virtualKey) { SendKey(virtualKey, true); }

void TypeKey(WORD virtualKey) {
  PressKey(virtualKey);
  ReleaseKey(virtualKey);
}

void TypeText(const std::string& lowerCaseLetters) {
  for (char letter : lowerCaseLetters) {
    const char upper = static_cast<char>(letter - 'a' + 'A');
    TypeKey(static_cast<WORD>(upper));  // no Shift: the box gets the small letter
  }
}

void SaverTest::SetUp() {
  player_ = std::make_unique<testing::PlayerRegistration>(testing::WindowsPathOf(TEMPLATE_PLAYER_DLL));
  ASSERT_EQ(player_->Result(), S_OK) << "the stand-in player did not register";
  testing::DeleteRegistryTree(HKEY_CURRENT_USER, kSaverSettingsKey);
  passwordFlag_ =
      std::make_unique<testing::RegistryValueBackup>(HKEY_CURRENT_USER, kDesktopKey, "ScreenSaveUsePassword");
  passwordData_ = std::make_unique<testing::RegistryValueBackup>(HKEY_CURRENT_USER, kDesktopKey, "ScreenSave_Data");
  testing::DeleteRegistryValue(HKEY_CURRENT_USER, kDesktopKey, "ScreenSaveUsePassword");
  testing::DeleteRegistryValue(HKEY_CURRENT_USER, kDesktopKey, "ScreenSave_Data");
  ::SetCursorPos(kStartCursor.x, kStartCursor.y);
}

void SaverTest::TearDown() {
  if (run_) {
    if (!run_->Process().WaitForExit(0)) {
      run_->Process().Kill();
      // A killed saver cannot clear its running flags; the tests after it check them.
      UINT previous = 0;
      ::SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
      ::SystemParametersInfoA(SPI_SETFASTTASKSWITCH, FALSE, &previous, 0);
    }
  }
  run_.reset();
  testing::DeleteRegistryTree(HKEY_CURRENT_USER, kSaverSettingsKey);
  testing::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, "Software\\GlimmerforgeSavers");
  passwordData_.reset();
  passwordFlag_.reset();
  player_.reset();
}

void SaverTest::LaunchSaver(const swf::testing::Bytes& movie, const std::vector<std::string>& configuration) {
  package_ = std::make_unique<SaverPackage>("MySaver", kCompletePackage, configuration);
  testing::WriteFileBytes(package_->SaverMoviePath(), std::string(movie.begin(), movie.end()));
  run_ = std::make_unique<ProgramRun>(package_->ProgramPath(), "/s");
}

bool SaverTest::StartSaver(const swf::testing::Bytes& movie, const std::vector<std::string>& configuration) {
  LaunchSaver(movie, configuration);
  if (!WaitForTraceLine("Play")) return false;
  const DWORD process = run_->Process().Id();
  return WaitUntil([&] {
    for (HWND window : testing::TopLevelWindowsOf(process)) {
      if (testing::WindowClassName(window) == "TfrmMain" && ::IsWindowVisible(window)) {
        window_ = window;
        return true;
      }
    }
    return false;
  });
}

std::vector<std::string> SaverTest::TraceOf(std::initializer_list<std::string_view> prefixes) const {
  return testing::TraceLinesStartingWith(Trace(), prefixes);
}

bool SaverTest::WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (::GetTickCount64() >= deadline) return false;
    testing::PumpMessagesFor(kPollMs);
  }
  return true;
}

bool SaverTest::WaitForTraceLine(const std::string& line, bool prefix, DWORD timeoutMs) const {
  return WaitUntil(
      [&] {
        const std::vector<std::string> lines = Trace();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& seen) { return prefix ? seen.starts_with(line) : seen == line; });
      },
      timeoutMs);
}

std::optional<DWORD> SaverTest::WaitForExit(DWORD timeoutMs) { return run_->Finish(MessageBoxes::Leave, timeoutMs); }

bool SaverTest::StillRunningAfter(DWORD milliseconds) { return !run_->Finish(MessageBoxes::Leave, milliseconds); }

HWND SaverTest::PasswordPanel() const { return ChildOfClass(window_, "TPanel"); }

HWND SaverTest::PasswordBox() const { return ChildOfClass(PasswordPanel(), "Edit"); }

bool SaverTest::PromptVisible() const {
  const HWND panel = PasswordPanel();
  return panel != nullptr && ::IsWindowVisible(panel);
}

std::string SaverTest::PasswordText() const {
  char text[256] = {};
  const LRESULT length = ::SendMessageA(PasswordBox(), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return std::string(text, static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
}

COLORREF SaverTest::PasswordBoxColour() const {
  RECT box{};
  ::GetWindowRect(PasswordBox(), &box);
  const HDC screen = ::GetDC(nullptr);
  // Right of any "*", inside the frame.
  const COLORREF colour = ::GetPixel(screen, box.right - 6, (box.top + box.bottom) / 2);
  ::ReleaseDC(nullptr, screen);
  return colour;
}

void SaverTest::StoreSetting(const std::string& name, const std::string& value) {
  std::vector<std::uint8_t> bytes(value.begin(), value.end());
  bytes.push_back(0);
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, kSaverSettingsKey, name, REG_SZ, bytes);
}

void SaverTest::StoreLegacyPassword(const std::string& upperCasePassword) {
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, "ScreenSaveUsePassword", REG_DWORD, {1, 0, 0, 0});
  WriteLegacyPassword(upperCasePassword);
}

}  // namespace tpl::e2e
