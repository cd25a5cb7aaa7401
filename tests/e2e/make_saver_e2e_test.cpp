// Savers made by MakeSaver.exe from the demo's movie and picture, started in
// every mode as Windows starts them; and input the tool refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "e2e/saver_run.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "support/win_test_support.h"

namespace tpl::e2e {
namespace {

constexpr DWORD kToolTimeoutMs = 20000;
// "Akvárium" in the Western code page the test session runs in: the tool must
// turn its UTF-16 command line back into the bytes the program reads.
constexpr char kTitle[] = "Akv\xE1rium";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (::GetTickCount64() >= deadline) return false;
    testing::PumpMessagesFor(20);
  }
  return true;
}

class MadeSaver : public ::testing::Test {
 protected:
  void TearDown() override {
    testing::DeleteRegistryTree(HKEY_CURRENT_USER, kSaverSettingsKey);
  }

  // Runs the tool in the scratch folder's "out"; returns its exit code.
  std::optional<DWORD> Make(const std::string& options, const std::string& name = "Made") {
    ::CreateDirectoryA(OutFolder().c_str(), nullptr);
    const std::string demo = testing::WindowsPathOf(TEMPLATE_DEMO_DIR);
    const std::string arguments = "--name " + Quoted(name) + " --out " + Quoted(OutFolder()) + " --program " +
                                  Quoted(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH)) + " --movie " +
                                  Quoted(demo + "\\Demo.swf") + " " + options;
    testing::ChildProcess tool(testing::WindowsPathOf(TEMPLATE_MAKE_SAVER_EXE), arguments);
    return tool.WaitForExit(kToolTimeoutMs);
  }

  std::optional<DWORD> MakeWithPicture(const std::string& options = {}) {
    return Make("--settings-picture " + Quoted(testing::WindowsPathOf(TEMPLATE_DEMO_DIR) + "\\Demo.bmp") + " " +
                options);
  }

  [[nodiscard]] std::string OutFolder() const { return scratch_.File("out"); }
  [[nodiscard]] std::string Program() const { return OutFolder() + "\\Made.scr"; }

  [[nodiscard]] std::vector<std::string> OutFolderFiles() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((OutFolder() + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") {
        names.emplace_back(found.cFileName);
      }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
  }

  // The visible top-level window of the run with this class, once it shows.
  static HWND WaitForWindow(ProgramRun& run, const char* className) {
    HWND shown = nullptr;
    WaitUntil(
        [&] {
          for (HWND window : testing::TopLevelWindowsOf(run.Process().Id())) {
            if (testing::WindowClassName(window) == className && ::IsWindowVisible(window)) shown = window;
          }
          return shown != nullptr;
        },
        kRunTimeoutMs);
    return shown;
  }

  [[nodiscard]] bool WaitForPlay() const {
    return WaitUntil([&] {
      for (const std::string& line : trace_.Lines()) {
        if (line == "Play") return true;
      }
      return false;
    });
  }

  testing::ScratchFolder scratch_;
  testing::PlayerTraceFile trace_{scratch_.File("trace.txt")};
  testing::PlayerRegistration registration_{testing::WindowsPathOf(TEMPLATE_PLAYER_DLL)};
};

TEST_F(MadeSaver, WindowModesShowTheirWindowWithTheTextsGivenToTheTool) {
  ASSERT_EQ(MakeWithPicture(std::string("--SaverTitle ") + kTitle + " --SettingsCaption \"Made settings\"" +
                            " --PasswordDialogCaption \"Made password\""),
            std::optional<DWORD>(0));
  struct Case {
    const char* arguments;
    const char* windowClass;
    std::string caption;
  };
  const Case cases[] = {
      {"/s", "TfrmMain", kTitle},
      {"/c", "TfrmSettings", "Made settings"},
      {"/a", "TfrmPassword", "Made password"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    MoveCursorTo(kStartCursor.x, kStartCursor.y);
    ProgramRun run(Program(), c.arguments);
    const HWND window = WaitForWindow(run, c.windowClass);
    ASSERT_NE(window, nullptr);
    // The windows take their texts on activation, a moment after they show.
    EXPECT_TRUE(WaitUntil([&] { return testing::WindowText(window) == c.caption; })) << testing::WindowText(window);
    if (std::string(c.arguments) == "/s") {
      EXPECT_TRUE(WaitForPlay());
      TypeKey(VK_SPACE);  // the configured default: a key ends the saver
    } else {
      ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
  }
}

TEST_F(MadeSaver, PreviewPlaysTheMovieUntilItsWindowGoes) {
  ASSERT_EQ(MakeWithPicture(), std::optional<DWORD>(0));
  const HWND preview = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, 152, 112, nullptr, nullptr,
                                         ::GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(preview, nullptr);
  ProgramRun run(Program(), "/p " + std::to_string(reinterpret_cast<INT_PTR>(preview)));
  EXPECT_TRUE(WaitForPlay());
  EXPECT_EQ(run.Process().WaitForExit(200), std::nullopt) << "the preview ended by itself";
  ::DestroyWindow(preview);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

TEST_F(MadeSaver, ASettingsMovieSaverLoadsItsSettingsMovie) {
  const std::string demo = testing::WindowsPathOf(TEMPLATE_DEMO_DIR);
  ASSERT_EQ(Make("--settings-movie " + Quoted(demo + "\\Demo.swf")), std::optional<DWORD>(0));
  ProgramRun run(Program(), "/c");
  const HWND dialog = WaitForWindow(run, "TfrmSettings");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(WaitUntil([&] {
    const auto loads = testing::TraceLinesStartingWith(trace_.Lines(), {"LoadMovie"});
    return loads.size() == 1 && loads[0] == "LoadMovie 0 " + OutFolder() + "\\Made.c2";
  }));
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

TEST_F(MadeSaver, RefusedInputLeavesNoFileBehind) {
  const std::string picture = "--settings-picture " + Quoted(testing::WindowsPathOf(TEMPLATE_DEMO_DIR) + "\\Demo.bmp");
  const std::pair<const char*, std::string> cases[] = {
      {"a line end in a text", picture + " --SaverTitle \"two\nlines\""},
      {"a settings picture that is missing", "--settings-picture " + Quoted(scratch_.File("none.bmp"))},
      {"a settings picture that is a movie", "--settings-picture " +
                                                 Quoted(testing::WindowsPathOf(TEMPLATE_DEMO_DIR) + "\\Demo.swf")},
  };
  for (const auto& [what, options] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Make(options), std::optional<DWORD>(2));
    EXPECT_EQ(OutFolderFiles(), std::vector<std::string>{});
  }
  {
    SCOPED_TRACE("a name Windows keeps for a device");
    EXPECT_EQ(Make(picture, "CON"), std::optional<DWORD>(2));
    EXPECT_EQ(OutFolderFiles(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace tpl::e2e
