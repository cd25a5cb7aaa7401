// Start-up as Windows and a user see it: the program copied under a saver's
// name, started with the screen-saver arguments next to packages that are
// complete, incomplete or unreadable, and judged by its exit code and by the
// windows it shows.
//
// An exclusively locked configuration file tells apart the runs that got as far
// as reading the configuration (they end with exit code 1) from those that
// stopped earlier (exit code 0): the lock is invisible to a file-existence
// check but makes every attempt to open the file fail.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/program_run.h"
#include "e2e/program_windows.h"
#include "e2e/saver_package.h"

namespace tpl::e2e {
namespace {

constexpr char kSaverName[] = "MySaver";

// A configuration as the authoring tool writes it: format version, two unused
// lines, then the settings dialog's captions.
// The hidden window that carries the program's taskbar button.
constexpr char kApplicationWindowClass[] = "TApplication";

const std::vector<std::string> kTypicalConfiguration = {"2",     "",         "",   "My Saver settings",
                                                        "Close", "Password", "OK", "Cancel"};

// What a user reads when a file cannot be opened because someone else holds it.
std::string SharingViolationText() {
  char* buffer = nullptr;
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, ERROR_SHARING_VIOLATION, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(buffer != nullptr ? buffer : "", length);
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string Quoted(const std::string& text) {
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string ClassesOf(const std::vector<SeenWindow>& windows) {
  std::string classes;
  for (const SeenWindow& window : windows) {
    classes += " [";
    classes += window.className;
    classes += ' ';
    classes += Quoted(window.caption);
    classes += ']';
  }
  return classes;
}

// ---------------------------------------------------------------------------
// Mode arguments

// The dialog modes report a start-up failure in a message box; the saver, the
// preview and unknown arguments end without showing anything.
enum class FailureReport { Silent, MessageBox };

struct ModeArgumentCase {
  const char* label;
  const char* arguments;  // as they follow the program on the command line
  FailureReport report;
  // With no player registered: the form the mode shows (none: the run ends by
  // itself), and the exit code the run ends with once that form is told to quit.
  const char* form;
  DWORD exitCode;
};

constexpr char kSaverNotice[] = "TfrmMainBlack";
constexpr char kSettingsNotice[] = "TfrmSettingsBlack";
constexpr char kPasswordDialog[] = "TfrmPassword";

const ModeArgumentCase kModeArguments[] = {
    {"saver_slash_capital", "/S", FailureReport::Silent, kSaverNotice, 0},
    {"saver_slash", "/s", FailureReport::Silent, kSaverNotice, 0},
    {"saver_dash", "-s", FailureReport::Silent, kSaverNotice, 0},
    {"saver_bare", "s", FailureReport::Silent, kSaverNotice, 0},
    {"settings_with_handle", "/c:4711", FailureReport::MessageBox, kSettingsNotice, 0},
    {"settings_dash", "-c", FailureReport::MessageBox, kSettingsNotice, 0},
    {"settings_bare_capital", "C", FailureReport::MessageBox, kSettingsNotice, 0},
    {"settings_empty_argument", "\"\"", FailureReport::MessageBox, kSettingsNotice, 0},
    {"settings_no_argument", "", FailureReport::MessageBox, kSettingsNotice, 0},
    {"password_with_number", "/a 4711", FailureReport::MessageBox, kPasswordDialog, 0},
    {"password_dash_capital", "-A", FailureReport::MessageBox, kPasswordDialog, 0},
    // Without a player the preview has nothing to draw and ends at once.
    {"preview_with_handle", "/p 123", FailureReport::Silent, nullptr, 0},
    // The handle behind the colon is no second argument: no handle at all.
    {"preview_capital_colon", "/P:123", FailureReport::Silent, nullptr, 1},
    {"unknown_letter", "x", FailureReport::Silent, nullptr, 0},
    {"unknown_switch", "/q", FailureReport::Silent, nullptr, 0},
};

void PrintTo(const ModeArgumentCase& tested, std::ostream* out) { *out << tested.label; }

class ModeArgument : public ::testing::TestWithParam<ModeArgumentCase> {
 protected:
  // Waits for the mode's form, checks that it is the only window a user sees
  // (besides the application's taskbar window), then asks it to quit the way
  // a newly started instance does.
  static void EndTheModesForm(ProgramRun& run) {
    const char* form = GetParam().form;
    if (form == nullptr) return;
    const HWND shown = WaitForVisibleWindow(run.Process(), form);
    ASSERT_NE(shown, nullptr) << "no " << form << "; windows seen:" << ClassesOf(run.Windows());
    for (const std::string& visible : VisibleWindowClassesOf(run.Process().Id())) {
      EXPECT_TRUE(visible == form || visible == kApplicationWindowClass) << "also visible: " << visible;
    }
    BroadcastQuit();
  }
};

TEST_P(ModeArgument, CompletePackageWithoutPlayerShowsOnlyTheModesForm) {
  const SaverPackage package(kSaverName, kCompletePackage, kTypicalConfiguration);
  ProgramRun run(package.ProgramPath(), GetParam().arguments);
  EndTheModesForm(run);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(GetParam().exitCode));
  if (GetParam().form == nullptr) {
    EXPECT_TRUE(run.Windows().empty()) << "windows seen:" << ClassesOf(run.Windows());
  }
  EXPECT_TRUE(run.MessageBoxesSeen().empty()) << "windows seen:" << ClassesOf(run.Windows());
}

// Start-up only reads the registry: player detection looks under the savers'
// key and must not create it, nor touch the legacy password values; the forms
// shown without a player write nothing either.
TEST_P(ModeArgument, CompletePackageLeavesTheRegistryAsItWas) {
  constexpr char kSaversKey[] = "\\Software\\GlimmerforgeSavers";
  constexpr char kDesktopKey[] = "\\Control Panel\\Desktop";
  ASSERT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, kSaversKey)) << "left over by another test";
  const auto passwordBefore = testing::GetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, "ScreenSave_Data");

