#include "package/player_detection.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/store_layout.h"
#include "support/case_name.h"
#include "support/win_test_support.h"

namespace tpl {
namespace {

using testing::CaseName;

// Libraries built beside this test, each with nothing but a version resource.
std::string Version4Library() { return testing::WindowsPathOf(TEMPLATE_VERSION4_FIXTURE); }
std::string Version5Library() { return testing::WindowsPathOf(TEMPLATE_VERSION5_FIXTURE); }
std::string Version6Library() { return testing::WindowsPathOf(TEMPLATE_VERSION6_FIXTURE); }

std::string ServerKeyPath(std::string_view classId) { return "\\CLSID\\" + std::string(classId) + "\\InprocServer32"; }

std::vector<std::uint8_t> StringBytes(std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

void MakeFolder(const std::string& path) {
  ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path << " error " << ::GetLastError();
}

// What a registry path or override points at.
enum class Target {
  Nothing,        // no value at all
  EmptyPath,      // an empty text
  Version4,       // a copy of the version-4 library
  Version5,       // a copy of the version-5 library
  Version6,       // a copy of the version-6 library
  NoVersionInfo,  // a text file
  MissingFile,    // a path where nothing exists
  Folder,         // a folder of that name
};

// Puts the target at folder\name and returns its path.
std::string PlaceTarget(Target target, const std::string& folder, const std::string& name) {
  if (target == Target::EmptyPath) return "";
  MakeFolder(folder);
  const std::string path = folder + "\\" + name;
  switch (target) {
    case Target::Version4: testing::CopyFileOrFail(Version4Library(), path); break;
    case Target::Version5: testing::CopyFileOrFail(Version5Library(), path); break;
    case Target::Version6: testing::CopyFileOrFail(Version6Library(), path); break;
    case Target::NoVersionInfo: testing::WriteFileBytes(path, "not a library\r\n"); break;
    case Target::Folder: MakeFolder(path); break;
    case Target::MissingFile:
    case Target::EmptyPath:
    case Target::Nothing: break;
  }
  return path;
}

// ---------------------------------------------------------------------------

struct VersionCase {
  const char* name;
  Target target;
  int expected;
};

class FileMajorVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FileMajorVersionTest, IsTheHighWordOfTheFixedFileVersion) {
  const testing::ScratchFolder scratch;
  const std::string path = PlaceTarget(GetParam().target, scratch.File("files"), "player.ocx");
  EXPECT_EQ(FileMajorVersion(path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileMajorVersionTest,
    ::testing::Values(VersionCase{"Version4", Target::Version4, 4}, VersionCase{"Version5", Target::Version5, 5},
                      VersionCase{"Version6", Target::Version6, 6}, VersionCase{"TextFile", Target::NoVersionInfo, 0},
                      VersionCase{"MissingFile", Target::MissingFile, 0}, VersionCase{"Folder", Target::Folder, 0}),
    CaseName());

// ---------------------------------------------------------------------------

// The variable that stands for the scratch folder in paths written with one,
// as an installer writes "%SystemRoot%\..." into a REG_EXPAND_SZ value.
constexpr char kFolderVariable[] = "TEMPLATE_DETECTION_FOLDER";

struct Registration {
  Target target = Target::Nothing;
  const char* fileName = "";
  DWORD type = REG_SZ;
  bool viaVariable = false;  // the path starts with %TEMPLATE_DETECTION_FOLDER% instead of the folder
};

// The path as stored: the scratch folder written as the variable when asked.
std::string StoredPath(const std::string& path, const std::string& scratchFolder, bool viaVariable) {
  if (!viaVariable || path.rfind(scratchFolder, 0) != 0) return path;
  std::string stored;
  stored.append(1, '%').append(kFolderVariable).append(1, '%').append(path, scratchFolder.size());
  return stored;
}

struct DetectionCase {
  const char* name;
  Registration first = {};   // the first class id's server file
  Registration second = {};  // the second class id's server file
  Target pathOverride = Target::Nothing;
  Registration overrideAs = {};           // type and variable of the path override (target and name unused)
  const char* presentOverride = nullptr;  // null: no such value
  bool overridesInSaverKey = false;       // put the overrides under the saver's own key instead
  bool found = false;
};

// Keeps what the machine had registered for the player class ids and the
// override values, starts every case from none of them, and puts it all back.
class PlayerRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::string_view classId : kPlayerClassIds) Isolate(HKEY_CLASSES_ROOT, ServerKeyPath(classId), "");
    for (const std::string& key : {std::string(kSaversKeyPath), SettingsKeyPath("65536")}) {
      Isolate(HKEY_CURRENT_USER, key, kPlayerPathOverrideValue);
      Isolate(HKEY_CURRENT_USER, key, kPlayerPresentOverrideValue);
    }
  }
  void TearDown() override { backups_.clear(); }

