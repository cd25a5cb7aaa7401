// Savers made by MakeSaver.exe from the demo's movie and picture, started in
// every mode as Windows starts them; and input the tool refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
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

std::wstring Wide(const std::string& utf8) {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size - 1));
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), size, nullptr, nullptr);
  text.resize(static_cast<std::size_t>(size - 1));
  return text;
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// What a run of the tool did: its exit code and what it wrote to its output and error files.
struct ToolRun {
  std::optional<DWORD> exitCode;
  std::string output;
  std::string errors;
};

// Runs MakeSaver with a UTF-8 command line in `folder`, its output and errors going to files.
ToolRun RunTool(const std::string& arguments, const std::string& folder, const testing::ScratchFolder& scratch) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  // Files of their own for each run: Wine lets go of an ended child's handles a moment later.
  static int runs = 0;
  ++runs;
  const std::string outputPath = scratch.File("tool-output-" + std::to_string(runs) + ".txt");
  const std::string errorPath = scratch.File("tool-errors-" + std::to_string(runs) + ".txt");
  HANDLE output =
      ::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE errors = ::CreateFileA(errorPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = errors;
  const std::wstring program = Wide(testing::WindowsPathOf(TEMPLATE_MAKE_SAVER_EXE));
  std::wstring commandLine = L"\"" + program + L"\" " + Wide(arguments);
  PROCESS_INFORMATION process{};
  ToolRun run;
  if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       Wide(folder).c_str(), &startup, &process)) {
    if (::WaitForSingleObject(process.hProcess, kToolTimeoutMs) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(process.hProcess, &code);
      run.exitCode = code;
    } else {
      ::TerminateProcess(process.hProcess, 99);
    }
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
  }
  ::CloseHandle(output);
  ::CloseHandle(errors);
  run.output = ReadText(outputPath);
  run.errors = ReadText(errorPath);
  return run;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (::GetTickCount64() >= deadline) return false;
    testing::PumpMessagesFor(20);
  }
  return true;
}

std::string JoinedLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += line + "\n";
  return joined;
}