  const SaverPackage package(kSaverName, kCompletePackage, kTypicalConfiguration);
  ProgramRun run(package.ProgramPath(), GetParam().arguments);
  EndTheModesForm(run);
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(GetParam().exitCode));

  EXPECT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, kSaversKey));
  const auto passwordAfter = testing::GetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, "ScreenSave_Data");
  EXPECT_EQ(passwordBefore.has_value(), passwordAfter.has_value());
  if (passwordBefore && passwordAfter) {
    EXPECT_EQ(passwordBefore->bytes, passwordAfter->bytes);
  }
}

TEST_P(ModeArgument, UnreadableConfigurationEndsWithExitCodeOne) {
  const SaverPackage package(kSaverName);
  const ExclusiveFileLock lock(package.ConfigurationPath());
  ProgramRun run(package.ProgramPath(), GetParam().arguments);

  if (GetParam().report == FailureReport::MessageBox) {
    const HWND box = run.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "no message box; windows seen:" << ClassesOf(run.Windows());
    // It waits for the user before it ends.
    EXPECT_FALSE(run.Process().WaitForExit(0).has_value());
  }
  EXPECT_EQ(run.Finish(MessageBoxes::Close), std::optional<DWORD>(1));

  const std::vector<SeenWindow> boxes = run.MessageBoxesSeen();
  if (GetParam().report == FailureReport::Silent) {
    EXPECT_TRUE(run.Windows().empty()) << "windows seen:" << ClassesOf(run.Windows());
    return;
  }
  ASSERT_EQ(boxes.size(), 1u) << "windows seen:" << ClassesOf(run.Windows());
  EXPECT_EQ(boxes[0].caption, kSaverName);
  EXPECT_NE(boxes[0].text.find(Quoted(package.ConfigurationPath())), std::string::npos) << boxes[0].text;
  const std::string reason = SharingViolationText();
  ASSERT_FALSE(reason.empty());
  EXPECT_NE(boxes[0].text.find(reason), std::string::npos) << boxes[0].text;
  for (const SeenWindow& window : run.Windows()) {
    EXPECT_TRUE(window.className == kMessageBoxClass || !window.wasVisible)
        << "window besides the message box:" << ClassesOf({window});
  }
}

