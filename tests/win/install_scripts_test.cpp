// The release folder's install.cmd and uninstall.cmd, run by the cmd.exe of this
// program's bitness against the real registry: what they register for the
// current user in each registry view, and what they leave alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "support/case_name.h"
#include "support/win_test_support.h"

namespace tpl {
namespace {

constexpr char kClassKey[] = "Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";

struct View {
  REGSAM access;
  const char* arch;
  // The per-user class key, always read through the 64-bit view: for 32-bit programs Windows keeps it under
  // Wow6432Node (Wine redirects 32-bit access there only once that key exists).
  const char* userKey;
};
constexpr std::array<View, 2> kViews{{
    {KEY_WOW64_64KEY, "x64", kClassKey},
    {KEY_WOW64_32KEY, "x86", "Software\\Classes\\Wow6432Node\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}"},
}};

std::string SystemFolder() {
  char path[MAX_PATH] = {};
  ::GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

// The folder 64-bit programs know as %SystemRoot%\System32, as this process names it.
std::string NativeSystemFolder() {
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  if (!wow64) return SystemFolder();
  char path[MAX_PATH] = {};
  ::GetWindowsDirectoryA(path, MAX_PATH);
  return std::string(path) + "\\Sysnative";
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string SystemFileName(const View& view) { return std::string("tpl_install_test_") + view.arch + ".ocx"; }

std::string Read(HKEY root, const std::string& key, const char* name, REGSAM view) {
  const auto value = testing::GetRawRegistryValue(root, key, name, view);
  if (!value) return "(none)";
  std::string text(value->bytes.begin(), value->bytes.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

void Write(HKEY root, const std::string& key, const char* name, const std::string& text, REGSAM view,
           DWORD type = REG_SZ) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  testing::SetRawRegistryValue(root, key, name, type, bytes, view);
}

std::string Describe(HKEY root, const std::string& key, REGSAM view) {
  const std::string server = key + "\\InprocServer32";
  return Read(root, key, "", view) + " | " + Read(root, server, "", view) + " | " +
         Read(root, server, "ThreadingModel", view) + " | " + Read(root, key, "InstalledFrom", view);
}

enum class Before {
  kNothing,
  kMachinePlayer,          // HKLM names an existing file
  kStaleMachinePlayer,     // HKLM names a file that is gone
  kUserCopyWithoutMarker,  // HKCU names this folder's DLL, but install.cmd did not write it
  kOtherFolderInstall,     // install.cmd of another folder registered its existing DLL
  kSystemFolderPlayers,    // HKLM names %SystemRoot%\System32\<file>, each file only in 64-bit programs' System32:
                           // a player in the 64-bit view, a missing file in the 32-bit one
  kNoX86Dll,               // the release folder lacks x86\TemplatePlayer.dll
  kVolatileWow64Classes,   // HKCU\Software\Classes\Wow6432Node is volatile: no lasting key can be made under it
  // HKLM names a player library of this version, in both views.
  kMachinePlayer371,  // the last official build before the ones that refuse to play
  kMachinePlayer387,  // the first that refuses
  kMachinePlayer465,  // the last that refuses
  kMachinePlayer466,  // a later, patched build
  kUserPlayer387,     // HKCU names such a build, and install.cmd did not write it
};

// The player library standing in for a build of that version, when the case has one.
const char* PlayerFixture(Before before) {
  switch (before) {
    case Before::kMachinePlayer371: return TEMPLATE_PLAYER371_FIXTURE;
    case Before::kMachinePlayer387: return TEMPLATE_PLAYER387_FIXTURE;
    case Before::kMachinePlayer465: return TEMPLATE_PLAYER465_FIXTURE;
    case Before::kMachinePlayer466: return TEMPLATE_PLAYER466_FIXTURE;
    case Before::kUserPlayer387: return TEMPLATE_PLAYER387_FIXTURE;
    default: return nullptr;
  }
}
enum class UserKey { kAbsent, kOurs, kAsBefore };
struct Step {
  const char* script;               // with its arguments
  std::array<UserKey, 2> expected;  // 64-bit, 32-bit view
  DWORD exitCode = 0;
  const char* says = "";  // a part of the output
};
struct ScriptCase {
  const char* name;
  Before before;
  std::vector<Step> steps;
};
void PrintTo(const ScriptCase& scriptCase, std::ostream* out) { *out << scriptCase.name; }

class InstallScriptsTest : public ::testing::TestWithParam<ScriptCase> {
 protected:
  void SetUp() override { RemoveRegistrations(); }
  void TearDown() override {
    RemoveRegistrations();
    for (const View& view : kViews) ::DeleteFileA((NativeSystemFolder() + "\\" + SystemFileName(view)).c_str());
  }
  static void RemoveRegistrations() {
    for (const View& view : kViews) {
      testing::DeleteRegistryTree(HKEY_CURRENT_USER, view.userKey, KEY_WOW64_64KEY);
      testing::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kClassKey, view.access);
    }
    testing::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node\\CLSID", KEY_WOW64_64KEY);
    testing::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node", KEY_WOW64_64KEY);
  }

  std::string Dll(const View& view) const { return folder_ + "\\" + view.arch + "\\TemplatePlayer.dll"; }

  void Arrange(Before before) {
    if (before == Before::kVolatileWow64Classes) {
      HKEY key = nullptr;
      ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node", 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
                ERROR_SUCCESS);
      ::RegCloseKey(key);
    }
    ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
    for (const char* script : {"\\install.cmd", "\\uninstall.cmd"}) {
      testing::CopyFileOrFail(testing::WindowsPathOf(TEMPLATE_RELEASE_DIR) + script, folder_ + script);
    }
    for (const View& view : kViews) {
      ASSERT_TRUE(::CreateDirectoryA((folder_ + "\\" + view.arch).c_str(), nullptr));
    }
    // install.cmd reads a player's version with the MakeSaver of cmd.exe's bitness, this program's.
    testing::CopyFileOrFail(testing::WindowsPathOf(TEMPLATE_MAKE_SAVER_EXE),
                            folder_ + (sizeof(void*) == 8 ? "\\x64" : "\\x86") + "\\MakeSaver.exe");
    for (const View& view : kViews) {
      if (before != Before::kNoX86Dll || view.access == KEY_WOW64_64KEY) testing::WriteFileBytes(Dll(view), "dll");
      const std::string machineServer = std::string(kClassKey) + "\\InprocServer32";
      const std::string userServer = std::string(view.userKey) + "\\InprocServer32";
      const std::string other = scratch_.File(std::string("other_") + view.arch + ".dll");
      if (before == Before::kMachinePlayer || before == Before::kOtherFolderInstall) testing::WriteFileBytes(other, "");
      if (const char* fixture = PlayerFixture(before)) testing::CopyFileOrFail(testing::WindowsPathOf(fixture), other);
      if (before == Before::kUserPlayer387) {
        Write(HKEY_CURRENT_USER, userServer, "", other, KEY_WOW64_64KEY);
      } else if (PlayerFixture(before) != nullptr || before == Before::kMachinePlayer ||
                 before == Before::kStaleMachinePlayer) {
        Write(HKEY_LOCAL_MACHINE, machineServer, "", other, view.access);
      } else if (before == Before::kUserCopyWithoutMarker) {
        Write(HKEY_CURRENT_USER, userServer, "", Dll(view), KEY_WOW64_64KEY);
      } else if (before == Before::kOtherFolderInstall) {
        Write(HKEY_CURRENT_USER, userServer, "", other, KEY_WOW64_64KEY);
        Write(HKEY_CURRENT_USER, view.userKey, "InstalledFrom", scratch_.Path(), KEY_WOW64_64KEY);
      } else if (before == Before::kSystemFolderPlayers) {
        testing::WriteFileBytes(NativeSystemFolder() + "\\" + SystemFileName(view), "");
        Write(HKEY_LOCAL_MACHINE, machineServer, "", "%SystemRoot%\\System32\\" + SystemFileName(view), view.access,
              REG_EXPAND_SZ);
      }
    }
  }

  // Runs the script with its arguments; returns what it printed.
  std::string Run(const char* script, DWORD exitCode) const {
    const std::string command = script;
    const std::size_t blank = command.find(' ');
    const std::string name = command.substr(0, blank);
    const std::string arguments = blank == std::string::npos ? "" : command.substr(blank);
    const std::string output = scratch_.File("output.txt");
    // The outer quotes keep cmd.exe from splitting a path with spaces, & or ( ).
    testing::ChildProcess cmd(SystemFolder() + "\\cmd.exe",
                              "/c \"\"" + folder_ + "\\" + name + ".cmd\"" + arguments + " >\"" + output + "\"\"");
    EXPECT_EQ(cmd.WaitForExit(60000), exitCode);
    return ReadText(output);
  }

  testing::ScratchFolder scratch_;
  // Spaces, brackets, & and ! in the path must not trip the scripts.
  std::string folder_ = scratch_.File("Template 1.0 (x86) & co!");
};

TEST_P(InstallScriptsTest, RegistersOnlyWhereNoPlayerIsAndRemovesOnlyItsOwn) {
  ASSERT_NO_FATAL_FAILURE(Arrange(GetParam().before));
  std::array<std::string, 2> machineBefore;
  std::array<std::string, 2> userBefore;
  for (std::size_t i = 0; i < kViews.size(); ++i) {
    machineBefore[i] = Describe(HKEY_LOCAL_MACHINE, kClassKey, kViews[i].access);
    userBefore[i] = Describe(HKEY_CURRENT_USER, kViews[i].userKey, KEY_WOW64_64KEY);
  }
  int number = 0;
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE(std::to_string(++number) + ". " + step.script);
    const std::string output = Run(step.script, step.exitCode);
    EXPECT_NE(output.find(step.says), std::string::npos) << output;
    for (std::size_t i = 0; i < kViews.size(); ++i) {
      const View& view = kViews[i];
      SCOPED_TRACE(view.arch);
      EXPECT_EQ(Describe(HKEY_LOCAL_MACHINE, kClassKey, view.access), machineBefore[i]);
      const std::string user = Describe(HKEY_CURRENT_USER, view.userKey, KEY_WOW64_64KEY);
      if (step.expected[i] == UserKey::kAbsent) {
        EXPECT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, view.userKey, KEY_WOW64_64KEY)) << user;
      } else if (step.expected[i] == UserKey::kAsBefore) {
        EXPECT_EQ(user, userBefore[i]);
      } else {
        EXPECT_EQ(user, "Stand-in Flash player | " + Dll(view) + " | Apartment | " + folder_);
        // And the programs of the view see it there.
        EXPECT_EQ(Read(HKEY_CURRENT_USER, std::string(kClassKey) + "\\InprocServer32", "", view.access), Dll(view));
      }
    }
  }
}

