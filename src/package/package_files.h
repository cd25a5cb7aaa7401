#pragma once
// The saver package: the files beside the program that share its name.

#include <string>
#include <string_view>

namespace tpl {

// The program path minus its last 4 characters (the ".scr" of a saver), with
// no check that those characters really are an extension.
[[nodiscard]] std::string ExeBaseName(std::string_view programPath);

struct PackagePaths {
  std::string configuration;    // ".c1"
  std::string saverMovie;       // ".swf"
  std::string settingsPicture;  // ".bmp"
  std::string settingsMovie;    // ".c2"
};

[[nodiscard]] PackagePaths PackagePathsFor(std::string_view baseName);

}  // namespace tpl