  void Register(std::string_view classId, const Registration& registration, const std::string& folder,
                const std::string& scratchFolder) {
    if (registration.target == Target::Nothing) return;
    const std::string path = PlaceTarget(registration.target, folder, registration.fileName);
    testing::SetRawRegistryValue(HKEY_CLASSES_ROOT, ServerKeyPath(classId), "", registration.type,
                                 StringBytes(StoredPath(path, scratchFolder, registration.viaVariable)));
  }

 private:
  void Isolate(HKEY root, const std::string& path, std::string_view name) {
    backups_.push_back(std::make_unique<testing::RegistryValueBackup>(root, path, name));
    testing::DeleteRegistryValue(root, path, name);
  }

  std::vector<std::unique_ptr<testing::RegistryValueBackup>> backups_;
};

class PlayerDetectionTest : public PlayerRegistrationTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(PlayerDetectionTest, FindsOnlyAUsablePlayer) {
  const DetectionCase& c = GetParam();
  const testing::ScratchFolder scratch;
  ASSERT_TRUE(::SetEnvironmentVariableA(kFolderVariable, scratch.Path().c_str()));
  Register(kPlayerClassIds[0], c.first, scratch.File("first"), scratch.Path());
  Register(kPlayerClassIds[1], c.second, scratch.File("second"), scratch.Path());

  const std::string overrideKey = c.overridesInSaverKey ? SettingsKeyPath("65536") : std::string(kSaversKeyPath);
  if (c.pathOverride != Target::Nothing) {
    const std::string path = PlaceTarget(c.pathOverride, scratch.File("override"), "player.bin");
    testing::SetRawRegistryValue(HKEY_CURRENT_USER, overrideKey, kPlayerPathOverrideValue, c.overrideAs.type,
                                 StringBytes(StoredPath(path, scratch.Path(), c.overrideAs.viaVariable)));
  }
  if (c.presentOverride != nullptr) {
    testing::SetRawRegistryValue(HKEY_CURRENT_USER, overrideKey, kPlayerPresentOverrideValue, REG_SZ,
                                 StringBytes(c.presentOverride));
  }

