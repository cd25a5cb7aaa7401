#include "make_saver/saver_request.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

#include "common/integer_text.h"

namespace tpl::maker {
namespace {

constexpr std::string_view kOptionPrefix = "--";

// Lines the program reads as switches: anything but "0" or "1" would silently mean "off".
constexpr std::array<std::string_view, 4> kSwitchLines = {"LoopMovie", "MouseQuitDefault", "KeybQuitDefault",
                                                          "MovieQuitAllowed"};
// Lines the saver converts to numbers; a value that is not one shows an error instead of the movie.
constexpr std::array<std::string_view, 2> kNumberLines = {"ResChangeDefault", "ResChangeHeightDefault"};
constexpr std::array<std::string_view, 3> kScaleModes = {"showall", "exactfit", "noscale"};

// Names Windows keeps for devices, with or without an extension.
constexpr std::array<std::string_view, 22> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& list, std::string_view text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

const ConfigurationFileLine* LineNamed(std::string_view name) {
  for (const ConfigurationFileLine& line : kConfigurationFileLines) {
    if (line.name == name) return &line;
  }
  return nullptr;
}

// One "--option" of the command line, its value taken from "=value" or the next argument.
struct Option {
  std::string name;
  std::optional<std::string> value;
};

class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  [[nodiscard]] bool AtEnd() const { return next_ >= arguments_.size(); }
  [[nodiscard]] const std::string& Peek() const { return arguments_[next_]; }
  void Skip() { ++next_; }

  // The option at the current argument; its value is read only when `takesValue`.
  Option Read(bool takesValue) {
    const std::string& argument = arguments_[next_++];
    const std::size_t equals = argument.find('=');
    Option option{argument.substr(kOptionPrefix.size(), equals - kOptionPrefix.size()), std::nullopt};
    if (equals != std::string::npos) {
      option.value = argument.substr(equals + 1);
    } else if (takesValue && !AtEnd() && !StartsAsOption(arguments_[next_])) {
      option.value = arguments_[next_++];
    }
    return option;
  }

  static bool StartsAsOption(const std::string& argument) {
    return argument.size() > kOptionPrefix.size() && argument.rfind(kOptionPrefix, 0) == 0;
  }

  // The name of an "--option", empty for any other argument.
  static std::string OptionName(const std::string& argument) {
    if (!StartsAsOption(argument)) return {};
    const std::size_t equals = argument.find('=');
    return argument.substr(kOptionPrefix.size(), equals - kOptionPrefix.size());
  }

 private:
  const std::vector<std::string>& arguments_;
  std::size_t next_ = 0;
};

constexpr std::array<std::string_view, 6> kFileOptions = {"name",           "movie",   "settings-picture",
                                                          "settings-movie", "program", "out"};

bool IsKnownOption(std::string_view name) {
  return name == "replace" || Contains(kFileOptions, name) || LineNamed(name) != nullptr;
}

class RequestBuilder {
 public:
  explicit RequestBuilder(FileTextConversion toFileText) : toFileText_(toFileText) {}

  void Take(ArgumentReader& reader) {
    const std::string name = ArgumentReader::OptionName(reader.Peek());
    if (name.empty()) {
      problems_.push_back("unexpected argument '" + reader.Peek() +
                          "' (options start with --; quote a value that holds blanks)");
      reader.Skip();
      return;
    }
    if (name == "help") {
      reader.Read(false);
      helpAsked_ = true;
      return;
    }
    const bool isFlag = name == "replace";
    Option option = reader.Read(!isFlag);
    if (!IsKnownOption(option.name)) {
      problems_.push_back("unknown option --" + option.name + " (--help lists them)");
      return;
    }
    if (!seen_.insert(option.name).second) {
      problems_.push_back("--" + option.name + " is given more than once");
      return;
    }
    if (isFlag) {
      if (option.value) problems_.push_back("--replace takes no value");
      request_.replace = true;
      return;
    }
    if (!option.value) {
      problems_.push_back("--" + option.name + " needs a value (--" + option.name +
                          "=VALUE for one that starts with --)");
      return;
    }
    TakeValue(option.name, *option.value);
  }

  ParsedArguments Finish() {
    if (!helpAsked_) CheckRequiredOptions();
    ParsedArguments parsed;
    parsed.helpAsked = helpAsked_;
    parsed.problems = std::move(problems_);
    if (!helpAsked_ && parsed.problems.empty()) parsed.request = std::move(request_);
    return parsed;
  }

 private:
  void TakeValue(const std::string& option, const std::string& value) {
    if (option == "name") {
      request_.name = value;
      if (std::string problem = NameProblem(value); !problem.empty()) {
        problems_.push_back(problem);
      } else if (!toFileText_(value)) {
        // The program finds its package through its own file name in that code page.
        problems_.push_back(CodePageProblem(option));
      }
    } else if (option == "movie") {
      request_.movie = PathOption(option, value);
    } else if (option == "settings-picture") {
      request_.settingsPicture = PathOption(option, value);
    } else if (option == "settings-movie") {
      request_.settingsMovie = PathOption(option, value);
    } else if (option == "program") {
      request_.program = PathOption(option, value);
    } else if (option == "out") {
      request_.outFolder = PathOption(option, value);
    } else if (const ConfigurationFileLine* line = LineNamed(option)) {
      TakeConfigurationValue(*line, value);
    }
  }

  static std::string CodePageProblem(const std::string& option) {
    return "--" + option + " has characters the system's code page cannot hold";
  }

