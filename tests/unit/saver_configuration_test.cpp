#include "package/saver_configuration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "saver_configuration_fields.h"

namespace tpl {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
using test::ConfigurationField;
using test::FirstDifference;
using test::kConfigurationFields;
using test::kFixedValue;

constexpr int kLastNumberedLine = 31;

// A text that appears on no other line, so a value shows which line it came from.
std::string LineText(int line) { return "text of line " + std::to_string(line); }

// Line 1 holds the format version, every later line its own distinct text.
std::string NumberedFile(std::string_view versionLine, int lineCount, std::string_view lineEnd = "\n") {
  std::string file(versionLine);
  file += lineEnd;
  for (int line = 2; line <= lineCount; ++line) {
    file += LineText(line);
    file += lineEnd;
  }
  return file;
}

struct ChunkedResult {
  SaverConfiguration configuration;
  std::int32_t formatVersion;
};

// Feeds the pieces between the given offsets one after the other, going on even
// after the reader has said it takes nothing more.
ChunkedResult ParseInPieces(std::string_view file, const std::vector<std::size_t>& cuts) {
  ChunkedResult result{};
  SaverConfigurationReader reader(result.configuration);
  std::size_t begin = 0;
  for (std::size_t cut : cuts) {
    reader.Feed(file.substr(begin, cut - begin));
    begin = cut;
  }
  reader.Feed(file.substr(begin));
  reader.Finish();
  result.formatVersion = reader.FormatVersion();
  return result;
}

void ExpectSameConfiguration(const SaverConfiguration& actual, const SaverConfiguration& expected) {
  if (const ConfigurationField* difference = FirstDifference(actual, expected)) {
    ADD_FAILURE() << "first difference in " << difference->name << ": "
                  << testing::PrintToString(actual.*difference->member) << " instead of "
                  << testing::PrintToString(expected.*difference->member);
  }
}

TEST(SaverConfigurationFields, TableNamesEveryFieldOnceAndEveryValueLineOnce) {
  std::set<int> lines;
  for (std::size_t i = 0; i < kConfigurationFields.size(); ++i) {
    const ConfigurationField& field = kConfigurationFields[i];
    SCOPED_TRACE(field.name);
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(kConfigurationFields[j].member, field.member);
    if (field.line != kFixedValue) {
      EXPECT_TRUE(lines.insert(field.line).second);
    }
  }
  const std::set<int> valueLines = {4,  5,  6,  7,  8,  9,  10, 12, 14, 15, 16, 17, 18,
                                    19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
  EXPECT_EQ(lines, valueLines);
}

TEST(SaverConfigurationDefaults, FileWithoutValuesKeepsEveryDefault) {
  const std::string_view files[] = {
      ""sv,      // empty file
      "\x1A"sv,  // end mark straight away
      "\x1A"
      "3\nx\nx\nvalue\n"sv,  // end mark before line 1 hides everything behind it
      "3"sv,                 // line 1 only, no line end
      "3\r\n"sv,
      "3\nline 2\nline 3\n"sv,  // ignored lines only
      "not a number\n\n\n"sv,
  };
  for (std::string_view file : files) {
    SCOPED_TRACE(testing::PrintToString(std::string(file)));
    const SaverConfiguration configuration = ParseSaverConfiguration(file);
    for (const ConfigurationField& field : kConfigurationFields) {
      EXPECT_EQ(configuration.*field.member, field.defaultValue) << field.name;
    }
  }
}

TEST(SaverConfigurationLines, VersionThreeFileFillsEveryFieldFromItsOwnLine) {
  for (std::string_view lineEnd : {"\n"sv, "\r\n"sv}) {
    SCOPED_TRACE(lineEnd.size() == 1 ? "LF" : "CR LF");
    const SaverConfiguration configuration = ParseSaverConfiguration(NumberedFile("3", 40, lineEnd));
    for (const ConfigurationField& field : kConfigurationFields) {
      const std::string expected = field.line == kFixedValue ? field.defaultValue : LineText(field.line);
      EXPECT_EQ(configuration.*field.member, expected) << field.name;
    }
  }
}

// Adding line n to a file of n-1 lines may change the field of line n and
// nothing else, and only when line n is read under that format version.
TEST(SaverConfigurationLines, AddingALineChangesAtMostItsOwnField) {
  struct Case {
    std::string_view versionLine;
    int lastReadLine;
  };
  const Case cases[] = {{"1", 5}, {"2", 24}, {"3", 40}, {"0", 40}, {"-7", 40}};
  for (const Case& c : cases) {
    for (int line = 2; line <= 40; ++line) {
      SCOPED_TRACE(testing::Message() << "version " << c.versionLine << ", line " << line);
      const SaverConfiguration before = ParseSaverConfiguration(NumberedFile(c.versionLine, line - 1));
      const SaverConfiguration after = ParseSaverConfiguration(NumberedFile(c.versionLine, line));
      for (const ConfigurationField& field : kConfigurationFields) {
        const bool takesEffect = field.line == line && line <= c.lastReadLine;
        EXPECT_EQ(after.*field.member, takesEffect ? LineText(line) : before.*field.member) << field.name;
      }
    }
  }
}

TEST(SaverConfigurationVersion, FirstLineDecidesWhereReadingStops) {
  struct Case {
    std::string_view versionLine;
    std::int32_t formatVersion;
    int lastReadLine;
  };
  const Case cases[] = {
      {"1", 1, 5},
      {"01", 1, 5},
      {"$1", 1, 5},
      {"", 1, 5},  // empty line 1: not an integer
      {"abc", 1, 5},
      {"2 ", 1, 5},  // a trailing blank makes the line invalid
      {"2\t", 1, 5},
      {"\t2", 1, 5},         // only blanks may lead
      {"2\x1A", 1, 5},       // an end mark inside a line is part of the text
      {"2147483648", 1, 5},  // out of range: invalid, not wrapped
      {"4294967298", 1, 5},
      {"$100000002", 1, 5},
      {"2", 2, 24},
      {"  2", 2, 24},
      {"+2", 2, 24},
      {"02", 2, 24},
      {"$2", 2, 24},
      {"0x2", 2, 24},
      {"0X02", 2, 24},
      {"2\r", 2, 24},  // with the LF after it: a CR LF line end
      {"\r2", 2, 24},  // a lone CR is dropped
      {"0", 0, 40},
      {"3", 3, 40},
      {"-1", -1, 40},
      {"-2", -2, 40},
      {"$FFFFFFFF", -1, 40},
      {"2147483647", 2147483647, 40},
      {"-2147483648", -2147483647 - 1, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.versionLine)));
    const std::string file = NumberedFile(c.versionLine, 40);
    SaverConfiguration configuration;
    SaverConfigurationReader reader(configuration);
    EXPECT_EQ(reader.Feed(file), c.lastReadLine == 40) << "Feed says whether it would take more";
    reader.Finish();
    EXPECT_EQ(reader.FormatVersion(), c.formatVersion);
    for (const ConfigurationField& field : kConfigurationFields) {
      const bool read = field.line != kFixedValue && field.line <= c.lastReadLine;
      EXPECT_EQ(configuration.*field.member, read ? LineText(field.line) : std::string(field.defaultValue))
          << field.name;
    }
  }
}

