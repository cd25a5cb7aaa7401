#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "make_saver/input_checks.h"
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
      {"stray argument", Arguments({"Aquarium"}), "unexpected argument 'Aquarium'"},
      {"stray dash", Arguments({"-"}), "unexpected argument '-'"},
      {"stray question mark", Arguments({"?"}), "unexpected argument '?'"},
      {"stray slash", Arguments({"/"}), "unexpected argument '/'"},
      {"stray empty argument", Arguments({""}), "unexpected argument ''"},
      {"two dashes alone", Arguments({"--"}), "unexpected argument '--'"},
      {"misspelled flag at the end", Arguments({"--repalce"}), "unknown option --repalce"},
      {"misspelled flag before an option", Arguments({"--repalce", "--LoopMovie", "1"}), "unknown option --repalce"},
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
  const ParsedArguments parsed = ParseArguments(
      Arguments({"--SaverTitle", " Aquarium  ", "--CloseCaption=", "--ResChangeDefault", "$320",
                 "--ResChangeHeightDefault=  240", "--DefaultScaleMode", "noscale", "--LoopMovie", "0", "--replace",
                 "--PlayerMissingNotice=a=b", "--out", "savers", "--settings-movie", "s.swf"},
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
  // The program finds its package through its own name in that code page, so the name counts too.
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {Arguments({"--SaverTitle", "Akvárium"}), "--SaverTitle has characters the system's code page cannot hold"},
      {{"--name", "日本", "--movie", "a.swf", "--settings-picture", "a.bmp"},
       "--name has characters the system's code page cannot hold"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const ParsedArguments parsed = ParseArguments(arguments, asciiOnly);
    ASSERT_EQ(parsed.problems.size(), 1U);
    EXPECT_EQ(parsed.problems.front(), message);
  }
}

TEST(MakeSaverUsage, DefaultsStandInOneColumn) {
  std::istringstream text(UsageText());
  std::set<std::size_t> columns;
  for (std::string line; std::getline(text, line);) {
    if (line.rfind("  --", 0) == 0 && line.find(" \"") != std::string::npos) columns.insert(line.find(" \""));
  }
  EXPECT_EQ(columns.size(), 1U) << "the defaults start in " << columns.size() << " columns";
}

TEST(MakeSaverName, OnlyNamesWindowsKeepsAsTheyStand) {
  const std::pair<const char*, bool> cases[] = {
      {"Aquarium", true}, {"My saver 2", true}, {"a.b", true},   {"CONSOLE", true},  {"COM10", true},
      {"", false},        {"a/b", false},       {"a\\b", false}, {"a:b", false},     {"a*", false},
      {"a?", false},      {"\"a\"", false},     {"a<b>", false}, {"a|b", false},     {"tab\there", false},
      {"dot.", false},    {"blank ", false},    {"CON", false},  {"con.scr", false}, {"Lpt1", false},
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

void PutLittle(std::string& bytes, std::size_t offset, std::uint32_t value, std::size_t size) {
  if (bytes.size() < offset + size) bytes.resize(offset + size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// An uncompressed movie of `size` bytes whose header gives `length`.
std::string Movie(std::uint32_t size, std::uint32_t length, std::string_view signature = "FWS") {
  std::string movie(signature);
  movie += '\x06';
  PutLittle(movie, 4, length, 4);
  movie.resize(size, '\0');
  return movie;
}
std::string Movie(std::uint32_t size = 21) { return Movie(size, size); }

// A 24-bit bitmap of width x height pixels, cut to `size` bytes when given.
std::string Bitmap(std::int32_t width, std::int32_t height, std::optional<std::size_t> size = std::nullopt) {
  std::string bitmap = "BM";
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 24 + 31) / 32 * 4;
  const std::uint32_t total = 54 + rowBytes * static_cast<std::uint32_t>(height < 0 ? -height : height);
  PutLittle(bitmap, 2, total, 4);
  PutLittle(bitmap, 10, 54, 4);
  PutLittle(bitmap, 14, 40, 4);
  PutLittle(bitmap, 18, static_cast<std::uint32_t>(width), 4);
  PutLittle(bitmap, 22, static_cast<std::uint32_t>(height), 4);
  PutLittle(bitmap, 26, 1, 2);
  PutLittle(bitmap, 28, 24, 2);
  bitmap.resize(size.value_or(total), '\0');
  return bitmap;
}

// A 64-bit Windows image with one resource section holding the given resources
// (type, id, bytes), each type once.
struct Resource {
  std::uint32_t type;
  std::uint32_t id;
  std::string bytes;
};
std::string Image(const std::vector<Resource>& resources, bool library = false) {
  constexpr std::uint32_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 240, kRaw = 0x200;
  constexpr std::uint32_t kRva = 0x1000;
  std::string image = "MZ";
  PutLittle(image, 0x3C, kPe, 4);
  image.resize(kPe);
  image += std::string("PE\0\0", 4);
  PutLittle(image, kPe + 4, 0x8664, 2);
  PutLittle(image, kPe + 6, 1, 2);
  PutLittle(image, kPe + 20, 240, 2);
  PutLittle(image, kPe + 22, library ? 0x2022 : 0x0022, 2);
  PutLittle(image, kOptional, 0x20B, 2);
  PutLittle(image, kOptional + 108, 16, 4);
  // The tree: the root, then per resource a type, a name and a language level.
  const auto count = static_cast<std::uint32_t>(resources.size());
  const std::uint32_t root = 16 + 8 * count;
  std::string tree;
  PutLittle(tree, 14, count, 2);
  std::uint32_t data = root + 64 * count;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t block = root + 64 * i;
    PutLittle(tree, 16 + 8 * i, resources[i].type, 4);
    PutLittle(tree, 20 + 8 * i, block | 0x80000000U, 4);
    PutLittle(tree, block + 14, 1, 2);
    PutLittle(tree, block + 16, resources[i].id, 4);
    PutLittle(tree, block + 20, (block + 24) | 0x80000000U, 4);
    PutLittle(tree, block + 24 + 14, 1, 2);
    PutLittle(tree, block + 24 + 16, 0x409, 4);
    PutLittle(tree, block + 24 + 20, block + 48, 4);
    PutLittle(tree, block + 48, kRva + data, 4);
    PutLittle(tree, block + 52, static_cast<std::uint32_t>(resources[i].bytes.size()), 4);
    tree.resize(data);
    tree += resources[i].bytes;
    data = static_cast<std::uint32_t>((tree.size() + 3) / 4 * 4);
  }
  PutLittle(image, kOptional + 112 + 2 * 8, kRva, 4);
  PutLittle(image, kOptional + 112 + 2 * 8 + 4, static_cast<std::uint32_t>(tree.size()), 4);
  image.resize(kSections);
  image += ".rsrc";
  PutLittle(image, kSections + 8, static_cast<std::uint32_t>(tree.size()), 4);
  PutLittle(image, kSections + 12, kRva, 4);
  PutLittle(image, kSections + 16, static_cast<std::uint32_t>(tree.size()), 4);
  PutLittle(image, kSections + 20, kRaw, 4);
  image.resize(kRaw);
  return image + tree;
}

// A version resource: its root block's header and key, then the fixed part.
std::string VersionResource(std::uint32_t high, std::uint32_t low) {
  std::string version;
  PutLittle(version, 2, 52, 2);
  const std::u16string key = u"VS_VERSION_INFO";
  for (std::size_t i = 0; i < key.size(); ++i) PutLittle(version, 6 + 2 * i, key[i], 2);
  PutLittle(version, 40, 0xFEEF04BDU, 4);
  PutLittle(version, 44, 0x10000, 4);
  PutLittle(version, 48, high, 4);
  PutLittle(version, 52, low, 4);
  version.resize(92, '\0');
  PutLittle(version, 0, static_cast<std::uint32_t>(version.size()), 2);
  return version;
}

constexpr std::uint32_t kBitmapType = 2, kRcDataType = 10, kVersionType = 16;
std::string SaverProgram() { return Image({{kBitmapType, 300, "pic"}, {kRcDataType, 200, "jpg"}}); }

TEST(MakeSaverInputs, MoviesNeedACompleteHeader) {
  const std::pair<std::string, const char*> cases[] = {
      {Movie(), nullptr},
      {Movie(40, 40, "CWS"), nullptr},
      {Movie(40, 90, "ZWS"), nullptr},
      {"FWS", "ends inside its header"},
      {Movie(21, 22), "length of 22 bytes, the file has 21"},
      {Movie(4096, 20), "length of 20 bytes"},
      {Movie(9, 40, "CWS"), "ends inside its header"},
      {Movie(16, 40, "ZWS"), "ends inside its header"},
      {Movie(40, 4, "CWS"), "impossible length"},
      {std::string("FWS\0", 4) + std::string("\x15\0\0\0", 4) + std::string(13, 'x'), "no version number"},
      {"GIF89a", "not a Flash movie"},
      {"", "not a Flash movie"},
  };
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message == nullptr ? "valid" : message);
    const std::string problem = MovieHeaderProblem(bytes, bytes.size());
    if (message == nullptr) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(message), std::string::npos) << problem;
    }
  }
}

