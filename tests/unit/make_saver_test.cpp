#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "make_saver/package_writer.h"
#include "make_saver/saver_request.h"
#include "saver_configuration_fields.h"

namespace tpl::maker {
namespace {
namespace fs = std::filesystem;

std::optional<std::string> AsGiven(const std::string& text) { return text; }

// A complete, valid command line, to which each case adds or replaces options.
std::vector<std::string> Arguments(std::vector<std::string> extra, bool settingsMovie = false) {
  std::vector<std::string> arguments = {"--name", "Aquarium", "--movie", "a.swf", "--program", "Template.scr"};
  if (!settingsMovie) arguments.insert(arguments.end(), {"--settings-picture", "a.bmp"});
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

TEST(MakeSaverArguments, RefuseWhatWouldMakeABrokenPackage) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    const char* message;  // a part of the one message expected
  };
  const Case cases[] = {
      {"no name", {"--movie", "a.swf", "--settings-picture", "a.bmp"}, "--name is missing"},
      {"no movie", {"--name", "A", "--settings-picture", "a.bmp"}, "--movie is missing"},
      {"no settings file", {"--name", "A", "--movie", "a.swf"}, "--settings-picture or --settings-movie is missing"},
      {"both settings files", Arguments({"--settings-movie", "b.swf"}), "not both"},
      {"unknown option", Arguments({"--SaverTitel", "x"}), "unknown option --SaverTitel"},
      {"option given twice", Arguments({"--SaverTitle", "x", "--SaverTitle=y"}), "more than once"},
      {"value missing at the end", Arguments({"--SaverTitle"}), "--SaverTitle needs a value"},
      {"value missing before an option", Arguments({"--CloseCaption", "--replace"}), "--CloseCaption needs a value"},
      {"stray argument", Arguments({"Aquarium"}), "unexpected argument"},
      {"line feed in a text", Arguments({"--SaverTitle", "Aqua\nrium"}), "line end"},
      {"carriage return in a text", Arguments({"--OkCaption=O\rK"}), "line end"},
      {"Ctrl-Z in a text", Arguments({"--PasswordPrompt", "\x1APass"}), "Ctrl-Z"},
      {"switch other than 0 or 1", Arguments({"--LoopMovie", "yes"}), "switch"},
      {"switch with a blank", Arguments({"--MouseQuitDefault", "1 "}), "switch"},
      {"width that is no number", Arguments({"--ResChangeDefault", "800x600"}), "screen size"},
      {"width with a trailing blank", Arguments({"--ResChangeDefault", "800 "}), "screen size"},
      {"height of zero", Arguments({"--ResChangeHeightDefault", "0"}), "screen size"},
      {"scale mode in capitals", Arguments({"--DefaultScaleMode", "NoScale"}), "showall, exactfit or noscale"},
      {"empty movie path", {"--name", "A", "--movie=", "--settings-picture", "a.bmp"}, "names no file"},
      {"--replace with a value", Arguments({"--replace=yes"}), "takes no value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ParsedArguments parsed = ParseArguments(c.arguments, AsGiven);
    EXPECT_FALSE(parsed.request.has_value());
    ASSERT_EQ(parsed.problems.size(), 1U) << (parsed.problems.empty() ? "" : parsed.problems.front());
    EXPECT_NE(parsed.problems.front().find(c.message), std::string::npos) << parsed.problems.front();
  }
}

TEST(MakeSaverArguments, TakeValuesTheProgramReadsCorrectly) {
  const ParsedArguments parsed =
      ParseArguments(Arguments({"--SaverTitle", " Aquarium  ", "--CloseCaption=", "--ResChangeDefault", "$320",
                                "--ResChangeHeightDefault=  240", "--DefaultScaleMode", "noscale", "--LoopMovie", "0",
                                "--replace", "--PlayerMissingNotice=a=b", "--out", "savers", "--settings-movie",
                                "s.swf"},
                               /*settingsMovie=*/true),
                     AsGiven);
  ASSERT_TRUE(parsed.request.has_value()) << (parsed.problems.empty() ? "" : parsed.problems.front());
  const SaverRequest& request = *parsed.request;
  EXPECT_EQ(request.values.SaverTitle, " Aquarium  ");  // blanks are the author's
  EXPECT_EQ(request.values.CloseCaption, "");
  EXPECT_EQ(request.values.ResChangeDefault, "$320");
  EXPECT_EQ(request.values.ResChangeHeightDefault, "  240");
  EXPECT_EQ(request.values.DefaultScaleMode, "noscale");
  EXPECT_EQ(request.values.PlayerMissingNotice, "a=b");
  EXPECT_EQ(request.values.OkCaption, "OK");  // no option: the default
  EXPECT_TRUE(request.replace);
  EXPECT_EQ(request.outFolder, fs::path("savers"));
  EXPECT_EQ(request.settingsMovie, fs::path("s.swf"));
  EXPECT_TRUE(request.settingsPicture.empty());
}

TEST(MakeSaverArguments, RefuseTextsTheCodePageCannotHold) {
  const auto asciiOnly = [](const std::string& text) -> std::optional<std::string> {
    for (const char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    }
    return text;
  };
  const ParsedArguments parsed = ParseArguments(Arguments({"--SaverTitle", "Akvárium"}), asciiOnly);
  ASSERT_EQ(parsed.problems.size(), 1U);
  EXPECT_NE(parsed.problems.front().find("code page"), std::string::npos);
}

TEST(MakeSaverName, OnlyNamesWindowsKeepsAsTheyStand) {
  const std::pair<const char*, bool> cases[] = {
      {"Aquarium", true},  {"My saver 2", true}, {"a.b", true},     {"CONSOLE", true},  {"COM10", true},
      {"", false},         {"a/b", false},       {"a\\b", false},   {"a:b", false},     {"a*", false},
      {"a?", false},       {"\"a\"", false},     {"a<b>", false},   {"a|b", false},     {"tab\there", false},
      {"dot.", false},     {"blank ", false},    {"CON", false},    {"con.scr", false}, {"Lpt1", false},
      {"nul.a.b", false},
  };
  for (const auto& [name, valid] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(NameProblem(name).empty(), valid) << NameProblem(name);
  }
}

TEST(MakeSaverConfiguration, EveryValueReadsBackAsGiven) {
  SaverConfiguration values;
  for (const ConfigurationFileLine& line : kConfigurationFileLines) {
    values.*line.field = "value of line " + std::to_string(line.number);
  }
  const std::string text = ConfigurationFileText(values);
  EXPECT_EQ(text.rfind("3\r\n\r\n\r\nvalue of line 4\r\n", 0), 0U);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 31);