TEST(SaverConfigurationReader, TakesNothingOnceTheFileHasEnded) {
  struct Case {
    const char* name;
    std::string file;
    bool takesMore;
  };
  const Case cases[] = {
      {"version 1 stops after line 5", "1\n\n\nfour\nfive\n", false},
      {"version 1 without line end on line 5", "1\n\n\nfour\nfive", true},
      {"version 2 stops after line 24", NumberedFile("2", 24), false},
      {"version 3 reads to the end", NumberedFile("3", 40), true},
      {"end mark", "3\n\n\nfour\n\x1A", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SaverConfiguration configuration;
    SaverConfigurationReader reader(configuration);
    EXPECT_EQ(reader.Feed(c.file), c.takesMore);
    EXPECT_EQ(reader.Done(), !c.takesMore);
    if (c.takesMore) continue;
    const SaverConfiguration atEnd = configuration;
    // Whatever follows is not read, not even a line end completing a line.
    EXPECT_FALSE(reader.Feed("\nmore\nlines\nfor\nevery\nfield\n"));
    reader.Finish();
    ExpectSameConfiguration(configuration, atEnd);
  }
}

// Each file starts with format version 3 and two ignored lines; the expected
// values are those of lines 4 to 7 (no value: the default stays).
TEST(SaverConfigurationTextRules, LinesAreSplitAndKeptAsWritten) {
  using Expected = std::optional<std::string_view>;
  struct Case {
    const char* name;
    std::string file;
    Expected line4, line5, line6, line7;
  };
  const std::string head = "3\nx\nx\n";
  const Case cases[] = {
      {"LF ends lines", head + "A\nB\nC\nD\n", "A", "B", "C", "D"},
      {"CR LF ends lines", "3\r\nx\r\nx\r\nA\r\nB\r\nC\r\nD\r\n", "A", "B", "C", "D"},
      {"mixed line ends", head + "A\r\nB\nC\r\nD", "A", "B", "C", "D"},
      {"last line needs no end", head + "A\nB", "A", "B", {}, {}},
      {"final LF starts no new line", head + "A\n", "A", {}, {}, {}},
      {"lone CR inside a line is dropped", head + "A\rB\nC\r\rD\n", "AB", "CD", {}, {}},
      {"lone CR at a line start is dropped", head + "A\n\rB\n", "A", "B", {}, {}},
      {"CR before CR LF", head + "A\r\r\nB", "A", "B", {}, {}},
      {"CR at the end of the file", head + "A\nB\r", "A", "B", {}, {}},
      {"lone CR as the last line", head + "A\n\r", "A", "", {}, {}},
      {"empty line between CR LF", head + "A\n\r\nB", "A", "", "B", {}},
      {"empty lines give empty values", head + "\n\nC\n", "", "", "C", {}},
      {"blanks are kept", head + "  A  \n\tB\t\n \n", "  A  ", "\tB\t", " ", {}},
      {"end mark at a line start",
       head + "A\n\x1A"
              "B\nC\n",
       "A",
       {},
       {},
       {}},
      {"end mark after CR LF", "3\r\nx\r\nx\r\nA\r\n\x1A\r\nB\r\n", "A", {}, {}, {}},
      {"end mark on an ignored line", "3\n\x1A\nx\nA\n", {}, {}, {}, {}},
      {"end mark inside a line is kept",
       head + "A\x1A"
              "B\nC\x1A\n\x1A\n",
       "A\x1A"
       "B",
       "C\x1A",
       {},
       {}},
      {"NUL and 8-bit bytes are kept", head + "A\0B\n\xE9\xFF\x80\n"s, "A\0B"sv, "\xE9\xFF\x80", {}, {}},
      {"other control bytes are kept", head + "\f\v\x01\x7F\n", "\f\v\x01\x7F", {}, {}, {}},
  };
  const std::string SaverConfiguration::*const members[] = {
      &SaverConfiguration::SettingsCaption, &SaverConfiguration::CloseCaption,
      &SaverConfiguration::PasswordDialogCaption, &SaverConfiguration::OkCaption};
  const SaverConfiguration defaults;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Expected expected[] = {c.line4, c.line5, c.line6, c.line7};
    auto check = [&](const SaverConfiguration& configuration) {
      for (std::size_t i = 0; i < 4; ++i) {
        const std::string want = expected[i] ? std::string(*expected[i]) : defaults.*members[i];
        EXPECT_EQ(configuration.*members[i], want) << "line " << i + 4;
      }
    };
    const SaverConfiguration whole = ParseSaverConfiguration(c.file);
    check(whole);
    // The same file in two and in three pieces, cut at every place, and byte by byte.
    for (std::size_t first = 0; first <= c.file.size(); ++first) {
      for (std::size_t second = first; second <= c.file.size(); ++second) {
        SCOPED_TRACE(testing::Message() << "cut at " << first << " and " << second);
        const ChunkedResult pieces = ParseInPieces(c.file, {first, second});
        ExpectSameConfiguration(pieces.configuration, whole);
      }
    }
    std::vector<std::size_t> everyByte(c.file.size());
    for (std::size_t i = 0; i < everyByte.size(); ++i) everyByte[i] = i;
    check(ParseInPieces(c.file, everyByte).configuration);
  }
}