TEST(MakeSaverInputs, PicturesMustBeReadableBitmaps) {
  std::string fourBits = Bitmap(2, 2);
  PutLittle(fourBits, 28, 5, 2);
  std::string unknownHeader = Bitmap(2, 2);
  PutLittle(unknownHeader, 14, 41, 4);
  const std::pair<std::string, const char*> cases[] = {
      {Bitmap(3, 2), nullptr},
      {Bitmap(3, -2), nullptr},  // top-down
      {"BM", "ends inside its header"},
      {Bitmap(3, 2).substr(0, 30), "ends inside its header"},
      {Bitmap(3, 2, 60), "not all there"},
      {Bitmap(0, 2), "no picture size"},
      {fourBits, "5 bits per pixel"},
      {unknownHeader, "unknown kind"},
      {Movie(), "not a Windows bitmap"},
  };
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message == nullptr ? "valid" : message);
    const std::string problem = BitmapProblem(bytes, bytes.size());
    if (message == nullptr) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(message), std::string::npos) << problem;
    }
  }
}

TEST(MakeSaverInputs, OnlyTheSaverProgramIsAProgramToCopy) {
  const std::pair<std::string, const char*> cases[] = {
      {SaverProgram(), nullptr},
      {Image({{kBitmapType, 300, "pic"}, {kRcDataType, 200, "jpg"}}, /*library=*/true), "library (DLL)"},
      {Image({{kVersionType, 1, VersionResource(0x10000, 0)}}), "not the saver program"},
      {Image({{kBitmapType, 300, "pic"}, {kRcDataType, 201, "jpg"}}), "not the saver program"},
      {"MZ program", "not a Windows program"},
      {SaverProgram().substr(0, 0x150), "not the saver program"},  // cut inside its headers
      {Movie(), "not a Windows program"},
  };
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message == nullptr ? "valid" : message);
    const std::string problem = ProgramProblem(bytes);
    if (message == nullptr) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(message), std::string::npos) << problem;
    }
  }
}

