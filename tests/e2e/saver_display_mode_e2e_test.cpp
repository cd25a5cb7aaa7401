// The lowered display resolution, on a screen whose mode can change: this
// program runs on a 1024 x 768 desktop of its own (tests/support/on_virtual_desktop),
// where the saver's lower mode really takes effect. Every way the saver ends
// must give the mode back: before, during and after each run are compared.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>
#include <optional>
#include <ostream>
#include <string>

#include "e2e/saver_run.h"

namespace tpl::e2e {
namespace {

constexpr DWORD kDesktopWidth = 1024;
constexpr DWORD kDesktopHeight = 768;

std::string Described(const DEVMODEA& mode) {
  return std::to_string(mode.dmPelsWidth) + " x " + std::to_string(mode.dmPelsHeight);
}

class SaverDisplayMode : public SaverTest {
 protected:
  void SetUp() override {
    SaverTest::SetUp();
    const DEVMODEA before = CurrentDisplayMode();
    ASSERT_EQ(Described(before), "1024 x 768") << "not on the test's own desktop, whose mode can change";
    StoreSetting("ResChange", "800");
  }

  // The lowered mode while the saver runs, and the saver window over all of it.
  void ExpectLowered() {
    EXPECT_EQ(Described(CurrentDisplayMode()), "800 x 600");
    if (SaverWindow() != nullptr) {
      RECT bounds{};
      ::GetWindowRect(SaverWindow(), &bounds);
      EXPECT_EQ(bounds.right - bounds.left, 800);
      EXPECT_EQ(bounds.bottom - bounds.top, 600);
    }
  }

  void ExpectModeBack() {
    const DEVMODEA after = CurrentDisplayMode();
    EXPECT_EQ(after.dmPelsWidth, kDesktopWidth);
    EXPECT_EQ(after.dmPelsHeight, kDesktopHeight);
  }
};

class SaverExitPath;

// A way out of a running saver, with what it needs before the start.
struct ExitPath {
  const char* label;
  void (*prepare)(SaverExitPath&);  // may be null
  void (*end)(SaverExitPath&);
};

void PrintTo(const ExitPath& path, std::ostream* out) { *out << path.label; }

class SaverExitPath : public SaverDisplayMode, public ::testing::WithParamInterface<ExitPath> {
 public:
  using SaverTest::StoreLegacyPassword;
};

void MoveTheMouse(SaverExitPath&) { MoveCursorTo(kStartCursor.x + 40, kStartCursor.y); }
void PressALetter(SaverExitPath&) { TypeKey('A'); }
// The legacy store keeps upper-case letters; typed in lower case they match.
void NeedAPassword(SaverExitPath& test) { test.StoreLegacyPassword("MODE"); }
void TypeThePassword(SaverExitPath&) {
  TypeKey('A');  // opens the prompt
  ::Sleep(300);
  TypeText("mode");
  TypeKey(VK_RETURN);
}
// As a newly started instance sends it.
void BroadcastTheQuitMessage(SaverExitPath&) {
  ::SendMessageCallbackA(HWND_BROADCAST, ::RegisterWindowMessageA("GlimmerforgeQuit"), 0, 0, nullptr, 0);
}

const ExitPath kExitPaths[] = {
    {"mouse", nullptr, MoveTheMouse},
    {"key", nullptr, PressALetter},
    {"password", NeedAPassword, TypeThePassword},
    {"quit_broadcast", nullptr, BroadcastTheQuitMessage},
};

TEST_P(SaverExitPath, GivesTheDisplayModeBack) {
  if (GetParam().prepare != nullptr) GetParam().prepare(*this);
  ASSERT_TRUE(StartSaver(QuietMovie()));
  ExpectLowered();
  GetParam().end(*this);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectModeBack();
}

INSTANTIATE_TEST_SUITE_P(Ends, SaverExitPath, ::testing::ValuesIn(kExitPaths),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(SaverDisplayMode, WmCloseGivesTheModeBack) {
  ASSERT_TRUE(StartSaver(QuietMovie()));
  ExpectLowered();
  ::PostMessageA(SaverWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  ExpectModeBack();
}

// The movie ends the saver itself, a few frames after it started.
TEST_F(SaverDisplayMode, TheMoviesQuitGivesTheModeBack) {
  std::vector<swf::testing::Actions> frames(12);
  frames.back().FsCommand("quit", "");
  LaunchSaver(FramesMovie(frames));
  ASSERT_TRUE(WaitForTraceLine("Play"));
  ExpectLowered();
  EXPECT_EQ(WaitForExit(), std::optional<DWORD>(0));
  EXPECT_FALSE(TraceOf({"FSCommand quit"}).empty()) << "the movie did not end it";
  ExpectModeBack();
}

// The player cannot be made: its first call (the scale mode) fails before the
// mode would be lowered. The error shows on the screen as it was, and the mode
// stays so after the answer ends the run.
TEST_F(SaverDisplayMode, AnActivationErrorLeavesTheModeAsItWas) {
  UnregisterPlayer();
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, "Software\\GlimmerforgeSavers", "CLSIDOVER", REG_SZ, {'1', 0});
  LaunchSaver(QuietMovie());
  const HWND box = Run().WaitForMessageBox();
  testing::DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\GlimmerforgeSavers", "CLSIDOVER");
  ASSERT_NE(box, nullptr) << "no error message";
  ExpectModeBack();
  AnswerMessageBox(box);
  EXPECT_EQ(Run().Finish(MessageBoxes::Close), std::optional<DWORD>(0));
  ExpectModeBack();
}

// A crash (here a thread of the saver that jumps to address 0x10) reaches the
// saver's crash filter, which gives the mode back before the process dies. What
// the system does with the crashed process after that (a debugger, a report)
// is not the saver's: the test ends it once the mode is back.
TEST_F(SaverDisplayMode, ACrashGivesTheModeBack) {
  ASSERT_TRUE(StartSaver(QuietMovie()));
  ExpectLowered();
  const auto nowhere = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<std::uintptr_t>(0x10));
  const HANDLE thread = ::CreateRemoteThread(Run().Process().Handle(), nullptr, 0, nowhere, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr) << ::GetLastError();
  ::CloseHandle(thread);
  EXPECT_TRUE(WaitUntil([] { return CurrentDisplayMode().dmPelsWidth == kDesktopWidth; }, 10000));
  ExpectModeBack();
  const std::optional<DWORD> exitCode = Run().Process().WaitForExit(0);
  EXPECT_NE(exitCode, std::optional<DWORD>(0)) << "the crashed saver ended as if nothing had happened";
  Run().Process().Kill();
}

}  // namespace
}  // namespace tpl::e2e
