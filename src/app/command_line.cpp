#include "app/command_line.h"

namespace tpl {
namespace {

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool StartsWithEither(std::string_view text, std::string_view a, std::string_view b, char letter) {
  return text.starts_with(a) || text.starts_with(b) || text.starts_with(letter);
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  for (;;) {
    for (;;) {
      while (i < n && IsSeparator(commandLine[i])) ++i;
      if (i + 1 < n && commandLine[i] == '"' && commandLine[i + 1] == '"') {
        i += 2;
      } else {
        break;
      }
    }
    if (i >= n) break;
    std::string argument;
    while (i < n && !IsSeparator(commandLine[i])) {
      if (commandLine[i] == '"') {
        ++i;
        while (i < n && commandLine[i] != '"') argument.push_back(commandLine[i++]);
        if (i < n) ++i;  // the closing quote
      } else {
        argument.push_back(commandLine[i++]);
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

bool IsCompileRequest(std::string_view modeArgument) { return modeArgument.substr(0, 8) == "-compile"; }

StartupMode ClassifyMode(std::string_view modeArgument) {
  if (StartsWithEither(modeArgument, "/p", "-p", 'p')) return StartupMode::Preview;
  if (StartsWithEither(modeArgument, "/a", "-a", 'a')) return StartupMode::Password;
  if (modeArgument.empty() || StartsWithEither(modeArgument, "/c", "-c", 'c')) return StartupMode::Settings;
  if (StartsWithEither(modeArgument, "/s", "-s", 's')) return StartupMode::Saver;
  return StartupMode::None;
}

StartupArguments ReadStartupArguments(std::string_view commandLine) {
  const std::vector<std::string> parts = SplitCommandLine(commandLine);
  StartupArguments arguments;
  if (parts.size() >= 2) arguments.modeArgument = LowerAscii(parts[1]);
  if (parts.size() >= 3) arguments.previewHandleText = parts[2];
  return arguments;
}

}  // namespace tpl