TEST(MakeSaverInputs, PlayerBuildsThatRefuseContent) {
  const std::pair<FileVersion, bool> cases[] = {
      {{32, 0, 0, 371}, false}, {{32, 0, 0, 386}, false}, {{32, 0, 0, 387}, true},
      {{32, 0, 0, 453}, true},  {{32, 0, 0, 465}, true},  {{32, 0, 0, 466}, false},
      {{34, 0, 0, 137}, false}, {{32, 1, 0, 400}, false}, {{11, 0, 0, 400}, false},
  };
  for (const auto& [version, refuses] : cases) {
    SCOPED_TRACE(FileVersionText(version));
    EXPECT_EQ(PlayerBuildRefusesContent(version), refuses);
    // Read back from a library's version resource, as install.cmd asks for it.
    const std::string library = Image({{kVersionType, 1,
                                        VersionResource((std::uint32_t{version[0]} << 16) | version[1],
                                                        (std::uint32_t{version[2]} << 16) | version[3])}},
                                      /*library=*/true);
    EXPECT_EQ(ProgramFileVersion(library), std::optional<FileVersion>(version));
  }
  EXPECT_EQ(ProgramFileVersion(SaverProgram()), std::nullopt);
  EXPECT_EQ(ProgramFileVersion("MZ"), std::nullopt);
}

