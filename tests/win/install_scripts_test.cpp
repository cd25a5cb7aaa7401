// The release folder's install.cmd and uninstall.cmd, run by the cmd.exe of this
// program's bitness against the real registry: what they register for the
// current user in each registry view, and what they leave alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "support/case_name.h"
#include "support/win_test_support.h"

namespace tpl {
namespace {

using testing::CaseName;

constexpr char kClassKey[] = "Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";

struct View {
  REGSAM access;
  const char* arch;
  // The per-user class key, read through the 64-bit view: the 32-bit one is where Windows keeps the per-user
  // classes of 32-bit programs (Wine redirects 32-bit access there only once that key exists).
  const char* userKey;
};
constexpr std::array<View, 2> kViews = {{
    {KEY_WOW64_64KEY, "x64", kClassKey},
    {KEY_WOW64_32KEY, "x86", "Software\\Classes\\Wow6432Node\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}"},
}};

std::string SystemFolder() {
  char path[MAX_PATH] = {};
  ::GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

// Where the programs of a view find %SystemRoot%\System32, as this process names it.
std::string SystemFolderOf(const View& view) {
  char path[MAX_PATH] = {};
  if (view.access == KEY_WOW64_32KEY) {
    ::GetSystemWow64DirectoryA(path, MAX_PATH);
    return path;
  }
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  if (!wow64) return SystemFolder();
  ::GetWindowsDirectoryA(path, MAX_PATH);
  return std::string(path) + "\\Sysnative";
}

std::string SystemFileName(const View& view) { return std::string("tpl_install_test_") + view.arch + ".ocx"; }

std::optional<std::string> ReadString(HKEY root, const std::string& key, const char* name, REGSAM view) {
  const auto value = testing::GetRawRegistryValue(root, key, name, view);
  if (!value) return std::nullopt;
  std::string text(value->bytes.begin(), value->bytes.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

void WriteString(HKEY root, const std::string& key, const char* name, const std::string& text, REGSAM view,
                 DWORD type = REG_SZ) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  testing::SetRawRegistryValue(root, key, name, type, bytes, view);
}

// A class key's server and install marker, as text for readable failures.
std::string Describe(HKEY root, const std::string& key, REGSAM view) {
  const auto server = ReadString(root, key + "\\InprocServer32", "", view);
  const auto marker = ReadString(root, key, "InstalledFrom", view);
  return "server=" + server.value_or("(none)") + " marker=" + marker.value_or("(none)");
}

enum class Arrangement {
  kNothing,
  kMachinePlayer,          // HKLM names an existing file
  kStaleMachinePlayer,     // HKLM names a file that is gone
  kUserCopyWithoutMarker,  // HKCU names this folder's DLL, but install.cmd did not write it
  kOtherFolderInstall,     // install.cmd of another folder registered its existing DLL
  kPlayerInSystemFolder,   // HKLM names %SystemRoot%\System32\..., the file where the view's programs look
  kSystemFileOfOtherView,  // the same, with the file only where the other view's programs look
  kNoX86Dll,               // the release folder lacks x86\TemplatePlayer.dll
};

enum class UserKey { kAbsent, kOurs, kAsArranged };

struct Step {
  const char* script;
  UserKey x64;
  UserKey x86;
};

struct ScriptCase {
  const char* name;
  const char* folder;
  Arrangement arrangement;
  std::vector<Step> steps;
};

class InstallScriptsTest : public ::testing::TestWithParam<ScriptCase> {
 protected:
  void SetUp() override { RemoveRegistrations(); }
  void TearDown() override {
    RemoveRegistrations();
    for (const View& view : kViews) {
      for (const View& place : kViews) ::DeleteFileA((SystemFolderOf(place) + "\\" + SystemFileName(view)).c_str());
    }
  }

  static void RemoveRegistrations() {
    for (const View& view : kViews) {
      testing::DeleteRegistryTree(HKEY_CURRENT_USER, view.userKey, KEY_WOW64_64KEY);
      testing::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kClassKey, view.access);
    }
    testing::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node\\CLSID", KEY_WOW64_64KEY);
    testing::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node", KEY_WOW64_64KEY);
  }

  void MakeReleaseFolder() {
    ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
    for (const char* script : {"install.cmd", "uninstall.cmd"}) {
      testing::CopyFileOrFail(testing::WindowsPathOf(std::string(TEMPLATE_RELEASE_DIR) + "/" + script),
                              folder_ + "\\" + script);
    }
    for (const View& view : kViews) {
      ASSERT_TRUE(::CreateDirectoryA((folder_ + "\\" + view.arch).c_str(), nullptr));
      testing::WriteFileBytes(DllOf(view), "the scripts register the path only");
    }
  }

  void Arrange(Arrangement arrangement) {
    if (arrangement == Arrangement::kNoX86Dll) {
      ASSERT_TRUE(::DeleteFileA(DllOf(kViews[1]).c_str()));
    }
    for (const View& view : kViews) {
      const std::string other = scratch_.File(std::string("other_") + view.arch + ".dll");
      switch (arrangement) {
        case Arrangement::kMachinePlayer:
          testing::WriteFileBytes(other, "player");
          WriteString(HKEY_LOCAL_MACHINE, std::string(kClassKey) + "\\InprocServer32", "", other, view.access);
          break;
        case Arrangement::kStaleMachinePlayer:
          WriteString(HKEY_LOCAL_MACHINE, std::string(kClassKey) + "\\InprocServer32", "", other, view.access);
          break;
        case Arrangement::kUserCopyWithoutMarker:
          WriteString(HKEY_CURRENT_USER, std::string(view.userKey) + "\\InprocServer32", "", DllOf(view),
                      KEY_WOW64_64KEY);
          break;
        case Arrangement::kOtherFolderInstall:
          testing::WriteFileBytes(other, "player");
          WriteString(HKEY_CURRENT_USER, view.userKey, "InstalledFrom", scratch_.Path(), KEY_WOW64_64KEY);
          WriteString(HKEY_CURRENT_USER, std::string(view.userKey) + "\\InprocServer32", "", other, KEY_WOW64_64KEY);
          break;
        case Arrangement::kPlayerInSystemFolder:
        case Arrangement::kSystemFileOfOtherView: {
          const bool own = arrangement == Arrangement::kPlayerInSystemFolder;
          const View& place = own ? view : kViews[view.access == KEY_WOW64_64KEY ? 1 : 0];
          testing::WriteFileBytes(SystemFolderOf(place) + "\\" + SystemFileName(view), "player");
          WriteString(HKEY_LOCAL_MACHINE, std::string(kClassKey) + "\\InprocServer32", "",
                      "%SystemRoot%\\System32\\" + SystemFileName(view), view.access, REG_EXPAND_SZ);
          break;
        }
        case Arrangement::kNoX86Dll:
        case Arrangement::kNothing: break;
      }
    }
  }

  std::optional<DWORD> Run(const char* script) const {
    // The outer quotes keep cmd.exe from splitting a path with spaces, & or ( ).
    testing::ChildProcess cmd(SystemFolder() + "\\cmd.exe", "/c \"\"" + folder_ + "\\" + script + ".cmd\"\"");
    return cmd.WaitForExit(60000);
  }

  void ExpectOurs(const View& view) const {
    const std::string server = std::string(view.userKey) + "\\InprocServer32";
    EXPECT_EQ(Describe(HKEY_CURRENT_USER, view.userKey, KEY_WOW64_64KEY),
              "server=" + DllOf(view) + " marker=" + folder_);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, view.userKey, "", KEY_WOW64_64KEY), "Stand-in Flash player");
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, server, "ThreadingModel", KEY_WOW64_64KEY), "Apartment");
    // And the programs of the view see it there.
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, std::string(kClassKey) + "\\InprocServer32", "", view.access),
              DllOf(view));
  }

  [[nodiscard]] std::string DllOf(const View& view) const {
    return folder_ + "\\" + view.arch + "\\TemplatePlayer.dll";
  }

  testing::ScratchFolder scratch_;
  std::string folder_ = scratch_.File(GetParam().folder);
};