  const bool found = DetectPlayer();
  ::SetEnvironmentVariableA(kFolderVariable, nullptr);
  EXPECT_EQ(found, c.found);
}

constexpr Registration kOtherPlayer{Target::NoVersionInfo, "player10.ocx"};
constexpr Registration kOldPlayer5{Target::Version5, "swflash.ocx"};
constexpr Registration kOldPlayer4{Target::Version4, "swflash.ocx"};

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerDetectionTest,
    ::testing::Values(
        DetectionCase{.name = "NothingRegistered", .found = false},
        // A server file of another name is taken whatever its version.
        DetectionCase{.name = "FirstIdOtherFileWithoutVersion", .first = kOtherPlayer, .found = true},
        DetectionCase{.name = "FirstIdOtherFileVersion4", .first = {Target::Version4, "Player9.ocx"}, .found = true},
        DetectionCase{.name = "SecondIdOtherFile", .second = kOtherPlayer, .found = true},
        DetectionCase{.name = "FirstIdExpandableString",
                      .first = {Target::NoVersionInfo, "player10.ocx", REG_EXPAND_SZ},
                      .found = true},
        // A REG_EXPAND_SZ path is expanded for the file
        // check (and the version check); a REG_SZ one is taken as written.
        DetectionCase{.name = "FirstIdExpandableStringWithVariable",
                      .first = {Target::NoVersionInfo, "player10.ocx", REG_EXPAND_SZ, true},
                      .found = true},
        DetectionCase{.name = "SecondIdExpandableOldPlayerVersion5",
                      .second = {Target::Version5, "swflash.ocx", REG_EXPAND_SZ, true},
                      .found = true},
        DetectionCase{.name = "SecondIdExpandableOldPlayerVersion4",
                      .second = {Target::Version4, "swflash.ocx", REG_EXPAND_SZ, true},
                      .found = false},
        DetectionCase{.name = "ExpandableStringWithVariableMissingFile",
                      .first = {Target::MissingFile, "player10.ocx", REG_EXPAND_SZ, true},
                      .found = false},
        DetectionCase{.name = "PlainStringWithVariableIsNotExpanded",
                      .first = {Target::NoVersionInfo, "player10.ocx", REG_SZ, true},
                      .found = false},
        DetectionCase{.name = "PathOverrideExpandableWithVariable",
                      .pathOverride = Target::NoVersionInfo,
                      .overrideAs = {Target::Nothing, "", REG_EXPAND_SZ, true},
                      .found = true},
        DetectionCase{.name = "OtherFileNamedLikeOldPlayerWithSuffix",
                      .first = {Target::Version4, "swflash.ocx.old"},
                      .found = true},
        // The old player's file name is usable in version 5 only.
        DetectionCase{.name = "SecondIdOldPlayerVersion5", .second = kOldPlayer5, .found = true},
        DetectionCase{.name = "SecondIdOldPlayerVersion4", .second = kOldPlayer4, .found = false},
        DetectionCase{.name = "SecondIdOldPlayerVersion6", .second = {Target::Version6, "swflash.ocx"}, .found = false},
        DetectionCase{.name = "SecondIdOldPlayerWithoutVersion",
                      .second = {Target::NoVersionInfo, "swflash.ocx"},
                      .found = false},
        DetectionCase{.name = "FirstIdOldPlayerVersion5", .first = kOldPlayer5, .found = true},
        DetectionCase{.name = "FirstIdOldPlayerVersion4", .first = kOldPlayer4, .found = false},
        DetectionCase{.name = "CapitalOldPlayerVersion5", .second = {Target::Version5, "SWFLASH.OCX"}, .found = true},
        DetectionCase{.name = "CapitalOldPlayerVersion4", .second = {Target::Version4, "SWFLASH.OCX"}, .found = false},
        DetectionCase{
            .name = "MixedCaseOldPlayerVersion4", .second = {Target::Version4, "SwFlash.Ocx"}, .found = false},
        DetectionCase{.name = "NameEndingInOldPlayerNameVersion4",
                      .second = {Target::Version4, "newswflash.ocx"},
                      .found = false},
        DetectionCase{
            .name = "NameEndingInOldPlayerNameVersion5", .second = {Target::Version5, "newswflash.ocx"}, .found = true},
        // Paths that name no file are skipped.
        DetectionCase{.name = "FirstIdMissingFile", .first = {Target::MissingFile, "player10.ocx"}, .found = false},
        DetectionCase{
            .name = "SecondIdMissingOldPlayer", .second = {Target::MissingFile, "swflash.ocx"}, .found = false},
        DetectionCase{.name = "FirstIdFolder", .first = {Target::Folder, "player10.ocx"}, .found = false},
        DetectionCase{.name = "FirstIdEmptyPath", .first = {Target::EmptyPath}, .found = false},
        // A rejected first class id does not end detection.
        DetectionCase{.name = "FirstIdMissingSecondIdUsable",
                      .first = {Target::MissingFile, "player10.ocx"},
                      .second = kOtherPlayer,
                      .found = true},
        DetectionCase{.name = "FirstIdFolderSecondIdUsable",
                      .first = {Target::Folder, "player10.ocx"},
                      .second = kOldPlayer5,
                      .found = true},
        DetectionCase{
            .name = "FirstIdOldPlayer4SecondIdOldPlayer5", .first = kOldPlayer4, .second = kOldPlayer5, .found = true},
        DetectionCase{.name = "BothIdsOldPlayer4", .first = kOldPlayer4, .second = kOldPlayer4, .found = false},
        // The per-user overrides.
        DetectionCase{.name = "PathOverrideExistingFile", .pathOverride = Target::NoVersionInfo, .found = true},
        DetectionCase{.name = "PathOverrideMissingFile", .pathOverride = Target::MissingFile, .found = false},
        DetectionCase{.name = "PathOverrideFolder", .pathOverride = Target::Folder, .found = false},
        DetectionCase{.name = "PathOverrideRescuesOldPlayer4",
                      .second = kOldPlayer4,
                      .pathOverride = Target::NoVersionInfo,
                      .found = true},
        DetectionCase{.name = "PresentOverrideZero", .presentOverride = "0", .found = true},
        DetectionCase{.name = "PresentOverrideAnyText", .presentOverride = "no", .found = true},
        DetectionCase{.name = "PresentOverrideEmpty", .presentOverride = "", .found = false},
        DetectionCase{.name = "PresentOverrideAfterMissingPathOverride",
                      .pathOverride = Target::MissingFile,
                      .presentOverride = "1",
                      .found = true},
        DetectionCase{
            .name = "PresentOverrideRescuesOldPlayer4", .first = kOldPlayer4, .presentOverride = "1", .found = true},
        // Only the parent key of all savers counts, never a saver's own key.
        DetectionCase{.name = "PathOverrideInSaverKeyIgnored",
                      .pathOverride = Target::NoVersionInfo,
                      .overridesInSaverKey = true,
                      .found = false},
        DetectionCase{.name = "PresentOverrideInSaverKeyIgnored",
                      .presentOverride = "1",
                      .overridesInSaverKey = true,
                      .found = false}),
    CaseName());

// An override stored as a number is no text, so it does not count.
TEST_F(PlayerRegistrationTest, NumericPresentOverrideDoesNotCount) {
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, kSaversKeyPath, kPlayerPresentOverrideValue, REG_DWORD, {1, 0, 0, 0});
  EXPECT_FALSE(DetectPlayer());
}

}  // namespace
}  // namespace tpl