TEST(MakeSaverInputs, WindowsCountsCharactersNotBytes) {
  EXPECT_EQ(WindowsLength("abc"), 3U);
  EXPECT_EQ(WindowsLength("Caf\xC3\xA9"), 4U);
  EXPECT_EQ(WindowsLength("\xE6\x97\xA5\xE6\x9C\xAC"), 2U);
  EXPECT_EQ(WindowsLength("\xF0\x9F\x98\x80"), 2U);  // a surrogate pair
}

// A scratch folder with the inputs of a package: program, movie, picture.
class PackageWriterTest : public testing::Test {
 public:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("make_saver_" + std::to_string(::getpid()) + "_" +
                                         testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "in");
    fs::create_directories(root_ / "out");
    Write("in/Template.scr", SaverProgram());
    Write("in/a.swf", Movie());
    Write("in/b.swf", Movie(40, 80, "CWS"));
    Write("in/a.bmp", Bitmap(3, 2));
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

  static std::vector<std::pair<std::string, FileAction>> Actions(const PackageResult& result) {
    std::vector<std::pair<std::string, FileAction>> actions;
    for (const FileReport& file : result.files) actions.emplace_back(file.path.filename().string(), file.action);
    return actions;
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
  EXPECT_EQ(Read("out/Aquarium.scr"), SaverProgram());
  EXPECT_EQ(Read("out/Aquarium.swf"), Movie());
  EXPECT_EQ(Read("out/Aquarium.bmp"), Bitmap(3, 2));
  EXPECT_EQ(ParseSaverConfiguration(Read("out/Aquarium.c1")).SaverTitle, "Aquarium");
  EXPECT_EQ(Actions(result), (std::vector<std::pair<std::string, FileAction>>{{"Aquarium.scr", FileAction::Written},
                                                                              {"Aquarium.c1", FileAction::Written},
                                                                              {"Aquarium.swf", FileAction::Written},
                                                                              {"Aquarium.bmp", FileAction::Written}}));
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
      {"program that is a library",
       [](SaverRequest& r, PackageWriterTest& t) {
         t.Write("in/Template.scr", Image({{kBitmapType, 300, "pic"}, {kRcDataType, 200, "jpg"}}, true));
         (void)r;
       },
       "library"},
      {"movie cut short", [](SaverRequest&, PackageWriterTest& t) { t.Write("in/a.swf", Movie(20, 21)); },
       "length of 21 bytes"},
      {"picture of 2 bytes", [](SaverRequest&, PackageWriterTest& t) { t.Write("in/a.bmp", "BM"); },
       "ends inside its header"},
      {"out folder that is a file", [](SaverRequest& r, PackageWriterTest&) { r.outFolder = r.movie; },
       "is a file, not a folder"},
      {"the author's own picture where the package's would go",
       [](SaverRequest& r, PackageWriterTest& t) {
         t.Write("out/Aquarium.bmp", Bitmap(1, 1));
         r.replace = true;
       },
       "belongs to no saver"},
      {"saver already there",
       [](SaverRequest&, PackageWriterTest& t) {
         t.Write("out/Aquarium.scr", SaverProgram());
         t.Write("out/Aquarium.c2", Movie());
       },
       "already there"},
      {"folder in the way, also with --replace",
       [](SaverRequest& r, PackageWriterTest& t) {
         fs::create_directory(t.root_ / "out/Aquarium.swf");
         r.replace = true;
       },
       "is not a file"},
      {"path too long for Windows", [](SaverRequest& r, PackageWriterTest&) { r.name = std::string(250, 'a'); },
       "too long"},
      {"path too long for its temporary name",
       [](SaverRequest& r, PackageWriterTest&) {
         r.name = std::string(kLongestProgramPath - TextOfPath(fs::absolute(r.outFolder)).size() - 5, 'a');
       },
       ".scr.replaced'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_ / "out");
    fs::create_directory(root_ / "out");
    SaverRequest request = Request();
    c.change(request, *this);
    const std::set<std::string> before = OutFolder();
    const PackageResult result = WriteSaverPackage(request);
    EXPECT_EQ(result.outcome, Outcome::Refused);
    ASSERT_FALSE(result.problems.empty());
    EXPECT_NE(result.problems.front().find(c.message), std::string::npos) << result.problems.front();
    EXPECT_EQ(OutFolder(), before);
    Write("in/Template.scr", SaverProgram());
    Write("in/a.swf", Movie());
    Write("in/a.bmp", Bitmap(3, 2));
  }
}

TEST_F(PackageWriterTest, ReplacingRemovesTheOldSettingsFileOfTheOtherKind) {
  ASSERT_EQ(WriteSaverPackage(Request()).outcome, Outcome::Written);
  SaverRequest request = Request();
  request.settingsPicture.clear();
  request.settingsMovie = root_ / "in/b.swf";
  request.replace = true;
  const PackageResult result = WriteSaverPackage(request);
  ASSERT_EQ(result.outcome, Outcome::Written);
  // A picture left behind would be shown instead of the new settings movie.
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.scr", "Aquarium.c1", "Aquarium.swf", "Aquarium.c2"}));
  EXPECT_EQ(Read("out/Aquarium.c2"), Movie(40, 80, "CWS"));
  EXPECT_EQ(Actions(result), (std::vector<std::pair<std::string, FileAction>>{{"Aquarium.scr", FileAction::Replaced},
                                                                              {"Aquarium.c1", FileAction::Replaced},
                                                                              {"Aquarium.swf", FileAction::Replaced},
                                                                              {"Aquarium.c2", FileAction::Written},
                                                                              {"Aquarium.bmp", FileAction::Removed}}));
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
  EXPECT_EQ(Read("out/Aquarium.bmp"), Bitmap(3, 2));
}

// Writes real files, but fails in one way once the file with this ending is written.
class FailingCreator final : public FileCreator {
 public:
  enum class Failure { ShortWrite, SilentShortWrite, FailedClose, RefusedCreate, KeptFile };
  FailingCreator(std::string ending, Failure failure) : ending_(std::move(ending)), failure_(failure) {}