TEST(SaverConfigurationReader, AnySplitOfANumberedFileGivesTheSameResult) {
  const std::string files[] = {
      NumberedFile("3", 40), NumberedFile("3", 40, "\r\n"), NumberedFile("1", 40, "\r\n"),
      NumberedFile("2", 40), NumberedFile("-1", 33, "\r"),  // lone CRs: one long line 1
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(testing::PrintToString(file.substr(0, 4)));
    SaverConfiguration whole;
    SaverConfigurationReader reader(whole);
    reader.Feed(file);
    reader.Finish();
    for (std::size_t cut = 0; cut <= file.size(); ++cut) {
      SCOPED_TRACE(cut);
      const ChunkedResult pieces = ParseInPieces(file, {cut});
      ExpectSameConfiguration(pieces.configuration, whole);
      EXPECT_EQ(pieces.formatVersion, reader.FormatVersion());
    }
  }
}

TEST(SaverConfigurationLongLines, LinesOfManyMegabytesAreReadWhole) {
  constexpr std::size_t kMiB = 1024 * 1024;
  std::string longValue(20 * kMiB, '\0');
  for (std::size_t i = 0; i < longValue.size(); ++i) {
    // Every byte value except CR and LF, in an order that does not repeat every 256 bytes.
    char c = static_cast<char>((i * 7 + i / 1000) % 256);
    if (c == '\r' || c == '\n') c = 'x';
    longValue[i] = c;
  }
  const std::string file = std::string(kMiB, ' ') + "3\r\n"       // line 1: a version after many blanks
                           + std::string(5 * kMiB, 'y') + "\r\n"  // line 2, ignored
                           + "\r\n" + longValue + "\r\n"          // lines 3 and 4
                           + "after\r\n" + std::string(5, '\n')   // lines 5 to 10
                           + std::string(3 * kMiB, 'z') + "\n"    // line 11, ignored
                           + "fit";                               // line 12
  const std::size_t chunkSizes[] = {file.size(), 65536, 4093};
  for (std::size_t chunkSize : chunkSizes) {
    SCOPED_TRACE(chunkSize);
    SaverConfiguration configuration;
    SaverConfigurationReader reader(configuration);
    for (std::size_t offset = 0; offset < file.size(); offset += chunkSize) {
      reader.Feed(std::string_view(file).substr(offset, chunkSize));
    }
    reader.Finish();
    EXPECT_EQ(reader.FormatVersion(), 3);
    EXPECT_EQ(configuration.SettingsCaption.size(), longValue.size());
    EXPECT_TRUE(configuration.SettingsCaption == longValue);
    EXPECT_EQ(configuration.CloseCaption, "after");
    EXPECT_EQ(configuration.PasswordPrompt, "");
    EXPECT_EQ(configuration.DefaultScaleMode, "fit");
    EXPECT_EQ(configuration.LoopMovie, "0");
  }
}

}  // namespace
}  // namespace tpl
