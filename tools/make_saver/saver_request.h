#pragma once
// What a MakeSaver command line asks for, and the checks that need no file
// system: option syntax, the saver's name, and every configuration value.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/saver_configuration.h"

namespace tpl::maker {

struct SaverRequest {
  std::string name;  // the saver's name: the program copy is "<name>.scr"
  std::filesystem::path program;
  std::filesystem::path movie;
  std::filesystem::path settingsPicture;  // at most one of these two is set
  std::filesystem::path settingsMovie;
  std::filesystem::path outFolder = ".";
  bool replace = false;
  // The values of the configuration lines, defaults for those no option named.
  SaverConfiguration values;
};

struct ParsedArguments {
  std::optional<SaverRequest> request;  // empty for --help or when refused
  bool helpAsked = false;
  std::vector<std::string> problems;  // one message per refused argument or value
};

// How an argument's text (UTF-8) becomes configuration-file text. The program
// reads its configuration in the system's 8-bit code page, so on Windows a value
// is converted to it; empty when the value has no form there.
using FileTextConversion = std::optional<std::string> (*)(const std::string& text);

// Turns the arguments (UTF-8, without the program name) into a request.
[[nodiscard]] ParsedArguments ParseArguments(const std::vector<std::string>& arguments, FileTextConversion toFileText);

// Paths and their text, both ways, in UTF-8 on every system.
[[nodiscard]] std::filesystem::path PathFromText(const std::string& text);
[[nodiscard]] std::string TextOfPath(const std::filesystem::path& path);

// Why the name cannot be a Windows file name for the saver, or empty.
[[nodiscard]] std::string NameProblem(std::string_view name);

// Why a value cannot stand on its configuration line, or empty.
[[nodiscard]] std::string ValueProblem(const ConfigurationFileLine& line, std::string_view value);

// The configuration file: format version 3, so that every line takes effect,
// then lines 2 to 31 (2, 3, 11 and 13 empty), each ended by CR LF.
[[nodiscard]] std::string ConfigurationFileText(const SaverConfiguration& values);

// The usage text, with every configuration option and its default.
[[nodiscard]] std::string UsageText();

}  // namespace tpl::maker
