#pragma once
// Splitting and classifying the command line the screen-saver machinery
// (or a user) starts the program with.

#include <string>
#include <string_view>
#include <vector>

namespace tpl {

// Splits a whole command line (program name first) into its arguments: they are
// separated by characters up to and including the blank, double quotes group
// blanks into an argument and are themselves dropped, and empty quote pairs in
// front of an argument are skipped.
[[nodiscard]] std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Changes only the ASCII letters A to Z; every other byte stays as it is.
[[nodiscard]] std::string LowerAscii(std::string_view text);

enum class StartupMode { Preview, Password, Settings, Saver, None };

// "-compile" in the first 8 characters of the lower-cased first argument.
[[nodiscard]] bool IsCompileRequest(std::string_view modeArgument);

// The mode a lower-cased first argument selects, testing preview, password,
// settings and saver in that order; an empty argument means settings.
[[nodiscard]] StartupMode ClassifyMode(std::string_view modeArgument);

struct StartupArguments {
  std::string modeArgument;       // argument 1 lower-cased; empty without arguments
  std::string previewHandleText;  // argument 2 unchanged; empty with fewer than two
};

// The parts of the command line start-up looks at.
[[nodiscard]] StartupArguments ReadStartupArguments(std::string_view commandLine);

}  // namespace tpl
