#include "app/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tpl {

// Lets failures name the mode instead of printing its number.
void PrintTo(StartupMode mode, std::ostream* os) {
  switch (mode) {
    case StartupMode::Preview: *os << "Preview"; return;
    case StartupMode::Password: *os << "Password"; return;
    case StartupMode::Settings: *os << "Settings"; return;
    case StartupMode::Saver: *os << "Saver"; return;
    case StartupMode::None: *os << "None"; return;
  }
  *os << "StartupMode(" << static_cast<int>(mode) << ")";
}

namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, SeparatesArgumentsAndResolvesQuotes) {
  struct Case {
    std::string_view line;
    Arguments arguments;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"saver.scr", {"saver.scr"}},
      {"saver.scr /s", {"saver.scr", "/s"}},
      {"  saver.scr   /p   123  ", {"saver.scr", "/p", "123"}},
      // Every character up to the blank separates, tabs and other control bytes too.
      {"saver.scr\t/s\t\t1", {"saver.scr", "/s", "1"}},
      {"saver.scr\x01/s\x1F\r\n2", {"saver.scr", "/s", "2"}},
      // 8-bit characters are ordinary ones, even the code page's no-break space.
      {"saver.scr \xA0x \xFF", {"saver.scr", "\xA0x", "\xFF"}},
      {"\"C:\\Program Files\\My Saver.scr\" /s", {"C:\\Program Files\\My Saver.scr", "/s"}},
      {"saver.scr \"a b\" c", {"saver.scr", "a b", "c"}},
      {"saver.scr a\"b c\"d", {"saver.scr", "ab cd"}},
      {"saver.scr \"a\"\"b\"", {"saver.scr", "ab"}},
      {"saver.scr a\"\"b", {"saver.scr", "ab"}},
      {"saver.scr \"\t\"", {"saver.scr", "\t"}},
      // Empty quote pairs in front of an argument are skipped, not taken as an empty argument.
      {"saver.scr \"\" /s", {"saver.scr", "/s"}},
      {"saver.scr \"\"/s", {"saver.scr", "/s"}},
      {"saver.scr \"\"\"\" \"\" /s", {"saver.scr", "/s"}},
      {"saver.scr \"\"", {"saver.scr"}},
      {"saver.scr \"\"\" x\"", {"saver.scr", " x"}},
      // A quote that is never closed runs to the end; a lone one is an empty argument.
      {"saver.scr \"unclosed arg", {"saver.scr", "unclosed arg"}},
      {"saver.scr \"", {"saver.scr", ""}},
      {"saver.scr \" ", {"saver.scr", " "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
    EXPECT_EQ(SplitCommandLine(c.line), c.arguments);
  }
}

TEST(LowerAscii, ChangesOnlyTheCapitalLettersAToZ) {
  constexpr std::string_view kCapitals = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  constexpr std::string_view kSmall = "abcdefghijklmnopqrstuvwxyz";
  std::string allBytes;
  for (int b = 0; b < 256; ++b) allBytes.push_back(static_cast<char>(b));
  const std::string lowered = LowerAscii(allBytes);
  ASSERT_EQ(lowered.size(), allBytes.size());
  for (std::size_t i = 0; i < allBytes.size(); ++i) {
    SCOPED_TRACE(i);
    const std::size_t capital = kCapitals.find(allBytes[i]);
    EXPECT_EQ(lowered[i], capital == std::string_view::npos ? allBytes[i] : kSmall[capital]);
  }
  EXPECT_EQ(LowerAscii(""), "");
}

// Argument 1 of the whole command line, lower-cased, selects the mode; the
// compile request is looked at before the mode.
TEST(StartupMode, ArgumentOneSelectsTheMode) {
  struct Case {
    std::string_view line;
    StartupMode mode;
    bool compileRequest;
  };
  const Case cases[] = {
      {"saver.scr", StartupMode::Settings, false},
      {"saver.scr \"\"", StartupMode::Settings, false},
      {"saver.scr \"", StartupMode::Settings, false},  // an empty argument 1
      {"saver.scr /s", StartupMode::Saver, false},
      {"saver.scr /S", StartupMode::Saver, false},
      {"saver.scr -s", StartupMode::Saver, false},
      {"saver.scr -S", StartupMode::Saver, false},
      {"saver.scr s", StartupMode::Saver, false},
      {"saver.scr S", StartupMode::Saver, false},
      {"saver.scr /saver", StartupMode::Saver, false},
      {"saver.scr Sx 12", StartupMode::Saver, false},
      {"saver.scr /c", StartupMode::Settings, false},
      {"saver.scr /C", StartupMode::Settings, false},
      {"saver.scr -c", StartupMode::Settings, false},
      {"saver.scr c", StartupMode::Settings, false},
      {"saver.scr /c:4711", StartupMode::Settings, false},
      {"saver.scr /C:4711", StartupMode::Settings, false},
      {"saver.scr Config", StartupMode::Settings, false},
      {"saver.scr /p 123", StartupMode::Preview, false},
      {"saver.scr /P:123", StartupMode::Preview, false},
      {"saver.scr -p 123", StartupMode::Preview, false},
      {"saver.scr p", StartupMode::Preview, false},
      {"saver.scr P", StartupMode::Preview, false},
      {"saver.scr /a 4711", StartupMode::Password, false},
      {"saver.scr /A", StartupMode::Password, false},
      {"saver.scr -a", StartupMode::Password, false},
      {"saver.scr a", StartupMode::Password, false},
      {"saver.scr x", StartupMode::None, false},
      {"saver.scr /q", StartupMode::None, false},
      {"saver.scr /", StartupMode::None, false},
      {"saver.scr -", StartupMode::None, false},
      {"saver.scr --s", StartupMode::None, false},
      {"saver.scr //s", StartupMode::None, false},
      {"saver.scr \\s", StartupMode::None, false},
      {"saver.scr \" /s\"", StartupMode::None, false},  // the blank is part of the argument
      {"saver.scr \xD3", StartupMode::None, false},     // 8-bit letters are not lower-cased
      {"saver.scr x /s", StartupMode::None, false},     // only argument 1 counts
      {"saver.scr -compile", StartupMode::Settings, true},
      {"saver.scr -COMPILE", StartupMode::Settings, true},
      {"saver.scr -Compile x", StartupMode::Settings, true},
      {"saver.scr -compilexyz", StartupMode::Settings, true},
      {"saver.scr -COMPILE/s", StartupMode::Settings, true},
      {"saver.scr \"-compile now\"", StartupMode::Settings, true},
      {"saver.scr -compil", StartupMode::Settings, false},
      {"saver.scr -comp ile", StartupMode::Settings, false},
      {"saver.scr compile", StartupMode::Settings, false},
      {"saver.scr /compile", StartupMode::Settings, false},
      {"saver.scr --compile", StartupMode::None, false},
      {"saver.scr x -compile", StartupMode::None, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
    const StartupArguments arguments = ReadStartupArguments(c.line);
    EXPECT_EQ(ClassifyMode(arguments.modeArgument), c.mode);
    EXPECT_EQ(IsCompileRequest(arguments.modeArgument), c.compileRequest);
  }
}

TEST(StartupArguments, ModeIsLowerCasedAndHandleKeptAsWritten) {
  struct Case {
    std::string_view line;
    std::string_view modeArgument;
    std::string_view previewHandleText;
  };
  const Case cases[] = {
      {"", "", ""},
      {"saver.scr", "", ""},
      {"SAVER.SCR", "", ""},
      {"saver.scr /P", "/p", ""},
      {"saver.scr /P 0xAbC", "/p", "0xAbC"},
      {"saver.scr /p:123", "/p:123", ""},
      {"saver.scr /S:X Y Z", "/s:x", "Y"},
      {"saver.scr \"/P\" \"12 34\"", "/p", "12 34"},
      {"saver.scr /P \"\" 55", "/p", "55"},
      {"saver.scr /\xC9X", "/\xC9x", ""},
      {"\"C:\\A B\\SAVER.SCR\" /C:4711", "/c:4711", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
    const StartupArguments arguments = ReadStartupArguments(c.line);
    EXPECT_EQ(arguments.modeArgument, c.modeArgument);
    EXPECT_EQ(arguments.previewHandleText, c.previewHandleText);
  }
}

}  // namespace
}  // namespace tpl
