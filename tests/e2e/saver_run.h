#pragma once
// The full-screen saver driven end to end: a saver package with a test movie,
// the stand-in player registered and tracing, the per-user values the saver
// reads, real mouse and keyboard input, and what a run leaves behind.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/program_run.h"
#include "e2e/saver_package.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "support/win_test_support.h"
#include "swf_writer.h"

namespace tpl::e2e {

// The settings key of every package the tests make (the saver identifier is fixed).
inline constexpr char kSaverSettingsKey[] = "Software\\GlimmerforgeSavers\\65536";
inline constexpr char kMovieValuesKey[] = "Software\\GlimmerforgeSavers\\65536\\FlashVars";

// Where the tests put the cursor before a saver starts: its start position.
inline constexpr POINT kStartCursor{400, 300};

// A movie of two frames that plays on and raises nothing.
[[nodiscard]] swf::testing::Bytes QuietMovie();

// A movie whose second frame raises the commands in order and, when `stop`,
// stops there; `before` runs first on that frame (variables for later commands).
struct MovieCommand {
  std::string command;
  std::string args;
};
[[nodiscard]] swf::testing::Bytes CommandMovie(const std::vector<MovieCommand>& commands, bool stop = true,
                                               const swf::testing::Actions& before = {});

// A movie whose frames after the first run the given actions, one block a
// frame; the last frame stops the movie.
[[nodiscard]] swf::testing::Bytes FramesMovie(const std::vector<swf::testing::Actions>& frames);

// Configuration file lines (version 3) with the given lines replaced, by line number.
[[nodiscard]] std::vector<std::string> ConfigurationLines(const std::map<int, std::string>& replaced = {});

// Whether the system says a screen saver runs (SPI_GETSCREENSAVERRUNNING).
[[nodiscard]] bool ScreenSaverRunningFlag();

// The cursor as the foreground input shows it.
[[nodiscard]] bool CursorShowing();

// The primary display's current mode.
[[nodiscard]] DEVMODEA CurrentDisplayMode();

// What every way out must leave: the cursor shown, the running flag cleared,
// the display mode as it was before the run.
void ExpectSystemRestored(const DEVMODEA& before);

// Real input, as the user makes it.
void MoveCursorTo(int x, int y);
void ClickButton(DWORD downFlag, DWORD upFlag);
void TurnWheel();
void PressKey(WORD virtualKey);
void ReleaseKey(WORD virtualKey);
void TypeKey(WORD virtualKey);
void TypeText(const std::string& lowerCaseLetters);

class SaverTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the package and starts "/s"; returns once the player was told to
  // play and the saver window is visible (false when that did not happen).
  [[nodiscard]] bool StartSaver(const swf::testing::Bytes& movie,
                                const std::vector<std::string>& configuration = ConfigurationLines());
  // Starts without waiting for the movie (for runs that end early).
  void LaunchSaver(const swf::testing::Bytes& movie,
                   const std::vector<std::string>& configuration = ConfigurationLines());

  [[nodiscard]] HWND SaverWindow() const { return window_; }
  [[nodiscard]] std::vector<std::string> Trace() const { return trace_.Lines(); }
  // The trace lines with these prefixes.
  [[nodiscard]] std::vector<std::string> TraceOf(std::initializer_list<std::string_view> prefixes) const;
  // Waits until a trace line equals `line` (or starts with it when `prefix`).
  [[nodiscard]] bool WaitForTraceLine(const std::string& line, bool prefix = false, DWORD timeoutMs = 5000) const;
  // Waits until the condition holds, handling this thread's messages.
  static bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

  // The exit code, or nothing while it still runs after the timeout.
  [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD timeoutMs = kRunTimeoutMs);
  // Still running after a while in which nothing should end it.
  [[nodiscard]] bool StillRunningAfter(DWORD milliseconds);

  [[nodiscard]] HWND PasswordPanel() const;
  [[nodiscard]] HWND PasswordBox() const;
  [[nodiscard]] bool PromptVisible() const;
  // What the password box holds, asked of the box itself (its caption is not kept up to date).
  [[nodiscard]] std::string PasswordText() const;
  [[nodiscard]] COLORREF PasswordBoxColour() const;

  void StoreSetting(const std::string& name, const std::string& value);
  void StoreLegacyPassword(const std::string& upperCasePassword);

  // Takes the stand-in player's registration away again (for a saver whose player fails).
  void UnregisterPlayer() { player_.reset(); }

  // A file in the test's own scratch folder (for movies a command loads).
  [[nodiscard]] std::string ScratchFile(const std::string& name) const { return scratch_.File(name); }

  [[nodiscard]] ProgramRun& Run() { return *run_; }
  [[nodiscard]] const SaverPackage& Package() const { return *package_; }

 private:
  testing::ScratchFolder scratch_;
  std::unique_ptr<testing::PlayerRegistration> player_;
  testing::PlayerTraceFile trace_{scratch_.File("trace.txt")};
  std::unique_ptr<testing::RegistryValueBackup> passwordFlag_;
  std::unique_ptr<testing::RegistryValueBackup> passwordData_;
  std::unique_ptr<SaverPackage> package_;
  std::unique_ptr<ProgramRun> run_;
  HWND window_ = nullptr;
};

}  // namespace tpl::e2e