INSTANTIATE_TEST_SUITE_P(Arguments, ModeArgument, ::testing::ValuesIn(kModeArguments),
                         [](const auto& tested) { return std::string(tested.param.label); });

// ---------------------------------------------------------------------------
// The saver's name in the start-up message

struct SaverNameCase {
  const char* label;
  const char* name;   // the program copy is this plus ".scr"
  const char* title;  // the caption a user sees
};

const SaverNameCase kSaverNames[] = {
    {"plain", "MySaver", "MySaver"},
    {"with_blanks", "Night Sky Deluxe", "Night Sky Deluxe"},
    {"with_dots", "Deep.Space.2", "Deep.Space.2"},
};

void PrintTo(const SaverNameCase& tested, std::ostream* out) { *out << tested.label; }

class SaverName : public ::testing::TestWithParam<SaverNameCase> {};

TEST_P(SaverName, NamesTheMessageBoxOfAnUnreadableConfiguration) {
  const SaverPackage package(GetParam().name);
  const ExclusiveFileLock lock(package.ConfigurationPath());
  ProgramRun run(package.ProgramPath(), "/c");
  EXPECT_EQ(run.Finish(MessageBoxes::Close), std::optional<DWORD>(1));
  const std::vector<SeenWindow> boxes = run.MessageBoxesSeen();
  ASSERT_EQ(boxes.size(), 1u) << "windows seen:" << ClassesOf(run.Windows());
  EXPECT_EQ(boxes[0].caption, GetParam().title);
  EXPECT_NE(boxes[0].text.find(Quoted(package.ConfigurationPath())), std::string::npos) << boxes[0].text;
}

INSTANTIATE_TEST_SUITE_P(Names, SaverName, ::testing::ValuesIn(kSaverNames),
                         [](const auto& tested) { return std::string(tested.param.label); });

// ---------------------------------------------------------------------------
// The compile request

struct CompileCase {
  const char* label;
  const char* arguments;
  bool withPackage;  // a complete package with its configuration locked, else the program alone
  DWORD exitCode;
  FailureReport report;  // for the runs that are no compile request and reach the configuration
};

const CompileCase kCompileCases[] = {
    {"plain_alone", "-compile", false, 0, FailureReport::Silent},
    {"capital_alone", "-COMPILE", false, 0, FailureReport::Silent},
    {"longer_alone", "-compilexyz", false, 0, FailureReport::Silent},
    {"mixed_case_with_second_argument_alone", "-Compile /s", false, 0, FailureReport::Silent},
    {"plain_reads_nothing", "-compile", true, 0, FailureReport::Silent},
    {"longer_reads_nothing", "-compilexyz", true, 0, FailureReport::Silent},
    // Not a compile request: one letter short, it is a dash-c settings argument;
    // not at the start, an unknown argument. Both go on to the configuration.
    {"shortened_is_settings", "-compil", true, 1, FailureReport::MessageBox},
    {"not_at_the_start_is_unknown", "x-compile", true, 1, FailureReport::Silent},
};

void PrintTo(const CompileCase& tested, std::ostream* out) { *out << tested.label; }

class CompileRequest : public ::testing::TestWithParam<CompileCase> {};

TEST_P(CompileRequest, EndsBeforeThePackageIsRead) {
  const SaverPackage package(kSaverName, GetParam().withPackage ? kCompletePackage : kProgramOnly);
  std::optional<ExclusiveFileLock> lock;
  if (GetParam().withPackage) lock.emplace(package.ConfigurationPath());
  ProgramRun run(package.ProgramPath(), GetParam().arguments);
  EXPECT_EQ(run.Finish(MessageBoxes::Close), std::optional<DWORD>(GetParam().exitCode));
  const std::size_t expectedBoxes = GetParam().report == FailureReport::MessageBox ? 1 : 0;
  EXPECT_EQ(run.MessageBoxesSeen().size(), expectedBoxes) << "windows seen:" << ClassesOf(run.Windows());
  if (expectedBoxes == 0) {
    EXPECT_TRUE(run.Windows().empty()) << "windows seen:" << ClassesOf(run.Windows());
  }
}