  std::filesystem::path PathOption(const std::string& option, const std::string& value) {
    if (value.empty()) problems_.push_back("--" + option + " names no file");
    return PathFromText(value);
  }

  void TakeConfigurationValue(const ConfigurationFileLine& line, const std::string& value) {
    if (std::string problem = ValueProblem(line, value); !problem.empty()) {
      problems_.push_back(problem);
      return;
    }
    std::optional<std::string> fileText = toFileText_(value);
    if (!fileText) {
      problems_.push_back(CodePageProblem(std::string(line.name)));
      return;
    }
    request_.values.*line.field = std::move(*fileText);
  }

  void CheckRequiredOptions() {
    if (seen_.count("name") == 0) problems_.push_back("--name is missing: the saver needs a name");
    if (seen_.count("movie") == 0) problems_.push_back("--movie is missing: the saver needs a movie");
    const bool picture = seen_.count("settings-picture") != 0;
    const bool movie = seen_.count("settings-movie") != 0;
    if (picture && movie) {
      problems_.push_back("give --settings-picture or --settings-movie, not both: the picture would hide the movie");
    } else if (!picture && !movie) {
      problems_.push_back("--settings-picture or --settings-movie is missing: the settings dialog shows one of them");
    }
  }

  FileTextConversion toFileText_;
  SaverRequest request_;
  std::set<std::string> seen_;
  std::vector<std::string> problems_;
  bool helpAsked_ = false;
};

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& arguments, FileTextConversion toFileText) {
  ArgumentReader reader(arguments);
  RequestBuilder builder(toFileText);
  while (!reader.AtEnd()) builder.Take(reader);
  return builder.Finish();
}

std::filesystem::path PathFromText(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string TextOfPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string NameProblem(std::string_view name) {
  const std::string quoted = "the saver name '" + std::string(name) + "'";
  if (name.empty()) return "the saver name is empty";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
      return quoted + " contains a character Windows does not allow in file names (<>:\"/\\|?* or a control character)";
    }
  }
  if (name.back() == ' ' || name.back() == '.') return quoted + " ends in a blank or a dot, which Windows drops";
  if (Contains(kDeviceNames, UpperCase(name.substr(0, name.find('.'))))) {
    return quoted + " is a name Windows keeps for a device";
  }
  return {};
}

std::string ValueProblem(const ConfigurationFileLine& line, std::string_view value) {
  const std::string option = "--" + std::string(line.name);
  if (value.find_first_of("\r\n\x1A") != std::string_view::npos) {
    return option + " contains a line end or Ctrl-Z, which would break the configuration file's lines";
  }
  if (Contains(kSwitchLines, line.name) && value != "0" && value != "1") {
    return option + " is a switch: \"0\" or \"1\", not \"" + std::string(value) + "\"";
  }
  if (Contains(kNumberLines, line.name)) {
    const std::optional<std::int32_t> number = ParseIntegerText(value);
    if (!number || *number <= 0) return option + " must be a screen size in pixels, not \"" + std::string(value) + "\"";
  }
  if (line.name == "DefaultScaleMode" && !Contains(kScaleModes, value)) {
    return option + " must be showall, exactfit or noscale, not \"" + std::string(value) + "\"";
  }
  return {};
}

std::string ConfigurationFileText(const SaverConfiguration& values) {
  constexpr std::string_view kLineEnd = "\r\n";
  std::string text = "3";
  text += kLineEnd;
  for (std::uint32_t number = 2; number <= kLastConfigurationLine; ++number) {
    for (const ConfigurationFileLine& line : kConfigurationFileLines) {
      if (line.number == number) text += values.*line.field;
    }
    text += kLineEnd;
  }
  return text;
}

std::string UsageText() {
  std::string text =
      "Usage: MakeSaver --name NAME --movie MOVIE.swf (--settings-picture PICTURE.bmp | --settings-movie "
      "SETTINGS.swf)\n"
      "                 [--program Template.scr] [--out FOLDER] [--replace] [--<Line> TEXT]...\n"
      "\n"
      "Makes the saver NAME: FOLDER\\NAME.scr (a copy of the program), NAME.c1 (the configuration),\n"
      "NAME.swf (the movie) and NAME.bmp or NAME.c2 (the settings picture or settings movie).\n"
      "  --program   the program to copy (default: Template.scr beside MakeSaver)\n"
      "  --out       the folder to write into (default: the current folder; made when missing)\n"
      "  --replace   replace the saver of that name that is there (its NAME.scr)\n"
      "An input that already is the package's file is used in place. Exit code 0: written;\n"
      "1: a file could not be read or written (nothing of the new saver is left); 2: refused.\n"
      "\n"
      "MakeSaver --player-version FILE prints a player library's file version (install.cmd uses it);\n"
      "exit code 3 for the builds 32.0.0.387 to 32.0.0.465, which refuse to play since 12 January 2021.\n"
      "\n"
      "Configuration lines (option, line, default):\n";
  const SaverConfiguration defaults;
  constexpr std::size_t kNameColumn = 25;
  constexpr std::size_t kNumberColumn = 2;
  for (const ConfigurationFileLine& line : kConfigurationFileLines) {
    // Line numbers right-aligned, so that the defaults stand in one column.
    const std::string number = std::to_string(line.number);
    text += "  --" + std::string(line.name) +
            std::string(kNameColumn - std::min(kNameColumn - 1, line.name.size()), ' ') +
            std::string(kNumberColumn - number.size(), ' ') + number + "  \"" + defaults.*line.field + "\"\n";
  }
  return text;
}

}  // namespace tpl::maker
