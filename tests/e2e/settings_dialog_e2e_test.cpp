// The settings dialog as a user meets it: the built program started in
// settings mode next to a package, with the stand-in player registered, and
// watched from outside through its windows, the player's trace, the registry
// and its exit code.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/registry.h"
#include "e2e/program_run.h"
#include "e2e/saver_package.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "support/win_test_support.h"
#include "swf_writer.h"

namespace tpl::e2e {
namespace {

constexpr char kSaverName[] = "MySaver";
constexpr char kDialogClass[] = "TfrmSettings";
// The built-in saver identifier names the settings key.
constexpr char kSettingsKey[] = "\\Software\\GlimmerforgeSavers\\65536";
constexpr char kSaversKey[] = "\\Software\\GlimmerforgeSavers";
const std::vector<std::string> kConfiguration = {"2", "", "", "My Saver settings", "Done"};

// A short while for something that must not happen.
constexpr DWORD kQuietMs = 700;

HWND VisibleDialogOf(DWORD processId) {
  for (HWND window : testing::TopLevelWindowsOf(processId)) {
    if (testing::WindowClassName(window) == kDialogClass && ::IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// Waits until the program shows its dialog; null when it ends or the time is up.
HWND WaitForDialog(ProgramRun& run, DWORD timeoutMs = kRunTimeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (HWND dialog = VisibleDialogOf(run.Process().Id())) return dialog;
    if (run.Process().WaitForExit(20).has_value()) return nullptr;
    if (::GetTickCount64() >= deadline) return nullptr;
  }
}

struct ChildWindow {
  std::string className;
  std::string text;
  HWND handle;
};

BOOL CALLBACK CollectVisibleChild(HWND child, LPARAM found) {
  if (::IsWindowVisible(child)) {
    reinterpret_cast<std::vector<ChildWindow>*>(found)->push_back(
        {testing::WindowClassName(child), testing::WindowText(child), child});
  }
  return TRUE;
}

std::vector<ChildWindow> VisibleChildrenOf(HWND dialog) {
  std::vector<ChildWindow> children;
  ::EnumChildWindows(dialog, CollectVisibleChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

// The dialog's windows as they stand once its activation has run: the window
// shows before its activation ends, so this waits for the visible children to
// settle at the expected count (or gives up and returns what it saw).
std::vector<ChildWindow> SettledChildrenOf(HWND dialog, std::size_t expected) {
  const ULONGLONG deadline = ::GetTickCount64() + kRunTimeoutMs;
  std::vector<ChildWindow> children = VisibleChildrenOf(dialog);
  while (children.size() != expected && ::GetTickCount64() < deadline) {
    testing::PumpMessagesFor(20);
    children = VisibleChildrenOf(dialog);
  }
  return children;
}

std::string Described(const std::vector<ChildWindow>& children) {
  std::string shown;
  for (const ChildWindow& child : children) shown += " [" + child.className + " \"" + child.text + "\"]";
  return shown;
}

// Handles this thread's messages until the condition holds or the time is up.
bool Eventually(const std::function<bool()>& done) {
  const ULONGLONG deadline = ::GetTickCount64() + kRunTimeoutMs;
  while (!done()) {
    if (::GetTickCount64() >= deadline) return false;
    testing::PumpMessagesFor(20);
  }
  return true;
}

bool BringToFront(HWND window) {
  const ULONGLONG deadline = ::GetTickCount64() + kRunTimeoutMs;
  while (::GetForegroundWindow() != window) {
    ::SetForegroundWindow(window);
    if (::GetTickCount64() >= deadline) return false;
    testing::PumpMessagesFor(20);
  }
  return true;
}

void PressKey(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = key;
  inputs[1].type = INPUT_KEYBOARD;
  inputs[1].ki.wVk = key;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

void ClickAt(POINT point, DWORD down, DWORD up) {
  ::SetCursorPos(point.x, point.y);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = down;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = up;
  ::SendInput(2, inputs, sizeof(INPUT));
}

POINT CentreOf(HWND window) {
  RECT bounds{};
  ::GetWindowRect(window, &bounds);
  return POINT{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
}

// The stand-in player's own window inside the dialog.
HWND PlayerWindowOf(HWND dialog) { return ::FindWindowExA(dialog, nullptr, "TemplatePlayerWindow", nullptr); }

bool PopupMenuShown() {
  return ::FindWindowA("#32768", nullptr) != nullptr && ::IsWindowVisible(::FindWindowA("#32768", nullptr));
}

class SettingsDialogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(registration_.Result(), S_OK);
    ASSERT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, kSaversKey)) << "left over by another test";
  }
  void TearDown() override {
    testing::DeleteRegistryTree(HKEY_CURRENT_USER, kSettingsKey);
    testing::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, kSaversKey);
  }

  // A package whose settings movie sends the commands given (none: it only plays).
  static void WriteSettingsMovie(const SaverPackage& package, const swf::testing::Actions& actions) {
    swf::testing::MovieBuilder movie(200, 200);
    movie.SetBackground({20, 40, 90});
    movie.DoAction(actions).ShowFrame();
    const swf::testing::Bytes bytes = movie.Build();
    testing::WriteFileBytes(package.SettingsMoviePath(), std::string(bytes.begin(), bytes.end()));
  }

  [[nodiscard]] std::vector<std::string> MovieLoads() const {
    return testing::TraceLinesStartingWith(trace_.Lines(), {"LoadMovie"});
  }

  testing::ScratchFolder traceFolder_;
  testing::PlayerTraceFile trace_{traceFolder_.File("trace.txt")};
  testing::PlayerRegistration registration_{testing::WindowsPathOf(TEMPLATE_PLAYER_DLL)};
};

// ---------------------------------------------------------------------------
// The picture or the movie

TEST_F(SettingsDialogRun, WithAPictureTheBuiltInDialogShowsOnlyThePictureTheCreditLineAndClose) {
  const SaverPackage package(kSaverName, kCompletePackage, kConfiguration);
  ProgramRun run(package.ProgramPath(), "/c");
  const HWND dialog = WaitForDialog(run);
  ASSERT_NE(dialog, nullptr);
  const std::vector<ChildWindow> children = SettledChildrenOf(dialog, 1);
  ASSERT_EQ(children.size(), 1u) << "only Close has a window of its own that shows:" << Described(children);
  EXPECT_EQ(testing::WindowText(dialog), "My Saver settings");
  EXPECT_EQ(children[0].text, "Done");
  EXPECT_EQ(MovieLoads(), std::vector<std::string>{}) << "with a picture no movie is loaded";
  EXPECT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, kSaversKey)) << "activation wrote to the store";
  EXPECT_EQ(run.Finish(MessageBoxes::Leave, kQuietMs), std::nullopt) << "the dialog ended by itself";
  EXPECT_EQ(VisibleChildrenOf(dialog).size(), 1u) << Described(VisibleChildrenOf(dialog));
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

TEST_F(SettingsDialogRun, WithoutAPictureTheSettingsMovieIsLoadedIntoThePlayer) {
  const SaverPackage package(kSaverName, PackageLayout{Entry::File, Entry::File, Entry::Missing, Entry::File},
                             kConfiguration);
  WriteSettingsMovie(package, swf::testing::Actions().Stop());
  ProgramRun run(package.ProgramPath(), "");
  const HWND dialog = WaitForDialog(run);
  ASSERT_NE(dialog, nullptr);
  const HWND player = PlayerWindowOf(dialog);
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(Eventually([&] { return !MovieLoads().empty(); }));
  const std::vector<ChildWindow> children = SettledChildrenOf(dialog, 2);
  ASSERT_EQ(children.size(), 2u) << "the movie and Close:" << Described(children);
  EXPECT_TRUE(::IsWindowVisible(player));
  EXPECT_EQ(testing::WindowText(dialog), "My Saver settings");
  EXPECT_EQ(MovieLoads(), std::vector<std::string>{"LoadMovie 0 " + package.SettingsMoviePath()});
  EXPECT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, kSaversKey));
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

// The picture file is there but holds no bitmap: start-up reports it and ends.
TEST_F(SettingsDialogRun, APictureThatIsNoBitmapIsReportedAndEndsTheRunWithExitCodeOne) {
  const SaverPackage package(kSaverName, kCompletePackage, kConfiguration);
  testing::WriteFileBytes(package.SettingsPicturePath(), "not a bitmap at all");
  ProgramRun run(package.ProgramPath(), "/c");
  EXPECT_EQ(run.Finish(MessageBoxes::Close), std::optional<DWORD>(1));
  const std::vector<SeenWindow> boxes = run.MessageBoxesSeen();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kSaverName);
  EXPECT_NE(boxes[0].text.find("Loading the bitmap " + package.SettingsPicturePath()), std::string::npos)
      << boxes[0].text;
  for (const SeenWindow& window : run.Windows()) {
    EXPECT_FALSE(window.className == kDialogClass && window.wasVisible) << "the dialog showed";
  }
  EXPECT_EQ(MovieLoads(), std::vector<std::string>{});
}