TEST_P(InstallScriptsTest, RegistersOnlyWhereNoPlayerIsAndRemovesOnlyItsOwn) {
  MakeReleaseFolder();
  Arrange(GetParam().arrangement);
  if (HasFatalFailure()) return;
  std::array<std::string, 2> machineBefore;
  std::array<std::string, 2> userBefore;
  for (std::size_t i = 0; i < kViews.size(); ++i) {
    machineBefore[i] = Describe(HKEY_LOCAL_MACHINE, kClassKey, kViews[i].access);
    userBefore[i] = Describe(HKEY_CURRENT_USER, kViews[i].userKey, KEY_WOW64_64KEY);
  }
  int number = 0;
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE(std::to_string(++number) + ". " + step.script);
    ASSERT_EQ(Run(step.script), DWORD{0});
    for (std::size_t i = 0; i < kViews.size(); ++i) {
      const View& view = kViews[i];
      SCOPED_TRACE(view.arch);
      EXPECT_EQ(Describe(HKEY_LOCAL_MACHINE, kClassKey, view.access), machineBefore[i]);
      switch (i == 0 ? step.x64 : step.x86) {
        case UserKey::kAbsent: EXPECT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, view.userKey, KEY_WOW64_64KEY)); break;
        case UserKey::kAsArranged:
          EXPECT_EQ(Describe(HKEY_CURRENT_USER, view.userKey, KEY_WOW64_64KEY), userBefore[i]);
          break;
        case UserKey::kOurs: ExpectOurs(view); break;
      }
    }
  }
}