constexpr UserKey kAbsent = UserKey::kAbsent;
constexpr UserKey kOurs = UserKey::kOurs;
constexpr UserKey kAsBefore = UserKey::kAsBefore;

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallScriptsTest,
    ::testing::Values(
        ScriptCase{"NothingRegistered",
                   Before::kNothing,
                   {{"uninstall", {kAbsent, kAbsent}},
                    {"install", {kOurs, kOurs}},
                    {"install", {kOurs, kOurs}},
                    {"uninstall", {kAbsent, kAbsent}},
                    {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"MachinePlayer",
                   Before::kMachinePlayer,
                   {{"install", {kAbsent, kAbsent}}, {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"StaleMachinePlayer",
                   Before::kStaleMachinePlayer,
                   {{"install", {kOurs, kOurs}}, {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"UserCopyWithoutMarker",
                   Before::kUserCopyWithoutMarker,
                   {{"install", {kAsBefore, kAsBefore}}, {"uninstall", {kAsBefore, kAsBefore}}}},
        ScriptCase{"OtherFolderInstall",
                   Before::kOtherFolderInstall,
                   {{"install", {kAsBefore, kAsBefore}}, {"uninstall", {kAsBefore, kAsBefore}}}},
        ScriptCase{"SystemFolderPlayers",
                   Before::kSystemFolderPlayers,
                   {{"install", {kAbsent, kOurs}}, {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"NoX86Dll", Before::kNoX86Dll, {{"install", {kOurs, kAbsent}}, {"uninstall", {kAbsent, kAbsent}}}},
        // Official builds that refuse to play get the stand-in for the current user; the others keep playing.
        ScriptCase{"MachinePlayer371",
                   Before::kMachinePlayer371,
                   {{"install", {kAbsent, kAbsent}, 0, "a player is already registered"},
                    {"install /force", {kOurs, kOurs}, 0, "/force: in place of the registered player"},
                    {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"MachinePlayer387",
                   Before::kMachinePlayer387,
                   {{"install", {kOurs, kOurs}, 0, "is version 32.0.0.387, a build that refuses to play"},
                    {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"MachinePlayer465",
                   Before::kMachinePlayer465,
                   {{"install", {kOurs, kOurs}, 0, "is version 32.0.0.465"}, {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"MachinePlayer466",
                   Before::kMachinePlayer466,
                   {{"install", {kAbsent, kAbsent}, 0, "a player is already registered"}}},
        ScriptCase{"UserPlayer387",
                   Before::kUserPlayer387,
                   {{"install", {kAsBefore, kAsBefore}, 0, "left as it is (install.cmd /force replaces it)"},
                    {"install /force", {kOurs, kOurs}},
                    {"uninstall", {kAbsent, kAbsent}}}},
        ScriptCase{"UnknownArgument",
                   Before::kNothing,
                   {{"install /forse", {kAbsent, kAbsent}, 2, "Usage: install.cmd [/force]"}}},
        ScriptCase{"RegistrationFails",
                   Before::kVolatileWow64Classes,
                   {{"install", {kOurs, kAbsent}, 1}, {"uninstall", {kAbsent, kAbsent}}}}),
    testing::CaseName());

}  // namespace
}  // namespace tpl