  const SaverConfiguration read = ParseSaverConfiguration(text);
  for (const test::ConfigurationField& field : test::kConfigurationFields) {
    SCOPED_TRACE(field.name);
    const std::string expected =
        field.line == test::kFixedValue ? field.defaultValue : "value of line " + std::to_string(field.line);
    EXPECT_EQ(read.*field.member, expected);
  }
  const SaverConfiguration defaults;
  const SaverConfiguration readDefaults = ParseSaverConfiguration(ConfigurationFileText(defaults));
  for (const test::ConfigurationField& field : test::kConfigurationFields) {
    EXPECT_EQ(readDefaults.*field.member, field.defaultValue) << field.name;
  }
}

// A scratch folder with the inputs of a package: program, movie, picture.
class PackageWriterTest : public testing::Test {
 public:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("make_saver_" + std::to_string(::getpid()) + "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "in");
    fs::create_directories(root_ / "out");
    Write("in/Template.scr", "MZ program");
    Write("in/a.swf", "FWS movie");
    Write("in/b.swf", "CWS settings movie");
    Write("in/a.bmp", "BM picture");
  }
  void TearDown() override { fs::remove_all(root_); }

  void Write(const std::string& relative, const std::string& contents) {
    std::ofstream(root_ / relative, std::ios::binary) << contents;
  }

  [[nodiscard]] std::string Read(const std::string& relative) const {
    std::ifstream file(root_ / relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  [[nodiscard]] std::set<std::string> OutFolder() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_ / "out")) names.insert(entry.path().filename().string());
    return names;
  }

  [[nodiscard]] SaverRequest Request() const {
    SaverRequest request;
    request.name = "Aquarium";
    request.program = root_ / "in/Template.scr";
    request.movie = root_ / "in/a.swf";
    request.settingsPicture = root_ / "in/a.bmp";
    request.outFolder = root_ / "out";
    request.values.SaverTitle = "Aquarium";
    return request;
  }

  fs::path root_;
};

TEST_F(PackageWriterTest, WritesThePackageBesideTheProgramCopy) {
  const PackageResult result = WriteSaverPackage(Request());
  ASSERT_EQ(result.outcome, Outcome::Written) << (result.problems.empty() ? "" : result.problems.front());
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.scr", "Aquarium.c1", "Aquarium.swf", "Aquarium.bmp"}));
  EXPECT_EQ(Read("out/Aquarium.scr"), "MZ program");
  EXPECT_EQ(Read("out/Aquarium.swf"), "FWS movie");
  EXPECT_EQ(Read("out/Aquarium.bmp"), "BM picture");
  EXPECT_EQ(ParseSaverConfiguration(Read("out/Aquarium.c1")).SaverTitle, "Aquarium");
  EXPECT_EQ(result.written.size(), 4U);
}