class MadeSaver : public ::testing::Test {
 protected:
  void TearDown() override { testing::DeleteRegistryTree(HKEY_CURRENT_USER, kSaverSettingsKey); }

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
      // The saver sees keys through a hook on its own thread, so a key typed
      // before its window has the foreground goes to another window.
      EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }));
      TypeKey(VK_SPACE);  // the configured default: a key ends the saver
    } else {
      ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    const std::optional<DWORD> code = run.Finish(MessageBoxes::Leave);
    EXPECT_EQ(code, std::optional<DWORD>(0)) << "player trace:\n" << JoinedLines(trace_.Lines());
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

std::string Demo(const char* file) { return testing::WindowsPathOf(TEMPLATE_DEMO_DIR) + "\\" + file; }

TEST_F(MadeSaver, RefusedInputLeavesNoFileBehind) {
  testing::WriteFileBytes(scratch_.File("short.swf"), "FWS");
  testing::WriteFileBytes(scratch_.File("short.bmp"), "BM");
  const std::string picture = "--settings-picture " + Quoted(Demo("Demo.bmp"));
  const std::string program = " --program " + Quoted(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH));
  const std::string movie = " --movie " + Quoted(Demo("Demo.swf"));
  struct Case {
    const char* what;
    std::string name;
    std::string options;
    const char* message;
  };
  const Case cases[] = {
      {"a line end in a text", "Made", movie + program + " " + picture + " --SaverTitle \"two\nlines\"", "line end"},
      {"a settings picture that is missing", "Made",
       movie + program + " --settings-picture " + Quoted(scratch_.File("none.bmp")), "does not exist"},
      {"a settings picture that is a movie", "Made",
       movie + program + " --settings-picture " + Quoted(Demo("Demo.swf")), "is not a Windows bitmap"},
      {"a name Windows keeps for a device", "CON", movie + program + " " + picture, "keeps for a device"},
      // The saver finds its package through its name in the system's code page (here Western).
      {"a Cyrillic name", "\xD0\xA1\xD0\xB2\xD0\xB5\xD1\x82\xD0\xBB\xD1\x8F\xD1\x87\xD0\xBA\xD0\xB8",
       movie + program + " " + picture, "--name has characters the system's code page cannot hold"},
      {"a Japanese name", "\xE6\x97\xA5\xE6\x9C\xAC", movie + program + " " + picture, "code page cannot hold"},
      {"a lone dash", "Made", movie + program + " " + picture + " -", "unexpected argument '-'"},
      {"a question mark", "Made", movie + program + " " + picture + " ?", "unexpected argument '?'"},
      {"a slash", "Made", movie + program + " " + picture + " /", "unexpected argument '/'"},
      {"an empty argument", "Made", movie + program + " " + picture + " \"\"", "unexpected argument ''"},
      {"a title not quoted", "Made", movie + program + " " + picture + " --SaverTitle My Lights",
       "unexpected argument 'Lights'"},
      {"a misspelled flag", "Made", movie + program + " " + picture + " --repalce", "unknown option --repalce"},
      {"a 3-byte movie", "Made", " --movie " + Quoted(scratch_.File("short.swf")) + program + " " + picture,
       "ends inside its header"},
      {"a 2-byte picture", "Made", movie + program + " --settings-picture " + Quoted(scratch_.File("short.bmp")),
       "ends inside its header"},
      {"the player library as the program", "Made",
       movie + " --program " + Quoted(testing::WindowsPathOf(TEMPLATE_PLAYER_DLL)) + " " + picture, "library (DLL)"},
      {"MakeSaver itself as the program", "Made",
       movie + " --program " + Quoted(testing::WindowsPathOf(TEMPLATE_MAKE_SAVER_EXE)) + " " + picture,
       "not the saver program"},
  };
  ::CreateDirectoryA(OutFolder().c_str(), nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ToolRun run =
        RunTool("--name " + Quoted(c.name) + " --out " + Quoted(OutFolder()) + c.options, scratch_.Path(), scratch_);
    EXPECT_EQ(run.exitCode, std::optional<DWORD>(2));
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
    EXPECT_EQ(OutFolderFiles(), std::vector<std::string>{});
  }
}