constexpr UserKey kAbsent = UserKey::kAbsent;
constexpr UserKey kOurs = UserKey::kOurs;
constexpr UserKey kAsArranged = UserKey::kAsArranged;

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallScriptsTest,
    ::testing::Values(
        ScriptCase{"NothingRegistered",
                   "Template 1.0",
                   Arrangement::kNothing,
                   {{"uninstall", kAbsent, kAbsent},
                    {"install", kOurs, kOurs},
                    {"install", kOurs, kOurs},
                    {"uninstall", kAbsent, kAbsent},
                    {"uninstall", kAbsent, kAbsent}}},
        ScriptCase{"MachinePlayer",
                   "Template",
                   Arrangement::kMachinePlayer,
                   {{"install", kAbsent, kAbsent}, {"uninstall", kAbsent, kAbsent}}},
        ScriptCase{"StaleMachinePlayer",
                   "Template (x86) & co!",
                   Arrangement::kStaleMachinePlayer,
                   {{"install", kOurs, kOurs}, {"uninstall", kAbsent, kAbsent}}},
        ScriptCase{"UserCopyWithoutMarker",
                   "Template",
                   Arrangement::kUserCopyWithoutMarker,
                   {{"install", kAsArranged, kAsArranged}, {"uninstall", kAsArranged, kAsArranged}}},
        ScriptCase{"OtherFolderInstall",
                   "Template",
                   Arrangement::kOtherFolderInstall,
                   {{"install", kAsArranged, kAsArranged}, {"uninstall", kAsArranged, kAsArranged}}},
        ScriptCase{"PlayerInSystemFolder",
                   "Template",
                   Arrangement::kPlayerInSystemFolder,
                   {{"install", kAbsent, kAbsent}}},
        ScriptCase{"SystemFileOfOtherView",
                   "Template",
                   Arrangement::kSystemFileOfOtherView,
                   {{"install", kOurs, kOurs}, {"uninstall", kAbsent, kAbsent}}},
        ScriptCase{"NoX86Dll",
                   "Template",
                   Arrangement::kNoX86Dll,
                   {{"install", kOurs, kAbsent}, {"uninstall", kAbsent, kAbsent}}}),
    CaseName());

// Batch files with bare LF line ends misplace labels on Windows.
TEST(InstallScriptsFiles, HaveCrLfLineEnds) {
  for (const char* script : {"install.cmd", "uninstall.cmd"}) {
    const std::string path = testing::WindowsPathOf(std::string(TEMPLATE_RELEASE_DIR) + "/" + script);
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    std::string text(1 << 16, '\0');
    DWORD length = 0;
    ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &length, nullptr);
    ::CloseHandle(file);
    text.resize(length);
    ASSERT_FALSE(text.empty()) << script;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
      ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << script << " has a bare LF at offset " << at;
    }
  }
}

}  // namespace
}  // namespace tpl