INSTANTIATE_TEST_SUITE_P(Requests, CompileRequest, ::testing::ValuesIn(kCompileCases),
                         [](const auto& tested) { return std::string(tested.param.label); });

// ---------------------------------------------------------------------------
// The package gate

struct LayoutCase {
  const char* label;
  PackageLayout layout;
  bool complete;  // whether the run gets past the gate
};

constexpr Entry M = Entry::Missing;
constexpr Entry F = Entry::File;
constexpr Entry D = Entry::Folder;

const LayoutCase kLayouts[] = {
    //                                   .c1 .swf .bmp .c2
    {"complete", {F, F, F, F}, true},
    {"picture_without_movie", {F, F, F, M}, true},
    {"settings_movie_without_picture", {F, F, M, F}, true},
    {"no_configuration", {M, F, F, F}, false},
    {"no_saver_movie", {F, M, F, F}, false},
    {"neither_picture_nor_settings_movie", {F, F, M, M}, false},
    {"configuration_only", {F, M, M, M}, false},
    {"program_only", {M, M, M, M}, false},
    {"configuration_is_a_folder", {D, F, F, F}, false},
    {"saver_movie_is_a_folder", {F, D, F, F}, false},
    {"picture_is_a_folder", {F, F, D, M}, false},
    {"picture_is_a_folder_settings_movie_present", {F, F, D, F}, true},
    {"settings_movie_is_a_folder", {F, F, M, D}, false},
};

struct GateModeCase {
  const char* label;
  const char* arguments;
  FailureReport report;
};

const GateModeCase kGateModes[] = {
    {"saver", "/s", FailureReport::Silent},         {"settings", "/c", FailureReport::MessageBox},
    {"no_argument", "", FailureReport::MessageBox}, {"preview", "/p 123", FailureReport::Silent},
    {"password", "/a", FailureReport::MessageBox},  {"unknown", "x", FailureReport::Silent},
};

void PrintTo(const LayoutCase& tested, std::ostream* out) { *out << tested.label; }
void PrintTo(const GateModeCase& tested, std::ostream* out) { *out << tested.label; }

class PackageGate : public ::testing::TestWithParam<std::tuple<LayoutCase, GateModeCase>> {};

TEST_P(PackageGate, EndsSilentlyBeforeTheConfigurationUnlessComplete) {
  const auto& [layoutCase, mode] = GetParam();
  const SaverPackage package(kSaverName, layoutCase.layout);
  std::optional<ExclusiveFileLock> lock;
  if (layoutCase.layout.configuration == Entry::File) lock.emplace(package.ConfigurationPath());

  ProgramRun run(package.ProgramPath(), mode.arguments);
  const std::optional<DWORD> exitCode = run.Finish(MessageBoxes::Close);

  if (!layoutCase.complete) {
    EXPECT_EQ(exitCode, std::optional<DWORD>(0));
    EXPECT_TRUE(run.Windows().empty()) << "windows seen:" << ClassesOf(run.Windows());
    return;
  }
  EXPECT_EQ(exitCode, std::optional<DWORD>(1));
  const std::size_t expectedBoxes = mode.report == FailureReport::MessageBox ? 1 : 0;
  EXPECT_EQ(run.MessageBoxesSeen().size(), expectedBoxes) << "windows seen:" << ClassesOf(run.Windows());
}

INSTANTIATE_TEST_SUITE_P(Layouts, PackageGate,
                         ::testing::Combine(::testing::ValuesIn(kLayouts), ::testing::ValuesIn(kGateModes)),
                         [](const auto& tested) {
                           return std::string(std::get<0>(tested.param).label) + "__" + std::get<1>(tested.param).label;
                         });

}  // namespace
}  // namespace tpl::e2e