  // A file that stays, as a running program's file does on Windows.
  bool Remove(const fs::path& path, std::error_code& error) override {
    if (failure_ != Failure::KeptFile || !EndsAsFailing(path)) return FileCreator::Remove(path, error);
    error = std::make_error_code(std::errc::permission_denied);
    return false;
  }

  std::unique_ptr<OutputFile> Create(const fs::path& path, std::string& error) override {
    const bool fails = EndsAsFailing(path) && failure_ != Failure::KeptFile;
    if (fails && failure_ == Failure::RefusedCreate) {
      error = "Permission denied";
      return nullptr;
    }
    std::unique_ptr<OutputFile> real = SystemFileCreator().Create(path, error);
    return std::make_unique<File>(std::move(real), fails ? std::optional<Failure>(failure_) : std::nullopt);
  }

 private:
  [[nodiscard]] bool EndsAsFailing(const fs::path& path) const {
    const std::string text = path.string();
    return text.size() >= ending_.size() && text.compare(text.size() - ending_.size(), ending_.size(), ending_) == 0;
  }

  class File final : public OutputFile {
   public:
    File(std::unique_ptr<OutputFile> real, std::optional<Failure> failure)
        : real_(std::move(real)), failure_(failure) {}
    std::size_t Write(std::string_view bytes) override {
      if (!failure_ || failure_ == Failure::FailedClose) return real_->Write(bytes);
      // As a full disk does: only part of it gets there.
      const std::size_t written = real_->Write(bytes.substr(0, bytes.size() / 2));
      return failure_ == Failure::SilentShortWrite ? bytes.size() : written;
    }
    std::string Close() override {
      const std::string error = real_->Close();
      return failure_ == Failure::FailedClose ? "No space left on device" : error;
    }
    [[nodiscard]] std::string WriteError() const override {
      return failure_ == Failure::ShortWrite ? "No space left on device" : real_->WriteError();
    }