// ---------------------------------------------------------------------------
// The screen and the system the dialog finds

// A window's top-left corner in its parent's client coordinates.
POINT PositionInParent(HWND child) {
  RECT bounds{};
  ::GetWindowRect(child, &bounds);
  POINT corner{bounds.left, bounds.top};
  ::ScreenToClient(::GetParent(child), &corner);
  return corner;
}

// Programs started from now on find the screen at `pixelsPerInch`, as Windows
// reports it after a change of the text size; the setting is put back afterwards.
class ScreenDensity {
 public:
  explicit ScreenDensity(DWORD pixelsPerInch) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&pixelsPerInch);
    testing::SetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD,
                                 std::vector<std::uint8_t>(bytes, bytes + sizeof(pixelsPerInch)));
  }

 private:
  static constexpr char kDesktopKey[] = "Control Panel\\Desktop";
  testing::RegistryValueBackup backup_{HKEY_CURRENT_USER, kDesktopKey, "LogPixels"};
};

// At 120 pixels per inch with nothing optional shown: y = s(16) = 20, the window
// is s(406) = 508 (507.5, halves to even) by s(480) + 20 = 620, and Close sits at
// s(304) = 380, s(416) + 20 = 540 in the client area; the window is centred.
TEST_F(SettingsDialogRun, At120PixelsPerInchTheDialogScalesItsLayout) {
  const ScreenDensity density(120);
  const SaverPackage package(kSaverName, kCompletePackage, kConfiguration);
  ProgramRun run(package.ProgramPath(), "/c");
  const HWND dialog = WaitForDialog(run);
  ASSERT_NE(dialog, nullptr);
  const std::vector<ChildWindow> children = SettledChildrenOf(dialog, 1);
  ASSERT_EQ(children.size(), 1u) << Described(children);
  RECT outer{};
  ::GetWindowRect(dialog, &outer);
  EXPECT_EQ(outer.right - outer.left, 508);
  EXPECT_EQ(outer.bottom - outer.top, 620);
  EXPECT_EQ(outer.left, (::GetSystemMetrics(SM_CXSCREEN) - 508) / 2);
  EXPECT_EQ(outer.top, (::GetSystemMetrics(SM_CYSCREEN) - 620) / 2);
  const POINT close = PositionInParent(children[0].handle);
  EXPECT_EQ(close.x, 380);
  EXPECT_EQ(close.y, 540);
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

// ---------------------------------------------------------------------------
// Ending the dialog

struct KeyCase {
  const char* label;
  WORD key;
};

class DialogKey : public SettingsDialogRun, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(DialogKey, PressesCloseAndEndsTheRun) {
  const SaverPackage package(kSaverName, kCompletePackage, kConfiguration);
  ProgramRun run(package.ProgramPath(), "/c");
  const HWND dialog = WaitForDialog(run);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(BringToFront(dialog));
  // Like a click, a synthesised key is now and then lost under Wine: press again.
  std::optional<DWORD> exitCode;
  for (int attempt = 0; attempt < 3 && !exitCode; ++attempt) {
    PressKey(GetParam().key);
    exitCode = run.Finish(MessageBoxes::Leave, 2000);
  }
  EXPECT_EQ(exitCode, std::optional<DWORD>(0));
}

const KeyCase kDialogKeys[] = {{"enter", VK_RETURN}, {"escape", VK_ESCAPE}};
INSTANTIATE_TEST_SUITE_P(Settings, DialogKey, ::testing::ValuesIn(kDialogKeys),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(SettingsDialogRun, AClickOnCloseEndsTheRun) {
  const SaverPackage package(kSaverName, kCompletePackage, kConfiguration);
  ProgramRun run(package.ProgramPath(), "/c");
  const HWND dialog = WaitForDialog(run);
  ASSERT_NE(dialog, nullptr);
  const std::vector<ChildWindow> children = SettledChildrenOf(dialog, 1);
  ASSERT_EQ(children.size(), 1u) << Described(children);
  ASSERT_TRUE(BringToFront(dialog));
  const POINT centre = CentreOf(children[0].handle);
  ASSERT_EQ(::WindowFromPoint(centre), children[0].handle) << "Close is covered";
  // Under Wine a synthesised click on a window another process has just shown
  // is now and then lost on its way; a lost click is made again, a few times.
  std::optional<DWORD> exitCode;
  for (int attempt = 0; attempt < 3 && !exitCode; ++attempt) {
    ClickAt(centre, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    exitCode = run.Finish(MessageBoxes::Leave, 2000);
  }
  EXPECT_EQ(exitCode, std::optional<DWORD>(0));
}

// A newly started instance broadcasts the quit message; the dialog ends at once,
// in picture and in movie mode alike.
TEST_F(SettingsDialogRun, TheQuitBroadcastOfANewInstanceEndsTheDialog) {
  for (const bool withPicture : {true, false}) {
    SCOPED_TRACE(withPicture ? "picture" : "movie");
    const SaverPackage package(
        kSaverName, PackageLayout{Entry::File, Entry::File, withPicture ? Entry::File : Entry::Missing, Entry::File},
        kConfiguration);
    if (!withPicture) WriteSettingsMovie(package, swf::testing::Actions().Stop());
    ProgramRun run(package.ProgramPath(), "/c");
    ASSERT_NE(WaitForDialog(run), nullptr);
    ProgramRun second(package.ProgramPath(), "-compile");
    EXPECT_EQ(second.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
    EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
  }
}

// ---------------------------------------------------------------------------
// The movie

TEST_F(SettingsDialogRun, ARightClickOnTheMovieDoesNothing) {
  const SaverPackage package(kSaverName, PackageLayout{Entry::File, Entry::File, Entry::Missing, Entry::File},
                             kConfiguration);
  WriteSettingsMovie(package, swf::testing::Actions().Stop());
  ProgramRun run(package.ProgramPath(), "/c");
  const HWND dialog = WaitForDialog(run);
  ASSERT_NE(dialog, nullptr);
  const HWND player = PlayerWindowOf(dialog);
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(::SendMessageA(player, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20)), 1) << "not swallowed";
  ASSERT_TRUE(BringToFront(dialog));
  ClickAt(CentreOf(player), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave, kQuietMs), std::nullopt) << "the dialog ended";
  EXPECT_FALSE(PopupMenuShown());
  EXPECT_EQ(VisibleDialogOf(run.Process().Id()), dialog);
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

// The built program answers its settings movie: a setting is stored, a
// question answered, and "quit" changes nothing.
TEST_F(SettingsDialogRun, TheSettingsMovieChangesAndAsksForSettingsButCannotEndTheDialog) {
  const SaverPackage package(kSaverName, PackageLayout{Entry::File, Entry::File, Entry::Missing, Entry::File},
                             kConfiguration);
  WriteSettingsMovie(package, swf::testing::Actions()
                                  .FsCommand("mousequit", "0")
                                  .FsCommand("quit", "")
                                  .FsCommand("setvalue", "seen:yes")
                                  .FsCommand("mousequit", "?")
                                  .Stop());
  ProgramRun run(package.ProgramPath(), "/c");
  const HWND dialog = WaitForDialog(run);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(Eventually([&] { return !testing::TraceLinesStartingWith(trace_.Lines(), {"FlashVars="}).empty(); }));
  EXPECT_EQ(testing::TraceLinesStartingWith(trace_.Lines(), {"FlashVars="}), std::vector<std::string>{"FlashVars=?=0"});
  EXPECT_EQ(run.Finish(MessageBoxes::Leave, kQuietMs), std::nullopt) << "\"quit\" ended the dialog";
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kSettingsKey, "MouseQuit"), "0");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, std::string(kSettingsKey) + "\\FlashVars", "seen"), "yes");
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tpl::e2e