TEST_F(PackageWriterTest, RefusedInputLeavesTheFolderAsItWas) {
  struct Case {
    const char* what;
    void (*change)(SaverRequest&, PackageWriterTest&);
    const char* message;
  };
  const Case cases[] = {
      {"missing movie", [](SaverRequest& r, PackageWriterTest&) { r.movie = r.movie.parent_path() / "none.swf"; },
       "does not exist"},
      {"movie that is a folder", [](SaverRequest& r, PackageWriterTest&) { r.movie = r.movie.parent_path(); },
       "is not a file"},
      {"movie that is no movie", [](SaverRequest& r, PackageWriterTest&) { r.movie = r.settingsPicture; },
       "not a Flash movie"},
      {"picture that is no bitmap", [](SaverRequest& r, PackageWriterTest&) { r.settingsPicture = r.movie; },
       "not a Windows bitmap"},
      {"settings movie that is no movie",
       [](SaverRequest& r, PackageWriterTest&) {
         r.settingsMovie = r.settingsPicture;
         r.settingsPicture.clear();
       },
       "not a Flash movie"},
      {"program that is no program", [](SaverRequest& r, PackageWriterTest&) { r.program = r.movie; },
       "not a Windows program"},
      {"missing out folder", [](SaverRequest& r, PackageWriterTest&) { r.outFolder /= "none"; }, "does not exist"},
      {"saver already there",
       [](SaverRequest&, PackageWriterTest& t) { t.Write("out/Aquarium.c2", "CWS old"); }, "already there"},
      {"folder in the way, also with --replace",
       [](SaverRequest& r, PackageWriterTest& t) {
         fs::create_directory(t.root_ / "out/Aquarium.swf");
         r.replace = true;
       },
       "is not a file"},
      {"path too long for Windows", [](SaverRequest& r, PackageWriterTest&) { r.name = std::string(250, 'a'); },
       "too long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_ / "out");
    fs::create_directory(root_ / "out");
    SaverRequest request = Request();
    c.change(request, *this);
    const std::set<std::string> before = fs::exists(request.outFolder) ? OutFolder() : std::set<std::string>{};
    const PackageResult result = WriteSaverPackage(request);
    EXPECT_EQ(result.outcome, Outcome::Refused);
    ASSERT_FALSE(result.problems.empty());
    EXPECT_NE(result.problems.front().find(c.message), std::string::npos) << result.problems.front();
    if (fs::exists(request.outFolder)) {
      EXPECT_EQ(OutFolder(), before);
    }
  }
}

TEST_F(PackageWriterTest, ReplacingRemovesTheOldSettingsFileOfTheOtherKind) {
  ASSERT_EQ(WriteSaverPackage(Request()).outcome, Outcome::Written);
  SaverRequest request = Request();
  request.settingsPicture.clear();
  request.settingsMovie = root_ / "in/b.swf";
  request.replace = true;
  ASSERT_EQ(WriteSaverPackage(request).outcome, Outcome::Written);
  // A picture left behind would be shown instead of the new settings movie.
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.scr", "Aquarium.c1", "Aquarium.swf", "Aquarium.c2"}));
  EXPECT_EQ(Read("out/Aquarium.c2"), "CWS settings movie");
}

TEST_F(PackageWriterTest, AFailedWriteLeavesTheOldPackageWhole) {
  ASSERT_EQ(WriteSaverPackage(Request()).outcome, Outcome::Written);
  const std::set<std::string> before = OutFolder();
  // A non-empty folder where the new settings movie is staged makes its copy fail
  // after the program, configuration and movie are already staged.
  fs::create_directories(root_ / "out/Aquarium.c2.partial/x");
  SaverRequest request = Request();
  request.settingsPicture.clear();
  request.settingsMovie = root_ / "in/b.swf";
  request.replace = true;
  request.values.SaverTitle = "New";
  const PackageResult result = WriteSaverPackage(request);
  EXPECT_EQ(result.outcome, Outcome::Failed);
  fs::remove_all(root_ / "out/Aquarium.c2.partial");
  EXPECT_EQ(OutFolder(), before);
  EXPECT_EQ(ParseSaverConfiguration(Read("out/Aquarium.c1")).SaverTitle, "Aquarium");
  EXPECT_EQ(Read("out/Aquarium.bmp"), "BM picture");
}

}  // namespace
}  // namespace tpl::maker