   private:
    std::unique_ptr<OutputFile> real_;
    std::optional<Failure> failure_;
  };
  std::string ending_;
  Failure failure_;
};

TEST_F(PackageWriterTest, AnyFileNotWrittenWholeLeavesNothingOfTheNewPackage) {
  using Failure = FailingCreator::Failure;
  struct Case {
    const char* what;
    const char* ending;
    Failure failure;
    const char* message;
  };
  Write("in/a.bmp", Bitmap(300, 200));  // larger than one copy chunk
  const Case cases[] = {
      {"short write of the picture", ".bmp.partial", Failure::ShortWrite, "bytes written: No space left on device"},
      {"short write of the configuration", ".c1.partial", Failure::ShortWrite, "bytes written"},
      {"write that claims more than the disk took", ".bmp.partial", Failure::SilentShortWrite, "it holds"},
      {"close that fails", ".scr.partial", Failure::FailedClose, "closing it failed: No space left on device"},
      {"folder that refuses the file", ".swf.partial", Failure::RefusedCreate, "Aquarium.swf.partial': Permission"},
  };
  for (const bool replacing : {false, true}) {
    fs::remove_all(root_ / "out");
    fs::create_directory(root_ / "out");
    if (replacing) {
      ASSERT_EQ(WriteSaverPackage(Request()).outcome, Outcome::Written);
    }
    const std::set<std::string> before = OutFolder();
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (replacing ? ", replacing" : ""));
      FailingCreator creator(c.ending, c.failure);
      SaverRequest request = Request();
      request.replace = replacing;
      request.values.SaverTitle = "New";
      const PackageResult result = WriteSaverPackage(request, {&creator, nullptr});
      EXPECT_EQ(result.outcome, Outcome::Failed);
      ASSERT_EQ(result.problems.size(), 1U);
      EXPECT_NE(result.problems.front().find(c.message), std::string::npos) << result.problems.front();
      EXPECT_EQ(OutFolder(), before);
      if (replacing) {
        EXPECT_EQ(ParseSaverConfiguration(Read("out/Aquarium.c1")).SaverTitle, "Aquarium");
      }
    }
  }
}

TEST_F(PackageWriterTest, InputsWithThePackagesNamesAreUsedInPlace) {
  // The first example an author runs: the movie and picture already carry the saver's name.
  Write("out/Aquarium.swf", Movie(30));
  Write("out/Aquarium.bmp", Bitmap(2, 2));
  SaverRequest request = Request();
  request.movie = root_ / "out/Aquarium.swf";
  request.settingsPicture = root_ / "out/./Aquarium.bmp";
  const PackageResult result = WriteSaverPackage(request);
  ASSERT_EQ(result.outcome, Outcome::Written) << (result.problems.empty() ? "" : result.problems.front());
  EXPECT_EQ(Actions(result), (std::vector<std::pair<std::string, FileAction>>{{"Aquarium.scr", FileAction::Written},
                                                                              {"Aquarium.c1", FileAction::Written},
                                                                              {"Aquarium.swf", FileAction::Kept},
                                                                              {"Aquarium.bmp", FileAction::Kept}}));
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.scr", "Aquarium.c1", "Aquarium.swf", "Aquarium.bmp"}));
  EXPECT_EQ(Read("out/Aquarium.swf"), Movie(30));

  // Run again: now a saver is there, and only --replace replaces its program and configuration.
  EXPECT_EQ(WriteSaverPackage(request).outcome, Outcome::Refused);
  request.replace = true;
  const PackageResult again = WriteSaverPackage(request);
  EXPECT_EQ(Actions(again), (std::vector<std::pair<std::string, FileAction>>{{"Aquarium.scr", FileAction::Replaced},
                                                                             {"Aquarium.c1", FileAction::Replaced},
                                                                             {"Aquarium.swf", FileAction::Kept},
                                                                             {"Aquarium.bmp", FileAction::Kept}}));
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.scr", "Aquarium.c1", "Aquarium.swf", "Aquarium.bmp"}));
}