TEST_F(MadeSaver, FilesThatCannotBeReadOrWrittenFailNamingTheFileAndCause) {
  testing::CopyFileOrFail(Demo("Demo.swf"), scratch_.File("locked.swf"));
  const std::string picture = " --settings-picture " + Quoted(Demo("Demo.bmp"));
  const std::string program = " --program " + Quoted(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH));
  const std::string arguments = "--name Made --out " + Quoted(OutFolder()) + program + picture;
  ::CreateDirectoryA(OutFolder().c_str(), nullptr);
  {
    SCOPED_TRACE("a movie another program holds open");
    HANDLE locked =
        ::CreateFileA(scratch_.File("locked.swf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    const ToolRun run =
        RunTool(arguments + " --movie " + Quoted(scratch_.File("locked.swf")), scratch_.Path(), scratch_);
    ::CloseHandle(locked);
    EXPECT_EQ(run.exitCode, std::optional<DWORD>(1));
    EXPECT_NE(run.errors.find("could not read the movie '" + scratch_.File("locked.swf") + "': "), std::string::npos)
        << run.errors;
    EXPECT_EQ(OutFolderFiles(), std::vector<std::string>{});
  }
  {
    SCOPED_TRACE("a folder where the movie copy is written");
    const std::string inTheWay = OutFolder() + "\\Made.swf.partial";
    ASSERT_TRUE(::CreateDirectoryA(inTheWay.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((inTheWay + "\\x").c_str(), nullptr));
    const ToolRun run = RunTool(arguments + " --movie " + Quoted(Demo("Demo.swf")), scratch_.Path(), scratch_);
    EXPECT_EQ(run.exitCode, std::optional<DWORD>(1));
    // The target is named, not the source program or movie.
    EXPECT_NE(run.errors.find("could not write '" + inTheWay + "': "), std::string::npos) << run.errors;
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(OutFolderFiles(), std::vector<std::string>{"Made.swf.partial"});
  }
}

TEST_F(MadeSaver, InputsAlreadyNamedForThePackageAreUsedInPlace) {
  // The release README's example, run where the author's files are.
  ::CreateDirectoryA(OutFolder().c_str(), nullptr);
  testing::CopyFileOrFail(Demo("Demo.swf"), OutFolder() + "\\MySaver.swf");
  testing::CopyFileOrFail(Demo("Demo.bmp"), OutFolder() + "\\MySaver.bmp");
  const std::string program = " --program " + Quoted(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH));
  const ToolRun run =
      RunTool("--name MySaver --movie MySaver.swf --settings-picture MySaver.bmp --SaverTitle \"My Saver\"" + program,
              OutFolder(), scratch_);
  EXPECT_EQ(run.exitCode, std::optional<DWORD>(0)) << run.errors;
  EXPECT_EQ(run.output,
            "wrote .\\MySaver.scr\nwrote .\\MySaver.c1\nkept .\\MySaver.swf (the input itself)\nkept "
            ".\\MySaver.bmp (the input itself)\n");
  EXPECT_EQ(OutFolderFiles().size(), 4U);

  // With no saver there, --replace touches no file the author did not give.
  const std::string lights = OutFolder() + "\\lights";
  ASSERT_TRUE(::CreateDirectoryA(lights.c_str(), nullptr));
  for (const char* file : {"lights.swf", "lights-settings.swf"}) {
    testing::CopyFileOrFail(Demo("Demo.swf"), lights + "\\" + file);
  }
  testing::CopyFileOrFail(Demo("Demo.bmp"), lights + "\\lights.bmp");
  const ToolRun replace = RunTool(
      "--name lights --movie lights.swf --settings-movie lights-settings.swf --replace" + program, lights, scratch_);
  EXPECT_EQ(replace.exitCode, std::optional<DWORD>(2));
  EXPECT_NE(replace.errors.find("lights.bmp' is there but belongs to no saver"), std::string::npos) << replace.errors;
  EXPECT_EQ(::GetFileAttributesA((lights + "\\lights.bmp").c_str()) != INVALID_FILE_ATTRIBUTES, true);
}

TEST_F(MadeSaver, ReplacingListsEveryFileAndLeavesNoOldOne) {
  ASSERT_EQ(MakeWithPicture(), std::optional<DWORD>(0));
  // Old files that are read-only still go.
  ASSERT_TRUE(::SetFileAttributesA((OutFolder() + "\\Made.bmp").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(::SetFileAttributesA((OutFolder() + "\\Made.c1").c_str(), FILE_ATTRIBUTE_READONLY));
  const ToolRun run = RunTool("--name Made --out . --replace --movie " + Quoted(Demo("Demo.swf")) + " --program " +
                                  Quoted(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH)) + " --settings-movie " +
                                  Quoted(Demo("Demo.swf")),
                              OutFolder(), scratch_);
  EXPECT_EQ(run.exitCode, std::optional<DWORD>(0)) << run.errors;
  EXPECT_EQ(run.output,
            "replaced .\\Made.scr\nreplaced .\\Made.c1\nreplaced .\\Made.swf\nwrote .\\Made.c2\nremoved "
            ".\\Made.bmp (the old package's, not in the new one)\n");
  std::vector<std::string> files = OutFolderFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Made.c1", "Made.c2", "Made.scr", "Made.swf"}));
}

TEST_F(MadeSaver, ReplacingARunningSaverCleansUpOrSaysWhatIsLeft) {
  ASSERT_EQ(MakeWithPicture(), std::optional<DWORD>(0));
  ProgramRun run(Program(), "/c");
  ASSERT_NE(WaitForWindow(run, "TfrmSettings"), nullptr);
  const ToolRun replace = RunTool("--name Made --out . --replace --movie " + Quoted(Demo("Demo.swf")) + " --program " +
                                      Quoted(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH)) + " --settings-picture " +
                                      Quoted(Demo("Demo.bmp")),
                                  OutFolder(), scratch_);
  const bool oldProgramLeft = ::GetFileAttributesA((Program() + ".replaced").c_str()) != INVALID_FILE_ATTRIBUTES;
  // Windows keeps a running program's file: then the tool must say so and fail; otherwise nothing is left.
  if (oldProgramLeft) {
    EXPECT_EQ(replace.exitCode, std::optional<DWORD>(1));
    EXPECT_NE(replace.errors.find("could not delete the old '.\\Made.scr.replaced'"), std::string::npos)
        << replace.errors;
  } else {
    EXPECT_EQ(replace.exitCode, std::optional<DWORD>(0)) << replace.errors;
  }
  std::vector<std::string> files = OutFolderFiles();
  std::sort(files.begin(), files.end());
  std::vector<std::string> expected = {"Made.bmp", "Made.c1", "Made.scr", "Made.swf"};
  if (oldProgramLeft) expected.insert(expected.begin() + 3, "Made.scr.replaced");
  EXPECT_EQ(files, expected);
  ::PostMessageA(WaitForWindow(run, "TfrmSettings"), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
}

// The text on the first rows of a console screen buffer.
std::wstring ConsoleText(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ::GetConsoleScreenBufferInfo(console, &info);
  const auto width = static_cast<DWORD>(info.dwSize.X);
  std::wstring text(width * 10, L' ');
  DWORD read = 0;
  ::ReadConsoleOutputCharacterW(console, text.data(), static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
  text.resize(read);
  return text;
}

TEST_F(MadeSaver, AConsoleShowsNamesAsTheyAre) {
  // A console of this test's own, shared with the tool; this process's standard handles stay as they are.
  const std::array<DWORD, 3> kinds = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  std::array<HANDLE, 3> standard{};
  for (std::size_t i = 0; i < kinds.size(); ++i) standard[i] = ::GetStdHandle(kinds[i]);
  ::FreeConsole();
  ASSERT_TRUE(::AllocConsole());
  HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  HANDLE inherited = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), console, ::GetCurrentProcess(), &inherited, 0, TRUE, DUPLICATE_SAME_ACCESS);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = inherited;
  startup.hStdError = inherited;
  const std::wstring program = Wide(testing::WindowsPathOf(TEMPLATE_MAKE_SAVER_EXE));
  // A name the tool refuses, so that its message names it.
  std::wstring commandLine = L"\"" + program + L"\" --name \"Caf\u00e9?\"";
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
  if (started) {
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, kToolTimeoutMs), WAIT_OBJECT_0);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
  }
  const std::wstring text = ConsoleText(console);
  ::CloseHandle(inherited);
  ::CloseHandle(console);
  ::FreeConsole();
  for (std::size_t i = 0; i < kinds.size(); ++i) ::SetStdHandle(kinds[i], standard[i]);
  ASSERT_TRUE(started);
  EXPECT_NE(text.find(L"the saver name 'Caf\u00e9?'"), std::wstring::npos) << Utf8(text);
}

TEST_F(MadeSaver, NamesReachFilesAndPipesAsUtf8AndMissingFoldersAreMade) {
  const std::string name = "Caf\xC3\xA9";
  const std::string out = OutFolder() + "\\new\\savers";
  const ToolRun run = RunTool("--name " + name + " --out " + Quoted(out) + " --movie " + Quoted(Demo("Demo.swf")) +
                                  " --program " + Quoted(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH)) +
                                  " --settings-picture " + Quoted(Demo("Demo.bmp")),
                              scratch_.Path(), scratch_);
  EXPECT_EQ(run.exitCode, std::optional<DWORD>(0)) << run.errors;
  EXPECT_NE(run.output.find("wrote " + out + "\\" + name + ".scr\n"), std::string::npos) << run.output;
  EXPECT_NE(::GetFileAttributesA((out + "\\Caf\xE9.scr").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace tpl::e2e
