// The release folder's install.cmd and uninstall.cmd, run by the cmd.exe of this
// program's bitness against the real registry: what they register for the
// current user in each registry view, and what they leave alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
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
};
enum class UserKey { kAbsent, kOurs, kAsBefore };
struct Step {
  const char* script;
  std::array<UserKey, 2> expected;  // 64-bit, 32-bit view
  DWORD exitCode = 0;
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
      if (before != Before::kNoX86Dll || view.access == KEY_WOW64_64KEY) testing::WriteFileBytes(Dll(view), "dll");
      const std::string machineServer = std::string(kClassKey) + "\\InprocServer32";
      const std::string userServer = std::string(view.userKey) + "\\InprocServer32";
      const std::string other = scratch_.File(std::string("other_") + view.arch + ".dll");
      if (before == Before::kMachinePlayer || before == Before::kOtherFolderInstall) testing::WriteFileBytes(other, "");
      if (before == Before::kMachinePlayer || before == Before::kStaleMachinePlayer) {
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

  void Run(const char* script, DWORD exitCode) const {
    // The outer quotes keep cmd.exe from splitting a path with spaces, & or ( ).
    testing::ChildProcess cmd(SystemFolder() + "\\cmd.exe", "/c \"\"" + folder_ + "\\" + script + ".cmd\"\"");
    ASSERT_EQ(cmd.WaitForExit(60000), exitCode);
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
    ASSERT_NO_FATAL_FAILURE(Run(step.script, step.exitCode));
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
        ScriptCase{"RegistrationFails",
                   Before::kVolatileWow64Classes,
                   {{"install", {kOurs, kAbsent}, 1}, {"uninstall", {kAbsent, kAbsent}}}}),
    testing::CaseName());

}  // namespace
}  // namespace tpl