TEST_F(PackageWriterTest, ReplaceTouchesNoFileOfAnAuthorWhenNoSaverIsThere) {
  // lights.swf, lights.bmp and lights-settings.swf, but no lights.scr: no package.
  Write("out/Aquarium.swf", Movie(30));
  Write("out/Aquarium.bmp", Bitmap(2, 2));
  Write("out/Aquarium-settings.swf", Movie());
  SaverRequest request = Request();
  request.movie = root_ / "out/Aquarium.swf";
  request.settingsPicture.clear();
  request.settingsMovie = root_ / "out/Aquarium-settings.swf";
  request.replace = true;
  const PackageResult result = WriteSaverPackage(request);
  EXPECT_EQ(result.outcome, Outcome::Refused);
  ASSERT_EQ(result.problems.size(), 1U);
  EXPECT_NE(result.problems.front().find("Aquarium.bmp' is there but belongs to no saver"), std::string::npos)
      << result.problems.front();
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.swf", "Aquarium.bmp", "Aquarium-settings.swf"}));
  EXPECT_EQ(Read("out/Aquarium.bmp"), Bitmap(2, 2));
}

TEST_F(PackageWriterTest, RunsAfterAnInterruptedOneLeaveNoTemporaryFile) {
  // What an interrupted run of this name left behind goes with the next run.
  Write("out/Aquarium.swf.partial", std::string(1000, 'x'));
  Write("out/Aquarium.c2.partial", "x");
  ASSERT_EQ(WriteSaverPackage(Request()).outcome, Outcome::Written);
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.scr", "Aquarium.c1", "Aquarium.swf", "Aquarium.bmp"}));

  // An interruption (Ctrl+C) stops the run and removes what it wrote.
  fs::remove_all(root_ / "out");
  const std::atomic<bool> interrupted{true};
  const PackageResult result = WriteSaverPackage(Request(), {nullptr, &interrupted});
  EXPECT_EQ(result.outcome, Outcome::Failed);
  EXPECT_FALSE(fs::exists(root_ / "out")) << "the folder made for the package stays";
}

TEST_F(PackageWriterTest, MakesAMissingFolderAndCountsNamesInCharacters) {
  SaverRequest request = Request();
  request.outFolder = root_ / "out/new/savers";
  // 120 characters of two bytes each: within the limit, counted as Windows counts.
  std::string name;
  for (int i = 0; i < 120; ++i) name += "\xC3\xA9";
  request.name = name;
  const PackageResult result = WriteSaverPackage(request);
  ASSERT_EQ(result.outcome, Outcome::Written) << (result.problems.empty() ? "" : result.problems.front());
  EXPECT_TRUE(fs::is_regular_file(request.outFolder / PathFromText(name + ".scr")));
}

TEST_F(PackageWriterTest, AnOldFileThatCannotBeDeletedIsNamed) {
  ASSERT_EQ(WriteSaverPackage(Request()).outcome, Outcome::Written);
  FailingCreator creator(".scr.replaced", FailingCreator::Failure::KeptFile);
  SaverRequest request = Request();
  request.replace = true;
  request.values.SaverTitle = "New";
  const PackageResult result = WriteSaverPackage(request, {&creator, nullptr});
  // The new package is in place; the old program is left, and said to be.
  EXPECT_EQ(result.outcome, Outcome::Written);
  EXPECT_EQ(ParseSaverConfiguration(Read("out/Aquarium.c1")).SaverTitle, "New");
  EXPECT_EQ(result.leftOver, std::vector<fs::path>{root_ / "out/Aquarium.scr.replaced"});
  ASSERT_EQ(result.problems.size(), 1U);
  EXPECT_NE(
      result.problems.front().find("could not delete the old '" + TextOfPath(root_ / "out/Aquarium.scr.replaced")),
      std::string::npos)
      << result.problems.front();
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"Aquarium.scr", "Aquarium.c1", "Aquarium.swf", "Aquarium.bmp",
                                                "Aquarium.scr.replaced"}));
}

}  // namespace
}  // namespace tpl::maker
