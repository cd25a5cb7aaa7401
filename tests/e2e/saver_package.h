#pragma once
// Saver packages for the end-to-end tests: a copy of the built program under a
// saver's name in a scratch folder, with the package files beside it, each one
// present as a file, missing, or replaced by a folder of the same name.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/win_test_support.h"

namespace tpl::e2e {

// How one package file is laid out next to the program copy.
enum class Entry { Missing, File, Folder };

struct PackageLayout {
  Entry configuration = Entry::File;    // ".c1"
  Entry saverMovie = Entry::File;       // ".swf"
  Entry settingsPicture = Entry::File;  // ".bmp"
  Entry settingsMovie = Entry::File;    // ".c2"
};

inline constexpr PackageLayout kCompletePackage{};
inline constexpr PackageLayout kProgramOnly{Entry::Missing, Entry::Missing, Entry::Missing, Entry::Missing};

// The built program as the Windows side sees it.
[[nodiscard]] std::string BuiltProgramPath();

class SaverPackage {
 public:
  // Copies the program as "<name>.scr" and writes the files the layout asks for;
  // the configuration file gets the given lines, each ended by CR LF.
  explicit SaverPackage(std::string_view name, const PackageLayout& layout = kCompletePackage,
                        const std::vector<std::string>& configurationLines = {});

  [[nodiscard]] const std::string& ProgramPath() const { return programPath_; }
  // The program path without its ".scr".
  [[nodiscard]] const std::string& BaseName() const { return baseName_; }
  [[nodiscard]] std::string ConfigurationPath() const { return baseName_ + ".c1"; }
  [[nodiscard]] std::string SaverMoviePath() const { return baseName_ + ".swf"; }
  [[nodiscard]] std::string SettingsPicturePath() const { return baseName_ + ".bmp"; }
  [[nodiscard]] std::string SettingsMoviePath() const { return baseName_ + ".c2"; }

 private:
  testing::ScratchFolder folder_;
  std::string programPath_;
  std::string baseName_;
};

// Holds a file open with no sharing at all, so that no other process can open
// it until the lock goes away.
class ExclusiveFileLock {
 public:
  explicit ExclusiveFileLock(const std::string& path);
  ~ExclusiveFileLock();
  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace tpl::e2e
